// app_main.cpp -- the start-up sequence and the message loop
#include "app/app_main.h"

#include "app/demo_hd_view.h"
#include "app/demo_state.h"
#include "app/display.h"
#include "app/main_window.h"
#include "app/render_thread.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "render/tables.h"
#include "resources/resources.h"

namespace {
constexpr uint32_t kMessagePauseMs = 40;
}  // namespace

bool StartDemo(Platform& demoPlatform) {
    platform = &demoPlatform;
    if (!OpenView()) return false;
    colourTables = BuildColourTables();
    sineTable = BuildSineTable();
    if (!LoadScene(ProgramDirectory() + kKeyFileName)) return false;
    if (!CreateMainWindow()) return false;
    StartHdView();
    const ResourceData sound = FindResource(kBackgroundSoundId, "WAVE");
    platform->PlayLoopingSound(sound.data, sound.size);
    return true;
}

int AppMain(Platform& demoPlatform) {
    if (!StartDemo(demoPlatform)) return kStartupFailedExitCode;
    StartRenderThread();

    InputEvent event;
    int exitCode = 0;
    while (platform->Events().Take(event, exitCode)) {
        Pause(kMessagePauseMs);
        MainWindowProc(event);
    }
    platform->StopSound();
    EndRenderThread();  // ended by the stop sequence already; a thread is never left running
    return exitCode;
}
