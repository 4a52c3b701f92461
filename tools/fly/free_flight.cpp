// free_flight.cpp -- eased speeds, the ground floor and the climb that looks ahead along the motion
#include "tools/fly/free_flight.h"

#include <algorithm>
#include <cmath>

#include "tools/scenegen/flight_review.h"

namespace {

// The share of the way to its target a lagging value covers in `seconds`
// with time constant `tau`: exact for any split of the time into frames.
double Ease(double tau, double seconds) {
    return tau <= 0 ? 1.0 : 1.0 - std::exp(-seconds / tau);
}

double WrapInto(double v, double period) {
    const double w = v - period * std::floor(v / period);
    return w >= period ? 0.0 : w;
}

int32_t Saturate(double v) {
    if (!(v == v)) return 0;
    return static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

}  // namespace

CameraState CameraOf(const FlightPose& pose) {
    CameraState c;
    c.x = Saturate(std::floor(WrapInto(pose.x, kMapSide) * kCellUnits));
    c.y = Saturate(std::floor(WrapInto(pose.y, kMapSide) * kCellUnits));
    c.height = Saturate(std::floor(pose.height * kHeightUnit));
    c.heading = Saturate(std::floor(WrapInto(pose.heading, kAngleUnits)));
    c.horizon = Saturate(std::lround(pose.horizon));
    return c;
}

FlightPose PoseOf(const CameraState& camera) {
    return {static_cast<double>(camera.x) / kCellUnits, static_cast<double>(camera.y) / kCellUnits,
            static_cast<double>(camera.height) / kHeightUnit, static_cast<double>(camera.heading),
            static_cast<double>(camera.horizon)};
}

FreeFlight::FreeFlight(const uint8_t* heights, int bottomRow, const FlightLimits& limits)
    : heights_(heights), bottomRow_(bottomRow), limits_(limits) {
    pose_.horizon = LevelHorizon();
}

void FreeFlight::Place(const FlightPose& pose) {
    pose_ = pose;
    pose_.height = std::clamp(pose_.height, Floor(pose.x, pose.y), limits_.ceiling);
    pose_.horizon = std::clamp(pose_.horizon, 0.0, static_cast<double>(bottomRow_));
    forwardSpeed_ = strafeSpeed_ = climbRate_ = turnRate_ = tiltRate_ = 0;
}

double FreeFlight::Floor(double x, double y) const {
    const GroundAround g = GroundAt(heights_, static_cast<int32_t>(std::floor(WrapInto(x, kMapSide) * kCellUnits)),
                                    static_cast<int32_t>(std::floor(WrapInto(y, kMapSide) * kCellUnits)));
    return g.near + limits_.clearance;
}

double FreeFlight::GroundSpeed() const {
    return std::hypot(forwardSpeed_, strafeSpeed_);
}

double FreeFlight::LookAheadClimb(double velocityX, double velocityY) const {
    // The climbing speed that reaches the floor at every point the motion
    // passes within the look-ahead time, sampled every tenth of a second;
    // a point ahead asks for less the further off it is, so the climb
    // starts gently and steepens as the ridge comes near.
    constexpr int kSamples = 10;
    double need = -1e9;
    for (int k = 1; k <= kSamples; ++k) {
        const double t = limits_.lookAhead * k / kSamples;
        const double floor = Floor(pose_.x + velocityX * t, pose_.y + velocityY * t);
        need = std::max(need, (floor - pose_.height) / t);
    }
    return need;
}

void FreeFlight::Step(const FlightControls& controls, double seconds) {
    const double dt = std::clamp(seconds, 0.0, 0.25);
    const double boost = controls.boost ? limits_.boost : 1.0;
    const auto axis = [](double v) { return std::clamp(v, -1.0, 1.0); };

    // Turning and tilting: eased rates, plus whatever a drag moved at once.
    const double turnEase = Ease(limits_.turnInertia, dt);
    const double turnTarget = axis(controls.turn) * limits_.turnSpeed * (controls.boost ? 1.5 : 1.0);
    const double tiltTarget = axis(controls.tilt) * limits_.tiltSpeed;
    const double turnBefore = turnRate_, tiltBefore = tiltRate_;
    turnRate_ += (turnTarget - turnRate_) * turnEase;
    tiltRate_ += (tiltTarget - tiltRate_) * turnEase;
    pose_.heading += 0.5 * (turnBefore + turnRate_) * dt + controls.dragTurn;
    pose_.horizon += 0.5 * (tiltBefore + tiltRate_) * dt + controls.dragTilt;
    if (controls.level) {
        pose_.horizon = LevelHorizon();
        tiltRate_ = 0;
        climbRate_ = 0;
    }
    pose_.horizon = std::clamp(pose_.horizon, 0.0, static_cast<double>(bottomRow_));

    // Moving: eased speeds along and across the heading.
    const double ease = Ease(limits_.inertia, dt);
    const double forwardBefore = forwardSpeed_, strafeBefore = strafeSpeed_;
    forwardSpeed_ += (axis(controls.forward) * limits_.speed * boost - forwardSpeed_) * ease;
    strafeSpeed_ += (axis(controls.strafe) * limits_.strafeSpeed * boost - strafeSpeed_) * ease;
    const double angle = pose_.heading * kRadiansPerHeadingUnit;
    const double ax = std::cos(angle), ay = std::sin(angle);  // ahead
    const double rx = ay, ry = -ax;                           // to the right
    const double forward = 0.5 * (forwardBefore + forwardSpeed_);
    const double strafe = 0.5 * (strafeBefore + strafeSpeed_);
    const double vx = forward * ax + strafe * rx, vy = forward * ay + strafe * ry;
    pose_.x += vx * dt;
    pose_.y += vy * dt;

    // Climbing: what the pilot asks, or more where the ground ahead rises.
    const double asked = axis(controls.climb) * limits_.climbSpeed * boost;
    const double climbBefore = climbRate_;
    climbRate_ += (asked - climbRate_) * ease;
    const double needed = LookAheadClimb(vx, vy);
    if (needed > climbRate_) climbRate_ = needed;
    pose_.height += 0.5 * (climbBefore + climbRate_) * dt;

    // Never below the floor here, whatever the look-ahead missed.
    const double floor = Floor(pose_.x, pose_.y);
    if (pose_.height < floor) {
        pose_.height = floor;
        climbRate_ = std::max(climbRate_, 0.0);
    }
    if (pose_.height > limits_.ceiling) {
        pose_.height = limits_.ceiling;
        climbRate_ = std::min(climbRate_, 0.0);
    }
}
