#include "app/Application.h"
#include "app/FMain.h"
#include "platform/ExecutableFolder.h"

int main(int argc, char** argv) {
    app::TApplication application(argc, argv);
    app::TfrmMain window(platform::executableFolder());
    window.show();
    return application.exec();
}
