#pragma once
// TFreezeThread: watches the GUI thread. It posts a small call to the GUI
// thread and waits for the answer; every 50 ms unanswered add to a running
// total, an answer resets it and pauses 250 ms. When the total reaches the
// set seconds, the GUI thread's registers and stack are copied (a signal sent
// to it) and reported as EFrozenApplication. One freeze is reported once: the
// watch counts again only after the GUI thread has answered.
// Created and destroyed on the GUI thread; the watch runs on its own thread.

#include <pthread.h>

#include <memory>
#include <string>

namespace rtl {
class TThread;
}

namespace crashreport {

class TExceptionLog;

class TFreezeThread {
public:
    static constexpr int kSliceMs = 50;
    static constexpr int kPauseMs = 250;

    // REQUIRES: called on the GUI thread, which is the thread watched.
    TFreezeThread(TExceptionLog& log, int seconds, std::string message);
    ~TFreezeThread();
    TFreezeThread(const TFreezeThread&) = delete;
    TFreezeThread& operator=(const TFreezeThread&) = delete;

private:
    void run(rtl::TThread& self);
    void reportFreeze();

    TExceptionLog& m_log;
    int m_limitMs;
    std::string m_message;
    pthread_t m_guiThread;
    std::unique_ptr<rtl::TThread> m_thread;
};

}  // namespace crashreport
