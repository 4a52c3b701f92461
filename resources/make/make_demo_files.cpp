// make_demo_files.cpp -- build-time maker of the demo's own files: its looping sound and its
// default scene
//
// The demo ships a synthesized sound (embedded in the program) and a generated
// scene (beside it). Both come from the scene generator alone, so this small
// program links nothing but the generator and the core: the demo builds
// without any of the tool's picture and codec libraries.
//
//   make_demo_files sound FILE.wav    writes the background sound
//   make_demo_files scene DIR         writes Keys2.txt and the three pictures into DIR
#include <cstdio>
#include <cstring>
#include <string>

#include "scenegen/indexed_image.h"
#include "scenegen/scene_generator.h"
#include "scenegen/sound.h"

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "sound") != 0 && std::strcmp(argv[1], "scene") != 0)) {
        std::fprintf(stderr, "usage: %s sound FILE.wav | scene DIR\n", argv[0]);
        return 2;
    }
    std::string error;
    const bool written = std::strcmp(argv[1], "sound") == 0
                             ? WriteFileBytes(argv[2], EncodeWav(SynthesizeLoop()), error)
                             : WriteScene(GenerateScene(kDefaultSceneSeed), argv[2], error);
    if (!written) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    return 0;
}
