// sdl_input.cpp -- the desktop's events for the screen's window, turned into the program's input
// events
#include "platform/sdl/sdl_screen.h"

void SdlScreen::Translate(const SDL_Event& event) {
    if (event.type == wakeEvent_) {
        wakePending_.store(false);
        return;
    }
    const Uint32 window = windowId_.load();
    InputEvent input;
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (window == 0 || event.key.windowID != window) return;
            // F11 on a true-colour window is the window's own: full screen on and off.
            if (options_.trueColour && event.key.keysym.sym == SDLK_F11) {
                if (event.type == SDL_KEYDOWN && event.key.repeat == 0) ToggleFullScreen();
                return;
            }
            if (event.type == SDL_KEYUP && !options_.fullInput) return;
            input.kind = event.type == SDL_KEYDOWN ? EventKind::KeyDown : EventKind::KeyUp;
            input.code = event.key.keysym.sym;
            input.repeat = event.key.repeat != 0;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            // Touches arrive here too: SDL turns them into left-button
            // presses. The renderer's logical size makes the position one
            // of the screen's pixels.
            if (window == 0 || event.button.windowID != window) return;
            if (!options_.fullInput &&
                (event.type == SDL_MOUSEBUTTONUP || event.button.button != SDL_BUTTON_LEFT))
                return;
            input.kind =
                event.type == SDL_MOUSEBUTTONDOWN ? EventKind::ButtonDown : EventKind::ButtonUp;
            input.code = event.button.button;
            input.x = event.button.x;
            input.y = event.button.y;
            break;
        case SDL_MOUSEMOTION:
            if (window == 0 || event.motion.windowID != window || !options_.fullInput) return;
            input.kind = EventKind::PointerMotion;
            input.x = event.motion.x;
            input.y = event.motion.y;
            input.dx = event.motion.xrel;
            input.dy = event.motion.yrel;
            input.buttons = event.motion.state;
            break;
        case SDL_WINDOWEVENT:
            if (window == 0 || event.window.windowID != window) return;
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) NoteDrawableSize();
                exposed_ = true;  // the picture was lost or moved: put it up again
                return;
            }
            if (event.window.event != SDL_WINDOWEVENT_CLOSE) return;
            input.kind = EventKind::CloseRequest;
            break;
        case SDL_CONTROLLERDEVICEADDED: {
            if (!options_.fullInput) return;
            SDL_GameController* controller = SDL_GameControllerOpen(event.cdevice.which);
            if (!controller) return;
            const SDL_JoystickID id =
                SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
            if (controllers_.count(id)) {
                SDL_GameControllerClose(controller);
                return;
            }
            controllers_[id] = controller;
            input.kind = EventKind::ControllerAdded;
            input.controller = id;
            break;
        }
        case SDL_CONTROLLERDEVICEREMOVED: {
            const auto found = controllers_.find(event.cdevice.which);
            if (found == controllers_.end()) return;
            SDL_GameControllerClose(found->second);
            controllers_.erase(found);
            input.kind = EventKind::ControllerRemoved;
            input.controller = event.cdevice.which;
            break;
        }
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            if (!controllers_.count(event.cbutton.which)) return;
            input.kind = event.type == SDL_CONTROLLERBUTTONDOWN ? EventKind::ControllerButtonDown
                                                                : EventKind::ControllerButtonUp;
            input.controller = event.cbutton.which;
            input.code = event.cbutton.button;
            break;
        case SDL_CONTROLLERAXISMOTION:
            if (!controllers_.count(event.caxis.which)) return;
            input.kind = EventKind::ControllerAxis;
            input.controller = event.caxis.which;
            input.code = event.caxis.axis;
            input.value = event.caxis.value;
            break;
        default:
            return;
    }
    events_.Post(input);
}
