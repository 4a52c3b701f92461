// scene_loader.h -- reads a scene: the key file, the two maps it names and the sky, into a Scene
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "render/tables.h"
#include "shared/scene_types.h"

// Why a scene could not be read.
struct SceneError {
    // The system's own words, naming the file's full path: "Can't open file
    // PATH" for the key file, "Can't open Bitmap PATH" for a picture. The
    // demo shows them under the caption kFileErrorCaption.
    std::string message;
    std::string path;  // the file that failed
    // Why, in words that start with the file's name ("sky.BMP is 1 x 1; the
    // sky must be 512 x 256, 8-bit with a palette"; "Keys2.txt names no
    // colour map"), for the tools, which print it below the message.
    std::string reason;
};

// The key file's first items, as read.
struct KeyFileHeader {
    std::string colourMapName;
    std::string heightMapName;
    int32_t keyCount = 0;     // as declared; the key lines present may be fewer
    int32_t keyInterval = 0;  // milliseconds between keys
};

// What ReadScene gives: the scene, or the error that stopped it. On an error
// the scene holds what was read before it (pictures read earlier stay; no
// path before the sky is read).
struct SceneLoad {
    Scene scene;
    KeyFileHeader keyFile;
    std::optional<SceneError> error;

    explicit operator bool() const { return !error; }
};

// Reads the key file at `keyFilePath`, then the colour map and the height
// map it names and "sky.BMP", all three from `directory` (which ends with
// its separator); builds and prepares the camera path (key i at i * interval
// ms), builds the scene's shade table from the colour map's palette and
// converts the sky's palette with `colours`. Needs no display. Names over 79
// characters and paths over 255 are refused rather than cut; pictures of a
// shape the renderer cannot draw are refused as a picture that cannot be
// read. Safe to call from any thread.
SceneLoad ReadScene(const std::string& keyFilePath, const std::string& directory,
                    const ColourTables& colours);

// Why the path of a scene read from a key file with `header` never plays,
// in words naming the key file ("Keys2.txt holds 2 key lines; a flight needs
// at least 3"); "" when it plays. The demo's flight plays when the path has
// a camera at time 0: a key at 0 and a later one that is not the last.
std::string WhyNoFlight(const KeyPath* path, const KeyFileHeader& header);

// `directory` as ReadScene takes it: with a trailing "/" ("./" when empty).
std::string AsDirectory(const std::string& directory);
