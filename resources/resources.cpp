// resources.cpp -- the program's built-in resources: the generated background sound as WAVE 107
#include "resources/resources.h"

#include <strings.h>

// The RIFF WAVE file synthesized by "flyover-tool sound" during the build.
extern const uint8_t kBackgroundSoundWave[];
extern const size_t kBackgroundSoundWave_size;

ResourceData FindResource(int id, const char* type) {
    // Resource type names are compared without regard to case, as on the
    // original's platform.
    if (id == kBackgroundSoundId && type && strcasecmp(type, "WAVE") == 0)
        return {kBackgroundSoundWave, kBackgroundSoundWave_size};
    return {};
}
