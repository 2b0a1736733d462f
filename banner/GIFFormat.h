#pragma once
// GIF87a/GIF89a wire constants and the decoder's limits, in one place.

#include <cstddef>
#include <cstdint>

namespace banner::gif {

// Block introducers and extension labels.
constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kPlainTextLabel = 0x01;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kCommentLabel = 0xFE;
constexpr uint8_t kApplicationLabel = 0xFF;

constexpr size_t kHeaderSize = 6;             // "GIF" + version
constexpr size_t kScreenDescriptorSize = 7;
constexpr size_t kImageDescriptorSize = 9;    // after the separator
constexpr size_t kGraphicControlSize = 4;
constexpr size_t kApplicationIdSize = 11;     // identifier (8) + authentication code (3)

// Packed fields.
constexpr uint8_t kColorTableFlag = 0x80;     // screen and image descriptors
constexpr uint8_t kColorTableSizeMask = 0x07; // table holds 2^(n+1) entries
constexpr uint8_t kInterlaceFlag = 0x40;      // image descriptor
constexpr uint8_t kTransparencyFlag = 0x01;   // graphic control extension
constexpr int kDisposalShift = 2;             // bits 2..4 of the graphic control packed field
constexpr uint8_t kDisposalMask = 0x07;

// Variable-length LZW.
constexpr int kMinCodeSize = 2;
constexpr int kMaxCodeSize = 9;
constexpr int kMaxCodeBits = 12;
constexpr int kMaxCodes = 1 << kMaxCodeBits;  // 4096-entry code table
constexpr int kMaxColors = 256;

// Interlaced rows come in four passes: first row and step of each.
constexpr int kInterlaceStart[4] = {0, 4, 2, 1};
constexpr int kInterlaceStep[4] = {8, 8, 4, 2};

// Limits on what a file may make us allocate.
constexpr uint64_t kMaxFramePixels = 64ull * 1024 * 1024;      // one frame, and the logical screen
constexpr uint64_t kMaxDecodedBytes = 1024ull * 1024 * 1024;   // all frames' pixels and tables together
constexpr size_t kMaxFrames = 20000;
constexpr size_t kMaxCommentBytes = 1024 * 1024;               // comment text kept; the rest is skipped
constexpr size_t kMaxComments = 4096;                          // comment extensions kept; later ones are skipped

}  // namespace banner::gif
