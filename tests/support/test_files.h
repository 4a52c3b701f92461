// test_files.h -- temporary directories and hand-made BMP and key files for the tests
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The directory with a trailing "/", as the scene loader takes it.
    std::string Dir() const { return path_.string() + "/"; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
    void Write(const std::string& name, const std::string& text) const;

private:
    std::filesystem::path path_;
};

// The fields of a BMP file's two headers, defaulting to an 8-bit picture.
struct BmpHeader {
    uint16_t type = 0x4D42;
    int32_t width = 0;
    int32_t height = 0;  // negative for top-down rows
    uint16_t planes = 1;
    uint16_t bitCount = 8;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
};

// Palette entries as (red, green, blue).
struct Rgb {
    uint8_t r, g, b;
};

// A BMP file: the headers, `palette` (written as blue, green, red, 0) and
// `rows` of pixel bytes given top row first and written in the file's order
// (bottom-up unless the height is negative), each padded to a multiple of 4.
std::vector<uint8_t> MakeBmp(const BmpHeader& header, const std::vector<Rgb>& palette,
                             const std::vector<std::vector<uint8_t>>& rows);

// An 8-bit picture of `width` x `height` whose every pixel is `value`, with
// a 256-entry grey palette.
std::vector<uint8_t> MakeFlatBmp(int width, int height, uint8_t value);

// An 8-bit picture from a function of (x, y), with `palette` (256 greys when empty).
std::vector<uint8_t> MakeBmpFrom(int width, int height, uint8_t (*pixel)(int x, int y),
                                 const std::vector<Rgb>& palette = {});

// The default scene pieces the loader tests combine: writes colour.bmp,
// height.bmp and sky.BMP (valid shapes) into `dir`.
void WriteValidPictures(const TempDir& dir);

// A key file naming colour.bmp and height.bmp with `count`, `interval` and
// the given key lines.
std::string KeyFileText(const std::string& count, const std::string& interval,
                        const std::vector<std::string>& lines);
