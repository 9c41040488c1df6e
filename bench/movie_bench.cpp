// The movie player's frame path beside FFmpeg decoding alone, on the same 1280 x 720 MPEG-1 movie
// made here by the movie writer. Ours opens the movie through its source, then at each frame time
// of the clock decodes, drops what is late and converts the frame into a 32-bit frame buffer; the
// peer opens the same bytes with libavformat and decodes every frame with libavcodec, converting
// nothing. Both count frames per second of work, the open included. A second peer on the
// textured movie also converts each frame with libswscale: FFmpeg's own whole frame path.
//
// Two movies. The textured one changes in every row of every frame, as a filmed movie does; its
// frames go into buffers that do not keep their pixels (as frame surfaces, which may be lost), so
// every row is converted. The still one is a flat colour per second with a bar moving along the
// bottom: it costs almost nothing to decode, so its lines show the frame path's own cost, into
// buffers that keep their pixels (as the window-level movie's do: rows that did not change since
// the frame last converted into the buffer are only compared) and into buffers that do not.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench_ratio.h"
#include "common/global.h"
#include "host/clock.h"
#include "host/movie/movie_player.h"
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

std::vector<uint8_t> MakeMovie(bool textured) {
  // The textured movie at what a 720p MPEG-1 film is usually given.
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
  tools::WriteMovie(options, &out);
  return out;
}

const std::vector<uint8_t>& Movie(bool textured) {
  static const std::vector<uint8_t> still = MakeMovie(false);
  static const std::vector<uint8_t> moving = MakeMovie(true);
  return textured ? moving : still;
}

using BytesSource = tools::MemoryMovieSource;

class FrameBuffer final : public MovieFrameBuffer {
 public:
  explicit FrameBuffer(bool keepsPixels)
      : keepsPixels_(keepsPixels), pixels_(static_cast<size_t>(kWidth) * kHeight * 4) {}
  bool LockFrame(MovieFrameMemory* memory) override {
    *memory = {pixels_.data(), kWidth * 4, kWidth, kHeight, MovieFrameFormat::kXrgb8888};
    return true;
  }
  void UnlockFrame() override {}
  bool KeepsPixels() const override { return keepsPixels_; }

 private:
  bool keepsPixels_;
  std::vector<uint8_t> pixels_;
};

void PlayFrames(benchmark::State& state, bool textured, bool keepsPixels) {
  const std::vector<uint8_t>& movie = Movie(textured);
  if (movie.empty()) {
    state.SkipWithError("the movie writer made no movie");
    return;
  }
  VirtualClock clock;
  ScopedGlobal<ClockSource> scope(&clock);
  FrameBuffer a(keepsPixels), b(keepsPixels);
  for (auto _ : state) {
    MoviePlayer player;
    if (player.Open(std::make_unique<BytesSource>(std::span<const uint8_t>(movie)), 0, 44100) !=
        kMovieOk) {
      state.SkipWithError("the player refused the movie");
      return;
    }
    player.SetFrameBuffers(&a, &b);
    player.Play();
    for (int i = 0; i < kFrames; ++i) {
      clock.AdvanceMilliseconds(1000 / kFps);
      benchmark::DoNotOptimize(player.PrepareFrame());
      player.DoneWithFrame();
    }
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}

void BM_MoviePlayerTextured(benchmark::State& state) {
  PlayFrames(state, true, false);
}
BENCHMARK(BM_MoviePlayerTextured)->Unit(benchmark::kMillisecond);

void BM_MoviePlayerStillKeptRows(benchmark::State& state) {
  PlayFrames(state, false, true);
}
BENCHMARK(BM_MoviePlayerStillKeptRows)->Unit(benchmark::kMillisecond);

void BM_MoviePlayerStillEveryRow(benchmark::State& state) {
  PlayFrames(state, false, false);
}
BENCHMARK(BM_MoviePlayerStillEveryRow)->Unit(benchmark::kMillisecond);

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

// FFmpeg alone: demux and decode every frame, handing each to take.
template <typename Take>
int DecodeAll(const std::vector<uint8_t>& bytes, Take take) {
  MemoryReader reader{&bytes};
  auto* buffer = static_cast<uint8_t*>(av_malloc(32 * 1024));
  AVIOContext* io = avio_alloc_context(buffer, 32 * 1024, 0, &reader, MemoryReader::Read, nullptr,
                                       MemoryReader::Seek);
  AVFormatContext* format = avformat_alloc_context();
  format->pb = io;
  int frames = 0;
  if (avformat_open_input(&format, "", nullptr, nullptr) == 0) {
    avformat_find_stream_info(format, nullptr);
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodec* codec = avcodec_find_decoder(format->streams[stream]->codecpar->codec_id);
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, format->streams[stream]->codecpar);
    decoder->thread_count = 1;
    avcodec_open2(decoder, codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto drain = [&] {
      while (avcodec_receive_frame(decoder, frame) == 0) {
        take(frame);
        ++frames;
      }
    };
    while (av_read_frame(format, packet) >= 0) {
      if (packet->stream_index == stream) avcodec_send_packet(decoder, packet);
      av_packet_unref(packet);
      drain();
    }
    avcodec_send_packet(decoder, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
  }
  av_freep(&io->buffer);
  avio_context_free(&io);
  return frames;
}

void DecodeFrames(benchmark::State& state, bool textured) {
  const std::vector<uint8_t>& movie = Movie(textured);
  if (movie.empty()) {
    state.SkipWithError("the movie writer made no movie");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(DecodeAll(movie, [](const AVFrame*) {}));
  state.SetItemsProcessed(state.iterations() * kFrames);
}

void BM_FfmpegDecodeTextured(benchmark::State& state) {
  DecodeFrames(state, true);
}
BENCHMARK(BM_FfmpegDecodeTextured)->Unit(benchmark::kMillisecond);

void BM_FfmpegDecodeStill(benchmark::State& state) {
  DecodeFrames(state, false);
}
BENCHMARK(BM_FfmpegDecodeStill)->Unit(benchmark::kMillisecond);

// FFmpeg's own frame path: libswscale converts each decoded frame into one of two 32-bit buffers,
// as ours does.
void BM_FfmpegDecodeScaleTextured(benchmark::State& state) {
  const std::vector<uint8_t>& movie = Movie(true);
  if (movie.empty()) {
    state.SkipWithError("the movie writer made no movie");
    return;
  }
  std::vector<uint8_t> pixels[2];
  for (auto& buffer : pixels) buffer.resize(size_t{kWidth} * kHeight * 4);
  SwsContext* scaler = nullptr;
  int next = 0;
  auto scale = [&](const AVFrame* frame) {
    scaler = sws_getCachedContext(scaler, frame->width, frame->height,
                                  static_cast<AVPixelFormat>(frame->format), kWidth, kHeight,
                                  AV_PIX_FMT_BGR0, SWS_POINT, nullptr, nullptr, nullptr);
    uint8_t* planes[4] = {pixels[next].data(), nullptr, nullptr, nullptr};
    int pitches[4] = {kWidth * 4, 0, 0, 0};
    if (scaler) sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, pitches);
    next = 1 - next;
  };
  for (auto _ : state) benchmark::DoNotOptimize(DecodeAll(movie, scale));
  sws_freeContext(scaler);
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_FfmpegDecodeScaleTextured)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bw::host

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("movie_frames_720p_every_row", "BM_MoviePlayerTextured",
                      "BM_FfmpegDecodeTextured");
  reporter.PrintRatio("movie_frames_720p_every_row_vs_libswscale", "BM_MoviePlayerTextured",
                      "BM_FfmpegDecodeScaleTextured");
  reporter.PrintRatio("movie_frames_720p_still_kept_rows", "BM_MoviePlayerStillKeptRows",
                      "BM_FfmpegDecodeStill");
  reporter.PrintRatio("movie_frames_720p_still_every_row", "BM_MoviePlayerStillEveryRow",
                      "BM_FfmpegDecodeStill");
  benchmark::Shutdown();
  return 0;
}
