// Decoding and composing every frame of a 1000 x 1000, 100-frame GIF: our
// decoder and composer against Debian's giflib (DGifSlurp plus the same
// composition rules, written here), in one run. Also reports our peak heap
// beyond the decoded frames, in screen-sized bitmaps.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "banner/GIFComposer.h"
#include "banner/GIFImage.h"
#include "tests/support/GIFTestEncoder.h"

namespace {

// Heap accounting for the memory figure (our code only uses operator new).
std::atomic<size_t> g_current{0}, g_peak{0};

constexpr int kSide = 1000;
constexpr int kFrames = 100;

// Full frames of a moving pattern every tenth frame; between them smaller
// frames with transparency and each disposal method.
std::string makeGif() {
    testgif::Gif gif;
    gif.width = kSide;
    gif.height = kSide;
    gif.globalTable = testgif::palette(256);
    gif.loopCount = 0;
    for (int i = 0; i < kFrames; ++i) {
        testgif::Frame f;
        const bool full = i % 10 == 0;
        f.left = full ? 0 : (i * 37) % 400;
        f.top = full ? 0 : (i * 53) % 400;
        f.width = full ? kSide : 600;
        f.height = full ? kSide : 600;
        f.delay = 4;
        f.disposal = full ? 1 : i % 3;  // no restore-to-previous: the peer composition below continues in order
        f.transparent = full ? -1 : 0;
        f.pixels.resize(static_cast<size_t>(f.width) * f.height);
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const double v = std::sin((x + i * 7) * 0.02) + std::cos((y - i * 5) * 0.03) + std::sin((x + y) * 0.01);
                f.pixels[static_cast<size_t>(y) * f.width + x] = static_cast<uint8_t>((v + 3) * 42) ;
            }
        gif.frames.push_back(std::move(f));
    }
    return testgif::encode(gif);
}

const std::string& gifPath() {
    static const std::string path = [] {
        const std::string p = "/tmp/tessaly_banner_bench.gif";
        const std::string bytes = makeGif();
        FILE* f = std::fopen(p.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return p;
    }();
    return path;
}

uint64_t checksum(const std::vector<uint32_t>& bitmap) {
    uint64_t sum = 0;
    for (size_t i = 0; i < bitmap.size(); i += 97) sum = sum * 31 + bitmap[i];
    return sum;
}

uint64_t runOurs(size_t* decodedBytes) {
    banner::TGIFImage image;
    image.loadFromFile(gifPath());
    if (decodedBytes) {
        *decodedBytes = 0;
        for (const auto& f : image.frames()) *decodedBytes += f.pixels.capacity() + f.colorTable.capacity() * 3;
    }
    banner::TGIFComposer composer(image);
    uint64_t sum = 0;
    for (size_t i = 0; i < image.frames().size(); ++i) sum += checksum(composer.compose(i));
    return sum;
}

// The same composition rules over giflib's decoded frames.
struct GiflibFrame {
    int left, top, width, height, disposal, transparent;
    uint32_t palette[256];
    const uint8_t* pixels;
};

uint64_t runGiflib() {
    int error = 0;
    GifFileType* gif = DGifOpenFileName(gifPath().c_str(), &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) std::abort();
    const int w = gif->SWidth, h = gif->SHeight;
    std::vector<GiflibFrame> frames(static_cast<size_t>(gif->ImageCount));
    bool transparentImage = false;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& s = gif->SavedImages[i];
        GraphicsControlBlock gcb{0, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(gif, i, &gcb);
        const ColorMapObject* map = s.ImageDesc.ColorMap ? s.ImageDesc.ColorMap : gif->SColorMap;
        GiflibFrame& f = frames[static_cast<size_t>(i)];
        f = {s.ImageDesc.Left, s.ImageDesc.Top, s.ImageDesc.Width, s.ImageDesc.Height, gcb.DisposalMode, -1, {}, s.RasterBits};
        for (int c = 0; c < 256; ++c)
            f.palette[c] = 0xFF000000u | (c < map->ColorCount ? (uint32_t(map->Colors[c].Red) << 16) |
                                                                   (uint32_t(map->Colors[c].Green) << 8) | map->Colors[c].Blue
                                                             : 0);
        if (gcb.TransparentColor >= 0 && gcb.TransparentColor < map->ColorCount) {
            f.transparent = gcb.TransparentColor;
            transparentImage = true;
        }
    }
    const uint32_t background = transparentImage ? (frames[0].palette[0] & 0xFFFFFF) : 0xFFFFFFFF;
    std::vector<uint32_t> bitmap(static_cast<size_t>(w) * h, background);
    auto clipRows = [&](const GiflibFrame& f, auto&& row) {
        const int right = std::min(f.left + f.width, w), bottom = std::min(f.top + f.height, h);
        for (int y = f.top; y < bottom; ++y) row(y, f.left, right);
    };
    uint64_t sum = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        // Played in order, each frame continues from the previous one (no
        // restore-to-previous frames would need a rebuild here: none in this file).
        if (i > 0 && frames[i - 1].disposal == 2)
            clipRows(frames[i - 1], [&](int y, int l, int r) { std::fill(&bitmap[size_t(y) * w + l], &bitmap[size_t(y) * w + r], background); });
        const GiflibFrame& f = frames[i];
        clipRows(f, [&](int y, int l, int r) {
            const uint8_t* src = f.pixels + size_t(y - f.top) * f.width;
            uint32_t* dst = &bitmap[size_t(y) * w + l];
            for (int x = 0; x < r - l; ++x)
                if (src[x] != f.transparent) dst[x] = f.palette[src[x]];
        });
        sum += checksum(bitmap);
    }
    DGifCloseFile(gif, &error);
    return sum;
}

void BM_OurDecoderAndComposer(benchmark::State& state) {
    gifPath();
    size_t decoded = 0;
    for (auto _ : state) benchmark::DoNotOptimize(runOurs(nullptr));
    g_current = 0;
    g_peak = 0;
    runOurs(&decoded);
    const double screen = double(kSide) * kSide * 4;
    state.counters["decoded_MB"] = double(decoded) / 1e6;
    state.counters["peak_MB"] = double(g_peak.load()) / 1e6;
    state.counters["beyond_frames_screens"] = (double(g_peak.load()) - double(decoded)) / screen;
}

void BM_GiflibDecoderAndComposer(benchmark::State& state) {
    gifPath();
    for (auto _ : state) benchmark::DoNotOptimize(runGiflib());
    state.counters["same_frames"] = runGiflib() == runOurs(nullptr) ? 1 : 0;
}

}  // namespace

void* operator new(size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    const size_t now = g_current.fetch_add(size) + size;
    size_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
    return p;
}
void operator delete(void* p, size_t size) noexcept {
    g_current.fetch_sub(size);
    std::free(p);
}
void operator delete(void* p) noexcept { std::free(p); }  // size unknown: only unsized deletes of foreign code

BENCHMARK(BM_OurDecoderAndComposer)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_GiflibDecoderAndComposer)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_OurDecoderAndComposer)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_GiflibDecoderAndComposer)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK_MAIN();
