// fly_overlay.cpp -- the overlay's lines and where they go on the screen
#include "fly/fly_overlay.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "fly/overlay_font.h"
#include "shared/text.h"

namespace {

constexpr uint32_t kBand = 0xA0000000u;  // black, about 60 % opaque
constexpr uint32_t kText = 0xFFFFFFFFu;
constexpr uint32_t kRecordingText = 0xFFFF5050u;
constexpr uint32_t kHelpText = 0xFFFFE080u;

// The controls of each mode, at most 39 characters a line.
const std::vector<std::string> kFlightHelp = {
    "W/S arrows: move, turn  Q/E: strafe",
    "R/F PgUp/PgDn: up/down  T/G: horizon",
    "Shift: fast  Space: level  drag: look",
    "Enter: record  L: loop  Tab: player",
    "O: overlay  Esc: quit",
};
const std::vector<std::string> kPlayerHelp = {
    "Space: pause  Left/Right: 1 s",
    "Up/Down, Shift+arrow: 10 s",
    "+/-: speed  ,/.: key  Home/End",
    "Tab: fly from here  O: overlay  Esc",
};

// Text starts 2 pixels into its band, which ends a pixel after the text.
constexpr int kTextLeft = 2;
constexpr int kBandEdges = kTextLeft + 1;

void Band(OverlayImage& image, int y, const std::string& text, uint32_t colour) {
    FillRect(image, 0, y, TextWidth(text) + kBandEdges, kLineAdvance + 1, kBand);
    DrawText(image, kTextLeft, y + 2, text, colour);
}

// The fields joined by spaces into as few lines as fit `widest` pixels;
// a field wider than that is cut at its end.
void Wrap(const std::vector<std::string>& fields, int widest, std::vector<std::string>& lines) {
    std::string line;
    for (std::string field : fields) {
        while (!field.empty() && TextWidth(field) > widest)
            field.pop_back();
        if (field.empty()) continue;
        if (!line.empty() && TextWidth(line + " " + field) <= widest) {
            line += " " + field;
            continue;
        }
        if (!line.empty()) lines.push_back(line);
        line = field;
    }
    if (!line.empty()) lines.push_back(line);
}

}  // namespace

int BandTextWidth(int width) {
    return std::max(width - kBandEdges, 0);
}

std::vector<std::string> TopLines(int width, const OverlayStatus& s) {
    const int widest = BandTextWidth(width);
    std::vector<std::string> lines;
    if (s.player) {
        std::vector<std::string> mode = {
            "PLAY", Format("%.3f/%.1f s", s.timeMs / 1000.0, s.durationMs / 1000.0),
            Format("%gx", s.speed)};
        if (s.paused) mode.emplace_back("PAUSED");
        Wrap(mode, widest, lines);
        Wrap({Format("key %d/%d", s.key, s.playedKeys), Format("%.0f fps", s.fps)}, widest, lines);
    } else {
        if (s.recording) Wrap({Format("REC %d keys", s.keys)}, widest, lines);
        std::vector<std::string> mode = {"FLY", Format("%.0f fps", s.fps),
                                         Format("%.1f ms", s.frameMs)};
        if (s.closeLoop) mode.emplace_back("loop");
        if (s.controllers > 0) mode.push_back(Format("pad %d", s.controllers));
        Wrap(mode, widest, lines);
    }
    // Position in cells, heading in degrees, the horizon as a view row,
    // height in height bytes, and above the ground under the camera.
    const CameraState& c = s.camera;
    const double heading = (c.heading & kAngleMask) * 360.0 / kAngleUnits;
    Wrap({Format("x %.1f", c.x / 65536.0), Format("y %.1f", c.y / 65536.0),
          Format("hd %.0f deg", heading), Format("hz row %d", c.horizon)},
         widest, lines);
    const double height = c.height / 131072.0;
    Wrap({Format("h %.1f", height), Format("%.1f above ground", height - s.ground)}, widest, lines);
    return lines;
}

std::vector<std::string> MessageLines(int width, const std::string& message) {
    // Long messages (a file's path) are cut to the screen's width, keeping their end.
    const size_t fits = static_cast<size_t>(BandTextWidth(width) / kCharAdvance);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= message.size() && !message.empty()) {
        const size_t end = std::min(message.find('\n', start), message.size());
        std::string line = message.substr(start, end - start);
        if (line.size() > fits) line = fits > 3 ? "..." + line.substr(line.size() - fits + 3) : "";
        if (!line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

OverlayImage ComposeOverlay(int width, int height, const OverlayStatus& s) {
    OverlayImage image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
    int y = 0;
    bool first = true;
    for (const std::string& line : TopLines(width, s)) {
        Band(image, y, line, first && s.recording ? kRecordingText : kText);
        first = false;
        y += kLineAdvance + 1;
    }
    for (const std::string& line : MessageLines(width, s.message)) {
        Band(image, y, line, kHelpText);
        y += kLineAdvance + 1;
    }
    if (s.help) {
        const std::vector<std::string>& help = s.player ? kPlayerHelp : kFlightHelp;
        y = height - static_cast<int>(help.size()) * (kLineAdvance + 1) - 1;
        for (const std::string& line : help) {
            Band(image, y, line, kHelpText);
            y += kLineAdvance + 1;
        }
    }
    return image;
}
