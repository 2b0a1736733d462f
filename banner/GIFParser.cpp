#include "banner/GIFParser.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "banner/GIFErrors.h"
#include "banner/GIFFormat.h"
#include "banner/GIFLZWDecoder.h"

namespace banner {

namespace {

bool sameLetters(const uint8_t* bytes, const char* text, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (std::tolower(bytes[i]) != std::tolower(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

// Rows of an interlaced frame arrive pass by pass; put them top to bottom.
std::vector<uint8_t> deinterlace(const std::vector<uint8_t>& passes, int width, int height) {
    std::vector<uint8_t> rows(static_cast<size_t>(width) * height);
    const size_t w = static_cast<size_t>(width);
    size_t source = 0;
    for (int pass = 0; pass < 4; ++pass)
        for (int y = gif::kInterlaceStart[pass]; y < height; y += gif::kInterlaceStep[pass]) {
            std::memcpy(rows.data() + static_cast<size_t>(y) * w, passes.data() + source, w);
            source += w;
        }
    return rows;
}

}  // namespace

TGIFImage TGIFParser::parse() {
    readHeader();
    readScreen();
    while (readBlock()) {
    }
    return std::move(m_image);
}

void TGIFParser::readHeader() {
    uint8_t header[gif::kHeaderSize];
    m_in.readBytes(header, sizeof header);
    if (!sameLetters(header, "GIF", 3) || !(sameLetters(header + 3, "87a", 3) || sameLetters(header + 3, "89a", 3)))
        throw EGIFDecodeError(gifmsg::kUnknownVersion);
    m_image.m_version.assign(reinterpret_cast<const char*>(header + 3), 3);
}

void TGIFParser::readScreen() {
    const unsigned width = m_in.readWord();
    const unsigned height = m_in.readWord();
    const uint8_t packed = m_in.readByte();
    m_image.m_backgroundIndex = m_in.readByte();
    m_in.readByte();  // pixel aspect ratio
    if (uint64_t(width) * height > m_limits.maxFramePixels)
        throw EGIFDecodeError(rtl::format(gifmsg::kScreenTooLarge, width, height,
                                          static_cast<unsigned long long>(m_limits.maxFramePixels)));
    m_image.m_width = static_cast<int>(width);
    m_image.m_height = static_cast<int>(height);
    if (packed & gif::kColorTableFlag) readColorTable(packed, m_image.m_globalColorTable);
}

void TGIFParser::readColorTable(uint8_t packed, TGIFColorTable& table) {
    const size_t entries = size_t(2) << (packed & gif::kColorTableSizeMask);
    uint8_t bytes[gif::kMaxColors * 3];
    m_in.readBytes(bytes, entries * 3);
    table.resize(entries);
    for (size_t i = 0; i < entries; ++i) table[i] = {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
}

bool TGIFParser::readBlock() {
    if (m_in.atEnd()) return false;  // a missing trailer ends the file just as well
    switch (m_in.readByte()) {
        case gif::kTrailer:
            return false;
        case gif::kExtensionIntroducer:
            readExtension();
            return true;
        case gif::kImageSeparator:
            readFrame();
            return true;
        default:
            // Stray bytes after the last frame are tolerated; before any, the file is no GIF data.
            if (m_image.m_frames.empty()) throwInvalidData();
            return false;
    }
}

void TGIFParser::readExtension() {
    const uint8_t label = m_in.readByte();
    switch (label) {
        case gif::kGraphicControlLabel:
            readGraphicControl();
            break;
        case gif::kCommentLabel:
            readComment();
            break;
        case gif::kApplicationLabel:
            readApplication();
            break;
        case gif::kPlainTextLabel:
            // Text is not drawn; it is a rendering block, so it uses up the pending control.
            m_in.skipSubBlocks();
            m_control.reset();
            break;
        default:
            throw EGIFDecodeError(rtl::format(gifmsg::kUnknownExtension, label));
    }
}

void TGIFParser::readGraphicControl() {
    const TGIFByteReader::Block block = m_in.readSubBlock();
    if (block.size == 0) return;
    if (block.size >= gif::kGraphicControlSize) {
        GraphicControl control;
        control.disposal = (block.data[0] >> gif::kDisposalShift) & gif::kDisposalMask;
        control.transparent = (block.data[0] & gif::kTransparencyFlag) != 0;
        control.delayHundredths = block.data[1] | (block.data[2] << 8);
        control.transparentIndex = block.data[3];
        m_control = control;
    }
    m_in.skipSubBlocks();
}

void TGIFParser::readComment() {
    std::string text;
    for (TGIFByteReader::Block block = m_in.readSubBlock(); block.size != 0; block = m_in.readSubBlock()) {
        const size_t keep = std::min(block.size, gif::kMaxCommentBytes - m_commentBytes);
        text.append(reinterpret_cast<const char*>(block.data), keep);
        m_commentBytes += keep;
    }
    // Empty comments cost a string each, so their number is bounded too.
    if (m_image.m_comments.size() < gif::kMaxComments) m_image.m_comments.push_back(std::move(text));
}

void TGIFParser::readApplication() {
    const TGIFByteReader::Block id = m_in.readSubBlock();
    if (id.size == 0) return;
    const std::string identifier(reinterpret_cast<const char*>(id.data), id.size);
    if (identifier != "NETSCAPE2.0" && identifier != "ANIMEXTS1.0") {
        m_in.skipSubBlocks();
        return;
    }
    TGIFLoop loop{identifier, 0};
    for (TGIFByteReader::Block block = m_in.readSubBlock(); block.size != 0; block = m_in.readSubBlock())
        if (block.size >= 3 && block.data[0] == 1) loop.count = block.data[1] | (block.data[2] << 8);
    m_image.m_loop = loop;
}

void TGIFParser::readFrame() {
    if (m_image.m_frames.size() >= m_limits.maxFrames)
        throw EGIFDecodeError(rtl::format(gifmsg::kTooManyFrames, m_limits.maxFrames));
    TGIFFrame frame;
    frame.left = m_in.readWord();
    frame.top = m_in.readWord();
    unsigned width = m_in.readWord();
    unsigned height = m_in.readWord();
    const uint8_t packed = m_in.readByte();
    if (width == 0) width = static_cast<unsigned>(m_image.m_width);
    if (height == 0) height = static_cast<unsigned>(m_image.m_height);
    if (uint64_t(width) * height > m_limits.maxFramePixels)
        throw EGIFDecodeError(rtl::format(gifmsg::kFrameTooLarge, width, height,
                                          static_cast<unsigned long long>(m_limits.maxFramePixels)));
    frame.width = static_cast<int>(width);
    frame.height = static_cast<int>(height);
    frame.interlaced = (packed & gif::kInterlaceFlag) != 0;
    frame.hasLocalColorTable = (packed & gif::kColorTableFlag) != 0;
    if (frame.hasLocalColorTable)
        readColorTable(packed, frame.colorTable);
    else
        frame.colorTable = m_image.m_globalColorTable;
    applyControl(frame);
    const int minCodeSize = m_in.readByte();
    if (minCodeSize < gif::kMinCodeSize || minCodeSize > gif::kMaxCodeSize) throw EGIFDecodeError(gifmsg::kCodeSizeRange);
    account(uint64_t(width) * height + frame.colorTable.size() * sizeof(TGIFColor));
    decodePixels(frame, minCodeSize);
    m_image.m_frames.push_back(std::move(frame));
}

void TGIFParser::applyControl(TGIFFrame& frame) {
    if (!m_control) return;
    frame.disposal = m_control->disposal;
    frame.delay = m_control->delayHundredths * 10;
    if (m_control->transparent && static_cast<size_t>(m_control->transparentIndex) < frame.colorTable.size()) {
        frame.transparentIndex = m_control->transparentIndex;
        frame.transparentColor = frame.colorTable[static_cast<size_t>(frame.transparentIndex)];
    }
    m_control.reset();
}

void TGIFParser::decodePixels(TGIFFrame& frame, int minCodeSize) {
    const size_t count = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height);
    frame.pixels.resize(count + TGIFLZWDecoder::kSlack);
    auto decoder = std::make_unique<TGIFLZWDecoder>(minCodeSize, frame.pixels.data(), count);
    for (TGIFByteReader::Block block = m_in.readSubBlock(); block.size != 0; block = m_in.readSubBlock()) {
        if (decoder->finished()) continue;  // data past the last pixel or the end code
        decoder->feed(block.data, block.size);
    }
    if (decoder->written() < count) throwStreamRead();
    frame.pixels.resize(count);
    if (frame.interlaced) frame.pixels = deinterlace(frame.pixels, frame.width, frame.height);
}

void TGIFParser::account(uint64_t bytes) {
    m_decodedBytes += bytes;
    if (m_decodedBytes > m_limits.maxDecodedBytes)
        throw EGIFDecodeError(rtl::format(gifmsg::kTooMuchData, static_cast<unsigned long long>(m_limits.maxDecodedBytes)));
}

}  // namespace banner
