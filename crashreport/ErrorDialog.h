#pragma once
// TQuillErrorDialog: the error dialog — the message, OK, Details (shows the
// General / Call Stack / Modules / CPU tabs), the Restart or Terminate button
// when the report offers it, and the Send / Screenshot / Clipboard boxes.
// TQuillRequestDialog: the REQUEST dialog asking for the steps that led to
// the error. Both application-modal (nothing else of the program runs input
// while they are up). GUI thread only.

#include <QDialog>

#include "crashreport/DialogPlacement.h"
#include "crashreport/ExceptionLog.h"
#include "crashreport/ReporterGui.h"

class QCheckBox;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace crashreport {

class TQuillErrorDialog : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY(TQuillErrorDialog)
public:
    TQuillErrorDialog(const TReport& report, const TQuillModuleOptionsEx& options, QWidget* parent = nullptr);
    // The states of the boxes and whether the third button ended the dialog.
    TDialogResult result() const;

protected:
    void done(int code) override;

private:
    QWidget* buildPage(const QString& heading, QWidget* content);
    QTreeWidget* buildList(const std::vector<std::array<std::string, 6>>& rows, const int (&headers)[6]);
    void toggleDetails();

    const TQuillModuleOptionsEx& m_options;
    TDialogPlacement m_placement;
    QTabWidget* m_tabs = nullptr;
    QTreeWidget* m_modules = nullptr;
    QCheckBox* m_send = nullptr;
    QCheckBox* m_screenshot = nullptr;
    QCheckBox* m_clipboard = nullptr;
    bool m_thirdPressed = false;
};

class TQuillRequestDialog : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY(TQuillRequestDialog)
public:
    TQuillRequestDialog(const TQuillModuleOptionsEx& options, QWidget* parent = nullptr);
    std::string steps() const;
};

// Connects the report cycle to Qt: the dialogs, clipboard, screenshot and the
// GUI-thread calls. REQUIRES: the application object exists; call on its thread.
void installErrorDialog();
// Before the application object goes.
void removeErrorDialog();

}  // namespace crashreport
