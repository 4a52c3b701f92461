// record_options_fuzzer.cpp -- libFuzzer target: any arguments to "flyover-tool record", read by
// its option table and its own checks, then planned over a short path
//
// The input is split at newlines into arguments. Those ParseOptions accepts
// go through ReadRecordSettings; settings it accepts are planned with
// FramePlan::Make over a fixed path of two seconds (at most 10000 frames, so
// a run stays short). Nothing is rendered or written.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_files.h"
#include "path/key_path.h"
#include "tools/commands.h"
#include "tools/record_command.h"

namespace {

std::vector<std::string> SplitLines(const uint8_t* data, size_t size) {
    std::vector<std::string> args;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (!rest.empty() && args.size() < 64) {
        const size_t end = rest.find('\n');
        args.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return args;
}

// Frames from 0 to 1999 ms.
const KeyPath& TwoSecondPath() {
    static const KeyPath* path = [] {
        auto* made = new KeyPath(5, 0.5f, 4);
        for (const int32_t time : {0, 1000, 2000, 3000}) {
            const float values[5] = {1000.0f * time, 2000.0f, 3000.0f, 4.0f, 80.0f};
            made->AddKey(time, values);
        }
        made->Prepare();
        return made;
    }();
    return *path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParsedOptions parsed;
    std::string error;
    if (!ParseOptions(kRecordCommand, SplitLines(data, size), parsed, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    if (parsed.HelpWanted()) return 0;
    std::string usage;
    const std::optional<RecordSettings> settings = ReadRecordSettings(parsed, usage);
    if (!settings) {
        FUZZ_CHECK(!usage.empty());
        return 0;
    }
    // What the recorder relies on.
    const RecordSpan& span = settings->span;
    FUZZ_CHECK(span.fps >= 1 && span.fps <= MaxFps(settings->kind));
    FUZZ_CHECK(span.fromMs >= 0 && span.loops >= 1);
    FUZZ_CHECK(!span.toMs || *span.toMs > span.fromMs);
    const PictureGeometry& g = settings->geometry;
    FUZZ_CHECK(g.width >= 1 && g.height >= 1 && g.width <= 8192 && g.height <= 8192);
    FUZZ_CHECK(g.cropWidth * g.scale == g.width && g.cropHeight * g.scale == g.height);

    const std::optional<FramePlan> plan = FramePlan::Make(TwoSecondPath(), span, 10000, error);
    if (!plan) return 0;
    FUZZ_CHECK(plan->Frames() >= 1 && plan->Frames() <= 10000);
    FUZZ_CHECK(!plan->At(0).repeat && plan->At(0).flightMs == span.fromMs);
    for (int64_t i = 0; i < plan->Frames(); i += 97)
        FUZZ_CHECK(plan->At(i).flightMs < 2000);
    return 0;
}
