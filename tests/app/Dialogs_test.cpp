#include <gtest/gtest.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "GuiTestSupport.h"
#include "app/FMain.h"
#include "app/FSelectSearch.h"
#include "app/KeywordListModel.h"

using namespace app;
using testsupport::onNextModal;

namespace {

void pressEnter(QWidget* target) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

// Clicks Ok (or presses Enter in enterIn) and expects a message with this text.
void expectMessage(QWidget* dialog, const QString& expected, QWidget* enterIn = nullptr) {
    QString seen;
    onNextModal([&seen](QWidget* box) {
        seen = box->findChild<QLabel*>("Message")->text();
        box->findChild<QPushButton*>("OK")->click();
    });
    if (enterIn)
        pressEnter(enterIn);
    else
        dialog->findChild<QPushButton*>("btnOk")->click();
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(dialog->isVisible()) << "the dialog stays open behind its message";
}

QString status(TfrmMain& w, const char* name) { return w.findChild<QWidget*>(name)->property("text").toString(); }

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::ensureApp();
        window = std::make_unique<TfrmMain>(testsupport::folderOf(dir));
        window->show();
    }
    void click(const char* button) { window->findChild<QPushButton*>(button)->click(); }
    QTemporaryDir dir;
    std::unique_ptr<TfrmMain> window;
};

}  // namespace

TEST_F(DialogsTest, MainKeywordChecksAndEnter) {
    bool checked = false;
    onNextModal([&](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "Main Keyword");
        EXPECT_EQ(d->size(), QSize(309, 109));
        EXPECT_EQ(d->findChild<QLabel*>("skSkinStdLabel1")->text(), "Please type the main keyword(s) Eg: golf, soccer:");
        auto* edit = d->findChild<QLineEdit*>("edtMainKeyword");
        EXPECT_EQ(edit->geometry().topLeft(), QPoint(13, 37));
        expectMessage(d, "Please add a Main Keyword.");
        expectMessage(d, "Please add a Main Keyword.", edit);
        edit->setText("  ");  // blanks count as a keyword
        pressEnter(edit);
        checked = true;
    });
    click("btnMainKeyword");
    EXPECT_TRUE(checked);
    EXPECT_EQ(window->mainKeyword, "  ");
    EXPECT_EQ(status(*window, "skSkinStatusPanel1"), "Main Keyword:   ");

    window->setMainStatus("busy");
    onNextModal([](QWidget* d) {
        d->findChild<QLineEdit*>("edtMainKeyword")->setText("golf clubs");
        d->findChild<QPushButton*>("btnOk")->click();
    });
    click("btnMainKeyword");
    EXPECT_EQ(window->mainKeyword, "golf clubs");
    EXPECT_EQ(status(*window, "skSkinStatusPanel1"), "Main Keyword: golf clubs");
    EXPECT_EQ(status(*window, "MainStatusPanel"), "");

    // Cancel changes nothing, and the edit box starts empty each time.
    window->setMainStatus("busy");
    onNextModal([](QWidget* d) {
        EXPECT_EQ(d->findChild<QLineEdit*>("edtMainKeyword")->text(), "");
        d->findChild<QLineEdit*>("edtMainKeyword")->setText("other");
        d->findChild<QPushButton*>("btnCancel")->click();
    });
    click("btnMainKeyword");
    EXPECT_EQ(window->mainKeyword, "golf clubs");
    EXPECT_EQ(status(*window, "MainStatusPanel"), "busy");
}

TEST_F(DialogsTest, AddKeywordsByHandOrFile) {
    const std::string file = testsupport::folderOf(dir) + "list.txt";
    testsupport::writeFile(file, "one\n\nthree");
    onNextModal([&](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "Enter Keyword(s)");
        EXPECT_EQ(d->size(), QSize(426, 147));
        auto* keyword = d->findChild<QLineEdit*>("edtAddKeyword");
        auto* list = d->findChild<QLineEdit*>("edtList");
        keyword->setText("golf");
        list->setText(QString::fromStdString(file));
        expectMessage(d, "Please select only one way to add keywords.");
        keyword->clear();
        list->setText(QString::fromStdString(file + ".missing"));
        expectMessage(d, "Please select a valid file.", list);
        keyword->setText("golf, soccer");
        list->clear();
        pressEnter(keyword);
    });
    click("btnAddKeyword");
    ASSERT_EQ(window->keywordList().count(), 1);
    EXPECT_EQ(window->keywordList().row(0).cell(colKeyword), "golf, soccer");
    EXPECT_EQ(status(*window, "SecondStatusPanel"), "1 items listed");

    // A file's lines are appended after the existing rows, empty line kept.
    onNextModal([&](QWidget* d) {
        d->findChild<QLineEdit*>("edtList")->setText(QString::fromStdString(file));
        d->findChild<QPushButton*>("btnOk")->click();
    });
    click("btnAddKeyword");
    ASSERT_EQ(window->keywordList().count(), 4);
    EXPECT_EQ(window->keywordList().row(2).cell(colKeyword), "");
    EXPECT_EQ(window->keywordList().row(3).cell(colNo), "4");
    EXPECT_EQ(status(*window, "SecondStatusPanel"), "Total: 4");

    // Enter with both boxes empty closes the dialog and adds nothing.
    bool closed = false;
    onNextModal([&](QWidget* d) {
        pressEnter(d->findChild<QLineEdit*>("edtList"));
        closed = !d->isVisible();
    });
    click("btnAddKeyword");
    EXPECT_TRUE(closed);
    EXPECT_EQ(window->keywordList().count(), 4);
}

TEST_F(DialogsTest, BrowseFillsThePathBox) {
    const std::string file = testsupport::folderOf(dir) + "picked.txt";
    testsupport::writeFile(file, "x\n");
    QString path;
    onNextModal([&](QWidget* d) {
        onNextModal([&](QWidget* open) {
            EXPECT_EQ(open->objectName(), "skSkinOpenDialog1");
            EXPECT_EQ(open->windowTitle(), "Open file");
            auto* name = open->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            name->setText(QString::fromStdString(file));
            QMetaObject::invokeMethod(open, "accept");
        });
        d->findChild<QPushButton*>("btnBrowse")->click();
        path = d->findChild<QLineEdit*>("edtList")->text();
        d->findChild<QPushButton*>("btnCancel")->click();
    });
    click("btnAddKeyword");
    EXPECT_EQ(path.toStdString(), file);
    EXPECT_EQ(window->keywordList().count(), 0);  // Cancel adds nothing
}

TEST(SelectSearch, OnlyTheFirstBoxDecides) {
    testsupport::ensureApp();
    struct Case { bool precise, broad; SearchType expected; };
    for (const Case c : {Case{true, false, stPrecise}, Case{true, true, stPrecise}, Case{false, false, stBroad},
                         Case{false, true, stBroad}}) {
        TfrmSelSearch dialog;
        EXPECT_EQ(dialog.windowTitle(), "Select Search Type");
        EXPECT_EQ(dialog.size(), QSize(480, 114));
        auto* first = dialog.findChild<QCheckBox*>("skSkinCheckRadioBox1");
        auto* second = dialog.findChild<QCheckBox*>("skSkinCheckRadioBox2");
        EXPECT_TRUE(first->isChecked());
        EXPECT_FALSE(second->isChecked());
        EXPECT_EQ(second->text(), "Broad Search Eg: golf clubs, any word no matther the order or position in the text.");
        first->setChecked(c.precise);
        second->setChecked(c.broad);
        EXPECT_EQ(dialog.searchType(), c.expected);
    }
}
