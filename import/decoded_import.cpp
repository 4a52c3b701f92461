// decoded_import.cpp -- the import's picture reader over decoded pictures in memory, and the
// import of a scene from two of them
#include "import/decoded_import.h"

#include "import/picture_reader.h"
#include "shared/text.h"

namespace {

// The pictures of the import running now, found by name.
const MemoryPicture* colourPicture = nullptr;
const MemoryPicture* heightPicture = nullptr;

const MemoryPicture* Find(const std::string& name) {
    if (colourPicture && name == colourPicture->name) return colourPicture;
    if (heightPicture && name == heightPicture->name) return heightPicture;
    return nullptr;
}

// Takes the description alone.
class InfoOnly final : public PictureRows {
public:
    explicit InfoOnly(PictureInfo& info) : info_(info) {}
    bool Begin(const PictureInfo& info, std::string&) override {
        info_ = info;
        return false;
    }
    void Row(int, const uint16_t*, const uint8_t*) override {}

private:
    PictureInfo& info_;
};

}  // namespace

bool ReadPicture(const std::string& path, PictureRows& rows, std::string& error) {
    const MemoryPicture* picture = Find(path);
    if (!picture) {
        error = EscapeControls(path) + ": no such picture";
        return false;
    }
    return FeedMemoryPicture(*picture, rows, error);
}

bool ReadPictureInfo(const std::string& path, PictureInfo& info, std::string& error) {
    const MemoryPicture* picture = Find(path);
    if (!picture) {
        error = EscapeControls(path) + ": no such picture";
        return false;
    }
    InfoOnly rows(info);
    std::string refused;
    if (FeedMemoryPicture(*picture, rows, refused)) return true;
    if (info.width > 0) return true;  // refused by InfoOnly, after the checks
    error = refused;
    return false;
}

bool ImportDecodedPictures(const MemoryPicture& colour, const MemoryPicture& height,
                           const ImportSettings& settings, ImportedScene& scene,
                           ImportReport& report, std::string& error) {
    // Two pictures of one name stay apart.
    MemoryPicture heightNamed;
    const MemoryPicture* heightUsed = &height;
    if (height.name == colour.name) {
        heightNamed = height;
        heightNamed.name += " (height)";
        heightUsed = &heightNamed;
    }
    colourPicture = &colour;
    heightPicture = heightUsed;
    ImportSettings given = settings;
    given.colourPath = colour.name;
    given.heightPath = heightUsed->name;
    given.skyPath.clear();
    given.keysPath.clear();
    const bool ok = BuildImportedScene(given, scene, report, error);
    colourPicture = heightPicture = nullptr;
    return ok;
}
