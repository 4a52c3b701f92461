// flyover_main.cpp -- the flyover executable: the demo on the SDL platform
#include "app/app_main.h"
#include "platform/sdl/sdl_platform.h"

int main() {
    // The demo has no options: its arguments are ignored.
    const std::unique_ptr<SdlPlatform> platform = SdlPlatformFromEnvironment();
    return AppMain(*platform);
}
