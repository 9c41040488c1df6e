// Draws "cross", "rule" (over a generated 8-bit rule), "wave", "mosaic" and "rotaxis" between two
// generated pictures at 0, 25, 50, 75 and 100 %, prints each frame's hash and writes it as a
// bitmap; then two sheets: every numbered mode at p = 128 on its own tile, and every numbered wipe
// at half time.
//   --frames DIR  writes DIR/<name>_<percent>.bmp and prints the hashes
//   --show DIR    also shows every frame in a window under xvfb-run and writes the screenshots
//                 DIR/<name>_<percent>_screen.png (skipped without Xvfb or ImageMagick)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/global.h"
#include "effects/transitions/named_transitions.h"
#include "effects/transitions/transition_dispatch.h"
#include "effects/transitions/transition_random.h"
#include "effects/transitions/wipe_transitions.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "host/message_queue.h"
#include "host/presentation_sink.h"
#include "host/sdl/sdl_backend.h"
#include "lib/bmp/bmp_builder.h"
#include "lib/probe/probe_window.h"
#include "platform/trig_tables.h"

namespace bw {
namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;
constexpr int kPassed = 0;
constexpr int kFailed = 1;
constexpr int kCaptureAttempts = 20;

uint32_t* Row(const ImageSurface& s, int32_t y) {
  return reinterpret_cast<uint32_t*>(s.GetRowPointer(y));
}

// A picture of the probe's size drawn by pixel(x, y); 8-bit pictures keep the low byte.
std::unique_ptr<ImageSurface> Picture(int bits,
                                      const std::function<uint32_t(double, double)>& pixel) {
  auto s = std::make_unique<ImageSurface>();
  // Sizes fixed here: only a lack of memory refuses them, and the pictures then stay blank.
  (void)s->Create(kWidth, kHeight, bits, 0);
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      if (bits == 8) {
        s->GetRowPointer(y)[x] = uint8_t(pixel(x, y));
      } else {
        Row(*s, y)[x] = pixel(x, y);
      }
    }
  }
  return s;
}

double FromCentre(double x, double y) {
  return std::hypot(x - kWidth / 2.0, y - kHeight / 2.0);
}

// The old picture: a warm gradient with a ring; the new one: a cool checkerboard with stripes.
std::unique_ptr<ImageSurface> OldPicture() {
  return Picture(32, [](double x, double y) {
    const bool ring = FromCentre(x, y) > 60 && FromCentre(x, y) < 80;
    return ring ? 0xFFFFFFFFu
                : 0xFF000028u | uint32_t(128 + x * 127 / kWidth) << 16 |
                      uint32_t(y * 160 / kHeight) << 8;
  });
}

std::unique_ptr<ImageSurface> NewPicture() {
  return Picture(32, [](double x, double y) {
    const int32_t i = int32_t(x), j = int32_t(y);
    const bool check = (i / 32 + j / 32) % 2 == 0, stripe = (i + j) % 24 < 4;
    return stripe ? 0xFFFFFFFFu : check ? 0xFF2040C0u : 0xFF20A080u;
  });
}

// A radial rule: the centre changes first.
std::unique_ptr<ImageSurface> RulePicture() {
  return Picture(
      8, [](double x, double y) { return uint32_t(FromCentre(x, y) * 255 / FromCentre(0, 0)); });
}

struct Pictures {
  std::unique_ptr<ImageSurface> oldImage = OldPicture(), newImage = NewPicture(),
                                rule = RulePicture(), target = std::make_unique<ImageSurface>();
  TrigTables trig;
  // Sizes fixed here: only a lack of memory refuses them, and the pictures then stay blank.
  Pictures() { (void)target->Create(kWidth, kHeight, 32, 0); }
  TransitionDrawArea Area() const {
    return {0, 0, kWidth, kHeight, target.get(), 0, 0, oldImage.get(), 0, 0, newImage.get(), 0, 0};
  }
};

struct Transition {
  const char* name;
  std::function<int(Pictures&, int percent)> draw;
};

std::vector<Transition> Transitions() {
  return {
      {"cross", [](Pictures& p, int q) { return DrawCrossTransition(p.Area(), q * 255 / 100); }},
      {"rule", [](Pictures& p,
                  int q) { return DrawRuleTransition(p.Area(), p.rule.get(), q * 255 / 100, 48); }},
      {"wave",
       [](Pictures& p, int q) {
         // Amplitude rising to its peak at half time and falling back, as the effect drives it.
         const int32_t amplitude = int32_t(20 * std::sin(q * 3.14159265 / 100));
         return DrawWaveTransition(
             p.Area(), {q * 255 / 100, amplitude, 6 << 9, -(kHeight / 2) * (6 << 9), 0xFF000000u});
       }},
      {"mosaic", [](Pictures& p,
                    int q) { return DrawMosaicTransition(p.Area(), q * 48 / 100, 48, 0, false); }},
      {"rotaxis",
       [](Pictures& p, int q) { return DrawRotaxisTransition(p.Area(), q * 256 / 100, 0); }},
  };
}

uint64_t Hash(const ImageSurface& s) {
  uint64_t h = host::kFnv1a64Start;
  for (int32_t y = 0; y < s.GetHeight(); ++y) {
    h = host::Fnv1a64(s.GetRowPointer(y), size_t(s.GetWidth()) * 4, h);
  }
  return h;
}

bool WriteBmp(const ImageSurface& s, const std::filesystem::path& path) {
  tools::BmpFields bmp;
  bmp.width = s.GetWidth();
  bmp.height = -s.GetHeight();
  bmp.bits = 32;
  for (int32_t y = 0; y < s.GetHeight(); ++y) {
    const uint8_t* row = s.GetRowPointer(y);
    bmp.data.insert(bmp.data.end(), row, row + size_t(s.GetWidth()) * 4);
  }
  const std::vector<uint8_t> bytes = tools::BuildBmp(bmp);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(out);
}

constexpr int kPercents[] = {0, 25, 50, 75, 100};

// Tiles of a sheet: the old picture under each, a crop of the new picture as its source, drawing
// held to the tile by the clip rectangle.
template <typename DrawTile>
void DrawSheet(Pictures& p, int columns, int count, DrawTile&& draw) {
  const int rows = (count + columns - 1) / columns;
  const int32_t w = kWidth / columns, h = kHeight / rows;
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)p.target->Blit(p.oldImage.get(), 0, 0, nullptr, false);
  ImageSurface tile;
  // Sizes fixed here: only a lack of memory refuses them, and the pictures then stay blank.
  (void)tile.Create(w - 2, h - 2, 32, 0);
  for (int k = 0; k < count; ++k) {
    const int32_t x = (k % columns) * w + 1, y = (k / columns) * h + 1;
    const Rect crop{x, y, x + w - 2, y + h - 2};
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)tile.Blit(p.newImage.get(), 0, 0, &crop, false);
    p.target->SetClipRect(&crop);
    draw(k, tile, x, y);
  }
  p.target->SetClipRect(nullptr);
}

void DrawModeSheet(Pictures& p) {
  ReseedTransitionRandom(1);
  DrawSheet(p, 10, kTransitionModes, [&](int mode, ImageSurface& tile, int32_t x, int32_t y) {
    // What is not drawn shows as blank in the picture.
    (void)NumberedTransitionDispatch(mode, p.target.get(), &tile, 128, x, y, 0, nullptr);
  });
}

void DrawWipeSheet(Pictures& p) {
  constexpr uint32_t kDuration = 100;
  DrawSheet(p, 6, kWipeKinds, [&](int kind, ImageSurface& tile, int32_t x, int32_t y) {
    WipeWords words;
    if (IsSourceWipe(kind)) {
      words = {x, y, 0, 65535};
    } else {
      words = {x, y, tile.GetWidth(), tile.GetHeight(), 200, 255, 64, 0};
    }
    WipeTransition wipe(kind, kDuration, p.target.get(), &tile, words, 0);
    // A step is drawn whatever it answers.
    (void)wipe.Update(kDuration / 2);
  });
}

// Draws every frame; each(name, percent, target) sees it.
bool DrawAll(const std::function<bool(const char*, int, const ImageSurface&)>& each) {
  Pictures pictures;
  ScopedGlobal<TrigTables> trig(&pictures.trig);
  for (const Transition& t : Transitions()) {
    for (int percent : kPercents) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)pictures.target->Fill(0xFF000000u, nullptr);
      if (int code = t.draw(pictures, percent); code != 0) {
        std::fprintf(stderr, "%s at %d %% answered %d\n", t.name, percent, code);
        return false;
      }
      if (!each(t.name, percent, *pictures.target)) return false;
    }
  }
  DrawModeSheet(pictures);
  if (!each("modes", 50, *pictures.target)) return false;
  DrawWipeSheet(pictures);
  return each("wipes", 50, *pictures.target);
}

std::string FrameName(const char* name, int percent) {
  return std::string(name) + "_" + std::to_string(percent);
}

int Frames(const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir);
  const bool ok = DrawAll([&](const char* name, int percent, const ImageSurface& target) {
    std::printf("%-8s %3d %%  %016llx\n", name, percent, (unsigned long long)Hash(target));
    return WriteBmp(target, dir / (FrameName(name, percent) + ".bmp"));
  });
  return ok ? kPassed : kFailed;
}

using probe::Quote;
using probe::Run;

// In a window on the virtual screen: each frame presented, then the window's area captured.
int ShowInWindow(const std::filesystem::path& dir) {
  probe::ProbeWindow window("transition", kWidth, kHeight);
  host::SdlSink* sink = window.Sink();
  if (!sink) return kFailed;
  bool mapped = false;
  const bool ok = DrawAll([&](const char* name, int percent, const ImageSurface& target) {
    if (!sink->Present(target.GetPixels(), kWidth, kHeight, target.GetPitch(),
                       host::ScaleFilter::kNearest)) {
      std::fprintf(stderr, "the window took no frame %s\n", FrameName(name, percent).c_str());
      return false;
    }
    const std::filesystem::path shot = dir / (FrameName(name, percent) + "_screen.png");
    // The window may not be mapped yet: show the first frame again and look once more, until
    // the screen holds more than the empty root's colours.
    for (int attempt = 0; attempt < kCaptureAttempts; ++attempt) {
      window.Refresh();
      if (!Run("import -window root " + Quote(shot))) continue;
      if (mapped || Run("test $(identify -format %k " + Quote(shot) + ") -gt 2")) {
        mapped = true;
        return true;
      }
    }
    std::fprintf(stderr, "the screen never showed %s\n", FrameName(name, percent).c_str());
    return false;
  });
  return ok ? kPassed : kFailed;
}

int Show(const std::filesystem::path& dir, const char* self) {
  if (Frames(dir) != kPassed) return kFailed;
  if (!Run("command -v xvfb-run >/dev/null 2>&1 && command -v import >/dev/null 2>&1")) {
    std::printf("skipped the screenshots: xvfb-run or ImageMagick is not installed\n");
    return kPassed;
  }
  const std::string show =
      "env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 " + Quote(self) +
      " --window " + Quote(dir);
  return Run("xvfb-run -a -s '-screen 0 640x480x24' " + show) ? kPassed : kFailed;
}

}  // namespace
}  // namespace bw

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s --frames DIR | --show DIR\n", argv[0]);
    return 2;
  }
  bw::BuildBlendTables();
  bw::ScopedPixelLibrary library(&bw::BuiltInPixelLibrary());
  const std::string mode = argv[1];
  if (mode == "--frames") return bw::Frames(argv[2]);
  if (mode == "--show") return bw::Show(argv[2], argv[0]);
  if (mode == "--window") return bw::ShowInWindow(argv[2]);
  std::fprintf(stderr, "unknown mode %s\n", argv[1]);
  return 2;
}
