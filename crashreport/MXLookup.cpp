#include "crashreport/MXLookup.h"

#include <arpa/inet.h>

#include <random>
#include <sstream>

#include "crashreport/DNSMessage.h"
#include "crashreport/QuillClientSocket.h"
#include "rtl/RegularFile.h"
#include "rtl/StringUtils.h"

namespace crashreport {

namespace {

constexpr size_t kMaxResolvConfSize = 64 * 1024;

uint16_t newQueryId() {
    static thread_local std::mt19937 generator{std::random_device{}()};
    return static_cast<uint16_t>(generator());
}

// Asks one server; the exchanger, or empty with why in problem.
std::string askServer(const std::string& server, const std::string& domain, const TDNSSettings& settings,
                      std::string& problem) {
    const uint16_t id = newQueryId();
    std::string query;
    if (!buildMXQuery(id, domain, query)) {
        problem = "\"" + domain + "\" is no valid domain name.";
        return {};
    }
    try {
        TQuillClientSocket socket(server, settings.port, TQuillSocketKind::Datagram, settings.timeoutMs);
        socket.connect();
        socket.sendBuffer(query);
        const auto deadline = socket.deadlineFromNow();
        // Datagrams that are not the answer to this query are passed over, a bounded number of them.
        for (int stray = 0; stray <= kMaxStrayDatagrams; ++stray) {
            const TDNSAnswer answer = parseMXAnswer(socket.receiveSome(deadline, kMaxDNSMessageSize), id, domain);
            if (answer.status == TDNSAnswerStatus::Exchanger) return answer.exchanger;
            problem = answer.problem;
            if (answer.status != TDNSAnswerStatus::NotOurs) return {};
        }
    } catch (const EQuillSocketError& e) {
        const std::string text = e.message();
        problem = text.substr(0, text.find("\r\n"));
    }
    return {};
}

}  // namespace

std::vector<std::string> nameServersFromResolvConf(const std::string& text) {
    std::vector<std::string> servers;
    std::istringstream in(text);
    std::string line;
    while (servers.size() < kMaxNameServers && std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword, address;
        if (!(words >> keyword >> address) || keyword != "nameserver") continue;
        in_addr parsed{};
        if (::inet_pton(AF_INET, address.c_str(), &parsed) == 1) servers.push_back(address);
    }
    return servers;
}

std::vector<std::string> dnsServers(const TDNSSettings& settings) {
    std::string text;
    if (!settings.resolvConf.empty()) text = rtl::readRegularFileOrEmpty(settings.resolvConf, kMaxResolvConfSize);
    std::vector<std::string> servers = nameServersFromResolvConf(text);
    if (servers.empty()) servers.push_back(settings.fallbackServer);
    return servers;
}

std::string lookupMX(const std::string& domain, const TDNSSettings& settings) {
    std::string reasons;
    for (const std::string& server : dnsServers(settings)) {
        std::string problem;
        const std::string exchanger = askServer(server, domain, settings, problem);
        if (!exchanger.empty()) return exchanger;
        reasons += "\r\n" + server + ": " + problem;
    }
    throw EQuillSocketError(rtl::format("Cannot resolve the \"%s\" MX record.", domain.c_str()) + reasons);
}

}  // namespace crashreport
