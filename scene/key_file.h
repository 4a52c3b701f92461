// key_file.h -- the key file's items, scanned the way the C library's formatted input reads them
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using KeyValues = std::array<float, 5>;  // x, y, height, heading, horizon

// The keys of a flight in camera units (x, y: 16.16 cells; height: byte <<
// 17; heading: 4096 per turn, unwrapped; horizon: view row), all whole
// numbers, one every intervalMs. The flight plays up to the next-to-last key.
struct FlightPlan {
    int intervalMs = 0;
    std::vector<std::array<int64_t, 5>> keys;
};

// Keys2.txt as the reader below takes it: the two map names, the key count,
// the interval, then one line of five whole numbers per key. Called by the
// tools that write flights (the generator, import, fly's recordings).
std::string FormatKeyFile(const FlightPlan& plan, const std::string& colourMapName,
                          const std::string& heightMapName);

// Reads the key file's items in order from an open text stream.
class KeyFileReader {
public:
    explicit KeyFileReader(std::FILE* stream) : stream_(stream) {}

    // A file name: one token without white space, then any white space
    // ("%s\n"). Empty at the end of the file. Of a token longer than
    // kMaxNameBytes bytes only the first kMaxNameBytes are returned.
    std::string ReadName();
    static constexpr size_t kMaxNameBytes = 4096;

    // An integer as "%i\n" reads it: optional sign; 0x for hexadecimal, a
    // leading 0 for octal, else decimal. Values beyond 32 bits saturate; a
    // number that cannot be read gives 0.
    int32_t ReadInteger();

    // Reads up to `count` key lines ("%f %f %f %f %f\n", single precision),
    // handing each to `add` as it is read, and returns how many were read.
    // Values a line fails to give keep those of the line before (zero for the
    // first). Reading stops at the end of the file or at a line where no
    // number can be read: missing keys are not invented.
    int32_t ReadKeys(int32_t count, const std::function<void(const KeyValues&)>& add);
    // The same, collected.
    std::vector<KeyValues> ReadKeys(int32_t count);

private:
    void SkipWhiteSpace();
    std::FILE* stream_;
};

// The number of characters in a UTF-8 string (its code points).
size_t CharacterCount(const std::string& text);
