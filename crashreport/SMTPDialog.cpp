#include "crashreport/SMTPDialog.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QThread>
#include <QVBoxLayout>

#include "crashreport/ExceptionLog.h"
#include "crashreport/InternalNotices.h"
#include "crashreport/ReportDelivery.h"
#include "rtl/Thread.h"

namespace crashreport {

namespace {

constexpr int kDialogWidth = 320;

QString shown(const std::string& text) { return QString::fromLocal8Bit(text); }

bool onGuiThreadWithWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

}  // namespace

TQuillSMTPDialog::TQuillSMTPDialog(const TQuillModuleOptionsEx& options, int steps, QWidget* parent)
    : QDialog(parent), m_options(options) {
    setObjectName("SMTP");
    setWindowTitle(shown(options.CustomTexts[txtSMTPTitle]));
    setWindowModality(Qt::ApplicationModal);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    auto* layout = new QVBoxLayout(this);
    m_status = new QLabel(this);
    m_status->setObjectName("lblStatus");
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("pbProgress");
    m_progress->setRange(0, steps > 0 ? steps : 1);
    m_progress->setValue(0);
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
    setMinimumWidth(kDialogWidth);
}

void TQuillSMTPDialog::showStep(int textIndex, int stepsDone) {
    if (textIndex >= 0 && textIndex < kCustomTextCount) m_status->setText(shown(m_options.CustomTexts[textIndex]));
    m_progress->setValue(std::min(stepsDone, m_progress->maximum()));
}

void TQuillSMTPDialog::finish() {
    m_finished = true;
    m_progress->setValue(m_progress->maximum());
    done(QDialog::Accepted);
}

void TQuillSMTPDialog::reject() {
    if (m_finished) QDialog::reject();
}

TSMTPThread::TSMTPThread(const TSendRequest& request, TQuillSMTPDialog* dialog, int stepsPerRecipient) {
    QPointer<TQuillSMTPDialog> target(dialog);
    auto post = [target](std::function<void(TQuillSMTPDialog&)> work) {
        if (!target) return;
        QMetaObject::invokeMethod(
            target.data(), [target, work] { if (target) work(*target); }, Qt::QueuedConnection);
    };
    m_thread = std::make_unique<rtl::TThread>("TSMTPThread", [this, &request, post, stepsPerRecipient](rtl::TThread&) {
        auto progress = [&](int text, size_t recipient) {
            const int done = static_cast<int>(recipient) * stepsPerRecipient + (text - txtResolvingMX) -
                             (stepsPerRecipient == 4 ? 0 : 1) + 1;
            post([text, done](TQuillSMTPDialog& d) { d.showStep(text, done); });
        };
        try {
            m_sent = deliverBySMTP(request, progress);
        } catch (...) {
            recordErrorNotice("SMTP", 0, std::current_exception());
        }
        post([](TQuillSMTPDialog& d) { d.finish(); });
    });
}

TSMTPThread::~TSMTPThread() { waitFor(); }

void TSMTPThread::start() { m_thread->start(); }

void TSMTPThread::waitFor() { m_thread->waitFor(); }

bool sendReportWithProgress(const TSendRequest& request) {
    if (!request.options) return false;
    const uint8_t method = request.options->SendMethod;
    if ((method != smSMTPServer && method != smSMTPDirect) || !onGuiThreadWithWidgets()) return deliverReport(request);
    const int perRecipient = method == smSMTPDirect ? 4 : 3;
    const int recipients = static_cast<int>(splitRecipients(request.options->Recipients).size());
    TQuillSMTPDialog dialog(*request.options, perRecipient * std::max(recipients, 1), QApplication::activeWindow());
    TSMTPThread worker(request, &dialog, perRecipient);
    try {
        worker.start();
    } catch (...) {
        recordErrorNotice("SMTP", 0, std::current_exception());
        return deliverReport(request);
    }
    dialog.exec();
    worker.waitFor();
    return worker.sent();
}

void installReportDelivery() {
    if (TExceptionLog* log = TExceptionLog::instance()) log->setSender(sendReportWithProgress);
}

}  // namespace crashreport
