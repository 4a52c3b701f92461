// sdl_entry.cpp -- sets SDL up around a windowed program's entry and closes it down afterwards
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/entry.h"
#include "platform/gx.h"
#include "platform/message_box.h"
#include "platform/sdl_message_box.h"
#include "platform/sound.h"
#include "platform/window.h"
#include "platform/window_internal.h"
#include "platform/windowed_display.h"

int RunWindowedProgram(int argc, char** argv, WinMainEntry entry) {
    SDL_SetMainReady();
    // Ctrl-C and SIGTERM end the process as they do any program here; the
    // program's own ways out are a key, a tap or closing its window.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "1");
    // The tap that brings the window to the front reaches the program too.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SetMessageBoxShower(&ShowSdlMessageBox);

    WindowedDisplayOptions options;
    std::string error;
    if (WindowedDisplayOptionsFrom(std::getenv("FLYOVER_DISPLAY"), std::getenv("FLYOVER_SCALE"),
                                   options, error)) {
        InstallWindowedDisplay(options);
    } else {
        std::fprintf(stderr, "flyover platform: %s\n", error.c_str());
    }

    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    const int result = entry(GetModuleHandle(nullptr), nullptr, commandLine.data(), SW_SHOW);

    StopLoopingWave();
    DestroyAllWindowsAtExit();
    DiscardQueuedMessages();
    GXInstallDevice(nullptr);
    SetMessageBoxShower(nullptr);
    SDL_Quit();
    return result;
}
