// progress_bar.cpp -- drawing the progress line with a carriage return, as wide as the terminal
#include "record/progress_bar.h"

#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kMaxBar = 30;  // characters of bar between the brackets, at most
constexpr int kMinBar = 8;   // fewer says too little: the bar goes instead

// Which parts of the line to draw.
enum Part : unsigned { kLabel = 1, kBar = 2, kCount = 4, kRate = 8, kLeft = 16 };

}  // namespace

double MonotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

bool EstimateReady(int64_t done, int64_t total, double seconds) {
    if (total <= 0 || done <= 0 || seconds <= 0) return false;
    return seconds >= kEstimateAfterSeconds &&
           static_cast<double>(done) >= kEstimateAfterFraction * static_cast<double>(total);
}

std::string ProgressLine(const std::string& label, int64_t done, int64_t total, double seconds,
                         int columns) {
    const double fraction = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1;
    char text[96];
    std::snprintf(text, sizeof text, "%3d%%", static_cast<int>(fraction * 100));
    const std::string percent = text;
    std::snprintf(text, sizeof text, "%lld/%lld frames", static_cast<long long>(done),
                  static_cast<long long>(total));
    const std::string count = text;
    std::string rate, left;
    if (seconds > 0 && done > 0) {
        const double fps = static_cast<double>(done) / seconds;
        std::snprintf(text, sizeof text, "%.0f fps", fps);
        rate = text;
        if (EstimateReady(done, total, seconds)) {
            const long long remaining =
                static_cast<long long>(static_cast<double>(total - done) / fps + 0.5);
            std::snprintf(text, sizeof text, "%lld:%02lld left", remaining / 60, remaining % 60);
            left = text;
        } else {
            left = "--:-- left";
        }
    }

    const int room = std::max(columns - 1, 0);
    // The richest line that fits: parts are given up in this order.
    const unsigned choices[] = {kLabel | kBar | kCount | kRate | kLeft,
                                kLabel | kBar | kCount | kLeft,
                                kLabel | kBar | kLeft,
                                kLabel | kLeft,
                                kLeft,
                                0};
    for (const unsigned parts : choices) {
        // The line without the bar's characters, then the bar in what is left.
        auto join = [&](int bar) {
            std::string line;
            auto add = [&](const std::string& part, const char* gap) {
                if (part.empty()) return;
                if (line.empty()) {
                    line = part.substr(part.find_first_not_of(' '));
                } else {
                    line += gap;
                    line += part;
                }
            };
            if (parts & kLabel) add(label, " ");
            if (bar > 0) {
                const int filled = std::clamp(static_cast<int>(fraction * bar), 0, bar);
                // Built by appending: GCC 12 warns falsely (-Wrestrict) at -O3
                // of a literal added to a string.
                std::string drawn(1, '[');
                drawn.append(static_cast<size_t>(filled), '#');
                drawn.append(static_cast<size_t>(bar - filled), '.');
                drawn += ']';
                add(drawn, " ");
            }
            if (parts & kCount) add(count, "  ");
            add(percent, "  ");
            if (parts & kRate) add(rate, "  ");
            if (parts & kLeft) add(left, "  ");
            return line;
        };
        if (parts & kBar) {
            // A bar of one character, its brackets and gaps: each more widens the line by one.
            const int bar = std::min(kMaxBar, room - static_cast<int>(join(1).size()) + 1);
            if (bar < kMinBar) continue;
            return join(bar);
        }
        const std::string line = join(0);
        if (static_cast<int>(line.size()) <= room) return line;
    }
    // Narrower than the percentage: as much of it as fits.
    return percent.substr(percent.find_first_not_of(' '), static_cast<size_t>(room));
}

int TerminalColumns(std::FILE* out) {
    winsize size{};
    if (ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    if (const char* columns = std::getenv("COLUMNS")) {
        char* end = nullptr;
        const long value = std::strtol(columns, &end, 10);
        if (end != columns && *end == '\0' && value > 0 && value <= 10000)
            return static_cast<int>(value);
    }
    return 80;
}

ProgressBar::ProgressBar(std::FILE* out, bool terminal, std::string label, int64_t total)
    : out_(out),
      terminal_(terminal),
      label_(std::move(label)),
      total_(total),
      start_(MonotonicSeconds()) {}

void ProgressBar::Update(int64_t done) {
    if (!terminal_) return;
    const double now = MonotonicSeconds();
    if (done < total_ && lastDraw_ >= 0 && now - lastDraw_ < 0.1) return;
    lastDraw_ = now;
    // Asked each time: the window may have been resized.
    const int columns = TerminalColumns(out_);
    std::fprintf(out_, "\r%s\033[K",
                 ProgressLine(label_, done, total_, now - start_, columns).c_str());
    std::fflush(out_);
    drawn_ = true;
}

void ProgressBar::Clear() {
    if (!drawn_) return;
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
    drawn_ = false;
}
