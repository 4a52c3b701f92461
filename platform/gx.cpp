// gx.cpp -- the display library's calls, forwarded to the installed device
#include "platform/gx.h"

namespace {
std::unique_ptr<GXDevice> installedDevice;
bool displayOpen = false;
}  // namespace

void GXInstallDevice(std::unique_ptr<GXDevice> device) {
    installedDevice = std::move(device);
    displayOpen = false;
}

GXDevice* GXInstalledDevice() {
    return installedDevice.get();
}

int GXOpenDisplay(void* /*window*/, unsigned long /*flags*/) {
    if (!installedDevice) return 0;
    displayOpen = installedDevice->Open();
    return displayOpen ? 1 : 0;
}

int GXCloseDisplay() {
    displayOpen = false;
    return 1;
}

GXDisplayProperties GXGetDisplayProperties() {
    return displayOpen ? installedDevice->Properties() : GXDisplayProperties{};
}

void* GXBeginDraw() {
    return displayOpen ? installedDevice->BeginDraw() : nullptr;
}

int GXEndDraw() {
    return displayOpen ? installedDevice->EndDraw() : 0;
}

int GXIsDisplayDRAMBuffer() {
    return displayOpen ? installedDevice->IsDRAMBuffer() : 0;
}
