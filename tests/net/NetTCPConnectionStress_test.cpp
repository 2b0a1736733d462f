// Handlers that close the connection at random points of reads, writes and
// waits. Run under AddressSanitizer, this proves that a transport released
// by the user's Stop stays valid until the operation that fired the event
// has unwound, and that every such operation ends with one of the outcomes
// a Stop may have.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <random>
#include <thread>

#include "NetLoopbackServer.h"
#include "net/NetAntiFreeze.h"
#include "net/NetIOHandlerSocket.h"
#include "net/NetTCPClient.h"

using namespace net;

namespace {

// Sends lines of random length (and drains what the client writes) until
// about limit bytes went out or the client went away.
void chattyPeer(int fd, unsigned seed, size_t limit) {
    std::mt19937 random(seed);
    size_t sent = 0;
    char sink[65536];
    while (sent < limit) {
        pollfd p{fd, POLLIN | POLLOUT, 0};
        if (::poll(&p, 1, 2000) <= 0) return;
        if (p.revents & (POLLERR | POLLHUP)) return;
        if (p.revents & POLLIN) {
            const ssize_t n = ::recv(fd, sink, sizeof sink, 0);
            if (n <= 0) return;
        }
        if (p.revents & POLLOUT) {
            std::string line(random() % 3000, 'a' + static_cast<char>(random() % 26));
            line += random() % 2 ? "\r\n" : "\n";
            const ssize_t n = ::send(fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno != EAGAIN) return;
            if (n > 0) sent += static_cast<size_t>(n);
            // Pauses make empty slices, after which the pump runs (and may close).
            if (random() % 16 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(random() % 25));
        }
    }
}

void runOperation(TNetTCPClient& client, int operation, std::mt19937& random) {
    rtl::TMemoryStream stream;
    switch (operation) {
        case 0: client.ReadToStream(stream, 1 + random() % 300000, false); break;
        case 1: client.ReadToStream(stream, -1, true); break;
        case 2:
            for (int i = 0; i < 2000; ++i) client.ReadLine();
            break;
        case 3: {
            std::string payload(1 + random() % 400000, 'p');
            rtl::TStringStream source(payload);
            client.WriteFromStream(source);
            break;
        }
        case 4: {
            char block[4096];
            for (int i = 0; i < 200; ++i) client.ReadBytes(block, 1 + random() % sizeof block);
            break;
        }
        default: {
            client.StartWriteQueue(-1);
            for (int i = 0; i < 200; ++i) client.WriteLine(std::string(random() % 2000, 'q'));
            client.EndWriteQueue();
            client.ReadAll();
            break;
        }
    }
}

}  // namespace

TEST(NetTCPConnectionStress, RandomClosesFromHandlers) {
    std::mt19937 random(20261208);
    std::atomic<unsigned> serverSeed{1};
    nettest::LoopbackServer server([&](int fd) { chattyPeer(fd, serverSeed++, 600000); });

    TNetAntiFreeze freeze;
    int stoppedQuietly = 0, raised = 0;
    for (int round = 0; round < 300; ++round) {
        freeze.IdleTimeOut = 1 + static_cast<int>(random() % 20);
        freeze.OnlyWhenIdle = random() % 2;
        auto client = std::make_unique<TNetTCPClient>();
        if (random() % 4 == 0) client->SetIOHandler(std::make_shared<TNetIOHandlerSocket>());  // not owned
        client->SetHost("127.0.0.1");
        client->SetPort(server.port());
        client->RecvBufferSize = 512 + static_cast<int>(random() % 40000);
        client->SendBufferSize = 512 + static_cast<int>(random() % 40000);
        const unsigned closeOdds = 2 + random() % 60;
        TNetTCPClient* raw = client.get();
        auto maybeClose = [&random, raw, closeOdds] {
            if (random() % closeOdds == 0) raw->CloseConnection();
        };
        TNetAntiFreeze::SetMessagePump(maybeClose, maybeClose);
        client->OnWork = [&](TNetComponent&, TWorkMode, int64_t) { maybeClose(); };
        client->OnStatus = [&](TNetComponent&, TNetStatus, const std::string&) { maybeClose(); };
        try {
            client->OpenConnection();
            runOperation(*client, static_cast<int>(random() % 6), random);
            ++stoppedQuietly;
        } catch (const ENetConnClosedGracefully&) {
            ++raised;
        } catch (const ENetNotConnected&) {
            ++raised;
        } catch (const ENetClosedSocket&) {
            ++raised;
        } catch (const ENetSocketError& e) {
            // The peer may reset a connection it stopped serving.
            EXPECT_TRUE(e.code() == 10054 || e.code() == 10058 || e.code() == 10053) << e.what();
            ++raised;
        }
        client->CloseConnection();
        EXPECT_FALSE(client->IsConnected());
        TNetAntiFreeze::SetMessagePump(nullptr, nullptr);
    }
    EXPECT_GT(stoppedQuietly + raised, 0);
    RecordProperty("quiet", stoppedQuietly);
    RecordProperty("raised", raised);
}
