// output_kind.cpp -- output kinds by file name, and their defaults
#include "record/output_kind.h"

#include <algorithm>
#include <cctype>

std::optional<OutputKind> KindForOut(const std::string& out) {
    if (!out.empty() && out.back() == '/') return OutputKind::PngFolder;
    const size_t dot = out.rfind('.');
    const size_t slash = out.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::nullopt;
    std::string ext = out.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (dot == 0 || (slash != std::string::npos && dot == slash + 1)) return std::nullopt;
    if (ext == "mp4") return OutputKind::Mp4;
    if (ext == "mkv") return OutputKind::Mkv;
    if (ext == "webm") return OutputKind::Webm;
    if (ext == "gif") return OutputKind::Gif;
    if (ext == "webp") return OutputKind::Webp;
    return std::nullopt;
}

const char* KindsAccepted() {
    return ".mp4, .mkv, .webm, .gif, .webp, or DIR/ for numbered PNG files";
}

const char* KindName(OutputKind kind) {
    switch (kind) {
        case OutputKind::Mp4:
            return "MP4 (H.264, AAC)";
        case OutputKind::Mkv:
            return "Matroska (H.264, Opus)";
        case OutputKind::Webm:
            return "WebM (VP9, Opus)";
        case OutputKind::Gif:
            return "animated GIF";
        case OutputKind::Webp:
            return "animated WebP";
        case OutputKind::PngFolder:
            return "numbered PNG files";
    }
    return "";
}

bool KindHasSound(OutputKind kind) {
    return kind == OutputKind::Mp4 || kind == OutputKind::Mkv || kind == OutputKind::Webm;
}

int DefaultFps(OutputKind kind) {
    return kind == OutputKind::Gif ? 20 : kind == OutputKind::Webp ? 25 : 60;
}

int DefaultScale(OutputKind kind) {
    return kind == OutputKind::Gif || kind == OutputKind::Webp ? 1 : 2;
}

int MaxFps(OutputKind kind) {
    return kind == OutputKind::Gif ? 50 : 240;
}

std::vector<std::string> QualityNames() {
    return {"low", "medium", "high", "lossless"};
}

Quality QualityNamed(const std::string& name) {
    if (name == "low") return Quality::Low;
    if (name == "high") return Quality::High;
    if (name == "lossless") return Quality::Lossless;
    return Quality::Medium;
}
