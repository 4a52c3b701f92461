// commands.h -- flyover-tool's subcommands; each takes the arguments after its name
#pragma once

// Each returns the process exit code: 0 on success, 1 when the work failed,
// 2 for bad arguments.
int RunRenderCommand(int argc, char** argv);
int RunCameraCommand(int argc, char** argv);
int RunSceneCommand(int argc, char** argv);
int RunSoundCommand(int argc, char** argv);
int RunCheckCommand(int argc, char** argv);
int RunBenchCommand(int argc, char** argv);
