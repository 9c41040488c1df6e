// story_files: the pictures and sounds of the demo's story and title screen, drawn and composed
// here so that the game needs no binary sources. Every file is the same on every run.
//
//   story_files pictures DIR   DIR/BG/BG01-BG04.WGX (800x600 backgrounds), DIR/CHR/*.WGX (two
//                              characters, two faces each, 32 bits with soft alpha and their
//                              standing point as the picture's offsets), DIR/CG/TITLE.BMP
//                              and the two characters for the title, DIR/CG/T_MINA.WGX and
//                              T_SORA.WGX (without offsets), DIR/SYS/CA_EYE.WGX and CA_MOUTH.WGX
//                              (Mina's closed eyes and open mouth for her parts animation, their
//                              place in her picture as their offsets)
//   story_files sounds DIR     DIR/VOICE/D101-D108.V_ and D201-D208.V_ (a short run of tones per
//                              line, higher for the first speaker), DIR/BGM/TITLE_I.OGG and
//                              TITLE_L.OGG (the title tune's intro and loop), the scenes' tunes
//                              DIR/BGM/BGM11.OGG (morning), BGM12.OGG (dusk), BGM13.OGG (night),
//                              DIR/SE/HOVER.OGG, CLICK.OGG, BELL.OGG and WAVES.OGG (a loop)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "lib/bmp/bmp_builder.h"
#include "lib/file_bytes.h"
#include "lib/ogg/ogg_vorbis_writer.h"
#include "lib/tool_exit.h"
#include "lib/wgx/wgx_writer.h"

namespace {

namespace fs = std::filesystem;
using bw::tools::kExitFailed;
using bw::tools::kExitOk;
using bw::tools::WgxPicture;

constexpr bw::tools::ToolUsage kUsage = {
    "story_files: draws the pictures and makes the sounds of the demo's story and title.",
    "usage: story_files pictures DIR\n"
    "       story_files sounds DIR\n"};

constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kWidth = 800;
constexpr uint32_t kHeight = 600;

// ---- Drawing ----

uint32_t Mix(uint32_t a, uint32_t b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    out |= uint32_t(std::lround(ca + (cb - ca) * t)) << shift;
  }
  return out;
}

// A small integer hash, for stars and leaves that fall the same way every time.
uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  return x ^ (x >> 16);
}

// Coverage of a shape at a pixel from its signed distance (negative inside): one soft pixel.
double Cover(double distance) {
  return std::clamp(0.5 - distance, 0.0, 1.0);
}

double Circle(double x, double y, double cx, double cy, double r) {
  return std::hypot(x - cx, y - cy) - r;
}

double Ellipse(double x, double y, double cx, double cy, double rx, double ry) {
  const double k = std::hypot((x - cx) / rx, (y - cy) / ry);
  return (k - 1.0) * std::min(rx, ry);
}

double Box(double x, double y, double left, double top, double right, double bottom) {
  const double dx = std::max(left - x, x - right), dy = std::max(top - y, y - bottom);
  return std::max(dx, dy);
}

WgxPicture Canvas(uint32_t width, uint32_t height, int depth) {
  WgxPicture p;
  p.depth = depth;
  p.width = width;
  p.height = height;
  p.pixels.assign(size_t{width} * height, 0);
  return p;
}

// Paints colour over the picture where shape covers it (the distance per pixel centre).
void Paint(WgxPicture& p, uint32_t colour, const std::function<double(double, double)>& shape) {
  for (uint32_t y = 0; y < p.height; ++y) {
    for (uint32_t x = 0; x < p.width; ++x) {
      const double c = Cover(shape(x + 0.5, y + 0.5));
      if (c <= 0) continue;
      uint32_t& px = p.pixels[size_t(y) * p.width + x];
      px = (px & 0xFF000000u) | Mix(px & 0xFFFFFF, colour, c);
    }
  }
}

void Gradient(WgxPicture& p, uint32_t top, uint32_t bottom, uint32_t from, uint32_t to) {
  for (uint32_t y = from; y < to && y < p.height; ++y) {
    const uint32_t c = Mix(top, bottom, double(y - from) / double(to - from));
    for (uint32_t x = 0; x < p.width; ++x) p.pixels[size_t(y) * p.width + x] = 0xFF000000u | c;
  }
}

// A spring morning on a hill: sky, sun, two hills and a tree.
WgxPicture Hill() {
  WgxPicture p = Canvas(kWidth, kHeight, 24);
  Gradient(p, 0x5EA8E8, 0xD8ECF8, 0, kHeight);
  Paint(p, 0xFFF4C0, [](double x, double y) { return Circle(x, y, 640, 110, 48); });
  Paint(p, 0x8CC860, [](double x, double y) { return 380 + 40 * std::sin(x / 130.0) - y; });
  Paint(p, 0x5CA040, [](double x, double y) { return 470 + 30 * std::cos(x / 90.0 + 1) - y; });
  Paint(p, 0x6A4A30, [](double x, double y) { return Box(x, y, 160, 250, 180, 400); });
  Paint(p, 0x3C8A3C, [](double x, double y) { return Circle(x, y, 170, 230, 70); });
  return p;
}

// A town at dusk: an orange sky over rows of houses with lit windows.
WgxPicture Town() {
  WgxPicture p = Canvas(kWidth, kHeight, 24);
  Gradient(p, 0x402060, 0xF09050, 0, 420);
  Gradient(p, 0x6A5048, 0x3A2C28, 420, kHeight);
  for (uint32_t i = 0; i < 9; ++i) {
    const double left = i * 90.0 - 10, top = 250 + (Hash(i) % 120);
    Paint(p, 0x281C30, [&](double x, double y) { return Box(x, y, left, top, left + 80, 440); });
    for (uint32_t w = 0; w < 6; ++w) {
      if (Hash(i * 16 + w) % 3 == 0) continue;
      const double wx = left + 12 + (w % 2) * 36, wy = top + 20 + (w / 2) * 40;
      if (wy + 20 > 430) continue;
      Paint(p, 0xFFD870, [&](double x, double y) { return Box(x, y, wx, wy, wx + 18, wy + 20); });
    }
  }
  return p;
}

// The sea at night: stars, a moon and bands of waves.
WgxPicture Sea() {
  WgxPicture p = Canvas(kWidth, kHeight, 24);
  Gradient(p, 0x080C28, 0x283870, 0, 360);
  Gradient(p, 0x18305A, 0x081020, 360, kHeight);
  for (uint32_t i = 0; i < 90; ++i) {
    const uint32_t h = Hash(i + 1000);
    const size_t x = h % kWidth, y = (h >> 12) % 330;
    p.pixels[y * kWidth + x] = 0xFFF0F0FFu;
  }
  Paint(p, 0xF4F0D0, [](double x, double y) { return Circle(x, y, 200, 120, 40); });
  Paint(p, 0x0C1438, [](double x, double y) { return Circle(x, y, 218, 110, 36); });
  for (uint32_t band = 0; band < 8; ++band) {
    const double base = 380 + band * 28;
    Paint(p, Mix(0x4070B0, 0x203860, band / 8.0), [&](double x, double y) {
      return std::abs(y - base - 4 * std::sin(x / 40.0 + band)) - 1.5;
    });
  }
  return p;
}

// A path through a forest: green light and dark trunks.
WgxPicture Forest() {
  WgxPicture p = Canvas(kWidth, kHeight, 24);
  Gradient(p, 0x9CD890, 0x28603A, 0, kHeight);
  Paint(p, 0xB89868, [](double x, double y) {
    const double half = 40 + (y - 300) * 0.6;
    return y < 300 ? 1.0 : std::abs(x - 400) - half;
  });
  for (uint32_t i = 0; i < 10; ++i) {
    const double cx = 40 + i * 80 + (Hash(i + 77) % 30);
    if (cx > 300 && cx < 500) continue;
    const double w = 14 + Hash(i + 99) % 14;
    Paint(p, 0x3A2A1C, [&](double x, double y) { return Box(x, y, cx - w, 0, cx + w, 520); });
  }
  for (uint32_t i = 0; i < 40; ++i) {
    const uint32_t h = Hash(i + 5000);
    const double cx = h % kWidth, cy = (h >> 10) % 200, r = 30 + (h >> 20) % 40;
    Paint(p, Mix(0x2E7A3A, 0x4A9A48, (h & 0xFF) / 255.0),
          [&](double x, double y) { return Circle(x, y, cx, cy, r); });
  }
  return p;
}

// A standing character, 260 x 500, on a clear ground: hair, face, eyes, mouth and body.
constexpr uint32_t kCharacterWidth = 260;
constexpr uint32_t kSkin = 0xF8DCC4;

struct Look {
  uint32_t hair, body, trim, eyes;
  bool longHair;
  bool smiling;
};

WgxPicture Character(const Look& look) {
  constexpr uint32_t kW = kCharacterWidth, kH = 500;
  WgxPicture p = Canvas(kW, kH, 32);
  const double cx = kW / 2.0;
  // Alpha from the union of the silhouette's shapes; colours painted over it.
  auto silhouette = [&](double x, double y) {
    double d = Circle(x, y, cx, 110, 62);
    d = std::min(d, Box(x, y, cx - 22, 160, cx + 22, 200));
    const double t = std::clamp((y - 190) / 310.0, 0.0, 1.0);
    d = std::min(d, Box(x, y, cx - 60 - 50 * t, 190, cx + 60 + 50 * t, kH));
    if (look.longHair) d = std::min(d, Box(x, y, cx - 68, 100, cx + 68, 260));
    return d;
  };
  for (uint32_t y = 0; y < kH; ++y) {
    for (uint32_t x = 0; x < kW; ++x) {
      const double a = Cover(silhouette(x + 0.5, y + 0.5));
      p.pixels[size_t(y) * kW + x] = uint32_t(std::lround(a * 255)) << 24;
    }
  }
  Paint(p, look.hair, [&](double x, double y) {
    return look.longHair ? Box(x, y, cx - 68, 100, cx + 68, 260) : Circle(x, y, cx, 100, 66);
  });
  Paint(p, look.body, [&](double x, double y) {
    const double t = std::clamp((y - 190) / 310.0, 0.0, 1.0);
    return Box(x, y, cx - 60 - 50 * t, 190, cx + 60 + 50 * t, kH);
  });
  Paint(p, look.trim, [&](double x, double y) { return Box(x, y, cx - 60, 190, cx + 60, 206); });
  Paint(p, kSkin, [&](double x, double y) {
    return std::min(Ellipse(x, y, cx, 118, 52, 56), Box(x, y, cx - 20, 160, cx + 20, 196));
  });
  Paint(p, look.hair, [&](double x, double y) { return Box(x, y, cx - 56, 56, cx + 56, 84); });
  for (double side : {-1.0, 1.0}) {
    const double ex = cx + side * 22;
    if (look.smiling) {
      Paint(p, look.eyes, [&](double x, double y) {
        return y > 118 ? 1.0 : std::abs(Circle(x, y, ex, 122, 9)) - 1.5;
      });
    } else {
      Paint(p, look.eyes, [&](double x, double y) { return Ellipse(x, y, ex, 118, 7, 11); });
      Paint(p, 0xFFFFFF, [&](double x, double y) { return Circle(x, y, ex + 2, 114, 2.5); });
    }
  }
  Paint(p, 0xC05050, [&](double x, double y) {
    const double r = look.smiling ? 14 : 9;
    return y < 144 ? 1.0 : std::abs(Circle(x, y, cx, 140, r)) - 1.5;
  });
  // Standing at the screen's centre, the picture's feet touch the bottom edge.
  p.offsetX = int16_t((kWidth - kW) / 2);
  p.offsetY = int16_t(kHeight - kH);
  return p;
}

// A patch of a character's face for its parts animation: skin over the box (left, top) to
// (right, bottom) of the character picture, with what shape draws in colour; the patch's offsets
// are its place in the picture, which the parts file counts from.
WgxPicture FacePatch(int left, int top, int right, int bottom, uint32_t colour,
                     const std::function<double(double, double)>& shape) {
  WgxPicture p = Canvas(uint32_t(right - left), uint32_t(bottom - top), 32);
  for (uint32_t& px : p.pixels) px = 0xFF000000u | kSkin;
  Paint(p, colour, [&](double x, double y) { return shape(x + left, y + top); });
  p.offsetX = int16_t(left);
  p.offsetY = int16_t(top);
  return p;
}

// Mina's eyes closed: two lids curved down where her open eyes are.
WgxPicture ClosedEyes(const Look& look) {
  constexpr double cx = kCharacterWidth / 2.0;
  return FacePatch(94, 104, 166, 132, look.eyes, [&](double x, double y) {
    double d = 1.0;
    for (double side : {-1.0, 1.0}) {
      const double ex = cx + side * 22;
      d = std::min(d, y < 116 ? 1.0 : std::abs(Circle(x, y, ex, 108, 11)) - 1.5);
    }
    return d;
  });
}

// Her mouth open, as she speaks.
WgxPicture OpenMouth() {
  constexpr double cx = kCharacterWidth / 2.0;
  return FacePatch(114, 132, 146, 160, 0x8A2A2A,
                   [&](double x, double y) { return Ellipse(x, y, cx, 147, 8, 5); });
}

// A 24-bit bitmap from a picture's colour words.
std::vector<uint8_t> Bitmap(const WgxPicture& p) {
  bw::tools::BmpFields bmp;
  bmp.width = int32_t(p.width);
  bmp.height = -int32_t(p.height);
  for (uint32_t y = 0; y < p.height; ++y) {
    for (uint32_t x = 0; x < p.width; ++x) {
      const uint32_t c = p.pixels[size_t(y) * p.width + x];
      bmp.data.insert(bmp.data.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
    }
    bmp.data.resize((bmp.data.size() + 3) & ~size_t{3});
  }
  return bw::tools::BuildBmp(bmp);
}

// The title: the hill at dusk, a framed band where the name stands, drawn in blocks.
WgxPicture Title() {
  WgxPicture p = Hill();
  for (uint32_t& px : p.pixels) px = 0xFF000000u | Mix(px & 0xFFFFFF, 0x402050, 0.45);
  Paint(p, 0x201830, [](double x, double y) { return Box(x, y, 150, 90, 650, 240); });
  Paint(p, 0xE0C080,
        [](double x, double y) { return std::abs(Box(x, y, 156, 96, 644, 234)) - 1.5; });
  return p;
}

bool Put(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  return bw::tools::WriteFileBytes("story_files", path, bytes);
}

int Pictures(const fs::path& dir) {
  bw::tools::WgxWriteOptions withOffsets;
  withOffsets.form = 1;
  const Look mina{0x7A4A2A, 0xE890A8, 0xFFFFFF, 0x503020, true, false};
  const Look sora{0x283040, 0x4878C0, 0xE0E0F0, 0x203050, false, false};
  Look minaSmile = mina, soraSmile = sora;
  minaSmile.smiling = soraSmile.smiling = true;
  struct Out {
    const char* name;
    WgxPicture picture;
    bool offsets;
  };
  const Out outs[] = {
      {"BG/BG01.WGX", Hill(), false},
      {"BG/BG02.WGX", Town(), false},
      {"BG/BG03.WGX", Sea(), false},
      {"BG/BG04.WGX", Forest(), false},
      {"CHR/MINA1.WGX", Character(mina), true},
      {"CHR/MINA2.WGX", Character(minaSmile), true},
      {"CHR/SORA1.WGX", Character(sora), true},
      {"CHR/SORA2.WGX", Character(soraSmile), true},
      {"CG/T_MINA.WGX", Character(minaSmile), false},
      {"CG/T_SORA.WGX", Character(soraSmile), false},
      {"SYS/CA_EYE.WGX", ClosedEyes(mina), true},
      {"SYS/CA_MOUTH.WGX", OpenMouth(), true},
  };
  for (const Out& o : outs) {
    if (!Put(dir / o.name, bw::tools::WriteWgx(
                               o.picture, o.offsets ? withOffsets : bw::tools::WgxWriteOptions{})))
      return kExitFailed;
  }
  return Put(dir / "CG/TITLE.BMP", Bitmap(Title())) ? kExitOk : kExitFailed;
}

// ---- Sounds ----

constexpr uint32_t kRate = 22050;

// Notes (Hz, ms; 0 Hz rests) with a short rise and fall each, so they do not click.
std::vector<int16_t> Notes(const std::vector<std::pair<double, uint32_t>>& notes,
                           int16_t amplitude) {
  std::vector<int16_t> out;
  for (auto [freq, ms] : notes) {
    const uint32_t count = kRate * ms / 1000, edge = std::min<uint32_t>(count / 4, kRate / 100);
    for (uint32_t i = 0; i < count; ++i) {
      double env = 1.0;
      if (i < edge) env = double(i) / edge;
      if (count - i < edge) env = double(count - i) / edge;
      const double s = freq > 0 ? std::sin(2 * kPi * freq * i / kRate) : 0.0;
      const auto v = int16_t(std::lround(s * env * amplitude));
      out.push_back(v);
      out.push_back(v);
    }
  }
  return out;
}

bool PutOgg(const fs::path& path, const std::vector<int16_t>& samples) {
  std::vector<uint8_t> ogg;
  if (bw::tools::EncodeOggVorbis(samples, 2, kRate, &ogg) != bw::tools::kOggOk) {
    std::fprintf(stderr, "story_files: cannot encode %s\n", path.string().c_str());
    return false;
  }
  return Put(path, ogg);
}

// Semitones above a base on a pentatonic scale.
double Pitch(double base, int step) {
  static constexpr int kScale[] = {0, 2, 4, 7, 9};
  const int octave = step / 5, degree = step % 5;
  return base * std::pow(2.0, (12 * octave + kScale[degree]) / 12.0);
}

// A line's voice: five to eight syllables of 70-110 ms on the speaker's scale.
std::vector<int16_t> Voice(double base, uint32_t line) {
  std::vector<std::pair<double, uint32_t>> notes;
  const uint32_t count = 5 + Hash(line) % 4;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t h = Hash(line * 31 + i);
    notes.push_back({Pitch(base, int(h % 7)), 70 + (h >> 8) % 41});
    notes.push_back({0, 20});
  }
  return Notes(notes, 12000);
}

std::vector<int16_t> Tune(double base, const std::vector<int>& steps, uint32_t ms) {
  std::vector<std::pair<double, uint32_t>> notes;
  for (int s : steps) notes.push_back({s < 0 ? 0.0 : Pitch(base, s), ms});
  return Notes(notes, 9000);
}

// Two seconds of surf for a loop: noise swelling and falling once, the same at both ends.
std::vector<int16_t> Waves() {
  std::vector<int16_t> out;
  const uint32_t count = kRate * 2;
  double low = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const double noise = double(int32_t(Hash(i + 90000) & 0xFFFF) - 0x8000) / 0x8000;
    low += (noise - low) * 0.08;  // a soft low-pass: a roar, not a hiss
    const double swell = 0.35 + 0.65 * std::sin(kPi * i / count);
    const auto v = int16_t(std::lround(low * swell * 26000));
    out.push_back(v);
    out.push_back(v);
  }
  return out;
}

int Sounds(const fs::path& dir) {
  for (uint32_t line = 1; line <= 8; ++line) {
    char name[32];
    std::snprintf(name, sizeof name, "VOICE/D1%02u.V_", line);
    if (!PutOgg(dir / name, Voice(440, line))) return kExitFailed;
    std::snprintf(name, sizeof name, "VOICE/D2%02u.V_", line);
    if (!PutOgg(dir / name, Voice(220, line + 100))) return kExitFailed;
  }
  const bool ok =
      PutOgg(dir / "BGM/TITLE_I.OGG", Tune(262, {0, 2, 4, 5, 7, 9, 10, 12}, 200)) &&
      PutOgg(dir / "BGM/TITLE_L.OGG", Tune(262, {5, 7, 6, 4, 5, 3, 2, 0, 2, 4, 3, 1}, 300)) &&
      PutOgg(dir / "BGM/BGM11.OGG", Tune(196, {0, 4, 7, 4, 2, 5, 7, 5, 0, 3, 5, 3}, 350)) &&
      PutOgg(dir / "BGM/BGM12.OGG", Tune(175, {7, 5, 4, 2, 4, 5, 4, 2, 0, 2, 0, -1}, 400)) &&
      PutOgg(dir / "BGM/BGM13.OGG", Tune(147, {0, -1, 3, -1, 5, -1, 3, -1}, 500)) &&
      PutOgg(dir / "SE/HOVER.OGG", Notes({{1320, 50}}, 8000)) &&
      PutOgg(dir / "SE/CLICK.OGG", Notes({{880, 60}, {1320, 80}}, 10000)) &&
      PutOgg(dir / "SE/BELL.OGG", Notes({{1568, 250}, {1175, 400}}, 9000)) &&
      PutOgg(dir / "SE/WAVES.OGG", Waves());
  return ok ? kExitOk : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return kExitOk;
  if (argc != 3) return bw::tools::PrintUsage(kUsage);
  const std::string_view command = argv[1];
  if (command == "pictures") return Pictures(argv[2]);
  if (command == "sounds") return Sounds(argv[2]);
  return bw::tools::PrintUsage(kUsage);
}
