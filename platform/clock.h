// clock.h -- the millisecond tick count and pauses
#pragma once

#include <cstdint>

// Milliseconds since an arbitrary start, 32 bits, wrapping after about 49.7
// days as the handheld's counter does. Called by the frame loop on the render
// thread; safe from any thread.
uint32_t TickCount();

// Pauses the calling thread for at least `ms` milliseconds. Nothing else
// happens meanwhile: the screen is served by a thread of its own.
void Pause(uint32_t ms);

// For tests: makes TickCount return `tick` at this instant and count on from
// there, so that the counter's wrap can be reached in milliseconds.
void SetTickCountForTesting(uint32_t tick);
