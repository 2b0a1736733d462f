// Base64 decoding of arbitrary text, and encode/decode round trips.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/NetCoderMIME.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const net::TNetEncoderMIME encoder;
    const net::TNetDecoderMIME decoder;
    if (decoder.DecodeText(encoder.EncodeText(input)) != input) __builtin_trap();
    try {
        const std::string bytes = decoder.DecodeText(input);
        if (bytes.size() > size) __builtin_trap();
    } catch (const net::ENetInvalidCoderText&) {
    }
    return 0;
}
