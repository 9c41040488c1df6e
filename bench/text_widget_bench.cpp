// The message windows' drawing, beside what it is built on:
//   typing      a full page (4 lines of 26 full-width characters, 24 px, edged) typed character
//               by character through the window's PutChar, with its line breaking, cells and
//               dirty marking, beside the same edged renderer drawing the same 4 lines as whole
//               strings with its DrawString onto a picture of the page's size: ours beside ours
//               ("self"), the window's work around the drawing, so nothing to compare;
//   reveal      the reveal's last tick, which puts what is left of the page of hidden text (the
//               same 4 lines) over the page through the reveal's soft-edged mask; its time
//               alone: no peer draws what that mask leaves, and pixman's OVER of the whole
//               hidden page gives other pixels at the glyphs' edges. Setting up each tick
//               (laying out and drawing the hidden page) is untimed and costs hundreds of
//               ticks, so the tick runs a fixed number of times.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "common/global.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/display_object.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/text/outline_text_renderer.h"
#include "gui/text_view.h"
#include "host/cp932.h"
#include "host/font/glyph_source.h"
#include "platform/trig_tables.h"

namespace {

constexpr int kLines = 4;
constexpr int kPerLine = 26;
constexpr int32_t kSize = 24;
constexpr int32_t kMargin = 8;
// Room for 26 cells before the two hanging cells and the margins.
constexpr int32_t kPageWidth = kMargin + kPerLine * kSize + 2 * kSize + kMargin;
constexpr int32_t kPageHeight = 2 * kMargin + kLines * (kSize + 4) + 8;
constexpr int kRevealTicks = 300;  // also in the names the ratio line reads

std::string Line(int n) {
  static const char* const kChars = "吾輩は猫である名前はまだ無いどこで生れたかとんと見当がつかぬ";
  const std::string all = bw::host::Utf8ToCp932(kChars).text;
  std::string line;
  for (int i = 0; i < kPerLine; ++i) line += all.substr(size_t((i + n) % 30) * 2, 2);
  return line;
}

std::unique_ptr<bw::OutlineTextRenderer> EdgedRenderer() {
  auto r = std::make_unique<bw::OutlineTextRenderer>(bw::host::FreeTypeGlyphSource(), 512);
  if (r->SetFont(kSize, false, false, bw::host::Utf8ToCp932("ＭＳ ゴシック").text.c_str())) {
    return nullptr;
  }
  r->SetStyle(bw::kTextEdge);
  r->SetDecorationColor(20, 40, 120);
  return r;
}

struct World {
  World() {
    bw::BuildBlendTables();
    renderer = EdgedRenderer();
    if (!renderer) return;
    view.SetMinLineHeight(0);
    ok = view.Create(&list, 1, kPageWidth, kPageHeight, 0, 0, renderer.get(), nullptr, 0) == 0;
    for (int i = 0; i < kLines; ++i) page += Line(i);
  }
  bw::ScopedPixelLibrary library{&bw::BuiltInPixelLibrary()};
  bw::TrigTables trig;
  bw::ScopedGlobal<bw::TrigTables> trigScope{&trig};
  std::unique_ptr<bw::OutlineTextRenderer> renderer;
  bw::DisplayObjectList list;
  bw::TextView view;
  std::string page;
  bool ok = false;
};

World& TheWorld() {
  static World world;
  return world;
}

void OursTyping(benchmark::State& state) {
  World& w = TheWorld();
  if (!w.ok) return state.SkipWithError("no Japanese face");
  for (auto _ : state) {
    w.view.Home(false);
    const char* cursor = w.page.c_str();
    while (*cursor) {
      if (w.view.PutChar(&cursor) == bw::kBreakPageFull) return state.SkipWithError("page full");
    }
  }
  state.SetItemsProcessed(state.iterations() * kLines * kPerLine);
}

void DrawLines(benchmark::State& state) {
  World& w = TheWorld();
  if (!w.ok) return state.SkipWithError("no Japanese face");
  bw::ImageSurface picture;
  // Sizes fixed here: only a lack of memory refuses them, and the pictures then stay blank.
  (void)picture.Create(kPageWidth, kPageHeight, 32, bw::kImageDibSection);
  std::vector<std::string> lines;
  for (int i = 0; i < kLines; ++i) lines.push_back(Line(i));
  for (auto _ : state) {
    for (int i = 0; i < kLines; ++i) {
      bw::Rect drawn;
      // What is not drawn shows as blank in the picture.
      (void)w.renderer->DrawString(&picture, kMargin, kMargin + i * (kSize + 4),
                                   lines[size_t(i)].c_str(), &drawn, nullptr);
    }
  }
  state.SetItemsProcessed(state.iterations() * kLines * kPerLine);
}

// A frame that runs nothing.
class NoCalls : public bw::TgsCallRunner {
 public:
  int RunCall(std::span<const uint8_t>) override { return 0; }
  int MessageState() const override { return 0; }
};

void OursReveal(benchmark::State& state) {
  World& w = TheWorld();
  if (!w.ok) return state.SkipWithError("no Japanese face");
  NoCalls frame;
  bw::TextView view;
  (void)view.SetFrameSlices(4, 4, 1, 1);
  bw::ImageSurface border;
  // Sizes fixed here: only a lack of memory refuses them, and the pictures then stay blank.
  (void)border.Create(9, 9, 32, bw::kImageDibSection);
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)border.Fill(0xC0203040, nullptr);
  (void)view.SetBackgroundImages(&border, nullptr, nullptr, false);
  (void)view.Create(&w.list, 2, kPageWidth, kPageHeight, 0, 0, w.renderer.get(), nullptr, 0);
  view.SetFrame(&frame);
  view.SetRevealTime(20);
  (void)view.SetSoftEdge(kSize * 2);
  (void)view.SetMessage(w.page.data(), w.page.size());
  for (auto _ : state) {
    state.PauseTiming();
    (void)view.Resize(kPageWidth, kPageHeight, false);
    (void)view.ShowMessage(true);
    (void)view.OnTick(1000);
    state.ResumeTiming();
    (void)view.OnTick(1000 + view.GetRevealTotal());
  }
  // The page asked for, as the peer counts: the window shrinks to fit its text, but
  // the boxes blended are the same on both sides, so both count the same pixels per tick.
  state.SetItemsProcessed(state.iterations() * int64_t(kPageWidth) * kPageHeight);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("ours/type_page", OursTyping);
  benchmark::RegisterBenchmark("ours/draw_lines", DrawLines);
  benchmark::RegisterBenchmark("ours/reveal_tick", OursReveal)->Iterations(kRevealTicks);
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSelf("type-page-vs-draw-lines", "ours/type_page", "ours/draw_lines");
  if (const bw::bench::RunResult* reveal = reporter.Find("ours/reveal_tick/iterations:300")) {
    std::printf("reveal tick: %.1f %s\n", reveal->time, reveal->unit);
  }
  benchmark::Shutdown();
  return 0;
}
