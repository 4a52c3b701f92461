// path_recorder.h -- a hand-flown flight sampled into camera keys, with the loop optionally closed
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "flight/flight_plan.h"
#include "fly/free_flight.h"

// Samples the flown camera every `intervalMs` into keys. The fly session
// hands it every frame's pose with the frame's time (Frame), recording or
// not, so that it knows the flight just before a recording starts. A key
// falls exactly on its time: the poses of the two frames around it are
// blended linearly.
//
// The keys: key 0 is the camera one interval before Start (the flight up to
// the press, so that the path is already moving at the first recorded
// camera); key 1 is the camera at Start, key i the camera i - 1 intervals
// later. A path built from them (key i at i * intervalMs) plays the
// recorded flight from key 1's time on.
class PathRecorder {
public:
    explicit PathRecorder(int intervalMs) : intervalMs_(intervalMs) {}

    // Every frame: the pose at `seconds` (the session's clock, never going
    // back). While recording, adds the keys whose time has come.
    void Frame(double seconds, const FlightPose& pose);

    // Starts recording at the last frame's time. The keys are moved by
    // whole map repeats (256 cells) and whole turns so that the first
    // recorded camera lies in the map's first repeat, where floats are finest.
    void Start();
    // Stops recording; the keys stay until the next Start.
    void Stop();
    // Forgets the frames kept (not while recording): the next frame is not
    // joined to the last one, as after the camera was put somewhere else.
    void Forget();

    bool Recording() const { return recording_; }
    int IntervalMs() const { return intervalMs_; }
    // The keys so far, unwrapped, shifted as Start says.
    const std::vector<FlightPose>& Keys() const { return keys_; }
    // Recording stops by itself before the keys leave the range the key
    // file's 32-bit cameras hold (Full() is then true).
    bool Full() const { return full_; }

private:
    FlightPose Shifted(const FlightPose& pose) const;
    FlightPose At(double seconds) const;  // blended from the frames kept

    int intervalMs_;
    bool recording_ = false;
    bool full_ = false;
    double startSeconds_ = 0;
    double shiftX_ = 0, shiftY_ = 0, shiftHeading_ = 0;
    std::deque<std::pair<double, FlightPose>> frames_;  // the last couple of seconds
    std::vector<FlightPose> keys_;
};

// Turns recorded keys into the keys of a key file (whole camera values),
// one every `intervalMs`. Without closing the loop, one key is added past
// the last recorded one, continuing its motion: it only shapes the path's
// end, so the flight plays to the last recorded camera, then the demo starts
// it again. Closing the loop adds keys from the last recorded camera back
// to the first key (the same view, moved by whole map repeats and turns),
// flown at about the recorded speed, high enough above `heights` (a 256 x
// 256 height map) that the played path keeps `clearance` bytes above the
// highest ground within two cells; the flight then ends on the view it
// starts with. Needs at least three keys (key 0 and two recorded); returns
// an empty plan otherwise.
FlightPlan PlanRecordedFlight(const std::vector<FlightPose>& keys, int intervalMs, bool closeLoop,
                              const uint8_t* heights, double clearance);

// The key in whole camera values: x and y 16.16, height byte << 17, heading
// and horizon as they are (heading unwrapped).
std::array<int64_t, 5> KeyValuesOf(const FlightPose& pose);

// Writes `text` to `path`, or, when a file of that name exists, to the first
// free name of "PATH.2", "PATH.3", ...: never over a file. The text goes to
// a temporary file beside it first and is renamed into place whole. Returns
// the name written, or "" with the reason in `error`. The file has the mode
// the umask gives a new file (0666 & ~umask).
std::string WriteNewFile(const std::string& path, const std::string& text, std::string& error);

// Whether WriteNewFile could write `path` now: its folder exists and a file
// can be made in it, and `path` is not a folder. False with the reason
// (naming `path`) in `error`. Leaves nothing behind.
bool CanWriteNewFile(const std::string& path, std::string& error);
