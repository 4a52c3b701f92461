// terrain_view_test.cpp -- the column renderer on small hand-made scenes
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/frame_buffer.h"
#include "render/tables.h"
#include "render/terrain_view.h"
#include "tests/support/scene_buffers.h"

namespace {

constexpr int32_t Cells(double c) {
    return static_cast<int32_t>(c * 65536);
}
constexpr int32_t Altitude(int heightByte) {
    return heightByte << 17;
}

// A scene held in memory: maps, sky and a shade table whose entries tell
// which palette index and fog level were used.
struct MemoryScene : SceneBuffers {
    MemoryScene() {
        std::fill(colourMap.begin(), colourMap.end(), 7);
        // Sky pixel = its row, shown as row + 0x4000, so a view pixel names
        // the sky row it came from; shade entries read 0x8000 | e * 32 + L.
        for (int row = 0; row < 256; ++row)
            for (int x = 0; x < 512; ++x)
                sky[row * 512 + x] = static_cast<uint8_t>(row);
        for (int i = 0; i < 256; ++i)
            skyPalette[i] = static_cast<uint16_t>(0x4000 + i);
        for (int i = 0; i < 256 * 32; ++i)
            shade[i] = 0x8000u | static_cast<uint32_t>(i);
    }
    void FillHeights(uint8_t (*height)(int x, int y)) {
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                heightMap[y * 256 + x] = height(x, y);
    }
};

bool IsSky(uint16_t p) {
    return (p & 0xFF00) == 0x4000;
}
bool IsGround(uint16_t p) {
    return (p & 0x8000) != 0 && p != kHazeColour;
}
int FogLevel(uint16_t p) {
    return p & 31;
}

// A display in memory with the view the demo derives on it, and every pixel
// set to `fill` so that unwritten pixels show.
class TerrainViewTest : public ::testing::Test {
protected:
    void SetUp() override { Open(DisplayShape{}); }
    void Open(const DisplayShape& shape, uint16_t fill = 0x1234) {
        frame_ = std::make_unique<FrameBuffer>(shape);
        ASSERT_TRUE(DisplayHoldsAView(FramePropertiesOf(*frame_)));
        view_ = ViewGeometryFor(FramePropertiesOf(*frame_), frame_->TopLeft());
        frame_->Fill(fill);
    }
    void Render(const CameraState& camera) { RenderTerrain(view_, scene_.Sources(), camera); }
    // View pixel (col, row): display pixel (col, row + 24).
    uint16_t At(int col, int row) const { return frame_->Pixel(col, row + 24); }
    std::vector<uint16_t> Column(int col) const {
        std::vector<uint16_t> out;
        for (int row = 0; row <= view_.bottomRow; ++row)
            out.push_back(At(col, row));
        return out;
    }

    MemoryScene scene_;
    std::unique_ptr<FrameBuffer> frame_;
    ViewGeometry view_;
};

// A high camera looking up over flat ground at 0: no ray meets the ground.
CameraState SkyOnlyCamera(int horizon) {
    return CameraState{Cells(128.5), Cells(128.5), Altitude(200), 0, horizon};
}

TEST_F(TerrainViewTest, WorkedExampleBandOf103) {
    // Height 0xB40000 and horizon 80 give 80 + 43 - 20 = 103 sky rows over
    // flat ground at 0: sky rows first, then haze down to the ground.
    const CameraState camera{Cells(128.5), Cells(128.5), 0xB40000, 0, 80};
    const int band = 103;
    Render(camera);
    const auto column = Column(120);
    for (int row = 0; row < band; ++row)
        EXPECT_EQ(column[row], 0x4000 + (255 - band + row)) << "row " << row;
    EXPECT_EQ(column[band - 1], 0x4000 + 254) << "picture row 254 falls on view row band - 1";
    const auto firstGround = std::find_if(column.begin(), column.end(), IsGround) - column.begin();
    ASSERT_GT(firstGround, band);
    for (int row = band; row < firstGround; ++row)
        EXPECT_EQ(column[row], kHazeColour) << row;
    for (int row = static_cast<int>(firstGround); row <= view_.bottomRow; ++row)
        EXPECT_TRUE(IsGround(column[row])) << row;
}

TEST_F(TerrainViewTest, SkyBandRowsForRisingRay) {
    // A horizon row below the view's bottom makes the ray rise, so it can
    // never meet a map at 0 from a positive height.
    const CameraState camera = SkyOnlyCamera(300);
    Render(camera);
    const int band = std::min(300 + ((Altitude(200) - 0x60000) >> 18) - 20, view_.bottomRow);
    for (int col : {0, 57, 120, 239}) {
        const auto column = Column(col);
        for (int row = 0; row <= view_.bottomRow; ++row) {
            if (row < band) {
                const int skyRow = std::max(0, 255 - band + row);
                EXPECT_EQ(column[row], 0x4000 + skyRow) << col << "," << row;
            } else {
                EXPECT_EQ(column[row], kHazeColour) << col << "," << row;
            }
        }
    }
}

TEST_F(TerrainViewTest, BandOfZeroLeavesOnlyHaze) {
    // Low camera, horizon at the top: band = 0 + ((0x60000 - 0x60000) >> 18) - 20 < 0.
    CameraState camera{Cells(10), Cells(10), 0x60000, 0, 0};
    scene_.FillHeights([](int, int) -> uint8_t { return 0; });
    Render(camera);
    for (int col : {0, 120, 239}) {
        const auto column = Column(col);
        EXPECT_FALSE(std::any_of(column.begin(), column.end(), IsSky)) << col;
        // Whatever the ground does not cover is white.
        for (uint16_t p : column)
            EXPECT_TRUE(p == kHazeColour || IsGround(p)) << std::hex << p;
    }
}

TEST_F(TerrainViewTest, BandCoveringAllOpenRowsLeavesNoHaze) {
    // Flat ground at 100 seen from just above it: the ground reaches up to
    // near the horizon row 200, while the band is 200 + 53 - 20 = 233 rows.
    CameraState camera{Cells(128.5), Cells(128.5), Altitude(110), 0, 200};
    scene_.FillHeights([](int, int) -> uint8_t { return 100; });
    Render(camera);
    const auto column = Column(120);
    const auto firstGround = std::find_if(column.begin(), column.end(), IsGround) - column.begin();
    ASSERT_LT(firstGround, 233) << "the band must reach the ground for this case";
    for (int row = 0; row < firstGround; ++row) {
        EXPECT_EQ(column[row], 0x4000 + (255 - 233 + row)) << "row " << row;
    }
    EXPECT_FALSE(
        std::any_of(column.begin(), column.end(), [](uint16_t p) { return p == kHazeColour; }));
}

TEST_F(TerrainViewTest, GroundFillingEveryRowWritesNothingAbove) {
    // A camera below a wall of 255: every column is all ground, and the 24
    // display rows above the view keep their fill.
    CameraState camera{Cells(3), Cells(3), -Altitude(100), 0, 100};
    scene_.FillHeights([](int, int) -> uint8_t { return 255; });
    Render(camera);
    for (int col = 0; col < view_.width; ++col) {
        for (int row = 0; row <= view_.bottomRow; ++row)
            ASSERT_TRUE(IsGround(At(col, row))) << col << "," << row;
        for (int displayRow = 0; displayRow < 24; ++displayRow)
            ASSERT_EQ(frame_->Pixel(col, displayRow), 0x1234);
    }
    // The nearest cell is hit at the first step: fog level 0, colour index 7.
    EXPECT_EQ(At(120, view_.bottomRow), 0x8000 | (7 * 32 + 0));
}

TEST_F(TerrainViewTest, FogLevelFollowsTheMarchStep) {
    // A camera at cell 128.5 facing +x (heading 0). The middle column steps
    // 65535/65536 cells a step: a wall at cell 129 is met at step 0 (level 0),
    // a wall at cells 121..127 (one turn of the map further) at step 248 (31).
    struct Case {
        int wallFrom, wallTo;
        int level;
    } cases[] = {{129, 129, 0}, {121, 127, 31}, {137, 137, 1}};
    for (const auto& c : cases) {
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                scene_.heightMap[y * 256 + x] = (x >= c.wallFrom && x <= c.wallTo) ? 255 : 0;
        const CameraState camera{Cells(128.5), Cells(128.5), Altitude(100), 0, view_.bottomRow - 1};
        Render(camera);
        const uint16_t bottom = At(120, view_.bottomRow);
        ASSERT_TRUE(IsGround(bottom)) << c.wallFrom;
        EXPECT_EQ(FogLevel(bottom), c.level) << "wall at " << c.wallFrom;
    }
}

// Views must not depend on how the camera's angle and position are written.
TEST_F(TerrainViewTest, HeadingsAFullTurnApartGiveTheSameView) {
    scene_.FillHeights([](int x, int y) -> uint8_t { return uint8_t((x * 7 + y * 3) & 127); });
    const CameraState base{Cells(40.25), Cells(90.75), Altitude(120), 700, 90};
    Render(base);
    const auto expected = frame_->ScreenPixels();
    for (int32_t turn : {4096, -4096, 8192, 4096 * 1000}) {
        CameraState camera = base;
        camera.heading += turn;
        Render(camera);
        EXPECT_EQ(frame_->ScreenPixels(), expected) << "heading + " << turn;
    }
}

TEST_F(TerrainViewTest, PositionsBeyondTheMapWrap) {
    scene_.FillHeights([](int x, int y) -> uint8_t { return uint8_t((x * 5) ^ (y * 3)); });
    const CameraState base{Cells(12.5), Cells(250.25), Altitude(180), 3000, 120};
    Render(base);
    const auto expected = frame_->ScreenPixels();
    const int32_t turn = 16777216;  // 256 cells
    const struct {
        int32_t dx, dy;
    } shifts[] = {{turn, 0}, {0, turn}, {-turn, -turn}, {turn * 100, -turn * 7}};
    for (const auto& s : shifts) {
        CameraState camera = base;
        camera.x += s.dx;
        camera.y += s.dy;
        Render(camera);
        EXPECT_EQ(frame_->ScreenPixels(), expected) << s.dx << "," << s.dy;
    }
}

TEST_F(TerrainViewTest, EdgeColumnsCastRaysAtTheFieldOfViewEdges) {
    // With a sky that varies by row only, column 0 at heading h must equal the
    // middle column (120) at heading h + 341, and column 239 the middle column
    // at h - 338.
    scene_.FillHeights([](int x, int y) -> uint8_t { return uint8_t((x * 13 + y * 29) & 255); });
    const CameraState base{Cells(77.3), Cells(140.6), Altitude(160), 1234, 110};
    Render(base);
    const auto left = Column(0);
    const auto right = Column(239);
    CameraState turned = base;
    turned.heading = base.heading + 341;
    Render(turned);
    EXPECT_EQ(Column(120), left);
    turned.heading = base.heading - 338;
    Render(turned);
    EXPECT_EQ(Column(120), right);
}

TEST_F(TerrainViewTest, SkyTurnsAtHalfTheHeadingRate) {
    // Sky pixels varying by column: the column shown at col is
    // ((-heading >> 1) + col) & 511.
    for (int row = 0; row < 256; ++row)
        for (int x = 0; x < 512; ++x)
            scene_.sky[row * 512 + x] = static_cast<uint8_t>(x & 255);
    const CameraState camera{Cells(128.5), Cells(128.5), Altitude(200), 1001, 300};
    Render(camera);
    for (int col : {0, 1, 100, 239}) {
        const int sx = (((-1001) >> 1) + col) & 511;
        EXPECT_EQ(At(col, 0), 0x4000 + (sx & 255)) << col;
    }
}

TEST_F(TerrainViewTest, TallBandRepeatsTheSkysFirstRow) {
    // A 320-row display gives bottomRow 295; a band of 295 addresses sky rows
    // from 255 - 295 = -40 on: those show the picture's row 0.
    CameraState camera{Cells(128.5), Cells(128.5), Altitude(255), 0, 2000};
    Render(camera);
    for (int row = 0; row < 40; ++row)
        EXPECT_EQ(At(5, row), 0x4000 + 0) << row;
    EXPECT_EQ(At(5, 40), 0x4000 + 0);
    EXPECT_EQ(At(5, 41), 0x4000 + 1);
}

TEST_F(TerrainViewTest, EveryLayoutDrawsTheSameScreen) {
    scene_.FillHeights([](int x, int y) -> uint8_t { return uint8_t((x * 3 + y * 11) & 200); });
    const CameraState camera{Cells(100.1), Cells(20.9), Altitude(150), 2500, 100};
    for (const auto& size :
         {DisplayShape{240, 320}, DisplayShape{200, 100}, DisplayShape{480, 640}}) {
        std::vector<uint16_t> expected;
        for (DisplayLayout layout :
             {DisplayLayout::Normal, DisplayLayout::BottomUp, DisplayLayout::Rot90,
              DisplayLayout::Rot180, DisplayLayout::Rot270}) {
            DisplayShape shape = size;
            shape.layout = layout;
            Open(shape, 0);
            Render(camera);
            const auto screen = frame_->ScreenPixels();
            if (expected.empty())
                expected = screen;
            else
                EXPECT_EQ(screen, expected)
                    << size.width << "x" << size.height << ":" << LayoutName(layout);
        }
    }
}

TEST_F(TerrainViewTest, WritesEveryViewPixelAndNothingElse) {
    scene_.FillHeights([](int x, int y) -> uint8_t { return uint8_t((x ^ y) * 2); });
    const CameraState camera{Cells(64.5), Cells(64.5), Altitude(140), 512, 120};
    // A display larger than the view: the view is 320 x 320 at most.
    const DisplayShape shape{400, 360};
    std::vector<std::vector<uint16_t>> screens;
    for (uint16_t fill : {uint16_t{0x0001}, uint16_t{0x0002}}) {
        Open(shape, fill);
        Render(camera);
        screens.push_back(frame_->ScreenPixels());
    }
    for (int y = 0; y < shape.height; ++y) {
        for (int x = 0; x < shape.width; ++x) {
            const size_t i = static_cast<size_t>(y) * shape.width + x;
            const bool inView = x < 320 && y >= 24 && y < 320;
            if (inView)
                ASSERT_EQ(screens[0][i], screens[1][i])
                    << "view pixel left unwritten at " << x << "," << y;
            else
                ASSERT_EQ(screens[0][i], 0x0001)
                    << "pixel outside the view written at " << x << "," << y;
        }
    }
}

TEST_F(TerrainViewTest, ExtremeCameraValuesWrapWithoutFault) {
    // The arithmetic wraps at 32 bits; under the sanitizers this must stay
    // free of undefined behaviour, and every view pixel is still written once.
    scene_.FillHeights([](int x, int y) -> uint8_t { return uint8_t(x + y); });
    const int32_t lo = INT32_MIN, hi = INT32_MAX;
    const CameraState cameras[] = {
        {lo, lo, lo, lo, lo}, {hi, hi, hi, hi, hi}, {0, 0, hi, 0, hi},     {0, 0, lo, 0, lo},
        {hi, lo, 0, hi, 0},   {0, 0, 0, lo, hi},    {lo, hi, hi, lo, -hi},
    };
    for (const auto& camera : cameras) {
        Open(DisplayShape{}, 0x0001);
        Render(camera);
        const auto a = frame_->ScreenPixels();
        Open(DisplayShape{}, 0x0002);
        Render(camera);
        const auto b = frame_->ScreenPixels();
        for (size_t i = 24 * 240; i < a.size(); ++i)
            ASSERT_EQ(a[i], b[i]) << i;
    }
}

TEST_F(TerrainViewTest, NarrowestView) {
    // The smallest display the view accepts: one column, 25 rows.
    Open(DisplayShape{1, 25}, 0x0001);
    EXPECT_EQ(view_.bottomRow, 0);
    Render(CameraState{Cells(1), Cells(1), Altitude(100), 0, 0});
    EXPECT_NE(At(0, 0), 0x0001);
}

}  // namespace
