// web_platform.h -- the platform of the demo as a web page: a canvas, the page's input, Web Audio
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/frame_buffer.h"
#include "platform/platform.h"

// A screen whose frame buffer is a memory copy that Present puts on the
// page's canvas (the canvas is the screen's size; the page scales it by CSS,
// nearest neighbour). Single-threaded: the page draws, presents and takes
// input on the browser's main thread.
class WebScreen final : public Screen {
public:
    // `canvas` is the CSS selector of the page's canvas ("#screen").
    WebScreen(const DisplayShape& shape, std::string canvas);

    GXDisplayProperties Properties() const override { return FramePropertiesOf(frame_); }
    uint16_t* TopLeft() override { return frame_.TopLeft(); }
    bool IsMemoryCopy() const override { return true; }
    void BeginFrame() override {}
    // Converts the frame to RGBA, as the tool's PNG writer widens RGB565,
    // and puts it on the canvas. The browser shows it at its next paint.
    void Present() override;
    // Kept for the page's own use; the demo sets none.
    void SetOverlay(const OverlayImage& overlay) override { overlay_ = overlay; }
    // Sets the page's title and shows the canvas.
    bool ShowWindow(const std::string& title) override;
    // Becomes the page's icon (its favicon).
    void SetWindowIcon(const WindowIcon& icon) override;

    // Puts a true-colour picture (XRGB8888, width x height, rows packed) on
    // the canvas instead of the frame buffer, the canvas taking the
    // picture's size, with the overlay over it (each overlay pixel
    // overlay.scale pixels square). The next Present gives the canvas back
    // to the frame buffer's size.
    void PutTrueColour(const uint32_t* xrgb, int width, int height);

    const FrameBuffer& Frame() const { return frame_; }
    const std::string& Canvas() const { return canvas_; }

private:
    void SizeCanvas(int width, int height);
    void BlendOverlay(int width, int height, int scale);

    FrameBuffer frame_;
    std::string canvas_;
    std::vector<uint8_t> rgba_;  // the picture as the canvas takes it
    OverlayImage overlay_;
    int canvasWidth_ = 0, canvasHeight_ = 0;
};

// The page's platform. Keys anywhere on the page, and presses and taps on
// the canvas, are posted to Events() as the desktop's are; the looping
// sound plays through Web Audio once the browser lets it.
class WebPlatform final : public Platform {
public:
    // Without a shape the page has no display: OpenScreen fails.
    WebPlatform(std::optional<DisplayShape> shape, std::string canvas);
    ~WebPlatform() override;

    Screen* OpenScreen() override;
    // Browsers hold sound back until the person has pressed something on
    // the page. Until then the clip waits, and the first press (key, click
    // or tap) lets it play and is taken for that alone; every later press
    // is the program's. True when the clip was read and the browser has Web
    // Audio.
    bool PlayLoopingSound(const uint8_t* wave, size_t size) override;
    void StopSound() override;
    // The page's monotonic clock (performance.now), in microseconds.
    int64_t ClockMicroseconds() override;

    WebScreen* OpenedScreen() { return screen_.get(); }

    // While set, the keys the page takes are kept from the browser (Tab,
    // the arrows and Space would move the focus or scroll the page); keys
    // with Ctrl, Alt or Meta and the function keys but F1 are left to it.
    void SetKeysTaken(bool taken) { keysTaken_ = taken; }
    // A press outside the canvas (a page button) lets the waiting sound play.
    void LetSoundPlay();
    // Reads the page's game pads (the HTML5 gamepad API, standard mapping)
    // and posts what changed since the last call as the desktop's game
    // controllers' events. Called once per animation frame.
    void PollGamepads();
    // Posts a key going down or up as the keyboard would (the page's
    // on-screen touch controls).
    void PostKey(int32_t code, bool down);

protected:
    // Shows the message in the page, over the canvas.
    void ShowBox(const std::string& text, const std::string& caption) override;

private:
    // Posts a press, unless it is the one that lets the waiting sound play.
    void PostPress(const InputEvent& event);
    void ListenForInput();

    std::optional<DisplayShape> shape_;
    std::string canvas_;
    std::unique_ptr<WebScreen> screen_;
    bool listening_ = false;
    bool keysTaken_ = false;
    // A touch's last place on the canvas (screen pixels), for its motion.
    int32_t touchX_ = 0, touchY_ = 0;
    // The game pads as last posted: per pad, its buttons and axes.
    struct Pad {
        bool connected = false;
        uint32_t buttons = 0;  // bit per controller:: button
        int32_t axes[6] = {};  // per controller:: axis
    };
    std::vector<Pad> pads_;
};
