// free_flight.cpp -- eased speeds, the ground floor and the climb that looks ahead along the motion
#include "fly/free_flight.h"

#include <algorithm>
#include <cmath>

#include "flight/flight_review.h"

namespace {

// Moves `rate` toward `target` as a critically damped spring of angular
// frequency `w` (per second) would, with `slope` the rate's own rate of
// change, and returns the rate's integral over the `seconds`. Exact for a
// target held over the time, so the motion is the same however the time is
// cut into frames; the rate's slope never jumps, so a flown path is smooth
// enough for a key path through its samples to follow it closely.
double Follow(double& rate, double& slope, double target, double w, double seconds) {
    const double e0 = rate - target, c = slope + w * e0;
    const double k = std::exp(-w * seconds);
    const double i0 = (1.0 - k) / w, i1 = (1.0 - k * (1.0 + w * seconds)) / (w * w);
    rate = target + (e0 + c * seconds) * k;
    slope = (slope - w * c * seconds) * k;
    return target * seconds + e0 * i0 + c * i1;
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
    forwardSlope_ = strafeSlope_ = climbSlope_ = turnSlope_ = tiltSlope_ = 0;
}

double FreeFlight::Floor(double x, double y) const {
    const GroundAround g =
        GroundAt(heights_, static_cast<int32_t>(std::floor(WrapInto(x, kMapSide) * kCellUnits)),
                 static_cast<int32_t>(std::floor(WrapInto(y, kMapSide) * kCellUnits)));
    return g.near + limits_.clearance;
}

double FreeFlight::SmoothFloor(double x, double y) const {
    // The floor of the four cells around (x, y), blended by where (x, y)
    // lies between their centres: it rises gradually where the stepwise
    // floor jumps, so that the climb it asks for changes gently.
    const double fx = x - 0.5, fy = y - 0.5;
    const double x0 = std::floor(fx), y0 = std::floor(fy);
    const double u = fx - x0, v = fy - y0;
    const double f00 = Floor(x0 + 0.5, y0 + 0.5), f10 = Floor(x0 + 1.5, y0 + 0.5);
    const double f01 = Floor(x0 + 0.5, y0 + 1.5), f11 = Floor(x0 + 1.5, y0 + 1.5);
    return (f00 * (1 - u) + f10 * u) * (1 - v) + (f01 * (1 - u) + f11 * u) * v;
}

double FreeFlight::GroundSpeed() const {
    return std::hypot(forwardSpeed_, strafeSpeed_);
}

FreeFlight::Ahead FreeFlight::LookAhead(double directionX, double directionY, double speed,
                                        double margin) const {
    // The ground along the motion, every two cells up to kLookAheadCells.
    // Each point asks for the climb that reaches its floor (and a margin)
    // when the camera gets there at `speed`; the speed is held to what the
    // steepest climb can clear, so that the camera rises over a ridge,
    // slowing if it must, rather than meeting it. Ground below the camera
    // asks for nothing: the climb stays kNoClimb and the pilot's own climb,
    // or descent, holds.
    Ahead a;
    const double steepest = limits_.climbSpeed * limits_.climbBoost;
    // The margin is aimed at over ground that rises; below it here (after
    // a descent to the floor, say), the camera keeps the gap it has over
    // rising ground and climbs back to the margin within a second or so,
    // rather than leaping up at once.
    const double here = SmoothFloor(pose_.x, pose_.y);
    const double gap = std::clamp(pose_.height - here, 0.0, margin);
    if (gap < margin) a.climb = margin - gap;
    const double hx = std::cos(pose_.heading * kRadiansPerHeadingUnit);
    const double hy = std::sin(pose_.heading * kRadiansPerHeadingUnit);
    for (int k = 0; k <= kLookAheadSteps; ++k) {
        const double d = k == 0 ? 0.5 : kLookAheadCells * k / kLookAheadSteps;
        // Along the motion, and along the heading, where a turn is taking it.
        for (const auto& [ux, uy] : {std::pair{directionX, directionY}, std::pair{hx, hy}}) {
            const double rise =
                SmoothFloor(pose_.x + ux * d, pose_.y + uy * d) + gap - pose_.height;
            if (rise <= 0) continue;
            // Close ahead: climb within a second, even slowly.
            if (k == 0) a.climb = std::max(a.climb, rise);
            a.climb = std::max(a.climb, rise * speed / d);
            // Planned on two fifths of the steepest climb, which leaves the
            // rest for the speed's own lag in slowing down.
            a.fastest = std::min(a.fastest, 0.4 * steepest * d / rise);
        }
    }
    return a;
}

void FreeFlight::Step(const FlightControls& controls, double seconds) {
    const double dt = std::clamp(seconds, 0.0, 0.25);
    if (dt <= 0) return;
    const double boost = controls.boost ? limits_.boost : 1.0;
    const auto axis = [](double v) { return std::clamp(v, -1.0, 1.0); };
    const double wMove = 1.0 / limits_.inertia, wTurn = 1.0 / limits_.turnInertia;

    // Turning and tilting, plus whatever a drag moved at once.
    const double turned =
        Follow(turnRate_, turnSlope_, axis(controls.turn) * limits_.turnSpeed, wTurn, dt);
    const double tilted =
        Follow(tiltRate_, tiltSlope_, axis(controls.tilt) * limits_.tiltSpeed, wTurn, dt);
    const double headingBefore = pose_.heading;
    pose_.heading += turned + controls.dragTurn;
    pose_.horizon += tilted + controls.dragTilt;
    if (controls.level) {
        pose_.horizon = LevelHorizon();
        tiltRate_ = tiltSlope_ = 0;
    }
    pose_.horizon = std::clamp(pose_.horizon, 0.0, static_cast<double>(bottomRow_));

    // Moving along and across the heading, taken halfway through the turn,
    // no faster than the ground ahead lets the climb keep up.
    const double angle = 0.5 * (headingBefore + pose_.heading) * kRadiansPerHeadingUnit;
    const double ax = std::cos(angle), ay = std::sin(angle);  // ahead
    const double rx = ay, ry = -ax;                           // to the right
    // Backing up is never boosted.
    const double forwardAxis = axis(controls.forward);
    double forwardTarget = forwardAxis * limits_.speed * (forwardAxis > 0 ? boost : 1.0);
    double strafeTarget = axis(controls.strafe) * limits_.strafeSpeed * boost;
    const double vx = forwardSpeed_ * ax + strafeSpeed_ * rx;
    const double vy = forwardSpeed_ * ay + strafeSpeed_ * ry;
    const double speed = std::hypot(vx, vy);
    // Pushing down flies down to the floor itself: the look-ahead then aims
    // at the floor, without the margin it keeps above it otherwise.
    const double margin = controls.climb < 0 ? 0.0 : limits_.lookAheadMargin;
    const Ahead ahead = speed > 0.5 ? LookAhead(vx / speed, vy / speed, speed, margin) : Ahead{};
    const double wanted = std::hypot(forwardTarget, strafeTarget);
    double wSpeed = wMove;
    if (wanted > ahead.fastest) {
        forwardTarget *= ahead.fastest / wanted;
        strafeTarget *= ahead.fastest / wanted;
    }
    // Slowing for the ground ahead is brisker than the pilot's own changes.
    if (wanted > ahead.fastest && speed > ahead.fastest) wSpeed = 1.0 / limits_.brakeInertia;
    const double along = Follow(forwardSpeed_, forwardSlope_, forwardTarget, wSpeed, dt);
    const double aside = Follow(strafeSpeed_, strafeSlope_, strafeTarget, wSpeed, dt);
    pose_.x += along * ax + aside * rx;
    pose_.y += along * ay + aside * ry;

    // Climbing: what the pilot asks (up or down), or more where the ground
    // ahead rises; the look-ahead never turns a descent into hovering when
    // the ground ahead is below.
    const double asked =
        axis(controls.climb) * limits_.climbSpeed * (controls.boost ? limits_.climbBoost : 1.0);
    const double steepest = limits_.climbSpeed * limits_.climbBoost;
    const double target = std::clamp(std::max(asked, ahead.climb), -steepest, steepest);
    // Ground ahead that the climb is behind on is answered more briskly.
    const double w = ahead.climb > asked && ahead.climb > climbRate_ ? 1.0 / limits_.brakeInertia
                                                                     : 1.0 / limits_.climbInertia;
    pose_.height += Follow(climbRate_, climbSlope_, target, w, dt);

    // Never below the floor here, whatever the look-ahead missed.
    const double floor = Floor(pose_.x, pose_.y);
    if (pose_.height < floor) {
        pose_.height = floor;
        if (climbRate_ < 0) climbRate_ = climbSlope_ = 0;
    }
    if (pose_.height > limits_.ceiling) {
        pose_.height = limits_.ceiling;
        if (climbRate_ > 0) climbRate_ = climbSlope_ = 0;
    }
}
