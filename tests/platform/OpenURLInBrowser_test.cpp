#include "platform/OpenURLInBrowser.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <fstream>
#include <sys/stat.h>

#include "platform/HtmlOpenCommand.h"
#include "platform/LocaleCompare.h"

using namespace platform;

namespace {

void writeFile(const QString& path, const std::string& text) {
    std::ofstream(path.toStdString(), std::ios::binary) << text;
}

std::string waitAndRead(const QString& path) {
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(path) && clock.elapsed() < 5000) QThread::msleep(10);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll().toStdString();
}

}  // namespace

TEST(OpenURLInBrowser, CommandValueRule) {
    EXPECT_EQ(programFromCommandValue("\"/usr/bin/web browser\" -nohome \"%1\""), "/usr/bin/web browser");
    EXPECT_EQ(programFromCommandValue("/usr/bin/browser %1"), "");
    EXPECT_FALSE(OpenURLWithCommandValue("", "http://127.0.0.1/"));
    // No quoted program: nothing starts, yet the handler counts as found.
    EXPECT_TRUE(OpenURLWithCommandValue("/usr/bin/browser %1", "http://127.0.0.1/"));

    int argc = 1;
    char name[] = "t";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString script = dir.filePath("browser.sh");
    const QString record = dir.filePath("args.txt");
    writeFile(script, "#!/bin/sh\nprintf '%s|' \"$@\" > " + record.toStdString() + ".tmp; mv " +
                          record.toStdString() + ".tmp " + record.toStdString() + "\n");
    ::chmod(script.toLocal8Bit().constData(), 0755);
    // The value's own arguments are dropped: the URL is the only parameter.
    EXPECT_TRUE(OpenURLWithCommandValue("\"" + script.toStdString() + "\" -nohome \"%1\"",
                                        "http://127.0.0.1:9/a b?x=1&y=2"));
    EXPECT_EQ(waitAndRead(record), "http://127.0.0.1:9/a b?x=1&y=2|");
}

TEST(HtmlOpenCommand, DesktopDefaultBecomesAQuotedCommandValue) {
    QTemporaryDir dir;
    const std::string config = dir.filePath("config").toStdString();
    const std::string data = dir.filePath("data").toStdString();
    const std::string system = dir.filePath("system").toStdString();
    QDir().mkpath(QString::fromStdString(config));
    QDir().mkpath(QString::fromStdString(data + "/applications"));
    QDir().mkpath(QString::fromStdString(system + "/applications"));
    writeFile(QString::fromStdString(system + "/applications/mimeapps.list"),
              "[Default Applications]\ntext/html=sys.desktop\n");
    writeFile(QString::fromStdString(system + "/applications/sys.desktop"), "[Desktop Entry]\nExec=sh -c true %u\n");
    writeFile(QString::fromStdString(data + "/applications/user.desktop"),
              "[Desktop Entry]\nName=User\nExec=\"/bin/sh\" --private %U\n");

    // Only the system default exists: its program is found on PATH.
    EXPECT_EQ(defaultDesktopId("text/html", {config}, {data, system}), "sys.desktop");
    EXPECT_EQ(programFromCommandValue(commandValueFromDesktopFile("sys.desktop", {data, system})).substr(0, 1), "/");
    // The user's choice wins over the system's.
    writeFile(QString::fromStdString(config + "/mimeapps.list"),
              "[Added Associations]\ntext/html=other.desktop\n[Default Applications]\ntext/html=;user.desktop;x\n");
    EXPECT_EQ(defaultDesktopId("text/html", {config}, {data, system}), "user.desktop");
    EXPECT_EQ(commandValueFromDesktopFile("user.desktop", {data, system}), "\"/bin/sh\" --private %U");
    // Missing desktop files, missing programs and path tricks give nothing.
    EXPECT_EQ(commandValueFromDesktopFile("absent.desktop", {data, system}), "");
    writeFile(QString::fromStdString(data + "/applications/gone.desktop"), "[Desktop Entry]\nExec=no-such-program-x %u\n");
    EXPECT_EQ(commandValueFromDesktopFile("gone.desktop", {data, system}), "");
    EXPECT_EQ(commandValueFromDesktopFile("../applications/user.desktop", {data}), "");
    EXPECT_EQ(defaultDesktopId("text/html", {}, {}), "");
}

TEST(LocaleCompare, CaseIsIgnored) {
    EXPECT_EQ(compareTextIgnoreCase("golf", "Golf"), 0);
    EXPECT_LT(compareTextIgnoreCase("apple", "Banana"), 0);
    EXPECT_GT(compareTextIgnoreCase("Zebra", "apple"), 0);
    EXPECT_EQ(sortKeyIgnoreCase("GOLF").compare(sortKeyIgnoreCase("golf")), 0);
}
