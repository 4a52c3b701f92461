// wave.h -- reading a RIFF WAVE clip and playing it round and round
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The PCM samples of a WAVE file, pointing into the file's bytes.
struct WaveClip {
    int channels = 0;       // 1 or 2
    int sampleRate = 0;     // samples per second per channel
    int bitsPerSample = 0;  // 8 (unsigned) or 16 (signed little-endian)
    const uint8_t* samples = nullptr;
    size_t size = 0;  // bytes, whole sample frames only
};

// Reads the "fmt " and "data" chunks of a RIFF WAVE file of uncompressed PCM
// (1 or 2 channels, 8 or 16 bits, 1..384000 samples per second). Other
// chunks are skipped. A data chunk longer than the file is cut to what is
// there. Returns false with the reason in `error` for anything else or for a
// clip without a single sample frame.
bool ParseWave(const uint8_t* data, size_t size, WaveClip& clip, std::string& error);

// Called by the audio thread for every buffer it needs: copies `count` bytes
// of the clip, from `position` on, into `out`, going on from the clip's start
// whenever its end is reached, so that the loop has no gap. `position` is
// left where the next buffer continues. `size` must not be zero.
void FillLooping(const uint8_t* samples, size_t size, size_t& position, uint8_t* out, size_t count);
