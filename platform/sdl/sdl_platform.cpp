// sdl_platform.cpp -- SDL set up around the program, its screen, sound and message boxes
#include "platform/sdl/sdl_platform.h"

#include <cstdio>
#include <cstdlib>

SdlPlatform::SdlPlatform(std::optional<WindowedDisplayOptions> options)
    : options_(std::move(options)) {
    SDL_SetMainReady();
    // Ctrl-C and SIGTERM end the process as they do any program here; the
    // program's own ways out are a key, a tap or closing its window.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "1");
    // The tap that brings the window to the front reaches the program too.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
}

SdlPlatform::~SdlPlatform() {
    sound_.Stop();
    screen_.reset();
    SDL_Quit();
}

Screen* SdlPlatform::OpenScreen() {
    if (!screen_ && options_) {
        screen_ = std::make_unique<SdlScreen>(*options_, Events());
        screenOpen_ = screen_->Open();
    }
    return screenOpen_ ? screen_.get() : nullptr;
}

bool SdlPlatform::PlayLoopingSound(const uint8_t* wave, size_t size) {
    return sound_.PlayLooping(wave, size);
}

void SdlPlatform::StopSound() {
    sound_.Stop();
}

WindowedDisplayStatistics SdlPlatform::Statistics() const {
    return screenOpen_ ? screen_->Statistics() : WindowedDisplayStatistics{};
}

void SdlPlatform::ShowBox(const std::string& text, const std::string& caption) {
    // Owned by no window; returns once the user has pressed OK or closed it.
    // Where no desktop can show it, the line on stderr is all there is.
    const auto show = [&] {
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption.c_str(), text.c_str(), nullptr);
    };
    if (!screenOpen_ || !screen_->RunOnScreenThread(show)) show();
}

std::unique_ptr<WindowedPlatform> MakeWindowedPlatform(
    std::optional<WindowedDisplayOptions> options) {
    return std::make_unique<SdlPlatform>(std::move(options));
}

std::unique_ptr<WindowedPlatform> WindowedPlatformFromEnvironment() {
    WindowedDisplayOptions options;
    std::string error;
    if (WindowedDisplayOptionsFrom(std::getenv("FLYOVER_DISPLAY"), std::getenv("FLYOVER_SCALE"),
                                   options, error) &&
        WindowedViewFrom(std::getenv("FLYOVER_VIEW"), options, error))
        return MakeWindowedPlatform(options);
    std::fprintf(stderr, "flyover platform: %s\n", error.c_str());
    return MakeWindowedPlatform(std::nullopt);
}
