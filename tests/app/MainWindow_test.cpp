#include "app/FMain.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeView>

#include "GuiTestSupport.h"
#include "app/KeywordListModel.h"
#include "app/MainGauge.h"

using namespace app;
using testsupport::onNextModal;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::ensureApp();
        folder = testsupport::folderOf(dir);
    }
    std::unique_ptr<TfrmMain> makeWindow() {
        auto window = std::make_unique<TfrmMain>(folder);
        window->show();
        QApplication::processEvents();
        return window;
    }
    template <typename T = QWidget>
    static T* child(QWidget* w, const char* name) {
        T* found = w->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // Labels and status panels both publish their text as a property.
    static QString text(QWidget* w, const char* name) { return child(w, name)->property("text").toString(); }
    // Answers the next message box with the named button, keeping its text.
    static void answerMessage(const char* button, QString* seenText = nullptr) {
        onNextModal([=](QWidget* box) {
            if (seenText) *seenText = box->findChild<QLabel*>("Message")->text();
            box->findChild<QPushButton*>(button)->click();
        });
    }
    static void clickHeader(QTreeView* list, int column) {
        QHeaderView* header = list->header();
        const QPoint at(header->sectionViewportPosition(column) + 5, header->height() / 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, header->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, header->viewport()->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(header->viewport(), &press);
        QApplication::sendEvent(header->viewport(), &release);
    }
    QTemporaryDir dir;
    std::string folder;
};

std::vector<std::string> columnTexts(TfrmMain& w, int column) {
    std::vector<std::string> out;
    for (int r = 0; r < w.keywordList().count(); ++r) out.emplace_back(w.keywordList().row(r).cell(column));
    return out;
}

}  // namespace

TEST_F(MainWindowTest, LayoutCaptionsAndInitialTexts) {
    auto w = makeWindow();
    EXPECT_EQ(w->size(), QSize(644, 455));
    EXPECT_EQ(w->windowTitle(), "Tessaly");
    struct Expected { const char* name; const char* caption; QRect geometry; };
    const Expected buttons[] = {
        {"btnMainKeyword", "Main Keyword", {7, 7, 99, 20}},    {"btnGatherKeyword", "Gather Keywords", {109, 7, 98, 20}},
        {"btnAddKeyword", "Add Keywords", {210, 7, 99, 20}},   {"btnGatherData", "Gather Data", {312, 7, 98, 20}},
        {"btnSaveResults", "Save Results", {414, 7, 98, 20}},  {"btnMakeMoney", "Make Money", {516, 7, 98, 20}},
        {"skSkinButton1", "Select All", {9, 7, 100, 20}},      {"skSkinButton2", "Clear Selection", {112, 7, 100, 20}},
        {"skSkinButton3", "Delete Selected", {215, 7, 100, 20}}, {"skSkinButton4", "Delete All", {319, 7, 99, 20}},
    };
    for (const auto& b : buttons) {
        auto* button = child<QPushButton>(w.get(), b.name);
        EXPECT_EQ(button->text(), b.caption);
        EXPECT_EQ(button->geometry(), b.geometry) << b.name;
    }
    EXPECT_EQ(child(w.get(), "skSkinPanel1")->geometry(), QRect(0, 0, 644, 33));
    EXPECT_EQ(child(w.get(), "panBanner")->geometry(), QRect(0, 33, 644, 65));
    EXPECT_EQ(child(w.get(), "skSkinPanel3")->geometry(), QRect(0, 98, 644, 455 - 98 - 54 - 17));
    EXPECT_EQ(child(w.get(), "skSkinPanel4")->geometry(), QRect(0, 455 - 17 - 54, 644, 54));
    EXPECT_EQ(child(w.get(), "skSkinStatusBar1")->geometry(), QRect(0, 438, 644, 17));
    EXPECT_EQ(child(w.get(), "skSkinStatusPanel1")->width(), 160);
    EXPECT_EQ(child(w.get(), "SecondStatusPanel")->width(), 82);
    EXPECT_EQ(child(w.get(), "MainGauge")->width(), 130);
    EXPECT_EQ(child(w.get(), "MainStatusPanel")->width(), 644 - 160 - 82 - 130);
    EXPECT_EQ(text(w.get(), "MainStatusPanel"), "");
    EXPECT_EQ(text(w.get(), "skSkinStatusPanel1"), "Main Keyword: ");
    EXPECT_EQ(text(w.get(), "SecondStatusPanel"), "0 item listed");
    EXPECT_EQ(child<TMainGauge>(w.get(), "MainGauge")->text(), "0%");
    EXPECT_EQ(text(w.get(), "lblLink1URL"), "Google");
    EXPECT_EQ(child(w.get(), "lblLink1URL")->x(), 13);

    auto* list = child<QTreeView>(w.get(), "lvwItems");
    const char* captions[] = {"No", "Keywords", "Searches", "Google", "Yahoo", "Msn"};
    const int widths[] = {49, 132, 132, 104, 104, 104};
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(list->model()->headerData(c, Qt::Horizontal).toString(), captions[c]);
        EXPECT_EQ(list->header()->sectionSize(c), widths[c]);
    }
    // Resizing keeps the bars at the edges.
    w->resize(900, 600);
    QApplication::processEvents();
    EXPECT_EQ(child(w.get(), "skSkinStatusBar1")->geometry(), QRect(0, 583, 900, 17));
    EXPECT_EQ(child(w.get(), "lblLink2URL")->geometry().right(), 900 - 13 - 1);
}

TEST_F(MainWindowTest, ListCommandsAndTheirStatusTexts) {
    auto w = makeWindow();
    for (const char* k : {"golf", "soccer", "tennis", "chess"}) w->addKeywordRow(k);
    EXPECT_EQ(text(w.get(), "SecondStatusPanel"), "4 items listed");
    TKeywordListModel& list = w->keywordList();

    child<QPushButton>(w.get(), "skSkinButton1")->click();
    for (int r = 0; r < 4; ++r) EXPECT_TRUE(list.row(r).checked());
    child<QPushButton>(w.get(), "skSkinButton2")->click();
    for (int r = 0; r < 4; ++r) EXPECT_FALSE(list.row(r).checked());

    // Tick rows 2 and 4 through the view's check boxes, then delete them.
    auto* view = child<QTreeView>(w.get(), "lvwItems");
    view->model()->setData(view->model()->index(1, 0), Qt::Checked, Qt::CheckStateRole);
    list.setChecked(3, true);
    QString question;
    answerMessage("Cancel", &question);
    child<QPushButton>(w.get(), "skSkinButton3")->click();
    EXPECT_EQ(question, "Are you sure do you want to delete the selected keywords?");
    EXPECT_EQ(list.count(), 4);
    answerMessage("OK");
    child<QPushButton>(w.get(), "skSkinButton3")->click();
    EXPECT_EQ(columnTexts(*w, colKeyword), (std::vector<std::string>{"golf", "tennis"}));
    EXPECT_EQ(columnTexts(*w, colNo), (std::vector<std::string>{"1", "3"}));  // numbers are kept
    EXPECT_EQ(text(w.get(), "SecondStatusPanel"), "2 items listed");
    // The next row is numbered count + 1, even if that repeats a number.
    w->addKeywordRow("darts");
    EXPECT_EQ(list.row(2).cell(colNo), "3");

    // A file load shows "Total: N"; a cancelled Delete All rewrites it in the other form.
    const std::string file = folder + "k.txt";
    testsupport::writeFile(file, "a\r\nb\n");
    w->AddKeywordsFromFile(file);
    EXPECT_EQ(text(w.get(), "SecondStatusPanel"), "Total: 5");
    EXPECT_EQ(columnTexts(*w, colNo), (std::vector<std::string>{"1", "3", "3", "4", "5"}));
    answerMessage("Cancel", &question);
    child<QPushButton>(w.get(), "skSkinButton4")->click();
    EXPECT_EQ(question, "Are you sure do you want to delete all?");
    EXPECT_EQ(text(w.get(), "SecondStatusPanel"), "5 items listed");
    answerMessage("OK");
    child<QPushButton>(w.get(), "skSkinButton4")->click();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(text(w.get(), "SecondStatusPanel"), "0 items listed");
}

TEST_F(MainWindowTest, ColumnClicksCarryTheDirectionOver) {
    auto w = makeWindow();
    auto* view = child<QTreeView>(w.get(), "lvwItems");
    const char* counts[][2] = {{"1,200", "5"}, {"950", "70"}, {"", "600"}};
    for (const auto& c : counts) {
        const int r = w->addKeywordRow("k");
        w->keywordList().setCell(r, colYahoo, c[0]);
        w->keywordList().setCell(r, colMsn, c[1]);
    }
    clickHeader(view, colYahoo);
    EXPECT_EQ(columnTexts(*w, colYahoo), (std::vector<std::string>{"", "950", "1,200"}));
    clickHeader(view, colYahoo);
    EXPECT_EQ(columnTexts(*w, colYahoo), (std::vector<std::string>{"1,200", "950", ""}));
    clickHeader(view, colMsn);  // another column keeps the descending direction
    EXPECT_EQ(w->sortColumn(), colMsn);
    EXPECT_FALSE(w->sortAscending());
    EXPECT_EQ(columnTexts(*w, colMsn), (std::vector<std::string>{"600", "70", "5"}));
    // Switched off (while a job runs), clicks change nothing.
    w->setColumnClickSorting(false);
    clickHeader(view, colNo);
    EXPECT_EQ(w->sortColumn(), colMsn);
    EXPECT_EQ(columnTexts(*w, colMsn), (std::vector<std::string>{"600", "70", "5"}));
}
