#pragma once
// What the report cycle needs from the desktop, supplied by the Qt side
// (TQuillErrorDialog's installer). The cycle itself knows no Qt.

#include <functional>
#include <string>

#include "crashreport/QuillOptions.h"

namespace crashreport {

struct TReport;

struct TActiveControls {
    std::string formClass, formText, controlClass, controlText;
};

// The user's choices in the error dialog.
struct TDialogResult {
    bool send = false;
    bool screenshot = false;
    bool clipboard = false;
    bool thirdButton = false;  // Restart or Terminate was pressed
};

class TReporterGui {
public:
    virtual ~TReporterGui() = default;
    // Any thread.
    virtual bool isGuiThread() const = 0;
    // Runs work on the GUI thread later; any thread.
    virtual void postToGui(std::function<void()> work) = 0;
    // The rest: GUI thread only.
    virtual TActiveControls activeControls() = 0;
    // Shows the error dialog modally; false when it cannot be shown.
    virtual bool showDialog(const TReport& report, const TQuillModuleOptionsEx& options, TDialogResult& result) = 0;
    // The REQUEST dialog: the user's description of the steps (empty when none).
    virtual std::string askSteps(const TQuillModuleOptionsEx& options) = 0;
    virtual void copyToClipboard(const std::string& text) = 0;
    // Saves a picture of the screen as PNG; false on failure.
    virtual bool saveScreenshot(const std::string& path) = 0;
};

}  // namespace crashreport
