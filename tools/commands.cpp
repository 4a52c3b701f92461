// commands.cpp -- the list of flyover-tool's subcommands
#include "tools/commands.h"

namespace {

constexpr const CommandSpec* kCommands[] = {
    &kRenderCommand, &kCameraCommand, &kSceneCommand, &kSoundCommand,
    &kCheckCommand,  &kBenchCommand,  &kFlyCommand,   &kRecordCommand, &kImportCommand,
};

}  // namespace

const char* const kToolDescription =
    "Renders and inspects flyover scenes without a window; \"fly\" opens one.";

std::span<const CommandSpec* const> ToolCommands() {
    return kCommands;
}
