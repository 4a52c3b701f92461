// resources.h -- the program's built-in resources (the looping WAVE sound 107)
#pragma once

#include <cstddef>
#include <cstdint>

// A resource's bytes, alive for the whole run; empty (null, 0) when missing.
struct ResourceData {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// The identifier of the background sound, a RIFF WAVE file of type "WAVE".
constexpr int kBackgroundSoundId = 107;

// Looks a resource up by identifier and type name ("WAVE"), as the sound
// player does at start-up.
ResourceData FindResource(int id, const char* type);
