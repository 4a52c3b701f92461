// test_files.cpp -- temporary directories and hand-made BMP and key files for the tests
#include "tests/support/test_files.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() /
            ("flyover-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void TempDir::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write test file " + name);
}

void TempDir::Write(const std::string& name, const std::string& text) const {
    Write(name, std::vector<uint8_t>(text.begin(), text.end()));
}

namespace {

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> MakeBmp(const BmpHeader& h, const std::vector<Rgb>& palette,
                             const std::vector<std::vector<uint8_t>>& rows) {
    std::vector<uint8_t> out;
    const uint32_t offBits = 54 + static_cast<uint32_t>(palette.size()) * 4;
    Put16(out, h.type);
    Put32(out, 0);  // file size: not read
    Put32(out, 0);
    Put32(out, offBits);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(h.width));
    Put32(out, static_cast<uint32_t>(h.height));
    Put16(out, h.planes);
    Put16(out, h.bitCount);
    Put32(out, h.compression);
    Put32(out, 0);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, h.colorsUsed);
    Put32(out, 0);
    for (const Rgb& c : palette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    const bool topDown = h.height < 0;
    for (size_t k = 0; k < rows.size(); ++k) {
        const auto& row = rows[topDown ? k : rows.size() - 1 - k];
        out.insert(out.end(), row.begin(), row.end());
        while ((out.size() - offBits) % 4 != 0)
            out.push_back(0);
    }
    return out;
}

std::vector<uint8_t> MakeFlatBmp(int width, int height, uint8_t value) {
    std::vector<Rgb> grey(256);
    for (int i = 0; i < 256; ++i)
        grey[i] = Rgb{uint8_t(i), uint8_t(i), uint8_t(i)};
    BmpHeader h;
    h.width = width;
    h.height = height;
    std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(std::abs(height)),
                                           std::vector<uint8_t>(static_cast<size_t>(width), value));
    return MakeBmp(h, grey, rows);
}

std::vector<uint8_t> MakeBmpFrom(int width, int height, uint8_t (*pixel)(int x, int y),
                                 const std::vector<Rgb>& palette) {
    std::vector<Rgb> pal = palette;
    if (pal.empty())
        for (int i = 0; i < 256; ++i)
            pal.push_back(Rgb{uint8_t(i), uint8_t(i), uint8_t(i)});
    BmpHeader h;
    h.width = width;
    h.height = height;
    std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(std::abs(height)));
    for (int y = 0; y < std::abs(height); ++y)
        for (int x = 0; x < width; ++x)
            rows[y].push_back(pixel(x, y));
    return MakeBmp(h, pal, rows);
}

void WriteValidPictures(const TempDir& dir) {
    dir.Write("colour.bmp", MakeBmpFrom(256, 256, [](int x, int y) { return uint8_t(x ^ y); }));
    dir.Write("height.bmp",
              MakeBmpFrom(256, 256, [](int x, int y) { return uint8_t((x + y) / 4); }));
    dir.Write("sky.BMP", MakeBmpFrom(512, 256, [](int x, int y) { return uint8_t(y ^ (x & 7)); }));
}

std::string KeyFileText(const std::string& count, const std::string& interval,
                        const std::vector<std::string>& lines) {
    std::string text = "colour.bmp\nheight.bmp\n" + count + "\n" + interval + "\n";
    for (const auto& line : lines)
        text += line + "\n";
    return text;
}
