// The bytes of one input are a chunked body: a loopback server sends a fixed
// head naming chunked coding, then the input, and closes. A small decoder
// here, written straight from the chunked syntax, says what the body must
// be: the client must deliver exactly that body when the input is a
// complete, valid chunked body, and must fail otherwise.
#include <cstddef>
#include <cstdint>
#include <string>

#include "AnswerServer.h"
#include "net/NetHTTP.h"

namespace {

constexpr size_t kLineLimit = 16000;  // under the connection's MaxLineLength

struct Expected {
    bool valid = false;
    bool tooLong = false;  // a line near the line limit: the oracle stays out
    std::string body;
};

int hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

Expected decode(const std::string& in) {
    Expected out;
    size_t pos = 0;
    auto nextLine = [&](std::string& line) {
        const size_t end = in.find('\n', pos);
        if (end == std::string::npos) return false;
        if (end - pos > kLineLimit) out.tooLong = true;
        line = in.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line.find('\r') == std::string::npos;
    };
    std::string line;
    // Each round consumes at least one line of the input.
    while (true) {
        if (!nextLine(line)) return out;
        size_t i = 0, zeros = 0, digits = 0;
        uint64_t size = 0;
        while (i < line.size() && line[i] == '0') ++i, ++zeros;
        for (; i < line.size() && hex(line[i]) >= 0; ++i, ++digits) {
            if (digits >= 16) return out;
            size = size * 16 + static_cast<uint64_t>(hex(line[i]));
        }
        if (size > (uint64_t{1} << 56)) return out;
        if (zeros + digits == 0) return out;
        if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != ';') return out;
        if (size == 0) break;
        if (size > in.size() - pos) return out;
        out.body.append(in, pos, size);
        pos += size;
        if (!nextLine(line) || !line.empty()) return out;
    }
    // Trailer lines up to the empty one.
    do {
        if (!nextLine(line)) return out;
    } while (!line.empty());
    out.valid = true;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto* server = new fuzzsupport::AnswerServer;  // lives for the process
    const std::string input(reinterpret_cast<const char*>(data), size);
    server->setAnswer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + input);
    net::TNetHTTP http;
    http.ReadTimeout = 5000;
    rtl::TStringStream body;
    bool ok = true;
    try {
        http.GetToStream("http://127.0.0.1:" + std::to_string(server->port()) + "/chunked", body);
    } catch (const rtl::Exception&) {
        ok = false;
    }
    http.CloseConnection();
    const Expected expected = decode(input);
    if (expected.tooLong) return 0;
    if (expected.valid != ok) __builtin_trap();
    if (ok && body.dataString() != expected.body) __builtin_trap();
    if (body.size() > static_cast<int64_t>(size)) __builtin_trap();
    return 0;
}
