#include "rtl/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "rtl/Exception.h"
#include "ExpectThrow.h"

using namespace rtl;

TEST(Thread, RunsItsBodyOnce) {
    int ran = 0;
    {
        TThread ok("worker", [&](TThread&) { ran = 1; });
        ok.start();
        ok.waitFor();
        EXPECT_TRUE(ok.finished());
        EXPECT_EQ(ok.fatalException(), nullptr);
        EXPECT_THROW(ok.start(), EThread);
    }
    EXPECT_EQ(ran, 1);
}

TEST(Thread, ReportsAnExceptionThatEscapesItsBody) {
    std::atomic<int> reports{0};
    std::string reportedThread;
    auto previous = TThread::setUnhandledHandler([&](std::exception_ptr, const std::string& name) {
        reportedThread = name;
        ++reports;
    });

    TThread failing("failing", [](TThread&) { throw Exception("boom"); });
    failing.start();
    failing.waitFor();
    EXPECT_EQ(reports.load(), 1);
    EXPECT_EQ(reportedThread, "failing");
    ASSERT_NE(failing.fatalException(), nullptr);
    testsupport::expectThrowWith<Exception>([&] { std::rethrow_exception(failing.fatalException()); }, "boom");
    TThread::setUnhandledHandler(previous);
}

TEST(Thread, DestructorStopsALoopingBody) {
    std::atomic<bool> sawStop{false};
    {
        TThread looping("loop", [&](TThread& self) {
            while (!self.terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            sawStop = true;
        });
        looping.start();
    }
    EXPECT_TRUE(sawStop.load());
}
