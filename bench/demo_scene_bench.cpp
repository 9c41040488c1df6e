// The demo's heaviest frame: a background change under way ("cross", and "rule" through a rule
// picture) from one page to the other, each page a full-screen background with three standing
// characters (32 bits, soft alpha), and the message window (a translucent box with a line of text,
// its pixels drawn once by the outline renderer) above both, at 800x600 (the demo's screen) and
// 1280x720. Each frame both pages are composed whole again (the worst frame: what the first
// frame of a change, or characters that change on both pages, costs) and the screen is presented
// to a 32-bit primary surface.
//
// Ours: the screen canvas and its linked back page, the named transition attached as the canvas's
// source exchanging the pages' objects, the window a sprite in the canvas's upper list, and
// CanvasLayer::PresentFrame to a MemorySurface: the pages recomposed, the transition's bands
// blended into the backing picture, the window drawn over each band, each band converted to the
// primary.
// Peer, pixman on copies of the same pictures (premultiplied, as pixman takes alpha), the same
// passes: per page SRC of the background and OVER of each character; OVER of the new page
// (x8r8g8b8) onto the old through a solid mask at the level ("cross") or through an a8 mask made
// each frame from the rule picture by the rule's table for the level ("rule"); OVER of the
// window; SRC of the frame into the locked primary.
// Before timing, the primaries of both sides' first frames are checked to agree in colour within
// 4: pixman rounds each blend by 255ths where ours floors by 256ths, up to 1 apart per blend, a
// pixel is blended up to three times (a character, the change, the window), and the premultiplied
// copies pixman takes are rounded once more.
// Throughput is screen pixels per second; prints "ratio demo <transition> <size>: <ours / peer
// throughput>" and each side's microseconds per frame.
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_check.h"
#include "bench_ratio.h"
#include "common/global.h"
#include "effects/builtin_effects.h"
#include "effects/effect_args.h"
#include "effects/effect_registries.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "host/clock.h"
#include "host/cp932.h"
#include "host/font/glyph_source.h"
#include "host/surface/memory_surface.h"
#include "pixel_data.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"
#include "scenario/text/outline_text_renderer.h"

namespace {

struct FrameSize {
  int w, h;
  std::string Name() const { return std::to_string(w) + "x" + std::to_string(h); }
};
constexpr FrameSize kSizes[] = {{800, 600}, {1280, 720}};
constexpr uint32_t kDurationMs = 2000;
constexpr int kLevel = 128;  // where the clock holds the change: half way
// The change's progress there, in its steps of 255ths.
constexpr int kProgress = int(int64_t{kDurationMs * kLevel / 256} * 255 / kDurationMs);
constexpr int kVagueness = 32;
constexpr int kCharacters = 3;
constexpr int kTolerance = 4;
constexpr uint32_t kColour = 0x00FFFFFFu;

// The primary's pixels, row after row without padding.
std::vector<uint32_t> PixelsOf(bw::host::MemorySurface& primary, int w, int h) {
  std::vector<uint32_t> out;
  bw::host::DdSurfaceDesc desc;
  if (primary.Lock(&desc) != bw::host::kDdOk) return out;
  out.resize(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y) {
    std::memcpy(out.data() + size_t(y) * size_t(w), desc.surface + ptrdiff_t{y} * desc.pitch,
                size_t(w) * 4);
  }
  primary.Unlock();
  return out;
}

double Cover(double distance) {
  return std::clamp(0.5 - distance, 0.0, 1.0);
}

uint32_t Mix(uint32_t a, uint32_t b, double t) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    out |= uint32_t(std::lround(ca + (cb - ca) * t)) << shift;
  }
  return out;
}

// A landscape: a sky gradient over hills, every pixel opaque.
std::vector<uint32_t> Background(int w, int h, uint32_t sky, uint32_t ground, double phase) {
  std::vector<uint32_t> out(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double hill = h * (0.62 + 0.06 * std::sin(x * 6.0 / w + phase));
      const uint32_t c = y < hill ? Mix(sky, 0xF0E8D8, double(y) / hill)
                                  : Mix(ground, 0x203018, (y - hill) / (h - hill));
      out[size_t(y) * size_t(w) + size_t(x)] = 0xFF000000u | c;
    }
  }
  return out;
}

// A standing character as the demo draws them: head, neck and widening body with soft edges on a
// clear ground, straight (not premultiplied) alpha. Height is three quarters of the screen's.
struct Figure {
  int w, h;
  std::vector<uint32_t> pixels;
};

Figure Character(int screenHeight, uint32_t hair, uint32_t body) {
  const double k = screenHeight * 0.85 / 500.0;
  Figure f{int(260 * k), int(500 * k), {}};
  f.pixels.assign(size_t(f.w) * size_t(f.h), 0);
  const double cx = f.w / 2.0;
  for (int y = 0; y < f.h; ++y) {
    for (int x = 0; x < f.w; ++x) {
      const double px = (x + 0.5) / k, py = (y + 0.5) / k, c = cx / k;
      const double head = std::hypot(px - c, py - 110) - 62;
      const double t = std::clamp((py - 190) / 310.0, 0.0, 1.0);
      const double torso = std::max(std::abs(px - c) - (60 + 50 * t), 190 - py);
      const double neck = std::max(std::abs(px - c) - 22, std::abs(py - 180) - 20);
      // Two pixels of soft edge, as a drawn outline softened.
      const double a = Cover(std::min({head, torso, neck}) * k / 2);
      if (a <= 0) continue;
      const uint32_t colour = py < 100 ? hair : py < 190 ? 0xF8DCC4 : body;
      f.pixels[size_t(y) * size_t(f.w) + size_t(x)] = uint32_t(std::lround(a * 255)) << 24 | colour;
    }
  }
  return f;
}

// The rule picture: a diagonal sweep with a little grain, 8 bits.
std::vector<uint8_t> Rule(int w, int h) {
  std::vector<uint8_t> out(size_t(w) * size_t(h));
  uint32_t grain = 1;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      grain = grain * 1664525u + 1013904223u;
      const int v = (x + y) * 255 / (w + h) + int(grain >> 29) - 4;
      out[size_t(y) * size_t(w) + size_t(x)] = uint8_t(std::clamp(v, 0, 255));
    }
  }
  return out;
}

// The message window: a translucent dark box with a lighter rim and one line of white text, drawn
// once by the outline renderer (no face installed: the box alone).
Figure MessageWindow(int screenW, int screenH) {
  Figure f{screenW - 40, screenH / 4, {}};
  f.pixels.assign(size_t(f.w) * size_t(f.h), 0xB0182038u);
  for (int y = 0; y < f.h; ++y) {
    for (int x = 0; x < f.w; ++x) {
      if (x < 3 || y < 3 || x >= f.w - 3 || y >= f.h - 3)
        f.pixels[size_t(y) * size_t(f.w) + size_t(x)] = 0xE0A0B0D0u;
    }
  }
  bw::ImageSurface text;
  text.Create(f.w, f.h, 32, bw::kImagePlain);
  text.Fill(0, nullptr);
  bw::OutlineTextRenderer renderer(bw::host::FreeTypeGlyphSource(), 512);
  const int32_t height = std::max(20, screenH / 25);
  if (renderer.SetFont(height, false, false, bw::host::Utf8ToCp932("ＭＳ ゴシック").text.c_str()) ==
      0) {
    const std::string line =
        bw::host::Utf8ToCp932("「おはよう！ 今日はみんなで遠出する日だよ。」").text;
    renderer.DrawText(&text, height, height, line.c_str(), nullptr, nullptr);
  }
  for (int y = 0; y < f.h; ++y) {
    const uint8_t* row = text.GetRowPointer(y);
    for (int x = 0; x < f.w; ++x) {
      const uint32_t coverage = row[4 * x + 1];  // green: the text is white on black
      if (coverage == 0) continue;
      uint32_t& p = f.pixels[size_t(y) * size_t(f.w) + size_t(x)];
      const double t = coverage / 255.0;
      const uint32_t alpha = uint32_t(std::lround((p >> 24) + (255 - (p >> 24)) * t));
      p = alpha << 24 | Mix(p & 0xFFFFFF, 0xFFFFFF, t);
    }
  }
  return f;
}

// Everything both sides draw, in straight alpha.
struct Pictures {
  explicit Pictures(FrameSize size)
      : w(size.w), h(size.h), rule(Rule(w, h)), window(MessageWindow(w, h)) {
    backgrounds[0] = Background(w, h, 0x6090D0, 0x50A040, 0.0);
    backgrounds[1] = Background(w, h, 0xD08050, 0x406030, 2.0);
    const uint32_t hair[kCharacters] = {0x402820, 0x202040, 0x804020};
    const uint32_t body[kCharacters] = {0xD06080, 0x4070C0, 0x60A060};
    for (int i = 0; i < kCharacters; ++i) figures[i] = Character(h, hair[i], body[i]);
  }
  // Feet on the bottom edge, side by side in the middles of three thirds of the width, so that no
  // two soft edges meet.
  int FigureX(int i) const { return w * (2 * i + 1) / (2 * kCharacters) - figures[i].w / 2; }
  int FigureY(int i) const { return h - figures[i].h; }
  int WindowX() const { return 20; }
  int WindowY() const { return h - window.h - 16; }

  int w, h;
  std::vector<uint32_t> backgrounds[2];
  Figure figures[kCharacters];
  std::vector<uint8_t> rule;
  Figure window;
};

void Copy(bw::ImageSurface& into, const uint32_t* pixels, int w, int h, bool alpha) {
  into.Create(w, h, 32, bw::kImagePlain);
  into.SetHasAlpha(alpha);
  for (int y = 0; y < h; ++y)
    std::memcpy(into.GetRowPointer(y), pixels + size_t(y) * size_t(w), size_t(w) * 4);
}

// The engine's side: the two pages, the window in the screen's upper list, the transition.
class OurScene {
 public:
  explicit OurScene(const Pictures& p) : w_(p.w), h_(p.h) {
    for (int page = 0; page < 2; ++page)
      Copy(backgrounds_[page], p.backgrounds[page].data(), p.w, p.h, false);
    for (int i = 0; i < kCharacters; ++i) {
      const Figure& f = p.figures[i];
      Copy(figures_[i], f.pixels.data(), f.w, f.h, true);
    }
    Copy(window_, p.window.pixels.data(), p.window.w, p.window.h, true);
    rule_.Create(p.w, p.h, 8, bw::kImagePlain);
    for (int y = 0; y < p.h; ++y)
      std::memcpy(rule_.GetRowPointer(y), p.rule.data() + size_t(y) * size_t(p.w), size_t(p.w));
    ok_ = screen_.Create(p.w, p.h, 32, bw::kLayerComposedWithUpperList) == bw::kLayerDone &&
          back_.Create(p.w, p.h, 32, bw::kLayerComposed) == bw::kLayerDone &&
          screen_.SetLinkedLayer(&back_) == bw::kLayerDone && screen_.GetUpperList();
    primary_ = bw::host::MemorySurface::Create(p.w, p.h, bw::bench::Bgra32());
    ok_ = ok_ && primary_;
    if (!ok_) return;
    bw::SurfaceLayer* pages[2] = {&screen_, &back_};
    for (int page = 0; page < 2; ++page) {
      bw::CompositionLayer& c = *pages[page]->GetCompositionLayer();
      c.SetBackgroundImage(&backgrounds_[page], 0, 0, true);
      for (int i = 0; i < kCharacters; ++i) {
        bw::Sprite& s = sprites_[page][i];
        s.SetImage(&figures_[i], nullptr, p.FigureX(i), p.FigureY(i));
        c.GetList().Add(&s, 100 * uint32_t(i + 1), 0);
      }
    }
    windowSprite_.SetImage(&window_, nullptr, p.WindowX(), p.WindowY());
    screen_.GetUpperList()->Add(&windowSprite_, 100, 0);
  }
  ~OurScene() { screen_.SetLinkedLayer(nullptr); }

  // Attaches the change and runs its first frame, then holds the clock half way through it.
  bool Start(const char* keyword) {
    if (!ok_) return false;
    screen_.DetachSource(false);
    clock_.SetMilliseconds(1000);
    bw::FilterEffect* filter =
        std::strcmp(keyword, "rule") == 0
            ? transitions_.CreateAndSetUpArray(&screen_, keyword,
                                               {kDurationMs, bw::Word(&rule_), kVagueness})
            : transitions_.CreateAndSetUpArray(&screen_, keyword, {kDurationMs});
    if (!filter) return false;
    if (screen_.AttachSource(filter, bw::kAttachExchangeObjects, true, false) != 0) {
      bw::ReleaseFilter(filter);
      return false;
    }
    if (Frame() != bw::kPresentDone) return false;
    clock_.SetMilliseconds(1000 + kDurationMs * kLevel / 256);
    return true;
  }

  int Frame() {
    screen_.GetCompositionLayer()->InvalidateAll();
    back_.GetCompositionLayer()->InvalidateAll();
    return screen_.PresentFrame(bw::host::HWND{}, nullptr, primary_.get(), 0, false);
  }
  bool Running() const { return screen_.HasSource(); }
  std::vector<uint32_t> Screen() { return PixelsOf(*primary_, w_, h_); }

 private:
  bw::host::VirtualClock clock_{1000};
  bw::ScopedGlobal<bw::host::ClockSource> publishedClock_{&clock_};
  bw::TrigTables trig_;
  bw::ScopedGlobal<bw::TrigTables> publishedTrig_{&trig_};
  bw::ScopedPixelLibrary library_{&bw::BuiltInPixelLibrary()};
  bw::TimerService timers_;
  bw::ScopedGlobal<bw::TimerService> publishedTimers_{&timers_};
  bw::DcpPluginManager effects_;
  bw::TcpPluginManager transitions_;
  bool registered_ = (bw::RegisterApplicationKeywords(transitions_, effects_), true);
  // Both pages show the same three characters, as the peer's do.
  bw::ImageSurface backgrounds_[2], figures_[kCharacters], window_, rule_;
  // The sprites go before the layers that list them.
  bw::Sprite sprites_[2][kCharacters];
  bw::Sprite windowSprite_;
  bw::CanvasLayer back_, screen_;
  std::unique_ptr<bw::host::MemorySurface> primary_;
  int w_, h_;
  bool ok_ = false;
};

void Ours(benchmark::State& state, FrameSize size, const char* keyword) {
  bw::BuildBlendTables();
  const Pictures pictures(size);
  OurScene scene(pictures);
  if (!scene.Start(keyword)) return state.SkipWithError("the change cannot be started");
  if (scene.Frame() != bw::kPresentDone) return state.SkipWithError("the frame was not presented");
  if (!bw::bench::AgreesWithPair(state, std::string(keyword) + size.Name(), "ours", scene.Screen(),
                                 size.w, size.h, kTolerance, kColour)) {
    return;
  }
  for (auto _ : state) {
    if (scene.Frame() != bw::kPresentDone || !scene.Running()) {
      state.SkipWithError("the frame was not presented");
      break;
    }
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, int64_t{size.w} * size.h);
}

std::vector<uint32_t> Premultiplied(const std::vector<uint32_t>& straight) {
  std::vector<uint32_t> out(straight.size());
  for (size_t i = 0; i < straight.size(); ++i) {
    const uint32_t p = straight[i], a = p >> 24;
    uint32_t q = a << 24;
    for (int shift = 0; shift < 24; shift += 8)
      q |= (((p >> shift) & 0xFF) * a + 127) / 255 << shift;
    out[i] = q;
  }
  return out;
}

pixman_image_t* Bits(pixman_format_code_t format, int w, int h, const void* pixels, int stride) {
  return pixman_image_create_bits(
      format, w, h, const_cast<uint32_t*>(static_cast<const uint32_t*>(pixels)), stride);
}

void Peer(benchmark::State& state, FrameSize size, const char* keyword) {
  const Pictures p(size);
  const int w = p.w, h = p.h, stride = w * 4;
  std::vector<uint32_t> figures[kCharacters], window = Premultiplied(p.window.pixels);
  for (int i = 0; i < kCharacters; ++i) figures[i] = Premultiplied(p.figures[i].pixels);
  std::vector<uint32_t> pages[2] = {std::vector<uint32_t>(size_t(w) * h),
                                    std::vector<uint32_t>(size_t(w) * h)};
  pixman_image_t *bg[2], *page[2], *figure[kCharacters];
  for (int i = 0; i < 2; ++i) {
    bg[i] = Bits(PIXMAN_x8r8g8b8, w, h, p.backgrounds[i].data(), stride);
    page[i] = Bits(PIXMAN_x8r8g8b8, w, h, pages[i].data(), stride);
  }
  for (int i = 0; i < kCharacters; ++i) {
    const Figure& f = p.figures[i];
    figure[i] = Bits(PIXMAN_a8r8g8b8, f.w, f.h, figures[i].data(), f.w * 4);
  }
  pixman_image_t* box =
      Bits(PIXMAN_a8r8g8b8, p.window.w, p.window.h, window.data(), p.window.w * 4);
  pixman_color_t level{0, 0, 0, uint16_t(kProgress * 257)};
  const bool rule = std::strcmp(keyword, "rule") == 0;
  const int ruleStride = (w + 3) & ~3;
  std::vector<uint8_t> weights(size_t(ruleStride) * size_t(h));
  pixman_image_t* mask = rule ? Bits(PIXMAN_a8, w, h, weights.data(), ruleStride)
                              : pixman_image_create_solid_fill(&level);
  // The rule's weight of each pixel at the level, as the rule blend takes it.
  uint8_t table[256];
  const int threshold = kProgress * (256 + kVagueness) / 255;
  for (int r = 0; r < 256; ++r)
    table[r] = uint8_t(std::clamp((threshold - r) * 255 / kVagueness, 0, 255));
  auto primary = bw::host::MemorySurface::Create(w, h, bw::bench::Bgra32());
  auto frame = [&] {
    if (rule) {
      for (int y = 0; y < h; ++y) {
        const uint8_t* from = p.rule.data() + size_t(y) * size_t(w);
        uint8_t* to = weights.data() + size_t(y) * size_t(ruleStride);
        for (int x = 0; x < w; ++x) to[x] = table[from[x]];
      }
    }
    for (int i = 0; i < 2; ++i) {
      pixman_image_composite32(PIXMAN_OP_SRC, bg[i], nullptr, page[i], 0, 0, 0, 0, 0, 0, w, h);
      for (int c = 0; c < kCharacters; ++c) {
        pixman_image_composite32(PIXMAN_OP_OVER, figure[c], nullptr, page[i], 0, 0, 0, 0,
                                 p.FigureX(c), p.FigureY(c), p.figures[c].w, p.figures[c].h);
      }
    }
    pixman_image_composite32(PIXMAN_OP_OVER, page[1], mask, page[0], 0, 0, 0, 0, 0, 0, w, h);
    pixman_image_composite32(PIXMAN_OP_OVER, box, nullptr, page[0], 0, 0, 0, 0, p.WindowX(),
                             p.WindowY(), p.window.w, p.window.h);
    bw::host::DdSurfaceDesc desc;
    if (!primary || primary->Lock(&desc) != bw::host::kDdOk) return false;
    pixman_image_t* screen = Bits(PIXMAN_a8r8g8b8, w, h, desc.surface, int(desc.pitch));
    pixman_image_composite32(PIXMAN_OP_SRC, page[0], nullptr, screen, 0, 0, 0, 0, 0, 0, w, h);
    pixman_image_unref(screen);
    primary->Unlock();
    return true;
  };
  if (!frame()) {
    state.SkipWithError("the primary cannot be locked");
  } else if (bw::bench::AgreesWithPair(state, std::string(keyword) + size.Name(), "pixman",
                                       PixelsOf(*primary, w, h), w, h, kTolerance, kColour)) {
    for (auto _ : state) {
      if (!frame()) {
        state.SkipWithError("the primary cannot be locked");
        break;
      }
      benchmark::ClobberMemory();
    }
    bw::bench::CountPixels(state, int64_t{w} * h);
  }
  for (pixman_image_t* image : {bg[0], bg[1], page[0], page[1], box, mask})
    pixman_image_unref(image);
  for (pixman_image_t* image : figure) pixman_image_unref(image);
}

std::string Name(const char* side, const char* keyword, FrameSize size) {
  return std::string(side) + "/" + keyword + "/" + size.Name();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const char* keyword : {"cross", "rule"}) {
    for (FrameSize size : kSizes) {
      benchmark::RegisterBenchmark(Name("ours", keyword, size).c_str(), Ours, size, keyword)
          ->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark(Name("pixman", keyword, size).c_str(), Peer, size, keyword)
          ->Unit(benchmark::kMicrosecond);
    }
  }
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* keyword : {"cross", "rule"}) {
    for (FrameSize size : kSizes) {
      const std::string ours = Name("ours", keyword, size), peer = Name("pixman", keyword, size);
      reporter.PrintRatio(std::string("demo ") + keyword + " " + size.Name(), ours, peer);
      // From the processor time behind the rate: a busy machine stretches the real time.
      for (const std::string& name : {ours, peer}) {
        if (const bw::bench::RunResult* r = reporter.Find(name); r && r->rate > 0)
          std::printf("us per frame %s: %.0f\n", name.c_str(),
                      double(size.w) * size.h / r->rate * 1e6);
      }
    }
  }
  benchmark::Shutdown();
  return 0;
}
