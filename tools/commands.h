// commands.h -- flyover-tool's subcommands: each one's options, help and work, and their list
#pragma once

#include <span>

#include "tools/options.h"

// Each command as RunCommand takes it: name, summary, options, help text and work.
extern const CommandSpec kRenderCommand;
extern const CommandSpec kCameraCommand;
extern const CommandSpec kSceneCommand;
extern const CommandSpec kSoundCommand;
extern const CommandSpec kCheckCommand;
extern const CommandSpec kBenchCommand;
extern const CommandSpec kFlyCommand;
extern const CommandSpec kRecordCommand;
extern const CommandSpec kImportCommand;

// What each command does once its options are read: returns the exit status,
// 0 on success and 1 when the work failed.
int RunRenderCommand(const ParsedOptions& options);
int RunCameraCommand(const ParsedOptions& options);
int RunSceneCommand(const ParsedOptions& options);
int RunSoundCommand(const ParsedOptions& options);
int RunCheckCommand(const ParsedOptions& options);
int RunBenchCommand(const ParsedOptions& options);
int RunFlyCommand(const ParsedOptions& options);
int RunRecordCommand(const ParsedOptions& options);
int RunImportCommand(const ParsedOptions& options);

// What the tool is, in one line: its help's and its manual page's.
extern const char* const kToolDescription;

// Every command, in the order the tool's help lists them.
std::span<const CommandSpec* const> ToolCommands();
