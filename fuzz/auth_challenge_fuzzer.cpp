// Authentication challenges. The first line of an input is a user name, the
// second a password (both cut to plain characters), the rest are challenge
// lines as a server would send them. Whatever the challenges say, they must
// not change the credentials the program gave, the header value must be
// Basic with the Base64 of exactly those credentials, and asking again must
// not add parameters.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/NetAuthentication.h"
#include "net/NetCoderMIME.h"
#include "net/NetURI.h"

namespace {

std::string plainPart(std::string text) {
    std::string out;
    for (const char c : text)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) out += c;
    return out.substr(0, 40);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string rest(reinterpret_cast<const char*>(data), size);
    const std::string username = plainPart(net::CutToken(rest, "\n"));
    const std::string password = plainPart(net::CutToken(rest, "\n"));
    net::TNetHeaderList challenges;
    int lines = 0;
    while (!rest.empty() && lines++ < 64) challenges.Add(net::CutToken(rest, "\n"));

    // The scheme named by each challenge is found whatever its case, or not at all.
    for (const auto& line : challenges.Lines()) {
        std::string copy = line;
        const std::string scheme = net::CutToken(copy, " ");
        const net::TNetAuthenticationClass* cls = net::FindScheme(scheme);
        const bool basic = scheme.size() == 5 && (scheme[0] | 0x20) == 'b' && (scheme[1] | 0x20) == 'a' &&
                           (scheme[2] | 0x20) == 's' && (scheme[3] | 0x20) == 'i' && (scheme[4] | 0x20) == 'c';
        if ((cls == &net::TNetBasicAuthentication::kClass) != basic) __builtin_trap();
    }

    net::TNetBasicAuthentication auth;
    auth.SetUsername(username);
    auth.SetPassword(password);
    auth.SetChallenges(challenges);
    const net::TNetAuthStep first = auth.DecideStep();
    if (first != (username.empty() ? net::asAsk : net::asSend)) __builtin_trap();
    const int count = auth.AuthValues.Count();
    if (auth.Username() != username || auth.Password() != password) __builtin_trap();
    const std::string value = auth.HeaderValue();
    if (value.compare(0, 6, "Basic ") != 0) __builtin_trap();
    if (net::TNetDecoderMIME().DecodeText(value.substr(6)) != username + ":" + password) __builtin_trap();

    auth.CurrentStep = 1;
    if (auth.DecideStep() != net::asFail) __builtin_trap();
    if (auth.AuthValues.Count() != count) __builtin_trap();
    if (auth.Username() != username || auth.Password() != password) __builtin_trap();
    return 0;
}
