#pragma once
// MX lookup over UDP with the reporter's own socket: the DNS servers are the
// nameserver lines of resolv.conf, or one configured fallback server; each is
// asked in turn until one names a mail exchanger. Any thread.

#include <cstdint>
#include <string>
#include <vector>

#include "crashreport/MailFormat.h"

namespace crashreport {

struct TDNSSettings {
    std::string resolvConf = "/etc/resolv.conf";
    std::string fallbackServer = "127.0.0.1";  // what the system resolver itself falls back to
    uint16_t port = 53;
    int timeoutMs = kDefaultSocketTimeoutMs;
};

// The IPv4 servers of the nameserver lines, in order, at most kMaxNameServers.
std::vector<std::string> nameServersFromResolvConf(const std::string& text);
// The servers to ask: those of the resolv.conf file, else the fallback.
std::vector<std::string> dnsServers(const TDNSSettings& settings);

// The exchanger of the lowest preference for domain. When no server names one,
// raises EQuillSocketError "Cannot resolve the "<domain>" MX record." followed
// by a line per server saying why.
std::string lookupMX(const std::string& domain, const TDNSSettings& settings);

}  // namespace crashreport
