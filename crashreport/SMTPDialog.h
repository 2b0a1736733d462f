#pragma once
// The SMTP progress dialog (title text 53, a status line with texts 55 to 58
// and a progress bar) and TSMTPThread, the worker that holds the SMTP
// conversation meanwhile: the dialog keeps the GUI thread's events going and
// closes when the worker ends. GUI thread only, but for the worker's body.

#include <QDialog>
#include <atomic>
#include <memory>

#include "crashreport/ReportSender.h"

class QLabel;
class QProgressBar;

namespace rtl {
class TThread;
}

namespace crashreport {

class TQuillSMTPDialog : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY(TQuillSMTPDialog)
public:
    // steps: how many progress steps the whole send has.
    TQuillSMTPDialog(const TQuillModuleOptionsEx& options, int steps, QWidget* parent = nullptr);
    void showStep(int textIndex, int stepsDone);
    // Ends the dialog; before it, closing is refused (the worker still needs it).
    void finish();

protected:
    void reject() override;

private:
    const TQuillModuleOptionsEx& m_options;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    bool m_finished = false;
};

class TSMTPThread {
public:
    // request and dialog must outlive the thread (waitFor returns after its end).
    TSMTPThread(const TSendRequest& request, TQuillSMTPDialog* dialog, int stepsPerRecipient);
    ~TSMTPThread();
    void start();
    void waitFor();
    bool sent() const { return m_sent.load(); }

private:
    std::unique_ptr<rtl::TThread> m_thread;
    std::atomic<bool> m_sent{false};
};

// SendMethod 2 or 3 on the GUI thread: the dialog over the worker. Else delivery on this thread.
bool sendReportWithProgress(const TSendRequest& request);
// Registers sendReportWithProgress as the installed reporter's sender.
void installReportDelivery();

}  // namespace crashreport
