// wave.cpp -- RIFF WAVE chunk reading and the seamless loop
#include "platform/wave.h"

#include <algorithm>
#include <cstring>

namespace {

uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Read16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

bool Fail(std::string& error, const char* why) {
    error = why;
    return false;
}

}  // namespace

bool ParseWave(const uint8_t* data, size_t size, WaveClip& clip, std::string& error) {
    if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 ||
        std::memcmp(data + 8, "WAVE", 4) != 0)
        return Fail(error, "not a RIFF WAVE file");
    const size_t end = std::min<size_t>(size, 8 + static_cast<size_t>(Read32(data + 4)));
    bool haveFormat = false;
    WaveClip parsed;
    int blockAlign = 0;
    size_t at = 12;
    while (at + 8 <= end) {
        const uint8_t* chunk = data + at;
        const size_t length = Read32(chunk + 4);
        const size_t body = at + 8;
        const size_t available = std::min(length, end - body);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (available < 16) return Fail(error, "format chunk too short");
            if (Read16(chunk + 8) != 1) return Fail(error, "not uncompressed PCM");
            parsed.channels = Read16(chunk + 10);
            parsed.sampleRate = static_cast<int>(std::min<uint32_t>(Read32(chunk + 12), 1u << 30));
            blockAlign = Read16(chunk + 20);
            parsed.bitsPerSample = Read16(chunk + 22);
            if (parsed.channels < 1 || parsed.channels > 2)
                return Fail(error, "not 1 or 2 channels");
            if (parsed.bitsPerSample != 8 && parsed.bitsPerSample != 16)
                return Fail(error, "not 8 or 16 bits per sample");
            if (parsed.sampleRate < 1 || parsed.sampleRate > 384000)
                return Fail(error, "sample rate out of range");
            if (blockAlign != parsed.channels * parsed.bitsPerSample / 8)
                return Fail(error, "block alignment does not match the format");
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return Fail(error, "data before the format chunk");
            parsed.samples = data + body;
            parsed.size = available - available % static_cast<size_t>(blockAlign);
            if (parsed.size == 0) return Fail(error, "no samples");
            clip = parsed;
            return true;
        }
        if (length > end - body) break;
        at = body + length + (length & 1);  // chunks are padded to even sizes
    }
    return Fail(error, haveFormat ? "no data chunk" : "no format chunk");
}

void FillLooping(const uint8_t* samples, size_t size, size_t& position, uint8_t* out,
                 size_t count) {
    while (count > 0) {
        if (position >= size) position = 0;
        const size_t n = std::min(count, size - position);
        std::memcpy(out, samples + position, n);
        out += n;
        count -= n;
        position += n;
    }
}
