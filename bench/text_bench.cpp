// The kernels of text rendering:
//   edge mask   the soft edge (radius 2, strength 1024, the renderer's defaults) around 32 x 32
//               glyphs of strokes with soft borders: the vector set as the processor chooses and
//               with the 128-bit forms only beside the plain set ("self" lines), checked before
//               timing to give the same masks;
//   glyph cache a 40-character Japanese line drawn by the outline renderer with a warm cache,
//               beside the same renderer with capacity 0, whose every glyph FreeType renders (a
//               "self" line), checked to draw the same line;
//   cache hits  the line's 40 glyphs looked up in our warm cache, against FreeType's own cache
//               of small bitmaps (FTC_SBitCache) handing out the same 40 glyphs; both lend the
//               glyph without a hold on it (ours as the renderer's drawing does): every glyph is
//               rendered into it before the timing, so both loops time lookups only; checked to
//               load the same face file as ours, and each side's glyphs checked against the same
//               glyphs rendered afresh (ours by a renderer without a cache, FreeType's on a face
//               of its own);
//   mask blend  the line's glyph masks (as the renderer makes them: mostly 0 and 255, soft at
//               the edges) at 16, 24 and 48 pixels blended in one colour into a 32-bit picture,
//               one call per glyph, against pixman compositing a solid opaque colour OVER the
//               x8r8g8b8 picture through each a8 mask, one composite per glyph, same boxes;
//               ours also with the 128-bit forms only, printed as its own line; the pictures
//               checked to agree within 2 per channel (pixman rounds by 255ths, ours floors by
//               256ths; see pixel_ops_bench).
// Prints "ratio <name>: <ours / peer throughput>" per pair and "self <name>: <x / y>" for ours
// beside ours.
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_CACHE_H
#include <pixman.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_check.h"
#include "bench_ratio.h"
#include "common/global.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/text_kernels.h"
#include "graphics/surface/dib_surface.h"
#include "graphics/text/outline_text_renderer.h"
#include "host/cp932.h"
#include "host/font/font_library.h"
#include "platform/mmx_flag.h"
#include "platform/trig_tables.h"

namespace {

constexpr int kGlyphSize = 32;
constexpr int kGlyphs = 16;
constexpr int kRadius = 2;
constexpr int32_t kStrength = 1024;

// Glyph-like coverage: a few horizontal and vertical strokes, full inside, soft at their sides.
std::vector<uint8_t> MakeGlyphs() {
  std::mt19937 rng(23);
  std::vector<uint8_t> glyphs(size_t(kGlyphs) * kGlyphSize * kGlyphSize, 0);
  for (int g = 0; g < kGlyphs; ++g) {
    uint8_t* glyph = glyphs.data() + size_t(g) * kGlyphSize * kGlyphSize;
    for (int stroke = 0; stroke < 5; ++stroke) {
      const bool across = rng() % 2;
      const int at = 2 + int(rng() % (kGlyphSize - 6)), from = int(rng() % 8);
      const int to = kGlyphSize - 1 - int(rng() % 8);
      for (int i = from; i <= to; ++i) {
        for (int t = -2; t <= 2; ++t) {
          const uint8_t v = t == -2 || t == 2 ? 96 : 255;
          uint8_t& p = across ? glyph[(at + t) * kGlyphSize + i] : glyph[i * kGlyphSize + at + t];
          p = std::max(p, v);
        }
      }
    }
  }
  return glyphs;
}

template <typename Kernel>
void EdgeMask(benchmark::State& state, const char* side, Kernel kernel, bool wideVectors) {
  bw::ScopedWideVectors wide(wideVectors);
  static const std::vector<uint8_t> glyphs = MakeGlyphs();
  constexpr int kOut = kGlyphSize + 2 * kRadius;
  std::vector<uint8_t> out(size_t(kOut) * kOut);
  std::vector<uint32_t> all;  // every glyph's mask, a byte a word
  for (int g = 0; g < kGlyphs; ++g) {
    kernel(out.data(), kOut, glyphs.data() + size_t(g) * kGlyphSize * kGlyphSize, kGlyphSize,
           kGlyphSize, kGlyphSize, kRadius, kStrength);
    all.insert(all.end(), out.begin(), out.end());
  }
  if (!bw::bench::AgreesWithPair(state, "edge_mask", side, all, int(all.size()), 1)) return;
  for (auto _ : state) {
    for (int g = 0; g < kGlyphs; ++g) {
      kernel(out.data(), kOut, glyphs.data() + size_t(g) * kGlyphSize * kGlyphSize, kGlyphSize,
             kGlyphSize, kGlyphSize, kRadius, kStrength);
      benchmark::DoNotOptimize(out.data());
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kGlyphs} * kGlyphSize * kGlyphSize);
}

// Forty characters of a message line.
const char* const kLineUtf8 =
    "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめ";
constexpr int32_t kLineHeight = 24;
// The line heights of the mask blend: small print, a message line, a title.
constexpr int32_t kBlendHeights[] = {16, 24, 48};

std::string LineSjis() {
  return bw::host::Utf8ToCp932(kLineUtf8).text;
}

std::unique_ptr<bw::OutlineTextRenderer> MakeRenderer(uint32_t capacity,
                                                      int32_t height = kLineHeight) {
  auto r = std::make_unique<bw::OutlineTextRenderer>(bw::host::FreeTypeGlyphSource(), capacity);
  if (r->SetFont(height, false, false, bw::host::Utf8ToCp932("ＭＳ ゴシック").text.c_str())) {
    return nullptr;
  }
  return r;
}

void DrawLine(benchmark::State& state, uint32_t capacity) {
  auto renderer = MakeRenderer(capacity);
  if (!renderer) return state.SkipWithError("no Japanese face");
  const std::string line = LineSjis();
  bw::DibSurface picture;
  (void)picture.Create(40 * kLineHeight + 8, kLineHeight + 8, 32, false);
  (void)renderer->DrawText(&picture, 4, 4, line.c_str(), nullptr, nullptr);  // warms the cache
  std::vector<uint32_t> drawn(size_t(picture.GetWidth()) * picture.GetHeight());
  for (int y = 0; y < picture.GetHeight(); ++y) {
    std::memcpy(drawn.data() + size_t(y) * picture.GetWidth(), picture.GetRowPointer(y),
                size_t(picture.GetWidth()) * 4);
  }
  if (!bw::bench::AgreesWithPair(state, "line", capacity ? "cached" : "uncached", drawn,
                                 picture.GetWidth(), picture.GetHeight())) {
    return;
  }
  for (auto _ : state) {
    (void)renderer->DrawText(&picture, 4, 4, line.c_str(), nullptr, nullptr);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 40);
}

// The line's character codes as the renderer keys them.
std::vector<uint32_t> LineCodes() {
  const std::string line = LineSjis();
  std::vector<uint32_t> codes;
  for (size_t i = 0; i + 1 < line.size(); i += 2) {
    codes.push_back(uint32_t(uint8_t(line[i])) << 8 | uint8_t(line[i + 1]));
  }
  return codes;
}

// What two glyph masks differ in, or "" when they are alike.
std::string CompareGlyph(const bw::GlyphBitmap& ours, int32_t width, int32_t height,
                         const uint8_t* pixels, ptrdiff_t pitch) {
  if (ours.width != width || ours.height != height) {
    return "a glyph of " + std::to_string(ours.width) + "x" + std::to_string(ours.height) +
           " against " + std::to_string(width) + "x" + std::to_string(height);
  }
  for (int32_t y = 0; y < height; ++y) {
    if (std::memcmp(ours.Row(y), pixels + y * pitch, size_t(width)) != 0)
      return "glyph row " + std::to_string(y) + " differs";
  }
  return "";
}

// Each glyph the warm cache lends against the same glyph rendered afresh by a renderer without a
// cache.
std::string SameGlyphs(bw::OutlineTextRenderer& cached, const std::vector<uint32_t>& codes) {
  auto fresh = MakeRenderer(0);
  if (!fresh) return "no Japanese face";
  for (uint32_t c : codes) {
    const bw::GlyphBitmap* hit = cached.BorrowGlyph(c, kLineHeight, false, false, false, false);
    const bw::GlyphRef drawn = fresh->GetGlyph(c, kLineHeight, false, false, false, false);
    if (!hit || !drawn) return "no glyph for " + std::to_string(c);
    std::string problem =
        CompareGlyph(*hit, drawn->width, drawn->height, drawn->pixels.data(), drawn->pitch);
    if (problem.empty() && (hit->originX != drawn->originX || hit->originY != drawn->originY ||
                            hit->advanceX != drawn->advanceX))
      problem = "the glyph's placement differs";
    if (!problem.empty()) return "character " + std::to_string(c) + ": " + problem;
  }
  return "";
}

void OurCacheHits(benchmark::State& state) {
  auto renderer = MakeRenderer(512);
  if (!renderer) return state.SkipWithError("no Japanese face");
  const std::vector<uint32_t> codes = LineCodes();
  for (uint32_t c : codes) renderer->GetGlyph(c, kLineHeight, false, false, false, false);
  if (!bw::bench::SidesAgree(state, "cached glyphs", [&] { return SameGlyphs(*renderer, codes); }))
    return;
  for (auto _ : state) {
    for (uint32_t c : codes) {
      const bw::GlyphBitmap* g = renderer->BorrowGlyph(c, kLineHeight, false, false, false, false);
      benchmark::DoNotOptimize(g->pixels.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * int64_t(codes.size()));
}

// FreeType's cache of small bitmaps over the Japanese face, holding the line's glyphs. It is
// filled at start, before the engine's font library starts fontconfig: glyphs FreeType's cache
// loads after fontconfig has started in the process are rendered again at every lookup (seen
// with FreeType 2.12 and fontconfig 2.14), and the loop would time rendering, not the cache.
struct FreeTypeCache {
  FT_Library library = nullptr;
  FTC_Manager manager = nullptr;
  FTC_SBitCache sbits = nullptr;
  FTC_ImageTypeRec type{};
  std::string path;
  std::vector<FT_UInt> glyphs;
  std::string error;

  int index = 0;

  static FT_Error Request(FTC_FaceID id, FT_Library lib, FT_Pointer, FT_Face* face) {
    const auto* cache = static_cast<FreeTypeCache*>(id);
    return FT_New_Face(lib, cache->path.c_str(), cache->index, face);
  }
  // The face's file and number as fontconfig's own tool names them for the query the engine's
  // font library makes (the family, Japanese, scalable), without starting fontconfig here.
  void FindFace() {
    std::string found;
    if (FILE* pipe = popen("fc-match -f '%{index}:%{file}' 'IPAGothic:lang=ja:scalable=true' "
                           "2>/dev/null",
                           "r")) {
      char buffer[512];
      while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) found.append(buffer, n);
      pclose(pipe);
    }
    const size_t colon = found.find(':');
    if (colon == std::string::npos) return;
    index = std::atoi(found.substr(0, colon).c_str());
    path = found.substr(colon + 1);
  }
  void Fill() {
    FindFace();
    FT_Face face = nullptr;
    if (path.empty() || FT_Init_FreeType(&library) != 0 ||
        FTC_Manager_New(library, 0, 0, 0, Request, this, &manager) != 0 ||
        FTC_SBitCache_New(manager, &sbits) != 0 ||
        FTC_Manager_LookupFace(manager, this, &face) != 0) {
      error = "no Japanese face";
      return;
    }
    const std::string utf8 = kLineUtf8;
    for (size_t i = 0; i + 2 < utf8.size(); i += 3) {
      // Three-byte UTF-8 characters only in this line.
      const char32_t c = char32_t(uint8_t(utf8[i]) & 0x0F) << 12 |
                         char32_t(uint8_t(utf8[i + 1]) & 0x3F) << 6 | (uint8_t(utf8[i + 2]) & 0x3F);
      glyphs.push_back(FT_Get_Char_Index(face, c));
    }
    type.face_id = this;
    type.width = type.height = kLineHeight;
    type.flags = FT_LOAD_NO_BITMAP | FT_LOAD_RENDER;
    // A glyph the cache could not keep (width 255, no buffer) is rendered at each lookup.
    for (FT_UInt g : glyphs) {
      FTC_SBit sbit = nullptr;
      if (FTC_SBitCache_Lookup(sbits, &type, g, &sbit, nullptr) != 0 || !sbit ||
          (!sbit->buffer && sbit->width == 255)) {
        error = "glyph not kept by FreeType's cache";
        return;
      }
    }
  }
  ~FreeTypeCache() {
    if (manager) FTC_Manager_Done(manager);
    if (library) FT_Done_FreeType(library);
  }
};

FreeTypeCache& PeerCache() {
  static FreeTypeCache cache;
  return cache;
}

// Each glyph FreeType's cache hands out against the same glyph rendered afresh on a face of its
// own at the cache's size.
std::string SameCachedGlyphs(FreeTypeCache& cache) {
  FT_Face face = nullptr;
  if (FT_New_Face(cache.library, cache.path.c_str(), cache.index, &face) != 0)
    return "the face cannot be opened";
  std::string problem;
  if (FT_Set_Pixel_Sizes(face, FT_UInt(cache.type.width), FT_UInt(cache.type.height)) != 0)
    problem = "the face cannot be sized";
  for (size_t i = 0; problem.empty() && i < cache.glyphs.size(); ++i) {
    FTC_SBit sbit = nullptr;
    if (FTC_SBitCache_Lookup(cache.sbits, &cache.type, cache.glyphs[i], &sbit, nullptr) != 0 ||
        !sbit || FT_Load_Glyph(face, cache.glyphs[i], FT_Int32(cache.type.flags)) != 0) {
      problem = "glyph " + std::to_string(i) + " cannot be had";
      break;
    }
    const FT_Bitmap& drawn = face->glyph->bitmap;
    bool same = sbit->width == drawn.width && sbit->height == drawn.rows;
    for (unsigned y = 0; same && y < drawn.rows; ++y) {
      same = std::memcmp(sbit->buffer + ptrdiff_t(y) * sbit->pitch,
                         drawn.buffer + ptrdiff_t(y) * drawn.pitch, drawn.width) == 0;
    }
    if (!same) problem = "glyph " + std::to_string(i) + " differs from its rendering";
  }
  FT_Done_Face(face);
  return problem;
}

// The engine's font library is asked for the face only now: fontconfig starts with it. The face
// file must be ours, and the cache must hand out the glyphs it renders.
std::string SameFace() {
  FreeTypeCache& cache = PeerCache();
  const bw::host::FontLibrary::Face& ours = bw::host::FontLibrary::Instance().Open("IPAGothic");
  if (ours.path != cache.path || ours.index != cache.index)
    return "the peer's face " + cache.path + " is not ours, " + ours.path;
  return SameCachedGlyphs(cache);
}

void FreeTypeCacheHits(benchmark::State& state) {
  FreeTypeCache& cache = PeerCache();
  if (!cache.error.empty()) return state.SkipWithError(cache.error.c_str());
  if (!bw::bench::SidesAgree(state, "face", SameFace)) return;
  FTC_SBit sbit = nullptr;
  for (auto _ : state) {
    for (FT_UInt g : cache.glyphs) {
      FTC_SBitCache_Lookup(cache.sbits, &cache.type, g, &sbit, nullptr);
      benchmark::DoNotOptimize(sbit->buffer);
    }
  }
  state.SetItemsProcessed(state.iterations() * int64_t(cache.glyphs.size()));
}

// The line's glyph masks and where they go on the picture.
struct PlacedMask {
  bw::GlyphRef glyph;
  int32_t x, y;
};

std::vector<PlacedMask> LineMasks(int32_t height) {
  std::vector<PlacedMask> out;
  auto renderer = MakeRenderer(512, height);
  if (!renderer) return out;
  int32_t x = 4;
  for (uint32_t c : LineCodes()) {
    bw::GlyphRef g = renderer->GetGlyph(c, height, false, false, false, false);
    if (!g->IsBlank()) out.push_back({g, x + g->originX, 4 + g->originY});
    x += g->advanceX;
  }
  return out;
}

// A picture after one pass of blending, checked against the other sides'.
bool BlendAgrees(benchmark::State& state, int32_t height, const char* side,
                 const bw::DibSurface& picture) {
  std::vector<uint32_t> pixels(size_t(picture.GetWidth()) * picture.GetHeight());
  for (int y = 0; y < picture.GetHeight(); ++y) {
    std::memcpy(pixels.data() + size_t(y) * picture.GetWidth(), picture.GetRowPointer(y),
                size_t(picture.GetWidth()) * 4);
  }
  return bw::bench::AgreesWithPair(state, "mask_blend/" + std::to_string(height), side, pixels,
                                   picture.GetWidth(), picture.GetHeight(), 2, 0x00FFFFFF);
}

void OurMaskBlend(benchmark::State& state, int32_t height, bool wideVectors) {
  bw::ScopedWideVectors wide(wideVectors);
  const std::vector<PlacedMask> masks = LineMasks(height);
  if (masks.empty()) return state.SkipWithError("no Japanese face");
  bw::DibSurface picture;
  (void)picture.Create(40 * height + 8, height + 8, 32, false);
  bw::TextPixels target{picture.GetPixels(), picture.GetWidth(), picture.GetHeight(),
                        picture.GetPitch(), 32};
  const uint32_t color = 0x80C0FF;
  const bw::MaskColors colors{&color, bw::ColorRamp::kNone};
  int64_t pixels = 0;
  for (const PlacedMask& m : masks) pixels += int64_t(m.glyph->width) * m.glyph->height;
  auto pass = [&] {
    for (const PlacedMask& m : masks) {
      (void)bw::BlendTextMask(
          target, m.x, m.y,
          {m.glyph->pixels.data(), m.glyph->width, m.glyph->height, m.glyph->pitch},
          bw::MaskBlend::kBlended, colors, nullptr);
    }
  };
  pass();
  if (!BlendAgrees(state, height, wideVectors ? "ours" : "ours128", picture)) return;
  for (auto _ : state) {
    pass();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * pixels);
}

void PixmanMaskBlend(benchmark::State& state, int32_t height) {
  const std::vector<PlacedMask> masks = LineMasks(height);
  if (masks.empty()) return state.SkipWithError("no Japanese face");
  bw::DibSurface picture;
  (void)picture.Create(40 * height + 8, height + 8, 32, false);
  pixman_image_t* dst = pixman_image_create_bits(
      PIXMAN_x8r8g8b8, picture.GetWidth(), picture.GetHeight(),
      reinterpret_cast<uint32_t*>(picture.GetPixels()), picture.GetPitch());
  const pixman_color_t color{0x8080, 0xC0C0, 0xFFFF, 0xFFFF};
  pixman_image_t* solid = pixman_image_create_solid_fill(&color);
  std::vector<pixman_image_t*> images;
  int64_t pixels = 0;
  for (const PlacedMask& m : masks) {
    images.push_back(pixman_image_create_bits(
        PIXMAN_a8, m.glyph->width, m.glyph->height,
        reinterpret_cast<uint32_t*>(const_cast<uint8_t*>(m.glyph->pixels.data())), m.glyph->pitch));
    pixels += int64_t(m.glyph->width) * m.glyph->height;
  }
  auto pass = [&] {
    for (size_t i = 0; i < masks.size(); ++i) {
      pixman_image_composite32(PIXMAN_OP_OVER, solid, images[i], dst, 0, 0, 0, 0, masks[i].x,
                               masks[i].y, masks[i].glyph->width, masks[i].glyph->height);
    }
  };
  pass();
  if (BlendAgrees(state, height, "pixman", picture)) {
    for (auto _ : state) {
      pass();
      benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
  }
  for (pixman_image_t* image : images) pixman_image_unref(image);
  pixman_image_unref(solid);
  pixman_image_unref(dst);
}

}  // namespace

int main(int argc, char** argv) {
  PeerCache().Fill();
  bw::BuildBlendTables();
  bw::TrigTables trig;
  bw::ScopedGlobal<bw::TrigTables> trigScope(&trig);
  benchmark::RegisterBenchmark("ours/warm_cache_line",
                               [](benchmark::State& s) { DrawLine(s, 512); });
  benchmark::RegisterBenchmark("ours/uncached_line", [](benchmark::State& s) { DrawLine(s, 0); });
  benchmark::RegisterBenchmark("ours/cache_hits", OurCacheHits);
  benchmark::RegisterBenchmark("peer/freetype_sbit_cache_hits", FreeTypeCacheHits);
  for (int32_t h : kBlendHeights) {
    const std::string size = "/" + std::to_string(h);
    benchmark::RegisterBenchmark(("ours/mask_blend" + size).c_str(), [h](benchmark::State& s) {
      OurMaskBlend(s, h, bw::WideVectorsEnabled());
    });
    benchmark::RegisterBenchmark(("ours128/mask_blend" + size).c_str(),
                                 [h](benchmark::State& s) { OurMaskBlend(s, h, false); });
    benchmark::RegisterBenchmark(("peer/pixman_over_a8" + size).c_str(),
                                 [h](benchmark::State& s) { PixmanMaskBlend(s, h); });
  }
  benchmark::RegisterBenchmark("ours/edge_mask", [](benchmark::State& s) {
    EdgeMask(s, "ours", bw::BuildEdgeMaskMmx, bw::WideVectorsEnabled());
  });
  benchmark::RegisterBenchmark("ours128/edge_mask", [](benchmark::State& s) {
    EdgeMask(s, "ours128", bw::BuildEdgeMaskMmx, false);
  });
  benchmark::RegisterBenchmark("plain/edge_mask", [](benchmark::State& s) {
    EdgeMask(s, "plain", bw::BuildEdgeMask, false);
  });
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSelf("edge-mask-sse-vs-plain", "ours/edge_mask", "plain/edge_mask");
  reporter.PrintSelf("edge-mask-sse-vs-plain 128-bit", "ours128/edge_mask", "plain/edge_mask");
  reporter.PrintSelf("warm-cache-vs-capacity-0", "ours/warm_cache_line", "ours/uncached_line");
  reporter.PrintRatio("cache-hits-vs-freetype-sbit-cache", "ours/cache_hits",
                      "peer/freetype_sbit_cache_hits");
  for (int32_t h : kBlendHeights) {
    const std::string size = "/" + std::to_string(h);
    reporter.PrintRatio("mask-blend-vs-pixman-over-a8 " + std::to_string(h) + "px",
                        "ours/mask_blend" + size, "peer/pixman_over_a8" + size);
    reporter.PrintRatio("mask-blend-vs-pixman-over-a8 128-bit " + std::to_string(h) + "px",
                        "ours128/mask_blend" + size, "peer/pixman_over_a8" + size);
  }
  benchmark::Shutdown();
  return 0;
}
