// The demo's heaviest frame: a background change under way ("cross", and "rule" through a rule
// picture) from one page to the other, each page a full-screen background with three standing
// characters (32 bits, soft alpha), and the message window (a translucent box with a line of text,
// its pixels drawn once by the outline renderer) above both, at 800x600 (the demo's screen),
// 1280x720 and 2560x1440 (a large full-screen window). Each frame both pages are composed whole
// again (the worst frame: what the first frame of a change, or characters that change on both
// pages, costs) and the screen is presented to a 32-bit primary surface.
//
// Ours: the screen canvas and its linked back page, the named transition attached as the canvas's
// source exchanging the pages' objects, the window a sprite in the canvas's upper list, and
// CanvasLayer::PresentFrame through a MemorySurface's device context, as the display manager
// presents by default: the pages recomposed, the transition's bands blended straight into the
// primary's pixels (or into the backing picture and copied, where a band is not drawn whole), the
// window drawn over each band.
// Peer, pixman on copies of the same pictures (premultiplied, as pixman takes alpha), the same
// passes: per page SRC of the background and OVER of each character, the first listed on top;
// OVER of the new page (x8r8g8b8) onto the old through a solid mask at the level ("cross") or
// through an a8 mask made each frame from the rule picture by the engine's ramp ("rule"); OVER of
// the window; SRC of the frame into the locked primary. Before timing, both sides' screens must
// agree (see kTolerance).
// Throughput is screen pixels per second; prints "ratio demo <transition> <size>: <ours / peer
// throughput>", each side's microseconds per frame, and "self demo <transition> 2560x1440
// per-pixel cost over 1280x720: <x>" (1 when the cost grows with the pixels alone).
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "common/global.h"
#include "effects/builtin_effects.h"
#include "effects/effect_args.h"
#include "effects/effect_registries.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "graphics/text/outline_text_renderer.h"
#include "host/clock.h"
#include "host/cp932.h"
#include "host/font/glyph_source.h"
#include "host/surface/memory_surface.h"
#include "pixel_data.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"

namespace {

struct FrameSize {
  int w, h;
  std::string Name() const { return std::to_string(w) + "x" + std::to_string(h); }
};
constexpr FrameSize kSizes[] = {{800, 600}, {1280, 720}, {2560, 1440}};
// The sizes whose cost per pixel the self lines compare: a large window against a 720p one.
constexpr FrameSize kSmall = {1280, 720}, kLarge = {2560, 1440};
constexpr uint32_t kDurationMs = 2000;
constexpr int kLevel = 128;  // where the clock holds the change: half way
// The level the change draws at there: its share of the duration in 255ths, truncated.
constexpr int kDrawnLevel = int(int64_t{kDurationMs * kLevel / 256} * 255 / kDurationMs);
constexpr int kVagueness = 32;
constexpr int kCharacters = 3;

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
  (void)text.Create(f.w, f.h, 32, bw::kImagePlain);
  (void)text.Fill(0, nullptr);
  bw::OutlineTextRenderer renderer(bw::host::FreeTypeGlyphSource(), 512);
  const int32_t height = std::max(20, screenH / 25);
  if (renderer.SetFont(height, false, false, bw::host::Utf8ToCp932("ＭＳ ゴシック").text.c_str()) ==
      0) {
    const std::string line =
        bw::host::Utf8ToCp932("「おはよう！ 今日はみんなで遠出する日だよ。」").text;
    (void)renderer.DrawText(&text, height, height, line.c_str(), nullptr, nullptr);
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
      : w(size.w), h(size.h), rule(bw::bench::DiagonalRule(w, h)), window(MessageWindow(w, h)) {
    backgrounds[0] = Background(w, h, 0x6090D0, 0x50A040, 0.0);
    backgrounds[1] = Background(w, h, 0xD08050, 0x406030, 2.0);
    const uint32_t hair[kCharacters] = {0x402820, 0x202040, 0x804020};
    const uint32_t body[kCharacters] = {0xD06080, 0x4070C0, 0x60A060};
    for (int i = 0; i < kCharacters; ++i) figures[i] = Character(h, hair[i], body[i]);
  }
  // Feet on the bottom edge, at a quarter, the middle and three quarters of the width.
  int FigureX(int i) const { return w * (i + 1) / (kCharacters + 1) - figures[i].w / 2; }
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
  (void)into.Create(w, h, 32, bw::kImagePlain);
  into.SetHasAlpha(alpha);
  for (int y = 0; y < h; ++y)
    std::memcpy(into.GetRowPointer(y), pixels + size_t(y) * size_t(w), size_t(w) * 4);
}

// The engine's side: the two pages, the window in the screen's upper list, the transition.
class OurScene {
 public:
  explicit OurScene(const Pictures& p) {
    for (int page = 0; page < 2; ++page)
      Copy(backgrounds_[page], p.backgrounds[page].data(), p.w, p.h, false);
    for (int i = 0; i < kCharacters; ++i) {
      const Figure& f = p.figures[i];
      Copy(figures_[i], f.pixels.data(), f.w, f.h, true);
    }
    Copy(window_, p.window.pixels.data(), p.window.w, p.window.h, true);
    (void)rule_.Create(p.w, p.h, 8, bw::kImagePlain);
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
      (void)c.SetBackgroundImage(&backgrounds_[page], 0, 0, true);
      for (int i = 0; i < kCharacters; ++i) {
        bw::Sprite& s = sprites_[page][i];
        (void)s.SetImage(&figures_[i], nullptr, p.FigureX(i), p.FigureY(i));
        (void)c.GetList().Add(&s, 100 * uint32_t(i + 1), 0);
      }
    }
    (void)windowSprite_.SetImage(&window_, nullptr, p.WindowX(), p.WindowY());
    (void)screen_.GetUpperList()->Add(&windowSprite_, 100, 0);
  }
  ~OurScene() { (void)screen_.SetLinkedLayer(nullptr); }

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

  // Presented as the display manager presents by default: through the primary's device context,
  // taken for overwriting while the change runs.
  int Frame() {
    (void)screen_.GetCompositionLayer()->InvalidateAll();
    (void)back_.GetCompositionLayer()->InvalidateAll();
    bw::host::MemoryDc* dc = nullptr;
    const bw::host::DcUse use =
        screen_.HasSource() ? bw::host::kDcOverwrites : bw::host::kDcWritesChanges;
    if (primary_->GetDC(&dc, use) != bw::host::kDdOk || !dc) return -1;
    bw::DirtyRectList drawn;
    const int result = screen_.PresentFrame(bw::host::HWND{}, dc, nullptr, 0, false, &drawn);
    return primary_->ReleaseDC(dc, bw::DdRectsOf(drawn)) == bw::host::kDdOk ? result : -1;
  }
  bool Running() const { return screen_.HasSource(); }
  const bw::host::MemorySurface& Primary() const { return *primary_; }

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
  bool ok_ = false;
};

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

// The peer's side: pixman on premultiplied copies of the same pictures, the same passes. The rule
// change's mask is made each frame from the rule picture by the ramp the engine's rule blend uses
// at the same level.
class PeerScene {
 public:
  PeerScene(const Pictures& p, const char* keyword)
      : p_(p), w_(p.w), h_(p.h), rule_(std::strcmp(keyword, "rule") == 0) {
    const int stride = w_ * 4;
    window_ = Premultiplied(p.window.pixels);
    for (int i = 0; i < kCharacters; ++i) figures_[i] = Premultiplied(p.figures[i].pixels);
    for (int i = 0; i < 2; ++i) {
      pages_[i].assign(size_t(w_) * h_, 0);
      bg_[i] = Bits(PIXMAN_x8r8g8b8, w_, h_, p.backgrounds[i].data(), stride);
      page_[i] = Bits(PIXMAN_x8r8g8b8, w_, h_, pages_[i].data(), stride);
    }
    for (int i = 0; i < kCharacters; ++i) {
      const Figure& f = p.figures[i];
      figure_[i] = Bits(PIXMAN_a8r8g8b8, f.w, f.h, figures_[i].data(), f.w * 4);
    }
    box_ = Bits(PIXMAN_a8r8g8b8, p.window.w, p.window.h, window_.data(), p.window.w * 4);
    const int threshold = kDrawnLevel * (256 + kVagueness) / 255;
    for (int r = 0; r < 256; ++r)
      ramp_[r] = uint8_t(std::clamp((threshold - r) * 255 / kVagueness, 0, 255));
    ruleMask_.assign(size_t(w_) * h_, 0);
    pixman_color_t level{0, 0, 0, uint16_t(kDrawnLevel * 257)};
    mask_ = rule_ ? Bits(PIXMAN_a8, w_, h_, ruleMask_.data(), w_)
                  : pixman_image_create_solid_fill(&level);
    primary_ = bw::host::MemorySurface::Create(w_, h_, bw::bench::Bgra32());
  }
  ~PeerScene() {
    for (pixman_image_t* image : {bg_[0], bg_[1], page_[0], page_[1], box_, mask_})
      pixman_image_unref(image);
    for (pixman_image_t* image : figure_) pixman_image_unref(image);
  }

  bool Frame() {
    for (int i = 0; i < 2; ++i) {
      pixman_image_composite32(PIXMAN_OP_SRC, bg_[i], nullptr, page_[i], 0, 0, 0, 0, 0, 0, w_, h_);
      // The engine draws its list from the highest priority value down: the first one lies on top.
      for (int c = kCharacters - 1; c >= 0; --c) {
        pixman_image_composite32(PIXMAN_OP_OVER, figure_[c], nullptr, page_[i], 0, 0, 0, 0,
                                 p_.FigureX(c), p_.FigureY(c), p_.figures[c].w, p_.figures[c].h);
      }
    }
    if (rule_) {
      for (size_t i = 0; i < ruleMask_.size(); ++i) ruleMask_[i] = ramp_[p_.rule[i]];
    }
    pixman_image_composite32(PIXMAN_OP_OVER, page_[1], mask_, page_[0], 0, 0, 0, 0, 0, 0, w_, h_);
    pixman_image_composite32(PIXMAN_OP_OVER, box_, nullptr, page_[0], 0, 0, 0, 0, p_.WindowX(),
                             p_.WindowY(), p_.window.w, p_.window.h);
    bw::host::DdSurfaceDesc desc;
    if (!primary_ || primary_->Lock(&desc) != bw::host::kDdOk) return false;
    pixman_image_t* screen = Bits(PIXMAN_a8r8g8b8, w_, h_, desc.surface, int(desc.pitch));
    pixman_image_composite32(PIXMAN_OP_SRC, page_[0], nullptr, screen, 0, 0, 0, 0, 0, 0, w_, h_);
    pixman_image_unref(screen);
    (void)primary_->Unlock();
    return true;
  }
  const bw::host::MemorySurface& Primary() const { return *primary_; }

 private:
  const Pictures& p_;
  int w_, h_;
  bool rule_;
  std::vector<uint32_t> figures_[kCharacters], window_, pages_[2];
  std::vector<uint8_t> ruleMask_;
  uint8_t ramp_[256];
  pixman_image_t *bg_[2], *page_[2], *figure_[kCharacters], *box_, *mask_;
  std::unique_ptr<bw::host::MemorySurface> primary_;
};

// The largest difference of a colour channel between the two sides' screens.
int LargestDifference(const bw::host::MemorySurface& a, const bw::host::MemorySurface& b) {
  int largest = 0;
  for (int y = 0; y < a.Height(); ++y) {
    const uint8_t* ra = a.Pixels() + y * a.Pitch();
    const uint8_t* rb = b.Pixels() + y * b.Pitch();
    for (int x = 0; x < a.Width() * 4; ++x) {
      if (x % 4 == 3) continue;  // the primary has no alpha
      largest = std::max(largest, std::abs(int(ra[x]) - int(rb[x])));
    }
  }
  return largest;
}

// Both sides draw one frame of each change and size before anything is timed; their screens must
// agree within kTolerance per channel. They round differently: ours blends straight alpha with the
// engine's truncating tables, pixman premultiplied alpha with rounding, and up to three blends lie
// on one pixel (a character, the change, the window), each one apart, the rule's ramp one more.
constexpr int kTolerance = 4;

std::string CheckAgreement(FrameSize size, const char* keyword) {
  bw::BuildBlendTables();
  const Pictures pictures(size);
  OurScene ours(pictures);
  PeerScene peer(pictures, keyword);
  if (!ours.Start(keyword)) return "the change cannot be started";
  if (ours.Frame() != bw::kPresentDone || !peer.Frame()) return "a frame was not presented";
  const int largest = LargestDifference(ours.Primary(), peer.Primary());
  if (largest <= kTolerance) return "";
  return "the screens differ by " + std::to_string(largest) + " in a channel";
}

// Why the two sides' screens disagree, "" when they agree; checked once per change and size.
const std::string& Disagreement(FrameSize size, const char* keyword) {
  static std::map<std::string, std::string> checked;
  const std::string key = std::string(keyword) + size.Name();
  auto it = checked.find(key);
  if (it == checked.end()) it = checked.emplace(key, CheckAgreement(size, keyword)).first;
  return it->second;
}

void Ours(benchmark::State& state, FrameSize size, const char* keyword) {
  if (const std::string& why = Disagreement(size, keyword); !why.empty())
    return state.SkipWithError(why.c_str());
  bw::BuildBlendTables();
  const Pictures pictures(size);
  OurScene scene(pictures);
  if (!scene.Start(keyword)) return state.SkipWithError("the change cannot be started");
  for (auto _ : state) {
    if (scene.Frame() != bw::kPresentDone || !scene.Running()) {
      state.SkipWithError("the frame was not presented");
      break;
    }
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, int64_t{size.w} * size.h);
}

void Peer(benchmark::State& state, FrameSize size, const char* keyword) {
  const Pictures pictures(size);
  PeerScene scene(pictures, keyword);
  for (auto _ : state) {
    if (!scene.Frame()) {
      state.SkipWithError("the primary cannot be locked");
      break;
    }
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, int64_t{size.w} * size.h);
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
    // The large window's cost per pixel over the 720p one's: 1 when it scales with the pixels.
    const bw::bench::RunResult* small = reporter.Find(Name("ours", keyword, kSmall));
    const bw::bench::RunResult* large = reporter.Find(Name("ours", keyword, kLarge));
    if (small && large && small->rate > 0 && large->rate > 0) {
      std::printf("self demo %s %s per-pixel cost over %s: %.2f\n", keyword, kLarge.Name().c_str(),
                  kSmall.Name().c_str(), small->rate / large->rate);
    }
  }
  benchmark::Shutdown();
  return 0;
}
