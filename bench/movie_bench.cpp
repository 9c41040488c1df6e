// The movie player's frame path beside FFmpeg, on two 1280 x 720 MPEG-1 movies of two seconds at
// 25 frames a second made here by the movie writer:
//   textured  a fine pattern drifts over each second's colour, so every row of every frame
//             changes, as a filmed movie's do (6 Mbit/s);
//   still     a flat colour a second with a bar moving along the bottom: it costs almost nothing
//             to decode, so its line shows what the frame path adds to decoding.
// Ours opens the movie through its source, then at each frame time of the clock decodes the frame
// and converts it into one of two 32-bit frame buffers that keep their pixels, as the engine's
// do: only the parts of rows that changed since a buffer's last frame are converted. The peers
// open the same bytes with libavformat and decode every frame with libavcodec on one thread, as
// ours does:
//   decode   converting nothing: the bound for a movie whose picture does not change, and for the
//            textured one the bound of any frame path that decodes every frame as FFmpeg does;
//   swscale  libswscale converts each frame into one of two 32-bit buffers (no scaling, so the
//            point filter) through a context set up once: FFmpeg's own whole frame path.
// All count frames per second of work, the open included. Before timing, every frame ours shows
// is checked against the plain conversion of the frame FFmpeg decodes (the same pixels exactly),
// and libswscale's frames against ours within 3 per channel (its fast path rounds its own way).
// "self still-vs-every-row" sets ours beside ours into buffers that do not keep their pixels,
// which must convert every row: what converting only the changes saves.
// Two more sides bound what any frame path over this decoder can reach:
//   write    decodes every frame and writes it once into one of the two buffers, reading nothing:
//            a path whose conversion were free still stores each frame's 3.7 MB of 32-bit pixels
//            (a copy would also read 3.7 MB where the conversion reads 1.4 MB);
//   known    decodes every frame and converts only the rows that changed since the frame the
//            buffer holds, told beforehand: a path that found its changes for free (each frame
//            it leaves in a buffer is checked against the whole frame converted).
// Their lines are floors: "limit" lines set ours beside them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_check.h"
#include "bench_ratio.h"
#include "common/global.h"
#include "host/clock.h"
#include "host/movie/movie_frame_converter.h"
#include "host/movie/movie_player.h"
#include "host/movie/yuv_frame.h"
#include "host/movie/yuv_rows.h"
#include "lib/movie/memory_movie_source.h"
#include "lib/movie/movie_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace bw::host {
namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;
constexpr int32_t kFps = 25;
constexpr uint32_t kMs = 2000;
constexpr int kFrames = kFps * kMs / 1000;
// libswscale's x86 path keeps fewer fraction bits than ours: most channels land 1 from ours, a
// few in a thousand 3.
constexpr int kScaleTolerance = 3;

std::vector<uint8_t> MakeMovie(bool textured) {
  const tools::MovieWriterOptions options{.width = kWidth,
                                          .height = kHeight,
                                          .framesPerSecond = kFps,
                                          .ms = kMs,
                                          .sound = false,
                                          .textured = textured,
                                          .videoBitRate = textured ? 6000000u : 400000u};
  // At this rate the MPEG-1 muxer reports packets outgrowing its buffer model; the movie plays.
  av_log_set_level(AV_LOG_QUIET);
  std::vector<uint8_t> out;
  if (tools::WriteMovie(options, &out) != tools::kMovieWriteOk) std::abort();
  return out;
}

// Made before any run, so that no run times the writer.
std::vector<uint8_t> theMovies[2];
const std::vector<uint8_t>& Movie(bool textured) {
  return theMovies[textured];
}

class FrameBuffer final : public MovieFrameBuffer {
 public:
  explicit FrameBuffer(bool keepsPixels)
      : keepsPixels_(keepsPixels), pixels_(static_cast<size_t>(kWidth) * kHeight) {}
  bool LockFrame(MovieFrameMemory* memory) override {
    *memory = {reinterpret_cast<uint8_t*>(pixels_.data()), kWidth * 4, kWidth, kHeight,
               MovieFrameFormat::kXrgb8888};
    return true;
  }
  void UnlockFrame() override {}
  bool KeepsPixels() const override { return keepsPixels_; }
  const uint32_t* Pixels() const { return pixels_.data(); }

 private:
  bool keepsPixels_;
  std::vector<uint32_t> pixels_;
};

// Two frame buffers, made once: each run's player converts into the same memory.
struct FrameBuffers {
  explicit FrameBuffers(bool keepsPixels) : a(keepsPixels), b(keepsPixels) {}
  FrameBuffer a, b;
};

// Our player over a movie, shown frame by frame as the clock reaches each frame's time.
class Ours {
 public:
  Ours(const std::vector<uint8_t>& movie, FrameBuffers& buffers) : buffers_(buffers) {
    if (player_.Open(std::make_unique<tools::MemoryMovieSource>(std::span<const uint8_t>(movie)), 0,
                     44100) != kMovieOk) {
      return;
    }
    player_.SetFrameBuffers(&buffers.a, &buffers.b);
    open_ = player_.Play() == kMovieOk;
  }
  bool IsOpen() const { return open_; }
  // The pixels of the frame now due; the clock then moves on a frame.
  const uint32_t* NextFrame(VirtualClock& clock) {
    const int32_t shown = player_.PrepareFrame();
    (void)player_.DoneWithFrame();  // open since the start: it releases the frame
    clock.AdvanceMilliseconds(1000 / kFps);
    return (shown == 0 ? buffers_.a : buffers_.b).Pixels();
  }

 private:
  FrameBuffers& buffers_;
  MoviePlayer player_;
  bool open_ = false;
};

struct MemoryReader {
  const std::vector<uint8_t>* bytes;
  size_t position = 0;
  static int Read(void* opaque, uint8_t* buffer, int size) {
    auto* r = static_cast<MemoryReader*>(opaque);
    const size_t n = std::min<size_t>(static_cast<size_t>(size), r->bytes->size() - r->position);
    if (n == 0) return AVERROR_EOF;
    std::memcpy(buffer, r->bytes->data() + r->position, n);
    r->position += n;
    return static_cast<int>(n);
  }
  static int64_t Seek(void* opaque, int64_t offset, int whence) {
    auto* r = static_cast<MemoryReader*>(opaque);
    const auto size = static_cast<int64_t>(r->bytes->size());
    if ((whence & ~AVSEEK_FORCE) == AVSEEK_SIZE) return size;
    const int64_t target = (whence & ~AVSEEK_FORCE) == SEEK_CUR
                               ? static_cast<int64_t>(r->position) + offset
                           : (whence & ~AVSEEK_FORCE) == SEEK_END ? size + offset
                                                                  : offset;
    if (target < 0 || target > size) return AVERROR(EINVAL);
    r->position = static_cast<size_t>(target);
    return target;
  }
};

// FFmpeg alone: demuxes and decodes every frame of the movie in bytes.
class Decoder {
 public:
  explicit Decoder(const std::vector<uint8_t>& bytes) : reader_{&bytes} {
    auto* buffer = static_cast<uint8_t*>(av_malloc(32 * 1024));
    io_ = avio_alloc_context(buffer, 32 * 1024, 0, &reader_, MemoryReader::Read, nullptr,
                             MemoryReader::Seek);
    format_ = avformat_alloc_context();
    format_->pb = io_;
    if (avformat_open_input(&format_, "", nullptr, nullptr) != 0) return;
    avformat_find_stream_info(format_, nullptr);
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream_ < 0) return;
    const AVCodec* codec = avcodec_find_decoder(format_->streams[stream_]->codecpar->codec_id);
    decoder_ = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder_, format_->streams[stream_]->codecpar);
    decoder_->thread_count = 1;
    if (avcodec_open2(decoder_, codec, nullptr) != 0) avcodec_free_context(&decoder_);
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
  }
  ~Decoder() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&decoder_);
    if (format_) avformat_close_input(&format_);
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
  // The next frame, or null at the end.
  const AVFrame* Next() {
    if (!decoder_) return nullptr;
    for (;;) {
      if (avcodec_receive_frame(decoder_, frame_) == 0) return frame_;
      if (ended_) return nullptr;
      if (av_read_frame(format_, packet_) < 0) {
        ended_ = true;
        avcodec_send_packet(decoder_, nullptr);
        continue;
      }
      if (packet_->stream_index == stream_) avcodec_send_packet(decoder_, packet_);
      av_packet_unref(packet_);
    }
  }

 private:
  MemoryReader reader_;
  AVIOContext* io_ = nullptr;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* decoder_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  int stream_ = -1;
  bool ended_ = false;
};

// libswscale's conversion of decoded frames into 32-bit pixels, as FFmpeg's own frame path does.
// The context is set up again only when the frame's shape changes: sws_getCachedContext would
// set it up for every frame, as its cache compares with the formats libswscale rewrites when
// setting up (BGR0 becomes BGRA).
class Scaler {
 public:
  ~Scaler() { sws_freeContext(context_); }
  void Convert(const AVFrame* frame, uint32_t* pixels) {
    if (!context_ || frame->width != width_ || frame->height != height_ ||
        frame->format != format_) {
      sws_freeContext(context_);
      context_ =
          sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                         kWidth, kHeight, AV_PIX_FMT_BGR0, SWS_POINT, nullptr, nullptr, nullptr);
      width_ = frame->width;
      height_ = frame->height;
      format_ = frame->format;
    }
    uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(pixels), nullptr, nullptr, nullptr};
    int pitches[4] = {kWidth * 4, 0, 0, 0};
    if (context_)
      sws_scale(context_, frame->data, frame->linesize, 0, frame->height, planes, pitches);
  }

 private:
  SwsContext* context_ = nullptr;
  int width_ = 0, height_ = 0, format_ = -1;
};

// Each frame ours shows against FFmpeg's decoded frame converted by our plain rows (exactly) and
// by libswscale (within the tolerance).
std::string CheckFrames(bool textured) {
  const std::vector<uint8_t>& movie = Movie(textured);
  VirtualClock clock;
  ScopedGlobal<ClockSource> scope(&clock);
  FrameBuffers buffers(true);
  Ours ours(movie, buffers);
  Decoder decoder(movie);
  Scaler scaler;
  if (!ours.IsOpen()) return "the player refused the movie";
  std::vector<uint32_t> plain(size_t{kWidth} * kHeight), scaled(plain.size());
  for (int i = 0; i < kFrames; ++i) {
    const uint32_t* shown = ours.NextFrame(clock);
    const AVFrame* frame = decoder.Next();
    if (!frame || frame->format != AV_PIX_FMT_YUV420P) return "FFmpeg gave no 4:2:0 frame";
    for (int y = 0; y < kHeight; ++y) {
      YuvRowToXrgbPlain(frame->data[0] + ptrdiff_t{y} * frame->linesize[0],
                        frame->data[1] + ptrdiff_t{y / 2} * frame->linesize[1],
                        frame->data[2] + ptrdiff_t{y / 2} * frame->linesize[2],
                        plain.data() + size_t(y) * kWidth, kWidth);
    }
    scaler.Convert(frame, scaled.data());
    const std::string frameName = "frame " + std::to_string(i) + ", ";
    std::string problem =
        bench::ComparePixels(shown, kWidth, plain.data(), kWidth, kWidth, kHeight);
    if (!problem.empty()) return frameName + "decoded: " + problem;
    problem = bench::ComparePixels(shown, kWidth, scaled.data(), kWidth, kWidth, kHeight,
                                   kScaleTolerance, 0x00FFFFFF);
    if (!problem.empty()) return frameName + "libswscale: " + problem;
  }
  return "";
}

bool Checked(benchmark::State& state, bool textured) {
  return bench::SidesAgree(state, textured ? "textured" : "still",
                           [textured] { return CheckFrames(textured); });
}

void PlayFrames(benchmark::State& state, bool textured, bool keepsPixels) {
  if (!Checked(state, textured)) return;
  const std::vector<uint8_t>& movie = Movie(textured);
  VirtualClock clock;
  ScopedGlobal<ClockSource> scope(&clock);
  FrameBuffers buffers(keepsPixels);
  for (auto _ : state) {
    Ours ours(movie, buffers);
    if (!ours.IsOpen()) return state.SkipWithError("the player refused the movie");
    for (int i = 0; i < kFrames; ++i) benchmark::DoNotOptimize(ours.NextFrame(clock));
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}

void DecodeFrames(benchmark::State& state, bool textured, bool scale) {
  if (!Checked(state, textured)) return;
  const std::vector<uint8_t>& movie = Movie(textured);
  std::vector<uint32_t> pixels[2];
  for (auto& buffer : pixels) buffer.resize(size_t{kWidth} * kHeight);
  Scaler scaler;
  int next = 0;
  for (auto _ : state) {
    Decoder decoder(movie);
    int frames = 0;
    while (const AVFrame* frame = decoder.Next()) {
      if (scale) scaler.Convert(frame, pixels[next].data());
      next = 1 - next;
      ++frames;
    }
    if (frames != kFrames) return state.SkipWithError("FFmpeg decoded another number of frames");
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}

XrgbFrame FrameOf(std::vector<uint32_t>& pixels) {
  return {reinterpret_cast<uint8_t*>(pixels.data()), kWidth * 4, kWidth, kHeight};
}

// Per frame, the rows that changed since the frame two before, which the buffer it goes into
// holds; empty for the first two frames, which are converted whole.
std::vector<std::vector<RowSpan>> KnownChanges(const std::vector<uint8_t>& movie) {
  std::vector<std::vector<RowSpan>> changes;
  Decoder decoder(movie);
  AVFrame* before[2] = {av_frame_alloc(), av_frame_alloc()};
  while (const AVFrame* frame = decoder.Next()) {
    AVFrame*& heldByBuffer = before[changes.size() % 2];
    std::vector<RowSpan>& rows = changes.emplace_back();
    if (heldByBuffer->data[0]) {
      rows.resize(kHeight);
      FindChangedRows(PlanesOf(frame), PlanesOf(heldByBuffer), kWidth, kHeight, rows.data());
    }
    av_frame_unref(heldByBuffer);
    if (av_frame_ref(heldByBuffer, frame) != 0) std::abort();
  }
  for (AVFrame*& frame : before) av_frame_free(&frame);
  return changes;
}

// FFmpeg's decoding with the least a frame path adds: writing each frame once, or converting only
// the known changes.
void BoundFrames(benchmark::State& state, bool textured, bool known) {
  if (!Checked(state, textured)) return;
  const std::vector<uint8_t>& movie = Movie(textured);
  std::vector<uint32_t> pixels[2], converted(size_t{kWidth} * kHeight);
  for (auto& buffer : pixels) buffer.resize(converted.size());
  std::vector<std::vector<RowSpan>> changes;
  if (known) {
    changes = KnownChanges(movie);
    if (changes.size() != kFrames)
      return state.SkipWithError("FFmpeg decoded another number of frames");
  }
  // One pass of the movie; with a check, each frame the known changes give is compared with the
  // whole frame converted, and each frame written holds its own value in every pixel.
  auto play = [&](bool check) -> std::string {
    Decoder decoder(movie);
    size_t index = 0;
    while (const AVFrame* frame = decoder.Next()) {
      std::vector<uint32_t>& buffer = pixels[index % 2];
      if (known) {
        const std::vector<RowSpan>& rows = changes[index];
        ConvertYuv420Frame(PlanesOf(frame), FrameOf(buffer), rows.empty() ? nullptr : rows.data(),
                           false);
        if (check) {
          ConvertYuv420Frame(PlanesOf(frame), FrameOf(converted), nullptr, false);
          std::string problem = bench::ComparePixels(buffer.data(), kWidth, converted.data(),
                                                     kWidth, kWidth, kHeight);
          if (!problem.empty()) return "frame " + std::to_string(index) + ": " + problem;
        }
      } else {
        // A value of the frame's own, so that no frame's stores repeat another's.
        const uint32_t value = uint32_t(frame->data[0][0]) << 8 | uint32_t(index);
        std::fill(buffer.begin(), buffer.end(), value);
        if (check && std::count(buffer.begin(), buffer.end(), value) != ptrdiff_t(buffer.size()))
          return "frame " + std::to_string(index) + " was not written whole";
      }
      ++index;
    }
    return index == size_t(kFrames) ? "" : "FFmpeg decoded another number of frames";
  };
  if (!bench::SidesAgree(state, known ? "known changes" : "frames written",
                         [&] { return play(true); }))
    return;
  for (auto _ : state) {
    play(false);
    benchmark::DoNotOptimize(pixels[0].data());
    benchmark::DoNotOptimize(pixels[1].data());
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}

void Register(const char* name, void (*run)(benchmark::State&, bool, bool), bool textured,
              bool flag) {
  benchmark::RegisterBenchmark(name, [=](benchmark::State& s) {
    run(s, textured, flag);
  })->Unit(benchmark::kMillisecond);
}

}  // namespace
}  // namespace bw::host

int main(int argc, char** argv) {
  using bw::host::Register;
  for (bool textured : {false, true}) bw::host::theMovies[textured] = bw::host::MakeMovie(textured);
  Register("ours/still", bw::host::PlayFrames, false, true);
  Register("ours/still_every_row", bw::host::PlayFrames, false, false);
  Register("decode/still", bw::host::DecodeFrames, false, false);
  Register("ours/textured", bw::host::PlayFrames, true, true);
  Register("swscale/textured", bw::host::DecodeFrames, true, true);
  Register("decode/textured", bw::host::DecodeFrames, true, false);
  Register("known/still", bw::host::BoundFrames, false, true);
  Register("write/textured", bw::host::BoundFrames, true, false);
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("movie still 720p vs decode", "ours/still", "decode/still");
  reporter.PrintRatio("movie textured 720p vs decode+swscale", "ours/textured", "swscale/textured");
  reporter.PrintRatio("movie textured 720p vs decode", "ours/textured", "decode/textured");
  reporter.PrintSelf("movie still 720p kept-vs-every-row", "ours/still", "ours/still_every_row");
  reporter.PrintLimit("movie still 720p vs decode+known changes", "ours/still", "known/still");
  reporter.PrintLimit("movie still 720p bound: decode+known changes vs decode", "known/still",
                      "decode/still");
  reporter.PrintLimit("movie textured 720p vs decode+writing the frame", "ours/textured",
                      "write/textured");
  reporter.PrintLimit("movie textured 720p decode+swscale vs decode+writing the frame",
                      "swscale/textured", "write/textured");
  benchmark::Shutdown();
  return 0;
}
