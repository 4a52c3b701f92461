// picture_test.cpp -- the recorded picture: crop, whole-number scaling, widening, palette indices,
// colour counts and the YUV 4:2:0 conversion
#include <gtest/gtest.h>

#include <vector>

#include "record/picture.h"
#include "record/yuv_picture.h"
#include "tools/png_writer.h"

namespace {

// A screen of `shape` whose pixel (x, y) is a value made from x and y.
FrameBuffer PatternScreen(const DisplayShape& shape) {
    FrameBuffer frame(shape);
    for (int y = 0; y < shape.height; ++y)
        for (int x = 0; x < shape.width; ++x) {
            uint16_t* p =
                reinterpret_cast<uint16_t*>(reinterpret_cast<uint8_t*>(frame.TopLeft()) +
                                            x * frame.XPitchBytes() + y * frame.YPitchBytes());
            *p = static_cast<uint16_t>((x * 2654435761u + y * 40503u) >> 7);
        }
    return frame;
}

TEST(PictureGeometry, ScreenOrViewScaled) {
    const struct {
        DisplayShape shape;
        bool viewOnly;
        int scale;
        int cropY, cropWidth, cropHeight, width, height;
    } cases[] = {
        {{240, 320}, false, 2, 0, 240, 320, 480, 640},
        {{240, 320}, true, 2, 24, 240, 296, 480, 592},
        {{320, 240, DisplayLayout::Rot90}, true, 1, 24, 320, 216, 320, 216},
        {{400, 500}, true, 3, 24, 320, 296, 960, 888},  // the view is at most 320 x 320
        {{31, 25}, false, 1, 0, 31, 25, 31, 25},
    };
    for (const auto& c : cases) {
        const PictureGeometry g = GeometryFor(c.shape, c.viewOnly, c.scale);
        EXPECT_EQ(g.cropX, 0);
        EXPECT_EQ(g.cropY, c.cropY);
        EXPECT_EQ(g.cropWidth, c.cropWidth);
        EXPECT_EQ(g.cropHeight, c.cropHeight);
        EXPECT_EQ(g.width, c.width);
        EXPECT_EQ(g.height, c.height);
    }
    PictureGeometry odd = GeometryFor({31, 25}, false, 1);
    EXPECT_TRUE(PadToEvenSides(odd));
    EXPECT_EQ(SizeText(odd.width, odd.height), "32x26");
    EXPECT_FALSE(PadToEvenSides(odd));
}

TEST(Picture, WideningMatchesRenderPngsForEveryPixelValue) {
    for (uint32_t pixel = 0; pixel < 65536; ++pixel) {
        const Rgb8 png = WidenRgb565(static_cast<uint16_t>(pixel));
        ASSERT_EQ(WidenedRgb(static_cast<uint16_t>(pixel)),
                  uint32_t{png.r} | uint32_t{png.g} << 8 | uint32_t{png.b} << 16)
            << pixel;
    }
}

TEST(Picture, EachScreenPixelBecomesAScaledBlockAndPaddingIsBlack) {
    for (const DisplayLayout layout : {DisplayLayout::Normal, DisplayLayout::Rot270}) {
        const FrameBuffer frame = PatternScreen({7, 30, layout});
        for (const bool viewOnly : {false, true})
            for (const int scale : {1, 2, 3}) {
                PictureGeometry g = GeometryFor(frame.Shape(), viewOnly, scale);
                PadToEvenSides(g);
                std::vector<uint8_t> rgb(static_cast<size_t>(g.width) * g.height * 3, 0xAA);
                std::vector<uint8_t> indices(static_cast<size_t>(g.width) * g.height, 0xAA);
                std::vector<uint8_t> indexOf(65536);
                for (size_t i = 0; i < indexOf.size(); ++i)
                    indexOf[i] = static_cast<uint8_t>(i * 7 + 3);
                DrawRgb(frame, g, rgb.data(), g.width * 3);
                DrawIndexed(frame, g, indexOf.data(), 9, indices.data(), g.width);
                for (int y = 0; y < g.height; ++y)
                    for (int x = 0; x < g.width; ++x) {
                        const size_t at = static_cast<size_t>(y) * g.width + x;
                        const bool inside = x < g.cropWidth * scale && y < g.cropHeight * scale;
                        const uint16_t pixel =
                            inside ? frame.Pixel(x / scale, g.cropY + y / scale) : 0;
                        const uint32_t want = inside ? WidenedRgb(pixel) : 0;
                        ASSERT_EQ(rgb[3 * at], want & 0xFF) << x << "," << y;
                        ASSERT_EQ(rgb[3 * at + 1], want >> 8 & 0xFF) << x << "," << y;
                        ASSERT_EQ(rgb[3 * at + 2], want >> 16) << x << "," << y;
                        ASSERT_EQ(indices[at], inside ? indexOf[pixel] : 9) << x << "," << y;
                    }
            }
    }
}

TEST(Picture, CountsTheCropsColours) {
    FrameBuffer frame({4, 30});
    frame.Fill(0x1234);
    PictureGeometry g = GeometryFor(frame.Shape(), true, 2);
    std::vector<uint32_t> counts(65536);
    CountColours(frame, g, counts.data());
    EXPECT_EQ(counts[0x1234], 4u * 6u);
    CountColours(frame, g, counts.data());
    EXPECT_EQ(counts[0x1234], 2u * 4u * 6u);
}

TEST(Yuv, Bt709LimitedRangeAnchors) {
    const struct {
        uint8_t r, g, b;
        Yuv yuv;
    } cases[] = {
        {0, 0, 0, {16, 128, 128}},   {255, 255, 255, {235, 128, 128}},
        {255, 0, 0, {63, 102, 240}}, {0, 255, 0, {173, 42, 26}},
        {0, 0, 255, {32, 240, 118}}, {128, 128, 128, {126, 128, 128}},
    };
    for (const auto& c : cases) {
        const Yuv got = Bt709Limited(c.r, c.g, c.b);
        EXPECT_EQ(got.y, c.yuv.y) << int(c.r) << "," << int(c.g) << "," << int(c.b);
        EXPECT_EQ(got.u, c.yuv.u) << int(c.r) << "," << int(c.g) << "," << int(c.b);
        EXPECT_EQ(got.v, c.yuv.v) << int(c.r) << "," << int(c.g) << "," << int(c.b);
    }
}

// DrawYuv420 against a plain reading: luma per output pixel, chroma the
// rounded mean of the four pixels' exact values.
TEST(Yuv, PlanesMatchAPlainReadingAtEveryScale) {
    const FrameBuffer frame = PatternScreen({9, 31, DisplayLayout::BottomUp});
    for (const int scale : {1, 2, 3, 4}) {
        PictureGeometry g = GeometryFor(frame.Shape(), false, scale);
        PadToEvenSides(g);
        std::vector<uint8_t> y(static_cast<size_t>(g.width) * g.height);
        std::vector<uint8_t> u(y.size() / 4), v(y.size() / 4);
        uint8_t* const planes[3] = {y.data(), u.data(), v.data()};
        const int strides[3] = {g.width, g.width / 2, g.width / 2};
        DrawYuv420(frame, g, planes, strides);
        auto rgbAt = [&](int x, int yy) {
            const bool inside = x < g.cropWidth * scale && yy < g.cropHeight * scale;
            return inside ? WidenedRgb(frame.Pixel(x / scale, yy / scale)) : 0u;
        };
        for (int yy = 0; yy < g.height; ++yy)
            for (int x = 0; x < g.width; ++x) {
                const uint32_t rgb = rgbAt(x, yy);
                const Yuv want = Bt709Limited(rgb & 0xFF, rgb >> 8 & 0xFF, rgb >> 16);
                ASSERT_EQ(y[static_cast<size_t>(yy) * g.width + x], want.y) << scale;
            }
        for (int cy = 0; cy < g.height / 2; ++cy)
            for (int cx = 0; cx < g.width / 2; ++cx) {
                const size_t at = static_cast<size_t>(cy) * (g.width / 2) + cx;
                int uSum = 0, vSum = 0;
                bool same = true;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) {
                        const uint32_t rgb = rgbAt(2 * cx + dx, 2 * cy + dy);
                        const Yuv one = Bt709Limited(rgb & 0xFF, rgb >> 8 & 0xFF, rgb >> 16);
                        uSum += one.u;
                        vSum += one.v;
                        same &= rgb == rgbAt(2 * cx, 2 * cy);
                    }
                if (same) {  // one colour: exactly its chroma
                    const uint32_t rgb = rgbAt(2 * cx, 2 * cy);
                    const Yuv want = Bt709Limited(rgb & 0xFF, rgb >> 8 & 0xFF, rgb >> 16);
                    ASSERT_EQ(u[at], want.u) << scale;
                    ASSERT_EQ(v[at], want.v) << scale;
                } else {  // the mean of four, within rounding of the rounded values' mean
                    ASSERT_NEAR(u[at], uSum / 4.0, 1.0) << scale;
                    ASSERT_NEAR(v[at], vSum / 4.0, 1.0) << scale;
                }
            }
    }
}

// A true-colour frame of 2 x 2 blocks, one colour each but for a few mixed
// blocks, in a frame wider than its pitch's pixels.
struct XrgbPattern {
    std::vector<uint32_t> pixels;
    HdFrame frame;
    XrgbPattern(int width, int height) {
        const int stride = width + 3;  // pitch past the width
        pixels.assign(static_cast<size_t>(stride) * height, 0xFF000000u);
        frame = {pixels.data(), width, height, static_cast<ptrdiff_t>(stride) * 4};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint32_t c = (static_cast<uint32_t>(x / 2) * 2654435761u) ^
                             (static_cast<uint32_t>(y / 2) * 40503u);
                if ((x / 2 + y / 2) % 5 == 0) c ^= static_cast<uint32_t>(x * 77 + y * 131);
                pixels[static_cast<size_t>(y) * stride + x] = c & 0x00FFFFFFu;
            }
    }
};

// DrawYuv420FromXrgb and DrawRgbFromXrgb against a plain reading, with odd
// sides padded black; the top byte of each pixel is ignored.
TEST(Yuv, TrueColourPlanesMatchAPlainReading) {
    for (const auto& size : {std::pair{8, 6}, std::pair{9, 7}, std::pair{33, 5}}) {
        // Plain names, not a structured binding: clang 14's lambdas cannot capture one.
        const int w = size.first, h = size.second;
        const XrgbPattern pattern(w, h);
        PictureGeometry g = TrueColourGeometry(w, h);
        EXPECT_EQ(PadToEvenSides(g), w % 2 != 0 || h % 2 != 0);
        std::vector<uint8_t> y(static_cast<size_t>(g.width) * g.height);
        std::vector<uint8_t> u(y.size() / 4), v(y.size() / 4);
        uint8_t* const planes[3] = {y.data(), u.data(), v.data()};
        const int strides[3] = {g.width, g.width / 2, g.width / 2};
        DrawYuv420FromXrgb(pattern.frame, g, planes, strides);
        std::vector<uint8_t> rgb(static_cast<size_t>(g.width) * g.height * 3, 0xEE);
        DrawRgbFromXrgb(pattern.frame, g, rgb.data(), g.width * 3);
        auto at = [&](int x, int yy) {
            const bool inside = x < w && yy < h;
            return inside ? pattern.pixels[static_cast<size_t>(yy) * (w + 3) + x] & 0xFFFFFFu : 0u;
        };
        auto yuvOf = [](uint32_t c) {
            return Bt709Limited(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF);
        };
        for (int yy = 0; yy < g.height; ++yy)
            for (int x = 0; x < g.width; ++x) {
                const uint32_t c = at(x, yy);
                const size_t i = static_cast<size_t>(yy) * g.width + x;
                ASSERT_EQ(y[i], yuvOf(c).y) << w << "x" << h << " at " << x << "," << yy;
                ASSERT_EQ(rgb[3 * i], c >> 16 & 0xFF);
                ASSERT_EQ(rgb[3 * i + 1], c >> 8 & 0xFF);
                ASSERT_EQ(rgb[3 * i + 2], c & 0xFF);
            }
        for (int cy = 0; cy < g.height / 2; ++cy)
            for (int cx = 0; cx < g.width / 2; ++cx) {
                const size_t i = static_cast<size_t>(cy) * (g.width / 2) + cx;
                double uSum = 0, vSum = 0;
                bool same = true;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) {
                        const Yuv one = yuvOf(at(2 * cx + dx, 2 * cy + dy));
                        uSum += one.u;
                        vSum += one.v;
                        same &= at(2 * cx + dx, 2 * cy + dy) == at(2 * cx, 2 * cy);
                    }
                if (same) {
                    ASSERT_EQ(u[i], yuvOf(at(2 * cx, 2 * cy)).u);
                    ASSERT_EQ(v[i], yuvOf(at(2 * cx, 2 * cy)).v);
                } else {
                    ASSERT_NEAR(u[i], uSum / 4, 1.0);
                    ASSERT_NEAR(v[i], vSum / 4, 1.0);
                }
            }
    }
}

}  // namespace
