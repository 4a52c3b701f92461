// scene_loader.cpp -- builds a scene from Keys2.txt, its two maps and sky.BMP
#include "scene/scene_loader.h"

#include <memory>

#include "path/key_path.h"
#include "scene/bitmap_reader.h"
#include "scene/key_file.h"
#include "scene/regular_file.h"

namespace {

constexpr float kPathTension = 0.5f;

SceneError KeyFileError(const std::string& path, const std::string& reason) {
    return SceneError{"Can't open file " + path, path, reason};
}

SceneError BitmapError(const std::string& path, const std::string& reason) {
    return SceneError{"Can't open Bitmap " + path, path, reason};
}

// The renderer reads fixed shapes with no bounds of its own: maps of at
// least 256 x 256 bytes and a sky of exactly 512 x 256 bytes with a palette.
enum class Shape { Map, ColourMap, Sky };

bool HasShape(const BitmapImage& image, Shape shape) {
    const int64_t rows = image.Rows();
    if (image.bitCount != 8) return false;
    switch (shape) {
        case Shape::Map:
            return image.width >= kMapSide && rows >= kMapSide;
        case Shape::ColourMap:
            return image.width >= kMapSide && rows >= kMapSide && !image.palette.empty();
        case Shape::Sky:
            return image.width == kSkyWidth && rows == kSkyRows && !image.palette.empty();
    }
    return false;
}

std::string ShapeWanted(Shape shape) {
    switch (shape) {
        case Shape::Map:
            return "at least 256 x 256, 8-bit";
        case Shape::ColourMap:
            return "at least 256 x 256, 8-bit with a palette";
        case Shape::Sky:
            return "512 x 256, 8-bit with a palette";
    }
    return "";
}

// What each picture is called in the reasons.
const char* Role(Shape shape) {
    switch (shape) {
        case Shape::Map:
            return "height map";
        case Shape::ColourMap:
            return "colour map";
        case Shape::Sky:
            return "sky";
    }
    return "";
}

// Reads one picture into `image`; the error names its full path and says
// why, starting with the picture's name.
std::optional<SceneError> ReadPicture(const std::string& directory, const std::string& name,
                                      BitmapImage& image, Shape shape) {
    const std::string path = directory + name;
    if (name.empty())
        return BitmapError(path, std::string(kKeyFileName) + " names no " + Role(shape));
    if (CharacterCount(name) > kMaxNameChars)
        return BitmapError(path, "the " + std::string(Role(shape)) + "'s name in " + kKeyFileName +
                                     " is longer than 79 characters");
    if (CharacterCount(path) > kMaxPathChars)
        return BitmapError(path, "the path of " + name + " is longer than 255 characters");
    std::string why;
    if (LoadBitmapFile(path, image, why) != 1) return BitmapError(path, name + " " + why);
    if (!HasShape(image, shape)) {
        return BitmapError(path, name + " is " + std::to_string(image.width) + " x " +
                                     std::to_string(image.Rows()) + ", " +
                                     std::to_string(image.bitCount) + "-bit" +
                                     (image.HasPalette() ? "" : " without a palette") + "; the " +
                                     Role(shape) + " must be " + ShapeWanted(shape));
    }
    return std::nullopt;
}

}  // namespace

std::string WhyNoFlight(const KeyPath* path, const KeyFileHeader& header) {
    // The frame loop starts the flight's clock at 0 and starts it again
    // whenever the path has no camera for the time: the flight plays when
    // the path has a camera at 0.
    const uint32_t count = path ? path->Count() : 0;
    std::vector<float> values(path ? path->Dimension() : 0);
    if (path && path->Evaluate(0.0f, values.data())) return "";
    const std::string keys = kKeyFileName;
    const std::string interval = std::to_string(header.keyInterval) + " ms";
    if (count == 0 && header.keyCount <= 0)
        return keys + " declares " + std::to_string(header.keyCount) + " keys";
    if (count == 0)
        return "no key line of " + keys + " can be read (the interval was read as " + interval +
               "; what follows it is not a number)";
    if (count < 3)
        return keys + " holds " + std::to_string(count) + " key line" + (count == 1 ? "" : "s") +
               "; a flight needs at least 3";
    if (header.keyInterval == 0)
        return "the key interval in " + keys + " is 0 ms: every key is at time 0";
    if (header.keyInterval < 0)
        return "the key interval in " + keys + " is negative (" + interval +
               "): the keys' times never rise";
    return "the key interval in " + keys + " (" + interval +
           ") is so long that the keys' times pass 2^31 ms and wrap round";
}

std::string AsDirectory(const std::string& directory) {
    if (directory.empty()) return "./";
    return directory.back() == '/' ? directory : directory + "/";
}

SceneLoad ReadScene(const std::string& keyFilePath, const std::string& directory,
                    const ColourTables& colours) {
    SceneLoad load;
    if (CharacterCount(keyFilePath) > kMaxPathChars) {
        load.error =
            KeyFileError(keyFilePath, "the path of the key file is longer than 255 characters");
        return load;
    }
    std::string why;
    const FilePointer keyFile = OpenRegularFile(keyFilePath, &why);
    if (!keyFile) {
        const size_t slash = keyFilePath.find_last_of('/');
        const std::string name =
            slash == std::string::npos ? keyFilePath : keyFilePath.substr(slash + 1);
        load.error = KeyFileError(keyFilePath, (name.empty() ? keyFilePath : name) + " " + why);
        return load;
    }

    KeyFileReader reader(keyFile.get());
    KeyFileHeader& header = load.keyFile;
    header.colourMapName = reader.ReadName();
    header.heightMapName = reader.ReadName();
    header.keyCount = reader.ReadInteger();
    header.keyInterval = reader.ReadInteger();

    Scene& scene = load.scene;
    load.error = ReadPicture(directory, header.colourMapName, scene.colourMap, Shape::ColourMap);
    if (!load.error)
        load.error = ReadPicture(directory, header.heightMapName, scene.heightMap, Shape::Map);
    if (!load.error) load.error = ReadPicture(directory, kSkyFileName, scene.sky, Shape::Sky);
    if (load.error) return load;

    // Key i plays at i * D ms (32-bit wrap-around). Each key line goes
    // straight into the path as it is read, and only the lines the file
    // really holds are added, so a huge count allocates nothing extra; a
    // negative count gives an empty path.
    const uint32_t capacity = header.keyCount > 0 ? static_cast<uint32_t>(header.keyCount) : 0;
    scene.path = std::make_unique<KeyPath>(kKeyValues, kPathTension, capacity);
    KeyPath& path = *scene.path;
    uint32_t i = 0;
    reader.ReadKeys(header.keyCount, [&](const KeyValues& key) {
        path.AddKey(static_cast<int32_t>(i++ * static_cast<uint32_t>(header.keyInterval)),
                    key.data());
    });
    path.Prepare();

    scene.shadeTable = BuildShadeTable(scene.colourMap.palette.data());
    ConvertPaletteTo565(scene.sky, colours);
    return load;
}
