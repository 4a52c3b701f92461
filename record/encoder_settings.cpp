// encoder_settings.cpp -- H.264, VP9, GIF and WebP settings per quality, with AAC or Opus sound
#include "record/encoder_settings.h"

namespace {

// Quality::Low, Medium, High: x264's quantizer (low and high; medium is at constant quality),
// libvpx's constant-quality level, WebP's quality, and the sound's bit rate.
constexpr int kX264Qp[] = {30, 26, 22};
constexpr int kVp9Crf[] = {42, 34, 26};
constexpr int kWebpQuality[] = {50, 70, 85};
constexpr int kAacBitRate[] = {48000, 64000, 96000};
constexpr int kOpusBitRate[] = {64000, 96000, 128000};

int Level(Quality quality) {
    return quality == Quality::Lossless ? 2 : static_cast<int>(quality);
}

// Opus, at 48 kHz as it always runs.
void UseOpus(EncoderSettings& s, int level) {
    s.audioEncoder = "libopus";
    s.sampleFormat = AV_SAMPLE_FMT_FLT;
    s.audioBitRate = kOpusBitRate[level];
}

}  // namespace

EncoderSettings SettingsFor(OutputKind kind, Quality quality) {
    EncoderSettings s;
    const int level = Level(quality);
    const bool lossless = quality == Quality::Lossless;
    switch (kind) {
        case OutputKind::Mp4:
        case OutputKind::Mkv:
            s.muxer = kind == OutputKind::Mp4 ? "mp4" : "matroska";
            // The index at the front, so that players start before the whole file is read.
            if (kind == OutputKind::Mp4) s.muxerOptions = "movflags=+faststart";
            // x264 is deterministic for a given thread count; two frame
            // threads keep both cores busy beside the renderers.
            s.videoThreads = 2;
            if (lossless) {
                s.videoEncoder = "libx264rgb";
                s.pixelFormat = AV_PIX_FMT_RGB24;
                s.videoOptions = "preset=veryfast qp=0";
            } else {
                s.videoEncoder = "libx264";
                s.pixelFormat = AV_PIX_FMT_YUV420P;
                s.yuv = true;
                // Medium: veryfast at constant quality (crf 22) keeps the
                // quality of the fastest preset at qp 26 in 55 % of the bytes,
                // and still records about seven times faster than the flight
                // plays on two cores (README, "Recording a flight"). Low and
                // high keep the fastest preset at a constant quantizer: rate
                // control without look-ahead, many times quicker.
                s.videoOptions = quality == Quality::Medium
                                     ? std::string("preset=veryfast crf=22")
                                     : "preset=ultrafast qp=" + std::to_string(kX264Qp[level]);
            }
            if (kind == OutputKind::Mp4) {
                s.audioEncoder = "aac";
                s.sampleFormat = AV_SAMPLE_FMT_FLTP;
                // Twice the clip's 11025 Hz holds all of it, at half the
                // encoding work of 44.1 or 48 kHz.
                s.sampleRate = 22050;
                s.audioOptions = "aac_coder=fast";
                s.audioBitRate = kAacBitRate[level];
            } else {
                // Matroska marks Opus's start-up delay, so the sound starts
                // with frame 0; it does not for AAC.
                UseOpus(s, level);
            }
            break;
        case OutputKind::Webm:
            s.muxer = "webm";
            s.videoEncoder = "libvpx-vp9";
            s.videoThreads = 2;
            if (lossless) {
                s.pixelFormat = AV_PIX_FMT_GBRP;
                s.videoOptions = "lossless=1 deadline=realtime cpu-used=8 row-mt=1";
            } else {
                s.pixelFormat = AV_PIX_FMT_YUV420P;
                s.yuv = true;
                s.videoOptions = "deadline=realtime cpu-used=8 row-mt=1 b=0 crf=" +
                                 std::to_string(kVp9Crf[level]);
            }
            UseOpus(s, level);
            break;
        case OutputKind::Gif:
            s.muxer = "gif";
            s.muxerOptions = "loop=0";
            s.videoEncoder = "gif";
            s.pixelFormat = AV_PIX_FMT_PAL8;
            break;
        case OutputKind::Webp:
            s.muxer = "webp";
            s.muxerOptions = "loop=0";
            s.videoEncoder = "libwebp_anim";
            s.pixelFormat = AV_PIX_FMT_BGRA;
            s.videoOptions = lossless ? std::string("lossless=1")
                                      : "lossless=0 quality=" + std::to_string(kWebpQuality[level]);
            break;
        case OutputKind::PngFolder:
            break;
    }
    return s;
}
