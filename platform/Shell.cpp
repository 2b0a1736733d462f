#include "platform/Shell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace platform {

bool shellExecuteOpen(const std::string& program, const std::string& parameters) {
    if (program.empty()) return false;
    return QProcess::startDetached(QString::fromLocal8Bit(program), {QString::fromLocal8Bit(parameters)});
}

void shellOpenUrl(const std::string& url) {
    if (url.empty()) return;
    QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromLocal8Bit(url)));
}

}  // namespace platform
