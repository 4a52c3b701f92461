// bad_input_test.cpp -- walks the catalogue of bad inputs in docs/bad_inputs.md through
// flyover-tool
//
// Every row of the catalogue is one or more cases here, under the row's ID:
// the scene is built in a fresh directory, `flyover-tool render` loads it as
// the demo does, and the test checks the exit status and every line printed.
// In the sanitizer build the tool runs under AddressSanitizer, so a read out
// of bounds fails the case too.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "scene/bitmap_reader.h"
#include "tests/support/command_line.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status = -1;
    std::string err;  // stderr
    std::string out;  // stdout
};

ToolRun RenderScene(const std::string& sceneDir, const std::string& png) {
    const std::string errFile = png + ".stderr";
    const std::string command = std::string(FLYOVER_TOOL) + " render --scene '" + sceneDir +
                                "' --time 0 --out '" + png + "' 2>'" + errFile + "'";
    const CommandRun shell = RunCommandLine(command);
    ToolRun run;
    run.status = shell.status;
    run.out = shell.output;
    std::ifstream in(errFile, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    run.err = text.str();
    return run;
}

// What the program does with a bad input.
enum class Outcome {
    KeyFileError,  // "Can't open file" naming the key file; status 1
    BitmapError,   // "Can't open Bitmap" naming the picture; status 1
    NoFlight,      // loads, but the path has no segment to fly: nothing is drawn
    Flies,         // loads and draws
};

const std::vector<std::string> kKeyLines = {
    "8388608 8388608 40000000 0 80", "9388608 8388608 40000000 512 80",
    "9388608 9388608 40000000 1024 80", "8388608 9388608 40000000 1536 80"};

void Keys(const TempDir& d, const std::string& count, const std::string& interval,
          const std::vector<std::string>& lines = kKeyLines) {
    d.Write("Keys2.txt", KeyFileText(count, interval, lines));
}

void Body(const TempDir& d, const std::string& text) {
    d.Write("Keys2.txt", text);
}

uint8_t Pattern(int x, int y) {
    return uint8_t(x * 3 + y * 5);
}

// An 8-bit picture of the given size with its header changed by `change`.
std::vector<uint8_t> Picture(int width, int height,
                             const std::function<void(BmpHeader&)>& change = {}) {
    BmpHeader h;
    h.width = width;
    h.height = height;
    if (change) change(h);
    std::vector<Rgb> palette(h.colorsUsed && h.colorsUsed <= 256 ? h.colorsUsed : 256);
    for (size_t i = 0; i < palette.size(); ++i)
        palette[i] = Rgb{uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)};
    const int rowCount = std::min(std::abs(height), 512);
    const int bytesPerRow = std::min(std::max(width, 1), 2048) * std::max<int>(h.bitCount, 8) / 8;
    std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(rowCount));
    for (int y = 0; y < rowCount; ++y)
        for (int x = 0; x < bytesPerRow; ++x)
            rows[y].push_back(Pattern(x, y));
    return MakeBmp(h, palette, rows);
}

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

// A BMP whose info header is `infoSize` bytes long (the fields past the
// first 40 zero), rows where bfOffBits says.
std::vector<uint8_t> WithInfoSize(std::vector<uint8_t> bytes, uint32_t infoSize) {
    for (int i = 0; i < 4; ++i)
        bytes[14 + i] = uint8_t(infoSize >> (8 * i));
    if (infoSize > 40) {
        bytes.insert(bytes.begin() + 54, infoSize - 40, 0);
        const uint32_t off = (bytes[10] | bytes[11] << 8 | bytes[12] << 16) + infoSize - 40;
        for (int i = 0; i < 4; ++i)
            bytes[10 + i] = uint8_t(off >> (8 * i));
    }
    return bytes;
}

// The same BMP with `gap` bytes of 0xEE between the palette and the rows,
// and bfOffBits moved to say so (as BMP Suite's pal8offs has it).
std::vector<uint8_t> WithGapBeforeRows(std::vector<uint8_t> bytes, uint32_t gap) {
    const uint32_t off = bytes[10] | bytes[11] << 8 | bytes[12] << 16;
    bytes.insert(bytes.begin() + off, gap, 0xEE);
    for (int i = 0; i < 4; ++i)
        bytes[10 + i] = uint8_t((off + gap) >> (8 * i));
    return bytes;
}

void Replace(const TempDir& d, const std::string& name) {
    fs::remove(d.Path() / name);
}

struct Case {
    const char* id;    // the catalogue row
    const char* what;  // the variant within the row
    // Arranges the bad input in a directory holding a valid scene; returns
    // the scene directory to load (empty: the directory itself).
    std::function<std::string(const TempDir&)> arrange;
    Outcome outcome;
    std::string file;  // the file the message names, relative to the scene directory, as shown
    // Permission bits do not stop root: the outcome when the test runs as root.
    std::optional<Outcome> asRoot = std::nullopt;
    // Words the line saying why must hold (any reason at all when empty).
    std::string why = "";
};

// Shorthand for cases whose arrangement only writes files in the directory.
template <typename F>
std::function<std::string(const TempDir&)> In(F f) {
    return [f](const TempDir& d) {
        f(d);
        return std::string();
    };
}

std::vector<Case> Catalogue() {
    const std::string deep(250, 'd');
    return {
        // The key file.
        {"K1", "no key file", In([](const TempDir& d) { Replace(d, "Keys2.txt"); }),
         Outcome::KeyFileError, "Keys2.txt"},
        {"K2", "a directory", In([](const TempDir& d) {
             Replace(d, "Keys2.txt");
             fs::create_directory(d.Path() / "Keys2.txt");
         }),
         Outcome::KeyFileError, "Keys2.txt"},
        {"K3", "a FIFO", In([](const TempDir& d) {
             Replace(d, "Keys2.txt");
             ::mkfifo(d.File("Keys2.txt").c_str(), 0600);
         }),
         Outcome::KeyFileError, "Keys2.txt"},
        {"K4", "unreadable (mode 000)",
         In([](const TempDir& d) { ::chmod(d.File("Keys2.txt").c_str(), 0); }),
         Outcome::KeyFileError, "Keys2.txt", Outcome::Flies},
        {"K5", "a dangling symbolic link", In([](const TempDir& d) {
             Replace(d, "Keys2.txt");
             fs::create_symlink(d.Path() / "nowhere.txt", d.Path() / "Keys2.txt");
         }),
         Outcome::KeyFileError, "Keys2.txt"},
        {"K6", "its full path over 255 characters",
         [deep](const TempDir& d) {
             const std::string dir = d.Dir() + deep + "/";
             fs::create_directories(dir);
             for (const char* f : {"colour.bmp", "height.bmp", "sky.BMP", "Keys2.txt"})
                 fs::copy_file(d.File(f), dir + f);
             return dir;
         },
         Outcome::KeyFileError, "Keys2.txt"},
        {"K7", "empty", In([](const TempDir& d) { Body(d, ""); }), Outcome::BitmapError, "",
         std::nullopt, "flyover-tool: Keys2.txt names no colour map"},
        {"K7", "white space only", In([](const TempDir& d) { Body(d, " \n\t\r\n"); }),
         Outcome::BitmapError, "", std::nullopt, "flyover-tool: Keys2.txt names no colour map"},
        {"K8", "one name only", In([](const TempDir& d) { Body(d, "colour.bmp\n"); }),
         Outcome::BitmapError, "", std::nullopt, "flyover-tool: Keys2.txt names no height map"},
        {"K9", "a name of 80 characters", In([](const TempDir& d) {
             const std::string name = std::string(76, 'c') + ".bmp";
             fs::copy_file(d.File("colour.bmp"), d.File(name));
             Body(d, name + " height.bmp 4 1000\n");
         }),
         Outcome::BitmapError, std::string(76, 'c') + ".bmp", std::nullopt,
         "the colour map's name in Keys2.txt is longer than 79 characters"},
        {"K10", "directory and name over 255 characters",
         [](const TempDir& d) {
             const std::string dir = d.Dir() + std::string(200 - d.Dir().size(), 'd') + "/";
             const std::string name = std::string(56, 'c') + ".bmp";
             fs::create_directories(dir);
             for (const char* f : {"height.bmp", "sky.BMP"})
                 fs::copy_file(d.File(f), dir + f);
             fs::copy_file(d.File("colour.bmp"), dir + name);
             std::ofstream(dir + "Keys2.txt") << name << " height.bmp 4 1000\n";
             return dir;
         },
         Outcome::BitmapError, std::string(56, 'c') + ".bmp"},
        {"K11", "a name holding a NUL byte",
         In([](const TempDir& d) { Body(d, std::string("col\0our.bmp height.bmp 4 1000\n", 30)); }),
         Outcome::BitmapError, "col\\x00our.bmp", std::nullopt, "holds a NUL byte"},
        {"K12", "a name in Latin-1, not UTF-8",
         In([](const TempDir& d) { Body(d, "caf\xE9.bmp height.bmp 4 1000\n"); }),
         Outcome::BitmapError, "caf\\xe9.bmp", std::nullopt, "caf\\xe9.bmp does not exist"},
        {"K13", "a picture's name naming a directory",
         In([](const TempDir& d) { Body(d, ". height.bmp 4 1000\n"); }), Outcome::BitmapError, "."},

        {"K14", "one name of ten million bytes", In([](const TempDir& d) {
             Body(d, std::string(10'000'000, 'n') + " height.bmp 4 1000\n");
         }),
         Outcome::BitmapError, std::string(4096, 'n')},
        {"K15", "a name holding terminal escape sequences", In([](const TempDir& d) {
             Body(d, "\x1b]0;owned\x07\x1b[31mred.bmp height.bmp 4 1000\n");
         }),
         Outcome::BitmapError, "\\x1b]0;owned\\x07\\x1b[31mred.bmp", std::nullopt,
         "\\x1b]0;owned\\x07\\x1b[31mred.bmp does not exist"},
        {"K15", "a name holding a C1 control (CSI as UTF-8)", In([](const TempDir& d) {
             Body(d,
                  "a\xC2\x9B"
                  "31mb.bmp height.bmp 4 1000\n");
         }),
         Outcome::BitmapError, "a\\xc2\\x9b31mb.bmp"},

        // Key counts, intervals and numbers: the original reads them with
        // the C library's formats and refuses none of them.
        {"N1", "count -5", In([](const TempDir& d) { Keys(d, "-5", "1000"); }), Outcome::NoFlight,
         "", std::nullopt, "Keys2.txt declares -5 keys"},
        {"N1", "count -2147483648", In([](const TempDir& d) { Keys(d, "-2147483648", "1000"); }),
         Outcome::NoFlight, ""},
        {"N2", "count 0x4", In([](const TempDir& d) { Keys(d, "0x4", "1000"); }), Outcome::Flies,
         ""},
        {"N2", "interval 0x3E8", In([](const TempDir& d) { Keys(d, "4", "0x3E8"); }),
         Outcome::Flies, ""},
        {"N3", "count 010 (octal 8)", In([](const TempDir& d) { Keys(d, "010", "1000"); }),
         Outcome::Flies, ""},
        {"N4", "count 08: octal stops at the 8",
         In([](const TempDir& d) { Keys(d, "08", "1000"); }), Outcome::NoFlight, ""},
        {"N5", "count 99999999999", In([](const TempDir& d) { Keys(d, "99999999999", "1000"); }),
         Outcome::Flies, ""},
        {"N5", "count 2147483647", In([](const TempDir& d) { Keys(d, "2147483647", "1000"); }),
         Outcome::Flies, ""},
        {"N5", "count 0xFFFFFFFFFFFFFFFFFF",
         In([](const TempDir& d) { Keys(d, "0xFFFFFFFFFFFFFFFFFF", "1000"); }), Outcome::Flies, ""},
        {"N6", "count 10 with 4 key lines", In([](const TempDir& d) { Keys(d, "10", "1000"); }),
         Outcome::Flies, ""},
        {"N7", "count 2: too few keys", In([](const TempDir& d) { Keys(d, "2", "1000"); }),
         Outcome::NoFlight, "", std::nullopt,
         "Keys2.txt holds 2 key lines; a flight needs at least 3"},
        {"N8", "count abc", In([](const TempDir& d) { Keys(d, "abc", "1000"); }), Outcome::NoFlight,
         ""},
        {"N8", "interval x", In([](const TempDir& d) { Keys(d, "4", "x"); }), Outcome::NoFlight,
         ""},
        {"N9", "interval 0", In([](const TempDir& d) { Keys(d, "4", "0"); }), Outcome::NoFlight, "",
         std::nullopt, "the key interval in Keys2.txt is 0 ms"},
        {"N10", "interval -1000", In([](const TempDir& d) { Keys(d, "4", "-1000"); }),
         Outcome::NoFlight, "", std::nullopt, "is negative (-1000 ms)"},
        {"N17", "interval 1e40, a number in floating point",
         In([](const TempDir& d) { Keys(d, "4", "1e40"); }), Outcome::NoFlight, "", std::nullopt,
         "no key line of Keys2.txt can be read (the interval was read as 1 ms"},
        {"N17", "interval 2147483647: the times wrap",
         In([](const TempDir& d) { Keys(d, "3", "2147483647"); }), Outcome::NoFlight, "",
         std::nullopt, "the keys' times pass 2^31 ms and wrap round"},
        {"N11", "text in the second key line", In([](const TempDir& d) {
             Keys(d, "4", "1000", {kKeyLines[0], "x y z", kKeyLines[2], kKeyLines[3]});
         }),
         Outcome::NoFlight, ""},
        {"N11", "text in the last key line", In([](const TempDir& d) {
             Keys(d, "4", "1000", {kKeyLines[0], kKeyLines[1], kKeyLines[2], "1 2 three"});
         }),
         Outcome::Flies, ""},
        {"N12", "key lines cut short", In([](const TempDir& d) {
             Keys(d, "4", "1000", {kKeyLines[0], "9388608 8388608", "1", kKeyLines[3]});
         }),
         Outcome::Flies, ""},
        {"N13", "NaN", In([](const TempDir& d) {
             Keys(d, "4", "1000",
                  {"nan nan nan nan nan", "NAN 1 2 3 4", "nan(0x1) 5 6 7 8", kKeyLines[3]});
         }),
         Outcome::Flies, ""},
        {"N14", "infinities and values beyond float", In([](const TempDir& d) {
             Keys(d, "4", "1000",
                  {"inf -inf infinity -INFINITY inf", "1e39 -1e39 1e300 -1e300 1e39",
                   "3.4e38 -3.4e38 3e38 -3e38 1e30", kKeyLines[3]});
         }),
         Outcome::Flies, ""},
        {"N15", "Windows line ends", In([](const TempDir& d) {
             Body(d, "colour.bmp\r\nheight.bmp\r\n4\r\n1000\r\n" + kKeyLines[0] + "\r\n" +
                         kKeyLines[1] + "\r\n" + kKeyLines[2] + "\r\n" + kKeyLines[3] + "\r\n");
         }),
         Outcome::Flies, ""},
        {"N16", "a binary key file", In([](const TempDir& d) {
             Body(d, std::string("\x01\x02\x03 \xff\xfe 4 1000 ") + kKeyLines[0]);
         }),
         Outcome::BitmapError, "\\x01\\x02\\x03"},

        // The pictures. Each row names the picture the message names.
        {"B1", "no colour map", In([](const TempDir& d) { Replace(d, "colour.bmp"); }),
         Outcome::BitmapError, "colour.bmp"},
        {"B1", "no height map", In([](const TempDir& d) { Replace(d, "height.bmp"); }),
         Outcome::BitmapError, "height.bmp"},
        {"B1", "no sky", In([](const TempDir& d) { Replace(d, "sky.BMP"); }), Outcome::BitmapError,
         "sky.BMP"},
        {"B2", "the sky named sky.bmp",
         In([](const TempDir& d) { fs::rename(d.Path() / "sky.BMP", d.Path() / "sky.bmp"); }),
         Outcome::BitmapError, "sky.BMP"},
        {"B3", "an empty colour map", In([](const TempDir& d) { d.Write("colour.bmp", ""); }),
         Outcome::BitmapError, "colour.bmp"},
        {"B4", "a colour map of 53 bytes",
         In([](const TempDir& d) { d.Write("colour.bmp", Cut(Picture(256, 256), 53)); }),
         Outcome::BitmapError, "colour.bmp"},
        {"B4", "a sky of 14 bytes",
         In([](const TempDir& d) { d.Write("sky.BMP", Cut(Picture(512, 256), 14)); }),
         Outcome::BitmapError, "sky.BMP"},
        {"B5", "a colour map of its headers only",
         In([](const TempDir& d) { d.Write("colour.bmp", Cut(Picture(256, 256), 54)); }),
         Outcome::Flies, ""},
        {"B5", "a sky cut inside its palette",
         In([](const TempDir& d) { d.Write("sky.BMP", Cut(Picture(512, 256), 54 + 501)); }),
         Outcome::Flies, ""},
        {"B5", "a height map cut inside its rows", In([](const TempDir& d) {
             d.Write("height.bmp", Cut(Picture(256, 256), 54 + 1024 + 30001));
         }),
         Outcome::Flies, ""},
        {"B6", "a colour map starting \"BA\"", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(256, 256, [](BmpHeader& h) { h.type = 0x4142; }));
         }),
         Outcome::BitmapError, "colour.bmp"},
        {"B6", "a PNG named height.bmp", In([](const TempDir& d) {
             std::string png("\x89PNG\r\n\x1a\n", 8);
             d.Write("height.bmp", png + std::string(100, '\0'));
         }),
         Outcome::BitmapError, "height.bmp"},
        {"B6", "a text file as the sky",
         In([](const TempDir& d) { d.Write("sky.BMP", std::string(2000, 'x')); }),
         Outcome::BitmapError, "sky.BMP"},
        {"B7", "planes 0", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(256, 256, [](BmpHeader& h) { h.planes = 0; }));
         }),
         Outcome::BitmapError, "colour.bmp"},
        {"B7", "planes 2", In([](const TempDir& d) {
             d.Write("sky.BMP", Picture(512, 256, [](BmpHeader& h) { h.planes = 2; }));
         }),
         Outcome::BitmapError, "sky.BMP"},
        {"B8", "RLE8", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(256, 256, [](BmpHeader& h) { h.compression = 1; }));
         }),
         Outcome::BitmapError, "colour.bmp"},
        {"B8", "RLE4", In([](const TempDir& d) {
             d.Write("height.bmp", Picture(256, 256, [](BmpHeader& h) { h.compression = 2; }));
         }),
         Outcome::BitmapError, "height.bmp"},
        {"B8", "bit fields", In([](const TempDir& d) {
             d.Write("sky.BMP", Picture(512, 256, [](BmpHeader& h) { h.compression = 3; }));
         }),
         Outcome::BitmapError, "sky.BMP"},
        {"B8", "JPEG inside", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(256, 256, [](BmpHeader& h) { h.compression = 4; }));
         }),
         Outcome::BitmapError, "colour.bmp"},
        {"B8", "PNG inside", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(256, 256, [](BmpHeader& h) { h.compression = 5; }));
         }),
         Outcome::BitmapError, "colour.bmp"},
        {"B9", "a 1-bit colour map", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(256, 256, [](BmpHeader& h) {
                         h.bitCount = 1;
                         h.colorsUsed = 2;
                     }));
         }),
         Outcome::BitmapError, "colour.bmp"},
        {"B9", "a 4-bit sky", In([](const TempDir& d) {
             d.Write("sky.BMP", Picture(512, 256, [](BmpHeader& h) {
                         h.bitCount = 4;
                         h.colorsUsed = 16;
                     }));
         }),
         Outcome::BitmapError, "sky.BMP"},
        {"B10", "a 24-bit colour map", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(256, 256, [](BmpHeader& h) { h.bitCount = 24; }));
         }),
         Outcome::BitmapError, "colour.bmp"},
        {"B10", "a 16-bit height map", In([](const TempDir& d) {
             d.Write("height.bmp", Picture(256, 256, [](BmpHeader& h) { h.bitCount = 16; }));
         }),
         Outcome::BitmapError, "height.bmp"},
        {"B10", "a 32-bit sky", In([](const TempDir& d) {
             d.Write("sky.BMP", Picture(512, 256, [](BmpHeader& h) { h.bitCount = 32; }));
         }),
         Outcome::BitmapError, "sky.BMP"},
        {"B10", "a 24-bit colour map with a palette", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(256, 256, [](BmpHeader& h) {
                         h.bitCount = 24;
                         h.colorsUsed = 256;
                     }));
         }),
         Outcome::BitmapError, "colour.bmp"},
        {"B11", "width 0", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(256, 256, [](BmpHeader& h) { h.width = 0; }));
         }),
         Outcome::BitmapError, "colour.bmp"},
        {"B11", "width -256", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(256, 256, [](BmpHeader& h) { h.width = -256; }));
         }),
         Outcome::BitmapError, "colour.bmp"},
        {"B11", "height 0", In([](const TempDir& d) {
             d.Write("height.bmp", Picture(256, 256, [](BmpHeader& h) { h.height = 0; }));
         }),
         Outcome::BitmapError, "height.bmp"},
        {"B11", "height -2147483648", In([](const TempDir& d) {
             d.Write("sky.BMP", Picture(512, 256, [](BmpHeader& h) { h.height = INT32_MIN; }));
         }),
         Outcome::BitmapError, "sky.BMP"},
        {"B12", "100000 x 100000", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(256, 256, [](BmpHeader& h) {
                         h.width = 100000;
                         h.height = 100000;
                     }));
         }),
         Outcome::BitmapError, "colour.bmp"},
        {"B12", "width 2147483647, 32 bits", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(256, 256, [](BmpHeader& h) {
                         h.width = INT32_MAX;
                         h.bitCount = 32;
                     }));
         }),
         Outcome::BitmapError, "colour.bmp"},
        {"B12", "64 MiB and one row", In([](const TempDir& d) {
             d.Write("height.bmp", Picture(256, 256, [](BmpHeader& h) {
                         h.width = 8192;
                         h.height = -8193;
                     }));
         }),
         Outcome::BitmapError, "height.bmp"},
        {"B13", "257 palette entries", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(256, 256, [](BmpHeader& h) { h.colorsUsed = 257; }));
         }),
         Outcome::BitmapError, "colour.bmp"},
        {"B13", "2^32 - 1 palette entries", In([](const TempDir& d) {
             d.Write("sky.BMP", Picture(512, 256, [](BmpHeader& h) { h.colorsUsed = 0xFFFFFFFF; }));
         }),
         Outcome::BitmapError, "sky.BMP"},
        {"B14", "a colour map 255 wide",
         In([](const TempDir& d) { d.Write("colour.bmp", Picture(255, 256)); }),
         Outcome::BitmapError, "colour.bmp"},
        {"B14", "a height map 255 high",
         In([](const TempDir& d) { d.Write("height.bmp", Picture(256, 255)); }),
         Outcome::BitmapError, "height.bmp"},
        {"B14", "a sky 511 wide",
         In([](const TempDir& d) { d.Write("sky.BMP", Picture(511, 256)); }), Outcome::BitmapError,
         "sky.BMP"},
        {"B14", "a sky 513 wide",
         In([](const TempDir& d) { d.Write("sky.BMP", Picture(513, 256)); }), Outcome::BitmapError,
         "sky.BMP"},
        {"B14", "a sky 257 high",
         In([](const TempDir& d) { d.Write("sky.BMP", Picture(512, 257)); }), Outcome::BitmapError,
         "sky.BMP"},
        {"B14", "a sky of 256 x 256",
         In([](const TempDir& d) { d.Write("sky.BMP", Picture(256, 256)); }), Outcome::BitmapError,
         "sky.BMP"},
        {"B14", "a 1 x 1 height map",
         In([](const TempDir& d) { d.Write("height.bmp", Picture(1, 1)); }), Outcome::BitmapError,
         "height.bmp", std::nullopt,
         "flyover-tool: height.bmp is 1 x 1, 8-bit; the height map must be at least 256 x 256, "
         "8-bit"},
        {"B14", "a sky of 1 x 1", In([](const TempDir& d) { d.Write("sky.BMP", Picture(1, 1)); }),
         Outcome::BitmapError, "sky.BMP", std::nullopt,
         "flyover-tool: sky.BMP is 1 x 1, 8-bit; the sky must be 512 x 256, 8-bit with a palette"},
        {"B14", "maps of 127 x 64", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(127, 64));
             d.Write("height.bmp", Picture(127, 64));
         }),
         Outcome::BitmapError, "colour.bmp", std::nullopt,
         "colour.bmp is 127 x 64, 8-bit; the colour map must be at least 256 x 256"},
        {"B15", "maps larger than 256 x 256", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(300, 260));
             d.Write("height.bmp", Picture(512, 512));
         }),
         Outcome::Flies, ""},
        {"B16", "top-down pictures", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(256, -256));
             d.Write("height.bmp", Picture(256, -256));
             d.Write("sky.BMP", Picture(512, -256));
         }),
         Outcome::Flies, ""},
        {"B17", "a colour map of 16 colours", In([](const TempDir& d) {
             d.Write("colour.bmp", Picture(256, 256, [](BmpHeader& h) { h.colorsUsed = 16; }));
         }),
         Outcome::Flies, ""},
        {"B18", "an OS/2 header (12 bytes)",
         In([](const TempDir& d) { d.Write("colour.bmp", WithInfoSize(Picture(256, 256), 12)); }),
         Outcome::BitmapError, "colour.bmp"},
        {"B18", "an info header of 0 bytes",
         In([](const TempDir& d) { d.Write("sky.BMP", WithInfoSize(Picture(512, 256), 0)); }),
         Outcome::BitmapError, "sky.BMP"},
        {"B19", "V4 and V5 headers", In([](const TempDir& d) {
             d.Write("colour.bmp", WithInfoSize(Picture(256, 256), 108));
             d.Write("sky.BMP", WithInfoSize(Picture(512, 256), 124));
         }),
         Outcome::Flies, ""},
        {"B20", "a colour map that is a directory", In([](const TempDir& d) {
             Replace(d, "colour.bmp");
             fs::create_directory(d.Path() / "colour.bmp");
         }),
         Outcome::BitmapError, "colour.bmp"},
        {"B21", "a sky that is a FIFO", In([](const TempDir& d) {
             Replace(d, "sky.BMP");
             ::mkfifo(d.File("sky.BMP").c_str(), 0600);
         }),
         Outcome::BitmapError, "sky.BMP"},
        {"B22", "a height map that is /dev/zero", In([](const TempDir& d) {
             Replace(d, "height.bmp");
             fs::create_symlink("/dev/zero", d.Path() / "height.bmp");
         }),
         Outcome::BitmapError, "height.bmp"},
        {"B23", "an unreadable colour map (mode 000)",
         In([](const TempDir& d) { ::chmod(d.File("colour.bmp").c_str(), 0); }),
         Outcome::BitmapError, "colour.bmp", Outcome::Flies},
        {"B24", "a dangling symbolic link", In([](const TempDir& d) {
             Replace(d, "sky.BMP");
             fs::create_symlink(d.Path() / "gone.bmp", d.Path() / "sky.BMP");
         }),
         Outcome::BitmapError, "sky.BMP"},
        {"B25", "a pixel offset pointing past the end (40-byte header)", In([](const TempDir& d) {
             auto bytes = Picture(256, 256);
             bytes[10] = 0xFF, bytes[11] = 0xFF, bytes[12] = 0xFF, bytes[13] = 0xFF;
             d.Write("colour.bmp", bytes);
         }),
         Outcome::Flies, ""},
        {"B25", "a pixel offset pointing into the palette (40-byte header)",
         In([](const TempDir& d) {
             auto bytes = Picture(256, 256);
             bytes[10] = 60, bytes[11] = 0, bytes[12] = 0, bytes[13] = 0;
             d.Write("colour.bmp", bytes);
         }),
         Outcome::Flies, ""},
        {"B26", "a gap between palette and rows, the pixel offset after it (40-byte header)",
         In([](const TempDir& d) {
             d.Write("colour.bmp", WithGapBeforeRows(Picture(256, 256), 32));
         }),
         Outcome::Flies, ""},
    };
}

// The IDs of the catalogue's rows in docs/bad_inputs.md.
std::set<std::string> DocumentedIds() {
    std::ifstream doc(std::string(FLYOVER_SOURCE_DIR) + "/docs/bad_inputs.md");
    std::set<std::string> ids;
    const std::regex row(R"(^\| *([A-Z][0-9]+) *\|)");
    std::string line;
    std::smatch m;
    while (std::getline(doc, line))
        if (std::regex_search(line, m, row)) ids.insert(m[1]);
    return ids;
}

TEST(BadInputCatalogue, EveryDocumentedRowHasCasesAndEveryCaseARow) {
    const std::set<std::string> documented = DocumentedIds();
    ASSERT_FALSE(documented.empty()) << "docs/bad_inputs.md has no catalogue rows";
    std::set<std::string> tested;
    for (const Case& c : Catalogue())
        tested.insert(c.id);
    EXPECT_EQ(tested, documented);
}

TEST(BadInputCatalogue, EachInputIsAnsweredAsDocumented) {
    const bool root = ::geteuid() == 0;
    for (const Case& c : Catalogue()) {
        SCOPED_TRACE(std::string(c.id) + ": " + c.what);
        TempDir d;
        WriteValidPictures(d);
        Keys(d, "4", "1000");
        std::string scene = c.arrange(d);
        if (scene.empty()) scene = d.Dir();
        const Outcome outcome = root && c.asRoot ? *c.asRoot : c.outcome;

        const std::string png = d.File("frame.png");
        const ToolRun run = RenderScene(scene, png);
        EXPECT_EQ(run.out, "");
        // The program's own message, then one line saying why.
        const size_t lineEnd = run.err.find('\n');
        const std::string first = run.err.substr(0, lineEnd);
        const std::string why = lineEnd == std::string::npos ? "" : run.err.substr(lineEnd + 1);
        switch (outcome) {
            case Outcome::KeyFileError:
            case Outcome::BitmapError: {
                const char* words =
                    outcome == Outcome::KeyFileError ? "Can't open file " : "Can't open Bitmap ";
                EXPECT_EQ(run.status, 1);
                EXPECT_EQ(first, "Pelmora, File Error: " + (words + scene) + c.file);
                EXPECT_EQ(why.rfind("flyover-tool: ", 0), 0u) << run.err;
                EXPECT_GT(why.size(), 16u) << run.err;
                EXPECT_EQ(std::count(why.begin(), why.end(), '\n'), 1) << run.err;
                EXPECT_NE(why.find(c.why), std::string::npos) << run.err;
                break;
            }
            case Outcome::NoFlight:
                EXPECT_EQ(run.status, 1);
                EXPECT_EQ(run.err.rfind("flyover-tool render: the path has no flight: ", 0), 0u)
                    << run.err;
                EXPECT_NE(run.err.find(c.why), std::string::npos) << run.err;
                break;
            case Outcome::Flies:
                EXPECT_EQ(run.status, 0);
                EXPECT_EQ(run.err, "");
                EXPECT_TRUE(fs::exists(png));
                break;
        }
        // Let TempDir remove what a case made unreadable.
        ::chmod(d.File("Keys2.txt").c_str(), 0600);
        ::chmod(d.File("colour.bmp").c_str(), 0600);
    }
    if (root)
        std::printf(
            "note: running as root, so K4 and B23 (files of mode 000) were read anyway and "
            "checked as such\n");
}

// Found by the fuzzer: a 140-byte file whose header promises 16 million rows
// of 4 bytes. Rows are read in pieces of what the file holds, so this costs
// one zeroed block, not a row-by-row walk of 64 MiB.
TEST(BadInputRegression, TinyFilePromisingSixtyFourMebibytes) {
    TempDir d;
    BmpHeader h;
    h.width = 4;
    h.height = -(16 << 20);
    h.colorsUsed = 1;
    std::vector<uint8_t> bytes = MakeBmp(h, {{1, 2, 3}}, {{9, 8, 7, 6}, {5, 4, 3, 2}});
    d.Write("p.bmp", bytes);
    BitmapImage image;
    ASSERT_EQ(LoadBitmapFile(d.File("p.bmp"), image), 1);
    ASSERT_EQ(image.pixels.size(), size_t{64} << 20);
    EXPECT_EQ(image.pixels[0], 9);
    EXPECT_EQ(image.pixels[4], 5);
    EXPECT_EQ(image.pixels[8], 0);
    EXPECT_EQ(image.pixels.back(), 0);
}

}  // namespace
