// events.h -- input events (keys, buttons, pointer, game controllers, close requests) and the
// queue that carries them to the program
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>

enum class EventKind {
    KeyDown,            // a key went down (or repeats while held: `repeat`)
    KeyUp,              // a key was released
    ButtonDown,         // a pointer button went down, or the screen was tapped
    ButtonUp,           // a pointer button was released
    PointerMotion,      // the pointer moved over the screen
    CloseRequest,       // the window is asked to close (the desktop, or the program itself)
    ControllerAdded,    // a game controller was plugged in
    ControllerRemoved,  // a game controller went away
    ControllerButtonDown,
    ControllerButtonUp,
    ControllerAxis,  // a stick or trigger moved
};

// Key codes of the keys the program names; other keys have codes of their
// own (a printable key's code is its lower-case character).
namespace keys {
enum : int32_t {
    kReturn = '\r',
    kEscape = 27,
    kSpace = ' ',
    kTab = '\t',
    kF1 = 0x4000003A,
    kHome = 0x4000004A,
    kEnd = 0x4000004D,
    kKeypadPlus = 0x40000057,
    kKeypadMinus = 0x40000056,
    kRight = 0x4000004F,
    kLeft = 0x40000050,
    kDown = 0x40000051,
    kUp = 0x40000052,
    kPageUp = 0x4000004B,
    kPageDown = 0x4000004E,
    kLeftShift = 0x400000E1,
    kRightShift = 0x400000E5,
};
}  // namespace keys

// Game controllers' buttons and axes (ControllerButton*, ControllerAxis
// codes), as SDL's game-controller interface numbers them.
namespace controller {
enum : int32_t {
    kA = 0,
    kB = 1,
    kX = 2,
    kY = 3,
    kBack = 4,
    kStart = 6,
    kLeftShoulder = 9,
    kRightShoulder = 10,
    kDpadUp = 11,
    kDpadDown = 12,
    kDpadLeft = 13,
    kDpadRight = 14,
};
enum : int32_t {
    kLeftX = 0,
    kLeftY = 1,
    kRightX = 2,
    kRightY = 3,
    kLeftTrigger = 4,
    kRightTrigger = 5,
    kAxisCount = 6,
};
}  // namespace controller

// Pointer buttons.
constexpr int32_t kLeftButton = 1;  // also a tap on a touch screen
constexpr int32_t kMiddleButton = 2;
constexpr int32_t kRightButton = 3;

// One input event. Which fields mean something depends on the kind.
struct InputEvent {
    EventKind kind = EventKind::CloseRequest;
    int32_t code = 0;     // Key*: the key; Button*: the button; Controller{Button,Axis}: which one
    bool repeat = false;  // KeyDown: repeated by the keyboard while the key is held
    int32_t x = 0;        // Button*, PointerMotion: where, in screen pixels from the top left
    int32_t y = 0;
    int32_t dx = 0;  // PointerMotion: how far since the last motion, in screen pixels
    int32_t dy = 0;
    uint32_t buttons = 0;    // PointerMotion: held buttons, bit (button - 1) each
    int32_t value = 0;       // ControllerAxis: -32768 .. 32767 (triggers 0 .. 32767)
    int32_t controller = 0;  // Controller*: which controller
    uint32_t time = 0;       // the tick count (ms) when the event was queued
};

// The program's input, in the order it arrived, from any thread to the one
// thread that takes it (the main thread). A quit request overtakes
// everything queued: the next take after PostQuit ends the taking, as a
// program's message loop ends at its quit message whatever is still queued.
class EventQueue {
public:
    // `tickCount` stamps each event (a platform's queue uses its TickCount);
    // without one, events are stamped 0.
    explicit EventQueue(std::function<uint32_t()> tickCount = {}) : tickCount_(std::move(tickCount)) {}

    // Any thread: queues `event`, stamped with the tick count, and wakes the taker.
    void Post(InputEvent event);
    // Any thread: makes the next Take return false with `exitCode`.
    void PostQuit(int exitCode);

    // The taking thread: waits for the next event. Returns false, with the
    // code of the quit request in `exitCode`, when a quit request is pending
    // (it is taken once); true with the event otherwise.
    bool Take(InputEvent& event, int& exitCode);
    // The taking thread: the next event without waiting; false when none is
    // queued or a quit request is pending (which stays pending).
    bool Poll(InputEvent& event);

    // Drops every queued event and a pending quit request (for tests, and
    // for a program that runs its loop again).
    void Clear();

private:
    std::function<uint32_t()> tickCount_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<InputEvent> queue_;  // guarded by mutex_
    bool quitPending_ = false;      // guarded by mutex_
    int quitCode_ = 0;              // guarded by mutex_
};
