// view_geometry_test.cpp -- the view every program derives from its display, or why there is none
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shared/view_geometry.h"

namespace {

TEST(ViewOnDisplayTest, TheViewOrWhyThereIsNone) {
    struct Case {
        uint32_t width, height;
        bool holds;
        int viewWidth, bottomRow;
    };
    const Case cases[] = {
        {0, 320, false, 0, 0},     {240, 0, false, 0, 0},      {1, 24, false, 0, 0},
        {1, 25, true, 1, 0},       {240, 320, true, 240, 295}, {320, 240, true, 320, 215},
        {400, 400, true, 320, 295},  // at most 320 x 320 of a larger display
    };
    std::vector<uint16_t> pixels(400 * 400);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        GXDisplayProperties p;
        p.cxWidth = c.width;
        p.cyHeight = c.height;
        p.cbxPitch = 2;
        p.cbyPitch = static_cast<int32_t>(2 * c.width);
        p.cBPP = 16;
        std::string why;
        const std::optional<ViewGeometry> view = ViewOnDisplay(p, pixels.data(), why);
        ASSERT_EQ(view.has_value(), c.holds);
        if (!c.holds) {
            EXPECT_NE(why.find(std::to_string(c.width) + " x " + std::to_string(c.height)),
                      std::string::npos)
                << why;
            EXPECT_NE(why.find("too small for a view"), std::string::npos) << why;
            continue;
        }
        EXPECT_EQ(view->width, c.viewWidth);
        EXPECT_EQ(view->bottomRow, c.bottomRow);
        EXPECT_EQ(view->origin, pixels.data() + 24 * c.width) << "24 rows below the top";
    }
}

}  // namespace
