// sound_command.cpp -- "flyover-tool sound": writes the synthesized background sound as a WAVE file
#include <cstdio>
#include <string>

#include "tools/commands.h"
#include "tools/scenegen/indexed_image.h"
#include "tools/scenegen/sound.h"
#include "tools/tool_common.h"

namespace {

constexpr char kHelp[] =
    "Usage: flyover-tool sound --out FILE.wav\n"
    "\n"
    "Synthesizes the demo's background sound -- a soft pad with a bell tune, about\n"
    "7.5 s, made to loop without a click -- and writes it as a RIFF WAVE file:\n"
    "PCM, mono, 11025 Hz, 8 bits. The bytes are the same on every run.\n"
    "\n"
    "  --out FILE.wav   where to write the sound\n"
    "\n"
    "Exit status: 0 on success, 1 when the file cannot be written, 2 for bad arguments.\n";

}  // namespace

int RunSoundCommand(int argc, char** argv) {
    const std::string command = "sound";
    ArgList args(argc, argv);
    std::string out;
    while (!args.Done()) {
        const std::string option = args.Take();
        if (option == "--help" || option == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (option == "--out") {
            if (!args.TakeValue(option, out)) return 2;
        } else {
            return UsageError(command, "unknown argument \"" + option + "\"");
        }
    }
    if (out.empty()) return UsageError(command, "--out FILE.wav is required");
    std::string error;
    if (!WriteFileBytes(out, EncodeWav(SynthesizeLoop()), error)) {
        std::fprintf(stderr, "flyover-tool sound: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
