// progress_bar_test.cpp -- the progress line: bar, count, percent, rate and time left, fitted to
// the terminal's width, with the time left held back until it means something
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "record/progress_bar.h"

namespace {

TEST(ProgressLine, ShowsTheBarCountRateAndTimeLeft) {
    const struct {
        int64_t done, total;
        double seconds;
        const char* line;
    } cases[] = {
        {0, 100, 0, "recording [..............................]  0/100 frames    0%"},
        {50, 100, 1.0,
         "recording [###############...............]  50/100 frames   50%  50 fps  0:01 left"},
        {4230, 4230, 3.0,
         "recording [##############################]  4230/4230 frames  100%  1410 fps  0:00 "
         "left"},
        {0, 0, 1.0, "recording [##############################]  0/0 frames  100%"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgressLine("recording", c.done, c.total, c.seconds, 200), c.line) << c.done;
}

TEST(ProgressLine, NeverFillsTheTerminalsWidthAndKeepsThePercentage) {
    const struct {
        int64_t done, total;
        double seconds;
        const char* percent;
    } progress[] = {
        {0, 4230, 0, "0%"},
        {1, 4230, 0.05, "0%"},
        {423, 4230, 1.2, "10%"},
        {2115, 4230, 2.0, "50%"},
        {4230, 4230, 3.3, "100%"},
        {123456, 1000000, 100, "12%"},
        {86399999, 86400000, 86399.0, "99%"},
    };
    for (const int columns : {20, 40, 60, 80, 200}) {
        for (const auto& p : progress) {
            for (const char* label : {"palette", "recording"}) {
                const std::string line = ProgressLine(label, p.done, p.total, p.seconds, columns);
                const std::string where = std::to_string(columns) + " columns: " + line;
                EXPECT_LE(line.size(), static_cast<size_t>(columns - 1)) << where;
                EXPECT_NE(line.find(p.percent), std::string::npos) << where;
                // A terminal of 40 or more has room for the label and the bar too.
                if (columns >= 40) {
                    EXPECT_EQ(line.rfind(label, 0), 0u) << where;
                    EXPECT_NE(line.find("]"), std::string::npos) << where;
                }
                if (columns >= 80) {
                    EXPECT_NE(line.find(" frames"), std::string::npos) << where;
                }
            }
        }
    }
    // Narrower than anything: the percentage, cut to fit.
    for (const int columns : {1, 2, 3, 4, 5, 8}) {
        EXPECT_LE(ProgressLine("recording", 10, 100, 1, columns).size(),
                  static_cast<size_t>(columns - 1))
            << columns;
    }
    EXPECT_EQ(ProgressLine("recording", 100, 100, 1, 5), "100%");
}

TEST(ProgressLine, HoldsTheTimeLeftBackUntilItMeansSomething) {
    const struct {
        int64_t done, total;
        double seconds;
        const char* left;  // null: no rate yet, so no time left at all
    } cases[] = {
        {0, 4200, 0.0, nullptr},
        {30, 4200, 0.1, "--:-- left"},     // the first update: start-up alone
        {600, 4200, 0.6, "--:-- left"},    // enough frames, too soon
        {300, 4200, 1.5, "--:-- left"},    // long enough, too few frames
        {420, 4200, 1.0, "0:09 left"},     // both
        {2100, 4200, 2.0, "0:02 left"},    // half way
        {600, 60000, 10.0, "--:-- left"},  // a long recording waits for a tenth too
        {6000, 60000, 10.0, "1:30 left"},
    };
    for (const auto& c : cases) {
        const std::string line = ProgressLine("recording", c.done, c.total, c.seconds, 200);
        if (!c.left) {
            EXPECT_EQ(line.find("left"), std::string::npos) << line;
        } else {
            EXPECT_NE(line.find(std::string("  ") + c.left), std::string::npos) << line;
        }
        EXPECT_EQ(EstimateReady(c.done, c.total, c.seconds),
                  c.left && std::string(c.left) != "--:-- left")
            << line;
    }
}

TEST(TerminalColumns, OffATerminalReadsColumnsElse80) {
    char buffer[16] = {};
    std::FILE* out = fmemopen(buffer, sizeof buffer, "w");
    const char* before = std::getenv("COLUMNS");
    const std::string saved = before ? before : "";
    const struct {
        const char* columns;  // null: unset
        int expected;
    } cases[] = {{nullptr, 80}, {"57", 57}, {"200", 200}, {"", 80}, {"0", 80}, {"wide", 80}};
    for (const auto& c : cases) {
        if (c.columns)
            setenv("COLUMNS", c.columns, 1);
        else
            unsetenv("COLUMNS");
        EXPECT_EQ(TerminalColumns(out), c.expected) << (c.columns ? c.columns : "unset");
    }
    if (before)
        setenv("COLUMNS", saved.c_str(), 1);
    else
        unsetenv("COLUMNS");
    std::fclose(out);
}

TEST(ProgressBar, DrawsEachLineWithinTheTerminalsWidth) {
    char buffer[4096] = {};
    std::FILE* out = fmemopen(buffer, sizeof buffer, "w");
    const char* before = std::getenv("COLUMNS");
    const std::string saved = before ? before : "";
    setenv("COLUMNS", "40", 1);
    {
        ProgressBar bar(out, true, "recording", 4230);
        bar.Update(1);
        bar.Update(4230);
    }
    std::fclose(out);
    if (before)
        setenv("COLUMNS", saved.c_str(), 1);
    else
        unsetenv("COLUMNS");
    // "\r<line>\033[K" per update, then "\r\033[K" to clear.
    const std::string drawn = buffer;
    std::vector<std::string> lines;
    for (size_t at = drawn.find('\r'); at != std::string::npos;) {
        const size_t next = drawn.find('\r', at + 1);
        std::string line = drawn.substr(at + 1, next == std::string::npos ? next : next - at - 1);
        ASSERT_GE(line.size(), 3u) << drawn;
        EXPECT_EQ(line.substr(line.size() - 3), "\033[K");
        lines.push_back(line.substr(0, line.size() - 3));
        at = next;
    }
    ASSERT_EQ(lines.size(), 3u) << drawn;
    EXPECT_LE(lines[0].size(), 39u) << lines[0];
    EXPECT_NE(lines[1].find("100%"), std::string::npos) << lines[1];
    EXPECT_LE(lines[1].size(), 39u) << lines[1];
    EXPECT_EQ(lines[2], "");
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
