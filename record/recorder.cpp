// recorder.cpp -- the recording's passes: the GIF palette's colours, then the frames to the writer
#include "record/recorder.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "record/av_util.h"
#include "record/encoder_settings.h"
#include "record/gif_palette.h"
#include "record/media_writer.h"
#include "record/ordered_pipeline.h"
#include "record/output_target.h"
#include "record/png_folder.h"
#include "record/progress_bar.h"
#include "render/hd_view.h"
#include "render/terrain_renderer.h"
#include "shared/scene_types.h"

namespace {

// Bytes of pictures in flight the pipeline keeps under, and its depth's bounds.
constexpr int64_t kInFlightBytes = 256 << 20;
constexpr int kMaxDepth = 32;

// Nanoseconds spent, summed over threads.
struct Timers {
    std::atomic<int64_t> draw{0}, convert{0};
};

int64_t Nanoseconds(double from, double to) {
    return static_cast<int64_t>((to - from) * 1e9);
}

// The view on a worker's screen, whose display the command has checked.
ViewGeometry ViewOf(FrameBuffer& frame) {
    std::string why;
    return ViewOnDisplay(FramePropertiesOf(frame), frame.TopLeft(), why).value();
}

// A worker's screen and renderer: draws frame after frame of the plan.
class FrameDrawer {
public:
    explicit FrameDrawer(const RecordRequest& request)
        : request_(request), frame_(request.display), view_(ViewOf(frame_)) {
        if (request.hd) {
            // The HD view's frame, the crop's size; each worker draws on its own thread alone.
            hd_.width = request.geometry.cropWidth;
            hd_.height = request.geometry.cropHeight;
            hd_.pitch = static_cast<ptrdiff_t>(hd_.width) * 4;
            hdPixels_.assign(static_cast<size_t>(hd_.width) * static_cast<size_t>(hd_.height), 0);
            hd_.pixels = hdPixels_.data();
            hdRenderer_ = std::make_unique<HdRenderer>(FastestHdPath(), 1);
        }
    }

    // Draws frame `index` of the plan on the screen.
    const FrameBuffer& Draw(int64_t index) {
        renderer_.Draw(view_, request_.sources, CameraOf(index));
        return frame_;
    }

    // Draws frame `index` of the plan in the HD view (the request has a terrain).
    const HdFrame& DrawTrueColour(int64_t index) {
        hdRenderer_->Draw(hd_, *request_.hd, CameraOf(index), request_.hdOptions);
        return hd_;
    }

private:
    CameraState CameraOf(int64_t index) const {
        CameraState camera;
        CameraAtTime(*request_.path, static_cast<float>(request_.plan->At(index).flightMs), camera);
        return camera;
    }

    const RecordRequest& request_;
    FrameBuffer frame_;
    ViewGeometry view_;
    TerrainRenderer renderer_;
    HdFrame hd_;
    std::vector<uint32_t> hdPixels_;
    std::unique_ptr<HdRenderer> hdRenderer_;
};

// The first pass for a GIF: how many pixels of each colour the clip has.
struct ColourCounts {
    std::vector<uint32_t> counts = std::vector<uint32_t>(65536);
};

class ColourCounter final : public ItemMaker<ColourCounts> {
public:
    explicit ColourCounter(const RecordRequest& request) : request_(request), drawer_(request) {}
    std::unique_ptr<ColourCounts> Make(int64_t index, std::string&) override {
        auto counts = std::make_unique<ColourCounts>();
        CountColours(drawer_.Draw(index), request_.geometry, counts->counts.data());
        return counts;
    }

private:
    const RecordRequest& request_;
    FrameDrawer drawer_;
};

class PictureMaker final : public ItemMaker<Picture> {
public:
    PictureMaker(const RecordRequest& request, std::unique_ptr<PictureConverter> converter,
                 Timers& timers)
        : request_(request), drawer_(request), converter_(std::move(converter)), timers_(timers) {}
    std::unique_ptr<Picture> Make(int64_t index, std::string& error) override {
        const double start = MonotonicSeconds();
        auto picture = std::make_unique<Picture>();
        double drawn = 0;
        if (request_.hd) {
            const HdFrame& frame = drawer_.DrawTrueColour(index);
            drawn = MonotonicSeconds();
            if (!converter_->ConvertTrueColour(frame, *picture, error)) return nullptr;
        } else {
            const FrameBuffer& screen = drawer_.Draw(index);
            drawn = MonotonicSeconds();
            if (!converter_->Convert(screen, *picture, error)) return nullptr;
        }
        timers_.draw += Nanoseconds(start, drawn);
        timers_.convert += Nanoseconds(drawn, MonotonicSeconds());
        return picture;
    }

private:
    const RecordRequest& request_;
    FrameDrawer drawer_;
    std::unique_ptr<PictureConverter> converter_;
    Timers& timers_;
};

PipelineShape ShapeFor(const RecordRequest& request, int64_t count, int64_t bytesPerItem) {
    PipelineShape shape;
    shape.count = count;
    shape.workers = request.workers;
    const int64_t fits = kInFlightBytes / (bytesPerItem > 0 ? bytesPerItem : 1);
    shape.depth = static_cast<int>(std::clamp<int64_t>(fits, request.workers + 1, kMaxDepth));
    return shape;
}

const std::atomic<bool>& StopFlag(const RecordRequest& request) {
    static const std::atomic<bool> kNever{false};
    return request.stop ? *request.stop : kNever;
}

// The GIF's palette from every frame of the plan; nothing when stopped or failed.
std::unique_ptr<GifPalette> CountGifColours(const RecordRequest& request, RecordReport& report,
                                            std::string& error) {
    const int64_t frames = request.plan->Frames();
    ColourCounts total;
    ProgressBar bar(request.messages, request.terminal, "palette", frames);
    const PipelineOutcome outcome = RunOrderedPipeline<ColourCounts>(
        ShapeFor(request, frames, 65536 * 4),
        [&]() { return std::make_unique<ColourCounter>(request); },
        [&](int64_t, ColourCounts& counts, std::string&) {
            for (size_t i = 0; i < counts.counts.size(); ++i)
                total.counts[i] += counts.counts[i];
            return true;
        },
        StopFlag(request), [&](int64_t done) { bar.Update(done); });
    if (outcome.failed || outcome.stopped) {
        report.stopped = outcome.stopped;
        error = outcome.failed ? outcome.error : "stopped before the first frame was written";
        return nullptr;
    }
    // Counts past 2^32 wrap only for clips of thousands of frames of one
    // colour; a colour seen keeps a nonzero count in any case.
    auto palette = std::make_unique<GifPalette>(BuildGifPalette(total.counts));
    if (request.quality == Quality::Lossless && !palette->exact) {
        int colours = 0;
        for (const uint32_t count : total.counts)
            colours += count != 0;
        error = "a GIF here holds " + std::to_string(kGifColours) + " colours and this clip has " +
                std::to_string(colours) +
                ": a lossless recording needs another format (.webp, .mkv, .webm, .mp4 or DIR/)";
        return nullptr;
    }
    return palette;
}

}  // namespace

bool Record(const RecordRequest& request, RecordReport& report, std::string& error) {
    const double start = MonotonicSeconds();
    // ffmpeg's libraries speak only of errors.
    av_log_set_level(AV_LOG_ERROR);
    report = RecordReport();
    const EncoderSettings settings = SettingsFor(request.kind, request.quality);
    RecordRequest req = request;
    if (req.hd && req.kind == OutputKind::Gif) {
        error =
            "a GIF holds the faithful view's colours; record the HD view to .mp4, .mkv, .webm, "
            ".webp or DIR/";
        return false;
    }
    if (req.hd) {
        // Only the size and options are checked here; each worker has its own pixels.
        uint32_t probe = 0;
        const std::string why =
            HdCheck(HdFrame{&probe, req.geometry.cropWidth, req.geometry.cropHeight,
                            static_cast<ptrdiff_t>(req.geometry.cropWidth) * 4},
                    req.hdOptions);
        if (!why.empty()) {
            error = why;
            return false;
        }
    }
    if (settings.yuv && PadToEvenSides(req.geometry)) {
        std::fprintf(request.messages,
                     "flyover-tool record: the picture is %s, padded with black to %s (4:2:0 "
                     "video needs even sides)\n",
                     SizeText(request.geometry.width, request.geometry.height).c_str(),
                     SizeText(req.geometry.width, req.geometry.height).c_str());
    }
    report.geometry = req.geometry;

    std::unique_ptr<OutputTarget> target =
        OutputTarget::Create(req.out, req.kind == OutputKind::PngFolder, error);
    if (!target) return false;

    std::unique_ptr<GifPalette> palette;
    if (req.kind == OutputKind::Gif) {
        palette = CountGifColours(req, report, error);
        if (!palette) return false;
    }

    const int64_t frames = req.plan->Frames();
    std::unique_ptr<FrameSink> sink;
    if (req.kind == OutputKind::PngFolder) {
        sink = OpenPngFolder(req.geometry, target->TemporaryPath(), frames);
    } else {
        MediaRequest media;
        media.settings = settings;
        media.geometry = req.geometry;
        media.fps = req.plan->Fps();
        media.sound = settings.audioEncoder ? req.sound : nullptr;
        media.soundStartMs = req.soundStartMs;
        media.palette = palette.get();
        sink = OpenMediaWriter(media, target->TemporaryPath(), error);
    }
    if (!sink) return false;

    Timers timers;
    double writeSeconds = 0;
    PipelineOutcome outcome;
    {
        ProgressBar bar(req.messages, req.terminal, "recording", frames);
        outcome = RunOrderedPipeline<Picture>(
            ShapeFor(req, frames, int64_t{req.geometry.width} * req.geometry.height * 4),
            [&]() -> std::unique_ptr<ItemMaker<Picture>> {
                std::string why;
                std::unique_ptr<PictureConverter> converter = sink->MakeConverter(why);
                if (!converter) throw std::runtime_error(why);
                return std::make_unique<PictureMaker>(req, std::move(converter), timers);
            },
            [&](int64_t index, Picture& picture, std::string& why) {
                const double before = MonotonicSeconds();
                const bool ok = sink->Write(index, picture, why);
                writeSeconds += MonotonicSeconds() - before;
                return ok;
            },
            StopFlag(req), [&](int64_t done) { bar.Update(done); });
    }
    report.frames = outcome.consumed;
    report.stopped = outcome.stopped;
    if (outcome.failed) {
        error = outcome.error;
        return false;
    }
    if (outcome.consumed == 0) {
        error = "stopped before the first frame was written";
        return false;
    }
    const double finishStart = MonotonicSeconds();
    if (!sink->Finish(outcome.consumed, error)) return false;
    sink.reset();
    writeSeconds += MonotonicSeconds() - finishStart;
    if (!target->Commit(error)) return false;
    report.written = true;
    report.seconds = MonotonicSeconds() - start;
    report.drawSeconds = static_cast<double>(timers.draw.load()) * 1e-9;
    report.convertSeconds = static_cast<double>(timers.convert.load()) * 1e-9;
    report.writeSeconds = writeSeconds;
    return true;
}
