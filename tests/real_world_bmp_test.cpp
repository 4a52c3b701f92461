// real_world_bmp_test.cpp -- BMPs written by ImageMagick and Pillow load as those tools mean them
//
// Each variant is written by the tool itself into a temporary directory,
// together with what the tool says the picture is (RGB bytes, and for
// Pillow's palette pictures the colour indices and the palette). The reader
// must return exactly that, or refuse the file cleanly when it is a kind the
// reader does not take (compressed, fewer than 8 bits, an OS/2 header).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "scene/bitmap_reader.h"
#include "tests/support/test_files.h"

namespace {

// Where the tools are, as CMake found them; empty when missing.
const std::string kConvert = FLYOVER_CONVERT;
const std::string kPython = FLYOVER_PYTHON;
const std::string kPillowScript =
    std::string(FLYOVER_SOURCE_DIR) + "/tests/real_world/pillow_bmps.py";

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

// The header fields of a BMP file the test needs to know what the tool wrote.
struct FileFields {
    uint32_t offBits, infoSize, colorsUsed;
    int32_t width, height;
    uint16_t bitCount;
    uint32_t compression;
};
FileFields Fields(const std::vector<uint8_t>& b) {
    EXPECT_GE(b.size(), 54u);
    if (b.size() < 54) return {};
    return {Get32(b, 10),          Get32(b, 14),          Get32(b, 46),
            int32_t(Get32(b, 18)), int32_t(Get32(b, 22)), uint16_t(b[28] | b[29] << 8),
            Get32(b, 30)};
}

// Variants made from a tool's file by changing only what the format allows
// to be written another way: neither tool writes top-down rows or leaves the
// colour count out, but other writers do.
enum class Derive {
    None,
    TopDown,        // negative height, rows stored top row first
    NoColourCount,  // biClrUsed 0 for a full 256-entry palette
};

std::vector<uint8_t> Derived(std::vector<uint8_t> bytes, Derive derive) {
    const FileFields f = Fields(bytes);
    if (derive == Derive::TopDown) {
        Put32(bytes, 22, uint32_t(-f.height));
        const size_t stride = ((size_t(f.bitCount) * f.width + 31) >> 3) & ~size_t{3};
        std::vector<uint8_t> rows(bytes.begin() + f.offBits, bytes.end());
        for (int32_t k = 0; k < f.height; ++k)
            std::copy_n(rows.begin() + (f.height - 1 - k) * stride, stride,
                        bytes.begin() + f.offBits + k * stride);
    } else if (derive == Derive::NoColourCount) {
        EXPECT_EQ(f.colorsUsed, 256u) << "only a full palette may drop its count";
        Put32(bytes, 46, 0);
    }
    return bytes;
}

// A hand-made 8-bit picture of 6 x 3 with a 16-entry palette, its info
// header grown to `infoSize` bytes (up to 4096) and `gap` bytes between palette and rows.
// `offBits` is written as given, or (when -1) as where the rows start.
std::vector<uint8_t> LongHeaderBmp(uint32_t infoSize, size_t gap, int64_t offBits = -1,
                                   int32_t height = 3) {
    BmpHeader h;
    h.width = 6;
    h.height = height;
    h.colorsUsed = 16;
    std::vector<Rgb> palette;
    for (int i = 0; i < 16; ++i)
        palette.push_back(Rgb{uint8_t(i * 16), uint8_t(i), uint8_t(255 - i)});
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < std::abs(height); ++y) {
        rows.emplace_back();
        for (int x = 0; x < 6; ++x)
            rows.back().push_back(uint8_t((x + 3 * y) % 16));
    }
    std::vector<uint8_t> b = MakeBmp(h, palette, rows);
    Put32(b, 14, infoSize);
    // Headers too long to be taken get no bytes: the reader refuses them first.
    const size_t extra = infoSize > 40 && infoSize <= 4096 ? infoSize - 40 : 0;
    b.insert(b.begin() + 54, extra, 0xA5);
    const size_t rowsAt = 54 + extra + 16 * 4;
    b.insert(b.begin() + rowsAt, gap, 0xEE);
    Put32(b, 10, offBits < 0 ? uint32_t(rowsAt + gap) : uint32_t(offBits));
    return b;
}

enum class Outcome { Loads, Refused };

struct Variant {
    const char* name;   // the tool's files are NAME.bmp, NAME.idx, NAME.pal
    const char* truth;  // TRUTH.rgb: the picture as RGB bytes, top row first
    uint32_t infoSize;  // the info header the tool is known to write
    uint16_t bitCount;  // ... and the bits per pixel
    Outcome outcome;
    Derive derive = Derive::None;
};

class RealWorldBmpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        if (!kConvert.empty()) {
            // Three source pictures, each written in the BMP flavours
            // ImageMagick offers, and as raw RGB bytes for comparison.
            const std::string c = "cd '" + dir_->Dir() + "' && '" + kConvert + "' ";
            const std::vector<std::string> commands = {
                c + "-seed 7 -size 37x5 plasma:fractal -colors 100 -depth 8 src77.png",
                c + "-size 4x256 gradient:black-white -rotate 90 -depth 8 grey.png",
                c + "-seed 3 -size 256x256 plasma:fractal -colors 256 -depth 8 map.png",
            };
            for (const std::string& command : commands)
                ASSERT_EQ(std::system(command.c_str()), 0) << command;
            // +dither: the palette holds the source's colours exactly, so the
            // source's RGB bytes are what the BMP means.
            const struct {
                const char* source;
                const char* options;
                const char* out;
            } writes[] = {
                {"src77", "+dither -type Palette -compress None", "magick_v5.bmp"},
                {"src77", "-intent Undefined +dither -type Palette -compress None",
                 "magick_v4.bmp"},
                {"src77", "+dither -type Palette -compress None", "BMP3:magick_bmp3.bmp"},
                {"src77", "+dither -type Palette", "magick_rle8.bmp"},
                {"src77", "+dither -type Palette", "BMP2:magick_os2.bmp"},
                {"src77", "+dither -type Palette -alpha set", "magick_bitfields32.bmp"},
                {"src77", "-colors 10 -type Palette -compress None", "magick_4bit.bmp"},
                {"src77", "-colors 2 -type Palette -compress None", "magick_1bit.bmp"},
                {"src77", "-type TrueColor -compress None", "magick_24.bmp"},
                {"grey", "+dither -type Grayscale -compress None", "magick_grey_v4.bmp"},
                {"grey", "-type TrueColor -compress None", "magick_grey24.bmp"},
                {"map", "+dither -type Palette -compress None", "magick_map.bmp"},
                {"src77", "-depth 8", "rgb:src77.rgb"},
                {"grey", "-depth 8", "rgb:grey.rgb"},
                {"map", "-depth 8", "rgb:map.rgb"},
            };
            for (const auto& w : writes) {
                const std::string command = c + w.source + ".png " + w.options + " " + w.out;
                ASSERT_EQ(std::system(command.c_str()), 0) << command;
            }
        }
        if (!kPython.empty()) {
            const std::string command =
                "'" + kPython + "' '" + kPillowScript + "' '" + dir_->Dir() + "'";
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
        }
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    // Checks a variant: the tool wrote the header it is known to write, and
    // the reader returns the tool's picture or refuses the file cleanly.
    void Check(const Variant& v) {
        SCOPED_TRACE(v.name);
        const std::string base = dir_->File(v.name);
        const std::vector<uint8_t> original = ReadAll(base + ".bmp");
        ASSERT_GE(original.size(), 54u) << "the tool wrote no file";
        const FileFields written = Fields(original);
        EXPECT_EQ(written.infoSize, v.infoSize) << "the tool's header is not the one expected";
        if (v.infoSize >= 40) {
            EXPECT_EQ(written.bitCount, v.bitCount);
        }

        const std::vector<uint8_t> bytes = Derived(original, v.derive);
        dir_->Write("case.bmp", bytes);
        BitmapImage image;
        const int result = LoadBitmapFile(dir_->File("case.bmp"), image);
        if (v.outcome == Outcome::Refused) {
            EXPECT_EQ(result, kBitmapBadHeader);
            EXPECT_TRUE(image.pixels.empty() && image.palette.empty() && image.width == 0);
            return;
        }
        ASSERT_EQ(result, 1);
        const FileFields f = Fields(bytes);
        EXPECT_EQ(image.width, f.width);
        EXPECT_EQ(image.height, f.height);
        EXPECT_EQ(image.bitCount, f.bitCount);
        const int32_t width = f.width, height = std::abs(f.height);

        const std::vector<uint8_t> rgb = ReadAll(dir_->File(v.truth) + ".rgb");
        ASSERT_EQ(rgb.size(), size_t(width) * height * 3) << "the tool's RGB picture";
        const std::vector<uint8_t> indices = ReadAll(base + ".idx");
        const std::vector<uint8_t> palette = ReadAll(base + ".pal");

        if (f.bitCount == 24) {
            EXPECT_TRUE(image.palette.empty());
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const uint8_t* p = &image.pixels[size_t(y) * image.stride + x * 3];
                    const uint8_t* t = &rgb[(size_t(y) * width + x) * 3];
                    ASSERT_EQ((std::vector<int>{p[2], p[1], p[0]}),
                              (std::vector<int>{t[0], t[1], t[2]}))
                        << x << "," << y;
                }
            return;
        }

        ASSERT_EQ(image.palette.size(), 256u);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint8_t index = image.pixels[size_t(y) * image.stride + x];
                const uint32_t entry = image.palette[index];
                const uint8_t* t = &rgb[(size_t(y) * width + x) * 3];
                ASSERT_EQ((std::vector<uint32_t>{entry & 0xFF, entry >> 8 & 0xFF, entry >> 16}),
                          (std::vector<uint32_t>{t[0], t[1], t[2]}))
                    << "pixel " << x << "," << y << " index " << int(index);
                if (!indices.empty()) {
                    ASSERT_EQ(index, indices[size_t(y) * width + x]) << x << "," << y;
                }
            }
        if (!palette.empty()) {
            // The entries the tool stored, then zeros for those it did not.
            const size_t stored = f.colorsUsed ? f.colorsUsed : 256;
            for (size_t e = 0; e < 256; ++e) {
                const uint32_t expected = e < stored && e * 3 + 2 < palette.size()
                                              ? uint32_t(palette[e * 3]) |
                                                    uint32_t(palette[e * 3 + 1]) << 8 |
                                                    uint32_t(palette[e * 3 + 2]) << 16
                                              : 0;
                ASSERT_EQ(image.palette[e], expected) << "palette entry " << e;
            }
        }
    }

    static TempDir* dir_;
};

TempDir* RealWorldBmpTest::dir_ = nullptr;

TEST_F(RealWorldBmpTest, ImageMagickPictures) {
    if (kConvert.empty())
        GTEST_SKIP() << "ImageMagick's convert was not found (Debian: imagemagick)";
    const Variant variants[] = {
        {"magick_v5", "src77", 124, 8, Outcome::Loads},  // its default: a V5 header
        {"magick_v5", "src77", 124, 8, Outcome::Loads, Derive::TopDown},
        {"magick_v5", "src77", 124, 8, Outcome::Loads, Derive::NoColourCount},
        {"magick_v4", "src77", 108, 8, Outcome::Loads},
        {"magick_v4", "src77", 108, 8, Outcome::Loads, Derive::TopDown},
        {"magick_bmp3", "src77", 40, 8, Outcome::Loads},
        {"magick_bmp3", "src77", 40, 8, Outcome::Loads, Derive::TopDown},
        {"magick_bmp3", "src77", 40, 8, Outcome::Loads, Derive::NoColourCount},
        {"magick_grey_v4", "grey", 108, 8, Outcome::Loads},
        {"magick_map", "map", 124, 8, Outcome::Loads},
        {"magick_24", "src77", 124, 24, Outcome::Loads},
        {"magick_grey24", "grey", 124, 24, Outcome::Loads},
        {"magick_rle8", "src77", 124, 8, Outcome::Refused},  // its default for 8 bits: RLE8
        {"magick_bitfields32", "src77", 124, 32, Outcome::Refused},
        {"magick_4bit", "src77", 124, 4, Outcome::Refused},
        {"magick_1bit", "src77", 124, 1, Outcome::Refused},
        {"magick_os2", "src77", 12, 0, Outcome::Refused},  // BMP2: the 12-byte OS/2 header
    };
    for (const Variant& v : variants)
        Check(v);
}

TEST_F(RealWorldBmpTest, PillowPictures) {
    if (kPython.empty()) GTEST_SKIP() << "no Python with Pillow was found (Debian: python3-pil)";
    const Variant variants[] = {
        {"pillow_p3", "pillow_p3", 40, 8, Outcome::Loads},  // 3 colours: a 3-entry palette
        {"pillow_p3", "pillow_p3", 40, 8, Outcome::Loads, Derive::TopDown},
        {"pillow_4colours_p", "pillow_4colours_p", 40, 8, Outcome::Loads},
        {"pillow_p20", "pillow_p20", 40, 8, Outcome::Loads},
        {"pillow_p20", "pillow_p20", 40, 8, Outcome::Loads, Derive::TopDown},
        {"pillow_p256", "pillow_p256", 40, 8, Outcome::Loads},
        {"pillow_p256", "pillow_p256", 40, 8, Outcome::Loads, Derive::NoColourCount},
        {"pillow_map", "pillow_map", 40, 8, Outcome::Loads},
        {"pillow_l", "pillow_l", 40, 8, Outcome::Loads},
        {"pillow_l", "pillow_l", 40, 8, Outcome::Loads, Derive::NoColourCount},
        {"pillow_rgb", "pillow_rgb", 40, 24, Outcome::Loads},
        {"pillow_1bit", "pillow_1bit", 40, 1, Outcome::Refused},
    };
    for (const Variant& v : variants)
        Check(v);
}

// Hand-made files with every length of info header and every kind of pixel
// offset: the rows are read at bfOffBits only when it lies after the palette
// and inside the file; otherwise right after the palette, as the original
// read them.
TEST(LongerInfoHeaders, RowsStartAtASaneOffset) {
    enum Rows { Exact, AfterPalette, Refused };
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        Rows rows;
    } cases[] = {
        {"V4, rows right after the palette", LongHeaderBmp(108, 0), Exact},
        {"V5, a gap before the rows", LongHeaderBmp(124, 6), Exact},
        {"V5, top-down with a gap", LongHeaderBmp(124, 10, -1, -3), Exact},
        {"V5, a gap longer than the rows", LongHeaderBmp(124, 5000), Exact},
        {"V2 (52 bytes), a gap", LongHeaderBmp(52, 4), Exact},
        {"1024-byte header", LongHeaderBmp(1024, 0), Exact},
        {"V5, offset 0", LongHeaderBmp(124, 0, 0), AfterPalette},
        {"V5, offset inside the palette", LongHeaderBmp(124, 0, 14 + 124 + 8), AfterPalette},
        {"V5, offset past the end", LongHeaderBmp(124, 0, 100000), AfterPalette},
        {"V5, offset at the very end", LongHeaderBmp(124, 0, 14 + 124 + 64 + 24), AfterPalette},
        {"V5, offset 2^32 - 1", LongHeaderBmp(124, 0, 0xFFFFFFFF), AfterPalette},
        {"40 bytes, a gap before the rows", LongHeaderBmp(40, 6), Exact},
        {"40 bytes, top-down with a gap", LongHeaderBmp(40, 10, -1, -3), Exact},
        {"40 bytes, offset past the end", LongHeaderBmp(40, 0, 9999), AfterPalette},
        {"OS/2 core header (12 bytes)", LongHeaderBmp(12, 0), Refused},
        {"39-byte header", LongHeaderBmp(39, 0), Refused},
        {"0-byte header", LongHeaderBmp(0, 0), Refused},
        {"1025-byte header", LongHeaderBmp(1025, 0), Refused},
        {"2^32 - 1 byte header", LongHeaderBmp(0xFFFFFFFF, 0), Refused},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dir.Write("p.bmp", c.bytes);
        BitmapImage image;
        const int result = LoadBitmapFile(dir.File("p.bmp"), image);
        if (c.rows == Refused) {
            EXPECT_EQ(result, kBitmapBadHeader);
            continue;
        }
        ASSERT_EQ(result, 1);
        EXPECT_EQ(image.palette[15], uint32_t(255 - 15) | uint32_t(15) << 8 | uint32_t(240) << 16);
        EXPECT_EQ(image.palette[16], 0u);
        ASSERT_EQ(image.pixels.size(), 8u * 3);
        // Exact: every pixel as drawn. AfterPalette: the file has no gap, so
        // reading right after the palette gives the same rows too.
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 6; ++x)
                ASSERT_EQ(image.pixels[y * 8 + x], (x + 3 * y) % 16) << x << "," << y;
    }
}

TEST(LongerInfoHeaders, AGapIsReadAsRowsWhenTheOffsetIsNotSane) {
    TempDir dir;
    // 40 bytes with an offset of 0: the original's reading, the gap's bytes
    // become the first rows stored. V5 with an offset past the end: the same
    // fallback.
    for (int64_t offBits : {int64_t{-1}, int64_t{100000}}) {
        const uint32_t infoSize = offBits < 0 ? 40 : 124;
        dir.Write("p.bmp", LongHeaderBmp(infoSize, 4, offBits < 0 ? 0 : offBits));
        BitmapImage image;
        ASSERT_EQ(LoadBitmapFile(dir.File("p.bmp"), image), 1) << infoSize;
        // Bottom-up: the first stored bytes land in the last row.
        EXPECT_EQ(image.pixels[2 * 8 + 0], 0xEE) << infoSize;
        EXPECT_EQ(image.pixels[2 * 8 + 3], 0xEE) << infoSize;
        EXPECT_EQ(image.pixels[2 * 8 + 4], 6) << infoSize;
    }
}

TEST(LongerInfoHeaders, ShortFiles) {
    TempDir dir;
    const std::vector<uint8_t> full = LongHeaderBmp(124, 6);
    BitmapImage image;
    // Cut inside the longer header: the header is incomplete, refused.
    dir.Write("p.bmp", std::vector<uint8_t>(full.begin(), full.begin() + 100));
    EXPECT_EQ(LoadBitmapFile(dir.File("p.bmp"), image), kBitmapBadHeader);
    // Cut inside the rows read from the offset: the missing bytes are zero.
    const size_t rowsAt = 14 + 124 + 64 + 6;
    dir.Write("p.bmp", std::vector<uint8_t>(full.begin(), full.begin() + rowsAt + 8 + 3));
    ASSERT_EQ(LoadBitmapFile(dir.File("p.bmp"), image), 1);
    EXPECT_EQ(image.pixels[2 * 8 + 5], 11) << "the bottom row, stored first, is whole";
    EXPECT_EQ(image.pixels[1 * 8 + 2], 5) << "the middle row keeps what was read";
    EXPECT_EQ(image.pixels[1 * 8 + 3], 0);
    EXPECT_EQ(image.pixels[0], 0);
}

}  // namespace
