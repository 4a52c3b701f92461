// media_writer.cpp -- the encoders, the muxer and the sound's pace beside the frames
#include "record/media_writer.h"

#include <cstring>

#include "record/sound_track.h"
#include "record/yuv_picture.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/opt.h>
}

namespace {

// Converts drawn screens into the video encoder's frames on a worker thread.
class MediaConverter final : public PictureConverter {
public:
    MediaConverter(const MediaRequest& request, AVBufferPool* pool)
        : request_(request), pool_(pool) {}

    bool Start(std::string& error) {
        const EncoderSettings& s = request_.settings;
        const PictureGeometry& g = request_.geometry;
        if (s.yuv || s.pixelFormat == AV_PIX_FMT_PAL8 || s.pixelFormat == AV_PIX_FMT_RGB24)
            return true;
        scratch_.resize(static_cast<size_t>(g.width) * g.height * 3);
        // Same size: no scaling, only the pixel format; bit-exact and
        // accurately rounded, so every machine converts alike.
        sws_.reset(sws_getContext(g.width, g.height, AV_PIX_FMT_RGB24, g.width, g.height,
                                  s.pixelFormat, SWS_POINT | SWS_BITEXACT | SWS_ACCURATE_RND,
                                  nullptr, nullptr, nullptr));
        if (!sws_) {
            error = "cannot convert pictures for the video encoder";
            return false;
        }
        return true;
    }

    bool Convert(const FrameBuffer& screen, Picture& picture, std::string& error) override {
        const EncoderSettings& s = request_.settings;
        const PictureGeometry& g = request_.geometry;
        picture.frame = NewVideoFrame(s.pixelFormat, g.width, g.height, pool_);
        if (!picture.frame) {
            error = "out of memory";
            return false;
        }
        AVFrame* frame = picture.frame.get();
        if (s.pixelFormat == AV_PIX_FMT_PAL8) {
            const GifPalette& palette = *request_.palette;
            DrawIndexed(screen, g, palette.indexOf.data(), 0, frame->data[0], frame->linesize[0]);
            std::memcpy(frame->data[1], palette.argb.data(), 256 * 4);
            return true;
        }
        if (s.yuv) {
            DrawYuv420(screen, g, frame->data, frame->linesize);
            return true;
        }
        if (s.pixelFormat == AV_PIX_FMT_RGB24) {
            DrawRgb(screen, g, frame->data[0], frame->linesize[0]);
            return true;
        }
        DrawRgb(screen, g, scratch_.data(), g.width * 3);
        const uint8_t* source[] = {scratch_.data()};
        const int sourceStride[] = {g.width * 3};
        sws_scale(sws_.get(), source, sourceStride, 0, g.height, frame->data, frame->linesize);
        return true;
    }

    bool ConvertTrueColour(const HdFrame& source, Picture& picture, std::string& error) override {
        const EncoderSettings& s = request_.settings;
        const PictureGeometry& g = request_.geometry;
        if (s.pixelFormat == AV_PIX_FMT_PAL8) {
            error = "a GIF takes no true-colour frames";
            return false;
        }
        picture.frame = NewVideoFrame(s.pixelFormat, g.width, g.height, pool_);
        if (!picture.frame) {
            error = "out of memory";
            return false;
        }
        AVFrame* frame = picture.frame.get();
        if (s.yuv) {
            DrawYuv420FromXrgb(source, g, frame->data, frame->linesize);
            return true;
        }
        if (s.pixelFormat == AV_PIX_FMT_RGB24) {
            DrawRgbFromXrgb(source, g, frame->data[0], frame->linesize[0]);
            return true;
        }
        DrawRgbFromXrgb(source, g, scratch_.data(), g.width * 3);
        const uint8_t* from[] = {scratch_.data()};
        const int fromStride[] = {g.width * 3};
        sws_scale(sws_.get(), from, fromStride, 0, g.height, frame->data, frame->linesize);
        return true;
    }

private:
    const MediaRequest& request_;
    AVBufferPool* pool_;  // the writer's: frames go back to it once encoded
    SwsPtr sws_;
    std::vector<uint8_t> scratch_;
};

struct FormatClose {
    void operator()(AVFormatContext* format) const {
        if (format->pb) avio_closep(&format->pb);
        avformat_free_context(format);
    }
};

class MediaWriter final : public FrameSink {
public:
    explicit MediaWriter(const MediaRequest& request) : request_(request) {}

    bool Open(const std::string& path, std::string& error);

    std::unique_ptr<PictureConverter> MakeConverter(std::string& error) const override {
        auto converter = std::make_unique<MediaConverter>(request_, pool_.get());
        if (!converter->Start(error)) return nullptr;
        return converter;
    }

    bool Write(int64_t index, Picture& picture, std::string& error) override {
        picture.frame->pts = index;
        if (!Encode(video_.get(), videoStream_, picture.frame.get(), error)) return false;
        return WriteSoundUntil(index + 1, false, error);
    }

    bool Finish(int64_t frames, std::string& error) override {
        if (!Encode(video_.get(), videoStream_, nullptr, error)) return false;
        if (audio_ && (!WriteSoundUntil(frames, true, error) ||
                       !Encode(audio_.get(), audioStream_, nullptr, error)))
            return false;
        const int status = av_write_trailer(format_.get());
        if (status < 0) {
            error = "cannot finish the file: " + AvErrorText(status);
            return false;
        }
        const int closed = avio_closep(&format_->pb);
        if (closed < 0) {
            error = "cannot finish the file: " + AvErrorText(closed);
            return false;
        }
        return true;
    }

private:
    // A stream of the container for what `codec` makes.
    AVStream* AddStream(const AVCodecContext& codec, std::string& error);
    bool OpenVideo(std::string& error);
    bool OpenAudio(std::string& error);
    // Sends `frame` (null: the end) and writes every packet that comes out.
    bool Encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame, std::string& error);
    // Encodes the sound up to the end of frame `frames` - 1: whole audio
    // frames, and at the end the last part.
    bool WriteSoundUntil(int64_t frames, bool last, std::string& error);

    const MediaRequest request_;
    // The pictures' memory, shared by the converters. Declared first, so it
    // goes last, on the writer's thread, after the encoders have let go of
    // every frame (the GIF encoder keeps the one before).
    BufferPoolPtr pool_;
    std::unique_ptr<AVFormatContext, FormatClose> format_;
    AvCodecPtr video_, audio_;
    AVStream* videoStream_ = nullptr;
    AVStream* audioStream_ = nullptr;
    std::unique_ptr<SoundTrack> sound_;
    int64_t samplesWritten_ = 0;
    AvPacketPtr packet_{av_packet_alloc()};
};

bool MediaWriter::Open(const std::string& path, std::string& error) {
    const EncoderSettings& s = request_.settings;
    AVFormatContext* format = nullptr;
    int status = avformat_alloc_output_context2(&format, nullptr, s.muxer, nullptr);
    if (status < 0 || !format) {
        error = std::string("this ffmpeg has no ") + s.muxer + " writer";
        return false;
    }
    format_.reset(format);
    pool_ = NewFramePool(s.pixelFormat, request_.geometry.width, request_.geometry.height);
    if (!pool_) {
        error = "out of memory";
        return false;
    }
    // No library versions, random identifiers or dates in the file.
    format->flags |= AVFMT_FLAG_BITEXACT;
    if (!packet_ || !OpenVideo(error) || (request_.sound && !OpenAudio(error))) return false;
    // The name stays with the context: MP4's faststart opens the file again to move its index.
    const std::string url = "file:" + path;
    format->url = av_strdup(url.c_str());
    status = format->url ? avio_open(&format->pb, url.c_str(), AVIO_FLAG_WRITE) : AVERROR(ENOMEM);
    if (status < 0) {
        error = "cannot write " + path + ": " + AvErrorText(status);
        return false;
    }
    AVDictionary* options = nullptr;
    av_dict_parse_string(&options, s.muxerOptions.c_str(), "=", " ", 0);
    status = avformat_write_header(format, &options);
    av_dict_free(&options);
    if (status < 0) {
        error = "cannot write " + path + ": " + AvErrorText(status);
        return false;
    }
    return true;
}

AVStream* MediaWriter::AddStream(const AVCodecContext& codec, std::string& error) {
    AVStream* stream = avformat_new_stream(format_.get(), nullptr);
    if (!stream || avcodec_parameters_from_context(stream->codecpar, &codec) < 0) {
        error = "out of memory";
        return nullptr;
    }
    stream->time_base = codec.time_base;
    return stream;
}

bool MediaWriter::OpenVideo(std::string& error) {
    const EncoderSettings& s = request_.settings;
    const bool globalHeader = format_->oformat->flags & AVFMT_GLOBALHEADER;
    video_ = OpenEncoder(
        s.videoEncoder,
        [&](AVCodecContext* c) {
            c->width = request_.geometry.width;
            c->height = request_.geometry.height;
            c->pix_fmt = s.pixelFormat;
            c->time_base = {1, request_.fps};
            c->framerate = {request_.fps, 1};
            c->sample_aspect_ratio = {1, 1};
            c->thread_count = s.videoThreads;
            c->flags |= AV_CODEC_FLAG_BITEXACT;
            if (globalHeader) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            if (s.yuv) {
                c->color_range = AVCOL_RANGE_MPEG;
                c->colorspace = AVCOL_SPC_BT709;
                c->color_primaries = AVCOL_PRI_BT709;
                c->color_trc = AVCOL_TRC_BT709;
            }
        },
        s.videoOptions.c_str(), error);
    if (!video_) return false;
    videoStream_ = AddStream(*video_, error);
    if (!videoStream_) return false;
    videoStream_->avg_frame_rate = {request_.fps, 1};
    return true;
}

bool MediaWriter::OpenAudio(std::string& error) {
    const EncoderSettings& s = request_.settings;
    const bool globalHeader = format_->oformat->flags & AVFMT_GLOBALHEADER;
    audio_ = OpenEncoder(
        s.audioEncoder,
        [&](AVCodecContext* c) {
            c->sample_fmt = s.sampleFormat;
            c->sample_rate = s.sampleRate;
            c->ch_layout = AV_CHANNEL_LAYOUT_MONO;
            c->bit_rate = s.audioBitRate;
            c->time_base = {1, s.sampleRate};
            c->thread_count = 1;
            c->flags |= AV_CODEC_FLAG_BITEXACT;
            if (globalHeader) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        },
        s.audioOptions.c_str(), error);
    if (!audio_) return false;
    audioStream_ = AddStream(*audio_, error);
    if (!audioStream_) return false;
    sound_ = SoundTrack::Make(*request_.sound, request_.soundStartMs, *audio_, error);
    return sound_ != nullptr;
}

bool MediaWriter::Encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame,
                         std::string& error) {
    int status = avcodec_send_frame(codec, frame);
    while (status >= 0) {
        status = avcodec_receive_packet(codec, packet_.get());
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
        if (status < 0) break;
        av_packet_rescale_ts(packet_.get(), codec->time_base, stream->time_base);
        packet_->stream_index = stream->index;
        status = av_interleaved_write_frame(format_.get(), packet_.get());
        if (status < 0) {
            error = "cannot write the file: " + AvErrorText(status);
            return false;
        }
    }
    error = std::string("the ") + codec->codec->name + " encoder failed: " + AvErrorText(status);
    return false;
}

bool MediaWriter::WriteSoundUntil(int64_t frames, bool last, std::string& error) {
    if (!audio_) return true;
    const int64_t due = frames * audio_->sample_rate / request_.fps;
    const int64_t frameSize = audio_->frame_size > 0 ? audio_->frame_size : 1024;
    const bool smallLast = audio_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
    while (samplesWritten_ < due) {
        const int64_t left = due - samplesWritten_;
        if (left < frameSize && !last) break;
        const int count = static_cast<int>(left < frameSize && smallLast ? left : frameSize);
        AvFramePtr samples = sound_->Next(count);
        if (!samples) {
            error = "out of memory";
            return false;
        }
        samples->pts = samplesWritten_;
        if (!Encode(audio_.get(), audioStream_, samples.get(), error)) return false;
        samplesWritten_ += count;
    }
    return true;
}

}  // namespace

std::unique_ptr<FrameSink> OpenMediaWriter(const MediaRequest& request, const std::string& path,
                                           std::string& error) {
    auto writer = std::make_unique<MediaWriter>(request);
    if (!writer->Open(path, error)) return nullptr;
    return writer;
}
