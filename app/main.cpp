#include "app/Application.h"
#include "app/FMain.h"
#include "crashreport/ErrorDialog.h"
#include "crashreport/ExceptionLog.h"
#include "crashreport/SMTPDialog.h"
#include "platform/ExecutableFolder.h"

namespace {

// The crash reporter lives from before the main window to after it.
class CrashReporterScope {
public:
    CrashReporterScope(int argc, char** argv) {
        crashreport::TInstallParams params;
        params.options = crashreport::loadQuillOptions(platform::executableFolder() + "crashreport.ini");
        params.argc = argc;
        params.argv = argv;
        params.description = "Tessaly";
        params.version = "1.0";
        crashreport::TExceptionLog::install(std::move(params));
        crashreport::installReportDelivery();
    }
    ~CrashReporterScope() { crashreport::TExceptionLog::uninstall(); }
    CrashReporterScope(const CrashReporterScope&) = delete;
    CrashReporterScope& operator=(const CrashReporterScope&) = delete;
};

class ErrorDialogScope {
public:
    ErrorDialogScope() { crashreport::installErrorDialog(); }
    ~ErrorDialogScope() { crashreport::removeErrorDialog(); }
    ErrorDialogScope(const ErrorDialogScope&) = delete;
    ErrorDialogScope& operator=(const ErrorDialogScope&) = delete;
};

}  // namespace

int main(int argc, char** argv) {
    CrashReporterScope reporter(argc, argv);
    app::TApplication application(argc, argv);
    ErrorDialogScope errorDialog;
    app::TfrmMain window(platform::executableFolder());
    window.show();
    return application.exec();
}
