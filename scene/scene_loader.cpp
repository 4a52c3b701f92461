// scene_loader.cpp -- builds the scene from Keys2.txt, its two maps and sky.BMP
#include "scene/scene_loader.h"

#include <cstdio>
#include <memory>

#include "path/key_path.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "render/tables.h"
#include "scene/bitmap_reader.h"
#include "scene/key_file.h"
#include "shared/scene_types.h"

namespace {

constexpr uint32_t kFileErrorFlags = MB_ICONEXCLAMATION | MB_SETFOREGROUND | MB_OK;
constexpr uint32_t kPathDimension = 5;
constexpr float kPathTension = 0.5f;

bool FileError(const char* format, const std::string& path) {
    const int n = std::snprintf(nullptr, 0, format, path.c_str());
    std::string text(static_cast<size_t>(n), '\0');
    std::snprintf(text.data(), text.size() + 1, format, path.c_str());
    MessageBox(text, kFileErrorCaption, kFileErrorFlags);
    return false;
}

// The renderer reads fixed shapes with no bounds of its own: maps of at
// least 256 x 256 bytes and a sky of exactly 512 x 256 bytes with a palette.
enum class Shape { Map, ColourMap, Sky };

bool HasShape(const BitmapImage& image, Shape shape) {
    const int64_t rows = image.height < 0 ? -int64_t{image.height} : int64_t{image.height};
    if (image.bitCount != 8) return false;
    switch (shape) {
        case Shape::Map:
            return image.width >= 256 && rows >= 256;
        case Shape::ColourMap:
            return image.width >= 256 && rows >= 256 && !image.palette.empty();
        case Shape::Sky:
            return image.width == 512 && rows == 256 && !image.palette.empty();
    }
    return false;
}

// Reads one picture into `image`; on any failure shows "Can't open Bitmap"
// with its full path. Names over 79 characters and paths over 255 are
// refused rather than cut.
bool LoadPicture(const std::string& directory, const std::string& name, BitmapImage& image,
                 Shape shape) {
    const std::string path = directory + name;
    if (CharacterCount(name) > kMaxNameChars || CharacterCount(path) > kMaxPathChars ||
        LoadBitmapFile(path, image) != 1 || !HasShape(image, shape)) {
        return FileError("Can't open Bitmap %s", path);
    }
    return true;
}

}  // namespace

std::string ProgramDirectory() {
    const std::string module = ModuleFileName();
    const size_t slash = module.find_last_of('/');
    if (slash == std::string::npos) return module;
    return module.substr(0, slash + 1);
}

bool LoadScene(const std::string& keyFilePath) {
    return LoadScene(keyFilePath, ProgramDirectory());
}

bool LoadScene(const std::string& keyFilePath, const std::string& directory) {
    if (!viewGeometry.origin) return false;

    std::FILE* stream =
        CharacterCount(keyFilePath) > kMaxPathChars ? nullptr : OpenTextStream(keyFilePath);
    if (!stream) return FileError("Can't open file %s", keyFilePath);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> keyFile(stream, &std::fclose);

    KeyFileReader reader(keyFile.get());
    const std::string colourMapName = reader.ReadName();
    const std::string heightMapName = reader.ReadName();
    const int32_t keyCount = reader.ReadInteger();
    const int32_t keyInterval = reader.ReadInteger();

    if (!LoadPicture(directory, colourMapName, scene.colourMap, Shape::ColourMap)) return false;
    if (!LoadPicture(directory, heightMapName, scene.heightMap, Shape::Map)) return false;
    if (!LoadPicture(directory, kSkyFileName, scene.sky, Shape::Sky)) return false;

    // Key i plays at i * D ms (32-bit wrap-around). Only the key lines the
    // file really holds are added, so a huge count allocates nothing extra; a
    // negative count gives an empty path.
    const std::vector<KeyValues> keys = reader.ReadKeys(keyCount);
    scene.path =
        std::make_unique<KeyPath>(kPathDimension, kPathTension, static_cast<uint32_t>(keys.size()));
    for (size_t i = 0; i < keys.size(); ++i) {
        const int32_t time =
            static_cast<int32_t>(static_cast<uint32_t>(i) * static_cast<uint32_t>(keyInterval));
        scene.path->AddKey(time, keys[i].data());
    }
    keyFile.reset();
    scene.path->Prepare();

    BuildShadeTable(scene.colourMap.palette.data());
    ConvertPaletteTo565(scene.sky);
    return true;
}
