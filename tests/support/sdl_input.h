// sdl_input.h -- for tests: the SDL events a user's key, click or window close would make
#pragma once

#include <cstdint>

enum class InjectedInput { KeyPress, LeftButtonPress, CloseRequest };

// Any thread: puts the event that a key press (space), a left click at the
// screen's centre, or the window manager's close request would make into
// SDL's queue, addressed to the SDL window `windowId`. From there it takes
// the same road as real input. Returns false when there is no window yet or
// SDL refuses the event.
bool InjectInput(InjectedInput input, uint32_t windowId);
