#include "net/NetTCPClient.h"

#include "net/NetIOHandlerSocket.h"

namespace net {

void TNetTCPClient::NotifyConnected() {
    if (OnConnected) OnConnected(*this);
}

void TNetTCPClient::OpenConnection(int timeout) {
    if (!IOHandler()) {
        auto transport = std::make_shared<TNetIOHandlerSocket>();
        transport->OnStatus = OnStatus;
        setOwnedIOHandler(transport);
    } else if (IOHandler()->IsOpen()) {
        throw ENetAlreadyConnected(text::kAlreadyConnected);
    }
    try {
        auto io = IOHandler();
        io->PrepareTransport();
        ClearReadState();
        io->OpenClient(m_host, m_port, BoundIP, BoundPort, BoundPortLow, BoundPortHigh, timeout);
        if (auto intercept = Intercept) intercept->AttachIntercept(this);
        ReportStatus(TNetStatus::hsConnected, m_host);
        NotifyConnected();
    } catch (...) {
        DropSocket();
        throw;
    }
}

std::string TNetTCPClient::OpenAndReadAll(int timeout) {
    OpenConnection(timeout);
    return ReadAll();
}

}  // namespace net
