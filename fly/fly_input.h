// fly_input.h -- the fly session's controls: keys, mouse drags and game controllers turned into
// flight controls and commands
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>

#include "fly/free_flight.h"
#include "platform/events.h"

// What a key or button asks of the session, beyond flying.
enum class FlyCommand {
    None,
    Quit,             // Escape
    SwitchMode,       // Tab: free flight <-> player
    ToggleRecording,  // Return (free flight): start, or stop and write the key file
    ToggleLoop,       // L: close the loop when writing, or not
    ToggleOverlay,    // O or F1
    Pause,            // player: Space
    SeekBack,         // player: Left, 1 s back (Shift: 10 s)
    SeekAhead,        // player: Right, 1 s on (Shift: 10 s)
    SeekBackFar,      // player: Down or PageDown, 10 s back
    SeekAheadFar,     // player: Up or PageUp, 10 s on
    Faster,           // player: + or =
    Slower,           // player: -
    PreviousKey,      // player: ,
    NextKey,          // player: .
    FirstKey,         // player: Home
    LastKey,          // player: End
};

// How far a mouse drag turns and tilts, per screen pixel.
constexpr double kDragTurnPerPixel = 4.0;  // heading units
constexpr double kDragTiltPerPixel = 1.0;  // horizon rows
// Stick travel that counts as none (of 32767).
constexpr int32_t kStickDeadZone = 8000;

// The state of the controls, fed every input event in order on the session's
// thread. Keys held and sticks set give the flight controls of each frame;
// presses that are commands are returned as they come.
class FlyInput {
public:
    // Takes one event; returns the command it gives, or None when it only
    // changes what is held. `player` says which mode's bindings apply.
    FlyCommand Take(const InputEvent& event, bool player);

    // The flight controls of this frame: what is held, plus the drag moved
    // since the last call (which it clears), plus one level request.
    FlightControls Controls();

    // Forgets every key and button held (when the mode changes).
    void Release();

    int Controllers() const { return static_cast<int>(controllers_.size()); }

private:
    bool Held(int32_t key) const { return held_.count(key) != 0; }
    double Axis(int axis) const;  // summed over the controllers, -1 .. 1

    std::set<int32_t> held_;                                                     // keys down
    std::map<int32_t, std::array<double, controller::kAxisCount>> controllers_;  // -1 .. 1 each
    std::map<int32_t, std::set<int32_t>> controllerButtons_;  // held, per controller
    double dragTurn_ = 0, dragTilt_ = 0;
    bool level_ = false;
};
