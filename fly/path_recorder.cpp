// path_recorder.cpp -- keys sampled on their times, the end key, the closing of the loop, and
// writing a key file beside an existing one
#include "fly/path_recorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "flight/flight_review.h"
#include "path/key_path.h"

namespace {

// Recorded cameras stay well inside the 32-bit range of the key file's
// 16.16 positions (32768 cells) and the float precision of the path.
constexpr double kLargestCells = 16000.0;
constexpr double kLargestHeading = 1.0e8;

FlightPose Blend(const FlightPose& a, const FlightPose& b, double f) {
    return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.height + (b.height - a.height) * f,
            a.heading + (b.heading - a.heading) * f, a.horizon + (b.horizon - a.horizon) * f};
}

FlightPose Plus(const FlightPose& a, const FlightPose& b, double f = 1.0) {
    return {a.x + b.x * f, a.y + b.y * f, a.height + b.height * f, a.heading + b.heading * f,
            a.horizon + b.horizon * f};
}

FlightPose Minus(const FlightPose& a, const FlightPose& b) {
    return Plus(a, b, -1.0);
}

double Distance(const FlightPose& a, const FlightPose& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// The highest ground within two cells, in bytes, at a pose.
double NearGround(const uint8_t* heights, double x, double y) {
    const auto fixed = [](double v) {
        return static_cast<int32_t>(static_cast<int64_t>(std::floor(v * kCellUnits)));
    };
    return GroundAt(heights, fixed(x), fixed(y)).near;
}

// Keys between `from` and `to` along a cubic whose ends move as `fromStep`
// and `toStep` (each per interval), one every interval, `segments` intervals
// in all; the ends themselves are not returned.
std::vector<FlightPose> Bridge(const FlightPose& from, const FlightPose& fromStep,
                               const FlightPose& to, const FlightPose& toStep, int segments) {
    // Tangents over the whole bridge, no longer than the way itself, so that
    // a fast or backward motion at either end makes no loop.
    const double chord = std::max(Distance(from, to), 1.0);
    const auto tangent = [&](const FlightPose& step) {
        FlightPose t = Plus(FlightPose{}, step, segments);
        const double length = std::hypot(t.x, t.y);
        return length > chord ? Plus(FlightPose{}, t, chord / length) : t;
    };
    const FlightPose m0 = tangent(fromStep), m1 = tangent(toStep);
    std::vector<FlightPose> keys;
    for (int j = 1; j < segments; ++j) {
        const double s = static_cast<double>(j) / segments, s2 = s * s, s3 = s2 * s;
        FlightPose p = Plus(Plus(FlightPose{}, from, 2 * s3 - 3 * s2 + 1), to, 3 * s2 - 2 * s3);
        p = Plus(Plus(p, m0, s3 - 2 * s2 + s), m1, s3 - s2);
        keys.push_back(p);
    }
    return keys;
}

}  // namespace

void PathRecorder::Frame(double seconds, const FlightPose& pose) {
    frames_.emplace_back(seconds, pose);
    const double keep = 2.0 * intervalMs_ / 1000.0 + 1.0;
    while (frames_.size() > 2 && frames_[1].first < seconds - keep)
        frames_.pop_front();
    if (!recording_) return;
    for (;;) {
        const double due = startSeconds_ + (keys_.size() - 1) * (intervalMs_ / 1000.0);
        if (due > seconds) break;
        const FlightPose key = Shifted(At(due));
        if (std::abs(key.x) > kLargestCells || std::abs(key.y) > kLargestCells ||
            std::abs(key.heading) > kLargestHeading) {
            full_ = true;
            recording_ = false;
            break;
        }
        keys_.push_back(key);
    }
}

void PathRecorder::Start() {
    keys_.clear();
    full_ = false;
    if (frames_.empty()) return;
    const auto& [now, pose] = frames_.back();
    startSeconds_ = now;
    shiftX_ = -kMapSide * std::floor(pose.x / kMapSide);
    shiftY_ = -kMapSide * std::floor(pose.y / kMapSide);
    shiftHeading_ = -kAngleUnits * std::floor(pose.heading / kAngleUnits);
    keys_.push_back(Shifted(At(now - intervalMs_ / 1000.0)));
    keys_.push_back(Shifted(pose));
    recording_ = true;
}

void PathRecorder::Stop() {
    recording_ = false;
}

void PathRecorder::Forget() {
    if (!recording_) frames_.clear();
}

FlightPose PathRecorder::Shifted(const FlightPose& pose) const {
    FlightPose p = pose;
    p.x += shiftX_;
    p.y += shiftY_;
    p.heading += shiftHeading_;
    return p;
}

FlightPose PathRecorder::At(double seconds) const {
    if (seconds <= frames_.front().first) return frames_.front().second;
    for (size_t i = 1; i < frames_.size(); ++i) {
        const auto& [t1, p1] = frames_[i];
        if (seconds > t1) continue;
        const auto& [t0, p0] = frames_[i - 1];
        return t1 > t0 ? Blend(p0, p1, (seconds - t0) / (t1 - t0)) : p1;
    }
    return frames_.back().second;
}

std::array<int64_t, 5> KeyValuesOf(const FlightPose& pose) {
    return {static_cast<int64_t>(std::floor(pose.x * kCellUnits)),
            static_cast<int64_t>(std::floor(pose.y * kCellUnits)),
            static_cast<int64_t>(std::floor(pose.height * kHeightUnit)),
            static_cast<int64_t>(std::floor(pose.heading)),
            static_cast<int64_t>(std::lround(pose.horizon))};
}

FlightPlan PlanRecordedFlight(const std::vector<FlightPose>& keys, int intervalMs, bool closeLoop,
                              const uint8_t* heights, double clearance) {
    FlightPlan plan;
    plan.intervalMs = intervalMs;
    const size_t n = keys.size();
    if (n < 3 || intervalMs <= 0) return plan;
    for (const FlightPose& k : keys)
        plan.keys.push_back(KeyValuesOf(k));
    const FlightPose& last = keys[n - 1];
    const FlightPose lastStep = Minus(last, keys[n - 2]);
    if (!closeLoop) {
        plan.keys.push_back(KeyValuesOf(Plus(last, lastStep)));
        return plan;
    }

    // The first two keys again, moved to the copy of the map and the turn
    // nearest the last recorded camera.
    FlightPose shift;
    shift.x = kMapSide * std::round((last.x - keys[0].x) / kMapSide);
    shift.y = kMapSide * std::round((last.y - keys[0].y) / kMapSide);
    shift.heading = kAngleUnits * std::round((last.heading - keys[0].heading) / kAngleUnits);
    const FlightPose again0 = Plus(keys[0], shift), again1 = Plus(keys[1], shift);
    const FlightPose firstStep = Minus(again1, again0);
    // About the recorded speed: the mean of the two ends' steps, at least a
    // cell a second.
    const double step =
        std::max({0.5 * (std::hypot(lastStep.x, lastStep.y) + std::hypot(firstStep.x, firstStep.y)),
                  intervalMs / 1000.0, 1e-3});
    const int segments =
        std::clamp(static_cast<int>(std::ceil(Distance(last, again0) / step)), 2, 400);
    std::vector<FlightPose> bridge = Bridge(last, lastStep, again0, firstStep, segments);
    for (FlightPose& b : bridge)
        b.height = std::max(b.height, NearGround(heights, b.x, b.y) + clearance);

    // Fly the played path over the bridge as the demo will and lift the
    // bridge keys at both ends of every stretch that comes too close.
    const size_t firstBridge = n;  // plan index of the first bridge key
    for (int round = 0; round < 60; ++round) {
        plan.keys.resize(n);
        for (const FlightPose& b : bridge)
            plan.keys.push_back(KeyValuesOf(b));
        plan.keys.push_back(KeyValuesOf(again0));
        plan.keys.push_back(KeyValuesOf(again1));
        const std::unique_ptr<KeyPath> path = BuildFlightPath(plan);
        std::vector<double> lift(bridge.size(), 0.0);
        bool settled = true;
        for (const FlightSample& s : SampleFlight(*path, 10)) {
            const size_t seg = s.timeMs / static_cast<uint32_t>(intervalMs);
            if (seg + 2 < n) continue;  // the recorded flight itself is left as flown
            const double height = static_cast<double>(s.camera.height) / kHeightUnit;
            const double gap = height - GroundAt(heights, s.camera.x, s.camera.y).near;
            if (gap >= clearance) continue;
            settled = false;
            for (const size_t k : {seg, seg + 1})
                if (k >= firstBridge && k - firstBridge < bridge.size())
                    lift[k - firstBridge] = std::max(lift[k - firstBridge], clearance + 1.0 - gap);
        }
        if (settled) break;
        for (size_t j = 0; j < bridge.size(); ++j)
            bridge[j].height += lift[j];
    }
    return plan;
}

namespace {

// Creates a new, empty temporary file beside `path` with the mode the umask
// gives (0666 & ~umask, as any new file), never over an existing one.
// Returns its descriptor and name, or -1 with errno set.
int CreateTemporaryBeside(const std::string& path, std::string& name) {
    const std::string base = path + ".tmp-" + std::to_string(getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = attempt == 0 ? base : base + "-" + std::to_string(attempt);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool CanWriteNewFile(const std::string& path, std::string& error) {
    if (path.empty() || path.back() == '/') {
        error = "cannot write \"" + path + "\": it names a folder, not a file";
        return false;
    }
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        error = "cannot write " + path + ": it is a folder";
        return false;
    }
    const std::string folder = FolderOf(path);
    if (stat(folder.c_str(), &st) != 0) {
        error = "cannot write " + path + ": the folder " + folder + " " +
                (errno == ENOENT ? "does not exist"
                                 : std::string("cannot be read: ") + std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = "cannot write " + path + ": " + folder + " is not a folder";
        return false;
    }
    // Trying is the only sure test (permissions, read-only mounts, quotas).
    std::string probe;
    const int fd = CreateTemporaryBeside(path, probe);
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    close(fd);
    unlink(probe.c_str());
    return true;
}

std::string WriteNewFile(const std::string& path, const std::string& text, std::string& error) {
    std::string temp;
    const int fd = CreateTemporaryBeside(path, temp);
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return "";
    }
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) break;
        done += static_cast<size_t>(wrote);
    }
    const int writeErrno = errno;
    if (close(fd) != 0 || done < text.size()) {
        error =
            "cannot write " + path + ": " + std::strerror(done < text.size() ? writeErrno : errno);
        unlink(temp.c_str());
        return "";
    }
    // link() never replaces a file, so no existing key file is ever lost.
    for (int n = 1; n < 1000; ++n) {
        const std::string name = n == 1 ? path : path + "." + std::to_string(n);
        if (link(temp.c_str(), name.c_str()) == 0) {
            unlink(temp.c_str());
            return name;
        }
        if (errno != EEXIST) {
            error = "cannot write " + name + ": " + std::strerror(errno);
            unlink(temp.c_str());
            return "";
        }
    }
    unlink(temp.c_str());
    error = "cannot write " + path + ": 999 files of that name exist";
    return "";
}
