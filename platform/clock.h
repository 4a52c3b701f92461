// clock.h -- pauses of the calling thread (the time itself is the platform's: Platform::TickCount)
#pragma once

#include <cstdint>

// Pauses the calling thread for at least `ms` milliseconds. Nothing else
// happens meanwhile: the screen is served by a thread of its own.
void Pause(uint32_t ms);
