#include <gtest/gtest.h>

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

#include "GuiTestSupport.h"
#include "app/FMain.h"
#include "app/KeywordListModel.h"

using namespace app;
using testsupport::onNextModal;

namespace {

// The dialog lists its folder in the background and then re-selects the
// remembered name; typing before that would be overwritten.
void waitForDirectoryListing(QWidget* dialog) {
    auto* model = dialog->findChild<QFileSystemModel*>();
    if (!model) return;
    QEventLoop loop;
    QObject::connect(model, &QFileSystemModel::directoryLoaded, &loop, &QEventLoop::quit);
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    QApplication::processEvents();
}

const std::string kHeader = "\"No\",\"Keywords\",\"Searches\",\"Google\",\"Yahoo\",\"Msn\"\r\n";

class SaveResultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::ensureApp();
        folder = testsupport::folderOf(dir);
        window = std::make_unique<TfrmMain>(folder);
        window->show();
    }
    // Presses Save Results and types name into the save dialog; returns the
    // message shown afterwards, if any.
    QString saveAs(const QString& name, QString* dialogFolder = nullptr) {
        QString message;
        testsupport::ModalWatch messageWatch("TskMessageForm", [&](QWidget* box) {
            message = box->findChild<QLabel*>("Message")->text();
            box->findChild<QPushButton*>("OK")->click();
        });
        testsupport::ModalWatch dialogWatch("skSkinSaveDialog1", [&](QWidget* d) {
            EXPECT_EQ(d->objectName(), "skSkinSaveDialog1");
            EXPECT_EQ(d->windowTitle(), "Save file");
            if (dialogFolder) *dialogFolder = qobject_cast<QFileDialog*>(d)->directory().absolutePath();
            waitForDirectoryListing(d);
            d->findChild<QLineEdit*>("fileNameEdit")->setText(name);
            QMetaObject::invokeMethod(d, "accept");
        });
        window->findChild<QPushButton*>("btnSaveResults")->click();
        return message;
    }
    QTemporaryDir dir;
    std::string folder;
    std::unique_ptr<TfrmMain> window;
};

}  // namespace

TEST_F(SaveResultsTest, EmptyListOnlyTells) {
    QString message;
    onNextModal([&](QWidget* box) {
        message = box->findChild<QLabel*>("Message")->text();
        EXPECT_EQ(box->objectName(), "TskMessageForm");  // not a file dialog
        box->findChild<QPushButton*>("OK")->click();
    });
    window->SaveResults();
    EXPECT_EQ(message, "You don't have any data to save.");
}

TEST_F(SaveResultsTest, WritesTheListInDisplayOrder) {
    TKeywordListModel& list = window->keywordList();
    list.setCell(window->addKeywordRow("golf clubs", "530"), colGoogle, "1,230,000");
    list.setCell(window->addKeywordRow("say \"hi\""), colGoogle, "950");
    window->addKeywordRow("empty");
    list.setChecked(1, true);  // check marks do not matter
    window->lvwItemsColumnClick(colGoogle);
    window->lvwItemsColumnClick(colGoogle);  // Google descending

    QString shownFolder;
    EXPECT_EQ(saveAs("results", &shownFolder), "");
    EXPECT_EQ(QDir(shownFolder).absolutePath(), QDir(dir.path()).absolutePath());
    const std::string expected = kHeader +
                                 "\"1\",\"golf clubs\",\"530\",\"1,230,000\",\"\",\"\"\r\n"
                                 "\"2\",\"say \"\"hi\"\"\",\"\",\"950\",\"\",\"\"\r\n"
                                 "\"3\",\"empty\",\"\",\"\",\"\",\"\"\r\n";
    EXPECT_EQ(testsupport::readFile(folder + "results.csv"), expected);

    // A second save opens with the last name and replaces the file without asking;
    // a .txt name gets .csv added.
    window->addKeywordRow("more");
    EXPECT_EQ(saveAs("results.csv"), "");
    EXPECT_NE(testsupport::readFile(folder + "results.csv").find("\"4\",\"more\""), std::string::npos);
    EXPECT_EQ(saveAs("notes.txt"), "");
    EXPECT_TRUE(QFile::exists(QString::fromStdString(folder + "notes.txt.csv")))
        << QDir(dir.path()).entryList(QDir::Files).join(",").toStdString();
}

TEST_F(SaveResultsTest, AFailedSaveSaysWhy) {
    window->addKeywordRow("golf");
    // No file can be created there, not even by root.
    const QString message = saveAs("/proc/tessaly-results.csv");
    EXPECT_TRUE(message.startsWith("Could not save the results to /proc/tessaly-results.csv: ")) << message.toStdString();
    EXPECT_GT(message.size(), QString("Could not save the results to /proc/tessaly-results.csv: ").size());
    EXPECT_FALSE(QFile::exists("/proc/tessaly-results.csv"));
}
