#include "net/NetAntiFreeze.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

#include "NetLoopbackServer.h"
#include "net/NetSocketHandle.h"
#include "ExpectThrow.h"

using namespace net;
using testsupport::expectThrowWith;
using Clock = std::chrono::steady_clock;

namespace {

// A connected socket handle and the server side's descriptor.
class Connected {
public:
    Connected()
        : m_server([this](int fd) {
              m_serverFd = fd;
              m_ready.release();
              m_done.wait(20000);
          }) {
        m_handle.AllocateHandle(SOCK_STREAM, 0);
        m_handle.SetPeer("127.0.0.1", m_server.port());
        if (m_handle.ConnectPeer(AF_INET) != 0) throw std::runtime_error("connect failed");
        m_ready.wait();
    }
    ~Connected() { m_done.release(); }
    TNetSocketHandle& handle() { return m_handle; }
    void serverSends(const std::string& bytes) { nettest::sendAll(m_serverFd, bytes); }

private:
    TNetComponent m_component;
    nettest::Latch m_ready, m_done;
    int m_serverFd = -1;
    nettest::LoopbackServer m_server;
    TNetSocketHandle m_handle;
};

struct PumpCounter {
    int all = 0;
    int one = 0;
    std::function<void(int)> onPump;  // gets the running count
    PumpCounter() {
        TNetAntiFreeze::SetMessagePump([this] { if (onPump) onPump(++all + one); else ++all; },
                                       [this] { if (onPump) onPump(all + ++one); else ++one; });
    }
    ~PumpCounter() { TNetAntiFreeze::SetMessagePump(nullptr, nullptr); }
};

long elapsedMs(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

}  // namespace

TEST(NetAntiFreeze, WaitIsSlicedWithAPumpAfterEachEmptySlice) {
    Connected c;
    PumpCounter pumps;
    TNetAntiFreeze freeze;
    ASSERT_TRUE(TNetAntiFreeze::IsEffective());

    auto start = Clock::now();
    EXPECT_FALSE(c.handle().WaitReadable(1000));
    EXPECT_EQ(pumps.all, 4);
    EXPECT_GE(elapsedMs(start), 900);

    pumps.all = 0;
    EXPECT_FALSE(c.handle().WaitReadable(600));  // 100 + 250 + 250
    EXPECT_EQ(pumps.all, 3);

    // Data sent during the second pump ends the wait with the third slice,
    // which found data and so does not pump.
    pumps.all = 0;
    pumps.onPump = [&](int n) { if (n == 2) c.serverSends("x"); };
    EXPECT_TRUE(c.handle().WaitReadable(5000));
    EXPECT_EQ(pumps.all, 2);
}

TEST(NetAntiFreeze, UnlimitedWaitRunsSlicesUntilDataOrRelease) {
    Connected c;
    PumpCounter pumps;
    TNetAntiFreeze freeze;
    freeze.IdleTimeOut = 50;
    pumps.onPump = [&](int n) { if (n == 3) c.serverSends("y"); };
    EXPECT_TRUE(c.handle().WaitReadable(Infinite));
    EXPECT_EQ(pumps.all, 3);

    // Released by a pumped handler: the next slice raises.
    char drain[8];
    c.handle().Receive(drain, sizeof drain);
    pumps.all = 0;
    pumps.onPump = [&](int n) { if (n == 2) c.handle().CloseSocketHandle(); };
    expectThrowWith<ENetConnClosedGracefully>([&] { c.handle().WaitReadable(Infinite); },
                                              "Connection Closed Gracefully.");
    EXPECT_EQ(pumps.all, 2);
    EXPECT_THROW(c.handle().WaitReadable(10), ENetConnClosedGracefully);
}

TEST(NetAntiFreeze, NoPumpWhenInactiveAbsentOrOffTheMainThread) {
    Connected c;
    PumpCounter pumps;
    {
        auto start = Clock::now();
        EXPECT_FALSE(c.handle().WaitReadable(400));  // no component: one select
        EXPECT_GE(elapsedMs(start), 350);
        EXPECT_EQ(pumps.all + pumps.one, 0);
    }
    TNetAntiFreeze freeze;
    freeze.Active = false;
    EXPECT_FALSE(TNetAntiFreeze::IsEffective());
    EXPECT_FALSE(c.handle().WaitReadable(400));
    EXPECT_EQ(pumps.all + pumps.one, 0);

    freeze.Active = true;
    bool effectiveThere = true;
    bool readable = true;
    std::thread other([&] {
        effectiveThere = TNetAntiFreeze::IsEffective();
        readable = c.handle().WaitReadable(600);
        TNetAntiFreeze::YieldToUI(true, true);
    });
    other.join();
    EXPECT_FALSE(effectiveThere);
    EXPECT_FALSE(readable);
    EXPECT_EQ(pumps.all + pumps.one, 0);
}

TEST(NetAntiFreeze, SettingsChooseHowAndWhenToPump) {
    PumpCounter pumps;
    TNetAntiFreeze freeze;
    TNetAntiFreeze::YieldToUI(false);  // progress, only-when-idle: nothing
    EXPECT_EQ(pumps.all, 0);
    TNetAntiFreeze::YieldToUI(false, true);  // forced
    EXPECT_EQ(pumps.all, 1);
    freeze.OnlyWhenIdle = false;
    TNetAntiFreeze::YieldToUI(false);
    EXPECT_EQ(pumps.all, 2);
    freeze.ApplicationHasPriority = false;
    TNetAntiFreeze::YieldToUI(true);
    EXPECT_EQ(pumps.all, 2);
    EXPECT_EQ(pumps.one, 1);

    // A slice that found data pumps too once OnlyWhenIdle is off.
    Connected c;
    freeze.ApplicationHasPriority = true;
    c.serverSends("z");
    EXPECT_TRUE(c.handle().WaitReadable(2000));
    EXPECT_EQ(pumps.all, 3);
}

TEST(NetAntiFreeze, NewestComponentIsCurrentAndFreeingAnyLeavesNone) {
    EXPECT_EQ(TNetAntiFreeze::CurrentAntiFreeze(), nullptr);
    auto first = std::make_unique<TNetAntiFreeze>();
    EXPECT_EQ(TNetAntiFreeze::CurrentAntiFreeze(), first.get());
    auto second = std::make_unique<TNetAntiFreeze>();
    EXPECT_EQ(TNetAntiFreeze::CurrentAntiFreeze(), second.get());
    first.reset();
    EXPECT_EQ(TNetAntiFreeze::CurrentAntiFreeze(), nullptr);
    EXPECT_FALSE(TNetAntiFreeze::IsEffective());
    second.reset();
    EXPECT_EQ(TNetAntiFreeze::CurrentAntiFreeze(), nullptr);
}
