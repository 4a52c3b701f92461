// flight_player.cpp -- the player's clock: whole-millisecond frames, looping, seeking and speeds
#include "fly/flight_player.h"

#include <algorithm>
#include <cmath>

#include "flight/flight_review.h"
#include "path/key_path.h"

FlightPlayer::FlightPlayer(const KeyPath& path) : path_(path), duration_(PlayingDuration(path)) {}

void FlightPlayer::Advance(double seconds) {
    if (paused_ || duration_ == 0 || !(seconds > 0)) return;
    timeMs_ += seconds * 1000.0 * speed_;
    if (timeMs_ >= duration_) timeMs_ = std::fmod(timeMs_, static_cast<double>(duration_));
}

void FlightPlayer::Seek(int64_t ms) {
    if (duration_ == 0) return;
    // Seeking lands on a whole millisecond, as render's --time does.
    const double to = std::floor(timeMs_) + static_cast<double>(ms);
    timeMs_ = std::clamp(to, 0.0, static_cast<double>(duration_ - 1));
}

int FlightPlayer::PlayedKeys() const {
    return duration_ == 0 ? 0 : static_cast<int>(path_.Count()) - 1;
}

void FlightPlayer::JumpToKey(int64_t index) {
    const int keys = PlayedKeys();
    if (keys == 0) return;
    const int64_t k = std::clamp<int64_t>(index, 0, keys - 1);
    timeMs_ = std::clamp(static_cast<double>(path_.Key(static_cast<uint32_t>(k)).time), 0.0,
                         static_cast<double>(duration_ - 1));
}

int FlightPlayer::CurrentKey() const {
    int key = 0;
    for (int k = 0; k < PlayedKeys(); ++k)
        if (path_.Key(static_cast<uint32_t>(k)).time <= static_cast<int64_t>(TimeMs())) key = k;
    return key;
}

void FlightPlayer::Faster() {
    speed_ = std::min(speed_ * 2.0, kFastest);
}

void FlightPlayer::Slower() {
    speed_ = std::max(speed_ / 2.0, kSlowest);
}

bool FlightPlayer::Camera(CameraState& camera) const {
    if (duration_ == 0) return false;
    return CameraAtTime(path_, static_cast<float>(TimeMs()), camera);
}
