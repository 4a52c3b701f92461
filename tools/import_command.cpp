// import_command.cpp -- "flyover-tool import": a scene from a pair of pictures, or one scene
// for each colour and height pair found in a collection
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "hdscene/hd_scene.h"
#include "import/collection.h"
#include "import/importer.h"
#include "shared/text.h"
#include "tools/commands.h"
#include "tools/tool_output.h"

namespace {

constexpr OptionSpec kOptions[] = {
    TextOption("--colour", "FILE", "the colour map: PNG, GIF, BMP, JPEG or a raw .color map"),
    TextOption("--height", "FILE", "the height map: PNG (8 or 16 bits), GIF, BMP, JPEG or .height"),
    TextOption("--collection", "DIR",
               "import every pair of a folder instead: colour map C<n> (or C<n>W)\n"
               "with height map D<n>, and NAME.color with NAME.height"),
    TextOption("--out", "DIR",
               "the scene's folder (made when missing; with --collection, one\n"
               "folder in it per pair)")
        .Required(),
    TextOption("--sky", "FILE", "the sky picture (default: generated as 'scene' does)"),
    WholeListOption("--region", "X,Y", 2, 0, 8191, "two whole numbers 0 to 8191",
                    "take the 256 x 256 piece at X,Y 1:1 instead of fitting; when the\n"
                    "pictures' sizes differ, X,Y are the larger one's pixels and the\n"
                    "same ground is taken from the other, scaled"),
    FlagOption("--fit", "fit the whole picture to 256 x 256 (the default)"),
    DecimalOption("--height-scale", "F", 0.001, 1000, "a number from 0.001 to 1000",
                  "multiply the picture's heights by F instead of scaling them so\n"
                  "that the map's slopes are the picture's"),
    TextOption("--keys", "FILE",
               "keep the flight of this key file instead of planning one; it is\n"
               "followed over the imported ground as 'check' follows it"),
    WholeOption("--seed", "N", 0, INT64_MAX, "a whole number >= 0",
                "seed of the planned flight and the generated sky (default 1)"),
    FlagOption("--dither",
               "dither the colours when a palette is cut (off by default: the\n"
               "renderer's haze shades every colour)"),
};

void PrintReport(const std::string& out, const ImportReport& report) {
    std::printf("%s\n", EscapeControls(out).c_str());
    std::printf("  colour  %s: %s\n", report.colourPicture.c_str(), report.colours.c_str());
    std::printf("  height  %s: %s\n", report.heightPicture.c_str(), report.heights.c_str());
    const SeamMeasure& h0 = report.heightSeamBefore;
    const SeamMeasure& h1 = report.heightSeamAfter;
    if (report.blended)
        std::printf(
            "  edges   did not tile (height seam %.2f across x, %.2f across y, against "
            "%.2f at most inside); blended: %.2f and %.2f\n",
            h0.acrossX / 257, h0.acrossY / 257, h0.inside / 257, h1.acrossX / 257,
            h1.acrossY / 257);
    else
        std::printf(
            "  edges   tile as they are (height seam %.2f and %.2f, %.2f at most "
            "inside)\n",
            h0.acrossX / 257, h0.acrossY / 257, h0.inside / 257);
    std::printf("  sky     %s\n", report.skyPicture.c_str());
    if (report.hdMaps.empty())
        std::printf(
            "  hd maps none: the pictures are under 512 a side (--view hd draws the 256 x 256 "
            "maps interpolated)\n");
    else
        std::printf("  hd maps %s: %s and %s (16-bit heights), for --view hd\n",
                    report.hdMaps.c_str(), kHdColourFileName, kHdHeightFileName);
    std::printf("  flight  %s\n", report.flight.c_str());
    for (const std::string& warning : report.warnings)
        ToolError("import", "warning: " + warning);
}

// Imports one pair; returns the exit status. Quiet (for a collection), it
// prints nothing and gives the reason of a failure in `why` and the warnings
// in `warnings`.
int ImportOne(ImportSettings settings, bool quiet, std::string* why = nullptr,
              std::vector<std::string>* warnings = nullptr) {
    ImportedScene scene;
    ImportReport report;
    std::string error;
    const bool built = BuildImportedScene(settings, scene, report, error);
    if (warnings) *warnings = report.warnings;
    if (!built || !WriteImportedScene(scene, settings.outDir, error, &report)) {
        if (why) *why = error;
        if (!quiet) ToolError("import", error);
        return 1;
    }
    if (!quiet) PrintReport(settings.outDir, report);
    if (!report.unmet.empty()) {
        std::string unmet;
        for (const std::string& u : report.unmet)
            unmet += (unmet.empty() ? "" : "; ") + u;
        if (why) *why = unmet;
        if (!quiet)
            ToolError("import",
                      "the scene is written, but its flight does not satisfy check: " + unmet);
        return 1;
    }
    return 0;
}

// `text` with the escaped `path` in it named by its file name alone.
std::string BareIn(std::string text, const std::string& path) {
    const std::string full = EscapeControls(path), bare = EscapeControls(BareName(path));
    for (size_t at = text.find(full); at != std::string::npos;
         at = text.find(full, at + bare.size()))
        text.replace(at, full.size(), bare);
    return text;
}

int ImportCollection(const std::string& dir, const ImportSettings& base) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        ToolError("import", EscapeControls(dir) + ": no such folder");
        return 1;
    }
    const Collection found = FindCollection(dir);
    const std::vector<CollectionPair>& pairs = found.pairs;
    const std::vector<std::string>& alone = found.alone;
    if (pairs.empty()) {
        ToolError("import", EscapeControls(dir) +
                                ": no pair found (colour map C<n> or C<n>W with height map "
                                "D<n>, or NAME.color with NAME.height)");
        return 1;
    }
    std::printf("%-24s %-24s %-12s %s\n", "colour", "height", "scene", "result");
    // Progress overwrites itself on a terminal; in a log the summary's lines
    // say as much.
    const bool progress = isatty(STDERR_FILENO) != 0;
    int failures = 0;
    for (size_t i = 0; i < pairs.size(); ++i) {
        const CollectionPair& pair = pairs[i];
        ImportSettings settings = base;
        settings.colourPath = pair.colour;
        settings.heightPath = pair.height;
        settings.outDir = (std::filesystem::path(base.outDir) / pair.name).string();
        std::string why;
        std::vector<std::string> warnings;
        const int status = ImportOne(settings, true, &why, &warnings);
        failures += status != 0;
        why = BareIn(BareIn(why, pair.colour), pair.height);
        std::printf("%-24s %-24s %-12s %s\n", EscapeControls(BareName(pair.colour)).c_str(),
                    EscapeControls(BareName(pair.height)).c_str(),
                    EscapeControls(pair.name).c_str(),
                    status == 0 ? "imported" : EscapeControls("failed: " + why).c_str());
        for (const std::string& warning : warnings)
            std::printf("  warning: %s\n",
                        EscapeControls(BareIn(BareIn(warning, pair.colour), pair.height)).c_str());
        std::fflush(stdout);
        if (progress) std::fprintf(stderr, "\rimport: %zu of %zu pairs", i + 1, pairs.size());
    }
    if (progress) std::fprintf(stderr, "\n");
    for (const std::string& a : alone)
        std::printf("%-24s %s\n", "not paired", EscapeControls(a).c_str());
    std::printf("%zu pairs: %zu imported, %d failed; %zu pictures without a partner\n",
                pairs.size(), pairs.size() - static_cast<size_t>(failures), failures, alone.size());
    return failures ? 1 : 0;
}

}  // namespace

constinit const CommandSpec kImportCommand = {
    "import",
    "make a scene from your own colour and height pictures",
    "Makes a scene in DIR from a colour picture and a height picture of any size\n"
    "from 64 x 64 to 8192 x 8192 (PNG indexed, grey or colour, 8 or 16 bits; GIF;\n"
    "BMP of any depth, RLE too; JPEG; raw .color/.height byte maps with a\n"
    "768-byte .palette beside them). Both are fitted to 256 x 256 (colour by\n"
    "area averaging; heights by the mean of each cell's average and its highest\n"
    "pixel, so that peaks keep their height) or cut 1:1 with --region. Where the\n"
    "maps do not tile, their edges are blended so the repeat shows no seam. A\n"
    "picture of at most 256 colours keeps them; others get a palette cut in\n"
    "Oklab. Heights keep 16-bit precision until they are rounded to bytes, and\n"
    "are scaled so that the map is as steep as the picture: a step between\n"
    "neighbouring pixels, times the picture's width / 256, is the mean step\n"
    "between neighbouring cells. A flight of 60 to 120 s is planned over the\n"
    "terrain, as 'scene' plans one.\n"
    "The files are written and loaded in a new folder first, then moved into\n"
    "DIR: a failure leaves nothing half-made. A report says what was done.\n",
    kOptions,
    "Exit status: 0 on success, 1 when a picture cannot be used or a file cannot be\n"
    "written (or, the scene written, its flight, planned or kept with --keys, does\n"
    "not satisfy 'check'), 2 for bad arguments.\n",
    22,
    RunImportCommand};

int RunImportCommand(const ParsedOptions& options) {
    const bool collection = options.Has("--collection");
    if (collection == (options.Has("--colour") || options.Has("--height")))
        return UsageError("import", "give --colour and --height, or --collection");
    if (!collection && !(options.Has("--colour") && options.Has("--height")))
        return UsageError("import", "--colour and --height go together");
    if (options.Has("--region") && options.Has("--fit"))
        return UsageError("import", "--region and --fit are alternatives");
    if (options.Has("--keys") && collection)
        return UsageError("import", "--keys names one flight; it does not go with --collection");
    ImportSettings settings;
    settings.colourPath = options.Text("--colour");
    settings.heightPath = options.Text("--height");
    settings.skyPath = options.Text("--sky");
    settings.keysPath = options.Text("--keys");
    settings.outDir = options.Text("--out");
    settings.seed = static_cast<uint64_t>(options.Whole("--seed", 1));
    settings.dither = options.Has("--dither");
    if (const OptionValue* region = options.Last("--region")) {
        settings.source.region = true;
        settings.source.x = static_cast<int>(region->wholes[0]);
        settings.source.y = static_cast<int>(region->wholes[1]);
    }
    if (options.Has("--height-scale")) settings.heightScale = options.Decimal("--height-scale", 1);
    if (collection) return ImportCollection(options.Text("--collection"), settings);
    return ImportOne(settings, false);
}
