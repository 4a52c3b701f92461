// bitmap_reader_test.cpp -- the BMP subset: orientation, palettes, refused and broken files
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "scene/bitmap_reader.h"
#include "tests/support/test_files.h"

namespace {

std::vector<std::vector<uint8_t>> Rows(int width, int height, uint8_t (*pixel)(int, int)) {
    std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            rows[y].push_back(pixel(x, y));
    return rows;
}

std::vector<Rgb> Ramp(int n) {
    std::vector<Rgb> palette;
    for (int i = 0; i < n; ++i)
        palette.push_back(Rgb{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3)});
    return palette;
}

uint32_t Entry(const Rgb& c) {
    return uint32_t(c.r) | (uint32_t(c.g) << 8) | (uint32_t(c.b) << 16);
}

class BitmapReaderTest : public ::testing::Test {
protected:
    int Load(const std::vector<uint8_t>& bytes) {
        dir_.Write("p.bmp", bytes);
        return LoadBitmapFile(dir_.File("p.bmp"), image_);
    }
    TempDir dir_;
    BitmapImage image_;
};

TEST_F(BitmapReaderTest, BottomUpAndTopDownGiveTheSameRows) {
    const auto rows = Rows(256, 256, [](int x, int y) { return uint8_t(x * 3 + y); });
    for (int32_t height : {256, -256}) {
        BmpHeader h;
        h.width = 256;
        h.height = height;
        ASSERT_EQ(Load(MakeBmp(h, Ramp(256), rows)), 1) << height;
        EXPECT_EQ(image_.width, 256);
        EXPECT_EQ(image_.height, height) << "height is kept as stored";
        EXPECT_EQ(image_.bitCount, 8);
        EXPECT_EQ(image_.stride, 256);
        ASSERT_EQ(image_.pixels.size(), 256u * 256u);
        for (int y : {0, 1, 128, 255})
            for (int x : {0, 17, 255})
                EXPECT_EQ(image_.pixels[y * 256 + x], rows[y][x]) << x << "," << y;
        ASSERT_EQ(image_.palette.size(), 256u);
        EXPECT_EQ(image_.palette[10], Entry(Ramp(256)[10]));
    }
}

TEST_F(BitmapReaderTest, PaletteEntriesBecomeRedGreenBlueBytes) {
    BmpHeader h;
    h.width = 4;
    h.height = 1;
    ASSERT_EQ(Load(MakeBmp(h, {{0x11, 0x22, 0x33}}, {{0, 0, 0, 0}})), 1);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(image_.palette.data());
    EXPECT_EQ(image_.palette[0], 0x00332211u);
    // In memory (little-endian): red, green, blue, 0.
    EXPECT_EQ(bytes[0], 0x11);
    EXPECT_EQ(bytes[1], 0x22);
    EXPECT_EQ(bytes[2], 0x33);
    EXPECT_EQ(bytes[3], 0);
}

TEST_F(BitmapReaderTest, ShortPaletteIsFollowedDirectlyByTheRows) {
    // biClrUsed = 16: 64 palette bytes, then rows; the other 240 entries are 0.
    BmpHeader h;
    h.width = 3;
    h.height = 2;
    h.colorsUsed = 16;
    ASSERT_EQ(Load(MakeBmp(h, Ramp(16), {{1, 2, 3}, {4, 5, 6}})), 1);
    EXPECT_EQ(image_.stride, 4);
    EXPECT_EQ(std::vector<uint8_t>(image_.pixels.begin(), image_.pixels.end()),
              (std::vector<uint8_t>{1, 2, 3, 0, 4, 5, 6, 0}));
    ASSERT_EQ(image_.palette.size(), 256u);
    EXPECT_EQ(image_.palette[15], Entry(Ramp(16)[15]));
    for (int e = 16; e < 256; ++e)
        ASSERT_EQ(image_.palette[e], 0u) << e;
}

TEST_F(BitmapReaderTest, TwentyFourBitFilesHaveNoPalette) {
    const struct {
        int32_t width;
        int32_t stride;
    } cases[] = {{256, 768}, {3, 12}, {1, 4}, {5, 16}};
    for (const auto& c : cases) {
        BmpHeader h;
        h.width = c.width;
        h.height = 2;
        h.bitCount = 24;
        std::vector<std::vector<uint8_t>> rows(2, std::vector<uint8_t>(size_t(c.width) * 3, 9));
        ASSERT_EQ(Load(MakeBmp(h, {}, rows)), 1) << c.width;
        EXPECT_EQ(image_.stride, c.stride) << c.width;
        EXPECT_TRUE(image_.palette.empty());
        EXPECT_EQ(image_.pixels.size(), size_t(c.stride) * 2);
    }
}

TEST_F(BitmapReaderTest, RefusedHeaders) {
    const auto pixel = [](int, int) { return uint8_t(1); };
    struct Case {
        const char* what;
        BmpHeader header;
    };
    BmpHeader base;
    base.width = 8;
    base.height = 8;
    auto with = [&](auto change) {
        BmpHeader h = base;
        change(h);
        return h;
    };
    const Case cases[] = {
        {"not BM", with([](BmpHeader& h) { h.type = 0x4142; })},
        {"two planes", with([](BmpHeader& h) { h.planes = 2; })},
        {"zero planes", with([](BmpHeader& h) { h.planes = 0; })},
        {"RLE8", with([](BmpHeader& h) { h.compression = 1; })},
        {"bitfields", with([](BmpHeader& h) { h.compression = 3; })},
        {"4-bit", with([](BmpHeader& h) { h.bitCount = 4; })},
        {"1-bit", with([](BmpHeader& h) { h.bitCount = 1; })},
        {"257 colours", with([](BmpHeader& h) { h.colorsUsed = 257; })},
        {"2^32-1 colours", with([](BmpHeader& h) { h.colorsUsed = 0xFFFFFFFF; })},
        {"zero width", with([](BmpHeader& h) { h.width = 0; })},
        {"negative width", with([](BmpHeader& h) { h.width = -8; })},
        {"zero height", with([](BmpHeader& h) { h.height = 0; })},
        {"most negative height", with([](BmpHeader& h) { h.height = INT32_MIN; })},
        {"huge", with([](BmpHeader& h) { h.width = 100000, h.height = 100000; })},
        {"stride overflow", with([](BmpHeader& h) { h.width = INT32_MAX, h.bitCount = 65535; })},
        {"over 64 MiB", with([](BmpHeader& h) { h.width = 8192, h.height = -8193; })},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Load(MakeBmp(c.header, Ramp(16), Rows(8, 8, pixel))), kBitmapBadHeader) << c.what;
        EXPECT_TRUE(image_.pixels.empty() && image_.palette.empty() && image_.width == 0) << c.what;
    }
}

TEST_F(BitmapReaderTest, FilesShorterThanTheHeadersAreRefused) {
    BmpHeader h;
    h.width = 8;
    h.height = 8;
    const auto full = MakeBmp(h, Ramp(256), Rows(8, 8, [](int, int) { return uint8_t(1); }));
    for (size_t size : {size_t{0}, size_t{1}, size_t{2}, size_t{14}, size_t{53}}) {
        EXPECT_EQ(Load(std::vector<uint8_t>(full.begin(), full.begin() + size)), kBitmapBadHeader)
            << size;
    }
}

TEST_F(BitmapReaderTest, MissingBytesOfAShortFileReadAsZero) {
    BmpHeader h;
    h.width = 4;
    h.height = 4;
    const auto rows = Rows(4, 4, [](int x, int y) { return uint8_t(10 + x + 4 * y); });
    const auto full = MakeBmp(h, Ramp(256), rows);
    // Cut inside the palette: entries past the cut and every row are zero.
    ASSERT_EQ(Load(std::vector<uint8_t>(full.begin(), full.begin() + 54 + 10 * 4 + 2)), 1);
    EXPECT_EQ(image_.palette[9], Entry(Ramp(256)[9]));
    // Entry 10 lost its red byte (stored last): blue and green survive.
    EXPECT_EQ(image_.palette[10], (uint32_t{30} << 16) | (uint32_t{245} << 8));
    EXPECT_EQ(image_.palette[200], 0u);
    for (uint8_t p : image_.pixels)
        ASSERT_EQ(p, 0);
    // Cut after the first row stored (the bottom one): the others are zero.
    ASSERT_EQ(Load(std::vector<uint8_t>(full.begin(), full.begin() + 54 + 1024 + 4 + 2)), 1);
    EXPECT_EQ(image_.pixels[3 * 4 + 0], 22);
    EXPECT_EQ(image_.pixels[2 * 4 + 0], 18) << "a partly read row keeps what was read";
    EXPECT_EQ(image_.pixels[2 * 4 + 2], 0);
    EXPECT_EQ(image_.pixels[0], 0);
}

TEST_F(BitmapReaderTest, UnopenableFilesGiveMinusOne) {
    EXPECT_EQ(LoadBitmapFile(dir_.File("missing.bmp"), image_), kBitmapOpenFailed);
    EXPECT_EQ(LoadBitmapFile(dir_.Dir(), image_), kBitmapOpenFailed) << "a directory";
    EXPECT_EQ(LoadBitmapFile("", image_), kBitmapOpenFailed);
    ASSERT_EQ(::mkfifo(dir_.File("fifo.bmp").c_str(), 0600), 0);
    EXPECT_EQ(LoadBitmapFile(dir_.File("fifo.bmp"), image_), kBitmapOpenFailed)
        << "a FIFO never blocks";
}

TEST_F(BitmapReaderTest, AFailedReadLeavesTheImageEmpty) {
    image_.width = 5;
    image_.pixels.assign(10, 1);
    image_.palette.assign(256, 1);
    EXPECT_EQ(LoadBitmapFile(dir_.File("missing.bmp"), image_), kBitmapOpenFailed);
    EXPECT_EQ(image_.width, 0);
    EXPECT_TRUE(image_.pixels.empty());
    EXPECT_TRUE(image_.palette.empty());
}

}  // namespace
