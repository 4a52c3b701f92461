// fly_input_test.cpp -- the fly session's bindings: keys of each mode, held keys as flight
// controls, drags, game controllers plugged in and out
#include <gtest/gtest.h>

#include "fly/fly_input.h"

namespace {

InputEvent Key(EventKind kind, int32_t code, bool repeat = false) {
    InputEvent e;
    e.kind = kind;
    e.code = code;
    e.repeat = repeat;
    return e;
}
InputEvent Down(int32_t code, bool repeat = false) {
    return Key(EventKind::KeyDown, code, repeat);
}
InputEvent Up(int32_t code) {
    return Key(EventKind::KeyUp, code);
}
InputEvent Controller(EventKind kind, int32_t code = 0, int32_t value = 0, int32_t id = 7) {
    InputEvent e;
    e.kind = kind;
    e.code = code;
    e.value = value;
    e.controller = id;
    return e;
}

struct Binding {
    int32_t key;
    bool player;
    FlyCommand command;
};

TEST(FlyInputTest, KeysGiveTheirModesCommands) {
    const Binding bindings[] = {
        {keys::kEscape, false, FlyCommand::Quit},
        {keys::kEscape, true, FlyCommand::Quit},
        {keys::kTab, false, FlyCommand::SwitchMode},
        {keys::kTab, true, FlyCommand::SwitchMode},
        {keys::kReturn, false, FlyCommand::ToggleRecording},
        {keys::kReturn, true, FlyCommand::None},
        {'l', false, FlyCommand::ToggleLoop},
        {'o', true, FlyCommand::ToggleOverlay},
        {keys::kF1, false, FlyCommand::ToggleOverlay},
        {keys::kSpace, true, FlyCommand::Pause},
        {keys::kSpace, false, FlyCommand::None},  // levels out instead
        {keys::kLeft, true, FlyCommand::SeekBack},
        {keys::kRight, true, FlyCommand::SeekAhead},
        {keys::kDown, true, FlyCommand::SeekBackFar},
        {keys::kPageUp, true, FlyCommand::SeekAheadFar},
        {'+', true, FlyCommand::Faster},
        {'=', true, FlyCommand::Faster},
        {'-', true, FlyCommand::Slower},
        {',', true, FlyCommand::PreviousKey},
        {'.', true, FlyCommand::NextKey},
        {keys::kHome, true, FlyCommand::FirstKey},
        {keys::kEnd, true, FlyCommand::LastKey},
        {keys::kLeft, false, FlyCommand::None},  // turns instead
        {'w', true, FlyCommand::None},
    };
    for (const Binding& b : bindings) {
        FlyInput input;
        EXPECT_EQ(input.Take(Down(b.key), b.player), b.command)
            << "key " << b.key << (b.player ? " in the player" : " in free flight");
    }
}

TEST(FlyInputTest, ShiftMakesSeeksFarAndRepeatsDoNotToggle) {
    FlyInput input;
    input.Take(Down(keys::kLeftShift), true);
    EXPECT_EQ(input.Take(Down(keys::kLeft), true), FlyCommand::SeekBackFar);
    EXPECT_EQ(input.Take(Down(keys::kRight, true), true), FlyCommand::SeekAheadFar)
        << "a held seek key repeats";
    input.Take(Up(keys::kLeftShift), true);
    EXPECT_EQ(input.Take(Down(keys::kRight), true), FlyCommand::SeekAhead);
    EXPECT_EQ(input.Take(Down(keys::kReturn, true), false), FlyCommand::None)
        << "a held Return records once";
    EXPECT_EQ(input.Take(Down(keys::kSpace, true), true), FlyCommand::None);
}

TEST(FlyInputTest, HeldKeysAreTheFlightControls) {
    FlyInput input;
    for (const int32_t k : {int32_t{'w'}, int32_t{'a'}, int32_t{'e'}, int32_t{'r'}, int32_t{'t'},
                            int32_t{keys::kRightShift}})
        input.Take(Down(k), false);
    FlightControls c = input.Controls();
    EXPECT_EQ(c.forward, 1);
    EXPECT_EQ(c.turn, 1) << "left";
    EXPECT_EQ(c.strafe, 1) << "right";
    EXPECT_EQ(c.climb, 1);
    EXPECT_EQ(c.tilt, 1);
    EXPECT_TRUE(c.boost);
    for (const int32_t k : {int32_t{keys::kDown}, int32_t{keys::kRight}, int32_t{'q'},
                            int32_t{keys::kPageDown}, int32_t{'g'}})
        input.Take(Down(k), false);
    c = input.Controls();
    EXPECT_EQ(c.forward, 0) << "both ways held cancel";
    EXPECT_EQ(c.turn, 0);
    for (const int32_t k : {int32_t{'w'}, int32_t{'a'}, int32_t{'e'}, int32_t{'r'}, int32_t{'t'},
                            int32_t{keys::kRightShift}})
        input.Take(Up(k), false);
    c = input.Controls();
    EXPECT_EQ(c.forward, -1);
    EXPECT_EQ(c.turn, -1);
    EXPECT_EQ(c.strafe, -1);
    EXPECT_EQ(c.climb, -1);
    EXPECT_EQ(c.tilt, -1);
    EXPECT_FALSE(c.boost);
    input.Release();
    c = input.Controls();
    EXPECT_EQ(c.forward, 0);
    EXPECT_EQ(c.turn, 0);
}

TEST(FlyInputTest, SpaceLevelsOnceAndDragsTurnAndTiltOnce) {
    FlyInput input;
    input.Take(Down(keys::kSpace), false);
    InputEvent drag;
    drag.kind = EventKind::PointerMotion;
    drag.dx = 10;
    drag.dy = -5;
    drag.buttons = 1;
    input.Take(drag, false);
    input.Take(drag, false);
    drag.buttons = 0;  // moving without a button held does nothing
    input.Take(drag, false);
    FlightControls c = input.Controls();
    EXPECT_TRUE(c.level);
    EXPECT_DOUBLE_EQ(c.dragTurn, -20 * kDragTurnPerPixel) << "dragging right turns right";
    EXPECT_DOUBLE_EQ(c.dragTilt, 10 * kDragTiltPerPixel) << "dragging up looks up";
    c = input.Controls();
    EXPECT_FALSE(c.level);
    EXPECT_EQ(c.dragTurn, 0);
}

TEST(FlyInputTest, ControllersComeAndGoWithTheirSticks) {
    FlyInput input;
    EXPECT_EQ(input.Controllers(), 0);
    input.Take(Controller(EventKind::ControllerAdded), false);
    EXPECT_EQ(input.Controllers(), 1);
    input.Take(Controller(EventKind::ControllerAxis, controller::kLeftY, -32768), false);
    input.Take(Controller(EventKind::ControllerAxis, controller::kLeftX, 4000),
               false);  // dead zone
    input.Take(Controller(EventKind::ControllerAxis, controller::kRightTrigger, 32767), false);
    input.Take(Controller(EventKind::ControllerButtonDown, controller::kRightShoulder), false);
    FlightControls c = input.Controls();
    EXPECT_DOUBLE_EQ(c.forward, 1) << "stick pushed up";
    EXPECT_DOUBLE_EQ(c.turn, 0);
    EXPECT_DOUBLE_EQ(c.climb, 1);
    EXPECT_TRUE(c.boost);
    input.Take(Controller(EventKind::ControllerAxis, controller::kLeftX, 20383), false);
    EXPECT_NEAR(input.Controls().turn, -0.5, 1e-3) << "half right, past the dead zone";
    EXPECT_EQ(input.Take(Controller(EventKind::ControllerButtonDown, controller::kStart), false),
              FlyCommand::SwitchMode);
    EXPECT_EQ(input.Take(Controller(EventKind::ControllerButtonDown, controller::kX), false),
              FlyCommand::ToggleRecording);
    EXPECT_EQ(input.Take(Controller(EventKind::ControllerButtonDown, controller::kDpadRight), true),
              FlyCommand::SeekAhead);
    input.Take(Controller(EventKind::ControllerRemoved), false);
    EXPECT_EQ(input.Controllers(), 0);
    c = input.Controls();
    EXPECT_EQ(c.forward, 0) << "an unplugged controller stops steering";
    EXPECT_FALSE(c.boost);
}

}  // namespace
