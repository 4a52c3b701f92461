// commands.cpp -- the list of flyover-tool's subcommands
#include "tools/commands.h"

namespace {

constexpr const CommandSpec* kCommands[] = {
    &kRenderCommand, &kCameraCommand, &kSceneCommand,  &kSoundCommand,
    &kCheckCommand,  &kBenchCommand,  &kRecordCommand,
};

}  // namespace

std::span<const CommandSpec* const> ToolCommands() {
    return kCommands;
}
