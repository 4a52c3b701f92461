// headless_platform.cpp -- the screen in memory, the silent sound and the stderr error box
#include "platform/headless/headless_platform.h"

#include "platform/wave.h"

void HeadlessScreen::BeginFrame() {
    ++frameBegins;
    if (onBeginFrame) onBeginFrame();
}

void HeadlessScreen::Present() {
    ++presents;
    if (onPresent) onPresent();
}

bool HeadlessScreen::ShowWindow(const std::string& title) {
    if (windowFails) return false;
    windowTitle = title;
    windowShown = true;
    return true;
}

Screen* HeadlessPlatform::OpenScreen() {
    if (!screen_ && options_.screen) {
        screen_ = std::make_unique<HeadlessScreen>(*options_.screen, options_.memoryCopy);
        screen_->windowFails = options_.windowFails;
    }
    return screen_.get();
}

bool HeadlessPlatform::PlayLoopingSound(const uint8_t* wave, size_t size) {
    StopSound();
    WaveClip clip;
    std::string error;
    soundPlaying_ = ParseWave(wave, size, clip, error);
    return soundPlaying_;
}

void HeadlessPlatform::StopSound() {
    soundPlaying_ = false;
}

void HeadlessPlatform::ShowBox(const std::string& text, const std::string& caption) {
    errorBoxes_.push_back(caption.empty() ? text : caption + ": " + text);
}
