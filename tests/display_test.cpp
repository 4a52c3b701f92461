// display_test.cpp -- display setup: view geometry from the display's size and pitches
#include <gtest/gtest.h>

#include "app/demo_state.h"
#include "app/display.h"
#include "platform/gx_headless.h"

namespace {

struct GeometryCase {
    DisplayShape shape;
    int width, height, bottomRow;
};

TEST(OpenView, DerivesTheViewFromTheDisplay) {
    const GeometryCase cases[] = {
        {{240, 320}, 240, 320, 295}, {{480, 640}, 320, 320, 295}, {{240, 200}, 240, 200, 175},
        {{320, 240}, 320, 240, 215}, {{321, 321}, 320, 320, 295}, {{1, 25}, 1, 25, 0},
    };
    for (const auto& c : cases) {
        for (DisplayLayout layout :
             {DisplayLayout::Normal, DisplayLayout::BottomUp, DisplayLayout::Rot90,
              DisplayLayout::Rot180, DisplayLayout::Rot270}) {
            DisplayShape shape = c.shape;
            shape.layout = layout;
            HeadlessDisplay& display = InstallHeadlessDisplay(shape);
            ASSERT_TRUE(OpenView());
            EXPECT_EQ(viewGeometry.width, c.width);
            EXPECT_EQ(viewGeometry.height, c.height);
            EXPECT_EQ(viewGeometry.bottomRow, c.bottomRow);
            // The origin is view row 0: display row 24, column 0, whatever the layout.
            const auto* topLeft = reinterpret_cast<const uint8_t*>(display.Frame().TopLeft());
            const auto* origin = reinterpret_cast<const uint8_t*>(viewGeometry.origin);
            EXPECT_EQ(origin - topLeft, 24 * viewGeometry.properties.cbyPitch)
                << LayoutName(layout);
            EXPECT_EQ(viewGeometry.properties.cxWidth, uint32_t(c.shape.width));
        }
    }
}

TEST(OpenView, ReportsPitchesLikeARealDevice) {
    const struct {
        DisplayLayout layout;
        int32_t xPitch, yPitch;
    } cases[] = {
        {DisplayLayout::Normal, 2, 480},  {DisplayLayout::BottomUp, 2, -480},
        {DisplayLayout::Rot90, 640, -2},  {DisplayLayout::Rot180, -2, -480},
        {DisplayLayout::Rot270, -640, 2},
    };
    for (const auto& c : cases) {
        InstallHeadlessDisplay(DisplayShape{240, 320, c.layout});
        ASSERT_TRUE(OpenView());
        EXPECT_EQ(viewGeometry.properties.cbxPitch, c.xPitch) << LayoutName(c.layout);
        EXPECT_EQ(viewGeometry.properties.cbyPitch, c.yPitch) << LayoutName(c.layout);
    }
}

TEST(OpenView, FailuresShowTheDisplayMessage) {
    for (const DisplayShape& shape : {DisplayShape{240, 24}, DisplayShape{100, 1}}) {
        InstallHeadlessDisplay(shape);
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(OpenView()) << shape.height;
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "GXOpenDisplay failed\n");
    }
    GXInstallDevice(nullptr);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(OpenView());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "GXOpenDisplay failed\n");
}

TEST(DisplayShape, ParsesSizesAndLayouts) {
    const struct {
        const char* text;
        bool ok;
        int width, height;
        DisplayLayout layout;
    } cases[] = {
        {"240x320", true, 240, 320, DisplayLayout::Normal},
        {"320X240:rot90", true, 320, 240, DisplayLayout::Rot90},
        {"1x1:bottom-up", true, 1, 1, DisplayLayout::BottomUp},
        {"4096x4096:rot270", true, 4096, 4096, DisplayLayout::Rot270},
        {"100x200:rot180", true, 100, 200, DisplayLayout::Rot180},
        {"0x320", false, 0, 0, DisplayLayout::Normal},
        {"4097x10", false, 0, 0, DisplayLayout::Normal},
        {"240x", false, 0, 0, DisplayLayout::Normal},
        {"x320", false, 0, 0, DisplayLayout::Normal},
        {"240*320", false, 0, 0, DisplayLayout::Normal},
        {"-240x320", false, 0, 0, DisplayLayout::Normal},
        {"240x320:sideways", false, 0, 0, DisplayLayout::Normal},
        {"240x320:", false, 0, 0, DisplayLayout::Normal},
        {"99999999999x1", false, 0, 0, DisplayLayout::Normal},
        {"", false, 0, 0, DisplayLayout::Normal},
    };
    for (const auto& c : cases) {
        DisplayShape shape;
        std::string error;
        EXPECT_EQ(ParseDisplayShape(c.text, shape, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(shape.width, c.width) << c.text;
            EXPECT_EQ(shape.height, c.height) << c.text;
            EXPECT_EQ(shape.layout, c.layout) << c.text;
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
}

}  // namespace
