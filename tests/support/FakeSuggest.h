#pragma once
// The fake suggestion service of tests/servers/fake_suggest.py, started for
// one test on an ephemeral port of 127.0.0.1 and stopped with the object.

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <string>

#include "GuiTestSupport.h"

namespace testsupport {

class FakeSuggest {
public:
    FakeSuggest(const QTemporaryDir& dir, const QString& mode) : m_log(dir.filePath("suggest.log")) {
        const QString portFile = dir.filePath("suggest.port");
        QFile::remove(portFile);  // a service started before in the same folder left its own
        QFile::remove(m_log);
        m_process.start("python3", {QString(TESSALY_TEST_SERVERS) + "/fake_suggest.py", portFile, m_log, "--mode", mode});
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(portFile) && clock.elapsed() < 10000) QThread::msleep(20);
        port = std::atoi(readFile(portFile.toStdString()).c_str());
    }
    ~FakeSuggest() {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    std::string endpointsIni() const { return "[Endpoints]\nSuggest=127.0.0.1:" + std::to_string(port) + "\n"; }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
    // One line per request: the target, " cookie=" and the Cookie header.
    std::string log() const { return readFile(m_log.toStdString()); }
    // The characters of security image number.
    static std::string answerOf(int number) { return "a&b #c+" + std::to_string(number); }
    int port = 0;

private:
    QProcess m_process;
    QString m_log;
};

}  // namespace testsupport
