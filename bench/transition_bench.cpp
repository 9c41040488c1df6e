// The named transitions and the numbered transitions' strip frames at 1280x720, against pixman
// doing the same work on the same pictures in the same run:
//   cross    pixman SRC of the old picture, then OVER of the new (x8r8g8b8) through a solid mask
//            at the level;
//   rule     the same through an a8 mask (the rule picture read as the mask);
//   tone     SRC of the old picture, then OVER of a solid colour through a solid mask;
//   wave     per row: SRC of the old row and OVER of the new row through a solid mask, both
//            shifted, and a fill of the gap;
//   rotaxis  pixman SRC of the picture through the same projective mapping, NEAREST (pixels the
//            turned picture leaves uncovered come out cleared on both sides);
//   mosaic   against a plain frame copy (pixman SRC), which it should reach half of;
//   strips   a cascade frame's pieces, pixman SRC one call per piece (the engine's sink copies
//            pieces that touch end to end as one); the row strips also against memcpy of each
//            piece's rows, which are one run of memory: the copy's bound, as the frame touches
//            more bytes than the L2 holds.
//   mode N   each numbered mode's frame at p = 128 (generator seeded alike), pixman SRC of the
//            same piece list one call per piece (the stretching modes 2, 3 and 79 to 82 are
//            left out: their pieces are scaled); "modes" is the sweep's total time;
//   mode N over  the same with draw kind 1 (each piece alpha-blended over the target), pixman
//            OVER of the same piece list one call per piece; "modes over" the sweep's total;
//   mode 53  against pixman OVER of the picture through a solid mask;
//   68 to 70 against a plain frame copy (pixman SRC), which they should reach a quarter of;
//   13, 22, 72, 76, 78, 85, 86 also against memcpy of each piece's rows (cut to the pictures):
//            their frames are a few large copies or whole rows, so the copy's speed bounds both
//            sides.
// Prints "ratio <name>: <ours / peer throughput>".
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "bench_ratio.h"
#include "common/global.h"
#include "effects/transitions/named_transitions.h"
#include "effects/transitions/transition_dispatch.h"
#include "effects/transitions/transition_frame.h"
#include "effects/transitions/transition_random.h"
#include "effects/transitions/transition_strips.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "pixel_data.h"
#include "platform/trig_tables.h"

namespace {

constexpr int kW = 1280;
constexpr int kH = 720;
constexpr int kLevel = 100;

std::unique_ptr<bw::ImageSurface> Picture(uint32_t seed, int bits = 32) {
  auto s = std::make_unique<bw::ImageSurface>();
  s->Create(kW, kH, bits, 0);
  const std::vector<uint32_t> pixels = bw::bench::RandomPixels(kW, kH, seed);
  for (int y = 0; y < kH; ++y) {
    if (bits == 32) {
      std::memcpy(s->GetRowPointer(y), pixels.data() + size_t(y) * kW, size_t(kW) * 4);
    } else {
      for (int x = 0; x < kW; ++x) s->GetRowPointer(y)[x] = uint8_t(pixels[size_t(y) * kW + x]);
    }
  }
  return s;
}

struct Scene {
  std::unique_ptr<bw::ImageSurface> oldImage = Picture(1), newImage = Picture(2),
                                    target = Picture(3), rule = Picture(4, 8);
  bw::TrigTables trig;
  bw::TransitionDrawArea Area() const {
    return {0, 0, kW, kH, target.get(), 0, 0, oldImage.get(), 0, 0, newImage.get(), 0, 0};
  }
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

pixman_image_t* Wrap(const bw::ImageSurface& s, pixman_format_code_t format = PIXMAN_a8r8g8b8) {
  return pixman_image_create_bits(format, s.GetWidth(), s.GetHeight(),
                                  reinterpret_cast<uint32_t*>(s.GetPixels()), s.GetPitch());
}

template <typename Body>
void Loop(benchmark::State& state, Body body) {
  for (auto _ : state) {
    body();
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, int64_t{kW} * kH);
}

template <typename Draw>
void Ours(benchmark::State& state, Draw draw) {
  Scene& s = TheScene();
  bw::ScopedGlobal<bw::TrigTables> trig(&s.trig);
  bw::ScopedPixelLibrary library(&bw::BuiltInPixelLibrary());
  Loop(state, [&] {
    if (draw(s) != 0) state.SkipWithError("the transition failed");
  });
}

// SRC of the old picture, then OVER of source through mask.
void PeerOverOld(benchmark::State& state, pixman_image_t* source, pixman_image_t* mask) {
  Scene& s = TheScene();
  pixman_image_t* old = Wrap(*s.oldImage);
  pixman_image_t* dst = Wrap(*s.target);
  Loop(state, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, old, nullptr, dst, 0, 0, 0, 0, 0, 0, kW, kH);
    pixman_image_composite32(PIXMAN_OP_OVER, source, mask, dst, 0, 0, 0, 0, 0, 0, kW, kH);
  });
  pixman_image_unref(old);
  pixman_image_unref(dst);
}

pixman_image_t* SolidMask(int level) {
  pixman_color_t color{0, 0, 0, uint16_t(level * 257)};
  return pixman_image_create_solid_fill(&color);
}

void PeerCross(benchmark::State& state) {
  pixman_image_t* source = Wrap(*TheScene().newImage, PIXMAN_x8r8g8b8);
  pixman_image_t* mask = SolidMask(kLevel);
  PeerOverOld(state, source, mask);
  pixman_image_unref(mask);
  pixman_image_unref(source);
}

void PeerRule(benchmark::State& state) {
  const bw::ImageSurface& rule = *TheScene().rule;
  pixman_image_t* source = Wrap(*TheScene().newImage, PIXMAN_x8r8g8b8);
  pixman_image_t* mask = pixman_image_create_bits(
      PIXMAN_a8, kW, kH, reinterpret_cast<uint32_t*>(rule.GetPixels()), rule.GetPitch());
  PeerOverOld(state, source, mask);
  pixman_image_unref(mask);
  pixman_image_unref(source);
}

void PeerTone(benchmark::State& state) {
  pixman_color_t tone{0x3333, 0x6666, 0x9999, 0xFFFF};
  pixman_image_t* source = pixman_image_create_solid_fill(&tone);
  pixman_image_t* mask = SolidMask(kLevel);
  PeerOverOld(state, source, mask);
  pixman_image_unref(mask);
  pixman_image_unref(source);
}

constexpr bw::WaveFrame kWave{kLevel, 24, 3 << 9, 0, 0xFF102030u};

void PeerWave(benchmark::State& state) {
  Scene& s = TheScene();
  pixman_image_t* old = Wrap(*s.oldImage);
  pixman_image_t* fresh = Wrap(*s.newImage, PIXMAN_x8r8g8b8);
  pixman_image_t* dst = Wrap(*s.target);
  pixman_image_t* mask = SolidMask(kLevel);
  std::vector<int> shifts(kH);
  for (int y = 0; y < kH; ++y) {
    const int64_t sine = s.trig.Cosine(int(((int64_t{y} * kWave.step >> 9) - 128) & 511));
    shifts[size_t(y)] = int((kWave.amplitude * sine) >> 16);
  }
  Loop(state, [&] {
    for (int y = 0; y < kH; ++y) {
      const int shift = shifts[size_t(y)], count = kW - std::abs(shift);
      const int from = shift < 0 ? -shift : 0, to = shift > 0 ? shift : 0;
      pixman_image_composite32(PIXMAN_OP_SRC, old, nullptr, dst, from, y, 0, 0, to, y, count, 1);
      pixman_image_composite32(PIXMAN_OP_OVER, fresh, mask, dst, from, y, 0, 0, to, y, count, 1);
      const int gap = shift > 0 ? 0 : count;
      pixman_fill(reinterpret_cast<uint32_t*>(s.target->GetPixels()), s.target->GetPitch() / 4, 32,
                  gap, y, kW - count, 1, kWave.gapColor);
    }
  });
  pixman_image_unref(mask);
  pixman_image_unref(dst);
  pixman_image_unref(fresh);
  pixman_image_unref(old);
}

// The corners the rotaxis draw maps the picture to, at p 40 about axis 0.
constexpr int kTurn = 40;
void TurnedCorners(const bw::TrigTables& trig, double out[4][2]) {
  const double c = trig.Cosine(kTurn) / 65536.0, s = trig.Cosine(kTurn - 128) / 65536.0;
  static constexpr double kCorners[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
  for (int i = 0; i < 4; ++i) {
    const double x = kCorners[i][0] * c, y = kCorners[i][1], z = -kCorners[i][0] * s;
    out[i][0] = std::trunc((2 * x / (z + 2) + 1) * kW / 2);
    out[i][1] = std::trunc((1 - 2 * y / (z + 2)) * kH / 2);
  }
}

// The projective map from the target's corners to the picture's: solves the eight unknowns.
pixman_transform_t Homography(const double to[4][2]) {
  const double from[4][2] = {{0, 0}, {kW - 1, 0}, {0, kH - 1}, {kW - 1, kH - 1}};
  double m[8][9] = {};
  for (int i = 0; i < 4; ++i) {
    const double x = to[i][0], y = to[i][1], u = from[i][0], v = from[i][1];
    const double a[9] = {x, y, 1, 0, 0, 0, -u * x, -u * y, u};
    const double b[9] = {0, 0, 0, x, y, 1, -v * x, -v * y, v};
    std::memcpy(m[2 * i], a, sizeof a);
    std::memcpy(m[2 * i + 1], b, sizeof b);
  }
  for (int col = 0; col < 8; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 8; ++r) {
      if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) pivot = r;
    }
    for (int k = 0; k < 9; ++k) std::swap(m[col][k], m[pivot][k]);
    for (int r = 0; r < 8; ++r) {
      if (r == col) continue;
      const double f = m[r][col] / m[col][col];
      for (int k = col; k < 9; ++k) m[r][k] -= f * m[col][k];
    }
  }
  double h[9];
  for (int i = 0; i < 8; ++i) h[i] = m[i][8] / m[i][i];
  h[8] = 1;
  pixman_f_transform_t f;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) f.m[r][c] = h[r * 3 + c];
  }
  pixman_transform_t t;
  pixman_transform_from_pixman_f_transform(&t, &f);
  return t;
}

void PeerRotaxis(benchmark::State& state) {
  Scene& s = TheScene();
  double corners[4][2];
  TurnedCorners(s.trig, corners);
  pixman_transform_t t = Homography(corners);
  pixman_image_t* src = Wrap(*s.oldImage);
  pixman_image_t* dst = Wrap(*s.target);
  pixman_image_set_transform(src, &t);
  pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  Loop(state, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kW, kH);
  });
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

void PeerFrameCopy(benchmark::State& state) {
  Scene& s = TheScene();
  pixman_image_t* src = Wrap(*s.oldImage);
  pixman_image_t* dst = Wrap(*s.target);
  Loop(state, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kW, kH);
  });
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

// Keeps the pieces of a strip frame for the peer.
class PieceList : public bw::PieceSink {
 public:
  int DrawWhole(bw::TransitionFrame&) override { return 0; }
  void DrawPiece(bw::TransitionFrame&, const bw::TransitionPiece& p) override {
    pieces.push_back(p);
  }
  std::vector<bw::TransitionPiece> pieces;
};

struct Strips {
  const char* name;
  bool rows;
  int32_t size;
};
constexpr Strips kStrips[] = {{"columns16", false, 16}, {"columns8", false, 8}, {"rows8", true, 8}};
constexpr int32_t kStripProgress = 128;

int DrawStrips(const Strips& k) {
  Scene& s = TheScene();
  return k.rows ? bw::TransitionCascadeRows(s.target.get(), s.newImage.get(), kStripProgress, 0, 0,
                                            true, 0, k.size, nullptr)
                : bw::TransitionCascadeColumns(s.target.get(), s.newImage.get(), kStripProgress, 0,
                                               0, true, 0, k.size, nullptr);
}

void OursStrips(benchmark::State& state, const Strips& k) {
  Loop(state, [&] { DrawStrips(k); });
}

void PeerStrips(benchmark::State& state, const Strips& k) {
  PieceList list;
  {
    bw::ScopedGlobal<bw::PieceSink> record(&list);
    DrawStrips(k);
  }
  Scene& s = TheScene();
  pixman_image_t* src = Wrap(*s.newImage);
  pixman_image_t* dst = Wrap(*s.target);
  Loop(state, [&] {
    for (const bw::TransitionPiece& p : list.pieces) {
      pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, p.source.left, p.source.top, 0, 0,
                               p.x, p.y, p.source.Width(), p.source.Height());
    }
  });
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

constexpr int32_t kModeProgress = 128;
constexpr int kModeSeed = 1234;

bool IsPieceListMode(int mode) {
  return mode != 2 && mode != 3 && mode != 53 && !(mode >= 68 && mode <= 70) &&
         !(mode >= 79 && mode <= 82);
}

int DrawMode(int mode, int kind) {
  Scene& s = TheScene();
  bw::ReseedTransitionRandom(kModeSeed);
  return bw::TransitionTable()[size_t(mode)](s.target.get(), s.newImage.get(), kModeProgress, 0, 0,
                                             kind, nullptr);
}

void OursMode(benchmark::State& state, int mode, int kind) {
  Scene& s = TheScene();
  bw::ScopedGlobal<bw::TrigTables> trig(&s.trig);
  Loop(state, [&] { DrawMode(mode, kind); });
}

void PeerMode(benchmark::State& state, int mode, int kind) {
  Scene& s = TheScene();
  PieceList list;
  {
    bw::ScopedGlobal<bw::TrigTables> trig(&s.trig);
    bw::ScopedGlobal<bw::PieceSink> record(&list);
    DrawMode(mode, kind);
  }
  const pixman_op_t op = kind == bw::kDrawCopy ? PIXMAN_OP_SRC : PIXMAN_OP_OVER;
  pixman_image_t* src = Wrap(*s.newImage);
  pixman_image_t* dst = Wrap(*s.target);
  Loop(state, [&] {
    bw::ReseedTransitionRandom(kModeSeed);
    for (const bw::TransitionPiece& p : list.pieces) {
      pixman_image_composite32(op, src, nullptr, dst, p.source.left, p.source.top, 0, 0, p.x, p.y,
                               p.source.Width(), p.source.Height());
    }
  });
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

// Ours against the peer for every piece-list mode of one draw kind: a line per mode and the
// sweep's total time.
void PrintModeRatios(const bw::bench::RatioReporter& reporter, const std::string& group,
                     const std::string& suffix) {
  double oursTotal = 0, peerTotal = 0;
  for (int mode = 0; mode < bw::kTransitionModes; ++mode) {
    if (!IsPieceListMode(mode)) continue;
    const std::string n = std::to_string(mode);
    reporter.PrintRatio("mode " + n + suffix, "ours/" + group + n, "peer/" + group + n);
    const bw::bench::RunResult* ours = reporter.Find("ours/" + group + n);
    const bw::bench::RunResult* peer = reporter.Find("peer/" + group + n);
    if (ours && peer) oursTotal += ours->seconds, peerTotal += peer->seconds;
  }
  if (oursTotal > 0) std::printf("ratio modes%s: %.2f\n", suffix.c_str(), peerTotal / oursTotal);
}

void PeerCrossFadeOver(benchmark::State& state) {
  Scene& s = TheScene();
  pixman_image_t* source = Wrap(*s.newImage, PIXMAN_x8r8g8b8);
  pixman_image_t* dst = Wrap(*s.target);
  pixman_image_t* mask = SolidMask(kModeProgress - 1);
  Loop(state, [&] {
    pixman_image_composite32(PIXMAN_OP_OVER, source, mask, dst, 0, 0, 0, 0, 0, 0, kW, kH);
  });
  pixman_image_unref(mask);
  pixman_image_unref(dst);
  pixman_image_unref(source);
}

// Whole-width row pieces lie in one run of memory each.
void MemcpyStrips(benchmark::State& state, const Strips& k) {
  PieceList list;
  {
    bw::ScopedGlobal<bw::PieceSink> record(&list);
    DrawStrips(k);
  }
  Scene& s = TheScene();
  const ptrdiff_t pitch = s.target->GetPitch();
  Loop(state, [&] {
    for (const bw::TransitionPiece& p : list.pieces) {
      std::memcpy(s.target->GetRowPointer(p.y), s.newImage->GetRowPointer(p.source.top),
                  size_t(pitch) * size_t(p.source.Height()));
    }
  });
}

// Each piece's rows copied with memcpy, one call per row.
void MemcpyMode(benchmark::State& state, int mode) {
  Scene& s = TheScene();
  PieceList list;
  {
    bw::ScopedGlobal<bw::TrigTables> trig(&s.trig);
    bw::ScopedGlobal<bw::PieceSink> record(&list);
    DrawMode(mode, bw::kDrawCopy);
  }
  // The pieces cut to both pictures, as the blit cuts them.
  for (bw::TransitionPiece& p : list.pieces) {
    const int32_t cutLeft = std::max({0, -p.source.left, -p.x});
    const int32_t cutTop = std::max({0, -p.source.top, -p.y});
    p.source.left += cutLeft, p.x += cutLeft, p.source.top += cutTop, p.y += cutTop;
    p.source.right = std::min({p.source.right, kW, p.source.left + (kW - p.x)});
    p.source.bottom = std::min({p.source.bottom, kH, p.source.top + (kH - p.y)});
  }
  Loop(state, [&] {
    for (const bw::TransitionPiece& p : list.pieces) {
      if (p.source.IsEmpty()) continue;
      const size_t bytes = size_t(p.source.Width()) * 4;
      for (int32_t j = 0; j < p.source.Height(); ++j) {
        std::memcpy(s.target->GetRowPointer(p.y + j) + size_t(p.x) * 4,
                    s.newImage->GetRowPointer(p.source.top + j) + size_t(p.source.left) * 4, bytes);
      }
    }
  });
}

// Modes whose frames are a few large copies or whole rows.
constexpr int kCopyModes[] = {13, 22, 72, 76, 78, 85, 86};

void Register(const std::string& name, void (*run)(benchmark::State&)) {
  benchmark::RegisterBenchmark(name.c_str(), run)->Unit(benchmark::kMicrosecond);
}

template <typename Draw>
void RegisterOurs(const std::string& name, Draw draw) {
  benchmark::RegisterBenchmark(name.c_str(), [draw](benchmark::State& s) {
    Ours(s, draw);
  })->Unit(benchmark::kMicrosecond);
}

}  // namespace

int main(int argc, char** argv) {
  bw::BuildBlendTables();
  RegisterOurs("ours/cross", [](Scene& s) { return bw::DrawCrossTransition(s.Area(), kLevel); });
  Register("peer/cross", PeerCross);
  RegisterOurs("ours/rule",
               [](Scene& s) { return bw::DrawRuleTransition(s.Area(), s.rule.get(), kLevel, 64); });
  Register("peer/rule", PeerRule);
  RegisterOurs("ours/tone",
               [](Scene& s) { return bw::DrawToneTransition(s.Area(), 0x336699, kLevel); });
  Register("peer/tone", PeerTone);
  RegisterOurs("ours/wave", [](Scene& s) { return bw::DrawWaveTransition(s.Area(), kWave); });
  Register("peer/wave", PeerWave);
  RegisterOurs("ours/rotaxis",
               [](Scene& s) { return bw::DrawRotaxisTransition(s.Area(), kTurn, 0); });
  Register("peer/rotaxis", PeerRotaxis);
  RegisterOurs("ours/mosaic",
               [](Scene& s) { return bw::DrawMosaicTransition(s.Area(), 8, 32, 0, false); });
  Register("peer/frame_copy", PeerFrameCopy);
  for (const Strips& k : kStrips) {
    benchmark::RegisterBenchmark((std::string("ours/strips/") + k.name).c_str(),
                                 [&k](benchmark::State& s) { OursStrips(s, k); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((std::string("peer/strips/") + k.name).c_str(),
                                 [&k](benchmark::State& s) { PeerStrips(s, k); })
        ->Unit(benchmark::kMicrosecond);
  }
  for (int kind : {bw::kDrawCopy, bw::kDrawAlpha}) {
    const std::string group = kind == bw::kDrawCopy ? "/mode/" : "/over/";
    for (int mode = 0; mode < bw::kTransitionModes; ++mode) {
      const std::string n = std::to_string(mode);
      if (kind == bw::kDrawCopy || IsPieceListMode(mode)) {
        benchmark::RegisterBenchmark(("ours" + group + n).c_str(), [mode,
                                                                    kind](benchmark::State& s) {
          OursMode(s, mode, kind);
        })->Unit(benchmark::kMicrosecond);
      }
      if (!IsPieceListMode(mode)) continue;
      benchmark::RegisterBenchmark(("peer" + group + n).c_str(), [mode, kind](benchmark::State& s) {
        PeerMode(s, mode, kind);
      })->Unit(benchmark::kMicrosecond);
    }
  }
  Register("peer/mode/53", PeerCrossFadeOver);
  benchmark::RegisterBenchmark("memcpy/strips/rows8", [](benchmark::State& s) {
    MemcpyStrips(s, kStrips[2]);
  })->Unit(benchmark::kMicrosecond);
  for (int mode : kCopyModes) {
    benchmark::RegisterBenchmark(("memcpy/mode/" + std::to_string(mode)).c_str(),
                                 [mode](benchmark::State& s) { MemcpyMode(s, mode); })
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* name : {"cross", "rule", "tone", "wave", "rotaxis"}) {
    reporter.PrintRatio(name, std::string("ours/") + name, std::string("peer/") + name);
  }
  reporter.PrintRatio("mosaic-vs-frame-copy", "ours/mosaic", "peer/frame_copy");
  for (const Strips& k : kStrips) {
    reporter.PrintRatio(std::string("strips ") + k.name, std::string("ours/strips/") + k.name,
                        std::string("peer/strips/") + k.name);
  }
  PrintModeRatios(reporter, "mode/", "");
  reporter.PrintRatio("mode 53", "ours/mode/53", "peer/mode/53");
  for (int mode = 68; mode <= 70; ++mode) {
    const std::string n = std::to_string(mode);
    reporter.PrintRatio("mode " + n + "-vs-frame-copy", "ours/mode/" + n, "peer/frame_copy");
  }
  PrintModeRatios(reporter, "over/", " over");
  reporter.PrintRatio("strips rows8 against memcpy", "ours/strips/rows8", "memcpy/strips/rows8");
  for (int mode : kCopyModes) {
    const std::string n = std::to_string(mode);
    reporter.PrintRatio("mode " + n + " against memcpy", "ours/mode/" + n, "memcpy/mode/" + n);
    reporter.PrintRatio("mode " + n + " pixman against memcpy", "peer/mode/" + n,
                        "memcpy/mode/" + n);
  }
  benchmark::Shutdown();
  return 0;
}
