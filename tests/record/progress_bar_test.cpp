// progress_bar_test.cpp -- the progress line: bar, count, percent, rate and time left
#include <gtest/gtest.h>

#include "tools/record/progress_bar.h"

namespace {

TEST(ProgressLine, ShowsTheBarCountRateAndTimeLeft) {
    const struct {
        int64_t done, total;
        double seconds;
        const char* line;
    } cases[] = {
        {0, 100, 0, "[..........]  0/100 frames    0%"},
        {25, 100, 0.5, "[##........]  25/100 frames   25%  50 fps  0:02 left"},
        {4230, 4230, 3.0, "[##########]  4230/4230 frames  100%  1410 fps  0:00 left"},
        {60, 7200, 1.0, "[..........]  60/7200 frames    0%  60 fps  1:59 left"},
        {0, 0, 1.0, "[##########]  0/0 frames  100%"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgressLine(c.done, c.total, c.seconds, 10), c.line) << c.done;
}

TEST(ProgressBar, DrawsNothingOffATerminal) {
    char buffer[256] = {};
    std::FILE* out = fmemopen(buffer, sizeof buffer, "w");
    {
        ProgressBar bar(out, false, "recording", 10);
        bar.Update(5);
        bar.Update(10);
    }
    std::fclose(out);
    EXPECT_STREQ(buffer, "");
}

}  // namespace
