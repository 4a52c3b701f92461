// bench_support_test.cpp -- the fill floors write every view pixel once and nothing else, on
// every display layout
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "bench/support/bench_support.h"
#include "platform/frame_buffer.h"

namespace {

constexpr uint16_t kUntouched = 0xFFFF;
constexpr uint16_t kValue = 0x1000;  // what the fills write, plus a pixel's place in its line

TEST(FillFloorTest, EveryViewPixelOnceAndNothingElse) {
    struct Fill {
        const char* name;
        void (*fill)(const ViewGeometry&, uint16_t);
    };
    const Fill fills[] = {{"column order", FillFloor}, {"memory order", FillFloorMemoryOrder}};
    // Sizes whose lines are not a whole number of vectors, and the handheld's.
    const char* shapes[] = {"240x320", "13x40", "9x25", "1x30"};
    const DisplayLayout layouts[] = {DisplayLayout::Normal, DisplayLayout::BottomUp,
                                     DisplayLayout::Rot90, DisplayLayout::Rot180,
                                     DisplayLayout::Rot270};
    for (const Fill& fill : fills) {
        for (const char* text : shapes) {
            for (DisplayLayout layout : layouts) {
                DisplayShape shape;
                std::string error;
                ASSERT_TRUE(ParseDisplayShape(text, shape, error)) << error;
                shape.layout = layout;
                SCOPED_TRACE(std::string(fill.name) + ", " + text + ":" + LayoutName(layout));
                FrameBuffer frame(shape);
                frame.Fill(kUntouched);
                const ViewGeometry view =
                    ViewGeometryFor(FramePropertiesOf(frame), frame.TopLeft());
                fill.fill(view, kValue);

                // The view is the display below its 24-row margin.
                int written = 0;
                for (uint16_t pixel : frame.Memory())
                    written += pixel != kUntouched;
                EXPECT_EQ(written, view.width * (view.bottomRow + 1));
                for (int y = 0; y < shape.height; ++y)
                    for (int x = 0; x < shape.width; ++x)
                        ASSERT_EQ(frame.Pixel(x, y) != kUntouched, y >= 24 && x < view.width)
                            << "(" << x << ", " << y << ")";
            }
        }
    }
}

}  // namespace
