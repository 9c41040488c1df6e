// The numbered transitions' dispatcher with fuzzed mode, sizes, position, progress and kind on
// small pictures. Nothing may crash, and no pixel outside the destination's clip rectangle (a
// guard band around it) may change.
#include <cstdint>
#include <cstdlib>

#include "common/global.h"
#include "effects/transitions/transition_dispatch.h"
#include "effects/transitions/transition_random.h"
#include "graphics/surface/image_surface.h"
#include "platform/trig_tables.h"

namespace {

constexpr int32_t kSide = 48, kGuard = 8;
constexpr uint32_t kGuardColour = 0x5A3C1E0Fu;

void Check(bool condition) {
  if (!condition) std::abort();
}

struct Input {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  uint8_t u8() { return at < size ? data[at++] : 0; }
  int32_t i16() { return int16_t(uint16_t(u8() | u8() << 8)); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace bw;
  static TrigTables trig;
  ScopedGlobal<TrigTables> tables{&trig};
  Input in{data, size};
  const int mode = in.u8() % 90;
  const int32_t w = in.u8() % 40, h = in.u8() % 40;
  const int32_t x = int8_t(in.u8()), y = int8_t(in.u8());
  const int32_t progress = in.i16() % 300;
  const int kind = in.u8() % 4;
  ReseedTransitionRandom(in.i16());

  ImageSurface destination, source;
  if (destination.Create(kSide, kSide, 32, 0) != 0 ||
      source.Create(w ? w : 1, h ? h : 1, 32, 0) != 0)
    return 0;
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)destination.Fill(kGuardColour, nullptr);
  for (int32_t j = 0; j < source.GetHeight(); ++j) {
    for (int32_t i = 0; i < source.GetWidth(); ++i)
      // Any input may be refused; the run goes on.
      (void)source.SetPixel(i, j, uint32_t(i * 977 + j * 131));
  }
  const Rect inner{kGuard, kGuard, kSide - kGuard, kSide - kGuard};
  destination.SetClipRect(&inner);
  // Any input may be refused; the run goes on.
  (void)NumberedTransitionDispatch(mode, &destination, &source, progress, x, y, kind, nullptr);
  for (int32_t j = 0; j < kSide; ++j) {
    for (int32_t i = 0; i < kSide; ++i) {
      const bool inside = i >= inner.left && i < inner.right && j >= inner.top && j < inner.bottom;
      if (!inside) Check(destination.GetPixel(i, j) == kGuardColour);
    }
  }
  return 0;
}
