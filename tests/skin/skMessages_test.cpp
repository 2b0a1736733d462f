#include "skin/skMessages.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "GuiTestSupport.h"
#include "SkinTestFiles.h"
#include "skin/skPackage.h"
#include "skin/skSkinData.h"

using namespace sk;

namespace {

int showAndThen(const TskSkinMessage& box, unsigned buttons, const std::string& text,
                std::function<void(QWidget*)> action, int kind = mkInformation) {
    testsupport::onNextModal(std::move(action));
    return box.ShowMessageBox(text, kind, 0, buttons);
}

void pressKey(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w->focusWidget() ? w->focusWidget() : w, &press);
}

// A skin whose "button" entry is height pixels high.
TskCompressedStoredSkin skinWithButton(int height) {
    std::vector<uint8_t> package;
    skintest::putU32(package, 3);
    package.insert(package.end(), {1, 1, 1});
    skintest::putU32(package, 1);
    const std::vector<uint8_t> picture = encodeBmp(skintest::pattern(60, 60));
    package.insert(package.end(), picture.begin(), picture.end());
    const std::string text = "[SKINCONTROLS]\ncount=2\n0=button:button\n1=tall:panel\n[button]\npictureindex=0\nskinrect=0,0,60," +
                             std::to_string(height) + "\n[tall]\nskinrect=0,0,60,40\n";
    package.insert(package.end(), text.begin(), text.end());
    TskCompressedStoredSkin stored;
    stored.setCompressedData(deflatePackage(package));
    return stored;
}

}  // namespace

TEST(SkinMessage, ButtonRowLayoutAndResults) {
    testsupport::ensureApp();
    TskSkinMessage box;
    int checked = 0;
    const int ok = showAndThen(box, mbOK | mbCancel, "Are you sure?", [&](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Information");
        auto* okButton = w->findChild<QPushButton*>("OK");
        auto* cancel = w->findChild<QPushButton*>("Cancel");
        auto* label = w->findChild<QLabel*>("Message");
        auto* image = w->findChild<QLabel*>("Image");
        ASSERT_TRUE(okButton && cancel && label && image);
        EXPECT_EQ(label->text(), "Are you sure?");
        EXPECT_EQ(label->pos(), QPoint(50, 15));
        EXPECT_EQ(okButton->size(), QSize(70, 25));
        EXPECT_EQ(cancel->x() - okButton->x(), 80);
        // The 150-pixel row is centred in the client area, which it decides here.
        EXPECT_EQ(w->width(), 150 + 40);
        EXPECT_EQ(okButton->x(), (w->width() - 150) / 2);
        EXPECT_EQ(okButton->y(), w->height() - 25 - 10);
        EXPECT_EQ(w->height(), 25 + label->height() + 50);
        EXPECT_EQ(image->geometry(), QRect(5, std::max(10, 15 + label->height() / 2 - 16), 32, 32));
        EXPECT_TRUE(okButton->isDefault());
        EXPECT_FALSE(cancel->isDefault());
        EXPECT_EQ(okButton->property("skinDataName").toString(), "button");
        EXPECT_EQ(label->property("skinDataName").toString(), "stdlabel");
        ++checked;
        pressKey(w, Qt::Key_Return);
    });
    EXPECT_EQ(ok, mrOK);
    EXPECT_EQ(showAndThen(box, mbOK | mbCancel, "Again?", [&](QWidget* w) { pressKey(w, Qt::Key_Escape); }), mrCancel);
    // With OK alone, OK is the cancel button too: Escape answers 1.
    EXPECT_EQ(showAndThen(box, mbOK, "Note", [&](QWidget* w) { pressKey(w, Qt::Key_Escape); }), mrOK);
    // Yes/No: Yes is the default, No answers Escape.
    EXPECT_EQ(showAndThen(box, mbYes | mbNo, "Go?", [&](QWidget* w) { pressKey(w, Qt::Key_Return); }), 6);
    EXPECT_EQ(showAndThen(box, mbYes | mbNo, "Go?", [&](QWidget* w) { pressKey(w, Qt::Key_Escape); }), 7);
    // Enter presses the button holding the focus.
    EXPECT_EQ(showAndThen(box, mbOK | mbCancel, "Focus", [&](QWidget* w) {
                  w->findChild<QPushButton*>("Cancel")->setFocus();
                  pressKey(w, Qt::Key_Return);
              }),
              mrCancel);
    // Help does not close the box.
    EXPECT_EQ(showAndThen(box, mbOK | mbHelp, "Help", [&](QWidget* w) {
                  w->findChild<QPushButton*>("Help")->click();
                  EXPECT_TRUE(w->isVisible());
                  w->findChild<QPushButton*>("OK")->click();
              }),
              mrOK);
    EXPECT_EQ(checked, 1);
}

TEST(SkinMessage, KindsCaptionsAndButtonTexts) {
    testsupport::ensureApp();
    TskSkinMessage box;
    const char* captions[] = {"Warning", "Error", "Information", "Confirm"};
    for (int kind = 0; kind < 5; ++kind)
        showAndThen(
            box, mbOK,
            "k",
            [&](QWidget* w) {
                EXPECT_EQ(w->windowTitle(), kind < 4 ? QString(captions[kind]) : QApplication::applicationDisplayName());
                EXPECT_EQ(w->findChild<QLabel*>("Image")->pixmap().isNull(), kind == 4);
                w->findChild<QPushButton*>("OK")->click();
            },
            kind);
    const unsigned all = (1u << 11) - 1;
    showAndThen(box, all, "all", [&](QWidget* w) {
        const QList<QPushButton*> buttons = w->findChildren<QPushButton*>();
        ASSERT_EQ(buttons.size(), 11);
        EXPECT_EQ(w->findChild<QPushButton*>("NoToAll")->text(), "N&oToAll");
        EXPECT_EQ(w->findChild<QPushButton*>("Retry")->text(), "&Retry");
        EXPECT_EQ(w->findChild<QPushButton*>("YesToAll")->x() - w->findChild<QPushButton*>("Yes")->x(), 9 * 80);
        w->findChild<QPushButton*>("Abort")->click();
    });
    // Texts from the skin's resource texts when it has them.
    TskSkinData data;
    TskResourceStrData texts;
    texts.Texts["MSG_CAP_INFORMATION"] = "Info";
    texts.Texts["MSG_BTN_OK"] = "Fine";
    data.setResourceStrData(&texts);
    box.setCtrlSkinData(&data);
    showAndThen(box, mbOK | mbCancel, "t", [&](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Info");
        EXPECT_EQ(w->findChild<QPushButton*>("OK")->text(), "Fine");
        EXPECT_EQ(w->findChild<QPushButton*>("Cancel")->text(), "Cancel");
        w->findChild<QPushButton*>("OK")->click();
    });
}

TEST(SkinMessage, LinesGrowTheBoxAndTheSkinButtonSetsTheHeight) {
    testsupport::ensureApp();
    TskSkinMessage box;
    const std::string wide(25, 'W');  // one line, wider than a row of one button
    int oneLineHeight = 0, oneLabelHeight = 0;
    showAndThen(box, mbOK, wide, [&](QWidget* w) {
        auto* label = w->findChild<QLabel*>("Message");
        // Wider than the row: the label's right edge plus 40, the button centred.
        EXPECT_EQ(w->width(), label->x() + label->width() + 40);
        EXPECT_EQ(w->findChild<QPushButton*>("OK")->x(), (w->width() - 70) / 2);
        oneLineHeight = w->height();
        oneLabelHeight = label->height();
        w->findChild<QPushButton*>("OK")->click();
    });
    showAndThen(box, mbOK, "one\ntwo\nthree\nfour", [&](QWidget* w) {
        auto* label = w->findChild<QLabel*>("Message");
        auto* image = w->findChild<QLabel*>("Image");
        EXPECT_GT(label->height(), 3 * oneLabelHeight);
        EXPECT_EQ(w->height(), oneLineHeight + label->height() - oneLabelHeight);
        EXPECT_EQ(image->y(), 15 + label->height() / 2 - 16);
        w->findChild<QPushButton*>("OK")->click();
    });

    TskSkinData data;
    const TskCompressedStoredSkin stored = skinWithButton(23);
    data.ApplyStoredSkin(stored);
    box.setCtrlSkinData(&data);
    EXPECT_EQ(box.buttonHeight(), 23);
    showAndThen(box, mbOK, wide, [&](QWidget* w) {
        EXPECT_EQ(w->findChild<QPushButton*>("OK")->height(), 23);
        EXPECT_EQ(w->height(), oneLineHeight - 2);
        w->findChild<QPushButton*>("OK")->click();
    });
    // An entry of that name that is no button, or a name that differs in case, keeps 25.
    box.ButtonSkinDataName = "tall";
    EXPECT_EQ(box.buttonHeight(), 25);
    box.ButtonSkinDataName = "Button";
    EXPECT_EQ(box.buttonHeight(), 25);
    // A destroyed skin data leaves no dangling pointer behind.
    {
        TskSkinData passing;
        box.setSkinData(&passing);
        box.setCtrlSkinData(&passing);
        EXPECT_EQ(box.SkinData(), &passing);
    }
    EXPECT_EQ(box.SkinData(), nullptr);
    EXPECT_EQ(box.CtrlSkinData(), nullptr);
    box.setCtrlSkinData(&data);
    box.setCtrlSkinData(nullptr);  // unwatched again: nothing touches box when data goes
}

TEST(SkinMessage, ALongPathWrapsAndTheBoxFitsTheScreen) {
    testsupport::ensureApp();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    TskSkinMessage box;
    const std::string path = "/home/user/" + std::string(5000, 'x') + ".txt";
    const std::string message = "The keywords of " + path + " would make the list longer than 10000000 rows.";
    showAndThen(box, mbOK, message, [&](QWidget* w) {
        auto* label = w->findChild<TskSkinStdLabel*>("Message");
        ASSERT_TRUE(label);
        EXPECT_EQ(label->text().toStdString(), message);  // the message itself is kept whole
        EXPECT_LE(label->width(), screen.width() * 3 / 4);
        EXPECT_LE(w->width(), screen.width());
        EXPECT_LE(w->height(), screen.height());
        EXPECT_GE(w->x(), 0);
        EXPECT_GE(w->y(), 0);
        // The reason at the end stays readable.
        EXPECT_TRUE(label->displayText().endsWith("rows.")) << label->displayText().right(80).toStdString();
        EXPECT_TRUE(label->displayText().startsWith("The keywords of"));
        EXPECT_TRUE(label->displayText().contains("\n...\n"));
        w->findChild<QPushButton*>("OK")->click();
    });

    const QFont font("Liberation Sans");
    const QFontMetrics metrics(font);
    const int limit = metrics.horizontalAdvance("abcdefghij");
    const QString wrapped = TskMessageForm::wrapText("aa bb " + QString(35, 'z') + " cc\n\nd", metrics, limit);
    const QStringList lines = wrapped.split('\n');
    for (const QString& line : lines) EXPECT_LE(metrics.horizontalAdvance(line), limit) << line.toStdString();
    EXPECT_EQ(QString(wrapped).remove('\n').remove(' '), "aabb" + QString(35, 'z') + "ccd");  // nothing lost
    EXPECT_TRUE(lines.startsWith("aa bb"));
    EXPECT_EQ(lines.count(""), 1);  // the empty line between paragraphs stays
    EXPECT_EQ(TskMessageForm::wrapText("short one", metrics, 1000), "short one");
    EXPECT_EQ(TskMessageForm::keepEnds("1\n2\n3\n4\n5\n6\n7", 5), "1\n2\n...\n6\n7");
    EXPECT_EQ(TskMessageForm::keepEnds("1\n2\n3", 5), "1\n2\n3");
}
