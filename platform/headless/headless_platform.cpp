// headless_platform.cpp -- the screen in memory, the silent sound, the stderr error box, and the
// stepped clock with scripted input
#include "platform/headless/headless_platform.h"

#include "platform/wave.h"

void HeadlessScreen::BeginFrame() {
    ++frameBegins;
    if (onBeginFrame) onBeginFrame();
}

void HeadlessScreen::Present() {
    ++presents;
    if (onPresent) onPresent();
    if (presented_) presented_();
}

void HeadlessScreen::SetTrueColourSize(int width, int height) {
    const bool some = width > 0 && height > 0;
    trueColourWidth_ = some ? width : 0;
    trueColourHeight_ = some ? height : 0;
}

TrueColourFrame HeadlessScreen::NextTrueColourFrame() {
    if (!SupportsTrueColour()) return {};
    const size_t pixels =
        static_cast<size_t>(trueColourWidth_) * static_cast<size_t>(trueColourHeight_);
    if (trueColourPixels_.size() != pixels) trueColourPixels_.assign(pixels, 0);
    trueColour_ = {trueColourPixels_.data(), trueColourWidth_, trueColourHeight_,
                   static_cast<ptrdiff_t>(trueColourWidth_) * 4};
    return trueColour_;
}

void HeadlessScreen::PresentTrueColour() {
    ++trueColourPresents;
    Present();
}

void HeadlessScreen::SetOverlay(const OverlayImage& image) {
    overlay = image;
}

bool HeadlessScreen::ShowWindow(const std::string& title) {
    if (windowFails) return false;
    windowTitle = title;
    windowShown = true;
    return true;
}

HeadlessPlatform::HeadlessPlatform(const HeadlessOptions& options)
    : options_(options),
      steppedClock_(options.clockStartMicroseconds),
      systemStart_(Platform::ClockMicroseconds()) {}

Screen* HeadlessPlatform::OpenScreen() {
    if (!screen_ && options_.screen) {
        screen_ = std::make_unique<HeadlessScreen>(*options_.screen, options_.memoryCopy);
        screen_->windowFails = options_.windowFails;
        screen_->SetTrueColourSize(options_.trueColourWidth, options_.trueColourHeight);
        if (options_.frameStepMicroseconds > 0 || !options_.script.empty()) {
            screen_->presented_ = [this] {
                if (options_.frameStepMicroseconds > 0)
                    steppedClock_.fetch_add(options_.frameStepMicroseconds);
                PostDueInput(ClockMicroseconds());
            };
        }
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

int64_t HeadlessPlatform::ClockMicroseconds() {
    const int64_t now =
        clockStep_.load() +
        (options_.frameStepMicroseconds > 0
             ? steppedClock_.load()
             : options_.clockStartMicroseconds + (Platform::ClockMicroseconds() - systemStart_));
    PostDueInput(now);
    return now;
}

void HeadlessPlatform::PostDueInput(int64_t now) {
    if (options_.script.empty()) return;
    // Posting stamps the event with the clock, which comes back here: the
    // inner call leaves the posting to this one (and the lock is not taken twice).
    thread_local bool posting = false;
    if (posting) return;
    posting = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{posting};
    std::lock_guard<std::mutex> lock(scriptMutex_);
    while (nextScripted_ < options_.script.size() && options_.script[nextScripted_].at <= now)
        Events().Post(options_.script[nextScripted_++].event);
}

void HeadlessPlatform::WaitUntil(int64_t clockMicroseconds) {
    if (options_.frameStepMicroseconds > 0) return;
    Platform::WaitUntil(clockMicroseconds);
}
