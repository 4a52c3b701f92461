// windowed_options_test.cpp -- FLYOVER_DISPLAY, FLYOVER_SCALE and the automatic window
// scale
#include <gtest/gtest.h>

#include "platform/windowed_options.h"

namespace {

TEST(WindowedDisplayOptionsTest, ReadsTheVariables) {
    struct Case {
        const char* display;
        const char* scale;
        int width, height;
        DisplayLayout layout;
        int expectedScale;
    };
    const Case cases[] = {
        {nullptr, nullptr, 240, 320, DisplayLayout::Normal, 0},
        {"", "", 240, 320, DisplayLayout::Normal, 0},
        {"480x640", nullptr, 480, 640, DisplayLayout::Normal, 0},
        {"320x240:rot90", "3", 320, 240, DisplayLayout::Rot90, 3},
        {"240x320:bottom-up", "16", 240, 320, DisplayLayout::BottomUp, 16},
        {nullptr, "1", 240, 320, DisplayLayout::Normal, 1},
    };
    for (const Case& c : cases) {
        WindowedDisplayOptions options;
        std::string error;
        ASSERT_TRUE(WindowedDisplayOptionsFrom(c.display, c.scale, options, error)) << error;
        EXPECT_EQ(options.shape.width, c.width);
        EXPECT_EQ(options.shape.height, c.height);
        EXPECT_EQ(options.shape.layout, c.layout);
        EXPECT_EQ(options.scale, c.expectedScale);
    }
}

TEST(WindowedDisplayOptionsTest, BadValuesNameTheirVariable) {
    struct Case {
        const char* display;
        const char* scale;
        const char* errorStart;
    };
    const Case cases[] = {
        {"240", nullptr, "FLYOVER_DISPLAY: "},
        {"0x320", nullptr, "FLYOVER_DISPLAY: "},
        {"240x320:sideways", nullptr, "FLYOVER_DISPLAY: "},
        {nullptr, "0", "FLYOVER_SCALE: "},
        {nullptr, "17", "FLYOVER_SCALE: "},
        {nullptr, "-2", "FLYOVER_SCALE: "},
        {nullptr, "2x", "FLYOVER_SCALE: "},
        {nullptr, "100", "FLYOVER_SCALE: "},
        {nullptr, " 2", "FLYOVER_SCALE: "},
    };
    for (const Case& c : cases) {
        WindowedDisplayOptions options;
        options.scale = 5;
        std::string error;
        EXPECT_FALSE(WindowedDisplayOptionsFrom(c.display, c.scale, options, error))
            << (c.display ? c.display : "") << " " << (c.scale ? c.scale : "");
        EXPECT_EQ(error.rfind(c.errorStart, 0), 0u) << error;
        EXPECT_EQ(options.scale, 5);  // untouched on failure
    }
}

TEST(WindowedDisplayOptionsTest, ScaleIsTheLargestThatFits) {
    struct Case {
        int screenW, screenH, usableW, usableH, expected;
    };
    const Case cases[] = {
        {240, 320, 1024, 768, 2},   // 640 + 64 <= 768; 960 + 64 > 768
        {240, 320, 1920, 1040, 3},  // 960 + 64 <= 1040
        {240, 320, 3840, 2160, 6},
        {240, 320, 800, 600, 1},  // even 1 does not fit: never below 1
        {240, 320, 200, 200, 1},
        {480, 640, 1920, 1080, 1},
        {320, 240, 1920, 1080, 4},  // 1280 wide; 960 + 64 tall
        {1, 1, 100000, 100000, kMaxWindowScale},
        {0, 320, 1920, 1080, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseWindowScale(c.screenW, c.screenH, c.usableW, c.usableH), c.expected)
            << c.screenW << "x" << c.screenH << " on " << c.usableW << "x" << c.usableH;
}

// FLYOVER_VIEW: faithful by default, hd asks for a true-colour window.
TEST(WindowedDisplayOptionsTest, TheViewVariableChoosesTrueColour) {
    const struct {
        const char* value;
        bool ok, trueColour;
    } cases[] = {{nullptr, true, false}, {"", true, false},    {"faithful", true, false},
                 {"hd", true, true},     {"HD", false, false}, {"4k", false, false}};
    for (const auto& c : cases) {
        WindowedDisplayOptions options;
        std::string error;
        EXPECT_EQ(WindowedViewFrom(c.value, options, error), c.ok) << (c.value ? c.value : "unset");
        EXPECT_EQ(options.trueColour, c.trueColour) << (c.value ? c.value : "unset");
        if (!c.ok) {
            EXPECT_NE(error.find("FLYOVER_VIEW"), std::string::npos) << error;
        }
    }
}

}  // namespace
