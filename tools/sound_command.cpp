// sound_command.cpp -- "flyover-tool sound": writes the synthesized background sound as a WAVE file
#include <cstdio>
#include <string>

#include "scenegen/indexed_image.h"
#include "scenegen/sound.h"
#include "tools/commands.h"
#include "tools/tool_output.h"

namespace {

constexpr OptionSpec kOptions[] = {
    TextOption("--out", "FILE.wav", "where to write the sound").Required(),
};

}  // namespace

// As CommandSpec lists them: name, summary, description, options, epilog,
// help column and the work.
constinit const CommandSpec kSoundCommand = {
    "sound",
    "synthesize the looping background sound as a WAVE file",
    "Synthesizes the demo's background sound -- a soft pad with a bell tune, about\n"
    "7.5 s, made to loop without a click -- and writes it as a RIFF WAVE file:\n"
    "PCM, mono, 11025 Hz, 8 bits. The bytes are the same on every run.\n",
    kOptions,
    "Exit status: 0 on success, 1 when the file cannot be written, 2 for bad arguments.\n",
    19,
    RunSoundCommand};

int RunSoundCommand(const ParsedOptions& options) {
    std::string error;
    if (!WriteFileBytes(options.Text("--out"), EncodeWav(SynthesizeLoop()), error)) {
        ToolError("sound", error);
        return 1;
    }
    return 0;
}
