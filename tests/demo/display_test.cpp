// display_test.cpp -- display setup: view geometry from the display's size and pitches
#include <gtest/gtest.h>

#include "app/demo_state.h"
#include "app/display.h"
#include "platform/headless/headless_platform.h"

namespace {

// Opens the view on a headless display of `shape`, as the demo opens it.
bool OpenOn(HeadlessPlatform& headless) {
    platform = &headless;
    return OpenView();
}

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
            HeadlessPlatform headless(HeadlessOptions{shape});
            ASSERT_TRUE(OpenOn(headless));
            HeadlessScreen& display = *headless.OpenedScreen();
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
        HeadlessPlatform headless(HeadlessOptions{DisplayShape{240, 320, c.layout}});
        ASSERT_TRUE(OpenOn(headless));
        EXPECT_EQ(viewGeometry.properties.cbxPitch, c.xPitch) << LayoutName(c.layout);
        EXPECT_EQ(viewGeometry.properties.cbyPitch, c.yPitch) << LayoutName(c.layout);
    }
}

TEST(OpenView, FailuresShowTheDisplayMessage) {
    const HeadlessOptions cases[] = {
        {DisplayShape{240, 24}},  // too short for a view
        {DisplayShape{100, 1}},
        {std::nullopt},  // no display at all
    };
    for (const HeadlessOptions& options : cases) {
        HeadlessPlatform headless(options);
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(OpenOn(headless));
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "GXOpenDisplay failed\n");
        EXPECT_EQ(headless.ErrorBoxes(), std::vector<std::string>{"GXOpenDisplay failed"});
    }
}

}  // namespace
