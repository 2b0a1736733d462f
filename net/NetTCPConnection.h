#pragma once
// A buffered TCP connection over a transport (TNetIOHandler): an input
// queue filled by one routine (FillInputQueue), line and exact-length reads,
// reads into a stream by length or until the peer closes, direct or queued
// writes, and closing. Progress is reported through work events and stages
// through status events, on the calling thread.
//
// Event handlers run inside the operation that fires them (OnWork inside a
// read's consume or a write's send, the GUI pump inside every wait) and may
// call CloseConnection on this very connection. The transport is therefore
// shared: every operation holds its own reference while it uses it, so a
// transport released by CloseConnection lives until the operation unwinds.
// Thread-safety: one thread at a time (normally the GUI thread).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/NetBuffer.h"
#include "net/NetComponent.h"
#include "net/NetConnectionErrors.h"
#include "net/NetIOHandler.h"
#include "net/NetIntercept.h"
#include "rtl/Stream.h"

namespace net {

enum class TNetMaxLineAction { maException, maSplit };

// What one FillInputQueue came to: bytes were queued, the connection is
// closed, or the wait ran out (only when the time-out does not raise).
struct TNetFillResult {
    enum TKind { frBytes, frClosed, frTimedOut };
    TKind Kind = frClosed;
    int Count = 0;  // bytes of the last receive (frBytes)

    static TNetFillResult Bytes(int count) { return {frBytes, count}; }
    static TNetFillResult Closed() { return {frClosed, 0}; }
    static TNetFillResult TimedOut() { return {frTimedOut, 0}; }
};

class TNetTCPConnection : public TNetComponent {
public:
    using TNotifyEvent = std::function<void(TNetTCPConnection& sender)>;
    static constexpr int kDefaultMaxLineLength = 16384;
    static constexpr int kDefaultBufferSize = 32768;

    TNetTCPConnection();
    // Drops the socket and frees an owned transport.
    ~TNetTCPConnection() override;

    bool ASCIIFilter = false;  // clear bit 7 of every received byte
    std::shared_ptr<TNetConnectionIntercept> Intercept;
    int MaxLineLength = kDefaultMaxLineLength;  // 0: no limit
    TNetMaxLineAction MaxLineAction = TNetMaxLineAction::maException;
    int ReadTimeout = 0;  // ms; 0: no limit
    int RecvBufferSize = kDefaultBufferSize;
    int SendBufferSize = kDefaultBufferSize;
    TNotifyEvent OnDisconnected;

    // The transport; a transport set here is not owned (not freed on close).
    std::shared_ptr<TNetIOHandler> IOHandler() const { return m_ioHandler; }
    void SetIOHandler(std::shared_ptr<TNetIOHandler> handler);

    bool ClosedByPeer() const { return m_closedByPeer; }
    // CloseConnection calls so far: a reader compares two readings to tell
    // our own close (a Stop from a work event) from the peer's.
    uint64_t LocalCloseCount() const { return m_localCloses; }
    bool LineWasSplit() const { return m_lineWasSplit; }
    bool LineTimedOut() const { return m_lineTimedOut; }
    bool OwnsIOHandler() const { return m_ownsIOHandler; }
    // Received bytes not yet consumed.
    TNetManagedBuffer& InputQueue() { return m_inputQueue; }

    virtual void NotifyDisconnected();
    // Empties the input queue without work events and clears ClosedByPeer.
    virtual void ClearReadState();
    virtual std::string ReadAll();
    // Drops a connection the peer closed; raises ENetConnClosedGracefully when
    // closed and (nothing queued or ignoreBuffer).
    virtual void CheckClosed(bool raiseIfClosed, bool ignoreBuffer);
    // A 1 ms look that only notices a close or collects waiting bytes.
    virtual void PeekClosed(bool raiseIfClosed);
    // Whether a transport is open and the peer has not been seen closing.
    // Changes nothing: CheckClosed and PeekClosed are the steps that notice a
    // close and drop the socket.
    virtual bool IsConnected() const;
    // Drops the socket and frees an owned transport (deferred while in use).
    virtual void CloseConnection();
    virtual void DropSocket();
    // The only routine that receives: waits (up to timeout) and queues what
    // arrives.
    virtual TNetFillResult FillInputQueue(bool raiseIfClosed, TNetTimeout timeout, bool raiseOnTimeout);
    // terminator "" means LF; maxLength -1 means MaxLineLength. With an
    // explicit timeout a time-out returns "" and sets LineTimedOut.
    virtual std::string ReadLine(const std::string& terminator = "\n", TNetTimeout timeout = UseDefault,
                                 int maxLength = -1);
    virtual void WriteText(const std::string& text);
    virtual void WriteLine(const std::string& text);
    // Sends [position, position+size) of stream (size 0: to its end), in
    // SendBufferSize blocks inside a wmWrite bracket.
    virtual void WriteFromStream(rtl::TStream& stream, bool fromStart = true, bool sendCountFirst = false,
                                 int64_t size = 0);
    // Returns the bytes sent. allowPlatformSend is accepted for callers;
    // files always go through WriteFromStream here.
    virtual int64_t WriteFileContents(const std::string& fileName, bool allowPlatformSend = true);

    void ReadBytes(void* buffer, int64_t count);
    int32_t ReadInt32(bool networkOrder = true);
    // count -1 without untilClose: the count is read first (ReadInt32).
    // A CloseConnection from a handler while it runs ends it early, quietly.
    void ReadToStream(rtl::TStream& stream, int64_t count = -1, bool untilClose = false);
    std::string TakeAvailable();
    void PutBytes(const void* buffer, int64_t count, bool now = false);
    void WriteInt32(int32_t value, bool networkOrder = true);

    // threshold > 0 flushes that many bytes whenever the queue holds them; -1 never early.
    void StartWriteQueue(int threshold = -1);
    // Sends the queue in one PutBytes and drops it, also when the send raises.
    void EndWriteQueue();
    void FlushWriteQueue(int64_t count = -1);
    void DiscardWriteQueue();
    bool WriteQueueActive() const { return m_writeQueue != nullptr; }

protected:
    void setOwnedIOHandler(std::shared_ptr<TNetIOHandler> handler);

private:
    // One receive into the queue, as the transport reported it.
    struct Receipt {
        enum TKind { rcBytes, rcClosed, rcError, rcNothingWaiting };
        TKind Kind = rcClosed;
        int Count = 0;
        static Receipt FromResult(int n);
    };
    Receipt receiveOnce(TNetIOHandler& io, bool onlyIfWaiting);
    int receiveThroughIntercept(TNetIOHandler& io, bool onlyIfWaiting);
    bool canSkipWait();
    void sendNow(const void* buffer, int64_t count);
    int64_t copyQueuedTo(rtl::TStream& stream, int64_t limit);
    void readToStreamLoop(rtl::TStream& stream, int64_t remaining, bool untilClose);
    int64_t findTerminator(const std::string& terminator, int64_t& scanned);
    std::string takeLine(int64_t position, const std::string& terminator);
    std::string tooLongLine(int maximum);

    std::shared_ptr<TNetIOHandler> m_ioHandler;
    bool m_ownsIOHandler = false;
    TNetManagedBuffer m_inputQueue;
    TNetSimpleBuffer m_receiveChunk;
    std::unique_ptr<TNetSimpleBuffer> m_writeQueue;
    int m_writeQueueThreshold = -1;
    bool m_closedByPeer = false;
    bool m_lineWasSplit = false;
    bool m_lineTimedOut = false;
    uint64_t m_localCloses = 0;
    bool m_lastReceiveFull = false;  // the last receive filled RecvBufferSize: more is likely waiting
};

}  // namespace net
