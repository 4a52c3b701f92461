// fly_input.cpp -- the key bindings of both modes, mouse drags and controller sticks
#include "fly/fly_input.h"

#include <algorithm>

namespace {

// A stick's value with its dead zone taken out, -1 .. 1.
double StickValue(int32_t value) {
    const double v = std::clamp(static_cast<double>(value), -32767.0, 32767.0);
    if (v > -kStickDeadZone && v < kStickDeadZone) return 0.0;
    const double sign = v < 0 ? -1.0 : 1.0;
    return sign * (std::abs(v) - kStickDeadZone) / (32767.0 - kStickDeadZone);
}

}  // namespace

FlyCommand FlyInput::Take(const InputEvent& event, bool player) {
    switch (event.kind) {
        case EventKind::KeyUp:
            held_.erase(event.code);
            return FlyCommand::None;
        case EventKind::KeyDown: {
            held_.insert(event.code);
            const int32_t k = event.code;
            const bool shift = Held(keys::kLeftShift) || Held(keys::kRightShift);
            if (k == keys::kEscape) return FlyCommand::Quit;
            if (event.repeat && !player) return FlyCommand::None;
            if (k == keys::kTab) return FlyCommand::SwitchMode;
            if (k == 'o' || k == keys::kF1) return FlyCommand::ToggleOverlay;
            if (k == 'l') return FlyCommand::ToggleLoop;
            if (!player) {
                if (k == keys::kReturn) return FlyCommand::ToggleRecording;
                if (k == keys::kSpace) level_ = true;
                return FlyCommand::None;
            }
            if (k == keys::kSpace && !event.repeat) return FlyCommand::Pause;
            if (k == keys::kLeft) return shift ? FlyCommand::SeekBackFar : FlyCommand::SeekBack;
            if (k == keys::kRight) return shift ? FlyCommand::SeekAheadFar : FlyCommand::SeekAhead;
            if (k == keys::kDown || k == keys::kPageDown) return FlyCommand::SeekBackFar;
            if (k == keys::kUp || k == keys::kPageUp) return FlyCommand::SeekAheadFar;
            if (k == '+' || k == '=' || k == keys::kKeypadPlus) return FlyCommand::Faster;
            if (k == '-' || k == keys::kKeypadMinus) return FlyCommand::Slower;
            if (k == ',') return FlyCommand::PreviousKey;
            if (k == '.') return FlyCommand::NextKey;
            if (k == keys::kHome) return FlyCommand::FirstKey;
            if (k == keys::kEnd) return FlyCommand::LastKey;
            return FlyCommand::None;
        }
        case EventKind::PointerMotion:
            // A drag with the left button turns and tilts, as grabbing a
            // camera would: right turns right, down looks down.
            if (!player && (event.buttons & 1u)) {
                dragTurn_ -= event.dx * kDragTurnPerPixel;
                dragTilt_ -= event.dy * kDragTiltPerPixel;
            }
            return FlyCommand::None;
        case EventKind::ControllerAdded:
            controllers_[event.controller] = {};
            return FlyCommand::None;
        case EventKind::ControllerRemoved:
            controllers_.erase(event.controller);
            controllerButtons_.erase(event.controller);
            return FlyCommand::None;
        case EventKind::ControllerAxis: {
            auto& axes = controllers_[event.controller];
            if (event.code >= 0 && event.code < controller::kAxisCount)
                axes[static_cast<size_t>(event.code)] = StickValue(event.value);
            return FlyCommand::None;
        }
        case EventKind::ControllerButtonUp:
            controllerButtons_[event.controller].erase(event.code);
            return FlyCommand::None;
        case EventKind::ControllerButtonDown: {
            controllerButtons_[event.controller].insert(event.code);
            const int32_t b = event.code;
            if (b == controller::kStart) return FlyCommand::SwitchMode;
            if (b == controller::kBack) return FlyCommand::ToggleOverlay;
            if (!player) {
                if (b == controller::kX) return FlyCommand::ToggleRecording;
                if (b == controller::kA) level_ = true;
                return FlyCommand::None;
            }
            if (b == controller::kA || b == controller::kB) return FlyCommand::Pause;
            if (b == controller::kDpadLeft) return FlyCommand::SeekBack;
            if (b == controller::kDpadRight) return FlyCommand::SeekAhead;
            if (b == controller::kDpadDown) return FlyCommand::SeekBackFar;
            if (b == controller::kDpadUp) return FlyCommand::SeekAheadFar;
            if (b == controller::kLeftShoulder) return FlyCommand::PreviousKey;
            if (b == controller::kRightShoulder) return FlyCommand::NextKey;
            return FlyCommand::None;
        }
        default:
            return FlyCommand::None;
    }
}

double FlyInput::Axis(int axis) const {
    double sum = 0;
    for (const auto& [id, axes] : controllers_)
        sum += axes[static_cast<size_t>(axis)];
    return std::clamp(sum, -1.0, 1.0);
}

FlightControls FlyInput::Controls() {
    const auto pair = [this](int32_t plus1, int32_t plus2, int32_t minus1, int32_t minus2) {
        return ((Held(plus1) || Held(plus2)) ? 1.0 : 0.0) -
               ((Held(minus1) || Held(minus2)) ? 1.0 : 0.0);
    };
    FlightControls c;
    c.forward = pair('w', keys::kUp, 's', keys::kDown) - Axis(controller::kLeftY);
    c.turn = pair('a', keys::kLeft, 'd', keys::kRight) - Axis(controller::kLeftX);
    c.strafe = pair('e', 'e', 'q', 'q') + Axis(controller::kRightX);
    c.climb = pair('r', keys::kPageUp, 'f', keys::kPageDown) + Axis(controller::kRightTrigger) -
              Axis(controller::kLeftTrigger);
    c.tilt = pair('t', 't', 'g', 'g') - Axis(controller::kRightY);
    bool shoulder = false;
    for (const auto& [id, buttons] : controllerButtons_)
        shoulder = shoulder || buttons.count(controller::kLeftShoulder) ||
                   buttons.count(controller::kRightShoulder);
    c.boost = Held(keys::kLeftShift) || Held(keys::kRightShift) || shoulder;
    c.level = level_;
    c.dragTurn = dragTurn_;
    c.dragTilt = dragTilt_;
    level_ = false;
    dragTurn_ = dragTilt_ = 0;
    return c;
}

void FlyInput::Release() {
    held_.clear();
    for (auto& [id, buttons] : controllerButtons_)
        buttons.clear();
    dragTurn_ = dragTilt_ = 0;
    level_ = false;
}
