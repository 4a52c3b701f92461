// flight_player.h -- the scene's own flight played with controls: pause, seek, speed, jump to a key
#pragma once

#include <cstdint>

#include "shared/scene_types.h"

class KeyPath;

// The player's clock over a key path. The flight plays from 0 to the
// path's playing duration (the next-to-last key's time) and starts again,
// as the demo's does; the time shown is whole milliseconds, so the frame at
// time T is the one "flyover-tool render --time T" draws. Used by the fly
// session on its loop's thread.
class FlightPlayer {
public:
    // `path` must outlive the player.
    explicit FlightPlayer(const KeyPath& path);

    // Moves the clock on by `seconds` of real time, times the speed, unless
    // paused; past the end it starts again from 0.
    void Advance(double seconds);

    void TogglePause() { paused_ = !paused_; }
    bool Paused() const { return paused_; }

    // Moves by `ms` (negative: back), held within 0 .. duration - 1.
    void Seek(int64_t ms);
    // Goes to key `index`'s time (held within the played keys: 0 .. count - 2).
    void JumpToKey(int64_t index);
    // The played key at or before the current time.
    int CurrentKey() const;
    // The number of keys a jump can reach (count - 1; 0 when nothing plays).
    int PlayedKeys() const;

    // Doubles or halves the speed, within 1/2 .. 4.
    void Faster();
    void Slower();
    double Speed() const { return speed_; }

    // The time of the frame shown, in whole milliseconds.
    uint32_t TimeMs() const { return static_cast<uint32_t>(timeMs_); }
    uint32_t DurationMs() const { return duration_; }
    // The camera at TimeMs() as the demo's frame loop computes it. False
    // when the path never plays.
    bool Camera(CameraState& camera) const;

    static constexpr double kSlowest = 0.5;
    static constexpr double kFastest = 4.0;

private:
    const KeyPath& path_;
    uint32_t duration_;
    double timeMs_ = 0;
    double speed_ = 1.0;
    bool paused_ = false;
};
