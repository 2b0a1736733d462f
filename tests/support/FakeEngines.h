#pragma once
// The three fake search engines of tests/servers/fake_engines.py, started for
// one test on ephemeral ports of 127.0.0.1 and stopped with the object.

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <string>

#include "GuiTestSupport.h"

namespace testsupport {

class FakeEngines {
public:
    FakeEngines(const QTemporaryDir& dir, const QStringList& options) : m_log(dir.filePath("requests.log")) {
        const QString ports = dir.filePath("ports.txt");
        m_process.start("python3", QStringList{QString(TESSALY_TEST_SERVERS) + "/fake_engines.py", ports, m_log} + options);
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(ports) && clock.elapsed() < 10000) QThread::msleep(20);
        const std::string text = testsupport::readFile(ports.toStdString());
        std::sscanf(text.c_str(), "%d %d %d", &google, &yahoo, &msn);
    }
    ~FakeEngines() {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    std::string endpointsIni() const {
        return "[Endpoints]\nGoogle=127.0.0.1:" + std::to_string(google) + "\nYahoo=127.0.0.1:" + std::to_string(yahoo) +
               "\nMsn=127.0.0.1:" + std::to_string(msn) + "\n";
    }
    std::string log() const { return testsupport::readFile(m_log.toStdString()); }
    int google = 0, yahoo = 0, msn = 0;

private:
    QProcess m_process;
    QString m_log;
};

}  // namespace testsupport
