#include "lib/movie/movie_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace bw::tools {

namespace {

constexpr uint32_t kColours[] = {0xC82828, 0x2828C8, 0x28C828, 0xC8C828};
constexpr double kTones[] = {440.0, 880.0, 660.0, 330.0};
constexpr int32_t kHugeSide = 8000;
constexpr int kSoundChannels = 2;

// A growing byte vector that the muxer writes and seeks in.
struct MemoryOut {
  std::vector<uint8_t> bytes;
  size_t position = 0;

  static int Write(void* opaque, uint8_t* data, int size) {
    auto* out = static_cast<MemoryOut*>(opaque);
    const size_t end = out->position + static_cast<size_t>(size);
    if (end > out->bytes.size()) out->bytes.resize(end);
    std::memcpy(out->bytes.data() + out->position, data, static_cast<size_t>(size));
    out->position = end;
    return size;
  }
  static int64_t Seek(void* opaque, int64_t offset, int whence) {
    auto* out = static_cast<MemoryOut*>(opaque);
    int64_t target = 0;
    switch (whence & ~AVSEEK_FORCE) {
      case AVSEEK_SIZE:
        return static_cast<int64_t>(out->bytes.size());
      case SEEK_SET:
        target = offset;
        break;
      case SEEK_CUR:
        target = static_cast<int64_t>(out->position) + offset;
        break;
      case SEEK_END:
        target = static_cast<int64_t>(out->bytes.size()) + offset;
        break;
      default:
        return AVERROR(EINVAL);
    }
    if (target < 0) return AVERROR(EINVAL);
    out->position = static_cast<size_t>(target);
    return target;
  }
};

struct Codecs {
  const char* muxer;
  AVCodecID video;
  AVCodecID audio;
};

Codecs CodecsOf(MovieContainer container) {
  switch (container) {
    case MovieContainer::kMpeg1:
      return {"mpeg", AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MP2};
    case MovieContainer::kAvi:
      return {"avi", AV_CODEC_ID_MPEG4, AV_CODEC_ID_PCM_S16LE};
    case MovieContainer::kMp4:
      return {"mp4", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC};
    case MovieContainer::kWmv:
      return {"asf", AV_CODEC_ID_WMV2, AV_CODEC_ID_WMAV2};
  }
  return {"mpeg", AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MP2};
}

// Everything one write holds, freed on every path.
struct Session {
  MemoryOut out;
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  AVStream* videoStream = nullptr;
  AVStream* audioStream = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;

  ~Session() {
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    av_frame_free(&frame);
    av_packet_free(&packet);
    if (format) {
      if (format->pb) {
        av_freep(&format->pb->buffer);
        avio_context_free(&format->pb);
      }
      avformat_free_context(format);
    }
  }

  // Sends one frame (null drains) and writes every packet that comes out.
  bool Encode(AVCodecContext* codec, AVStream* stream, const AVFrame* input) {
    if (avcodec_send_frame(codec, input) < 0) return false;
    for (;;) {
      const int r = avcodec_receive_packet(codec, packet);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
      if (r < 0) return false;
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (av_interleaved_write_frame(format, packet) < 0) return false;
    }
  }
};

struct Yuv {
  uint8_t y, u, v;
};

Yuv YuvOfSecond(int64_t index, int32_t fps) {
  const uint32_t rgb = MovieColourOfSecond(static_cast<uint32_t>(index / fps));
  const double r = rgb >> 16, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  return {static_cast<uint8_t>(std::lround(16 + 0.257 * r + 0.504 * g + 0.098 * b)),
          static_cast<uint8_t>(std::lround(128 - 0.148 * r - 0.291 * g + 0.439 * b)),
          static_cast<uint8_t>(std::lround(128 + 0.439 * r - 0.368 * g - 0.071 * b))};
}

void FillPicture(AVFrame* frame, int64_t index, int32_t fps) {
  const Yuv colour = YuvOfSecond(index, fps);
  const int w = frame->width, h = frame->height;
  const int barTop = h - h / 8;
  const int barLeft = static_cast<int>((index * 4) % std::max(w, 1));
  for (int row = 0; row < h; ++row) {
    uint8_t* line = frame->data[0] + static_cast<ptrdiff_t>(row) * frame->linesize[0];
    std::memset(line, colour.y, static_cast<size_t>(w));
    if (row >= barTop) {
      for (int x = barLeft; x < std::min(w, barLeft + 8); ++x) line[x] = 235;
    }
  }
  for (int row = 0; row < h / 2; ++row) {
    std::memset(frame->data[1] + static_cast<ptrdiff_t>(row) * frame->linesize[1], colour.u,
                static_cast<size_t>(w / 2));
    std::memset(frame->data[2] + static_cast<ptrdiff_t>(row) * frame->linesize[2], colour.v,
                static_cast<size_t>(w / 2));
  }
}

constexpr int kTileSide = 256;  // a power of two, so coordinates wrap by masking

// Smoothed random values around 128, the same on every run.
struct Texture {
  uint8_t noise[kTileSide][kTileSide];
  int8_t wave[kTileSide];  // one period of a sine

  Texture() {
    std::vector<uint8_t> raw(size_t{kTileSide} * kTileSide);
    uint32_t state = 41;
    for (uint8_t& value : raw) {
      state = state * 1664525u + 1013904223u;
      value = static_cast<uint8_t>(state >> 24);
    }
    auto at = [&](int y, int x) {
      return raw[size_t(y & (kTileSide - 1)) * kTileSide + size_t(x & (kTileSide - 1))];
    };
    for (int y = 0; y < kTileSide; ++y) {
      for (int x = 0; x < kTileSide; ++x) {
        int sum = 0;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) sum += at(y + dy, x + dx);
        }
        noise[y][x] = static_cast<uint8_t>(sum / 9);
      }
    }
    for (int i = 0; i < kTileSide; ++i)
      wave[i] =
          static_cast<int8_t>(std::lround(24 * std::sin(2 * std::numbers::pi * i / kTileSide)));
  }
  int Noise(int64_t y, int64_t x) const {
    return noise[y & (kTileSide - 1)][x & (kTileSide - 1)] - 128;
  }
};

// The texture drifts as a camera pans, and a ripple runs across it, so both motion and change
// reach every row of every frame.
void FillTexturedPicture(AVFrame* frame, int64_t index, int32_t fps) {
  static const Texture texture;
  const Yuv colour = YuvOfSecond(index, fps);
  const int w = frame->width, h = frame->height;
  const int64_t panX = index * 3, panY = index * 2, phase = index * 6;
  auto clamp = [](int value, int low, int high) {
    return static_cast<uint8_t>(std::clamp(value, low, high));
  };
  for (int row = 0; row < h; ++row) {
    uint8_t* line = frame->data[0] + static_cast<ptrdiff_t>(row) * frame->linesize[0];
    for (int x = 0; x < w; ++x) {
      const int ripple = texture.wave[(x / 4 + row / 8 + phase) & (kTileSide - 1)];
      line[x] = clamp(colour.y + texture.Noise(row + panY, x + panX) / 2 + ripple, 16, 235);
    }
  }
  for (int row = 0; row < h / 2; ++row) {
    uint8_t* u = frame->data[1] + static_cast<ptrdiff_t>(row) * frame->linesize[1];
    uint8_t* v = frame->data[2] + static_cast<ptrdiff_t>(row) * frame->linesize[2];
    for (int x = 0; x < w / 2; ++x) {
      const int n = texture.Noise(row * 2 + panY + 97, x * 2 + panX + 53) / 4;
      u[x] = clamp(colour.u + n, 16, 240);
      v[x] = clamp(colour.v - n, 16, 240);
    }
  }
}

void FillSound(AVFrame* frame, int64_t firstSample, uint32_t rate) {
  for (int i = 0; i < frame->nb_samples; ++i) {
    const int64_t n = firstSample + i;
    const double tone = MovieToneOfSecond(static_cast<uint32_t>(n / rate));
    const double value =
        0.5 * std::sin(2.0 * std::numbers::pi * tone * static_cast<double>(n) / rate);
    for (int c = 0; c < kSoundChannels; ++c) {
      switch (frame->format) {
        case AV_SAMPLE_FMT_S16:
          reinterpret_cast<int16_t*>(frame->data[0])[i * kSoundChannels + c] =
              static_cast<int16_t>(value * 32767);
          break;
        case AV_SAMPLE_FMT_S16P:
          reinterpret_cast<int16_t*>(frame->data[c])[i] = static_cast<int16_t>(value * 32767);
          break;
        case AV_SAMPLE_FMT_FLTP:
          reinterpret_cast<float*>(frame->data[c])[i] = static_cast<float>(value);
          break;
        case AV_SAMPLE_FMT_FLT:
          reinterpret_cast<float*>(frame->data[0])[i * kSoundChannels + c] =
              static_cast<float>(value);
          break;
        default:
          break;
      }
    }
  }
}

// The first sample format of the encoder's list that FillSound writes.
AVSampleFormat PickSampleFormat(const AVCodec* codec) {
  for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f) {
    if (*f == AV_SAMPLE_FMT_S16 || *f == AV_SAMPLE_FMT_S16P || *f == AV_SAMPLE_FMT_FLTP ||
        *f == AV_SAMPLE_FMT_FLT) {
      return *f;
    }
  }
  return AV_SAMPLE_FMT_NONE;
}

int AddVideo(Session& s, const MovieWriterOptions& o, AVCodecID id) {
  const AVCodec* codec = avcodec_find_encoder(id);
  if (!codec) return kMovieWriteEncoderMissing;
  s.video = avcodec_alloc_context3(codec);
  s.videoStream = avformat_new_stream(s.format, nullptr);
  if (!s.video || !s.videoStream) return kMovieWriteFailed;
  s.video->width = o.width;
  s.video->height = o.height;
  s.video->time_base = AVRational{1, o.framesPerSecond};
  s.video->framerate = AVRational{o.framesPerSecond, 1};
  s.video->pix_fmt = AV_PIX_FMT_YUV420P;
  s.video->gop_size = o.framesPerSecond / 2;
  s.video->max_b_frames = 0;
  s.video->bit_rate = o.videoBitRate;
  s.video->flags |= AV_CODEC_FLAG_BITEXACT;
  s.video->thread_count = 1;
  if (s.format->oformat->flags & AVFMT_GLOBALHEADER) s.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(s.video, codec, nullptr) < 0 ||
      avcodec_parameters_from_context(s.videoStream->codecpar, s.video) < 0) {
    return kMovieWriteFailed;
  }
  s.videoStream->time_base = s.video->time_base;
  if (o.hugeSize) {
    s.videoStream->codecpar->width = kHugeSide;
    s.videoStream->codecpar->height = kHugeSide;
  }
  return kMovieWriteOk;
}

int AddAudio(Session& s, const MovieWriterOptions& o, AVCodecID id) {
  const AVCodec* codec = avcodec_find_encoder(id);
  if (!codec) return kMovieWriteEncoderMissing;
  s.audio = avcodec_alloc_context3(codec);
  s.audioStream = avformat_new_stream(s.format, nullptr);
  if (!s.audio || !s.audioStream) return kMovieWriteFailed;
  s.audio->sample_fmt = PickSampleFormat(codec);
  if (s.audio->sample_fmt == AV_SAMPLE_FMT_NONE) return kMovieWriteEncoderMissing;
  s.audio->sample_rate = static_cast<int>(o.soundRate);
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  av_channel_layout_copy(&s.audio->ch_layout, &stereo);
  s.audio->bit_rate = 128000;
  s.audio->time_base = AVRational{1, s.audio->sample_rate};
  s.audio->flags |= AV_CODEC_FLAG_BITEXACT;
  if (s.format->oformat->flags & AVFMT_GLOBALHEADER) s.audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(s.audio, codec, nullptr) < 0 ||
      avcodec_parameters_from_context(s.audioStream->codecpar, s.audio) < 0) {
    return kMovieWriteFailed;
  }
  s.audioStream->time_base = s.audio->time_base;
  return kMovieWriteOk;
}

int EncodeAll(Session& s, const MovieWriterOptions& o) {
  const int64_t frames = int64_t{o.ms} * o.framesPerSecond / 1000;
  const int64_t samples = int64_t{o.ms} * o.soundRate / 1000;
  const int chunk = s.audio && s.audio->frame_size > 0 ? s.audio->frame_size : 1024;
  int64_t nextFrame = 0, nextSample = 0;
  s.frame = av_frame_alloc();
  if (!s.frame) return kMovieWriteFailed;
  // Interleave by time: whichever stream is behind goes next.
  while ((s.video && nextFrame < frames) || (s.audio && nextSample < samples)) {
    const bool videoNext = s.video && nextFrame < frames &&
                           (!s.audio || nextSample >= samples ||
                            nextFrame * int64_t{o.soundRate} <= nextSample * o.framesPerSecond);
    av_frame_unref(s.frame);
    if (videoNext) {
      s.frame->format = AV_PIX_FMT_YUV420P;
      s.frame->width = o.width;
      s.frame->height = o.height;
      if (av_frame_get_buffer(s.frame, 0) < 0) return kMovieWriteFailed;
      if (o.textured) {
        FillTexturedPicture(s.frame, nextFrame, o.framesPerSecond);
      } else {
        FillPicture(s.frame, nextFrame, o.framesPerSecond);
      }
      s.frame->pts = nextFrame++;
      if (!s.Encode(s.video, s.videoStream, s.frame)) return kMovieWriteFailed;
    } else {
      s.frame->format = s.audio->sample_fmt;
      s.frame->sample_rate = s.audio->sample_rate;
      av_channel_layout_copy(&s.frame->ch_layout, &s.audio->ch_layout);
      s.frame->nb_samples = chunk;
      if (av_frame_get_buffer(s.frame, 0) < 0) return kMovieWriteFailed;
      FillSound(s.frame, nextSample, o.soundRate);
      s.frame->pts = nextSample;
      nextSample += chunk;
      if (!s.Encode(s.audio, s.audioStream, s.frame)) return kMovieWriteFailed;
    }
  }
  if (s.video && !s.Encode(s.video, s.videoStream, nullptr)) return kMovieWriteFailed;
  if (s.audio && !s.Encode(s.audio, s.audioStream, nullptr)) return kMovieWriteFailed;
  return kMovieWriteOk;
}

void Spoil(std::vector<uint8_t>& bytes) {
  const size_t from = bytes.size() / 3, to = bytes.size() * 2 / 3;
  for (size_t i = from; i < to; i += 97) bytes[i] ^= 0x5A;
}

}  // namespace

uint32_t MovieColourOfSecond(uint32_t second) {
  return kColours[second % std::size(kColours)];
}

double MovieToneOfSecond(uint32_t second) {
  return kTones[second % std::size(kTones)];
}

const char* MovieExtension(MovieContainer container) {
  switch (container) {
    case MovieContainer::kMpeg1:
      return ".MPG";
    case MovieContainer::kAvi:
      return ".AVI";
    case MovieContainer::kMp4:
      return ".MP4";
    case MovieContainer::kWmv:
      return ".WMV";
  }
  return ".MPG";
}

int WriteMovie(const MovieWriterOptions& o, std::vector<uint8_t>* out) {
  if (!out || (!o.picture && !o.sound) || o.width < 16 || o.height < 16 || o.width % 2 ||
      o.height % 2 || o.width > 4096 || o.height > 4096 || o.framesPerSecond < 1 ||
      o.framesPerSecond > 60 || o.ms == 0 || o.ms > 600000 || o.soundRate < 8000 ||
      o.soundRate > 48000 || o.keepPercent > 100 || o.videoBitRate < 100000 ||
      o.videoBitRate > 50000000 ||
      (o.hugeSize && (!o.picture || o.container == MovieContainer::kMpeg1))) {
    return kMovieWriteBadOptions;
  }
  av_log_set_level(std::min(av_log_get_level(), AV_LOG_ERROR));
  const Codecs codecs = CodecsOf(o.container);
  Session s;
  if (avformat_alloc_output_context2(&s.format, nullptr, codecs.muxer, nullptr) < 0)
    return kMovieWriteFailed;
  s.format->flags |= AVFMT_FLAG_BITEXACT;
  s.packet = av_packet_alloc();
  if (!s.packet) return kMovieWriteFailed;
  int r = kMovieWriteOk;
  if (o.picture) r = AddVideo(s, o, codecs.video);
  if (r == kMovieWriteOk && o.sound) r = AddAudio(s, o, codecs.audio);
  if (r != kMovieWriteOk) return r;
  constexpr int kBufferBytes = 64 * 1024;
  auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferBytes));
  if (!buffer) return kMovieWriteFailed;
  s.format->pb = avio_alloc_context(buffer, kBufferBytes, 1, &s.out, nullptr, MemoryOut::Write,
                                    MemoryOut::Seek);
  if (!s.format->pb) {
    av_free(buffer);
    return kMovieWriteFailed;
  }
  if (avformat_write_header(s.format, nullptr) < 0) return kMovieWriteFailed;
  r = EncodeAll(s, o);
  if (r != kMovieWriteOk) return r;
  if (av_write_trailer(s.format) < 0) return kMovieWriteFailed;
  avio_flush(s.format->pb);
  *out = std::move(s.out.bytes);
  if (o.keepPercent > 0) out->resize(out->size() * o.keepPercent / 100);
  if (o.corrupt) Spoil(*out);
  return kMovieWriteOk;
}

}  // namespace bw::tools
