// platform.h -- what the program needs of the system: a screen, input, a looping sound, an error
// box
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/events.h"
#include "platform/screen.h"

// The services of one system the program runs on. One implementation puts
// them on the desktop through SDL (platform/sdl), the other keeps everything
// in memory for tools and tests (platform/headless). The program's entry
// chooses one; everything above this interface is the same for both. The
// tick count, pauses and the program's directory are the same on every
// platform (clock.h, files.h).
class Platform {
public:
    virtual ~Platform() = default;

    // Called once on the main thread, first of all: gains the display. Null
    // when no display can be had (the reason on stderr). The screen belongs
    // to the platform; later calls return the same screen.
    virtual Screen* OpenScreen() = 0;

    // Called on the main thread: plays `wave`, a RIFF WAVE file of PCM that
    // must stay alive until StopSound, round and round without a gap, and
    // returns at once. False, silently and without sound, when the clip
    // cannot be played or no audio device can be opened.
    virtual bool PlayLoopingSound(const uint8_t* wave, size_t size) = 0;
    // Stops the sound, if one plays.
    virtual void StopSound() = 0;

    // Called on the main thread: writes "caption: text" (just "text" when
    // the caption is empty) to stderr, then shows a modal box with an OK
    // button, owned by no window, where the platform can show one; returns
    // once it is dismissed. Control characters are shown escaped ("\x1b")
    // in both.
    void ShowErrorBox(const std::string& text, const std::string& caption);

    // The program's one clock. Any thread: microseconds since an arbitrary
    // start, never going back. The system's steady clock, unless a platform
    // runs a clock of its own (the headless platform can start it anywhere
    // and step it by a frame at each present, so that a loop runs the same in
    // every test).
    virtual int64_t ClockMicroseconds();
    // Any thread: the same clock in milliseconds, 32 bits, wrapping after
    // about 49.7 days as the handheld's tick counter does. The demo's frame
    // loop times the flight with it; input events are stamped with it.
    uint32_t TickCount() { return static_cast<uint32_t>(static_cast<uint64_t>(ClockMicroseconds() / 1000)); }
    // Called by a frame loop: returns once ClockMicroseconds() has reached
    // `clockMicroseconds` (at once when it has). A platform whose clock is
    // its own returns at once and lets its clock move as it does.
    virtual void WaitUntil(int64_t clockMicroseconds);

    // The program's input: the screen's window posts to it from the
    // platform's own threads; any thread may post to it.
    EventQueue& Events() { return events_; }

protected:
    // Shows the box of ShowErrorBox, after the line on stderr.
    virtual void ShowBox(const std::string& text, const std::string& caption) = 0;

private:
    EventQueue events_{[this] { return TickCount(); }};
};
