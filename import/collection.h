// collection.h -- the colour and height pictures of a collection folder, paired by their names
#pragma once

#include <string>
#include <vector>

// A colour map and the height map that goes with it, and the scene's name.
struct CollectionPair {
    std::string colour, height, name;
};

// A collection's pairs, and the pictures left without a partner (each named
// by its file name, with what it lacks: "C7.png (no height map D7)").
struct Collection {
    std::vector<CollectionPair> pairs;
    std::vector<std::string> alone;
};

// The number n of a colour map's file name C<n>.EXT or C<n>W.EXT, or of a
// height map's D<n>.EXT, where EXT is png, gif, bmp, jpg or jpeg, all in
// lower case or all in upper case, and the letters C, W and D of either
// case; n is read from its first 9 digits. -1 for any other name.
int ColourMapNumber(const std::string& fileName);
int HeightMapNumber(const std::string& fileName);

// A collection's report names its pictures by their file names alone: the
// last part of `path`.
std::string BareName(const std::string& path);

// Pairs the pictures at `paths` (files, in the order given): colour map
// C<n> (or C<n>W) with height map D<n>, named after the colour map's stem
// (the last D<n> given wins when several share a number), and NAME.color
// with NAME.height. Pairs come by number, a number's colour maps in order of
// their paths, then the raw maps by name; other files are left out.
Collection PairCollection(const std::vector<std::string>& paths);

// The pairs among the regular files in the folder `dir`, in the order the
// folder lists them.
Collection FindCollection(const std::string& dir);
