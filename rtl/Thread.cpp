#include "rtl/Thread.h"

#include <cstdio>
#include <mutex>

#include "rtl/Exception.h"

namespace rtl {

namespace {

std::mutex g_handlerLock;
TThread::UnhandledHandler g_handler;
TThread::StartHook g_startHook;

void reportToStderr(std::exception_ptr error, const std::string& threadName) {
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        std::fprintf(stderr, "Thread %s ended by %s: %s\n", threadName.c_str(), e.className(), e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Thread %s ended by an exception: %s\n", threadName.c_str(), e.what());
    } catch (...) {
        std::fprintf(stderr, "Thread %s ended by an unknown exception\n", threadName.c_str());
    }
}

}  // namespace

TThread::TThread(std::string name, Body body) : m_name(std::move(name)), m_body(std::move(body)) {}

TThread::~TThread() {
    terminate();
    waitFor();
}

void TThread::start() {
    if (m_thread.joinable() || m_finished.load()) throw EThread("Thread " + m_name + " was already started");
    m_thread = std::thread([this] { run(); });
}

void TThread::waitFor() {
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

void TThread::run() {
    StartHook startHook;
    {
        std::lock_guard<std::mutex> guard(g_handlerLock);
        startHook = g_startHook;
    }
    try {
        if (startHook) startHook();
        m_body(*this);
    } catch (...) {
        m_fatal = std::current_exception();
        UnhandledHandler handler;
        {
            std::lock_guard<std::mutex> guard(g_handlerLock);
            handler = g_handler;
        }
        if (handler)
            handler(m_fatal, m_name);
        else
            reportToStderr(m_fatal, m_name);
    }
    m_finished.store(true);
}

TThread::StartHook TThread::setStartHook(StartHook hook) {
    std::lock_guard<std::mutex> guard(g_handlerLock);
    std::swap(g_startHook, hook);
    return hook;
}

TThread::UnhandledHandler TThread::setUnhandledHandler(UnhandledHandler handler) {
    std::lock_guard<std::mutex> guard(g_handlerLock);
    std::swap(g_handler, handler);
    return handler;
}

}  // namespace rtl
