// decoded_import.h -- the import of a scene from two decoded pictures instead of two files, for a
// build whose picture reader is the in-memory one (the web page's)
#pragma once

#include <string>

#include "import/importer.h"
#include "import/memory_picture.h"

// BuildImportedScene over `colour` and `height` (a generated sky and a
// planned flight; `settings`' paths are not used): the scene's files in
// memory. False with a message naming the picture and the problem when one
// cannot be used. This build's ReadPicture reads the pictures given here
// alone (decoded_import.cpp replaces the file readers), so it links
// without libpng, giflib, libjpeg and SDL.
bool ImportDecodedPictures(const MemoryPicture& colour, const MemoryPicture& height,
                           const ImportSettings& settings, ImportedScene& scene,
                           ImportReport& report, std::string& error);
