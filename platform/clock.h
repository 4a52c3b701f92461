// clock.h -- the millisecond tick count and pauses
#pragma once

#include <cstdint>

// Milliseconds since an arbitrary start, 32 bits, wrapping after about 49.7
// days as the handheld's counter does. Called by the frame loop on the render
// thread; safe from any thread.
uint32_t GetTickCount();

// Pauses the calling thread for about `ms` milliseconds. On the main thread
// of a windowed program the pause also keeps the screen refreshed: finished
// frames are still shown and arriving input is queued as messages, just as
// the handheld's display and input keep working while a program sleeps.
void Sleep(uint32_t ms);

// For tests: makes GetTickCount return `tick` at this instant and count on
// from there, so that the counter's wrap can be reached in milliseconds.
void SetTickCountForTesting(uint32_t tick);
