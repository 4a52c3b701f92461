// yuv_picture.cpp -- RGB565 to YUV 4:2:0 through 65536-entry tables, with whole-number scaling
#include "record/yuv_picture.h"

#include <array>
#include <cstring>
#include <vector>

#include "render/cpu_features.h"

namespace {

// BT.709: Y = 0.2126 R + 0.7152 G + 0.0722 B; Cb = (B - Y) / 1.8556;
// Cr = (R - Y) / 1.5748; limited range: Y in 16..235, Cb and Cr in 16..240.
// Coefficients scaled by 2^16 and by 219/255 (Y) or 224/255 (Cb, Cr).
constexpr int64_t kShift = 16;
constexpr int64_t Scaled(double coefficient, double range) {
    const double value = coefficient * range / 255.0 * (1 << kShift);
    return static_cast<int64_t>(value < 0 ? value - 0.5 : value + 0.5);
}
constexpr int64_t kYr = Scaled(0.2126, 219), kYg = Scaled(0.7152, 219), kYb = Scaled(0.0722, 219);
constexpr int64_t kUr = Scaled(-0.2126 / 1.8556, 224), kUg = Scaled(-0.7152 / 1.8556, 224),
                  kUb = Scaled(0.5, 224);
constexpr int64_t kVr = Scaled(0.5, 224), kVg = Scaled(-0.7152 / 1.5748, 224),
                  kVb = Scaled(-0.0722 / 1.5748, 224);

// Chroma kept with kShift fraction bits, so that four can be averaged before rounding.
struct ChromaFixed {
    int32_t u, v;
};

// offset + fixed / 2^bits, rounded half up, clamped to a byte.
uint8_t Round(int64_t fixed, int64_t offset, int64_t bits = kShift) {
    const int64_t value = offset + ((fixed + (int64_t{1} << (bits - 1))) >> bits);
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

struct Tables {
    std::array<uint8_t, 65536> luma{};
    std::array<ChromaFixed, 65536> chroma{};  // for means of four
    std::array<uint32_t, 65536> packed{};     // one pixel's Y | Cb << 8 | Cr << 16, rounded
};

const Tables& YuvTables() {
    static const Tables tables = [] {
        Tables t;
        for (uint32_t pixel = 0; pixel < 65536; ++pixel) {
            const uint32_t rgb = WidenedRgb(static_cast<uint16_t>(pixel));
            const int64_t r = rgb & 0xFF, g = rgb >> 8 & 0xFF, b = rgb >> 16 & 0xFF;
            t.luma[pixel] = Round(kYr * r + kYg * g + kYb * b, 16);
            t.chroma[pixel] = {static_cast<int32_t>(kUr * r + kUg * g + kUb * b),
                               static_cast<int32_t>(kVr * r + kVg * g + kVb * b)};
            t.packed[pixel] = uint32_t{t.luma[pixel]} |
                              uint32_t{Round(t.chroma[pixel].u, 128)} << 8 |
                              uint32_t{Round(t.chroma[pixel].v, 128)} << 16;
        }
        return t;
    }();
    return tables;
}

constexpr int kPadding = -1;

// For each output column (or row), the screen column (row) it shows, or kPadding.
std::vector<int> SourceMap(int outputs, int crop, int first, int scale) {
    std::vector<int> map(static_cast<size_t>(outputs), kPadding);
    for (int i = 0; i < outputs && i / scale < crop; ++i)
        map[static_cast<size_t>(i)] = first + i / scale;
    return map;
}

}  // namespace

Yuv Bt709Limited(uint8_t r, uint8_t g, uint8_t b) {
    const int64_t ir = r, ig = g, ib = b;
    return {Round(kYr * ir + kYg * ig + kYb * ib, 16), Round(kUr * ir + kUg * ig + kUb * ib, 128),
            Round(kVr * ir + kVg * ig + kVb * ib, 128)};
}

namespace {

// An even scale without padding: every chroma sample covers one screen
// pixel, and each screen row gives `scale` equal output rows.
void DrawYuv420EvenScale(const FrameBuffer& frame, const PictureGeometry& g, const Tables& t,
                         uint8_t* const planes[3], const int strides[3]) {
    // Locals, so that the byte stores below need not reload them.
    const int scale = g.scale, half = scale / 2, width = g.cropWidth;
    const size_t lumaRow = static_cast<size_t>(g.width), chromaRow = lumaRow / 2;
    std::vector<uint16_t> line(static_cast<size_t>(width));
    for (int row = 0; row < g.cropHeight; ++row) {
        for (int column = 0; column < width; ++column)
            line[static_cast<size_t>(column)] = frame.Pixel(g.cropX + column, g.cropY + row);
        uint8_t* const y0 = planes[0] + static_cast<ptrdiff_t>(row) * scale * strides[0];
        uint8_t* const u0 = planes[1] + static_cast<ptrdiff_t>(row) * half * strides[1];
        uint8_t* const v0 = planes[2] + static_cast<ptrdiff_t>(row) * half * strides[2];
        if (scale == 2) {
            // One table read a pixel; its two equal luma bytes stored as one 16-bit word.
            for (int column = 0; column < width; ++column) {
                const uint32_t yuv = t.packed[line[static_cast<size_t>(column)]];
                const uint16_t pair = static_cast<uint16_t>((yuv & 0xFF) * 0x0101u);
                std::memcpy(y0 + 2 * column, &pair, 2);
                u0[column] = static_cast<uint8_t>(yuv >> 8);
                v0[column] = static_cast<uint8_t>(yuv >> 16);
            }
        } else {
            for (int column = 0; column < width; ++column) {
                const uint32_t yuv = t.packed[line[static_cast<size_t>(column)]];
                std::memset(y0 + column * scale, static_cast<int>(yuv & 0xFF),
                            static_cast<size_t>(scale));
                std::memset(u0 + column * half, static_cast<int>(yuv >> 8 & 0xFF),
                            static_cast<size_t>(half));
                std::memset(v0 + column * half, static_cast<int>(yuv >> 16),
                            static_cast<size_t>(half));
            }
        }
        for (int s = 1; s < scale; ++s)
            std::memcpy(y0 + s * strides[0], y0, lumaRow);
        for (int s = 1; s < half; ++s) {
            std::memcpy(u0 + s * strides[1], u0, chromaRow);
            std::memcpy(v0 + s * strides[2], v0, chromaRow);
        }
    }
}

}  // namespace

void DrawYuv420(const FrameBuffer& frame, const PictureGeometry& g, uint8_t* const planes[3],
                const int strides[3]) {
    const Tables& t = YuvTables();
    if (g.scale % 2 == 0 && g.width == g.cropWidth * g.scale && g.height == g.cropHeight * g.scale)
        return DrawYuv420EvenScale(frame, g, t, planes, strides);
    const std::vector<int> columns = SourceMap(g.width, g.cropWidth, g.cropX, g.scale);
    const std::vector<int> rows = SourceMap(g.height, g.cropHeight, g.cropY, g.scale);
    // A screen row's pixels, read once for the output rows that show it; the
    // padding column, if any, reads as black.
    std::vector<uint16_t> top(static_cast<size_t>(g.width)), bottom(top.size());
    auto read = [&](int row, std::vector<uint16_t>& pixels) {
        for (int x = 0; x < g.width; ++x) {
            const int column = columns[static_cast<size_t>(x)];
            pixels[static_cast<size_t>(x)] =
                row == kPadding || column == kPadding ? 0 : frame.Pixel(column, row);
        }
    };
    for (int cy = 0; cy < g.height / 2; ++cy) {
        const int upper = rows[static_cast<size_t>(2 * cy)];
        const int lower = rows[static_cast<size_t>(2 * cy + 1)];
        read(upper, top);
        if (lower != upper) read(lower, bottom);
        const std::vector<uint16_t>& second = lower != upper ? bottom : top;
        uint8_t* y0 = planes[0] + static_cast<ptrdiff_t>(2 * cy) * strides[0];
        uint8_t* y1 = y0 + strides[0];
        uint8_t* u = planes[1] + static_cast<ptrdiff_t>(cy) * strides[1];
        uint8_t* v = planes[2] + static_cast<ptrdiff_t>(cy) * strides[2];
        for (int x = 0; x < g.width; ++x) {
            y0[x] = t.luma[top[static_cast<size_t>(x)]];
            y1[x] = t.luma[second[static_cast<size_t>(x)]];
        }
        // Each chroma sample: the mean of the four pixels it covers.
        for (int cx = 0; cx < g.width / 2; ++cx) {
            const size_t left = static_cast<size_t>(2 * cx), right = left + 1;
            const ChromaFixed& a = t.chroma[top[left]];
            const ChromaFixed& b = t.chroma[top[right]];
            const ChromaFixed& c = t.chroma[second[left]];
            const ChromaFixed& d = t.chroma[second[right]];
            const int64_t su = int64_t{a.u} + b.u + c.u + d.u, sv = int64_t{a.v} + b.v + c.v + d.v;
            // The sum of four is the mean with two more fraction bits.
            u[cx] = Round(su, 128, kShift + 2);
            v[cx] = Round(sv, 128, kShift + 2);
        }
    }
}

namespace {

// Whole rows for the vector units: machines with AVX2 get a copy of the row
// conversion built for it (32-bit multiplies eight at a time), chosen at the
// first call; others the baseline one. (Not GCC's target_clones: its choice
// is made by a resolver the dynamic loader runs before the sanitizers'
// runtimes are up, which crashes every command of a ThreadSanitizer build.)
#if defined(__x86_64__) && defined(__GNUC__)
#define FLYOVER_ROW_AVX2 1
#endif

__attribute__((always_inline)) inline void XrgbRowPairBody(
    const uint32_t* __restrict top, const uint32_t* __restrict bottom, int width,
    uint8_t* __restrict y0, uint8_t* __restrict y1, uint8_t* __restrict u, uint8_t* __restrict v) {
    constexpr int32_t yr = kYr, yg = kYg, yb = kYb, ur = kUr, ug = kUg, ub = kUb, vr = kVr,
                      vg = kVg, vb = kVb;
    constexpr int32_t lumaHalf = 1 << (kShift - 1), chromaHalf = 1 << (kShift + 1);
    for (int x = 0; x < width; ++x) {
        const uint32_t p = top[x], q = bottom[x];
        const int32_t pr = static_cast<int32_t>(p >> 16 & 0xFF),
                      pg = static_cast<int32_t>(p >> 8 & 0xFF), pb = static_cast<int32_t>(p & 0xFF);
        const int32_t qr = static_cast<int32_t>(q >> 16 & 0xFF),
                      qg = static_cast<int32_t>(q >> 8 & 0xFF), qb = static_cast<int32_t>(q & 0xFF);
        y0[x] = static_cast<uint8_t>(16 + ((yr * pr + yg * pg + yb * pb + lumaHalf) >> kShift));
        y1[x] = static_cast<uint8_t>(16 + ((yr * qr + yg * qg + yb * qb + lumaHalf) >> kShift));
    }
    for (int cx = 0; cx < width / 2; ++cx) {
        const uint32_t a = top[2 * cx], b = top[2 * cx + 1], c = bottom[2 * cx],
                       d = bottom[2 * cx + 1];
        // Red and blue summed side by side in one word (each sum below 2^10), green apart.
        const uint32_t redBlue =
            (a & 0xFF00FFu) + (b & 0xFF00FFu) + (c & 0xFF00FFu) + (d & 0xFF00FFu);
        const int32_t sr = static_cast<int32_t>(redBlue >> 16),
                      sb = static_cast<int32_t>(redBlue & 0xFFFF);
        const int32_t sg = static_cast<int32_t>((a >> 8 & 0xFF) + (b >> 8 & 0xFF) +
                                                (c >> 8 & 0xFF) + (d >> 8 & 0xFF));
        // The sum of four is the mean with two more fraction bits.
        u[cx] = static_cast<uint8_t>(128 +
                                     ((ur * sr + ug * sg + ub * sb + chromaHalf) >> (kShift + 2)));
        v[cx] = static_cast<uint8_t>(128 +
                                     ((vr * sr + vg * sg + vb * sb + chromaHalf) >> (kShift + 2)));
    }
}

void XrgbRowPairBaseline(const uint32_t* top, const uint32_t* bottom, int width, uint8_t* y0,
                         uint8_t* y1, uint8_t* u, uint8_t* v) {
    XrgbRowPairBody(top, bottom, width, y0, y1, u, v);
}

#ifdef FLYOVER_ROW_AVX2
__attribute__((target("avx2"))) void XrgbRowPairAvx2(const uint32_t* top, const uint32_t* bottom,
                                                     int width, uint8_t* y0, uint8_t* y1,
                                                     uint8_t* u, uint8_t* v) {
    XrgbRowPairBody(top, bottom, width, y0, y1, u, v);
}
#endif

using RowPairFunction = void (*)(const uint32_t*, const uint32_t*, int, uint8_t*, uint8_t*,
                                 uint8_t*, uint8_t*);

RowPairFunction XrgbRowPairForThisMachine() {
#ifdef FLYOVER_ROW_AVX2
    if (CpuHasAvx2()) return XrgbRowPairAvx2;
#endif
    return XrgbRowPairBaseline;
}

}  // namespace

void DrawYuv420FromXrgb(const HdFrame& frame, const PictureGeometry& g, uint8_t* const planes[3],
                        const int strides[3]) {
    // Black padding reads as pixel 0; a row past the crop reads as black too.
    const std::vector<uint32_t> black(static_cast<size_t>(g.width), 0);
    std::vector<uint32_t> padded[2] = {std::vector<uint32_t>(black), std::vector<uint32_t>(black)};
    const auto row = [&](int y, int which) -> const uint32_t* {
        if (y >= g.cropHeight) return black.data();
        const uint32_t* in =
            frame.pixels + static_cast<ptrdiff_t>(g.cropY + y) * (frame.pitch / 4) + g.cropX;
        if (g.cropWidth == g.width) return in;
        std::memcpy(padded[which].data(), in, static_cast<size_t>(g.cropWidth) * 4);
        return padded[which].data();
    };
    static const RowPairFunction rowPair = XrgbRowPairForThisMachine();
    for (int cy = 0; cy < g.height / 2; ++cy) {
        uint8_t* y0 = planes[0] + static_cast<ptrdiff_t>(2 * cy) * strides[0];
        rowPair(row(2 * cy, 0), row(2 * cy + 1, 1), g.width, y0, y0 + strides[0],
                planes[1] + static_cast<ptrdiff_t>(cy) * strides[1],
                planes[2] + static_cast<ptrdiff_t>(cy) * strides[2]);
    }
}
