// windowed_options.cpp -- reading the windowed screen's settings and choosing its scale
#include "platform/windowed_options.h"

#include <algorithm>

bool WindowedDisplayOptionsFrom(const char* displayVariable, const char* scaleVariable,
                                WindowedDisplayOptions& options, std::string& error) {
    WindowedDisplayOptions parsed;
    if (displayVariable && *displayVariable) {
        std::string why;
        if (!ParseDisplayShape(displayVariable, parsed.shape, why)) {
            error = "FLYOVER_DISPLAY: " + why;
            return false;
        }
    }
    if (scaleVariable && *scaleVariable) {
        const std::string text = scaleVariable;
        int value = 0;
        bool good = text.size() <= 2;
        for (char c : text) {
            if (c < '0' || c > '9') good = false;
            value = value * 10 + (c - '0');
        }
        if (!good || value < 1 || value > kMaxWindowScale) {
            error = "FLYOVER_SCALE: \"" + text + "\" is not a whole number from 1 to " +
                    std::to_string(kMaxWindowScale);
            return false;
        }
        parsed.scale = value;
    }
    options = parsed;
    return true;
}

int ChooseWindowScale(int screenWidth, int screenHeight, int usableWidth, int usableHeight) {
    if (screenWidth <= 0 || screenHeight <= 0) return 1;
    const int byWidth = usableWidth / screenWidth;
    const int byHeight = (usableHeight - kWindowFrameAllowance) / screenHeight;
    return std::clamp(std::min(byWidth, byHeight), 1, kMaxWindowScale);
}

bool WindowedViewFrom(const char* viewVariable, WindowedDisplayOptions& options,
                      std::string& error) {
    const std::string view = viewVariable ? viewVariable : "";
    if (view.empty() || view == "faithful") return true;
    if (view == "hd") {
        options.trueColour = true;
        return true;
    }
    error = "FLYOVER_VIEW must be faithful or hd, not \"" + view + "\"";
    return false;
}
