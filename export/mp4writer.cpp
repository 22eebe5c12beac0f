#include "export/mp4writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int IO_BUFFER_SIZE = 1 << 16;
constexpr int SOUND_BIT_RATE = 32000;
// A keyframe, and so a fragment a kill leaves behind whole, about every few seconds.
constexpr int KEYFRAME_SECONDS = 2;
constexpr AVRational MILLISECONDS{1, 1000};

struct CFreeCodec {
    void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct CFreeFrame {
    void operator()(AVFrame* p) const { av_frame_free(&p); }
};
struct CFreePacket {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct CFreeScaler {
    void operator()(SwsContext* p) const { sws_freeContext(p); }
};
struct CFreeFormat {
    void operator()(AVFormatContext* p) const { avformat_free_context(p); }
};
struct CFreeIo {
    void operator()(AVIOContext* p) const
    {
        av_freep(&p->buffer);
        avio_context_free(&p);
    }
};
struct CFreeDict {
    void operator()(AVDictionary* p) const { av_dict_free(&p); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CFreeCodec>;
using FramePtr = std::unique_ptr<AVFrame, CFreeFrame>;

std::string Reason(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The muxer writes through these into our own descriptor.
int WritePacket(void* opaque, uint8_t* data, int size)
{
    const int fd = *static_cast<int*>(opaque);
    for (int done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return AVERROR(n < 0 ? errno : ENOSPC);
        done += int(n);
    }
    return size;
}

int64_t SeekFile(void* opaque, int64_t offset, int whence)
{
    const int fd = *static_cast<int*>(opaque);
    if (whence == AVSEEK_SIZE) {
        const off_t here = ::lseek(fd, 0, SEEK_CUR), end = ::lseek(fd, 0, SEEK_END);
        ::lseek(fd, here, SEEK_SET);
        return end;
    }
    const off_t at = ::lseek(fd, offset, whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : at;
}

} // namespace

struct CMp4Writer::CState {
    int m_fd = -1;
    std::string m_strPath;
    std::unique_ptr<AVFormatContext, CFreeFormat> m_format;
    std::unique_ptr<AVIOContext, CFreeIo> m_io;
    CodecPtr m_video, m_sound;
    AVStream* m_pVideoStream = nullptr; // owned by m_format
    AVStream* m_pSoundStream = nullptr;
    std::unique_ptr<SwsContext, CFreeScaler> m_scaler;
    FramePtr m_picture, m_soundFrame;
    std::unique_ptr<AVPacket, CFreePacket> m_packet;
    std::vector<float> m_pendingSound; // fewer samples than one AAC frame
    int64_t m_nSoundSent = 0;          // samples handed to the encoder
    bool m_bHeaderWritten = false;

    ~CState()
    {
        m_format.reset();
        m_io.reset();
        if (m_fd >= 0)
            ::close(m_fd);
    }
};

CMp4Writer::CMp4Writer() = default;

CMp4Writer::~CMp4Writer()
{
    Close();
}

std::string CMp4Writer::LibraryVersion()
{
    return av_version_info();
}

bool CMp4Writer::IsOpen() const
{
    return m_pState != nullptr;
}

const std::string& CMp4Writer::ErrorText() const
{
    return m_strError;
}

int64_t CMp4Writer::SoundSamples() const
{
    return m_pState ? m_pState->m_nSoundSent + int64_t(m_pState->m_pendingSound.size()) : 0;
}

namespace {

CodecPtr OpenVideoEncoder(const CMp4Format& f, bool globalHeader, std::string& error)
{
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) {
        error = "this FFmpeg has no libx264 encoder";
        return nullptr;
    }
    CodecPtr c(avcodec_alloc_context3(codec));
    c->width = f.m_nWidth;
    c->height = f.m_nHeight;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = MILLISECONDS;
    c->framerate = {f.m_nFpsHint, 1};
    c->gop_size = f.m_nFpsHint * KEYFRAME_SECONDS;
    // Without reordered frames the first picture is shown at 0, with the first sound,
    // in every player: a fragmented MP4 has no edit list to hide an encoder's delay.
    c->max_b_frames = 0;
    // Pixels are as wide as they must be for the picture to show at 4:3.
    av_reduce(&c->sample_aspect_ratio.num, &c->sample_aspect_ratio.den, 4 * int64_t(f.m_nHeight),
              3 * int64_t(f.m_nWidth), 1 << 16);
    if (globalHeader)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* raw = nullptr;
    av_dict_set(&raw, "preset", CMp4Writer::PRESET, 0);
    av_dict_set_int(&raw, "crf", f.m_nCrf, 0);
    std::unique_ptr<AVDictionary, CFreeDict> options(raw);
    if (const int rc = avcodec_open2(c.get(), codec, &raw); rc < 0) {
        options.release();
        av_dict_free(&raw);
        error = "the H.264 encoder could not be opened: " + Reason(rc);
        return nullptr;
    }
    options.release();
    av_dict_free(&raw);
    return c;
}

CodecPtr OpenSoundEncoder(bool globalHeader, std::string& error)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!codec) {
        error = "this FFmpeg has no AAC encoder";
        return nullptr;
    }
    CodecPtr c(avcodec_alloc_context3(codec));
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->sample_rate = CMp4Writer::SOUND_RATE;
    c->bit_rate = SOUND_BIT_RATE;
    av_channel_layout_default(&c->ch_layout, 1);
    c->time_base = {1, CMp4Writer::SOUND_RATE};
    if (globalHeader)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int rc = avcodec_open2(c.get(), codec, nullptr); rc < 0) {
        error = "the AAC encoder could not be opened: " + Reason(rc);
        return nullptr;
    }
    return c;
}

AVStream* AddStream(AVFormatContext* format, const AVCodecContext* codec, std::string& error)
{
    AVStream* stream = avformat_new_stream(format, nullptr);
    if (!stream || avcodec_parameters_from_context(stream->codecpar, codec) < 0) {
        error = "a stream could not be added";
        return nullptr;
    }
    stream->time_base = codec->time_base;
    stream->sample_aspect_ratio = codec->sample_aspect_ratio;
    return stream;
}

} // namespace

bool CMp4Writer::Open(const std::string& path, const CMp4Format& f)
{
    // The libraries' own chatter (encoder statistics) is not for our users; their
    // errors come back to us and are said with the file.
    av_log_set_level(AV_LOG_QUIET);
    Close();
    m_strError.clear();
    auto s = std::make_unique<CState>();
    s->m_strPath = path;
    s->m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (s->m_fd < 0) {
        m_strError = std::strerror(errno);
        return false;
    }
    AVFormatContext* raw = nullptr;
    if (const int rc = avformat_alloc_output_context2(&raw, nullptr, "mp4", nullptr); rc < 0) {
        m_strError = Reason(rc);
        ::unlink(path.c_str());
        return false;
    }
    s->m_format.reset(raw);
    auto* buffer = static_cast<uint8_t*>(av_malloc(IO_BUFFER_SIZE));
    s->m_io.reset(avio_alloc_context(buffer, IO_BUFFER_SIZE, 1, &s->m_fd, nullptr, WritePacket, SeekFile));
    s->m_format->pb = s->m_io.get();
    s->m_format->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_FLUSH_PACKETS;
    s->m_format->flush_packets = 1;
    m_pState = std::move(s);
    if (!OpenStreams(f) || !WriteHeader(f)) {
        const std::string error = m_strError;
        m_pState.reset();
        ::unlink(path.c_str());
        m_strError = error;
        return false;
    }
    return true;
}

bool CMp4Writer::OpenStreams(const CMp4Format& f)
{
    CState& s = *m_pState;
    const bool globalHeader = s.m_format->oformat->flags & AVFMT_GLOBALHEADER;
    s.m_video = OpenVideoEncoder(f, globalHeader, m_strError);
    if (!s.m_video || !(s.m_pVideoStream = AddStream(s.m_format.get(), s.m_video.get(), m_strError)))
        return false;
    if (f.m_bAudio) {
        s.m_sound = OpenSoundEncoder(globalHeader, m_strError);
        if (!s.m_sound || !(s.m_pSoundStream = AddStream(s.m_format.get(), s.m_sound.get(), m_strError)))
            return false;
        s.m_soundFrame.reset(av_frame_alloc());
        s.m_soundFrame->format = s.m_sound->sample_fmt;
        s.m_soundFrame->sample_rate = SOUND_RATE;
        av_channel_layout_copy(&s.m_soundFrame->ch_layout, &s.m_sound->ch_layout);
    }
    s.m_picture.reset(av_frame_alloc());
    s.m_picture->format = AV_PIX_FMT_YUV420P;
    s.m_picture->width = f.m_nWidth;
    s.m_picture->height = f.m_nHeight;
    s.m_packet.reset(av_packet_alloc());
    s.m_scaler.reset(sws_getContext(f.m_nWidth, f.m_nHeight, AV_PIX_FMT_BGR24, f.m_nWidth, f.m_nHeight,
                                    AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!s.m_picture || !s.m_packet || !s.m_scaler || av_frame_get_buffer(s.m_picture.get(), 0) < 0) {
        m_strError = "out of memory";
        return false;
    }
    return true;
}

// Fragments begin at keyframes and go out whole, after an empty moov at the start.
bool CMp4Writer::WriteHeader(const CMp4Format& f)
{
    CState& s = *m_pState;
    av_dict_set(&s.m_format->metadata, "title", f.m_strTitle.c_str(), 0);
    av_dict_set(&s.m_format->metadata, "creation_time", f.m_strCreation.c_str(), 0);
    AVDictionary* raw = nullptr;
    av_dict_set(&raw, "movflags", "frag_keyframe+empty_moov+default_base_moof", 0);
    const int rc = avformat_write_header(s.m_format.get(), &raw);
    av_dict_free(&raw);
    if (rc < 0)
        return Fail("the MP4 header could not be written: " + Reason(rc));
    s.m_bHeaderWritten = true;
    return true;
}

bool CMp4Writer::WritePicture(const uint8_t* bgr, int64_t stride, int64_t ms)
{
    if (!m_pState || !m_strError.empty())
        return false;
    CState& s = *m_pState;
    AVFrame* picture = s.m_picture.get();
    if (av_frame_make_writable(picture) < 0)
        return Fail("out of memory");
    // The rows are bottom-up: start at the last and step back.
    const uint8_t* top = bgr + (picture->height - 1) * stride;
    const int topStride = -int(stride);
    sws_scale(s.m_scaler.get(), &top, &topStride, 0, picture->height, picture->data, picture->linesize);
    picture->pts = ms;
    return Encode(*s.m_video, *s.m_pVideoStream, picture);
}

bool CMp4Writer::WriteSound(const uint8_t* samples, size_t count)
{
    if (!m_pState || !m_pState->m_sound || !m_strError.empty())
        return false;
    CState& s = *m_pState;
    for (size_t i = 0; i < count; ++i)
        s.m_pendingSound.push_back(float(int(samples[i]) - 128) / 128.0f);
    const size_t frameSize = size_t(s.m_sound->frame_size);
    while (s.m_pendingSound.size() >= frameSize)
        if (!SendSound(frameSize))
            return false;
    return true;
}

bool CMp4Writer::SendSound(size_t count)
{
    CState& s = *m_pState;
    AVFrame* frame = s.m_soundFrame.get();
    av_frame_unref(frame);
    frame->format = s.m_sound->sample_fmt;
    frame->sample_rate = SOUND_RATE;
    av_channel_layout_copy(&frame->ch_layout, &s.m_sound->ch_layout);
    frame->nb_samples = int(count);
    if (av_frame_get_buffer(frame, 0) < 0)
        return Fail("out of memory");
    std::memcpy(frame->data[0], s.m_pendingSound.data(), count * sizeof(float));
    s.m_pendingSound.erase(s.m_pendingSound.begin(), s.m_pendingSound.begin() + std::ptrdiff_t(count));
    frame->pts = s.m_nSoundSent;
    s.m_nSoundSent += int64_t(count);
    return Encode(*s.m_sound, *s.m_pSoundStream, frame);
}

// `frame` null drains the encoder.
bool CMp4Writer::Encode(AVCodecContext& codec, AVStream& stream, const AVFrame* frame)
{
    CState& s = *m_pState;
    if (const int rc = avcodec_send_frame(&codec, frame); rc < 0)
        return Fail("a picture or sound could not be encoded: " + Reason(rc));
    for (;;) {
        AVPacket* packet = s.m_packet.get();
        const int rc = avcodec_receive_packet(&codec, packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return true;
        if (rc < 0)
            return Fail("a picture or sound could not be encoded: " + Reason(rc));
        av_packet_rescale_ts(packet, codec.time_base, stream.time_base);
        packet->stream_index = stream.index;
        const int written = av_interleaved_write_frame(s.m_format.get(), packet);
        if (written < 0)
            return Fail(Reason(written));
        if (s.m_io->error < 0)
            return Fail(Reason(s.m_io->error));
    }
}

bool CMp4Writer::Close()
{
    if (!m_pState)
        return m_strError.empty();
    CState& s = *m_pState;
    if (m_strError.empty() && s.m_sound && !s.m_pendingSound.empty())
        SendSound(s.m_pendingSound.size());
    if (m_strError.empty())
        Encode(*s.m_video, *s.m_pVideoStream, nullptr);
    if (m_strError.empty() && s.m_sound)
        Encode(*s.m_sound, *s.m_pSoundStream, nullptr);
    if (s.m_bHeaderWritten && m_strError.empty()) {
        if (const int rc = av_write_trailer(s.m_format.get()); rc < 0)
            Fail("the MP4 could not be completed: " + Reason(rc));
        else if (s.m_io->error < 0)
            Fail(Reason(s.m_io->error));
    }
    if (m_strError.empty() && ::fsync(s.m_fd) != 0)
        Fail(std::strerror(errno));
    if (m_strError.empty() && ::close(std::exchange(s.m_fd, -1)) != 0)
        Fail(std::strerror(errno));
    m_pState.reset();
    return m_strError.empty();
}

// The first reason is kept; the file keeps the fragments written before it.
bool CMp4Writer::Fail(const std::string& reason)
{
    if (m_strError.empty())
        m_strError = reason;
    return false;
}
