// free_flight.h -- the camera flown by hand: smooth, frame-rate independent motion with inertia,
// kept above the ground by looking ahead along the motion
#pragma once

#include <cstdint>

#include "shared/scene_types.h"

// Where the flown camera is, unwrapped: x and y in map cells (the map
// repeats every 256), height in height-map bytes, heading in 4096ths of a
// turn (increasing turns left, as the view's left column lies at a larger
// heading), horizon as the view row of the horizon (larger looks up). The
// values are never wrapped, so that a recorded flight is continuous;
// CameraOf wraps them as the renderer would.
struct FlightPose {
    double x = 0;
    double y = 0;
    double height = 0;
    double heading = 0;
    double horizon = 0;
};

// The camera the renderer takes for `pose`: x and y wrapped into the map
// and made 16.16, height made camera units (byte << 17), heading wrapped
// into one turn, horizon rounded. Called once per frame by the fly session.
CameraState CameraOf(const FlightPose& pose);

// The pose of a camera (a key path's camera, say), unwrapped as it is.
FlightPose PoseOf(const CameraState& camera);

// What the pilot asks for in one frame. Each axis runs -1 .. 1 (keys give
// -1, 0 or 1; sticks anything between); mouse drags add whole turns and tilts.
struct FlightControls {
    double forward = 0;   // + ahead, - back
    double strafe = 0;    // + right, - left
    double climb = 0;     // + up, - down
    double turn = 0;      // + left, - right
    double tilt = 0;      // + raises the horizon value (looks up), - lowers it (looks down)
    bool boost = false;   // everything three times as fast
    bool level = false;   // bring the horizon to the view's middle (once)
    double dragTurn = 0;  // heading units to turn at once (mouse drag), + left
    double dragTilt = 0;  // horizon rows to add at once (mouse drag), + looks up
};

// How fast the flight goes and how closely it keeps to the ground.
struct FlightLimits {
    double speed = 12.0;       // cells per second, ahead or back, at full stick
    double strafeSpeed = 8.0;  // cells per second, sideways
    double climbSpeed = 12.0;  // height bytes per second, up or down
    double turnSpeed = 900.0;  // heading units per second (a turn in 4.5 s)
    double tiltSpeed = 90.0;   // horizon rows per second
    double boost = 2.0;        // the factor Shift gives speeds
    double climbBoost = 2.0;   // the factor Shift gives climbing, and the steepest climb
                               // the ground ahead asks for, in climbSpeeds
    // Speeds follow the controls as critically damped springs: a change is
    // three quarters made after 2.7 times this many seconds.
    double inertia = 0.35;         // moving
    double climbInertia = 0.35;    // climbing
    double turnInertia = 0.15;     // turning and tilting
    double brakeInertia = 0.2;     // slowing and climbing for the ground ahead
    double clearance = 4.0;        // least height above the highest ground within 2 cells, bytes
    double lookAheadMargin = 5.0;  // bytes above the clearance the climb aims at ahead
    double ceiling = 1000.0;       // highest flight, bytes
};

// The flown camera and its motion. The ground is the scene's 256 x 256
// height map (index y * 256 + x; it wraps). Step is called once per frame
// with the time since the last frame; every speed eases toward what the
// controls ask without a jolt, the same whatever the frame rate.
// After every step the camera is at least `clearance` above the highest
// ground within two cells (the ground the check command measures); ground
// ahead along the motion is met by climbing early, so the camera rises over
// a ridge instead of stopping at it. The look-ahead only ever adds a climb:
// over ground far below, the pilot descends as asked, down to the floor
// (pushing down, the look-ahead aims at the floor, without its margin).
class FreeFlight {
public:
    // `bottomRow`: the view's last row, which sets the level horizon and the
    // horizon's range.
    FreeFlight(const uint8_t* heights, int bottomRow, const FlightLimits& limits = {});

    // Puts the camera at `pose` (raised to the clearance if need be), at rest.
    void Place(const FlightPose& pose);

    // Moves on by `seconds` (0 .. 0.25; longer pauses count as 0.25).
    void Step(const FlightControls& controls, double seconds);

    const FlightPose& Pose() const { return pose_; }
    // Ground speed in cells per second, and climbing speed in bytes per second.
    double GroundSpeed() const;
    double ClimbSpeed() const { return climbRate_; }
    // The lowest height allowed at (x, y): the highest ground within two
    // cells plus the clearance, in bytes.
    double Floor(double x, double y) const;
    // The view row that looks level.
    double LevelHorizon() const { return bottomRow_ / 2.0; }
    const FlightLimits& Limits() const { return limits_; }

    // How far ahead the ground is looked at, in cells, and in how many steps.
    static constexpr double kLookAheadCells = 60.0;
    static constexpr int kLookAheadSteps = 30;

private:
    // What the ground along the motion asks: the least climb, bytes per
    // second (kNoClimb when the ground ahead asks for none, so the pilot may
    // descend), and the fastest ground speed the steepest climb can clear it at.
    static constexpr double kNoClimb = -1e300;
    struct Ahead {
        double climb = kNoClimb;
        double fastest = 1e9;
    };
    // `margin`: the bytes above the floor the climb aims at.
    Ahead LookAhead(double directionX, double directionY, double speed, double margin) const;
    // Floor blended between cell centres.
    double SmoothFloor(double x, double y) const;

    const uint8_t* heights_;
    int bottomRow_;
    FlightLimits limits_;
    FlightPose pose_;
    double forwardSpeed_ = 0;  // cells per second along the heading
    double strafeSpeed_ = 0;   // cells per second to the right
    double climbRate_ = 0;     // bytes per second
    double turnRate_ = 0;      // heading units per second
    double tiltRate_ = 0;      // horizon rows per second
    // How fast each of them changes, per second.
    double forwardSlope_ = 0, strafeSlope_ = 0, climbSlope_ = 0, turnSlope_ = 0, tiltSlope_ = 0;
};

// The renderer's angle of a heading unit, in radians (its sine table steps
// 6.28 / 4096 per unit, not 2 pi / 4096).
constexpr double kRadiansPerHeadingUnit = 6.28 / 4096.0;
