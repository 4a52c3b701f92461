// sdl_message_box.cpp -- message boxes on the desktop through SDL
#include <SDL.h>

#include "platform/message_box.h"
#include "platform/sdl_message_box.h"

bool ShowSdlMessageBox(const std::string& text, const std::string& caption, uint32_t flags) {
    const Uint32 kind =
        (flags & MB_ICONEXCLAMATION) ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
    // Owned by no window; returns once the user has pressed OK or closed it.
    return SDL_ShowSimpleMessageBox(kind, caption.c_str(), text.c_str(), nullptr) == 0;
}
