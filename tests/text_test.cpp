// text_test.cpp -- messages formatted at any length; control characters in them shown escaped,
// everything else kept
#include <gtest/gtest.h>

#include <string>

#include "shared/text.h"

namespace {

TEST(EscapeControls, ShowsControlsAndStrayBytesKeepsText) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"Keys2.txt", "Keys2.txt"},
        {"", ""},
        {"a\x1b[31mred", "a\\x1b[31mred"},           // a colour change
        {"\x1b]0;title\x07", "\\x1b]0;title\\x07"},  // a window title
        {std::string("nul\0here", 8), "nul\\x00here"},
        {"tab\tnew\nline\r", "tab\\x09new\\x0aline\\x0d"},
        {"del\x7f", "del\\x7f"},
        {"caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x8c\x8b", "caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x8c\x8b"},
        {"csi \xc2\x9b"
         "31m",
         "csi \\xc2\\x9b31m"},                  // U+009B, a C1 control
        {"nbsp\xc2\xa0ok", "nbsp\xc2\xa0ok"},   // U+00A0 is no control
        {"latin1 caf\xe9", "latin1 caf\\xe9"},  // not UTF-8
        {"cut \xe6\x97", "cut \\xe6\\x97"},     // a sequence cut short
        {"overlong \xc0\xaf", "overlong \\xc0\\xaf"},
        {"surrogate \xed\xa0\x80", "surrogate \\xed\\xa0\\x80"},
        {"beyond \xf4\x90\x80\x80", "beyond \\xf4\\x90\\x80\\x80"},
        {"back\\slash", "back\\slash"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapeControls(c.in), c.out) << c.out;
}

TEST(Format, WritesWhatPrintfWritesAtAnyLength) {
    EXPECT_EQ(Format("%d x %d, %.2f s, \"%s\"", 256, -3, 1.005, "sky.BMP"),
              "256 x -3, 1.00 s, \"sky.BMP\"");
    EXPECT_EQ(Format("%s", ""), "");
    // Around the first buffer's size, and names as long as a key file may
    // hold (4096 bytes): nothing is cut.
    for (const size_t length : {254u, 255u, 256u, 257u, 4096u}) {
        const std::string name(length, 'n');
        EXPECT_EQ(Format("map \"%s\" end", name.c_str()), "map \"" + name + "\" end") << length;
    }
}

}  // namespace
