// The movie player on arbitrary bytes, read as a packed ".MPG" through the engine's stream: the
// open answers a code and leaves nothing open, or the movie decodes up to 30 frames into a 32-bit
// and a 16-bit frame buffer and gives its sound, never reading or writing outside them.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/global.h"
#include "host/clock.h"
#include "platform/memory_stream.h"
#include "sound/movie_control.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// A frame buffer the size the player announced, in one of the two layouts the wrappers use.
class Buffer final : public bw::host::MovieFrameBuffer {
 public:
  Buffer(int32_t w, int32_t h, bw::host::MovieFrameFormat format, int bytes)
      : w_(w), h_(h), format_(format), bytes_(bytes), pixels_(static_cast<size_t>(w) * h * bytes) {}
  bool LockFrame(bw::host::MovieFrameMemory* m) override {
    *m = {pixels_.data(), w_ * bytes_, w_, h_, format_};
    return true;
  }
  void UnlockFrame() override {}

 private:
  int32_t w_, h_;
  bw::host::MovieFrameFormat format_;
  int bytes_;
  std::vector<uint8_t> pixels_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bw::host::VirtualClock clock;
  bw::ScopedGlobal<bw::host::ClockSource> scope(&clock);
  auto* file = new bw::MemoryStream;
  if (size != 0) {
    void* block = bw::AllocGlobalMemory(size);
    std::memcpy(block, data, size);
    (void)file->Attach(block, static_cast<uint32_t>(size));
  }
  int32_t mediaType = -1;
  Check(bw::MovieMediaType("MOVIE\\OP.MPG", &mediaType) && mediaType == bw::kMediaMpeg);
  bw::host::MoviePlayer player;
  if (player.Open(bw::MakeMovieSource(file), mediaType, 22050) != bw::host::kMovieOk) {
    Check(!player.IsOpen());
    return 0;
  }
  const int32_t w = player.VideoWidth(), h = player.VideoHeight();
  Check(w >= 0 && h >= 0 && w <= bw::host::kMovieMaxSide && h <= bw::host::kMovieMaxSide);
  Buffer sprite(w, h, bw::host::MovieFrameFormat::kXrgb8888, 4);
  Buffer surface(w, h, bw::host::MovieFrameFormat::kRgb565, 2);
  if (w > 0 && h > 0) player.SetFrameBuffers(&sprite, &surface);
  (void)player.Play();
  std::vector<uint8_t> pcm(4096);
  for (int frame = 0; frame < 30; ++frame) {
    clock.AdvanceMilliseconds(40);
    const int32_t shown = player.PrepareFrame();
    Check(shown == 0 || shown == 1);
    Check(player.DoneWithFrame() == bw::host::kMovieOk);
    Check(player.ReadSound(pcm.data(), static_cast<uint32_t>(pcm.size())) <= pcm.size());
  }
  (void)player.Seek(0);  // a movie that cannot seek goes on from where it is
  const int32_t again = player.PrepareFrame();
  Check(again == 0 || again == 1);
  Check(player.DoneWithFrame() == bw::host::kMovieOk);
  int32_t event = 0;
  while (player.NextEvent(&event))
    Check(event == bw::host::kMovieEventComplete || event == bw::host::kMovieEventError);
  return 0;
}
