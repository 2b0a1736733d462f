#include "net/NetTCPConnection.h"

#include <algorithm>
#include <arpa/inet.h>
#include <climits>
#include <cstring>
#include <sys/stat.h>

#include "net/NetAntiFreeze.h"
#include "net/NetScope.h"

namespace net {

TNetTCPConnection::TNetTCPConnection() {
    m_inputQueue.OnConsumed = [this](TNetSimpleBuffer&, int64_t count) { AddWork(TWorkMode::wmRead, count); };
}

TNetTCPConnection::~TNetTCPConnection() {
    m_inputQueue.OnConsumed = nullptr;
    OnDisconnected = nullptr;
    closeQuietly([this] { DropSocket(); });
    m_ioHandler.reset();
}

void TNetTCPConnection::SetIOHandler(std::shared_ptr<TNetIOHandler> handler) {
    m_ioHandler = std::move(handler);  // an owned transport is released here
    m_ownsIOHandler = false;
}

void TNetTCPConnection::setOwnedIOHandler(std::shared_ptr<TNetIOHandler> handler) {
    m_ioHandler = std::move(handler);
    m_ownsIOHandler = true;
}

void TNetTCPConnection::NotifyDisconnected() {
    if (OnDisconnected) OnDisconnected(*this);
}

void TNetTCPConnection::ClearReadState() {
    m_inputQueue.Clear();
    m_closedByPeer = false;
    m_lastReceiveFull = false;
}

void TNetTCPConnection::CheckClosed(bool raiseIfClosed, bool ignoreBuffer) {
    bool closed = false;
    if (m_closedByPeer || !m_ioHandler) {
        if (auto io = m_ioHandler) {
            if (io->IsOpen()) {
                DropSocket();
                ReportStatus(TNetStatus::hsDisconnected);
                NotifyDisconnected();
            }
            closed = true;
        }
    } else {
        closed = !m_ioHandler->IsOpen();
    }
    if (closed && raiseIfClosed && (m_inputQueue.size() == 0 || ignoreBuffer)) throw ENetConnClosedGracefully();
}

void TNetTCPConnection::PeekClosed(bool raiseIfClosed) { FillInputQueue(raiseIfClosed, 1, false); }

bool TNetTCPConnection::IsConnected() const { return m_ioHandler && !m_closedByPeer && m_ioHandler->IsOpen(); }

void TNetTCPConnection::CloseConnection() {
    ++m_localCloses;
    ReportStatus(TNetStatus::hsDisconnecting);
    DropSocket();
    if (m_ownsIOHandler) {
        // Operations still running hold their own reference; the transport
        // is freed when the last of them has unwound.
        m_ioHandler.reset();
        m_ownsIOHandler = false;
    }
    NotifyDisconnected();
    ReportStatus(TNetStatus::hsDisconnected);
}

void TNetTCPConnection::DropSocket() {
    auto io = m_ioHandler;
    if (!io) return;
    m_closedByPeer = true;
    if (auto intercept = Intercept) intercept->DetachIntercept();
    io->ShutTransport();
}

// --- receiving ---

int TNetTCPConnection::receiveThroughIntercept(TNetIOHandler& io, bool onlyIfWaiting) {
    const int want = std::max(RecvBufferSize, 1);
    m_receiveChunk.Clear();
    char* target = m_receiveChunk.ReserveTail(want);
    const int n = onlyIfWaiting ? io.TryReceiveBytes(target, want) : io.ReceiveBytes(target, want);
    m_lastReceiveFull = n == want;
    if (n <= 0) return n;
    m_receiveChunk.CommitTail(n);
    m_receiveChunk.setPosition(0);
    auto intercept = Intercept;
    intercept->FilterReceived(m_receiveChunk);
    const int64_t filtered = m_receiveChunk.size();
    if (ASCIIFilter)
        for (int64_t i = 0; i < filtered; ++i) m_receiveChunk.Data()[i] &= 0x7F;
    m_inputQueue.Append(m_receiveChunk.Data(), filtered);
    // A filter that swallowed everything still counts as a receive, not a close.
    return filtered > 0 ? static_cast<int>(filtered) : n;
}

TNetTCPConnection::Receipt TNetTCPConnection::Receipt::FromResult(int n) {
    if (n > 0) return {rcBytes, n};
    if (n == 0) return {rcClosed, 0};
    if (n == TNetIOHandler::kNothingWaiting) return {rcNothingWaiting, 0};
    return {rcError, 0};
}

// onlyIfWaiting: rcNothingWaiting instead of blocking.
TNetTCPConnection::Receipt TNetTCPConnection::receiveOnce(TNetIOHandler& io, bool onlyIfWaiting) {
    if (Intercept) return Receipt::FromResult(receiveThroughIntercept(io, onlyIfWaiting));
    // Without a filter the bytes go straight into the spare room of the queue.
    const int want = std::max(RecvBufferSize, 1);
    char* tail = m_inputQueue.ReserveTail(want);
    const int n = onlyIfWaiting ? io.TryReceiveBytes(tail, want) : io.ReceiveBytes(tail, want);
    m_lastReceiveFull = n == want;
    if (n <= 0) return Receipt::FromResult(n);
    if (ASCIIFilter)
        for (int i = 0; i < n; ++i) tail[i] &= 0x7F;
    m_inputQueue.CommitTail(n);
    return Receipt::FromResult(n);
}

// While data streams in, a receive that finds bytes waiting is what the wait
// would have led to: the wait's select would return at once and its yield
// would not pump (a slice with data pumps only when OnlyWhenIdle is off).
bool TNetTCPConnection::canSkipWait() {
    if (!m_lastReceiveFull || !m_ioHandler || !m_ioHandler->IsOpen()) return false;
    if (!TNetAntiFreeze::IsEffective()) return true;
    TNetAntiFreeze* freeze = TNetAntiFreeze::CurrentAntiFreeze();
    return freeze && freeze->OnlyWhenIdle;
}

TNetFillResult TNetTCPConnection::FillInputQueue(bool raiseIfClosed, TNetTimeout timeout, bool raiseOnTimeout) {
    const int wait = timeout.Resolve(ReadTimeout);
    CheckClosed(raiseIfClosed, false);
    if (!IsConnected()) {
        if (raiseIfClosed) throw ENetNotConnected(text::kNotConnected);
        return TNetFillResult::Closed();
    }
    Receipt receipt;
    do {
        auto io = m_ioHandler;  // kept alive across the wait: a pumped handler may close us
        if (!io) {
            if (raiseIfClosed) throw ENetNotConnected(text::kNotConnected);
            return TNetFillResult::Closed();
        }
        receipt = canSkipWait() ? receiveOnce(*io, true) : Receipt{Receipt::rcNothingWaiting, 0};
        if (receipt.Kind == Receipt::rcNothingWaiting) {
            if (!io->WaitReadable(wait)) {
                if (raiseOnTimeout) throw ENetReadTimeout(text::kReadTimeout);
                return TNetFillResult::TimedOut();
            }
            if (m_ioHandler != io) {  // an owned transport was released while we waited
                if (raiseIfClosed) throw ENetNotConnected(text::kNotConnected);
                receipt = Receipt{};
            } else if (io->IsOpen()) {
                receipt = receiveOnce(*io, false);
            } else {
                receipt = Receipt{};  // a released socket counts as closed
            }
        }
        m_closedByPeer = receipt.Kind == Receipt::rcClosed;
        if (receipt.Kind == Receipt::rcError) {
            TNetStack& stack = Stack();
            stack.CheckResult(SocketErrorResult, {kErrShutdown, kErrConnAborted});
            receipt = Receipt{};
            const int code = stack.LastErrorCode();
            DropSocket();
            if (m_inputQueue.size() == 0) stack.RaiseError(code);
        }
        CheckClosed(raiseIfClosed, false);
    } while (receipt.Kind == Receipt::rcClosed && IsConnected());
    return receipt.Kind == Receipt::rcBytes ? TNetFillResult::Bytes(receipt.Count) : TNetFillResult::Closed();
}

// --- lines ---

// The terminator's 0-based position in the queue, or -1. Resumes where the
// last search ended, less terminator length - 1 so a split terminator is found.
int64_t TNetTCPConnection::findTerminator(const std::string& terminator, int64_t& scanned) {
    const int64_t size = m_inputQueue.size();
    const int64_t termLength = static_cast<int64_t>(terminator.size());
    const int64_t from = std::max<int64_t>(0, scanned - (termLength - 1));
    scanned = size;
    if (size - from < termLength) return -1;
    const char* data = m_inputQueue.Data();
    if (termLength == 1) {
        const void* hit = std::memchr(data + from, terminator[0], static_cast<size_t>(size - from));
        return hit ? static_cast<const char*>(hit) - data : -1;
    }
    const void* hit = memmem(data + from, static_cast<size_t>(size - from), terminator.data(), terminator.size());
    return hit ? static_cast<const char*>(hit) - data : -1;
}

std::string TNetTCPConnection::tooLongLine(int maximum) {
    if (MaxLineAction == TNetMaxLineAction::maException)
        throw ENetReadLnMaxLineLengthExceeded(text::kMaxLineLengthExceeded);
    m_lineWasSplit = true;
    return m_inputQueue.TakeString(maximum);
}

std::string TNetTCPConnection::takeLine(int64_t position, const std::string& terminator) {
    std::string line = m_inputQueue.TakeString(position + static_cast<int64_t>(terminator.size()));
    line.resize(line.size() - terminator.size());
    if (terminator == "\n" && !line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string TNetTCPConnection::ReadLine(const std::string& terminatorIn, TNetTimeout timeout, int maxLength) {
    const int maximum = maxLength == -1 ? MaxLineLength : maxLength;
    const std::string terminator = terminatorIn.empty() ? std::string("\n") : terminatorIn;
    m_lineWasSplit = false;
    m_lineTimedOut = false;
    int64_t scanned = 0;
    while (true) {
        const int64_t found = m_inputQueue.size() > 0 ? findTerminator(terminator, scanned) : -1;
        if (found >= 0) {
            if (maximum != 0 && found > maximum) return tooLongLine(maximum);
            return takeLine(found, terminator);
        }
        if (maximum != 0 && scanned > maximum) return tooLongLine(maximum);
        // A close with an unterminated line queued raises here.
        CheckClosed(true, true);
        if (FillInputQueue(true, timeout, timeout.IsDefault()).Kind == TNetFillResult::frTimedOut) {
            m_lineTimedOut = true;
            return std::string();
        }
    }
}

// --- exact reads ---

void TNetTCPConnection::ReadBytes(void* buffer, int64_t count) {
    if (count <= 0 || !buffer) return;
    while (m_inputQueue.size() < count) {
        FillInputQueue(true, UseDefault, true);
        CheckClosed(true, true);
    }
    std::memcpy(buffer, m_inputQueue.Data(), static_cast<size_t>(count));
    m_inputQueue.Consume(count);
}

int32_t TNetTCPConnection::ReadInt32(bool networkOrder) {
    uint32_t value = 0;
    ReadBytes(&value, 4);
    if (networkOrder) value = ntohl(value);
    return static_cast<int32_t>(value);
}

// Writes up to limit queued bytes to stream and consumes them (OnWork fires).
int64_t TNetTCPConnection::copyQueuedTo(rtl::TStream& stream, int64_t limit) {
    const int64_t k = std::min(m_inputQueue.size(), limit);
    if (k <= 0) return 0;
    stream.writeBuffer(m_inputQueue.Data(), k);
    m_inputQueue.Consume(k);
    return k;
}

void TNetTCPConnection::readToStreamLoop(rtl::TStream& stream, int64_t remaining, bool untilClose) {
    remaining -= copyQueuedTo(stream, remaining);
    while (remaining > 0 && IsConnected()) {
        if (m_inputQueue.size() == 0) {
            try {
                FillInputQueue(true, UseDefault, true);
                CheckClosed(true, true);
            } catch (const ENetConnClosedGracefully&) {
                if (!untilClose) throw;
                // The tail that arrived with the close: no work event.
                const int64_t k = std::min(m_inputQueue.size(), remaining);
                stream.writeBuffer(m_inputQueue.Data(), k);
                remaining -= k;
                m_inputQueue.Clear();
                continue;
            }
        }
        remaining -= copyQueuedTo(stream, remaining);
    }
}

void TNetTCPConnection::ReadToStream(rtl::TStream& stream, int64_t count, bool untilClose) {
    // A count sent by the peer limits the read but does not presize the
    // stream: the peer must not choose how much memory we reserve.
    const bool countFromPeer = count == -1 && !untilClose;
    if (countFromPeer) count = std::max<int32_t>(ReadInt32(true), 0);  // a negative count is empty
    if (count >= 0 && !countFromPeer) {
        const int64_t position = stream.position();
        stream.setSize(position + count);
        if (stream.position() != position) stream.setPosition(position);
    }
    // Until close has no byte limit (a long body must not be cut at 2 GiB).
    const int64_t remaining = untilClose ? INT64_MAX : count;
    const uint64_t closesBefore = m_localCloses;
    // The presized tail that was not filled is cut off once the work period has ended.
    struct TrimTail {
        rtl::TStream& stream;
        ~TrimTail() {
            if (stream.size() > stream.position()) stream.setSize(stream.position());
        }
    } trim{stream};
    TNetWorkScope work(*this, TWorkMode::wmRead, untilClose ? 0 : count);
    try {
        readToStreamLoop(stream, remaining, untilClose);
    } catch (const ENetConnClosedGracefully&) {
        // Closed by our own CloseConnection (the user's Stop): the read just ends early.
        if (m_localCloses == closesBefore) throw;
    } catch (const ENetNotConnected&) {
        if (m_localCloses == closesBefore) throw;
    }
}

std::string TNetTCPConnection::TakeAvailable() {
    if (IsConnected()) FillInputQueue(false, UseDefault, true);
    if (m_inputQueue.size() == 0) return std::string();
    return m_inputQueue.TakeString(m_inputQueue.size());
}

std::string TNetTCPConnection::ReadAll() {
    std::string result;
    const TNetWorkScope work(*this, TWorkMode::wmRead, 0);
    while (IsConnected()) result += TakeAvailable();
    result += TakeAvailable();  // what arrived with the close
    return result;
}

// --- writing ---

void TNetTCPConnection::sendNow(const void* buffer, int64_t count) {
    // A private copy: the caller's bytes may be the write queue, which a
    // pumped handler can change while we send.
    TNetSimpleBuffer outgoing;
    outgoing.Append(buffer, count);
    if (auto intercept = Intercept) {
        outgoing.setPosition(0);
        intercept->FilterSent(outgoing);
    }
    const int64_t size = outgoing.size();
    int64_t position = 0;
    while (position < size) {
        auto io = m_ioHandler;
        // Closed by a handler between two partial sends: never send through a released transport.
        if (!io || !io->IsOpen()) throw ENetNotConnected(text::kNotConnected);
        const int chunk = static_cast<int>(std::min<int64_t>(size - position, INT_MAX));
        const int sent = io->SendBytes(outgoing.Data() + position, chunk);
        TNetAntiFreeze::YieldToUI(false);
        m_closedByPeer = (sent == 0);
        CheckClosed(true, false);
        TNetStack& stack = Stack();
        if (stack.CheckResult(sent, {kErrShutdown, kErrConnAborted, kErrConnReset})) {
            const int code = stack.LastErrorCode();
            DropSocket();
            stack.RaiseError(code);
        }
        AddWork(TWorkMode::wmWrite, sent);
        position += sent;
    }
}

void TNetTCPConnection::PutBytes(const void* buffer, int64_t count, bool now) {
    if (count <= 0 || !buffer) return;
    CheckClosed(true, true);
    if (!IsConnected()) throw ENetNotConnected(text::kNotConnected);
    if (now || !m_writeQueue) {
        sendNow(buffer, count);
        return;
    }
    m_writeQueue->Append(buffer, count);
    if (m_writeQueueThreshold > 0 && m_writeQueue->size() >= m_writeQueueThreshold)
        FlushWriteQueue(m_writeQueueThreshold);
}

void TNetTCPConnection::WriteText(const std::string& text) {
    if (!text.empty()) PutBytes(text.data(), static_cast<int64_t>(text.size()), false);
}

void TNetTCPConnection::WriteLine(const std::string& text) { WriteText(text + "\r\n"); }

void TNetTCPConnection::WriteInt32(int32_t value, bool networkOrder) {
    uint32_t raw = static_cast<uint32_t>(value);
    if (networkOrder) raw = htonl(raw);
    PutBytes(&raw, 4, false);
}

void TNetTCPConnection::StartWriteQueue(int threshold) {
    m_writeQueue = std::make_unique<TNetSimpleBuffer>();
    m_writeQueueThreshold = threshold;
}

void TNetTCPConnection::EndWriteQueue() {
    try {
        FlushWriteQueue(-1);
    } catch (...) {
        m_writeQueue.reset();
        throw;
    }
    m_writeQueue.reset();
}

void TNetTCPConnection::FlushWriteQueue(int64_t count) {
    if (!m_writeQueue || m_writeQueue->size() == 0) return;
    if (count != -1 && m_writeQueue->size() >= count) {
        PutBytes(m_writeQueue->Data(), count, true);
        if (m_writeQueue && m_writeQueue->size() >= count) m_writeQueue->Consume(count);
        return;
    }
    const std::string all = m_writeQueue->TakeString(m_writeQueue->size());
    PutBytes(all.data(), static_cast<int64_t>(all.size()), true);
}

void TNetTCPConnection::DiscardWriteQueue() {
    if (m_writeQueue) m_writeQueue->Clear();
}

void TNetTCPConnection::WriteFromStream(rtl::TStream& stream, bool fromStart, bool sendCountFirst, int64_t size) {
    if (fromStart) stream.setPosition(0);
    int64_t position = stream.position();
    const int64_t end = size != 0 ? position + size : stream.size();
    if (sendCountFirst) WriteInt32(static_cast<int32_t>(end - position), true);
    const TNetWorkScope work(*this, TWorkMode::wmWrite, end - position);
    std::unique_ptr<char[]> block(new char[static_cast<size_t>(std::max(SendBufferSize, 1))]);
    while (true) {
        const int64_t k = std::min<int64_t>(end - position, std::max(SendBufferSize, 1));
        if (k <= 0) break;
        const int64_t got = stream.read(block.get(), k);
        if (got <= 0) throw ENetNoDataToRead(text::kNoDataToRead);
        PutBytes(block.get(), got, false);
        position += got;
    }
}

int64_t TNetTCPConnection::WriteFileContents(const std::string& fileName, bool /*allowPlatformSend*/) {
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        throw ENetFileNotFound(rtl::format(text::kFileNotFound, fileName.c_str()));
    rtl::TFileStream file(fileName, rtl::FileMode::OpenRead);
    const int64_t size = file.size();
    WriteFromStream(file, true, false, 0);
    return size;
}

}  // namespace net
