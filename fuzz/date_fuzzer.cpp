// Internet date and zone parsing, and formatting back.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/NetDateTime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string text = input;
    const net::TDateTime value = net::ParseInternetDate(text);
    net::InternetDateToLocal(input);
    net::FormatZoneOffset(net::ParseZoneOffset(input), true);
    if (value == 0) return 0;
    // A date that reads formats back to the same second.
    std::string formatted = net::FormatInternetDate(value, false);
    const net::TDateTime again = net::ParseInternetDate(formatted);
    if (std::fabs(again - value) * 86400 > 1.0) __builtin_trap();
    return 0;
}
