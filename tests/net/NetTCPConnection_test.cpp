#include "net/NetTCPConnection.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <sys/time.h>
#include <thread>

#include "NetLoopbackServer.h"
#include "net/NetAntiFreeze.h"
#include "net/NetIOHandlerSocket.h"
#include "net/NetTCPClient.h"
#include "ExpectThrow.h"

using namespace net;
using testsupport::expectThrowWith;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

long elapsedMs(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

std::unique_ptr<TNetTCPClient> connectTo(int port) {
    auto client = std::make_unique<TNetTCPClient>();
    client->SetHost("127.0.0.1");
    client->SetPort(port);
    client->OpenConnection();
    return client;
}

struct Pump {
    int count = 0;
    std::function<void(int)> onPump;
    Pump() {
        TNetAntiFreeze::SetMessagePump([this] { ++count; if (onPump) onPump(count); }, nullptr);
    }
    ~Pump() { TNetAntiFreeze::SetMessagePump(nullptr, nullptr); }
};

std::string bytesOf(char c, size_t n) { return std::string(n, c); }

}  // namespace

TEST(NetTCPConnection, ReadLineTerminatorsAndLoneCR) {
    nettest::LoopbackServer server([](int fd) {
        nettest::sendAll(fd, "abc\r\nabc\nx\ry\nabc\n\r\nhello\r");
        std::this_thread::sleep_for(100ms);  // the CR LF arrives split over two receives
        nettest::sendAll(fd, "\nworld\r\n");
        nettest::recvUpTo(fd, 1, 3000);
    });
    auto client = connectTo(server.port());
    EXPECT_EQ(client->ReadLine(), "abc");
    EXPECT_EQ(client->ReadLine(), "abc");
    EXPECT_EQ(client->ReadLine(), "x\ry");
    EXPECT_EQ(client->ReadLine("\r\n"), "abc\n");
    EXPECT_EQ(client->ReadLine("\r\n"), "hello");
    EXPECT_EQ(client->ReadLine(""), "world");
    EXPECT_FALSE(client->LineTimedOut());
    client->CloseConnection();
}

TEST(NetTCPConnection, MaxLineLengthExactlyOneOverAndSplit) {
    nettest::LoopbackServer server([](int fd) {
        nettest::sendAll(fd, bytesOf('a', 16384) + "\n" + bytesOf('b', 16385) + "\n");
        nettest::recvUpTo(fd, 1, 3000);
    });
    auto client = connectTo(server.port());
    EXPECT_EQ(client->ReadLine(), bytesOf('a', 16384));
    expectThrowWith<ENetReadLnMaxLineLengthExceeded>([&] { client->ReadLine(); }, "Max line length exceeded.");
    client->MaxLineAction = TNetMaxLineAction::maSplit;
    EXPECT_EQ(client->ReadLine(), bytesOf('b', 16384));
    EXPECT_TRUE(client->LineWasSplit());
    EXPECT_EQ(client->ReadLine(), "b");
    EXPECT_FALSE(client->LineWasSplit());
}

TEST(NetTCPConnection, QueuedBytesOutliveThePeersClose) {
    nettest::LoopbackServer unterminated([](int fd) { nettest::sendAll(fd, "abc"); });
    auto first = connectTo(unterminated.port());
    EXPECT_THROW(first->ReadLine(), ENetConnClosedGracefully);

    nettest::LoopbackServer server([](int fd) { nettest::sendAll(fd, "0123456789"); });
    auto client = connectTo(server.port());
    char four[4];
    client->ReadBytes(four, 4);
    EXPECT_EQ(std::string(four, 4), "0123");
    // Let the close arrive, then notice it while six bytes are still queued.
    for (int i = 0; i < 200 && client->IsConnected(); ++i) {
        client->PeekClosed(false);
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_FALSE(client->IsConnected());
    char six[6];
    client->ReadBytes(six, 6);
    EXPECT_EQ(std::string(six, 6), "456789");
    expectThrowWith<ENetConnClosedGracefully>([&] { client->ReadBytes(four, 1); }, "Connection Closed Gracefully.");
}

TEST(NetTCPConnection, ReadToStreamWorkEvents) {
    nettest::Latch more;
    nettest::LoopbackServer server([&](int fd) {
        nettest::sendAll(fd, bytesOf('1', 40));
        more.wait();
        nettest::sendAll(fd, bytesOf('2', 60));
        nettest::recvUpTo(fd, 1, 3000);
    });
    auto client = connectTo(server.port());
    while (client->InputQueue().size() < 40) client->FillInputQueue(true, 2000, true);

    std::vector<std::string> events;
    client->OnWorkBegin = [&](TNetComponent&, TWorkMode mode, int64_t max) {
        EXPECT_EQ(mode, TWorkMode::wmRead);
        events.push_back("begin " + std::to_string(max));
    };
    client->OnWork = [&](TNetComponent&, TWorkMode, int64_t count) {
        events.push_back(std::to_string(count));
        more.release();
    };
    client->OnWorkEnd = [&](TNetComponent&, TWorkMode) { events.push_back("end"); };

    rtl::TStringStream stream("head");
    stream.seek(0, rtl::SeekOrigin::End);
    client->ReadToStream(stream, 100, false);
    EXPECT_EQ(stream.dataString(), "head" + bytesOf('1', 40) + bytesOf('2', 60));
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events.front(), "begin 100");
    EXPECT_EQ(events[1], "40");
    EXPECT_EQ(events[events.size() - 2], "100");
    EXPECT_EQ(events.back(), "end");
    for (size_t i = 2; i + 1 < events.size(); ++i) EXPECT_GT(std::stoi(events[i]), std::stoi(events[i - 1]));
}

TEST(NetTCPConnection, ReadToStreamUntilCloseAndCountFirst) {
    const std::string body = bytesOf('q', 70000);
    nettest::LoopbackServer server([&](int fd) { nettest::sendAll(fd, body); });
    auto client = connectTo(server.port());
    int64_t began = -1, last = 0;
    client->OnWorkBegin = [&](TNetComponent&, TWorkMode, int64_t max) { began = max; };
    client->OnWork = [&](TNetComponent&, TWorkMode, int64_t count) { last = count; };
    rtl::TStringStream stream;
    EXPECT_NO_THROW(client->ReadToStream(stream, -1, true));
    EXPECT_EQ(stream.dataString(), body);
    EXPECT_EQ(began, 0);
    EXPECT_LE(last, static_cast<int64_t>(body.size()));
    EXPECT_FALSE(client->IsConnected());

    nettest::LoopbackServer counted([](int fd) {
        const std::string count = {0, 0, 1, 44};  // 300, network order
        nettest::sendAll(fd, count + bytesOf('c', 300) + "trailing");
        nettest::recvUpTo(fd, 1, 3000);
    });
    auto second = connectTo(counted.port());
    rtl::TStringStream exact;
    second->ReadToStream(exact);
    EXPECT_EQ(exact.dataString(), bytesOf('c', 300));
    EXPECT_EQ(second->ReadLine("g"), "trailin");
}

TEST(NetTCPConnection, CloseFromOnWorkEndsReadToStreamQuietly) {
    nettest::LoopbackServer server([](int fd) {
        const std::string block = bytesOf('z', 65536);
        for (int i = 0; i < 64; ++i)
            if (!nettest::sendAll(fd, block)) return;
    });
    auto client = connectTo(server.port());
    int64_t lastCount = 0;
    client->OnWork = [&](TNetComponent&, TWorkMode, int64_t count) {
        lastCount = count;
        if (count >= 100000) client->CloseConnection();
    };
    rtl::TStringStream stream;
    EXPECT_NO_THROW(client->ReadToStream(stream, 4 * 1024 * 1024, false));
    EXPECT_FALSE(client->IsConnected());
    EXPECT_GE(lastCount, 100000);
    EXPECT_EQ(static_cast<int64_t>(stream.dataString().size()), lastCount);  // cut at what was received
    expectThrowWith<ENetNotConnected>([&] { client->ReadLine(); }, "Not Connected");
}

TEST(NetTCPConnection, CloseFromThePumpDuringAWait) {
    nettest::Latch done;
    nettest::LoopbackServer server([&](int fd) {
        nettest::sendAll(fd, "partial");
        done.wait(10000);
    });
    Pump pump;
    TNetAntiFreeze freeze;
    freeze.IdleTimeOut = 50;

    auto reader = connectTo(server.port());
    pump.onPump = [&](int n) { if (n == 2) reader->CloseConnection(); };
    rtl::TStringStream stream;
    EXPECT_NO_THROW(reader->ReadToStream(stream, 1000, false));
    EXPECT_EQ(stream.dataString(), "partial");

    pump.count = 0;
    auto liner = connectTo(server.port());
    pump.onPump = [&](int n) { if (n == 2) liner->CloseConnection(); };
    expectThrowWith<ENetConnClosedGracefully>([&] { liner->ReadLine(); }, "Connection Closed Gracefully.");
    EXPECT_THROW(liner->ReadLine(), ENetNotConnected);
    done.release();
}

TEST(NetTCPConnection, ReadTimeoutPumpsMeanwhile) {
    nettest::Latch done;
    nettest::LoopbackServer server([&](int fd) { done.wait(10000); (void)fd; });
    Pump pump;
    TNetAntiFreeze freeze;
    auto client = connectTo(server.port());
    client->ReadTimeout = 1000;
    auto start = Clock::now();
    expectThrowWith<ENetReadTimeout>([&] { client->ReadLine(); }, "Read Timeout");
    EXPECT_GE(elapsedMs(start), 900);
    EXPECT_LT(elapsedMs(start), 5000);
    EXPECT_EQ(pump.count, 4);

    // An explicit time-out ends the call with an empty line.
    EXPECT_EQ(client->ReadLine("\n", 300), "");
    EXPECT_TRUE(client->LineTimedOut());
    EXPECT_TRUE(client->IsConnected());
    done.release();
}

TEST(NetTCPConnection, ConnectFailuresOnTheWorkerAndTheCallingThread) {
    const int port = nettest::unusedPort();
    TNetTCPClient plain;
    plain.SetHost("127.0.0.1");
    plain.SetPort(port);
    expectThrowWith<ENetSocketError>([&] { plain.OpenConnection(); }, "Socket Error # 10061\r\nConnection refused.");
    EXPECT_FALSE(plain.IsConnected());

    Pump pump;
    TNetAntiFreeze freeze;
    TNetTCPClient worker;
    worker.SetHost("127.0.0.1");
    worker.SetPort(port);
    expectThrowWith<ENetConnectException>(
        [&] { worker.OpenConnection(); },
        "Socket Error # 10061\r\nConnection refused.");  // ReadTimeout 0, component active: on the worker thread
    EXPECT_FALSE(worker.IsConnected());
}

TEST(NetTCPConnection, ConnectToAFullBacklogTimesOut) {
    TNetComponent component;
    const int listener = nettest::listenLoopback(0);
    const int port = nettest::localPort(listener);
    // Fill the accept queue until a connect stays pending.
    std::vector<int> fillers;
    bool pending = false;
    for (int i = 0; i < 16 && !pending; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(fd);
        pollfd p{fd, POLLOUT, 0};
        pending = ::poll(&p, 1, 200) == 0;
    }
    if (!pending) {
        for (int fd : fillers) ::close(fd);
        ::close(listener);
        GTEST_SKIP() << "the kernel accepted every connect";
    }
    TNetTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(port);
    auto start = Clock::now();
    expectThrowWith<ENetConnectTimeout>([&] { client.OpenConnection(400); }, "Connect timed out.");
    EXPECT_LT(elapsedMs(start), 5000);
    EXPECT_FALSE(client.IsConnected());

    // The user's Stop while the worker still connects ends the open at once.
    Pump pump;
    TNetAntiFreeze freeze;
    TNetTCPClient stopped;
    stopped.SetHost("127.0.0.1");
    stopped.SetPort(port);
    pump.onPump = [&](int n) { if (n == 2) stopped.CloseConnection(); };
    start = Clock::now();
    EXPECT_THROW(stopped.OpenConnection(), ENetConnClosedGracefully);
    EXPECT_LT(elapsedMs(start), 5000);
    EXPECT_EQ(pump.count, 2);
    EXPECT_FALSE(stopped.IsConnected());
    for (int fd : fillers) ::close(fd);
    ::close(listener);
}

TEST(NetTCPConnection, WriteQueueSendsTheWholeHeadInOneSend) {
    std::string received;
    std::atomic<bool> early{false};
    nettest::Latch flushing, finished, done;
    nettest::LoopbackServer server([&](int fd) {
        while (!flushing.isSet()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 10) > 0) {
                early = true;
                break;
            }
        }
        received = nettest::recvUpTo(fd, 39, 3000);
        finished.release();
        done.wait();
    });
    auto client = connectTo(server.port());
    std::vector<int64_t> sends;
    client->OnWork = [&](TNetComponent&, TWorkMode mode, int64_t count) {
        EXPECT_EQ(mode, TWorkMode::wmWrite);
        sends.push_back(count);
    };
    client->StartWork(TWorkMode::wmWrite, 0);
    client->StartWriteQueue(-1);
    client->WriteLine("GET / HTTP/1.1");
    client->WriteLine("Host: a");
    client->WriteLine("");
    client->WriteText("body=1234567");
    std::this_thread::sleep_for(100ms);
    const bool sentBeforeFlush = early;
    flushing.release();
    client->EndWriteQueue();
    client->FinishWork(TWorkMode::wmWrite);
    EXPECT_FALSE(client->WriteQueueActive());
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(sends[0], 39);
    ASSERT_TRUE(finished.wait());
    EXPECT_FALSE(sentBeforeFlush);
    EXPECT_EQ(received, "GET / HTTP/1.1\r\nHost: a\r\n\r\nbody=1234567");

    // A threshold flushes early, that many bytes at a time.
    sends.clear();
    client->StartWork(TWorkMode::wmWrite, 0);
    client->StartWriteQueue(4);
    client->WriteText("abcdefghij");
    EXPECT_EQ(sends, (std::vector<int64_t>{4}));
    client->DiscardWriteQueue();
    client->EndWriteQueue();
    client->FinishWork(TWorkMode::wmWrite);
    EXPECT_EQ(sends.size(), 1u);
    done.release();
}

// The peer never reads and the socket's send buffer is small, so a large
// write goes out in partial sends; the pump closes the connection after the first.
TEST(NetTCPConnection, CloseBetweenPartialSendsStopsWithNotConnected) {
    nettest::Latch done;
    nettest::LoopbackServer server([&](int fd) {
        const int small = 4096;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        done.wait(10000);
    });
    Pump pump;
    TNetAntiFreeze freeze;
    freeze.OnlyWhenIdle = false;  // sends pump too
    auto client = connectTo(server.port());
    auto* transport = dynamic_cast<TNetIOHandlerSocket*>(client->IOHandler().get());
    ASSERT_NE(transport, nullptr);
    const int small = 4096;
    transport->Handle()->SetSockOpt(SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    const timeval wait{0, 200000};
    transport->Handle()->SetSockOpt(SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);

    int sendsSeen = 0;
    pump.onPump = [&](int) {
        ++sendsSeen;
        client->CloseConnection();  // frees the owned transport while PutBytes still uses it
    };
    const std::string big = bytesOf('w', 8 * 1024 * 1024);
    expectThrowWith<ENetNotConnected>([&] { client->WriteText(big); }, "Not Connected");
    EXPECT_EQ(sendsSeen, 1);
    EXPECT_EQ(client->IOHandler(), nullptr);
    done.release();
}

TEST(NetTCPConnection, StatusEventsAndAlreadyConnected) {
    nettest::LoopbackServer server([](int fd) { nettest::recvUpTo(fd, 1, 3000); });
    std::vector<std::string> texts;
    TNetTCPClient client;
    client.OnStatus = [&](TNetComponent&, TNetStatus, const std::string& text) { texts.push_back(text); };
    bool connected = false, disconnected = false;
    client.OnConnected = [&](TNetTCPConnection&) { connected = true; };
    client.OnDisconnected = [&](TNetTCPConnection&) { disconnected = true; };
    client.SetHost("localhost");
    client.SetPort(server.port());
    client.OpenConnection();
    EXPECT_TRUE(connected);
    EXPECT_TRUE(client.IsConnected());
    EXPECT_TRUE(client.OwnsIOHandler());
    expectThrowWith<ENetAlreadyConnected>([&] { client.OpenConnection(); }, "Already connected.");
    client.CloseConnection();
    EXPECT_TRUE(disconnected);
    EXPECT_FALSE(client.OwnsIOHandler());
    EXPECT_EQ(texts, (std::vector<std::string>{"Resolving hostname localhost.", "Connecting to 127.0.0.1.",
                                               "Connected.", "Disconnecting.", "Disconnected."}));
    // A closed connection opens again.
    client.SetHost("127.0.0.1");
    client.OpenConnection();
    EXPECT_TRUE(client.IsConnected());
}

TEST(NetTCPConnection, InterceptChainAndASCIIFilter) {
    std::string seenByServer;
    nettest::Latch received;
    nettest::LoopbackServer server([&](int fd) {
        nettest::sendAll(fd, "Hello\n\xC1\xC2\n");
        seenByServer = nettest::recvUpTo(fd, 6, 3000);
        received.release();
    });
    auto outer = std::make_shared<TNetConnectionIntercept>();
    auto inner = std::make_shared<TNetConnectionIntercept>();
    outer->Intercept = inner;
    std::vector<std::string> order;
    auto upper = [](rtl::TStream& s) {
        std::string all(static_cast<size_t>(s.size()), '\0');
        s.readBuffer(all.data(), s.size());
        for (auto& c : all) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        s.setPosition(0);
        s.writeBuffer(all.data(), s.size());
    };
    inner->OnReceive = [&](TNetConnectionIntercept&, rtl::TStream&) { order.push_back("inner receive"); };
    outer->OnReceive = [&](TNetConnectionIntercept&, rtl::TStream& s) { order.push_back("outer receive"); upper(s); };
    outer->OnSend = [&](TNetConnectionIntercept&, rtl::TStream& s) {
        order.push_back("outer send");
        s.setSize(s.size() + 1);  // a filter may change the length
        s.seek(-1, rtl::SeekOrigin::End);
        s.writeString("!");
    };
    inner->OnSend = [&](TNetConnectionIntercept&, rtl::TStream&) { order.push_back("inner send"); };
    outer->OnConnect = [&](TNetConnectionIntercept&) { order.push_back("connect"); };
    outer->OnDisconnect = [&](TNetConnectionIntercept&) { order.push_back("disconnect"); };

    TNetTCPClient client;
    client.Intercept = outer;
    client.ASCIIFilter = true;
    client.SetHost("127.0.0.1");
    client.SetPort(server.port());
    client.OpenConnection();
    EXPECT_EQ(client.ReadLine(), "HELLO");
    EXPECT_EQ(client.ReadLine(), "AB");
    client.WriteText("write");
    client.CloseConnection();
    EXPECT_EQ(order.front(), "connect");
    EXPECT_EQ(order[1], "inner receive");
    EXPECT_EQ(order[2], "outer receive");
    EXPECT_EQ(order[order.size() - 3], "outer send");
    EXPECT_EQ(order[order.size() - 2], "inner send");
    EXPECT_EQ(order.back(), "disconnect");
    EXPECT_EQ(outer->Connection(), nullptr);
    ASSERT_TRUE(received.wait());
    EXPECT_EQ(seenByServer, "write!");
}

TEST(NetTCPConnection, WriteFileContentsAndInt32) {
    std::string received;
    nettest::Latch finished;
    nettest::LoopbackServer server([&](int fd) {
        received = nettest::recvUpTo(fd, 100004, 3000);
        finished.release();
    });
    char path[] = "/tmp/tessaly-net-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    std::string content;
    for (int i = 0; i < 100000; ++i) content += static_cast<char>('a' + i % 26);
    ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    ::close(fd);

    auto client = connectTo(server.port());
    client->SendBufferSize = 4096;
    int64_t began = -1, lastCount = 0;
    client->OnWorkBegin = [&](TNetComponent&, TWorkMode, int64_t max) { began = max; };
    client->OnWork = [&](TNetComponent&, TWorkMode, int64_t count) { lastCount = count; };
    client->WriteInt32(0x01020304);
    EXPECT_EQ(client->WriteFileContents(path), 100000);
    EXPECT_EQ(began, 100000);
    EXPECT_EQ(lastCount, 100000);
    ASSERT_TRUE(finished.wait());
    EXPECT_EQ(received, std::string("\x01\x02\x03\x04") + content);
    ::unlink(path);
}

TEST(NetTCPConnection, MissingFilesAndShortStreamsAreRefused) {
    nettest::Latch done;
    nettest::LoopbackServer server([&](int) { done.wait(); });
    auto client = connectTo(server.port());
    expectThrowWith<ENetFileNotFound>([&] { client->WriteFileContents("/tmp/tessaly-no-such-file"); },
                                      "File \"/tmp/tessaly-no-such-file\" not found");
    rtl::TStringStream shortStream("abc");
    EXPECT_THROW(client->WriteFromStream(shortStream, true, false, 10), ENetNoDataToRead);
    done.release();
}

// Full receives skip the wait while data streams; the time-out and the
// pumping after busy slices (OnlyWhenIdle off) must still hold.
TEST(NetTCPConnection, BulkReadsStillTimeOutAndPump) {
    nettest::Latch done;
    nettest::LoopbackServer server([&](int fd) {
        nettest::sendAll(fd, bytesOf('k', 200000));
        done.wait(10000);
    });
    Pump pump;
    TNetAntiFreeze freeze;
    freeze.OnlyWhenIdle = false;
    auto client = connectTo(server.port());
    client->RecvBufferSize = 4096;
    int receives = 0;
    client->OnWork = [&](TNetComponent&, TWorkMode, int64_t) { ++receives; };
    rtl::TNullStream sink;
    client->ReadToStream(sink, 200000, false);
    EXPECT_EQ(sink.size(), 200000);
    EXPECT_GE(pump.count, receives);  // a pump after every slice, busy or not

    freeze.OnlyWhenIdle = true;
    client->ReadTimeout = 300;
    auto start = Clock::now();
    EXPECT_THROW(client->ReadLine(), ENetReadTimeout);
    EXPECT_GE(elapsedMs(start), 250);
    done.release();
}
