#pragma once
// The project's thread wrapper. Every thread of the program is started here so
// that an exception escaping its body is caught and reported (to the handler
// set with setUnhandledHandler; by default it goes to standard error) instead
// of ending the process. The report runs on the failing thread itself.
// start/terminate/waitFor may be called from any thread; the body runs once.

#include <atomic>
#include <exception>
#include <functional>
#include <string>
#include <thread>

namespace rtl {

class TThread {
public:
    using Body = std::function<void(TThread&)>;
    using UnhandledHandler = std::function<void(std::exception_ptr, const std::string& threadName)>;
    using StartHook = std::function<void()>;

    TThread(std::string name, Body body);
    // Asks the body to stop and waits for it.
    ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void start();
    void terminate() { m_terminated.store(true); }
    bool terminated() const { return m_terminated.load(); }
    bool finished() const { return m_finished.load(); }
    // Waits until the body has returned; safe to call more than once.
    void waitFor();
    // The exception that ended the body, or null.
    std::exception_ptr fatalException() const { return m_fatal; }
    const std::string& name() const { return m_name; }

    // Replaces the process-wide report hook; returns the previous one.
    static UnhandledHandler setUnhandledHandler(UnhandledHandler handler);
    // Replaces the process-wide hook every thread runs first, on itself (the
    // crash reporter prepares the thread there); returns the previous one.
    static StartHook setStartHook(StartHook hook);

private:
    void run();

    std::string m_name;
    Body m_body;
    std::thread m_thread;
    std::atomic<bool> m_terminated{false};
    std::atomic<bool> m_finished{false};
    std::exception_ptr m_fatal;
};

}  // namespace rtl
