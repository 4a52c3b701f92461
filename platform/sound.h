// sound.h -- playing the program's WAVE resource in a loop, as the handheld's PlaySound does
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"

// PlaySound flags (the handheld's values).
constexpr DWORD SND_SYNC = 0x0;
constexpr DWORD SND_ASYNC = 0x1;
constexpr DWORD SND_NODEFAULT = 0x2;
constexpr DWORD SND_LOOP = 0x8;
constexpr DWORD SND_RESOURCE = 0x40004;

// A resource identifier passed where a name is expected.
inline const char* MAKEINTRESOURCE(int id) {
    return reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<uint16_t>(id)));
}
inline bool IS_INTRESOURCE(const char* name) {
    return reinterpret_cast<uintptr_t>(name) >> 16 == 0;
}

// Called by the start-up sequence with MAKEINTRESOURCE(107), the program's
// module and SND_RESOURCE | SND_ASYNC | SND_LOOP (SND_NODEFAULT may be added):
// starts the WAVE resource playing round and round without a gap, and
// returns at once. Called at the end with a null sound: stops whatever
// plays. Returns FALSE, silently and without sound, when the resource is
// missing or not a PCM WAVE, or when no audio device can be opened
// (SDL_AUDIODRIVER chooses SDL's driver). Other kinds of call are refused
// loudly. Main thread.
BOOL PlaySound(const char* sound, HINSTANCE module, DWORD flags);

// What PlaySound does with the resource's bytes: stops the current loop,
// then plays `wave` (a RIFF WAVE file that must stay alive until stopped)
// in a loop. Tests call it with clips of their own.
BOOL PlayLoopingWave(const uint8_t* wave, size_t size);
// Stops the loop, if one plays, and closes the audio device.
void StopLoopingWave();
// Whether a loop is playing.
bool LoopingWavePlaying();
