#pragma once
// Exceptions of the buffered TCP connection and its transports.

#include "net/NetStack.h"

namespace net {

RTL_DECLARE_EXCEPTION(ENetReadTimeout, ENetException);
RTL_DECLARE_EXCEPTION(ENetReadLnMaxLineLengthExceeded, ENetException);
RTL_DECLARE_EXCEPTION(ENetAlreadyConnected, ENetException);
RTL_DECLARE_EXCEPTION(ENetConnectTimeout, ENetException);
RTL_DECLARE_EXCEPTION(ENetConnectException, ENetException);
RTL_DECLARE_EXCEPTION(ENetClosedSocket, ENetException);
RTL_DECLARE_EXCEPTION(ENetProtocolReplyError, ENetException);
RTL_DECLARE_EXCEPTION(ENetTCPConnectionError, ENetException);
RTL_DECLARE_EXCEPTION(ENetNotConnected, ENetTCPConnectionError);
RTL_DECLARE_EXCEPTION(ENetNotEnoughDataInBuffer, ENetTCPConnectionError);
RTL_DECLARE_EXCEPTION(ENetNoDataToRead, ENetTCPConnectionError);
RTL_DECLARE_EXCEPTION(ENetFileNotFound, ENetTCPConnectionError);
RTL_DECLARE_EXCEPTION(ENetIOHandlerPropInvalid, ENetTCPConnectionError);

// The fixed texts, one table for the connection layer.
namespace text {
inline constexpr const char kAlreadyConnected[] = "Already connected.";
inline constexpr const char kConnectTimedOut[] = "Connect timed out.";
inline constexpr const char kReadTimeout[] = "Read Timeout";
inline constexpr const char kNotConnected[] = "Not Connected";
inline constexpr const char kMaxLineLengthExceeded[] = "Max line length exceeded.";
inline constexpr const char kClosedSocket[] = "Disconnected.";
inline constexpr const char kNotEnoughData[] = "Not enough data in buffer.";
inline constexpr const char kNoDataToRead[] = "No data to read.";
inline constexpr const char kFileNotFound[] = "File \"%s\" not found";
}  // namespace text

}  // namespace net
