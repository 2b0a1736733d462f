#include "net/NetStackPosix.h"

#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "NetLoopbackServer.h"
#include "net/NetComponent.h"
#include "net/NetSocketHandle.h"
#include "ExpectThrow.h"

using namespace net;
using testsupport::expectThrowWith;

namespace {

// Runs fn on a detached thread and waits up to timeoutMs; false when it has
// not finished (a resolver that cannot answer quickly). The thread keeps a
// component alive so the stack outlives it.
bool runWithin(int timeoutMs, std::function<void()> fn) {
    auto done = std::make_shared<std::promise<void>>();
    auto future = done->get_future();
    auto holder = std::make_shared<TNetComponent>();
    std::thread([fn = std::move(fn), done, holder] {
        try {
            fn();
            done->set_value();
        } catch (...) {
            done->set_exception(std::current_exception());
        }
    }).detach();
    if (future.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready) return false;
    future.get();
    return true;
}

}  // namespace

TEST(NetStackPosix, ErrorTextsAndTranslatedNumbers) {
    TNetComponent component;
    TNetStack& stack = GStack();
    EXPECT_EQ(stack.ErrorText(10061), "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(stack.ErrorText(10035), "Socket Error # 10035\r\nOperation would block. ");
    EXPECT_EQ(stack.ErrorText(10066), "Socket Error # 10066\r\nDirectory not empty");
    EXPECT_EQ(stack.ErrorText(11001), "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(stack.ErrorText(10101), "Socket Error # 10101\r\n");

    EXPECT_EQ(TNetStackPosix::TranslateErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(TNetStackPosix::TranslateErrno(EADDRINUSE), 10048);
    EXPECT_EQ(TNetStackPosix::TranslateErrno(ECONNRESET), 10054);
    EXPECT_EQ(TNetStackPosix::TranslateErrno(EPIPE), 10058);
    EXPECT_EQ(TNetStackPosix::TranslateErrno(EAGAIN), 10035);
    EXPECT_EQ(TNetStackPosix::TranslateLookupError(EAI_NONAME), 11001);

    EXPECT_FALSE(stack.CheckResult(0));
    EXPECT_FALSE(stack.CheckResult(17, {10048}));
    TNetStackPosix::SetLastError(10048);
    EXPECT_TRUE(stack.CheckResult(-1, {10048}));
    EXPECT_EQ(stack.LastErrorCode(), 10048);
    expectThrowWith<ENetSocketError>([&] { stack.CheckResult(-1, {10053}); },
                                     "Socket Error # 10048\r\nAddress already in use.",
                                     [&](const ENetSocketError& e) {
                                         EXPECT_EQ(e.code(), 10048);
                                         EXPECT_STREQ(e.className(), "ENetSocketError");
                                     });
}

TEST(NetStackPosix, RefusedConnectReports10061) {
    TNetComponent component;
    const int port = nettest::unusedPort();
    TNetSocketHandle handle;
    handle.AllocateHandle(SOCK_STREAM, 0);
    handle.SetPeer("127.0.0.1", port);
    const int result = handle.ConnectPeer(AF_INET);
    EXPECT_EQ(result, -1);
    expectThrowWith<ENetSocketError>([&] { GStack().CheckResult(result); },
                                     "Socket Error # 10061\r\nConnection refused.",
                                     [&](const ENetSocketError& e) { EXPECT_EQ(e.code(), 10061); });
}

TEST(NetStackPosix, LocalhostAndAddressRules) {
    TNetComponent component;
    TNetStack& stack = GStack();
    EXPECT_EQ(stack.HostToIP("localhost"), "127.0.0.1");
    EXPECT_EQ(stack.HostToIP("LocalHost"), "127.0.0.1");
    EXPECT_EQ(stack.HostToIP("LOCALHOST"), "127.0.0.1");
    EXPECT_EQ(stack.HostToIP("10.0.0.1"), "10.0.0.1");

    EXPECT_TRUE(TNetStack::LooksLikeIP("1.2.3.4"));
    EXPECT_TRUE(TNetStack::LooksLikeIP("255.255.255.0"));
    EXPECT_FALSE(TNetStack::LooksLikeIP("1.2.3"));
    EXPECT_FALSE(TNetStack::LooksLikeIP("1.2.3.4.5"));
    EXPECT_FALSE(TNetStack::LooksLikeIP("256.1.1.1"));
    EXPECT_FALSE(TNetStack::LooksLikeIP("1..3.4"));
    EXPECT_FALSE(TNetStack::LooksLikeIP("a.b.c.d"));
    EXPECT_FALSE(TNetStack::LooksLikeIP(""));
    EXPECT_FALSE(TNetStack::LooksLikeIP("1.2.3.-4"));

    const uint32_t address = TNetStack::ParseIPv4("192.168.1.20");
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address);
    EXPECT_EQ(bytes[0], 192);
    EXPECT_EQ(bytes[3], 20);
    EXPECT_EQ(stack.FormatIPv4(address), "192.168.1.20");
    EXPECT_THROW(TNetStack::ParseIPv4("1.2.x.4"), ENetConvertError);
    EXPECT_THROW(TNetStack::ParseIPv4("1.2.3.999"), ENetConvertError);
}

TEST(NetStackPosix, UnresolvableNamesGoToTheLookupAndFailWith11001) {
    // 256.1.1.1 is not an address, so it is looked up as a name and fails.
    int codeForName = 0;
    int codeForBadAddress = 0;
    const bool answered = runWithin(4000, [&] {
        expectThrowWith<ENetSocketError>([] { GStack().HostToIP("no-such-host.tessaly-test.invalid"); },
                                         "Socket Error # 11001\r\nHost not found.",
                                         [&](const ENetSocketError& e) { codeForName = e.code(); });
        try {
            GStack().HostToIP("256.1.1.1");
        } catch (const ENetSocketError& e) {
            codeForBadAddress = e.code();
        }
    });
    if (!answered) GTEST_SKIP() << "the resolver did not answer within 4 s";
    EXPECT_EQ(codeForName, 11001);
    EXPECT_NE(codeForBadAddress, 0);
}

TEST(NetStackPosix, BindTriesTheRangeFromTheTop) {
    TNetComponent component;
    // Find three consecutive free ports.
    int base = 0;
    for (int attempt = 0; attempt < 50 && base == 0; ++attempt) {
        const int candidate = nettest::unusedPort();
        if (candidate > 65533) continue;
        try {
            for (int p = candidate; p < candidate + 3; ++p) ::close(nettest::listenLoopback(1, p));
            base = candidate;
        } catch (const std::exception&) {
        }
    }
    ASSERT_NE(base, 0);
    const int top = nettest::listenLoopback(1, base + 2);  // the top port is taken

    auto bindInRange = [&] {
        auto handle = std::make_unique<TNetSocketHandle>();
        handle->AllocateHandle(SOCK_STREAM, 0);
        handle->IP = "127.0.0.1";
        handle->ClientPortMin = base;
        handle->ClientPortMax = base + 2;
        handle->BindLocal();
        return handle;
    };
    auto first = bindInRange();
    EXPECT_EQ(first->Port, base + 1);
    auto second = bindInRange();
    EXPECT_EQ(second->Port, base);
    expectThrowWith<ENetCanNotBindPortInRange>([&] { bindInRange(); },
                                               rtl::format("Can not bind in port range (%d - %d)", base, base + 2));

    TNetSocketHandle reversed;
    reversed.AllocateHandle(SOCK_STREAM, 0);
    reversed.ClientPortMin = 5002;
    reversed.ClientPortMax = 5000;
    expectThrowWith<ENetInvalidPortRange>([&] { reversed.BindLocal(); }, "Invalid Port Range (5002 - 5000)");

    TNetSocketHandle taken;
    taken.AllocateHandle(SOCK_STREAM, 0);
    taken.IP = "127.0.0.1";
    taken.Port = base + 2;
    expectThrowWith<ENetCouldNotBindSocket>([&] { taken.BindLocal(); },
                                            "Could not bind socket. Address and port are already in use.");

    TNetSocketHandle ephemeral;
    ephemeral.AllocateHandle(SOCK_STREAM, 0);
    ephemeral.BindLocal();
    EXPECT_GT(ephemeral.Port, 0);
    EXPECT_EQ(ephemeral.IP, "0.0.0.0");
    ::close(top);
}

TEST(NetStackPosix, SocketSetAndSelect) {
    TNetSocketList list;
    for (int i = 0; i < 64; ++i) list.Add(1000 + i);
    EXPECT_THROW(list.Add(2000), ENetStackSetSizeExceeded);
    expectThrowWith<ENetStackSetSizeExceeded>([&] { list.Item(64); }, "Set Size Exceeded.");
    list.Remove(1000);
    EXPECT_EQ(list.Count(), 63);
    EXPECT_EQ(list.Item(0), 1063);  // the last one moved into the freed place

    TNetComponent component;
    nettest::Latch sent;
    nettest::LoopbackServer server([&](int fd) {
        nettest::sendAll(fd, "x");
        sent.release();
        nettest::recvUpTo(fd, 1, 2000);
    });
    TNetSocketHandle quiet, talking;
    for (auto* h : {&quiet, &talking}) {
        h->AllocateHandle(SOCK_STREAM, 0);
        h->SetPeer("127.0.0.1", server.port());
        ASSERT_EQ(h->ConnectPeer(AF_INET), 0);
    }
    ASSERT_TRUE(sent.wait());
    // Each connection got its own handler; one of them sent, both did.
    TNetSocketList readable;
    readable.Add(quiet.SocketHandle);
    readable.Add(talking.SocketHandle);
    EXPECT_GE(GStack().StackSelect(&readable, nullptr, nullptr, 2000), 1);
    EXPECT_GE(readable.Count(), 1);
}

TEST(NetStackPosix, ServiceLookups) {
    TNetComponent component;
    TNetStack& stack = GStack();
    EXPECT_EQ(stack.StackGetServByName("12345"), 12345);
    expectThrowWith<ENetInvalidServiceName>([&] { stack.StackGetServByName("no-such-service-x"); },
                                            "no-such-service-x is not a valid service.");
    EXPECT_THROW(stack.StackGetServByName("99999"), ENetInvalidServiceName);
    if (stack.StackGetServByPort(80).empty()) GTEST_SKIP() << "no services database";
    EXPECT_EQ(stack.StackGetServByName("http"), 80);
    EXPECT_EQ(stack.StackGetServByPort(80).front(), "http");
}

TEST(NetStackPosix, StackLivesWithTheComponents) {
    if (LiveComponentCount() != 0) GTEST_SKIP() << "a lookup thread still holds the stack";
    EXPECT_EQ(TheStack(), nullptr);
    EXPECT_THROW(GStack(), ENetStackError);
    {
        TNetComponent a;
        TNetStack* first = TheStack();
        ASSERT_NE(first, nullptr);
        {
            TNetComponent b;
            EXPECT_EQ(LiveComponentCount(), 2);
            EXPECT_EQ(TheStack(), first);
        }
        EXPECT_EQ(TheStack(), first);
    }
    EXPECT_EQ(LiveComponentCount(), 0);
    EXPECT_EQ(TheStack(), nullptr);
}
