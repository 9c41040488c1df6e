// bgframes OUT.bmp: a sheet of the layer effects' frames, one row per effect at three chosen
// clock times, drawn on a generated picture, to look at.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "common/global.h"
#include "effects/builtin_effects.h"
#include "effects/effect_registries.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/pixel_library.h"
#include "lib/file_bytes.h"
#include "lib/textshot/text_sheet.h"
#include "lib/tool_args.h"
#include "lib/tool_exit.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"

namespace {

constexpr bw::tools::ToolUsage kUsage = {
    "bgframes: draws frames of the layer effects (zoom, rot, blur, panime, rast, haze, loop, "
    "cross) on a generated picture, to look at.",
    "usage: bgframes OUT.bmp   one row per effect, at the start, halfway and near the end\n"};

constexpr int32_t kW = 160, kH = 90;
constexpr uint32_t kTimes[] = {0, 500, 900};

// Diagonal colour bands with a grid every 16 pixels, so moves and waves show.
void Paint(bw::ImageSurface& s, int32_t w, int32_t h, uint32_t tint) {
  // Sizes fixed here: only a lack of memory refuses them, and the pictures then stay blank.
  (void)s.Create(w, h, 32, bw::kImagePlain);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const bool grid = x % 16 == 0 || y % 16 == 0;
      const uint32_t band = uint32_t((x + y) * 255 / (w + h));
      // Inside the surface just made.
      (void)s.SetPixel(x, y,
                       grid ? 0xFFFFFFFFu : (0xFF000000u | band << 16 | (255 - band) << 8 | tint));
    }
  }
}

struct Row {
  const char* keyword;
  std::vector<bw::ArgWord> words;
};

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return bw::tools::kExitOk;
  if (argc == 1) return bw::tools::PrintUsage(kUsage);
  if (argc != 2) return bw::tools::UsageError("bgframes", kUsage, "takes one OUT.bmp only");
  bw::BuildBlendTables();
  bw::TrigTables trig;
  bw::ScopedGlobal<bw::TrigTables> publishedTrig(&trig);
  bw::ScopedPixelLibrary library(&bw::BuiltInPixelLibrary());
  bw::TcpPluginManager transitions;
  bw::DcpPluginManager effects;
  bw::RegisterApplicationKeywords(transitions, effects);

  static const char two[] = "2", one[] = "1", half[] = "0.5", quarter[] = "128";
  static const char path[] = "c 300 l 300 r";
  static const char wave[] = "(1,0,12)(3,128,4)";
  const Row rows[] = {
      {"bg_zoom", {80, 45, bw::Word(two), 0, 1000}},
      {"bg_rot", {80, 45, 128, bw::Word(half), 0, 1000}},
      {"bg_blur", {0, 80, 45, bw::Word(one), 0, bw::Word(two), bw::Word(quarter), 1000, 96}},
      {"bg_panime", {bw::Word(path), 400, 65535, 0, 0, 0, 0}},
      {"bg_rast", {8, 30, 1000, 0, 0, 0, 1, 0}},
      {"bg_haze", {bw::Word(wave), 90, 1000, 0, 0, 0, 1, 0}},
      {"bg_loop", {0, 1000, 0, 0}},
      {"bg_cross", {1000, 0, 0, 0, 0}},
  };
  bw::ImageSurface sheet;
  // Sizes fixed here: only a lack of memory refuses them, and the pictures then stay blank.
  (void)sheet.Create(kW * 3, kH * int32_t(std::size(rows)), 32, bw::kImagePlain);
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)sheet.Fill(0xFF000000u, nullptr);
  for (size_t r = 0; r < std::size(rows); ++r) {
    bw::ImageSurface picture, other, frame;
    Paint(picture, 2 * kW, 2 * kH, 0x40);
    Paint(other, 2 * kW, 2 * kH, 0xC0);
    // Sizes fixed here: only a lack of memory refuses them, and the pictures then stay blank.
    (void)frame.Create(kW, kH, 32, bw::kImagePlain);
    bw::OffscreenLayer layer, partner;
    // Sizes fixed here: only a lack of memory refuses them, and the pictures then stay blank.
    (void)layer.Create(kW, kH, 32, true);
    (void)partner.Create(kW, kH, 32, true);
    // A null one only unlinks, which cannot fail.
    (void)layer.SetLinkedLayer(&partner);
    // The layer and the picture were just made.
    (void)layer.GetCompositionLayer()->SetBackgroundImage(&picture, 0, 0, true);
    (void)partner.GetCompositionLayer()->SetBackgroundImage(&other, 0, 0, true);
    bw::TimerService timers;
    std::unique_ptr<bw::DisplayEffect> effect = effects.Create(rows[r].keyword);
    const bw::ArgWords words(rows[r].words.data(), rows[r].words.size());
    if (effect == nullptr ||
        effect->Setup(&timers, static_cast<bw::SurfaceLayer*>(&layer), words)) {
      std::fprintf(stderr, "bgframes: %s did not start\n", rows[r].keyword);
      return bw::tools::kExitFailed;
    }
    for (size_t c = 0; c < std::size(kTimes); ++c) {
      // A step is drawn whatever it answers.
      (void)effect->Update(kTimes[c]);
      // The layer and the picture were just made.
      (void)layer.GetCompositionLayer()->RenderTo(&frame, bw::kRenderAll, 0, false);
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)sheet.Blit(&frame, int32_t(c) * kW, int32_t(r) * kH, nullptr, false);
    }
    timers.Clear();
  }
  if (!bw::tools::WriteFileBytes("bgframes", argv[1], bw::tools::SheetBmp(sheet)))
    return bw::tools::kExitFailed;
  return bw::tools::kExitOk;
}
