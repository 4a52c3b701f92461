// sdl_screen_test.cpp -- the SDL platform's screen under SDL's dummy video driver: the window, the
// input it reports, frames put on it
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/sdl/sdl_platform.h"
#include "tests/support/environment.h"

namespace {

using namespace std::chrono_literals;

// An SDL platform on the dummy driver with its window shown.
class SdlScreenTest : public ::testing::Test {
protected:
    void Open(bool fullInput, bool resizable = false, bool trueColour = false) {
        SetEnvironmentVariable("SDL_VIDEODRIVER", "dummy");
        SetEnvironmentVariable("SDL_AUDIODRIVER", "dummy");
        WindowedDisplayOptions options;
        options.shape = DisplayShape{40, 30, DisplayLayout::Rot90};
        options.scale = 2;
        options.fullInput = fullInput;
        options.resizable = resizable;
        options.trueColour = trueColour;
        options.trueColourWidth = 64;
        options.trueColourHeight = 48;
        platform_ = std::make_unique<SdlPlatform>(options);
        screen_ = platform_->OpenScreen();
        ASSERT_NE(screen_, nullptr);
        ASSERT_TRUE(screen_->ShowWindow("test window"));
        window_ = platform_->Statistics().windowId;
        ASSERT_NE(window_, 0u);
    }
    void TearDown() override { platform_.reset(); }

    // Pushes `events` (each addressed to the window; positions in the window's
    // pixels, twice the screen's), then a key press that
    // every mode reports, and returns what reached the queue before it.
    std::vector<InputEvent> Through(std::vector<SDL_Event> events) {
        SDL_Event end{};
        end.type = SDL_KEYDOWN;
        end.key.keysym.sym = SDLK_F12;
        events.push_back(end);
        for (SDL_Event& event : events) {
            event.window.windowID = window_;  // the same field in every event kind used here
            EXPECT_EQ(SDL_PushEvent(&event), 1);
        }
        std::vector<InputEvent> got;
        for (;;) {
            InputEvent event;
            int code = 0;
            if (!platform_->Events().Take(event, code)) break;
            if (event.kind == EventKind::KeyDown && event.code == SDLK_F12) break;
            got.push_back(event);
        }
        return got;
    }

    std::unique_ptr<SdlPlatform> platform_;
    Screen* screen_ = nullptr;
    uint32_t window_ = 0;
};

SDL_Event Key(Uint32 type, SDL_Keycode key, bool repeat = false) {
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = key;
    e.key.repeat = repeat ? 1 : 0;
    return e;
}
SDL_Event Button(Uint32 type, Uint8 button, int x, int y) {
    SDL_Event e{};
    e.type = type;
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    return e;
}
SDL_Event Motion(int x, int y, int dx, int dy) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    e.motion.state = SDL_BUTTON_LMASK;
    return e;
}
SDL_Event Close() {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    return e;
}

TEST_F(SdlScreenTest, TheDemoSeesPressesTapsAndCloseRequestsOnly) {
    Open(false);
    const std::vector<InputEvent> got = Through({
        Key(SDL_KEYDOWN, SDLK_a),
        Key(SDL_KEYUP, SDLK_a),
        Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 1, 2),
        Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 6, 8),
        Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 6, 8),
        Motion(10, 12, 2, 2),
        Close(),
    });
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].kind, EventKind::KeyDown);
    EXPECT_EQ(got[0].code, 'a');
    EXPECT_EQ(got[1].kind, EventKind::ButtonDown);
    EXPECT_EQ(got[1].code, kLeftButton);
    EXPECT_EQ(got[1].x, 3) << "positions are the screen's pixels, not the window's";
    EXPECT_EQ(got[1].y, 4);
    EXPECT_EQ(got[2].kind, EventKind::CloseRequest);
}

TEST_F(SdlScreenTest, FullInputReportsEveryKeyButtonAndMotion) {
    Open(true);
    const std::vector<InputEvent> got = Through({
        Key(SDL_KEYDOWN, SDLK_LEFT),
        Key(SDL_KEYDOWN, SDLK_LEFT, true),
        Key(SDL_KEYUP, SDLK_LEFT),
        Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 1, 2),
        Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 1, 2),
        Motion(10, 12, -4, 6),
    });
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0].kind, EventKind::KeyDown);
    EXPECT_EQ(got[0].code, keys::kLeft);
    EXPECT_FALSE(got[0].repeat);
    EXPECT_TRUE(got[1].repeat);
    EXPECT_EQ(got[2].kind, EventKind::KeyUp);
    EXPECT_EQ(got[3].kind, EventKind::ButtonDown);
    EXPECT_EQ(got[3].code, kRightButton);
    EXPECT_EQ(got[4].kind, EventKind::ButtonUp);
    EXPECT_EQ(got[5].kind, EventKind::PointerMotion);
    EXPECT_EQ(got[5].x, 5);
    EXPECT_EQ(got[5].dx, -2);
    EXPECT_EQ(got[5].dy, 3);
    EXPECT_EQ(got[5].buttons, static_cast<uint32_t>(SDL_BUTTON_LMASK));
}

TEST_F(SdlScreenTest, InputForOtherWindowsIsNotReported) {
    Open(true);
    SDL_Event other = Key(SDL_KEYDOWN, SDLK_b);
    other.key.windowID = window_ + 1;
    EXPECT_EQ(SDL_PushEvent(&other), 1);
    EXPECT_TRUE(Through({}).empty());
}

TEST_F(SdlScreenTest, FramesReachTheWindowAtTheRefreshRate) {
    Open(false);
    EXPECT_TRUE(screen_->IsMemoryCopy());
    const GXDisplayProperties p = screen_->Properties();
    EXPECT_EQ(p.cxWidth, 40u);
    EXPECT_EQ(p.cyHeight, 30u);
    EXPECT_EQ(p.cbxPitch, 2 * 30);
    EXPECT_EQ(p.cbyPitch, -2);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 12; ++i) {
        screen_->BeginFrame();
        screen_->TopLeft()[0] = static_cast<uint16_t>(i);
        screen_->Present();
    }
    const auto took = std::chrono::steady_clock::now() - start;
    const WindowedDisplayStatistics s = platform_->Statistics();
    EXPECT_EQ(s.framesPublished, 12u);
    EXPECT_EQ(s.scale, 2);
    EXPECT_GE(s.framesPresented, 1u);
    EXPECT_LE(s.framesPresented, 13u);
    // Paced by the screen (60 Hz without vsync under the dummy driver), not
    // drawn flat out: twelve frames take most of 200 ms.
    EXPECT_GE(took, 120ms);
}

// Frames with `value` in the top-left pixel, until `count` pictures have
// been put on the window since `from` (or two seconds pass).
void PresentUntil(Screen* screen, SdlPlatform& platform, uint64_t from, uint64_t count) {
    const auto until = std::chrono::steady_clock::now() + 2s;
    while (platform.Statistics().framesPresented < from + count &&
           std::chrono::steady_clock::now() < until) {
        screen->BeginFrame();
        screen->Present();
    }
}

TEST_F(SdlScreenTest, TheOverlayGoesOverThePicturesNeverIntoTheFrameBuffer) {
    Open(true);
    screen_->TopLeft()[0] = 0x1234;
    OverlayImage overlay;
    overlay.width = 40;
    overlay.height = 30;
    overlay.pixels.assign(40 * 30, 0xFFFFFFFFu);  // opaque white over everything
    screen_->SetOverlay(overlay);
    PresentUntil(screen_, *platform_, platform_->Statistics().framesPresented, 3);
    WindowedDisplayStatistics s = platform_->Statistics();
    EXPECT_GE(s.picturesWithOverlay, 2u);
    EXPECT_EQ(screen_->TopLeft()[0], 0x1234) << "the frame buffer keeps the frame";

    // No overlay, or one whose pixels do not fill it: the pictures alone.
    screen_->SetOverlay(OverlayImage{});
    PresentUntil(screen_, *platform_, s.framesPresented, 2);
    const uint64_t with = platform_->Statistics().picturesWithOverlay;
    PresentUntil(screen_, *platform_, platform_->Statistics().framesPresented, 3);
    overlay.pixels.resize(10);
    screen_->SetOverlay(overlay);
    PresentUntil(screen_, *platform_, platform_->Statistics().framesPresented, 3);
    EXPECT_EQ(platform_->Statistics().picturesWithOverlay, with);
}

TEST_F(SdlScreenTest, AResizableWindowCanBeResized) {
    Open(true, true);
    auto* screen = static_cast<SdlScreen*>(screen_);
    Uint32 flags = 0;
    int w = 0, h = 0;
    ASSERT_TRUE(screen->RunOnScreenThread([&] {
        SDL_Window* window = SDL_GetWindowFromID(window_);
        flags = SDL_GetWindowFlags(window);
        SDL_SetWindowSize(window, 200, 150);
        SDL_GetWindowSize(window, &w, &h);
    }));
    EXPECT_NE(flags & SDL_WINDOW_RESIZABLE, 0u);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 150);
    PresentUntil(screen_, *platform_, platform_->Statistics().framesPresented, 2);
}

// True-colour pictures come at the window's own pixel size, follow a
// resize, reach the window 1:1 at the screen's pace, and F11 toggles full
// screen without reaching the program.
TEST_F(SdlScreenTest, TrueColourPicturesFollowTheWindowsSizeAndF11GoesFullScreen) {
    Open(true, false, true);
    auto* screen = static_cast<SdlScreen*>(screen_);
    EXPECT_TRUE(screen_->SupportsTrueColour());
    TrueColourFrame frame = screen_->NextTrueColourFrame();
    EXPECT_EQ(frame.width, 64);
    EXPECT_EQ(frame.height, 48);
    EXPECT_EQ(frame.pitch, 64 * 4);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 12; ++i) {
        frame = screen_->NextTrueColourFrame();
        frame.pixels[0] = static_cast<uint32_t>(i);
        screen_->PresentTrueColour();
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, 120ms) << "paced by the screen";
    WindowedDisplayStatistics s = platform_->Statistics();
    EXPECT_EQ(s.framesPublished, 12u);
    EXPECT_GE(s.framesPresented, 1u);

    Uint32 flags = 0;
    ASSERT_TRUE(screen->RunOnScreenThread([&] {
        SDL_Window* window = SDL_GetWindowFromID(window_);
        flags = SDL_GetWindowFlags(window);
        SDL_SetWindowSize(window, 200, 150);
    }));
    EXPECT_NE(flags & SDL_WINDOW_RESIZABLE, 0u) << "a true-colour window is resizable";
    PresentUntil(screen_, *platform_, platform_->Statistics().framesPresented, 1);
    frame = screen_->NextTrueColourFrame();
    EXPECT_EQ(frame.width, 200);
    EXPECT_EQ(frame.height, 150);
    screen_->PresentTrueColour();

    EXPECT_TRUE(Through({Key(SDL_KEYDOWN, SDLK_F11), Key(SDL_KEYUP, SDLK_F11)}).empty());
    ASSERT_TRUE(screen->RunOnScreenThread(
        [&] { flags = SDL_GetWindowFlags(SDL_GetWindowFromID(window_)); }));
    EXPECT_EQ(flags & SDL_WINDOW_FULLSCREEN_DESKTOP, SDL_WINDOW_FULLSCREEN_DESKTOP);
    frame = screen_->NextTrueColourFrame();
    EXPECT_GT(frame.width, 200) << "full screen: the display's size";
    screen_->PresentTrueColour();
    EXPECT_TRUE(Through({Key(SDL_KEYDOWN, SDLK_F11)}).empty());
    ASSERT_TRUE(screen->RunOnScreenThread(
        [&] { flags = SDL_GetWindowFlags(SDL_GetWindowFromID(window_)); }));
    EXPECT_EQ(flags & SDL_WINDOW_FULLSCREEN, 0u);
}

// Fills a true-colour frame with `value`, row by row at its pitch.
void Fill(const TrueColourFrame& frame, uint32_t value) {
    for (int y = 0; y < frame.height; ++y)
        std::fill_n(frame.pixels + y * (frame.pitch / 4), frame.width, value);
}

// The window's pixels as the renderer last put them, 0x00RRGGBB.
std::vector<uint32_t> WindowPixels(SdlScreen& screen, uint32_t windowId, int width, int height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    EXPECT_TRUE(screen.RunOnScreenThread([&] {
        SDL_Renderer* renderer = SDL_GetRenderer(SDL_GetWindowFromID(windowId));
        const SDL_Rect all{0, 0, width, height};
        EXPECT_EQ(
            SDL_RenderReadPixels(renderer, &all, SDL_PIXELFORMAT_RGB888, pixels.data(), width * 4),
            0)
            << SDL_GetError();
    }));
    return pixels;
}

// Once the screen has lent each slot its texture, frames are drawn straight
// into the textures' pixels (at their pitch), with no copy on the way; each
// frame still reaches the window whole, before and after a resize, with the
// overlay's visible part over it and the rest of the picture untouched.
TEST_F(SdlScreenTest, TrueColourFramesAreDrawnInTheirTexturesAndReachTheWindowWhole) {
    Open(true, false, true);
    auto* screen = static_cast<SdlScreen*>(screen_);
    const auto frames = [&](int count, uint32_t first) {
        for (int i = 0; i < count; ++i) {
            const uint64_t shown = platform_->Statistics().framesPresented;
            const TrueColourFrame frame = screen_->NextTrueColourFrame();
            Fill(frame, first + static_cast<uint32_t>(i));
            screen_->PresentTrueColour();
            // Each frame taken before the next, so that none is skipped.
            const auto until = std::chrono::steady_clock::now() + 2s;
            while (platform_->Statistics().framesPresented == shown &&
                   std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(1ms);
        }
    };
    frames(8, 0x00102030u);
    const uint64_t copied = screen->TrueColourPicturesCopied();
    EXPECT_LE(copied, 4u) << "the first frames only, before the textures are lent";
    frames(12, 0x00405060u);
    EXPECT_EQ(screen->TrueColourPicturesCopied(), copied) << "drawn in the textures";
    std::vector<uint32_t> shown = WindowPixels(*screen, window_, 64, 48);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), 0x00405060u + 11), 64 * 48);

    ASSERT_TRUE(screen->RunOnScreenThread(
        [&] { SDL_SetWindowSize(SDL_GetWindowFromID(window_), 100, 70); }));
    frames(10, 0x00708090u);
    EXPECT_EQ(screen_->NextTrueColourFrame().width, 100);
    screen_->PresentTrueColour();
    const uint64_t afterResize = screen->TrueColourPicturesCopied();
    // An opaque overlay pixel at (2, 1), drawn 2 x 2.
    OverlayImage overlay;
    overlay.width = 50;
    overlay.height = 35;
    overlay.scale = 2;
    overlay.pixels.assign(50 * 35, 0x00FFFFFFu);  // clear
    overlay.pixels[1 * 50 + 2] = 0xFFFF0000u;
    screen_->SetOverlay(overlay);
    frames(6, 0x00A0B0C0u);
    EXPECT_EQ(screen->TrueColourPicturesCopied(), afterResize) << "lent again at the new size";
    shown = WindowPixels(*screen, window_, 100, 70);
    const uint32_t last = 0x00A0B0C0u + 5;
    EXPECT_EQ(std::count(shown.begin(), shown.end(), last), 100 * 70 - 4);
    for (const auto& [x, y] : {std::pair{4, 2}, std::pair{5, 2}, std::pair{4, 3}, std::pair{5, 3}})
        EXPECT_EQ(shown[static_cast<size_t>(y) * 100 + x], 0x00FF0000u) << x << ", " << y;
}

// On the emulated screen's window, F11 is a key like any other.
TEST_F(SdlScreenTest, F11IsAKeyOnTheEmulatedScreensWindow) {
    Open(false);
    const std::vector<InputEvent> got = Through({Key(SDL_KEYDOWN, SDLK_F11)});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].code, SDLK_F11);
}

}  // namespace
