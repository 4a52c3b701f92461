// sdl_sound.cpp -- the looping clip on SDL audio: fed from the audio callback, wrapping seamlessly
#include "platform/sdl/sdl_sound.h"

#include <string>

namespace {

// Sample frames per device buffer, about 6 ms at 11025 Hz. Closing the
// device waits for the buffer in progress and two more for draining, so this
// bounds how long stopping the sound takes (under 20 ms), and with it how
// soon the demo is gone after a key press.
constexpr Uint16 kBufferFrames = 64;

}  // namespace

void SDLCALL SdlSound::Feed(void* userdata, Uint8* stream, int length) {
    auto* loop = static_cast<Loop*>(userdata);
    FillLooping(loop->clip.samples, loop->clip.size, loop->position, stream,
                static_cast<size_t>(length));
}

bool SdlSound::PlayLooping(const uint8_t* wave, size_t size) {
    Stop();
    auto loop = std::make_unique<Loop>();
    std::string error;
    if (!ParseWave(wave, size, loop->clip, error)) return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = loop->clip.sampleRate;
    want.format = loop->clip.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = static_cast<Uint8>(loop->clip.channels);
    want.samples = kBufferFrames;
    want.callback = Feed;
    want.userdata = loop.get();
    SDL_AudioSpec have;
    // No changes allowed: SDL converts to whatever the device needs.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    loop_ = std::move(loop);
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void SdlSound::Stop() {
    if (device_ == 0) return;
    SDL_CloseAudioDevice(device_);  // returns once the audio thread has stopped
    device_ = 0;
    loop_.reset();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
