#include "app/SkinMessage.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "GuiTestSupport.h"

using namespace app;

namespace {

int showAndThen(unsigned buttons, const std::string& text, std::function<void(QWidget*)> action) {
    testsupport::onNextModal(std::move(action));
    return TskSkinMessage().ShowMessageBox(text, mkInformation, 0, buttons);
}

void pressKey(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w->focusWidget() ? w->focusWidget() : w, &press);
}

}  // namespace

TEST(SkinMessage, ButtonRowLayoutAndResults) {
    testsupport::ensureApp();
    int checked = 0;
    const int ok = showAndThen(mbOK | mbCancel, "Are you sure?", [&](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Information");
        auto* okButton = w->findChild<QPushButton*>("OK");
        auto* cancel = w->findChild<QPushButton*>("Cancel");
        auto* label = w->findChild<QLabel*>("Message");
        auto* image = w->findChild<QLabel*>("Image");
        ASSERT_TRUE(okButton && cancel && label && image);
        EXPECT_EQ(label->text(), "Are you sure?");
        EXPECT_EQ(okButton->size(), QSize(70, 25));
        EXPECT_EQ(cancel->x() - okButton->x(), 80);
        // The 150-pixel row is centred in the client area.
        EXPECT_EQ(okButton->x(), (w->width() - 150) / 2);
        EXPECT_EQ(okButton->y(), w->height() - 25 - 10);
        EXPECT_EQ(w->height(), 25 + label->height() + 50);
        EXPECT_GE(image->y(), 10);
        ++checked;
        pressKey(w, Qt::Key_Return);
    });
    EXPECT_EQ(ok, mrOK);
    const int cancelled = showAndThen(mbOK | mbCancel, "Again?", [&](QWidget* w) { pressKey(w, Qt::Key_Escape); });
    EXPECT_EQ(cancelled, mrCancel);
    // With OK alone, Escape presses OK too.
    const int escaped = showAndThen(mbOK, "Note", [&](QWidget* w) { pressKey(w, Qt::Key_Escape); });
    EXPECT_EQ(escaped, mrOK);
    EXPECT_EQ(checked, 1);
}

TEST(SkinMessage, WidthFollowsTextAndLinesGrowTheBox) {
    testsupport::ensureApp();
    const std::string wide(120, 'W');
    int oneLineHeight = 0;
    showAndThen(mbOK, wide, [&](QWidget* w) {
        auto* label = w->findChild<QLabel*>("Message");
        EXPECT_EQ(w->width(), label->x() + label->width() + 40);
        oneLineHeight = w->height();
        w->findChild<QPushButton*>("OK")->click();
    });
    showAndThen(mbOK, "one\ntwo\nthree\nfour", [&](QWidget* w) {
        auto* label = w->findChild<QLabel*>("Message");
        auto* image = w->findChild<QLabel*>("Image");
        EXPECT_GT(w->height(), oneLineHeight);
        EXPECT_EQ(image->y(), std::max(10, label->y() + label->height() / 2 - 16));
        w->findChild<QPushButton*>("OK")->click();
    });
    // A short text: the button row decides the width.
    showAndThen(mbOK | mbCancel, "x", [&](QWidget* w) {
        EXPECT_EQ(w->width(), 150 + 40);
        w->findChild<QPushButton*>("Cancel")->click();
    });
}
