// sound.h -- the background sound: a soft synthesized pad with bells, looping seamlessly
#pragma once

#include <cstdint>
#include <vector>

constexpr int kSoundRate = 11025;         // samples per second
constexpr int kSoundLoopSamples = 82688;  // about 7.5 s: four chords of 20672 samples

// One loop of the sound as 8-bit unsigned samples (128 is silence). Every
// oscillator makes a whole number of cycles in the loop and every note's
// tail wraps round to the start, so the last sample leads into the first
// as smoothly as any two neighbours. Called by "flyover-tool sound".
std::vector<uint8_t> SynthesizeLoop();

// The samples as a RIFF WAVE file: PCM, mono, 11025 Hz, 8 bits.
std::vector<uint8_t> EncodeWav(const std::vector<uint8_t>& samples);
