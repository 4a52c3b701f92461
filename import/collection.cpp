// collection.cpp -- pairing a collection folder's colour and height maps by their file names
#include "import/collection.h"

#include <algorithm>
#include <filesystem>
#include <map>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// An extension "png", "gif", "bmp", "jpg" or "jpeg", all lower case or all
// upper case.
bool IsPictureExtension(const std::string& ext) {
    for (const char* known : {"png", "gif", "bmp", "jpg", "jpeg"}) {
        std::string upper = known;
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](char c) { return static_cast<char>(c - 'a' + 'A'); });
        if (ext == known || ext == upper) return true;
    }
    return false;
}

// The number in `name`, read as `letter` (either case), digits, then
// `suffix` (either case) when it is given, then '.' and a picture's
// extension; -1 when the name is not of that form.
int NumberedName(const std::string& name, char letter, char suffix) {
    if (name.empty() || (name[0] != letter && name[0] != letter - 'A' + 'a')) return -1;
    size_t at = 1;
    while (at < name.size() && IsDigit(name[at]))
        ++at;
    const size_t digits = at - 1;
    if (digits == 0) return -1;
    if (suffix && at < name.size() && (name[at] == suffix || name[at] == suffix - 'A' + 'a')) ++at;
    if (at >= name.size() || name[at] != '.' || !IsPictureExtension(name.substr(at + 1))) return -1;
    int number = 0;
    for (size_t i = 1; i <= std::min<size_t>(digits, 9); ++i)
        number = number * 10 + (name[i] - '0');
    return number;
}

}  // namespace

std::string BareName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

int ColourMapNumber(const std::string& fileName) {
    return NumberedName(fileName, 'C', 'W');
}

int HeightMapNumber(const std::string& fileName) {
    return NumberedName(fileName, 'D', 0);
}

Collection PairCollection(const std::vector<std::string>& paths) {
    namespace fs = std::filesystem;
    std::map<int, std::vector<std::string>> colours;
    std::map<int, std::string> heights;
    std::map<std::string, std::string> rawColours, rawHeights;
    for (const std::string& file : paths) {
        const fs::path path(file);
        const std::string name = path.filename().string();
        if (const int n = ColourMapNumber(name); n >= 0)
            colours[n].push_back(file);
        else if (const int d = HeightMapNumber(name); d >= 0)
            heights[d] = file;
        else if (path.extension() == ".color")
            rawColours[path.stem().string()] = file;
        else if (path.extension() == ".height")
            rawHeights[path.stem().string()] = file;
    }
    Collection found;
    std::map<int, bool> heightUsed;
    for (auto& [n, files] : colours) {
        std::sort(files.begin(), files.end());
        for (const std::string& c : files) {
            const auto h = heights.find(n);
            if (h == heights.end()) {
                found.alone.push_back(BareName(c) + " (no height map D" + std::to_string(n) + ")");
                continue;
            }
            heightUsed[n] = true;
            found.pairs.push_back({c, h->second, fs::path(c).stem().string()});
        }
    }
    for (const auto& [n, h] : heights)
        if (!heightUsed[n])
            found.alone.push_back(BareName(h) + " (no colour map C" + std::to_string(n) + ")");
    for (const auto& [stem, c] : rawColours) {
        const auto h = rawHeights.find(stem);
        if (h == rawHeights.end())
            found.alone.push_back(BareName(c) + " (no " + stem + ".height)");
        else
            found.pairs.push_back({c, h->second, stem});
    }
    for (const auto& [stem, h] : rawHeights)
        if (!rawColours.count(stem))
            found.alone.push_back(BareName(h) + " (no " + stem + ".color)");
    return found;
}

Collection FindCollection(const std::string& dir) {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec))
        if (entry.is_regular_file(ec)) files.push_back(entry.path().string());
    return PairCollection(files);
}
