// progress_bar.cpp -- drawing the progress line with a carriage return
#include "tools/record/progress_bar.h"

#include <time.h>

#include <algorithm>

double MonotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::string ProgressLine(int64_t done, int64_t total, double seconds, int width) {
    const double fraction = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1;
    const int filled = std::clamp(static_cast<int>(fraction * width), 0, width);
    std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(width - filled), '.') + "]";
    char text[160];
    std::snprintf(text, sizeof text, "  %lld/%lld frames  %3d%%", static_cast<long long>(done),
                  static_cast<long long>(total), static_cast<int>(fraction * 100));
    line += text;
    if (seconds > 0 && done > 0) {
        const double fps = static_cast<double>(done) / seconds;
        const long long left =
            static_cast<long long>(static_cast<double>(total - done) / fps + 0.5);
        std::snprintf(text, sizeof text, "  %.0f fps  %lld:%02lld left", fps, left / 60, left % 60);
        line += text;
    }
    return line;
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
    std::fprintf(out_, "\r%s %s\033[K", label_.c_str(),
                 ProgressLine(done, total_, now - start_, 30).c_str());
    std::fflush(out_);
    drawn_ = true;
}

void ProgressBar::Clear() {
    if (!drawn_) return;
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
    drawn_ = false;
}
