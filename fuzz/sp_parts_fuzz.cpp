// Parts definition files as a game folder holds them: the counting and filling passes, then the
// path of every part with steps played on a sprite to its end. Nothing may crash, fill past the
// counted steps or read outside the text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/global.h"
#include "effects/sp_parts_effect.h"
#include "effects/sp_parts_reader.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "platform/trig_tables.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Zooms stay small enough that the work surfaces are quick to make.
constexpr double kLargestZoom = 8;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  static bw::TrigTables trig;
  static bw::ImageSurface picture;
  static const bool ready = [] {
    bw::Global<bw::TrigTables>::Set(&trig);
    // Any input may be refused; the run goes on.
    (void)bw::SetPixelLibrary(&bw::BuiltInPixelLibrary());
    return picture.Create(16, 12, 32, bw::kImagePlain) == bw::kSurfaceDone;
  }();
  Check(ready);
  std::vector<bw::PartsPart> parts;
  const int counted = bw::CountParts(text, size % 2 == 0, &parts);
  Check(counted >= bw::kPartsRead && counted <= bw::kPartsFirstNotKeyFrame);
  if (counted != bw::kPartsRead) return 0;
  for (bw::PartsPart& part : parts) {
    if (part.looping) continue;
    const int filled = bw::FillPart(part, bw::PartImageInfo{16, 12, 3, 4}, 1, 2);
    Check(filled >= bw::kPartsRead && filled <= bw::kPartsFirstNotKeyFrame);
    Check(part.steps.size() <= static_cast<size_t>(part.stepCount));
    if (filled != bw::kPartsRead || part.steps.empty() || part.largestZoom > kLargestZoom) continue;
    bw::Sprite sprite;
    Check(sprite.SetImage(&picture, nullptr, 0, 0) == bw::kSpriteDone);
    bw::SpPartsPiece piece;
    if (piece.AttachPiece(&sprite, 1000, part.motionMode, part.steps, part.keyFrames, part.show) !=
        bw::kPieceAttached) {
      continue;
    }
    for (uint32_t ms = 0; ms <= 40 * 12; ms += 37) {
      if (piece.Update(ms) != 0) break;
    }
  }
  return 0;
}
