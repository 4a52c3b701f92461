// bench_support.cpp -- the fill floor, flight and hard-case cameras, and peak memory for the
// benchmarks
#include "bench/support/bench_support.h"

#include <sys/resource.h>

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "path/key_path.h"

namespace {

constexpr int kFlightHorizon = 62;  // the default flight's horizon row

// The height map the hard cases are looked for on.
class Heights {
public:
    explicit Heights(const uint8_t* map) : map_(map) {}
    int operator()(int x, int y) const {
        return map_[static_cast<size_t>((y & 255) * kMapSide + (x & 255))];
    }

private:
    const uint8_t* map_;
};

int32_t CellCentre(int cell) {
    return static_cast<int32_t>(cell * 65536 + 32768);
}

// The heading (4096 units per turn) that looks along (dx, dy) in map cells.
int32_t HeadingTowards(int dx, int dy) {
    const double turn = std::atan2(static_cast<double>(dy), static_cast<double>(dx)) / (2 * M_PI);
    return static_cast<int32_t>(std::lround(turn * 4096)) & 4095;
}

}  // namespace

__attribute__((noinline)) void FillFloor(const ViewGeometry& view, uint16_t value) {
    const ptrdiff_t xStep = view.properties.cbxPitch / 2;
    const ptrdiff_t yStep = view.properties.cbyPitch / 2;
    for (int col = 0; col < view.width; ++col) {
        ptrdiff_t pos = col * xStep;
        for (int row = 0; row <= view.bottomRow; ++row) {
            view.origin[pos] = static_cast<uint16_t>(value + row);
            pos += yStep;
        }
    }
}

namespace {

// Eight pixels in one vector register (the compiler's generic vectors: SSE2
// on x86-64, NEON on ARM), stored unaligned.
using PixelVector = uint16_t __attribute__((vector_size(16)));
constexpr int kVectorPixels = 8;

// Writes `lines` runs of `length` pixels, run i from origin + i * lineStep,
// pixel j of it at + j * step (step 1 or -1), eight at a time as a renderer
// copying staged rows to the screen would.
void FillLines(uint16_t* origin, ptrdiff_t lineStep, ptrdiff_t step, int lines, int length,
               uint16_t value) {
    PixelVector first;
    for (int i = 0; i < kVectorPixels; ++i)
        first[i] = static_cast<uint16_t>(value + (step > 0 ? i : kVectorPixels - 1 - i));
    for (int line = 0; line < lines; ++line) {
        uint16_t* run = origin + line * lineStep;
        // Writing backwards, the vector at j holds pixels j .. j + 7 from
        // the run's end: run[-j - 7 .. -j].
        uint16_t* start = step > 0 ? run : run - (kVectorPixels - 1);
        PixelVector pixels = first;
        int i = 0;
        for (; i + kVectorPixels <= length; i += kVectorPixels) {
            std::memcpy(start + i * step, &pixels, sizeof pixels);
            pixels += static_cast<uint16_t>(kVectorPixels);
        }
        for (; i < length; ++i)
            run[i * step] = static_cast<uint16_t>(value + i);
    }
}

}  // namespace

__attribute__((noinline)) void FillFloorMemoryOrder(const ViewGeometry& view, uint16_t value) {
    const ptrdiff_t xStep = view.properties.cbxPitch / 2;
    const ptrdiff_t yStep = view.properties.cbyPitch / 2;
    const int rows = view.bottomRow + 1;
    if (xStep == 1 || xStep == -1)
        FillLines(view.origin, yStep, xStep, rows, view.width, value);
    else if (yStep == 1 || yStep == -1)
        FillLines(view.origin, xStep, yStep, view.width, rows, value);
    else
        FillFloor(view, value);  // no unit step: no order is cheaper
}

std::vector<CameraState> FlightCameras(const KeyPath& path, uint32_t stepMs) {
    std::vector<CameraState> cameras;
    CameraState camera;
    for (uint64_t t = 0; t <= UINT32_MAX; t += stepMs) {
        if (!CameraAtTime(path, static_cast<float>(t), camera)) break;
        cameras.push_back(camera);
        if (stepMs == 0) break;
    }
    return cameras;
}

std::vector<NamedCamera> HardCaseCameras(const BitmapImage& heightMap) {
    std::vector<NamedCamera> cases;
    if (heightMap.pixels.size() < static_cast<size_t>(kMapCells)) return cases;
    const Heights HeightAt(heightMap.pixels.data());

    // Flattest ground: the smallest height range over 17 x 17 cells, lowest first.
    int flatX = 0, flatY = 0, flatRange = 256, flatHeight = 256;
    int peakX = 0, peakY = 0, peak = -1;
    for (int y = 0; y < kMapSide; y += 4) {
        for (int x = 0; x < kMapSide; x += 4) {
            int lo = 255, hi = 0;
            for (int dy = -8; dy <= 8; ++dy)
                for (int dx = -8; dx <= 8; ++dx) {
                    const int h = HeightAt(x + dx, y + dy);
                    lo = h < lo ? h : lo;
                    hi = h > hi ? h : hi;
                }
            const int h = HeightAt(x, y);
            if (hi - lo < flatRange || (hi - lo == flatRange && h < flatHeight)) {
                flatRange = hi - lo, flatHeight = h, flatX = x, flatY = y;
            }
        }
    }
    for (int y = 0; y < kMapSide; ++y)
        for (int x = 0; x < kMapSide; ++x)
            if (HeightAt(x, y) > peak) peak = HeightAt(x, y), peakX = x, peakY = y;

    // Steepest cliff: the largest rise over three cells in one of eight directions.
    const int directions[8][2] = {{1, 0},  {1, 1},   {0, 1},  {-1, 1},
                                  {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    int cliffX = 0, cliffY = 0, cliffDir = 0, cliffRise = -1;
    for (int y = 0; y < kMapSide; ++y)
        for (int x = 0; x < kMapSide; ++x)
            for (int d = 0; d < 8; ++d) {
                const int rise =
                    HeightAt(x + 3 * directions[d][0], y + 3 * directions[d][1]) - HeightAt(x, y);
                if (rise > cliffRise) cliffRise = rise, cliffX = x, cliffY = y, cliffDir = d;
            }
    const int cdx = directions[cliffDir][0], cdy = directions[cliffDir][1];
    const int standX = cliffX - 2 * cdx, standY = cliffY - 2 * cdy;
    const int standHeight = HeightAt(standX, standY) > HeightAt(cliffX, cliffY)
                                ? HeightAt(standX, standY)
                                : HeightAt(cliffX, cliffY);

    cases.push_back(
        {"low over flat ground",
         {CellCentre(flatX), CellCentre(flatY), (flatHeight + 3) << 17, 0, kFlightHorizon}});
    cases.push_back(
        {"high above mountains",
         {CellCentre(peakX), CellCentre(peakY), (peak + 120) << 17, 1024, kFlightHorizon}});
    cases.push_back({"facing a cliff",
                     {CellCentre(standX), CellCentre(standY), (standHeight + 2) << 17,
                      HeadingTowards(cdx, cdy), kFlightHorizon}});
    return cases;
}

long PeakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
