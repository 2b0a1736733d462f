#pragma once
// Shared pieces of the widget tests: one application object per test
// process, answering modal windows from a timer, and scratch folders.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPointer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <fstream>
#include <functional>
#include <string>

#include "app/Application.h"

namespace testsupport {

inline app::TApplication& ensureApp() {
    static int argc = 1;
    static char name[] = "tessaly_test";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static auto* application = new app::TApplication(argc, argv);
    return *application;
}

// Runs action on the next modal window that opens (polling every 10 ms, for
// at most timeoutMs) whose objectName is objectName (any, when empty). Call
// it before the code that opens the window. The watch ends with the object.
class ModalWatch {
public:
    ModalWatch(QString objectName, std::function<void(QWidget*)> action, int timeoutMs = 5000)
        : m_name(std::move(objectName)), m_action(std::move(action)), m_timeoutMs(timeoutMs) {
        m_clock.start();
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }
    ModalWatch(const ModalWatch&) = delete;
    ModalWatch& operator=(const ModalWatch&) = delete;
    bool fired() const { return m_fired; }
    // True once the action has returned (or the watch timed out).
    bool finished() const { return m_finished; }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && !m_name.isEmpty() && modal->objectName() != m_name) modal = nullptr;
        if (!modal) {
            if (m_clock.elapsed() >= m_timeoutMs) {
                m_timer.stop();
                m_finished = true;
            }
            return;
        }
        m_timer.stop();
        m_fired = true;
        QPointer<QWidget> guard(modal);
        m_action(modal);
        // A failed check inside the action must not leave the window open forever.
        if (guard && guard->isVisible()) {
            if (auto* dialog = qobject_cast<QDialog*>(guard.data())) dialog->reject();
            if (guard && guard->isVisible()) guard->close();
        }
        m_finished = true;
    }

    QString m_name;
    std::function<void(QWidget*)> m_action;
    int m_timeoutMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    bool m_fired = false;
    bool m_finished = false;
};

// A watch for the next modal window named name (any, when empty) that lives
// until it has fired or timed out. Only for code that certainly opens one;
// otherwise keep a ModalWatch in scope.
inline void onModal(const QString& name, std::function<void(QWidget*)> action, int timeoutMs = 5000) {
    auto* watch = new ModalWatch(name, std::move(action), timeoutMs);
    auto* reaper = new QTimer;
    QObject::connect(reaper, &QTimer::timeout, [watch, reaper] {
        if (!watch->finished()) return;
        reaper->stop();
        reaper->deleteLater();
        delete watch;
    });
    reaper->start(20);
}

inline void onNextModal(std::function<void(QWidget*)> action, int timeoutMs = 5000) {
    onModal({}, std::move(action), timeoutMs);
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A scratch folder path ending in '/'.
inline std::string folderOf(const QTemporaryDir& dir) { return dir.path().toStdString() + "/"; }

}  // namespace testsupport
