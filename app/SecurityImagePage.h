#pragma once
// What the security-image dialog reads from its page: the two hidden values
// and the image address, cut in page order from one parse text. Safe from
// any thread.

#include <string>
#include <string_view>

namespace app {

// A value longer than this is no value the service sends; it is taken as missing.
constexpr size_t kMaxSecurityFieldBytes = 64 * 1024;

struct TSecurityImageFields {
    std::string randomValue;
    std::string seedValue;
    std::string imageURL;  // as the page has it, "&amp;" already turned into "&"
};

TSecurityImageFields parseSecurityImagePage(std::string_view page);

// Every "&amp;" becomes "&" in one left-to-right pass: what a replacement
// forms is not looked at again ('a&amp;amp;b' -> 'a&amp;b').
std::string replaceAmpersandEntities(std::string_view text);

}  // namespace app
