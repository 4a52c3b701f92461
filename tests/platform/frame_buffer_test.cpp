// frame_buffer_test.cpp -- display shapes as the settings give them, and frame buffers in the
// layouts real displays use
#include <gtest/gtest.h>

#include <string>

#include "platform/frame_buffer.h"

namespace {

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

TEST(FrameBuffer, EveryLayoutShowsTheSameScreen) {
    // A pixel written through the pitches at (x, y) is screen pixel (x, y),
    // whatever order the memory holds the screen in.
    for (DisplayLayout layout :
         {DisplayLayout::Normal, DisplayLayout::BottomUp, DisplayLayout::Rot90,
          DisplayLayout::Rot180, DisplayLayout::Rot270}) {
        FrameBuffer frame(DisplayShape{5, 3, layout});
        const GXDisplayProperties p = FramePropertiesOf(frame);
        EXPECT_EQ(p.cxWidth, 5u);
        EXPECT_EQ(p.cyHeight, 3u);
        EXPECT_EQ(p.cBPP, 16);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                frame.TopLeft()[x * (p.cbxPitch / 2) + y * (p.cbyPitch / 2)] =
                    static_cast<uint16_t>(10 * y + x);
        const std::vector<uint16_t> screen = frame.ScreenPixels();
        for (int i = 0; i < 15; ++i)
            EXPECT_EQ(screen[i], (i / 5) * 10 + i % 5) << LayoutName(layout) << " pixel " << i;
    }
}

}  // namespace
