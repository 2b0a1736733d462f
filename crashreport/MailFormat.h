#pragma once
// Wire-format constants and limits of report delivery: the mail layout, SMTP
// replies and DNS messages.

#include <cstddef>
#include <cstdint>

namespace crashreport {

// Mail layout.
inline constexpr char kMailBoundary[] = "=_xcjvnxkbhvfkxzhfdbvzldjhfv";
inline constexpr char kMailLibrary[] = "QuillLog 4.6";
inline constexpr size_t kBase64LineLength = 76;
inline constexpr size_t kMaxAttachmentSize = 64u << 20;  // larger files are skipped

// SMTP replies: a line longer than this (CR LF not counted), or more lines, fail the reply.
inline constexpr size_t kMaxReplyLineLength = 1000;
inline constexpr size_t kMaxReplyLines = 100;
inline constexpr int kDefaultSocketTimeoutMs = 30000;

// DNS.
inline constexpr uint16_t kDNSTypeMX = 15;
inline constexpr uint16_t kDNSTypeCNAME = 5;
inline constexpr uint16_t kDNSClassIN = 1;
inline constexpr size_t kDNSHeaderSize = 12;
inline constexpr size_t kMaxDNSNameLength = 255;    // on the wire, length bytes included
inline constexpr size_t kMaxDNSLabelLength = 63;
inline constexpr int kMaxDNSPointerHops = 16;      // more is a loop
inline constexpr size_t kMaxDNSMessageSize = 4096;  // we send no EDNS, so 512 is the usual size
inline constexpr size_t kMaxDNSRecords = 256;
inline constexpr int kMaxStrayDatagrams = 16;       // answers with a wrong ID or question, per server
inline constexpr size_t kMaxNameServers = 8;

}  // namespace crashreport
