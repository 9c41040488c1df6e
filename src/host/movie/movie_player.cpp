#include "host/movie/movie_player.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "host/clock.h"
#include "host/movie/movie_frame_converter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace bw::host {

namespace {

constexpr int kIoBufferBytes = 32 * 1024;
// Probing reads at most this much, so a hostile file cannot make the open slow.
constexpr int64_t kProbeBytes = 1 << 20;
constexpr int64_t kAnalyzeMicroseconds = 2 * AV_TIME_BASE;
constexpr AVRational kUnits = {1, static_cast<int>(kMovieUnitsPerSecond)};

// Nested opens (playlists, concatenation, image sequences, references) are refused: everything
// comes from the one source.
int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
  return AVERROR(EPERM);
}

int64_t FrameTime(const AVFrame* frame) {
  return frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
}

}  // namespace

// One reader over the shared source: a demuxer with its own position.
struct Reader {
  MoviePlayer::Impl* owner = nullptr;
  uint64_t position = 0;
  AVIOContext* io = nullptr;
  AVFormatContext* format = nullptr;
  int stream = -1;  // the stream this reader serves
  AVCodecContext* decoder = nullptr;
  bool atEnd = false;    // the demuxer has nothing more
  bool flushed = false;  // the decoder was told the end
  int64_t origin = 0;    // the stream's first time, in its own units: movie time 0

  // A stream time as movie time in 100-ns units.
  int64_t Units(int64_t ts) const {
    return ts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE
                                : av_rescale_q(ts - origin, Stream()->time_base, kUnits);
  }
  int64_t StreamTime(int64_t units) const {
    return av_rescale_q(units, kUnits, Stream()->time_base) + origin;
  }
  void TakeOrigin() {
    const AVStream* s = Stream();
    if (s->start_time != AV_NOPTS_VALUE) {
      origin = s->start_time;
    } else if (format->start_time != AV_NOPTS_VALUE) {
      origin = av_rescale_q(format->start_time, AVRational{1, AV_TIME_BASE}, s->time_base);
    }
  }

  ~Reader() { Close(); }
  void Close() {
    avcodec_free_context(&decoder);
    if (format) avformat_close_input(&format);
    if (io) {
      av_freep(&io->buffer);
      avio_context_free(&io);
    }
    stream = -1;
  }
  AVStream* Stream() const { return format->streams[stream]; }

  // The next decoded frame of the reader's stream; false at its end.
  bool NextFrame(AVPacket* packet, AVFrame* frame) {
    for (;;) {
      const int got = avcodec_receive_frame(decoder, frame);
      if (got == 0) return true;
      if (got != AVERROR(EAGAIN) || flushed) return false;
      Feed(packet);
    }
  }

  // Sends the decoder the next packet of the stream, or tells it the end.
  void Feed(AVPacket* packet) {
    while (!atEnd) {
      if (av_read_frame(format, packet) < 0) {
        atEnd = true;  // an error mid-file ends it there
        break;
      }
      const bool ours = packet->stream_index == stream;
      if (ours) avcodec_send_packet(decoder, packet);  // a broken packet is skipped
      av_packet_unref(packet);
      if (ours) return;
    }
    flushed = true;
    avcodec_send_packet(decoder, nullptr);
  }
};

struct MoviePlayer::Impl {
  std::unique_ptr<MovieSource> source;
  Reader main;   // picture, or the sound's timing when there is no picture
  Reader sound;  // decodes the sound
  bool hasPicture = false;
  bool hasSound = false;
  int32_t width = 0;
  int32_t height = 0;
  int64_t length = 0;  // units
  uint32_t soundRate = 44100;

  int32_t state = kMovieStopped;
  bool loop = false;
  bool stopAtEnd = true;
  double rate = 1.0;
  int64_t base = 0;      // movie time at startNs
  uint64_t startNs = 0;  // host clock when playing began
  bool completed = false;
  std::deque<int32_t> events;

  // Picture.
  AVFrame* candidate = nullptr;  // newest decoded frame not after the clock, not yet converted
  AVFrame* ahead = nullptr;      // the first decoded frame after the clock
  int64_t lastEnd = 0;           // end of the last frame or packet the main reader saw
  MovieFrameBuffer* buffers[2] = {nullptr, nullptr};
  int32_t shown = 0;
  bool inUse = false;
  int64_t shownTime = -1;
  MovieFrameConverter converter;
  MovieFrameScaler scaler;

  // Sound.
  SwrContext* resampler = nullptr;
  // The sample format, channel count and rate the resampler takes.
  struct SoundShape {
    int format = -1;
    int channels = 0;
    int rate = 0;
  } resamplerIn;
  std::vector<uint8_t> pcm;  // converted, not yet delivered
  size_t pcmRead = 0;
  uint64_t soundBase = 0;       // ms of the last sound seek
  uint64_t soundDelivered = 0;  // sample frames since then
  int64_t soundSkip = 0;        // sample frames still to drop after a seek
  bool soundEnd = false;
  AVFrame* soundFrame = nullptr;
  AVPacket* packet = nullptr;

  ~Impl() {
    av_frame_free(&candidate);
    av_frame_free(&ahead);
    av_frame_free(&soundFrame);
    av_packet_free(&packet);
    swr_free(&resampler);
    main.Close();
    sound.Close();
  }

  static int ReadPacket(void* opaque, uint8_t* buffer, int size) {
    auto* reader = static_cast<Reader*>(opaque);
    MovieSource* source = reader->owner->source.get();
    if (size <= 0) return 0;
    if (!source->Seek(reader->position)) return AVERROR_EOF;
    const uint32_t n = source->Read(buffer, static_cast<uint32_t>(size));
    if (n == 0) return AVERROR_EOF;
    reader->position += n;
    return static_cast<int>(n);
  }

  static int64_t SeekPacket(void* opaque, int64_t offset, int whence) {
    auto* reader = static_cast<Reader*>(opaque);
    const int64_t size = static_cast<int64_t>(reader->owner->source->Size());
    int64_t target = 0;
    switch (whence & ~AVSEEK_FORCE) {
      case AVSEEK_SIZE:
        return size;
      case SEEK_SET:
        target = offset;
        break;
      case SEEK_CUR:
        target = static_cast<int64_t>(reader->position) + offset;
        break;
      case SEEK_END:
        target = size + offset;
        break;
      default:
        return AVERROR(EINVAL);
    }
    if (target < 0 || target > size) return AVERROR(EINVAL);
    reader->position = static_cast<uint64_t>(target);
    return target;
  }

  // Opens a demuxer over the source; false leaves the reader closed.
  bool OpenReader(Reader& reader) {
    reader.owner = this;
    reader.position = 0;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
    if (!buffer) return false;
    reader.io =
        avio_alloc_context(buffer, kIoBufferBytes, 0, &reader, ReadPacket, nullptr, SeekPacket);
    if (!reader.io) {
      av_free(buffer);
      return false;
    }
    reader.format = avformat_alloc_context();
    if (!reader.format) return false;
    reader.format->pb = reader.io;
    reader.format->flags |= AVFMT_FLAG_CUSTOM_IO;
    reader.format->io_open = RefuseNestedOpen;
    reader.format->probesize = kProbeBytes;
    reader.format->format_probesize = static_cast<int>(kProbeBytes);
    reader.format->max_analyze_duration = kAnalyzeMicroseconds;
    if (avformat_open_input(&reader.format, "", nullptr, nullptr) < 0) {
      reader.format = nullptr;  // freed by the failed open
      return false;
    }
    return true;
  }

  bool OpenDecoder(Reader& reader, int stream) {
    reader.stream = stream;
    for (unsigned i = 0; i < reader.format->nb_streams; ++i) {
      reader.format->streams[i]->discard =
          static_cast<int>(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    reader.TakeOrigin();
    const AVCodecParameters* par = reader.Stream()->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) return false;
    reader.decoder = avcodec_alloc_context3(codec);
    if (!reader.decoder || avcodec_parameters_to_context(reader.decoder, par) < 0) return false;
    reader.decoder->thread_count = 1;  // the same frames every run
    return avcodec_open2(reader.decoder, codec, nullptr) >= 0;
  }

  static bool SizeTooLarge(const AVFormatContext* format) {
    for (unsigned i = 0; i < format->nb_streams; ++i) {
      const AVCodecParameters* par = format->streams[i]->codecpar;
      if (par->codec_type == AVMEDIA_TYPE_VIDEO &&
          (par->width > kMovieMaxSide || par->height > kMovieMaxSide)) {
        return true;
      }
    }
    return false;
  }

  int32_t Open(uint32_t outputRate) {
    soundRate = outputRate == 0 ? 44100 : outputRate;
    packet = av_packet_alloc();
    soundFrame = av_frame_alloc();
    if (!packet || !soundFrame || !OpenReader(main)) return kMovieRefused;
    if (SizeTooLarge(main.format)) return kMovieRefused;
    if (avformat_find_stream_info(main.format, nullptr) < 0 || SizeTooLarge(main.format))
      return kMovieRefused;
    const int video = av_find_best_stream(main.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audio = av_find_best_stream(main.format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (video < 0 && audio < 0) return kMovieRefused;
    if (video >= 0) {
      if (!OpenDecoder(main, video)) return kMovieRefused;
      width = main.decoder->width;
      height = main.decoder->height;
      if (width < 1 || height < 1 || width > kMovieMaxSide || height > kMovieMaxSide)
        return kMovieRefused;
      hasPicture = true;
    } else {
      // Without a picture the main reader only times the sound's packets.
      main.stream = audio;
      main.TakeOrigin();
      for (unsigned i = 0; i < main.format->nb_streams; ++i) {
        main.format->streams[i]->discard =
            static_cast<int>(i) == audio ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
      }
    }
    if (audio >= 0 && OpenSound(audio)) hasSound = true;
    if (!hasPicture && !hasSound) return kMovieRefused;
    if (main.format->duration != AV_NOPTS_VALUE && main.format->duration > 0) {
      length = av_rescale_q(main.format->duration, AVRational{1, AV_TIME_BASE}, kUnits);
    } else if (main.Stream()->duration != AV_NOPTS_VALUE) {
      length = av_rescale_q(main.Stream()->duration, main.Stream()->time_base, kUnits);
    }
    return kMovieOk;
  }

  bool OpenSound(int stream) {
    if (!OpenReader(sound)) return false;
    // The second reader finds the same streams in the same order as the first.
    if (avformat_find_stream_info(sound.format, nullptr) < 0 ||
        static_cast<unsigned>(stream) >= sound.format->nb_streams ||
        sound.format->streams[stream]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO ||
        !OpenDecoder(sound, stream)) {
      sound.Close();
      return false;
    }
    if (!MakeResampler()) {
      sound.Close();
      return false;
    }
    return true;
  }

  // A fresh resampler to 16-bit stereo at the player's rate, holding no delayed samples.
  bool MakeResampler() {
    return MakeResamplerFrom(sound.decoder->ch_layout, sound.decoder->sample_fmt,
                             sound.decoder->sample_rate);
  }

  // The same from sound of the given shape; the shape is kept, as the frames must match it.
  bool MakeResamplerFrom(const AVChannelLayout& layout, int format, int sampleRate) {
    swr_free(&resampler);
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    AVChannelLayout in{};
    if (layout.nb_channels > 0) {
      av_channel_layout_copy(&in, &layout);
    } else {
      av_channel_layout_default(&in, 1);
    }
    resamplerIn = {format, in.nb_channels, sampleRate};
    const int ok =
        swr_alloc_set_opts2(&resampler, &stereo, AV_SAMPLE_FMT_S16, static_cast<int>(soundRate),
                            &in, static_cast<AVSampleFormat>(format), sampleRate, 0, nullptr);
    av_channel_layout_uninit(&in);
    if (ok < 0 || swr_init(resampler) < 0) {
      swr_free(&resampler);
      return false;
    }
    return true;
  }

  // --- the clock and the picture ---

  int64_t Clock() const {
    if (state != kMoviePlaying) return base;
    const uint64_t elapsed = CurrentClock().NowNanoseconds() - startNs;
    return base + static_cast<int64_t>(static_cast<double>(elapsed / 100) * rate);
  }

  void Restart(int64_t at) {
    base = at;
    startNs = CurrentClock().NowNanoseconds();
  }

  // The next frame of the main reader with its time in units, or null at its end.
  AVFrame* DecodeNext() {
    AVFrame* frame = av_frame_alloc();
    if (!frame || !main.NextFrame(packet, frame)) {
      av_frame_free(&frame);
      return nullptr;
    }
    const int64_t t = main.Units(FrameTime(frame));
    frame->pts = t == AV_NOPTS_VALUE ? lastEnd : t;
    lastEnd = std::max(lastEnd, EndOf(frame));
    return frame;
  }

  // When a decoded frame of the main reader (pts in units) gives way to the next.
  int64_t EndOf(const AVFrame* frame) const {
    const int64_t duration = av_rescale_q(frame->pkt_duration, main.Stream()->time_base, kUnits);
    return frame->pts + std::max<int64_t>(duration, 1);
  }

  // Without a picture: reads packets up to the clock; answers whether the file still goes on.
  bool TimeSoundOnly(int64_t clock) {
    while (!main.atEnd && lastEnd <= clock) {
      if (av_read_frame(main.format, packet) < 0) {
        main.atEnd = true;
        break;
      }
      if (packet->stream_index == main.stream && packet->pts != AV_NOPTS_VALUE) {
        const int64_t t = main.Units(packet->pts);
        const int64_t d = av_rescale_q(packet->duration, main.Stream()->time_base, kUnits);
        lastEnd = std::max(lastEnd, t + std::max<int64_t>(d, 1));
      }
      av_packet_unref(packet);
    }
    return !main.atEnd || lastEnd > clock;
  }

  void Forget(int32_t index) {
    converter.Forget(index);
    scaler.Forget(index);
  }

  void Convert(AVFrame* frame) {
    const int32_t back = 1 - shown;
    MovieFrameBuffer* target = buffers[back];
    if (target == nullptr) {
      shownTime = frame->pts;
      return;
    }
    MovieFrameMemory memory;
    if (!target->LockFrame(&memory)) {
      Forget(back);
      return;
    }
    if (memory.pixels && memory.width > 0 && memory.height > 0) {
      if (MovieFrameConverter::Takes(frame, memory)) {
        // The common case by our own rows; a buffer that keeps its pixels gets only the changes.
        const bool anyKeeps =
            (buffers[0] && buffers[0]->KeepsPixels()) || (buffers[1] && buffers[1]->KeepsPixels());
        scaler.Forget(back);
        converter.Convert(frame, back, memory, target->KeepsPixels(), anyKeeps);
      } else {
        converter.Forget(back);
        scaler.Scale(frame, back, memory, target->KeepsPixels());
      }
    } else {
      Forget(back);
    }
    target->UnlockFrame();
    shown = back;
    shownTime = frame->pts;
  }

  // Brings the picture and the completion up to the clock.
  void Update() {
    if (state != kMoviePlaying) return;
    const int64_t clock = Clock();
    bool goesOn = true;
    if (hasPicture) {
      for (;;) {
        if (!ahead) ahead = DecodeNext();
        if (!ahead || ahead->pts > clock) break;
        av_frame_free(&candidate);  // a late frame is dropped before conversion
        candidate = ahead;
        ahead = nullptr;
        // A frame lasting past the clock is taken as the one to show: it is converted before the
        // next is decoded, while it and the picture it came from are still in the caches.
        if (EndOf(candidate) > clock) break;
      }
      if (candidate && !inUse) {
        Convert(candidate);
        av_frame_free(&candidate);
      }
      goesOn = ahead != nullptr || candidate != nullptr || clock < lastEnd;
    } else {
      goesOn = TimeSoundOnly(clock);
    }
    if (!goesOn && !completed) Complete();
  }

  void Complete() {
    if (loop) {
      SeekTo(0);
      return;
    }
    completed = true;
    events.push_back(kMovieEventComplete);
    if (!stopAtEnd) return;
    base = Clock();
    state = kMovieStopped;
  }

  bool SeekReader(Reader& reader, int64_t units) {
    const int64_t ts = reader.StreamTime(units);
    bool ok = av_seek_frame(reader.format, reader.stream, ts, AVSEEK_FLAG_BACKWARD) >= 0;
    // Some containers seek only by bytes; from the start, decoding forward reaches any time.
    if (!ok) ok = av_seek_frame(reader.format, -1, 0, AVSEEK_FLAG_BYTE) >= 0;
    if (!ok) {
      ok = avio_seek(reader.format->pb, 0, SEEK_SET) >= 0;
    }
    if (reader.decoder) avcodec_flush_buffers(reader.decoder);
    reader.atEnd = false;
    reader.flushed = false;
    return ok;
  }

  int32_t SeekTo(int64_t units) {
    units = std::max<int64_t>(units, 0);
    av_frame_free(&candidate);
    av_frame_free(&ahead);
    lastEnd = 0;
    completed = false;
    bool ok = SeekReader(main, units);
    // Some demuxers land after the key frame that the time needs: step back until the first frame
    // decoded is not after it, and from the start as the last resort.
    if (ok && hasPicture && units > 0) {
      for (int64_t back = kMovieUnitsPerSecond;; back *= 2) {
        ahead = DecodeNext();
        if (!ahead || ahead->pts <= units) break;
        av_frame_free(&ahead);
        lastEnd = 0;
        if (back > units) {
          ok = SeekReader(main, 0) && av_seek_frame(main.format, -1, 0, AVSEEK_FLAG_BYTE) >= 0;
          break;
        }
        ok = SeekReader(main, units - back);
        if (!ok) break;
      }
    }
    Restart(units);
    return ok ? kMovieOk : kMovieSeekFailed;
  }

  // --- the sound ---

  // Converts the next decoded sound into pcm; false at the end.
  bool DecodeSound() {
    if (!sound.NextFrame(packet, soundFrame)) return false;
    AppendSound();
    av_frame_unref(soundFrame);
    return true;
  }

  void AppendSound() {
    // A damaged stream can change its sound's shape from one frame to the next, and the
    // resampler reads as many planes as its shape has: it follows the frames, and a frame of no
    // shape it can take is dropped.
    const int channels = soundFrame->ch_layout.nb_channels;
    if (soundFrame->format != resamplerIn.format || channels != resamplerIn.channels ||
        soundFrame->sample_rate != resamplerIn.rate) {
      if (channels <= 0 || soundFrame->sample_rate <= 0 ||
          !MakeResamplerFrom(soundFrame->ch_layout, soundFrame->format, soundFrame->sample_rate)) {
        return;
      }
    }
    if (!resampler || soundFrame->nb_samples <= 0) return;
    const int capacity = swr_get_out_samples(resampler, soundFrame->nb_samples);
    if (capacity <= 0) return;
    std::vector<uint8_t> out(static_cast<size_t>(capacity) * kMovieSoundBytesPerFrame);
    uint8_t* planes[1] = {out.data()};
    const int n =
        swr_convert(resampler, planes, capacity,
                    const_cast<const uint8_t**>(soundFrame->extended_data), soundFrame->nb_samples);
    if (n <= 0) return;
    int64_t skip = std::min<int64_t>(soundSkip, n);
    soundSkip -= skip;
    pcm.insert(pcm.end(), out.begin() + skip * kMovieSoundBytesPerFrame,
               out.begin() + int64_t{n} * kMovieSoundBytesPerFrame);
  }

  uint32_t ReadSound(uint8_t* buffer, uint32_t size) {
    size -= size % kMovieSoundBytesPerFrame;
    uint32_t done = 0;
    while (done < size) {
      if (pcmRead == pcm.size()) {
        pcm.clear();
        pcmRead = 0;
        if (soundEnd || !DecodeSound()) {
          // A looping movie goes on from its start.
          if (loop && soundDelivered > 0 && SeekSound(0)) continue;
          soundEnd = true;
          break;
        }
        continue;
      }
      const size_t n = std::min<size_t>(size - done, pcm.size() - pcmRead);
      std::memcpy(buffer + done, pcm.data() + pcmRead, n);
      pcmRead += n;
      done += static_cast<uint32_t>(n);
    }
    soundDelivered += done / kMovieSoundBytesPerFrame;
    return done;
  }

  bool SeekSound(uint32_t ms) {
    const int64_t units = int64_t{ms} * 10000;
    pcm.clear();
    pcmRead = 0;
    soundEnd = false;
    soundBase = ms;
    soundDelivered = 0;
    if (!MakeResampler() || !SeekReader(sound, units)) return false;
    // Decode from the point the demuxer found and drop what lies before the target.
    soundSkip = 0;
    for (;;) {
      if (!sound.NextFrame(packet, soundFrame)) {
        soundEnd = true;
        return true;
      }
      const int64_t t = sound.Units(FrameTime(soundFrame));
      const int64_t frameEnd = t == AV_NOPTS_VALUE
                                   ? units
                                   : t + int64_t{soundFrame->nb_samples} * kMovieUnitsPerSecond /
                                             soundFrame->sample_rate;
      if (frameEnd <= units) {
        av_frame_unref(soundFrame);
        continue;
      }
      const int64_t before = t == AV_NOPTS_VALUE ? 0 : std::max<int64_t>(units - t, 0);
      soundSkip = before * soundRate / kMovieUnitsPerSecond;
      AppendSound();
      av_frame_unref(soundFrame);
      return true;
    }
  }
};

MoviePlayer::MoviePlayer() = default;
MoviePlayer::~MoviePlayer() {
  Reset();
}

int32_t MoviePlayer::Open(std::unique_ptr<MovieSource> source, int32_t mediaType,
                          uint32_t soundRate) {
  // A broken movie is answered by a code; FFmpeg's own complaints would only repeat it.
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
  std::lock_guard<std::mutex> hold(lock_);
  impl_.reset();
  if (!source) return kMovieRefused;
  auto impl = std::make_unique<Impl>();
  impl->source = std::move(source);
  const int32_t r = impl->Open(soundRate);
  if (r != kMovieOk) return r;  // impl and the source go here
  impl_ = std::move(impl);
  mediaType_ = mediaType;
  return kMovieOk;
}

void MoviePlayer::Reset() {
  std::lock_guard<std::mutex> hold(lock_);
  impl_.reset();
  mediaType_ = 0;
}

bool MoviePlayer::IsOpen() const {
  std::lock_guard<std::mutex> hold(lock_);
  return impl_ != nullptr;
}

int32_t MoviePlayer::Play() {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_) return kMovieNotOpen;
  if (impl_->state == kMoviePlaying) return kMovieOk;
  // A movie that ran to its end starts again.
  if (impl_->completed) impl_->SeekTo(0);
  impl_->state = kMoviePlaying;
  impl_->Restart(impl_->base);
  return kMovieOk;
}

int32_t MoviePlayer::Pause() {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_) return kMovieNotOpen;
  impl_->Update();
  impl_->base = impl_->Clock();
  if (impl_->state == kMoviePlaying) impl_->state = kMoviePaused;
  return kMovieOk;
}

int32_t MoviePlayer::Resume() {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_) return kMovieNotOpen;
  if (impl_->state == kMoviePaused) {
    impl_->state = kMoviePlaying;
    impl_->Restart(impl_->base);
  }
  return kMovieOk;
}

int32_t MoviePlayer::Stop() {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_) return kMovieNotOpen;
  impl_->base = impl_->Clock();
  impl_->state = kMovieStopped;
  return kMovieOk;
}

int32_t MoviePlayer::GetLength(int64_t* units) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_) return kMovieNotOpen;
  if (units) *units = impl_->length;
  return kMovieOk;
}

int32_t MoviePlayer::Seek(int64_t units) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_) return kMovieNotOpen;
  return impl_->SeekTo(units);
}

int32_t MoviePlayer::GetPosition(int64_t* units) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_) return kMovieNotOpen;
  impl_->Update();
  if (units) *units = impl_->Clock();
  return kMovieOk;
}

int32_t MoviePlayer::GetState(int32_t* state) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_) return kMovieNotOpen;
  impl_->Update();
  if (state) *state = impl_->state;
  return kMovieOk;
}

void MoviePlayer::SetLoop(bool loop) {
  std::lock_guard<std::mutex> hold(lock_);
  if (impl_) impl_->loop = loop;
}

void MoviePlayer::SetStopAtEnd(bool stop) {
  std::lock_guard<std::mutex> hold(lock_);
  if (impl_) impl_->stopAtEnd = stop;
}

int32_t MoviePlayer::SetRate(double rate) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_) return kMovieNotOpen;
  if (!(rate > 0.0) || rate > 16.0) return kMovieRefused;
  impl_->Restart(impl_->Clock());
  impl_->rate = rate;
  return kMovieOk;
}

double MoviePlayer::Rate() const {
  std::lock_guard<std::mutex> hold(lock_);
  return impl_ ? impl_->rate : 1.0;
}

int32_t MoviePlayer::VideoWidth() const {
  std::lock_guard<std::mutex> hold(lock_);
  return impl_ ? impl_->width : 0;
}

int32_t MoviePlayer::VideoHeight() const {
  std::lock_guard<std::mutex> hold(lock_);
  return impl_ ? impl_->height : 0;
}

bool MoviePlayer::HasPicture() const {
  std::lock_guard<std::mutex> hold(lock_);
  return impl_ && impl_->hasPicture;
}

bool MoviePlayer::HasSound() const {
  std::lock_guard<std::mutex> hold(lock_);
  return impl_ && impl_->hasSound;
}

void MoviePlayer::SetFrameBuffers(MovieFrameBuffer* first, MovieFrameBuffer* second) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_) return;
  impl_->buffers[0] = first;
  impl_->buffers[1] = second;
  impl_->Forget(0);
  impl_->Forget(1);
  impl_->inUse = false;
}

int32_t MoviePlayer::PrepareFrame() {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_) return kMovieNotOpen;
  impl_->Update();
  impl_->inUse = true;
  return impl_->shown;
}

int32_t MoviePlayer::DoneWithFrame() {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_) return kMovieNotOpen;
  impl_->inUse = false;
  return kMovieOk;
}

int64_t MoviePlayer::ShownFrameTime() const {
  std::lock_guard<std::mutex> hold(lock_);
  return impl_ ? impl_->shownTime : -1;
}

bool MoviePlayer::NextEvent(int32_t* code) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_) return false;
  impl_->Update();
  if (impl_->events.empty()) return false;
  if (code) *code = impl_->events.front();
  impl_->events.pop_front();
  return true;
}

bool MoviePlayer::HasEvents() {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_) return false;
  impl_->Update();
  return !impl_->events.empty();
}

uint32_t MoviePlayer::ReadSound(uint8_t* buffer, uint32_t size) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_ || !impl_->hasSound || !buffer) return 0;
  return impl_->ReadSound(buffer, size);
}

int32_t MoviePlayer::SeekSoundMs(uint32_t ms) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_ || !impl_->hasSound) return kMovieNotOpen;
  return impl_->SeekSound(ms) ? kMovieOk : kMovieSeekFailed;
}

uint32_t MoviePlayer::SoundPositionMs() const {
  std::lock_guard<std::mutex> hold(lock_);
  if (!impl_) return 0;
  return static_cast<uint32_t>(impl_->soundBase + impl_->soundDelivered * 1000 / impl_->soundRate);
}

bool MoviePlayer::SoundAtEnd() const {
  std::lock_guard<std::mutex> hold(lock_);
  return !impl_ || impl_->soundEnd;
}

uint32_t MoviePlayer::SoundRate() const {
  std::lock_guard<std::mutex> hold(lock_);
  return impl_ ? impl_->soundRate : 0;
}

uint32_t MoviePlayer::LengthMs() {
  std::lock_guard<std::mutex> hold(lock_);
  return impl_ ? static_cast<uint32_t>(std::clamp<int64_t>(impl_->length / 10000, 0, UINT32_MAX))
               : 0;
}

}  // namespace bw::host
