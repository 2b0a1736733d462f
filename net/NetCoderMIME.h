#pragma once
// Base64 (MIME) encoding for Basic authentication, and the matching decoder
// used by the crash reporter and tests.
// Coder objects hold only constant tables after construction: safe to share
// between threads.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "net/NetException.h"

namespace net {

RTL_DECLARE_EXCEPTION(ENetInvalidCoderText, ENetException);

class TNetEncoder {
public:
    static constexpr size_t kAll = static_cast<size_t>(-1);
    virtual ~TNetEncoder() = default;
    // Encodes the first `byteCount` bytes of `data` (kAll: every byte).
    virtual std::string Encode(std::string_view data, size_t byteCount = kAll) const = 0;
    std::string EncodeText(std::string_view text) const { return Encode(text, kAll); }
};

// Three bytes to four characters of a 64-character alphabet, with fill.
class TNetEncoder3to4 : public TNetEncoder {
public:
    // Throws ENetException "Uneven size in Encode." when byteCount is neither
    // kAll nor a multiple of 3. The output is one line.
    std::string Encode(std::string_view data, size_t byteCount = kAll) const override;

protected:
    // REQUIRES: alphabet has 64 characters.
    TNetEncoder3to4(std::string_view alphabet, char fill) : m_alphabet(alphabet), m_fill(fill) {}

private:
    std::string_view m_alphabet;
    char m_fill;
};

class TNetEncoderMIME : public TNetEncoder3to4 {
public:
    static constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    static constexpr char kFill = '=';
    TNetEncoderMIME() : TNetEncoder3to4(kAlphabet, kFill) {}
};

// Four characters to three bytes through a 128-entry table (255: not in the alphabet).
class TNetDecoder4to3 {
public:
    virtual ~TNetDecoder4to3() = default;
    // Decodes `text`; CR, LF, spaces and tabs are skipped. Throws
    // ENetInvalidCoderText for a character outside the alphabet, fill
    // anywhere but the end, or a length that cannot come from the encoder.
    std::string DecodeText(std::string_view text) const;

protected:
    TNetDecoder4to3(std::string_view alphabet, char fill);

private:
    std::array<unsigned char, 128> m_table{};
    char m_fill;
};

class TNetDecoderMIME : public TNetDecoder4to3 {
public:
    TNetDecoderMIME() : TNetDecoder4to3(TNetEncoderMIME::kAlphabet, TNetEncoderMIME::kFill) {}
};

}  // namespace net
