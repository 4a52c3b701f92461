// app_main.cpp -- the start-up sequence and the message loop
#include "app/app_main.h"

#include "app/demo_state.h"
#include "app/display.h"
#include "app/main_window.h"
#include "app/render_thread.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/sound.h"
#include "platform/threads.h"
#include "render/tables.h"
#include "resources/resources.h"

namespace {
constexpr DWORD kSoundFlags = SND_RESOURCE | SND_ASYNC | SND_LOOP;  // 0x4000D
constexpr size_t kRenderThreadStackBytes = 4096;
constexpr uint32_t kMessagePauseMs = 40;
}  // namespace

int AppMain(HINSTANCE instance, HINSTANCE /*previousInstance*/, char* /*commandLine*/,
            int showCommand) {
    if (!OpenView()) return kStartupFailedExitCode;
    colourTables = BuildColourTables();
    sineTable = BuildSineTable();
    if (!LoadScene(ProgramDirectory() + kKeyFileName)) return kStartupFailedExitCode;
    if (!CreateMainWindow(showCommand, instance)) return kStartupFailedExitCode;
    PlaySound(MAKEINTRESOURCE(kBackgroundSoundId), instance, kSoundFlags);
    renderThread =
        CreateThread(nullptr, kRenderThreadStackBytes, RenderThread, nullptr, 0, nullptr);

    MSG msg;
    while (GetMessage(&msg, nullptr, 0, 0)) {
        Sleep(kMessagePauseMs);
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    PlaySound(nullptr, instance, 0);
    return static_cast<int>(msg.wParam);
}
