// Draws the pictures of our default skin, "Modern": flat light surfaces, one
// blue accent, crisp 1 px borders with softened corners. The rectangles here
// and in skin.ini belong together; change both.
//   drawModern OUTDIR  -> OUTDIR/frame.bmp, mask.bmp, controls.bmp
#include <cstdio>
#include <fstream>
#include <string>

#include "skin/skBitmap.h"

namespace {

using sk::TskBitmap;

constexpr uint32_t kClear = 0x00000000;
constexpr uint32_t kSurface = 0xFFF5F6F8;
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBorder = 0xFFC3C9D2;
constexpr uint32_t kSoftBorder = 0xFFD5D9DF;
constexpr uint32_t kAccent = 0xFF2F6FDE;
constexpr uint32_t kAccentDark = 0xFF2559B8;
constexpr uint32_t kAccentRing = 0xFFA9C3F2;
constexpr uint32_t kHoverFill = 0xFFEEF3FC;
constexpr uint32_t kPressedFill = 0xFFDCE6F8;
constexpr uint32_t kDisabledFill = 0xFFF0F1F3;
constexpr uint32_t kDisabledBorder = 0xFFDADDE2;
constexpr uint32_t kHeaderFill = 0xFFF3F4F6;
constexpr uint32_t kTrack = 0xFFF0F1F3;
constexpr uint32_t kThumb = 0xFFC3C9D2;
constexpr uint32_t kThumbHover = 0xFFA0A8B4;
constexpr uint32_t kGlyph = 0xFF5A6270;
constexpr uint32_t kDisabledGlyph = 0xFFB4BAC3;

TskBitmap canvas(int w, int h, uint32_t colour) {
    TskBitmap b;
    b.width = w;
    b.height = h;
    b.pixels.assign(size_t(w) * h, colour);
    return b;
}

void put(TskBitmap& b, int x, int y, uint32_t c) {
    if (x >= 0 && y >= 0 && x < b.width && y < b.height) b.pixels[size_t(y) * b.width + x] = c;
}

void fill(TskBitmap& b, int l, int t, int r, int bottom, uint32_t c) {
    for (int y = t; y < bottom; ++y)
        for (int x = l; x < r; ++x) put(b, x, y, c);
}

// Half-way between two colours, alpha included.
uint32_t mix(uint32_t a, uint32_t b) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= (((a >> shift & 255) + (b >> shift & 255)) / 2) << shift;
    return out;
}

// A 1 px framed box; rounded leaves the four corner pixels see-through and
// softens the pixels beside them.
void box(TskBitmap& b, int l, int t, int r, int bottom, uint32_t border, uint32_t inside, bool rounded = true) {
    fill(b, l, t, r, bottom, border);
    fill(b, l + 1, t + 1, r - 1, bottom - 1, inside);
    if (!rounded) return;
    const int xs[2] = {l, r - 1}, ys[2] = {t, bottom - 1};
    for (int x : xs)
        for (int y : ys) {
            put(b, x, y, kClear);
            const int dx = x == l ? 1 : -1, dy = y == t ? 1 : -1;
            put(b, x + dx, y, mix(border, 0x00000000 | (border & 0xFFFFFF)));
            put(b, x, y + dy, mix(border, 0x00000000 | (border & 0xFFFFFF)));
            put(b, x + dx, y + dy, mix(border, inside));
        }
}

// A second ring inside a box: the focus mark.
void ring(TskBitmap& b, int l, int t, int r, int bottom, uint32_t c) {
    for (int x = l + 1; x < r - 1; ++x) {
        put(b, x, t + 1, c);
        put(b, x, bottom - 2, c);
    }
    for (int y = t + 1; y < bottom - 1; ++y) {
        put(b, l + 1, y, c);
        put(b, r - 2, y, c);
    }
}

enum class Dir { Up, Down, Left, Right };

// A small solid triangle centred in the box.
void arrow(TskBitmap& b, int l, int t, int size, Dir d, uint32_t c) {
    const int cx = l + size / 2, cy = t + size / 2;
    for (int i = 0; i < 4; ++i)
        for (int j = -i; j <= i; ++j) {
            switch (d) {
                case Dir::Up: put(b, cx + j, cy - 2 + i, c); break;
                case Dir::Down: put(b, cx + j, cy + 1 - i, c); break;
                case Dir::Left: put(b, cx - 2 + i, cy + j, c); break;
                case Dir::Right: put(b, cx + 1 - i, cy + j, c); break;
            }
        }
}

void tick(TskBitmap& b, int l, int t, uint32_t c) {
    const int pts[][2] = {{4, 8}, {5, 9}, {6, 10}, {7, 9}, {8, 8}, {9, 7}, {10, 6}, {11, 5}};
    for (const auto& p : pts) {
        put(b, l + p[0], t + p[1], c);
        put(b, l + p[0], t + p[1] - 1, c);
    }
}

void dot(TskBitmap& b, int l, int t, uint32_t c) { fill(b, l + 5, t + 5, l + 11, t + 11, c); }

void checkBox(TskBitmap& b, int l, int t, uint32_t border, uint32_t inside, bool checked, uint32_t mark) {
    box(b, l, t, l + 16, t + 16, border, inside);
    if (checked) tick(b, l, t, mark);
}

void radio(TskBitmap& b, int l, int t, uint32_t border, uint32_t inside, bool checked, uint32_t mark) {
    box(b, l + 1, t + 1, l + 15, t + 15, border, inside);
    for (int i = 0; i < 3; ++i) {  // rounder than a box
        put(b, l + 2 + i, t + 2, kClear);
        put(b, l + 2, t + 2 + i, kClear);
    }
    if (checked) dot(b, l, t, mark);
}

TskBitmap controls() {
    TskBitmap b = canvas(290, 150, kClear);
    // Buttons 60 x 23: normal, hover, pressed, focused, disabled.
    box(b, 0, 0, 60, 23, kBorder, kWhite);
    box(b, 0, 23, 60, 46, kAccent, kHoverFill);
    box(b, 0, 46, 60, 69, kAccentDark, kPressedFill);
    box(b, 0, 69, 60, 92, kAccent, kWhite);
    ring(b, 0, 69, 60, 92, kAccentRing);
    box(b, 0, 92, 60, 115, kDisabledBorder, kDisabledFill);
    // Edits 60 x 23: normal, focused, disabled.
    box(b, 60, 0, 120, 23, kBorder, kWhite);
    box(b, 60, 23, 120, 46, kAccent, kWhite);
    ring(b, 60, 23, 120, 46, kAccentRing);
    box(b, 60, 46, 120, 69, kDisabledBorder, kDisabledFill);
    // List header 60 x 22: normal, hover; a separator on the right.
    fill(b, 60, 69, 120, 91, kHeaderFill);
    fill(b, 60, 90, 120, 91, kBorder);
    fill(b, 119, 73, 120, 87, kSoftBorder);
    fill(b, 60, 91, 120, 113, kHoverFill);
    fill(b, 60, 112, 120, 113, kAccent);
    fill(b, 119, 95, 120, 109, kSoftBorder);
    // Panel, list frame, status bar, status panel.
    box(b, 120, 0, 160, 40, kSoftBorder, kWhite, false);
    fill(b, 120, 40, 160, 60, kSurface);
    fill(b, 120, 40, 160, 41, kSoftBorder);
    box(b, 120, 60, 160, 100, kBorder, kWhite, false);
    box(b, 160, 0, 200, 20, kSoftBorder, 0xFFF9FAFB, false);
    // Gauge: trough and the filled part.
    box(b, 160, 20, 200, 40, kBorder, kWhite);
    fill(b, 160, 40, 200, 60, kAccent);
    fill(b, 160, 40, 200, 41, 0xFF4A84E8);
    // Check boxes and radios 16 x 16 at y 115.
    checkBox(b, 0, 115, kBorder, kWhite, false, kWhite);
    checkBox(b, 16, 115, kAccent, kAccent, true, kWhite);
    checkBox(b, 32, 115, kAccent, kHoverFill, false, kWhite);
    checkBox(b, 48, 115, kAccentDark, 0xFF4A84E8, true, kWhite);
    checkBox(b, 64, 115, kDisabledBorder, kDisabledFill, false, kWhite);
    checkBox(b, 80, 115, kDisabledBorder, kDisabledFill, true, kDisabledGlyph);
    radio(b, 96, 115, kBorder, kWhite, false, kWhite);
    radio(b, 112, 115, kAccent, kWhite, true, kAccent);
    // Vertical scroll bar pieces, 14 wide.
    fill(b, 200, 0, 214, 40, kTrack);
    for (int i = 0; i < 2; ++i) {
        const uint32_t fillColour = i == 0 ? kTrack : 0xFFE2E5EA;
        fill(b, 214, 14 * i, 228, 14 * i + 14, fillColour);
        arrow(b, 214, 14 * i, 14, Dir::Up, kGlyph);
        fill(b, 228, 14 * i, 242, 14 * i + 14, fillColour);
        arrow(b, 228, 14 * i, 14, Dir::Down, kGlyph);
    }
    fill(b, 242, 0, 256, 40, kTrack);
    box(b, 244, 1, 254, 39, kThumb, kThumb);
    fill(b, 256, 0, 270, 40, kTrack);
    box(b, 258, 1, 268, 39, kThumbHover, kThumbHover);
    fill(b, 270, 0, 284, 40, kTrack);
    box(b, 272, 1, 282, 39, kAccent, kAccent);
    // Horizontal scroll bar pieces, 14 high.
    fill(b, 200, 40, 240, 54, kTrack);
    for (int i = 0; i < 2; ++i) {
        const uint32_t fillColour = i == 0 ? kTrack : 0xFFE2E5EA;
        fill(b, 240, 40 + 14 * i, 254, 54 + 14 * i, fillColour);
        arrow(b, 240, 40 + 14 * i, 14, Dir::Left, kGlyph);
        fill(b, 254, 40 + 14 * i, 268, 54 + 14 * i, fillColour);
        arrow(b, 254, 40 + 14 * i, 14, Dir::Right, kGlyph);
    }
    const uint32_t thumbs[3] = {kThumb, kThumbHover, kAccent};
    for (int i = 0; i < 3; ++i) {
        fill(b, 200, 68 + 14 * i, 240, 82 + 14 * i, kTrack);
        box(b, 200, 70 + 14 * i, 240, 80 + 14 * i, thumbs[i], thumbs[i]);
    }
    // Combo box: frame like an edit, the drop button, hovered and pressed.
    box(b, 120, 100, 180, 123, kBorder, kWhite);
    box(b, 120, 123, 180, 146, kAccent, kWhite);
    const uint32_t buttonFills[3] = {kWhite, kHoverFill, kPressedFill};
    for (int i = 0; i < 3; ++i) {
        fill(b, 180 + 20 * i, 100, 200 + 20 * i, 123, buttonFills[i]);
        fill(b, 180 + 20 * i, 103, 181 + 20 * i, 120, kSoftBorder);
        arrow(b, 183 + 20 * i, 104, 14, Dir::Down, kGlyph);
    }
    return b;
}

// The window frame: title band, 1 px border and three title buttons.
TskBitmap frame() {
    TskBitmap b = canvas(138, 92, kSurface);
    fill(b, 0, 0, 138, 92, kBorder);
    fill(b, 1, 1, 137, 24, kWhite);
    fill(b, 1, 24, 137, 25, kSoftBorder);
    fill(b, 1, 25, 137, 91, kSurface);
    fill(b, 1, 1, 4, 24, kAccent);  // the accent mark left of the caption
    for (int i = 0; i < 3; ++i) {
        const int l = 84 + 17 * i;
        fill(b, l, 5, l + 15, 20, i == 2 ? 0xFFFBE9EA : kSurface);
        put(b, l + 7, 12, kGlyph);
    }
    return b;
}

TskBitmap mask() {
    TskBitmap b = canvas(138, 92, kWhite);
    for (int y : {0, 91})
        for (int x : {0, 137}) put(b, x, y, 0xFF000000);
    return b;
}

bool save(const std::string& path, const TskBitmap& picture, bool alpha) {
    const std::vector<uint8_t> bytes = sk::encodeBmp(picture, alpha);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawModern OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = save(dir + "/frame.bmp", frame(), false) && save(dir + "/mask.bmp", mask(), false) &&
                    save(dir + "/controls.bmp", controls(), true);
    if (!ok) std::fprintf(stderr, "drawModern: cannot write into %s\n", dir.c_str());
    return ok ? 0 : 1;
}
