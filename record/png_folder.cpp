// png_folder.cpp -- PNG frames encoded on the workers, written in order by the recording's thread
#include "record/png_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

std::string PngFrameName(int64_t index, int64_t frames) {
    int digits = 6;
    for (int64_t last = frames - 1, limit = 1000000; last >= limit && digits < 19; limit *= 10)
        ++digits;
    char name[48];
    std::snprintf(name, sizeof name, "frame-%0*lld.png", digits, static_cast<long long>(index));
    return name;
}

namespace {

class PngConverter final : public PictureConverter {
public:
    explicit PngConverter(const PictureGeometry& geometry) : geometry_(geometry) {}

    bool Start(std::string& error) {
        encoder_ = OpenEncoder(
            "png",
            [&](AVCodecContext* c) {
                c->width = geometry_.width;
                c->height = geometry_.height;
                c->pix_fmt = AV_PIX_FMT_RGB24;
                c->time_base = {1, 1};
                c->thread_count = 1;
                c->flags |= AV_CODEC_FLAG_BITEXACT;
            },
            "", error);
        frame_ = NewVideoFrame(AV_PIX_FMT_RGB24, geometry_.width, geometry_.height);
        packet_.reset(av_packet_alloc());
        if (encoder_ && (!frame_ || !packet_)) error = "out of memory";
        return encoder_ && frame_ && packet_;
    }

    bool Convert(const FrameBuffer& screen, Picture& picture, std::string& error) override {
        DrawRgb(screen, geometry_, frame_->data[0], frame_->linesize[0]);
        int status = avcodec_send_frame(encoder_.get(), frame_.get());
        if (status >= 0) status = avcodec_receive_packet(encoder_.get(), packet_.get());
        if (status < 0) {
            error = "the PNG encoder failed: " + AvErrorText(status);
            return false;
        }
        picture.bytes.assign(packet_->data, packet_->data + packet_->size);
        av_packet_unref(packet_.get());
        return true;
    }

    bool ConvertTrueColour(const HdFrame& frame, Picture& picture, std::string& error) override {
        DrawRgbFromXrgb(frame, geometry_, frame_->data[0], frame_->linesize[0]);
        return Encode(picture, error);
    }

private:
    bool Encode(Picture& picture, std::string& error) {
        int status = avcodec_send_frame(encoder_.get(), frame_.get());
        if (status >= 0) status = avcodec_receive_packet(encoder_.get(), packet_.get());
        if (status < 0) {
            error = "the PNG encoder failed: " + AvErrorText(status);
            return false;
        }
        picture.bytes.assign(packet_->data, packet_->data + packet_->size);
        av_packet_unref(packet_.get());
        return true;
    }

    const PictureGeometry geometry_;
    AvCodecPtr encoder_;
    AvFramePtr frame_;
    AvPacketPtr packet_;
};

class PngFolder final : public FrameSink {
public:
    PngFolder(const PictureGeometry& geometry, const std::string& folder, int64_t frames)
        : geometry_(geometry), folder_(folder), frames_(frames) {}

    std::unique_ptr<PictureConverter> MakeConverter(std::string& error) const override {
        auto converter = std::make_unique<PngConverter>(geometry_);
        if (!converter->Start(error)) return nullptr;
        return converter;
    }

    bool Write(int64_t index, Picture& picture, std::string& error) override {
        const std::string path = folder_ + "/" + PngFrameName(index, frames_);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        bool ok = file && std::fwrite(picture.bytes.data(), 1, picture.bytes.size(), file) ==
                              picture.bytes.size();
        if (file && std::fclose(file) != 0) ok = false;
        if (!ok) error = "cannot write " + path + ": " + std::strerror(errno);
        return ok;
    }

    bool Finish(int64_t, std::string&) override { return true; }

private:
    const PictureGeometry geometry_;
    const std::string folder_;
    const int64_t frames_;
};

}  // namespace

std::unique_ptr<FrameSink> OpenPngFolder(const PictureGeometry& geometry, const std::string& folder,
                                         int64_t frames) {
    return std::make_unique<PngFolder>(geometry, folder, frames);
}
