// sdl_sound.cpp -- PlaySound on SDL audio: the clip is fed to the device from an audio callback,
// wrapping seamlessly
#include <SDL.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/sound.h"
#include "platform/unsupported.h"
#include "platform/wave.h"
#include "resources/resources.h"

namespace {

// Owned by the main thread; read by SDL's audio thread between the device's
// opening and its closing, which orders every access.
struct LoopState {
    WaveClip clip;
    size_t position = 0;  // audio thread only
};

// Sample frames per device buffer, about 6 ms at 11025 Hz. Closing the
// device waits for the buffer in progress and two more for draining, so this
// bounds how long stopping the sound takes (under 20 ms), and with it how
// soon the demo is gone after a key press.
constexpr Uint16 kBufferFrames = 64;

SDL_AudioDeviceID device = 0;
std::unique_ptr<LoopState> loop;

void SDLCALL FeedLoop(void* userdata, Uint8* stream, int length) {
    auto* state = static_cast<LoopState*>(userdata);
    FillLooping(state->clip.samples, state->clip.size, state->position, stream,
                static_cast<size_t>(length));
}

}  // namespace

BOOL PlayLoopingWave(const uint8_t* wave, size_t size) {
    StopLoopingWave();
    auto state = std::make_unique<LoopState>();
    std::string error;
    if (!ParseWave(wave, size, state->clip, error)) return FALSE;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return FALSE;
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = state->clip.sampleRate;
    want.format = state->clip.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = static_cast<Uint8>(state->clip.channels);
    want.samples = kBufferFrames;
    want.callback = FeedLoop;
    want.userdata = state.get();
    SDL_AudioSpec have;
    // No changes allowed: SDL converts to whatever the device needs.
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return FALSE;
    }
    loop = std::move(state);
    SDL_PauseAudioDevice(device, 0);
    return TRUE;
}

void StopLoopingWave() {
    if (device == 0) return;
    SDL_CloseAudioDevice(device);  // returns once the audio thread has stopped
    device = 0;
    loop.reset();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool LoopingWavePlaying() {
    return device != 0;
}

BOOL PlaySound(const char* sound, HINSTANCE /*module*/, DWORD flags) {
    if (!sound) {
        StopLoopingWave();
        return TRUE;
    }
    if ((flags & ~SND_NODEFAULT) != (SND_RESOURCE | SND_ASYNC | SND_LOOP))
        PlatformUnsupported("PlaySound flags (only a looping resource played asynchronously)");
    if (!IS_INTRESOURCE(sound)) PlatformUnsupported("PlaySound resource by name");
    const int id = static_cast<int>(reinterpret_cast<uintptr_t>(sound));
    const ResourceData resource = FindResource(id, "WAVE");
    if (!resource.data || resource.size == 0) return FALSE;
    return PlayLoopingWave(resource.data, resource.size);
}
