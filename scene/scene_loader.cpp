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

// Reads one picture into `image`; the error names its full path.
std::optional<SceneError> ReadPicture(const std::string& directory, const std::string& name,
                                      BitmapImage& image, Shape shape) {
    const std::string path = directory + name;
    if (CharacterCount(name) > kMaxNameChars)
        return BitmapError(path, "the name is longer than 79 characters");
    if (CharacterCount(path) > kMaxPathChars)
        return BitmapError(path, "the path is longer than 255 characters");
    switch (LoadBitmapFile(path, image)) {
        case 1:
            break;
        case kBitmapOpenFailed:
            return BitmapError(path, "the file cannot be opened");
        default:
            return BitmapError(path, "not an uncompressed BMP picture of 8 or more bits");
    }
    if (!HasShape(image, shape)) {
        return BitmapError(path, "the picture is " + std::to_string(image.width) + " x " +
                                     std::to_string(image.Rows()) + ", " +
                                     std::to_string(image.bitCount) + "-bit" +
                                     (image.HasPalette() ? "" : " without a palette") +
                                     "; it must be " + ShapeWanted(shape));
    }
    return std::nullopt;
}

}  // namespace

std::string AsDirectory(const std::string& directory) {
    if (directory.empty()) return "./";
    return directory.back() == '/' ? directory : directory + "/";
}

SceneLoad ReadScene(const std::string& keyFilePath, const std::string& directory,
                    const ColourTables& colours) {
    SceneLoad load;
    if (CharacterCount(keyFilePath) > kMaxPathChars) {
        load.error = KeyFileError(keyFilePath, "the path is longer than 255 characters");
        return load;
    }
    const FilePointer keyFile = OpenRegularFile(keyFilePath);
    if (!keyFile) {
        load.error = KeyFileError(keyFilePath, "the file cannot be opened");
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
