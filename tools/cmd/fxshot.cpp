// fxshot OUT.bmp: draws chosen frames of the image filters and the ripple into one sheet, to
// look at: one row per filter and mode, one column per quarter of its run.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/global.h"
#include "effects/filter_image_effects.h"
#include "effects/ripple_effect.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/pixel_library.h"
#include "lib/file_bytes.h"
#include "lib/textshot/text_sheet.h"
#include "lib/tool_args.h"
#include "lib/tool_exit.h"
#include "platform/subtractive_random.h"
#include "platform/trig_tables.h"

namespace {

constexpr bw::tools::ToolUsage kUsage = {
    "fxshot: draws frames of the image filters and the ripple at a quarter, a half and three "
    "quarters of their runs, on two made pictures, to look at.",
    "usage: fxshot OUT.bmp\n"};

constexpr int kW = 160;
constexpr int kH = 120;
constexpr int kColumns = 5;  // start, quarters, end

struct Row {
  const char* name;
  std::unique_ptr<bw::FilterEffect> (*create)(uint32_t);
  std::vector<bw::ArgWord> words;
};

// Rings of colour on blue (old) and a chequer of orange (new).
void Paint(bw::ImageSurface& s, bool fresh) {
  for (int y = 0; y < kH; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(s.GetRowPointer(y));
    for (int x = 0; x < kW; ++x) {
      const int d = (x - kW / 2) * (x - kW / 2) + (y - kH / 2) * (y - kH / 2);
      row[x] = fresh ? (((x / 16) ^ (y / 16)) & 1 ? 0xFFF08020u : 0xFF603010u)
                     : 0xFF000000u | uint32_t(d / 8 % 256) << 16 | uint32_t(x) << 8 | 0xC0;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return bw::tools::kExitOk;
  if (argc == 1) return bw::tools::PrintUsage(kUsage);
  if (argc != 2) return bw::tools::UsageError("fxshot", kUsage, "takes one OUT.bmp only");
  bw::BuildBlendTables();
  bw::TrigTables trig;
  bw::ScopedGlobal<bw::TrigTables> publishedTrig(&trig);
  bw::ScopedPixelLibrary library(&bw::BuiltInPixelLibrary());
  bw::SubtractiveRandom random;
  random.Seed(1);
  bw::QuakeFilter::SetRandom(&random);
  const char aspect[] = "1.5";
  const std::vector<Row> rows = {
      {"zoomflip 0", bw::ZoomflipFilter::Create, {1000, 0}},
      {"zoomflip 4", bw::ZoomflipFilter::Create, {1000, 4}},
      {"zoomflip 6", bw::ZoomflipFilter::Create, {1000, 6}},
      {"rotcenter 0", bw::RotcenterFilter::Create, {1000, 0}},
      {"rotcenter 1", bw::RotcenterFilter::Create, {1000, 1}},
      {"addsub 0", bw::AddsubFilter::Create, {1000, 0}},
      {"addsub 2", bw::AddsubFilter::Create, {1000, 2}},
      {"hblur 0", bw::HblurFilter::Create, {1000, 0, 12}},
      {"hblur 1", bw::HblurFilter::Create, {1000, 1, 12}},
      {"quake", bw::QuakeFilter::Create, {4, 24, 12, 1000, 0, 1}},
      {"ripple", bw::RippleEffect::Create, {1000, -1, -1, 32, 0, 0, 24}},
      {"ripple aspect", bw::RippleEffect::Create, {1000, 20, 100, 16, bw::Word(aspect), 0, 60}},
  };
  bw::OffscreenLayer layer;
  bw::ImageSurface before, after, sheet;
  if (layer.Create(kW, kH, 32, false) != 0 || before.Create(kW, kH, 32, 0) != 0 ||
      after.Create(kW, kH, 32, 0) != 0 ||
      sheet.Create(kW * kColumns, kH * int(rows.size()), 32, 0) != 0) {
    std::fprintf(stderr, "fxshot: no memory for the pictures\n");
    return bw::tools::kExitFailed;
  }
  Paint(before, false);
  Paint(after, true);
  for (size_t r = 0; r < rows.size(); ++r) {
    std::unique_ptr<bw::FilterEffect> filter = rows[r].create(0);
    if (!filter ||
        filter->SetUp(&layer, bw::ArgWords(rows[r].words.data(), rows[r].words.size())) != 0) {
      std::fprintf(stderr, "fxshot: %s refused its set-up\n", rows[r].name);
      return bw::tools::kExitFailed;
    }
    // A step is drawn whatever it answers.
    (void)filter->Advance(0);
    for (int c = 0; c < kColumns; ++c) {
      // A step is drawn whatever it answers.
      (void)filter->Advance(uint32_t(c * 250));
      bw::FilterDrawRequest request;
      request.width = kW, request.height = kH;
      request.target = &sheet, request.targetX = c * kW, request.targetY = int32_t(r) * kH;
      request.oldImage = &before, request.newImage = &after;
      if (filter->Draw(request) != 0) {
        std::fprintf(stderr, "fxshot: %s did not draw\n", rows[r].name);
        return bw::tools::kExitFailed;
      }
    }
    std::printf("row %2zu %s\n", r, rows[r].name);
  }
  bw::RippleEffect::Finalise();
  if (!bw::tools::WriteFileBytes("fxshot", argv[1], bw::tools::SheetBmp(sheet))) {
    return bw::tools::kExitFailed;
  }
  return bw::tools::kExitOk;
}
