// URL parsing and building, path merging, reference resolution, target
// escaping and the host-name routines.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/NetURI.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    // The input is a URL, then optionally a line with a path to merge.
    const size_t newline = input.find('\n');
    const std::string url = input.substr(0, newline);
    const std::string path = newline == std::string::npos ? std::string() : input.substr(newline + 1);

    net::TNetURI uri(url);
    if (!uri.Protocol.empty() && uri.Directory.empty()) __builtin_trap();  // absolute URLs always have "/"
    try {
        const std::string composed = uri.ComposeURL(true, true);
        net::TNetURI again(composed);
        if (again.Host.find_first_of(":/") != std::string::npos && uri.Host.find_first_of(":/@") == std::string::npos)
            __builtin_trap();
        uri.ProxyURL();
    } catch (const net::ENetURIException&) {
    }
    const std::string merged = net::MergePath(uri.Directory, path);
    if (!path.empty() && path[0] == '/' && merged != path) __builtin_trap();
    net::IsDottedQuad(uri.Host);
    net::IsPlainHostName(uri.Host);
    net::ParentDomainOf(uri.Host);
    std::string rest = url;
    net::CutToken(rest, path.substr(0, 3), true, false);
    net::FindBackward(path.substr(0, 2), url, static_cast<long long>(size % 7) - 1);

    // The second line as a reference against the first as a base.
    const net::TNetURIParts base = net::SplitReference(url);
    const net::TNetURIParts reference = net::SplitReference(path);
    if (net::JoinReference(base) != url || net::JoinReference(reference) != path) __builtin_trap();
    if (base.HasScheme && !reference.Path.empty()) {
        const net::TNetURIParts target = net::ResolveReference(base, reference);
        if (!target.HasScheme) __builtin_trap();
        // No dot segment survives in a resolved path.
        if (target.Path.find("/./") != std::string::npos || target.Path.find("/../") != std::string::npos)
            __builtin_trap();
    }
    const std::string encoded = net::EncodeTargetBytes(path);
    for (char c : encoded)
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F) __builtin_trap();
    if (net::EncodeTargetBytes(encoded) != encoded) __builtin_trap();
    return 0;
}
