// sdl_sound.h -- a WAVE clip played round and round on SDL's audio
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/wave.h"

// One looping clip at a time, fed to the audio device from SDL's audio
// thread. Main thread.
class SdlSound {
public:
    ~SdlSound() { Stop(); }

    // Stops the current loop, then plays `wave` (a RIFF WAVE file that must
    // stay alive until stopped) round and round without a gap. False,
    // silently, when it is no PCM WAVE or no audio device can be opened
    // (SDL_AUDIODRIVER chooses SDL's driver).
    bool PlayLooping(const uint8_t* wave, size_t size);
    // Stops the loop, if one plays, and closes the audio device; returns
    // once the audio thread has stopped.
    void Stop();
    bool Playing() const { return device_ != 0; }

private:
    // Read by SDL's audio thread between the device's opening and its
    // closing, which orders every access.
    struct Loop {
        WaveClip clip;
        size_t position = 0;  // audio thread only
    };
    static void SDLCALL Feed(void* userdata, Uint8* stream, int length);

    SDL_AudioDeviceID device_ = 0;
    std::unique_ptr<Loop> loop_;
};
