// null_windowed.cpp -- the windowed platform of a build without a window system: no display at all
#include <cstdio>

#include "platform/windowed.h"

namespace {

class NullWindowedPlatform final : public WindowedPlatform {
public:
    Screen* OpenScreen() override {
        std::fprintf(stderr, "this build has no window (built without SDL2)\n");
        return nullptr;
    }
    bool PlayLoopingSound(const uint8_t*, size_t) override { return false; }
    void StopSound() override {}
    WindowedDisplayStatistics Statistics() const override { return {}; }

protected:
    void ShowBox(const std::string&, const std::string&) override {}
};

}  // namespace

std::unique_ptr<WindowedPlatform> MakeWindowedPlatform(std::optional<WindowedDisplayOptions>) {
    return std::make_unique<NullWindowedPlatform>();
}

std::unique_ptr<WindowedPlatform> WindowedPlatformFromEnvironment() {
    return MakeWindowedPlatform(std::nullopt);
}
