// sdl_input.cpp -- pushing user input into SDL's queue for tests
#include "tests/support/sdl_input.h"

#include <SDL.h>

bool InjectInput(InjectedInput input, uint32_t windowId) {
    if (windowId == 0) return false;
    SDL_Event event;
    SDL_zero(event);
    switch (input) {
        case InjectedInput::KeyPress:
            event.type = SDL_KEYDOWN;
            event.key.windowID = windowId;
            event.key.state = SDL_PRESSED;
            event.key.keysym.scancode = SDL_SCANCODE_SPACE;
            event.key.keysym.sym = SDLK_SPACE;
            break;
        case InjectedInput::LeftButtonPress:
            event.type = SDL_MOUSEBUTTONDOWN;
            event.button.windowID = windowId;
            event.button.button = SDL_BUTTON_LEFT;
            event.button.state = SDL_PRESSED;
            event.button.clicks = 1;
            event.button.x = 120;
            event.button.y = 160;
            break;
        case InjectedInput::CloseRequest:
            event.type = SDL_WINDOWEVENT;
            event.window.windowID = windowId;
            event.window.event = SDL_WINDOWEVENT_CLOSE;
            break;
    }
    event.common.timestamp = SDL_GetTicks();
    return SDL_PushEvent(&event) == 1;
}
