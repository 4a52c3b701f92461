// web_platform.cpp -- the page's canvas, its keys, clicks and taps, and the looping sound through
// Web Audio
#include "platform/web/web_platform.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/wave.h"

// The page's side of the platform, in JavaScript. The page may define
// Module.onFlyoverError(caption, text) and Module.onFlyoverSound(state) to
// show what happens; without them the console alone says it.
// clang-format off
EM_JS(void, flyover_web_canvas_size, (const char* selector, int width, int height), {
    const canvas = document.querySelector(UTF8ToString(selector));
    if (!canvas) return;
    canvas.width = width;
    canvas.height = height;
});

EM_JS(void, flyover_web_put_frame, (const char* selector, const uint8_t* rgba, int width, int height), {
    const name = UTF8ToString(selector);
    Module.flyoverContexts = Module.flyoverContexts || {};
    let context = Module.flyoverContexts[name];
    if (!context) {
        const canvas = document.querySelector(name);
        if (!canvas) return;
        context = Module.flyoverContexts[name] = canvas.getContext('2d', {alpha: false});
    }
    const pixels = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
    context.putImageData(new ImageData(pixels, width, height), 0, 0);
});

EM_JS(void, flyover_web_show_window, (const char* selector, const char* title), {
    document.title = UTF8ToString(title);
    const canvas = document.querySelector(UTF8ToString(selector));
    if (canvas) canvas.hidden = false;
});

EM_JS(void, flyover_web_set_icon, (const uint32_t* argb, int width, int height), {
    const canvas = document.createElement('canvas');
    canvas.width = width;
    canvas.height = height;
    const picture = new ImageData(width, height);
    for (let i = 0; i < width * height; ++i) {
        const p = HEAPU32[(argb >> 2) + i];
        picture.data[i * 4] = (p >>> 16) & 255;
        picture.data[i * 4 + 1] = (p >>> 8) & 255;
        picture.data[i * 4 + 2] = p & 255;
        picture.data[i * 4 + 3] = p >>> 24;
    }
    canvas.getContext('2d').putImageData(picture, 0, 0);
    let link = document.querySelector('link[rel="icon"]');
    if (!link) {
        link = document.createElement('link');
        link.rel = 'icon';
        document.head.appendChild(link);
    }
    link.href = canvas.toDataURL('image/png');
});

EM_JS(void, flyover_web_show_box, (const char* caption, const char* text), {
    if (Module.onFlyoverError) Module.onFlyoverError(UTF8ToString(caption), UTF8ToString(text));
});

// The clip as planar float samples; played once the page may make sound.
// Returns 1 when the browser has Web Audio.
EM_JS(int, flyover_web_sound_load, (const float* samples, int frames, int channels, int rate), {
    const AudioContextClass = window.AudioContext || window.webkitAudioContext;
    if (!AudioContextClass) return 0;
    const planes = [];
    for (let c = 0; c < channels; ++c)
        planes.push(HEAPF32.slice((samples >> 2) + c * frames, (samples >> 2) + (c + 1) * frames));
    const sound = Module.flyoverSound = Module.flyoverSound || {};
    if (sound.source) { sound.source.stop(); sound.source = null; }
    sound.clip = {planes: planes, frames: frames, rate: rate};
    const activationKinds = ['touchend', 'pointerup', 'mousedown', 'keydown'];
    const play = function() {
        if (!sound.clip || sound.source) return;
        if (!sound.context) sound.context = new AudioContextClass();
        const clip = sound.clip;
        const buffer = sound.context.createBuffer(clip.planes.length, clip.frames, clip.rate);
        clip.planes.forEach(function(plane, c) { buffer.copyToChannel(plane, c); });
        const source = sound.context.createBufferSource();
        source.buffer = buffer;
        source.loop = true;
        source.connect(sound.context.destination);
        source.start();
        sound.source = source;
        if (sound.context.state !== 'running') sound.context.resume();
        if (Module.onFlyoverSound) Module.onFlyoverSound('playing');
    };
    // Plays once the browser lets the page: at once within a press that lets
    // it, else at the first one that does (a tap's touchstart does not, its
    // touchend does).
    const playWhenLet = function() {
        if (!navigator.userActivation || navigator.userActivation.hasBeenActive) {
            activationKinds.forEach(function(kind) { removeEventListener(kind, playWhenLet, true); });
            play();
        }
    };
    sound.start = function() {
        sound.waiting = false;
        if (!navigator.userActivation || navigator.userActivation.hasBeenActive) {
            play();
            return;
        }
        activationKinds.forEach(function(kind) { addEventListener(kind, playWhenLet, true); });
    };
    // A page the person has already pressed something on may play at once.
    const active = navigator.userActivation ? navigator.userActivation.hasBeenActive : false;
    sound.waiting = !active;
    if (active) sound.start();
    else if (Module.onFlyoverSound) Module.onFlyoverSound('waiting');
    return 1;
});

EM_JS(int, flyover_web_sound_waiting, (), {
    return Module.flyoverSound && Module.flyoverSound.waiting ? 1 : 0;
});

EM_JS(void, flyover_web_sound_start, (), {
    if (Module.flyoverSound && Module.flyoverSound.waiting) Module.flyoverSound.start();
});

EM_JS(void, flyover_web_sound_stop, (), {
    const sound = Module.flyoverSound;
    if (!sound || !sound.clip) return;
    if (sound.source) sound.source.stop();
    sound.source = null;
    sound.clip = null;
    sound.waiting = false;
    if (Module.onFlyoverSound) Module.onFlyoverSound('stopped');
});
// clang-format on

namespace {

// The desktop's codes for the keys the program names (events.h); any other
// printable key is its lower-case character, as on the desktop.
struct NamedKey {
    const char* name;
    int32_t code;
};
constexpr NamedKey kNamedKeys[] = {
    {"Enter", keys::kReturn},
    {"Escape", keys::kEscape},
    {" ", keys::kSpace},
    {"Tab", keys::kTab},
    {"F1", keys::kF1},
    {"Home", keys::kHome},
    {"End", keys::kEnd},
    {"ArrowRight", keys::kRight},
    {"ArrowLeft", keys::kLeft},
    {"ArrowDown", keys::kDown},
    {"ArrowUp", keys::kUp},
    {"PageUp", keys::kPageUp},
    {"PageDown", keys::kPageDown},
    {"Shift", keys::kLeftShift},
};

int32_t KeyCode(const EmscriptenKeyboardEvent& event) {
    for (const NamedKey& key : kNamedKeys)
        if (std::strcmp(event.key, key.name) == 0) return key.code;
    const unsigned char first = static_cast<unsigned char>(event.key[0]);
    if (first != 0 && event.key[1] == 0) return std::tolower(first);
    return static_cast<int32_t>(event.keyCode) | 0x40000000;  // some other key
}

// A position on the canvas in CSS pixels, in screen pixels.
void ScreenPosition(const std::string& canvas, const FrameBuffer& frame, double cssX, double cssY,
                    InputEvent& event) {
    double width = 0, height = 0;
    emscripten_get_element_css_size(canvas.c_str(), &width, &height);
    event.x = width > 0 ? static_cast<int32_t>(cssX * frame.Width() / width) : 0;
    event.y = height > 0 ? static_cast<int32_t>(cssY * frame.Height() / height) : 0;
}

// Whether the page keeps a key from the browser while keys are taken.
bool Taken(const EmscriptenKeyboardEvent& key) {
    if (key.ctrlKey || key.altKey || key.metaKey) return false;
    const bool function = key.key[0] == 'F' && std::isdigit(static_cast<unsigned char>(key.key[1]));
    return !function || std::strcmp(key.key, "F1") == 0;
}

// The standard mapping's buttons, as the desktop's game controllers number them.
struct PadButton {
    int index;
    int32_t code;
};
constexpr PadButton kPadButtons[] = {
    {0, controller::kA},
    {1, controller::kB},
    {2, controller::kX},
    {3, controller::kY},
    {4, controller::kLeftShoulder},
    {5, controller::kRightShoulder},
    {8, controller::kBack},
    {9, controller::kStart},
    {12, controller::kDpadUp},
    {13, controller::kDpadDown},
    {14, controller::kDpadLeft},
    {15, controller::kDpadRight},
};

WebPlatform* Owner(void* data) {
    return static_cast<WebPlatform*>(data);
}

}  // namespace

WebScreen::WebScreen(const DisplayShape& shape, std::string canvas)
    : frame_(shape), canvas_(std::move(canvas)) {
    rgba_.resize(static_cast<size_t>(shape.width) * static_cast<size_t>(shape.height) * 4);
    SizeCanvas(shape.width, shape.height);
}

// Resizing a canvas clears it, so it is resized only when its size changes.
void WebScreen::SizeCanvas(int width, int height) {
    if (width == canvasWidth_ && height == canvasHeight_) return;
    canvasWidth_ = width;
    canvasHeight_ = height;
    flyover_web_canvas_size(canvas_.c_str(), width, height);
}

// The overlay over the picture's top left, ARGB8888 blended by its alpha as
// the desktop's window blends it, each of its pixels scale x scale.
void WebScreen::BlendOverlay(int width, int height, int scale) {
    const bool whole =
        !overlay_.Empty() && overlay_.pixels.size() == static_cast<size_t>(overlay_.width) *
                                                           static_cast<size_t>(overlay_.height);
    if (!whole) return;
    const int w = std::min(overlay_.width * scale, width);
    const int h = std::min(overlay_.height * scale, height);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t p =
                overlay_.pixels[static_cast<size_t>((y / scale) * overlay_.width + x / scale)];
            const uint32_t a = p >> 24;
            if (a == 0) continue;
            uint8_t* out = &rgba_[(static_cast<size_t>(y) * static_cast<size_t>(width) +
                                   static_cast<size_t>(x)) *
                                  4];
            for (int k = 0; k < 3; ++k) {
                const uint32_t src = (p >> (16 - 8 * k)) & 0xFF;
                out[k] = static_cast<uint8_t>((src * a + out[k] * (255 - a) + 127) / 255);
            }
        }
    }
}

void WebScreen::Present() {
    const std::vector<uint16_t> pixels = frame_.ScreenPixels();
    rgba_.resize(pixels.size() * 4);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const uint32_t p = pixels[i];
        const uint32_t r5 = p >> 11, g6 = (p >> 5) & 0x3F, b5 = p & 0x1F;
        rgba_[i * 4] = static_cast<uint8_t>((r5 << 3) | (r5 >> 2));
        rgba_[i * 4 + 1] = static_cast<uint8_t>((g6 << 2) | (g6 >> 4));
        rgba_[i * 4 + 2] = static_cast<uint8_t>((b5 << 3) | (b5 >> 2));
        rgba_[i * 4 + 3] = 255;
    }
    BlendOverlay(frame_.Width(), frame_.Height(), 1);
    SizeCanvas(frame_.Width(), frame_.Height());
    flyover_web_put_frame(canvas_.c_str(), rgba_.data(), frame_.Width(), frame_.Height());
}

void WebScreen::PutTrueColour(const uint32_t* xrgb, int width, int height) {
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    rgba_.resize(count * 4);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = xrgb[i];
        rgba_[i * 4] = static_cast<uint8_t>(p >> 16);
        rgba_[i * 4 + 1] = static_cast<uint8_t>(p >> 8);
        rgba_[i * 4 + 2] = static_cast<uint8_t>(p);
        rgba_[i * 4 + 3] = 255;
    }
    BlendOverlay(width, height, std::max(1, overlay_.scale));
    SizeCanvas(width, height);
    flyover_web_put_frame(canvas_.c_str(), rgba_.data(), width, height);
}

bool WebScreen::ShowWindow(const std::string& title) {
    flyover_web_show_window(canvas_.c_str(), title.c_str());
    return true;
}

void WebScreen::SetWindowIcon(const WindowIcon& icon) {
    if (icon.Empty()) return;
    flyover_web_set_icon(icon.pixels.data(), icon.width, icon.height);
}

WebPlatform::WebPlatform(std::optional<DisplayShape> shape, std::string canvas)
    : shape_(shape), canvas_(std::move(canvas)) {}

WebPlatform::~WebPlatform() {
    if (!listening_) return;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, true, nullptr);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, true, nullptr);
    emscripten_set_mousedown_callback(canvas_.c_str(), nullptr, true, nullptr);
    emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, true, nullptr);
    emscripten_set_mousemove_callback(canvas_.c_str(), nullptr, true, nullptr);
    emscripten_set_touchstart_callback(canvas_.c_str(), nullptr, true, nullptr);
    emscripten_set_touchmove_callback(canvas_.c_str(), nullptr, true, nullptr);
}

Screen* WebPlatform::OpenScreen() {
    if (!screen_ && shape_) {
        screen_ = std::make_unique<WebScreen>(*shape_, canvas_);
        ListenForInput();
    }
    return screen_.get();
}

void WebPlatform::ListenForInput() {
    listening_ = true;
    // Keys anywhere on the page. A key the page does not take for itself is
    // left to the browser (reload, developer tools), as the desktop leaves
    // its shortcuts to the window manager.
    emscripten_set_keydown_callback(
        EMSCRIPTEN_EVENT_TARGET_WINDOW, this, true,
        [](int, const EmscriptenKeyboardEvent* key, void* data) -> EM_BOOL {
            InputEvent event;
            event.kind = EventKind::KeyDown;
            event.code = KeyCode(*key);
            event.repeat = key->repeat != 0;
            Owner(data)->PostPress(event);
            return Owner(data)->keysTaken_ && Taken(*key) ? EM_TRUE : EM_FALSE;
        });
    emscripten_set_keyup_callback(
        EMSCRIPTEN_EVENT_TARGET_WINDOW, this, true,
        [](int, const EmscriptenKeyboardEvent* key, void* data) -> EM_BOOL {
            InputEvent event;
            event.kind = EventKind::KeyUp;
            event.code = KeyCode(*key);
            Owner(data)->Events().Post(event);
            return Owner(data)->keysTaken_ && Taken(*key) ? EM_TRUE : EM_FALSE;
        });
    // The pointer's motion over the canvas, with the buttons held (bit
    // button - 1, as on the desktop), and a button let go anywhere.
    emscripten_set_mousemove_callback(
        canvas_.c_str(), this, true,
        [](int, const EmscriptenMouseEvent* mouse, void* data) -> EM_BOOL {
            WebPlatform& owner = *Owner(data);
            InputEvent event;
            event.kind = EventKind::PointerMotion;
            ScreenPosition(owner.canvas_, owner.screen_->Frame(), mouse->targetX, mouse->targetY,
                           event);
            InputEvent moved;
            ScreenPosition(owner.canvas_, owner.screen_->Frame(), mouse->movementX,
                           mouse->movementY, moved);
            event.dx = moved.x;
            event.dy = moved.y;
            // The browser's bits: 1 left, 2 right, 4 middle.
            event.buttons = ((mouse->buttons & 1u) ? 1u : 0u) | ((mouse->buttons & 4u) ? 2u : 0u) |
                            ((mouse->buttons & 2u) ? 4u : 0u);
            owner.Events().Post(event);
            return EM_FALSE;
        });
    emscripten_set_mouseup_callback(
        EMSCRIPTEN_EVENT_TARGET_WINDOW, this, true,
        [](int, const EmscriptenMouseEvent* mouse, void* data) -> EM_BOOL {
            InputEvent event;
            event.kind = EventKind::ButtonUp;
            event.code = mouse->button == 1   ? kMiddleButton
                         : mouse->button == 2 ? kRightButton
                                              : kLeftButton;
            Owner(data)->Events().Post(event);
            return EM_FALSE;
        });
    // Presses on the canvas, with the button numbered as the desktop does.
    emscripten_set_mousedown_callback(
        canvas_.c_str(), this, true,
        [](int, const EmscriptenMouseEvent* mouse, void* data) -> EM_BOOL {
            WebPlatform& owner = *Owner(data);
            InputEvent event;
            event.kind = EventKind::ButtonDown;
            event.code = mouse->button == 1   ? kMiddleButton
                         : mouse->button == 2 ? kRightButton
                                              : kLeftButton;
            ScreenPosition(owner.canvas_, owner.screen_->Frame(), mouse->targetX, mouse->targetY,
                           event);
            owner.PostPress(event);
            return EM_TRUE;
        });
    // A tap is a left-button press where the finger landed; the browser's
    // own mouse press that would follow it is held back.
    emscripten_set_touchstart_callback(
        canvas_.c_str(), this, true,
        [](int, const EmscriptenTouchEvent* touch, void* data) -> EM_BOOL {
            WebPlatform& owner = *Owner(data);
            for (int i = 0; i < touch->numTouches; ++i) {
                if (!touch->touches[i].isChanged) continue;
                InputEvent event;
                event.kind = EventKind::ButtonDown;
                event.code = kLeftButton;
                ScreenPosition(owner.canvas_, owner.screen_->Frame(), touch->touches[i].targetX,
                               touch->touches[i].targetY, event);
                owner.touchX_ = event.x;
                owner.touchY_ = event.y;
                owner.PostPress(event);
                break;
            }
            return EM_TRUE;
        });
    // A finger moving over the canvas drags as the left button does.
    emscripten_set_touchmove_callback(
        canvas_.c_str(), this, true,
        [](int, const EmscriptenTouchEvent* touch, void* data) -> EM_BOOL {
            WebPlatform& owner = *Owner(data);
            for (int i = 0; i < touch->numTouches; ++i) {
                if (!touch->touches[i].isChanged) continue;
                InputEvent event;
                event.kind = EventKind::PointerMotion;
                ScreenPosition(owner.canvas_, owner.screen_->Frame(), touch->touches[i].targetX,
                               touch->touches[i].targetY, event);
                event.dx = event.x - owner.touchX_;
                event.dy = event.y - owner.touchY_;
                event.buttons = 1;
                owner.touchX_ = event.x;
                owner.touchY_ = event.y;
                owner.Events().Post(event);
                break;
            }
            return EM_TRUE;
        });
}

void WebPlatform::PostPress(const InputEvent& event) {
    if (flyover_web_sound_waiting()) {
        flyover_web_sound_start();
        return;
    }
    Events().Post(event);
}

void WebPlatform::LetSoundPlay() {
    if (flyover_web_sound_waiting()) flyover_web_sound_start();
}

void WebPlatform::PostKey(int32_t code, bool down) {
    InputEvent event;
    event.kind = down ? EventKind::KeyDown : EventKind::KeyUp;
    event.code = code;
    Events().Post(event);
}

void WebPlatform::PollGamepads() {
    if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) return;
    const int count = std::max(0, emscripten_get_num_gamepads());
    if (pads_.size() < static_cast<size_t>(count)) pads_.resize(static_cast<size_t>(count));
    for (size_t i = 0; i < pads_.size(); ++i) {
        EmscriptenGamepadEvent state{};
        const bool connected = static_cast<int>(i) < count &&
                               emscripten_get_gamepad_status(static_cast<int>(i), &state) ==
                                   EMSCRIPTEN_RESULT_SUCCESS &&
                               state.connected;
        Pad& pad = pads_[i];
        InputEvent event;
        event.controller = static_cast<int32_t>(i);
        if (connected != pad.connected) {
            event.kind = connected ? EventKind::ControllerAdded : EventKind::ControllerRemoved;
            Events().Post(event);
            pad = Pad{};
            pad.connected = connected;
        }
        if (!connected) continue;
        for (const PadButton& button : kPadButtons) {
            const bool down = button.index < state.numButtons && state.digitalButton[button.index];
            const uint32_t bit = 1u << button.code;
            if (down == ((pad.buttons & bit) != 0)) continue;
            pad.buttons ^= bit;
            event.kind = down ? EventKind::ControllerButtonDown : EventKind::ControllerButtonUp;
            event.code = button.code;
            Events().Post(event);
        }
        // The sticks' four axes, then the triggers, which the standard
        // mapping gives as analogue buttons 6 and 7.
        for (int axis = 0; axis < controller::kAxisCount; ++axis) {
            double value = 0;
            if (axis < 4 && axis < state.numAxes) value = state.axis[axis];
            const int trigger = axis == controller::kLeftTrigger ? 6 : 7;
            if (axis >= 4 && trigger < state.numButtons) value = state.analogButton[trigger];
            const int32_t scaled = static_cast<int32_t>(std::clamp(value, -1.0, 1.0) * 32767.0);
            if (scaled == pad.axes[axis]) continue;
            pad.axes[axis] = scaled;
            event.kind = EventKind::ControllerAxis;
            event.code = axis;
            event.value = scaled;
            Events().Post(event);
        }
    }
}

bool WebPlatform::PlayLoopingSound(const uint8_t* wave, size_t size) {
    StopSound();
    WaveClip clip;
    std::string error;
    if (!ParseWave(wave, size, clip, error)) return false;
    const int bytesPerSample = clip.bitsPerSample / 8;
    const size_t frames = clip.size / static_cast<size_t>(bytesPerSample * clip.channels);
    std::vector<float> planes(frames * static_cast<size_t>(clip.channels));
    for (size_t f = 0; f < frames; ++f) {
        for (int c = 0; c < clip.channels; ++c) {
            const uint8_t* s =
                clip.samples + (f * static_cast<size_t>(clip.channels) + static_cast<size_t>(c)) *
                                   static_cast<size_t>(bytesPerSample);
            const float value =
                bytesPerSample == 1
                    ? (static_cast<float>(s[0]) - 128.0f) / 128.0f
                    : static_cast<float>(static_cast<int16_t>(s[0] | (s[1] << 8))) / 32768.0f;
            planes[static_cast<size_t>(c) * frames + f] = value;
        }
    }
    return flyover_web_sound_load(planes.data(), static_cast<int>(frames), clip.channels,
                                  clip.sampleRate) != 0;
}

void WebPlatform::StopSound() {
    flyover_web_sound_stop();
}

int64_t WebPlatform::ClockMicroseconds() {
    return static_cast<int64_t>(emscripten_get_now() * 1000.0);
}

void WebPlatform::ShowBox(const std::string& text, const std::string& caption) {
    flyover_web_show_box(caption.c_str(), text.c_str());
}
