// fly_overlay.cpp -- the overlay's lines and where they go on the screen
#include "tools/fly/fly_overlay.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "tools/fly/overlay_font.h"

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

std::string Format(const char* format, auto... values) {
    char text[160];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

void Band(OverlayImage& image, int y, const std::string& text, uint32_t colour) {
    FillRect(image, 0, y, TextWidth(text) + 3, kLineAdvance + 1, kBand);
    DrawText(image, 2, y + 2, text, colour);
}

}  // namespace

std::string StatusLine(const OverlayStatus& s) {
    if (s.player) {
        return Format("PLAY %.3f/%.1fs key %d/%d %gx%s", s.timeMs / 1000.0, s.durationMs / 1000.0,
                      s.key, s.playedKeys, s.speed, s.paused ? " PAUSED" : "");
    }
    std::string line = Format("FLY %.0f fps %.1f ms", s.fps, s.frameMs);
    if (s.recording) line += Format(" REC %d keys", s.keys);
    if (s.closeLoop) line += " loop";
    if (s.controllers > 0) line += Format(" pad %d", s.controllers);
    return line;
}

std::string CameraLine(const CameraState& c) {
    // Position in cells, height in height bytes, heading in degrees.
    const double heading = (c.heading & kAngleMask) * 360.0 / kAngleUnits;
    return Format("x %.1f y %.1f h %.1f hd %.0f hz %d", c.x / 65536.0, c.y / 65536.0,
                  c.height / 131072.0, heading, c.horizon);
}

OverlayImage ComposeOverlay(int width, int height, const OverlayStatus& s) {
    OverlayImage image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
    std::string status = StatusLine(s);
    if (s.player) status += Format(" %.0f fps", s.fps);
    Band(image, 0, status, s.recording ? kRecordingText : kText);
    Band(image, kLineAdvance + 1, CameraLine(s.camera), kText);
    int y = 2 * (kLineAdvance + 1);
    if (!s.message.empty()) {
        // Long messages (a file's path) are cut to the screen's width.
        const size_t fits = static_cast<size_t>(std::max(width - 4, 0) / kCharAdvance);
        std::string message = s.message;
        if (message.size() > fits)
            message = fits > 3 ? "..." + message.substr(message.size() - fits + 3) : "";
        Band(image, y, message, kHelpText);
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
