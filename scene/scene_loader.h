// scene_loader.h -- reads the key file and the pictures it names into the program-wide scene
#pragma once

#include <string>

// Text the loader shows, under the caption kFileErrorCaption.
inline constexpr char kFileErrorCaption[] = "Pelmora, File Error";
inline constexpr char kKeyFileName[] = "Keys2.txt";
inline constexpr char kSkyFileName[] = "sky.BMP";

// Limits of the original's fixed buffers, in characters.
constexpr size_t kMaxNameChars = 79;   // a file name from the key file
constexpr size_t kMaxPathChars = 255;  // a full path

// The directory of the running program, ending with its separator ("/").
// Without any separator the whole module name is returned.
std::string ProgramDirectory();

// Called once at start-up, after OpenView and the table builds: reads the key
// file at `keyFilePath`, the colour map and height map it names and "sky.BMP"
// (all from `directory`, which ends with its separator), builds and prepares
// the camera path, builds ShadeTable and converts the sky's palette. On a
// failure shows the message naming the file and returns false; returns false
// without a message when the view has no frame buffer yet.
bool LoadScene(const std::string& keyFilePath, const std::string& directory);

// As above, with the pictures in ProgramDirectory().
bool LoadScene(const std::string& keyFilePath);
