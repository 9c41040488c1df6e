#include "host/surface/memory_surface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "host/gdi/memory_dc.h"
#include "host/headless/headless_backend.h"
#include "host/presentation_sink.h"
#include "host/surface/surface_test_util.h"

namespace bw::host {

void PrintTo(const Rect& r, std::ostream* os) {
  *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

using test::Argb32, test::Format, test::Get, test::Put, test::Rgb32, test::Rgb565;

// One of each format class the engine tells apart, "other" being a 32-bit BGR layout.
std::vector<DdPixelFormat> AllFormats() {
  return {
      Format(32, 0xFF, 0xFF00, 0xFF0000, 0),          Format(8, 0, 0, 0, 0),
      Format(16, 0x7C00, 0x03E0, 0x001F, 0),          Rgb565(),
      Format(24, 0xFF0000, 0xFF00, 0xFF, 0),          Rgb32(),
      Format(16, 0x7C00, 0x03E0, 0x001F, 0x8000),     Format(16, 0x0F00, 0x00F0, 0x000F, 0xF000),
      Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u)};
}

// Random pixels drawn from a few values so that keys hit often.
void FillRandom(MemorySurface& s, std::mt19937& rng) {
  const uint32_t mask = s.BytesPerPixel() == 4 ? 0xFFFFFFFFu : (1u << (8 * s.BytesPerPixel())) - 1;
  const uint32_t values[4] = {0x12345678u & mask, 0x00ABCDEFu & mask, 0x7Fu, 0x0u};
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) Put(s, x, y, values[rng() % 4]);
}

struct Copy {
  std::vector<uint32_t> pixels;
  int width, height;
  uint32_t at(int x, int y) const { return pixels[size_t(y * width + x)]; }
};

Copy Snapshot(const MemorySurface& s) {
  Copy c{{}, s.Width(), s.Height()};
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) c.pixels.push_back(Get(s, x, y));
  return c;
}

// What a copy of src's s onto dest's d (inside clip) must leave: the source pixel under each
// target pixel's centre, each found by its own 64-bit division, key pixels skipped, everything else
// untouched.
Copy SteppedCopy(const Copy& before, const Copy& src, DdRect d, DdRect s, DdRect clip,
                 const uint32_t* key = nullptr) {
  Copy out = before;
  const int64_t dw = d.right - d.left, dh = d.bottom - d.top;
  const int64_t sw = s.right - s.left, sh = s.bottom - s.top;
  for (int y = std::max(d.top, clip.top); y < std::min(d.bottom, clip.bottom); ++y) {
    const int64_t sy = s.top + ((int64_t{y} - d.top) * 2 + 1) * sh / (2 * dh);
    for (int x = std::max(d.left, clip.left); x < std::min(d.right, clip.right); ++x) {
      const int64_t sx = s.left + ((int64_t{x} - d.left) * 2 + 1) * sw / (2 * dw);
      const uint32_t v = src.at(int(sx), int(sy));
      if (!key || v != *key) out.pixels[size_t(y * out.width + x)] = v;
    }
  }
  return out;
}

TEST(MemorySurface, BlitsMatchTheReferenceInEveryFormat) {
  std::mt19937 rng(7);
  for (const DdPixelFormat& f : AllFormats()) {
    SCOPED_TRACE(testing::Message() << "bits " << f.rgbBitCount << " red " << f.rBitMask);
    auto src = MemorySurface::Create(13, 9, f);
    auto dst = MemorySurface::Create(20, 17, f);
    ASSERT_TRUE(src && dst);
    for (int round = 0; round < 6; ++round) {
      FillRandom(*src, rng);
      FillRandom(*dst, rng);
      const bool keyed = round % 2 == 1;
      const DdColorKey key{0x7F, 0x7F};
      ASSERT_EQ(src->SetColorKey(kDdCKeySrcBlt, keyed ? &key : nullptr), kDdOk);
      const Copy before = Snapshot(*dst), source = Snapshot(*src);
      const DdRect whole{0, 0, 20, 17};
      const uint32_t k = 0x7F, *kp = keyed ? &k : nullptr;
      Copy want = before;
      if (round < 2) {  // fast blit, 1:1
        DdRect s{2, 1, 11, 8};
        ASSERT_EQ(dst->BltFast(5, 4, src.get(), &s, keyed ? kDdBltFastSrcColorKey : 0), kDdOk);
        want = SteppedCopy(before, source, {5, 4, 14, 11}, s, whole, kp);
      } else if (round < 4) {  // stretched up and down
        DdRect s{1, 0, 12, 9}, d{0, 2, 19, 7};
        ASSERT_EQ(dst->Blt(&d, src.get(), &s, keyed ? kDdBltKeySrc : 0, nullptr), kDdOk);
        want = SteppedCopy(before, source, d, s, whole, kp);
      } else {  // clipped by a clip list, hanging over the edges
        MemoryClipper clipper;
        EXPECT_EQ(0, clipper.SetClipList({{0, 0, 8, 17}, {12, 3, 30, 9}}));
        EXPECT_EQ(0, dst->SetClipper(&clipper));
        DdRect d{-5, -2, 25, 15};
        ASSERT_EQ(dst->Blt(&d, src.get(), nullptr, keyed ? kDdBltKeySrc : 0, nullptr), kDdOk);
        EXPECT_EQ(0, dst->SetClipper(nullptr));
        for (DdRect clip : {DdRect{0, 0, 8, 17}, DdRect{12, 3, 20, 9}})
          want = SteppedCopy(want, source, d, {0, 0, 13, 9}, clip, kp);
      }
      EXPECT_EQ(Snapshot(*dst).pixels, want.pixels) << "round " << round;
    }
  }
}

class FrameCatcher : public PresentationSink {
 public:
  Frame shown;
  Rect changed;

 protected:
  void Show(const FrameView& frame) override {
    CopyFrame(frame, &shown);
    changed = frame.changed;
  }
};

// Odd sizes up and down onto a primary that presents by nearest pixel or linearly: the window
// must get the rows the copy wrote (their pixels are the blit tests'), converted unless 32-bit,
// and be told where they lie either way.
TEST(MemorySurface, ScaledPresentMatchesTheSteppedCopy) {
  std::mt19937 rng(21);
  for (const DdPixelFormat& f : {Rgb32(), Rgb565()}) {
    for (auto [srcW, srcH, d] :
         {std::tuple{13, 9, DdRect{3, 1, 38, 26}}, {37, 23, DdRect{1, 2, 18, 15}}}) {
      const bool linear = srcW > 20;
      SCOPED_TRACE(testing::Message() << "bits " << f.rgbBitCount << ", from " << srcW);
      auto src = MemorySurface::Create(srcW, srcH, f);
      auto dst = MemorySurface::Create(d.right + 3, d.bottom + 3, f);
      ASSERT_TRUE(src && dst);
      for (int y = 0; y < srcH; ++y)
        for (int x = 0; x < srcW; ++x) Put(*src, x, y, uint32_t(rng()));
      FrameCatcher sink;
      dst->SetPresentationSink(&sink, linear);
      ASSERT_EQ(dst->Blt(&d, src.get(), nullptr, 0, nullptr), kDdOk);
      const Copy now = Snapshot(*dst);
      ASSERT_TRUE(sink.PresentPending());
      EXPECT_EQ(sink.shown.filter, linear ? ScaleFilter::kLinear : ScaleFilter::kNearest);
      EXPECT_EQ(
          std::tuple(sink.changed.left, sink.changed.top, sink.changed.right, sink.changed.bottom),
          std::tuple(d.left, d.top, d.right, d.bottom));
      ASSERT_EQ(sink.shown.bgra.size(), now.pixels.size() * 4);
      for (size_t i = 0; i < now.pixels.size(); ++i) {
        uint32_t shown;
        std::memcpy(&shown, sink.shown.bgra.data() + 4 * i, 4);
        ASSERT_EQ(shown, f.rgbBitCount == 32 ? now.pixels[i] : UnpackArgb(f, now.pixels[i])) << i;
      }
    }
  }
}

// A primary hands its pixels to the window without copying them, and a whole blit hands its
// source's pixels on. Frame after frame drawn on a back buffer the window holds the last frame of,
// through each way of writing (blits and fills, locks, device contexts), each saying where it
// wrote: the back buffer writes around the held pixels and brings them up to date only where they
// lag, so every frame must still read whole and the held one stay as shown; the window is shown a
// frame only when it differs from the one it holds, told a rectangle that covers every difference.
// A context that copies in only what differs from the shown frame, as composed frames reach the
// window, compares with that frame, not with the rows still lagging in the pixels it writes.
TEST(MemorySurface, FramesDrawnAroundTheHeldOneReachTheWindowWithTheirChangesOnly) {
  constexpr int kW = 23, kH = 17;
  auto back = MemorySurface::Create(kW, kH, Rgb32());
  auto primary = MemorySurface::Create(kW, kH, Rgb32());
  ASSERT_TRUE(back && primary);
  HeadlessSink sink;
  primary->SetPresentationSink(&sink, false);
  std::vector<uint32_t> model(kW * kH, 0), shown = model;
  std::mt19937 rng(7);
  const uint32_t values[3] = {0x00112233, 0x00445566, 0x00778899};
  auto randomRect = [&] {
    const int x = int(rng() % kW), y = int(rng() % kH);
    return DdRect{x, y, x + 1 + int(rng() % (kW - x)), y + 1 + int(rng() % (kH - y))};
  };
  auto hashOf = [](const std::vector<uint32_t>& pixels) {
    return Fnv1a64(reinterpret_cast<const uint8_t*>(pixels.data()), pixels.size() * 4);
  };
  ASSERT_EQ(primary->Blt(nullptr, back.get(), nullptr, 0, nullptr), kDdOk);
  ASSERT_TRUE(sink.PresentPending());
  uint32_t drawn = 1;
  for (int frame = 0; frame < 300; ++frame) {
    SCOPED_TRACE(frame);
    std::vector<DdRect> areas;
    for (int n = int(rng() % 3); n > 0; --n) areas.push_back(randomRect());
    // Often what is there already, so that frames drawn again as they were come up.
    auto next = [&](int x, int y) {
      return rng() % 2 ? model[size_t(y * kW + x)] : values[rng() % 3];
    };
    const int way = int(rng() % 5);
    if (way == 4) {
      auto picture = DibSection::Create(kW, kH, 32);
      ASSERT_TRUE(picture);
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) picture->Write(x, y, next(x, y));
      MemoryDc from, *dc = nullptr;
      from.Select(picture.get());
      ASSERT_EQ(back->GetDC(&dc, kDcWritesChanges), kDdOk);
      std::vector<DdRect> written;
      for (const DdRect& r : areas) {
        int first = 0, end = 0;
        ASSERT_TRUE(BitBltChanged(*dc, r.left, r.top, r.right - r.left, r.bottom - r.top, from,
                                  r.left, r.top, &first, &end));
        if (first < end) written.push_back(DdRect{r.left, first, r.right, end});
        for (int y = r.top; y < r.bottom; ++y)
          for (int x = r.left; x < r.right; ++x) model[size_t(y * kW + x)] = picture->Read(x, y);
      }
      ASSERT_EQ(back->ReleaseDC(dc, written), kDdOk);
    } else if (way <= 1) {
      // A context that reads and writes some pixels, or one that writes every pixel it covers,
      // now and then just what was there: the window must not be told of a change then.
      const bool overwrites = way == 1, asItWas = overwrites && rng() % 2 == 0;
      MemoryDc* dc = nullptr;
      ASSERT_EQ(back->GetDC(&dc, overwrites ? kDcOverwrites : kDcReadsAndWrites), kDdOk);
      for (const DdRect& r : areas) {
        for (int y = r.top; y < r.bottom; ++y) {
          for (int x = r.left; x < r.right; ++x) {
            if (!overwrites && rng() % 3 != 0) {
              ASSERT_EQ(dc->Selected()->Read(x, y), model[size_t(y * kW + x)]);
              continue;
            }
            const uint32_t v = asItWas ? model[size_t(y * kW + x)] : next(x, y);
            dc->Selected()->Write(x, y, v);
            model[size_t(y * kW + x)] = v;
          }
        }
      }
      ASSERT_EQ(back->ReleaseDC(dc, areas), kDdOk);
    } else if (way == 2) {
      DdSurfaceDesc desc;
      ASSERT_EQ(back->Lock(&desc), kDdOk);
      for (const DdRect& r : areas) {
        const int x = r.left + int(rng() % uint32_t(r.right - r.left));
        const int y = r.top + int(rng() % uint32_t(r.bottom - r.top));
        const uint32_t v = next(x, y);
        std::memcpy(desc.surface + y * desc.pitch + x * 4, &v, 4);
        model[size_t(y * kW + x)] = v;
      }
      ASSERT_EQ(back->Unlock(areas), kDdOk);
    } else if (!areas.empty()) {
      DdBltFx fx;
      fx.fillColor = values[rng() % 3];
      ASSERT_EQ(back->Blt(&areas[0], kDdBltColorFill, &fx), kDdOk);
      for (int y = areas[0].top; y < areas[0].bottom; ++y)
        for (int x = areas[0].left; x < areas[0].right; ++x)
          model[size_t(y * kW + x)] = fx.fillColor;
    }
    ASSERT_EQ(Snapshot(*back).pixels, model) << "way " << way;
    ASSERT_EQ(primary->Blt(nullptr, back.get(), nullptr, 0, nullptr), kDdOk);
    ASSERT_EQ(sink.FrameHash(), hashOf(shown)) << "the held frame changed under the window";
    // The window thread comes round only now and then: frames handed over pile up.
    if (rng() % 3 == 0) continue;
    ASSERT_TRUE(sink.PresentPending());
    ASSERT_EQ(sink.FrameHash(), hashOf(model));
    if (model == shown) {
      EXPECT_EQ(sink.FramesDrawn(), drawn) << "the same picture was drawn again";
      continue;
    }
    EXPECT_EQ(sink.FramesDrawn(), ++drawn);
    const Rect changed = sink.LastChanged();
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        if (model[size_t(y * kW + x)] == shown[size_t(y * kW + x)]) continue;
        ASSERT_TRUE(x >= changed.left && x < changed.right && y >= changed.top &&
                    y < changed.bottom)
            << x << "," << y << " changed outside what the window was told";
      }
    }
    shown = model;
  }
  EXPECT_GT(drawn, 50u);
  EXPECT_LT(drawn, 200u) << "frames drawn again as they were must come up";
}

// Copies onto targets larger than the caches write their rows another way; the pixels must be
// the stepped copy's, scaled or not.
TEST(MemorySurface, LargeCopiesMatchTheSteppedCopy) {
  auto src = MemorySurface::Create(1101, 1003, Rgb32());
  auto dst = MemorySurface::Create(1203, 1001, Rgb32());
  ASSERT_TRUE(src && dst);
  DdSurfaceDesc desc;
  ASSERT_EQ(src->Lock(&desc), kDdOk);
  std::mt19937 rng(3);
  for (int y = 0; y < 1003; ++y)
    for (int x = 0; x < 1101; ++x)
      reinterpret_cast<uint32_t*>(desc.surface + y * desc.pitch)[x] = rng();
  EXPECT_EQ(0, src->Unlock());
  const DdRect whole{0, 0, 1203, 1001}, same{0, 0, 1100, 1000};
  // Scaled, then 1:1.
  for (auto [d, s] : {std::pair{DdRect{3, 2, 1198, 999}, DdRect{5, 7, 706, 440}}, {same, same}}) {
    const Copy before = Snapshot(*dst);
    ASSERT_EQ(dst->Blt(&d, src.get(), &s, 0, nullptr), kDdOk);
    EXPECT_EQ(Snapshot(*dst).pixels, SteppedCopy(before, Snapshot(*src), d, s, whole).pixels);
  }
}

// A lost source is the DirectDraw copies' test.
TEST(MemorySurface, BlitsRefuseWhatDoesNotFit) {
  auto a = MemorySurface::Create(8, 8, Rgb32());
  auto b = MemorySurface::Create(8, 8, Rgb32());
  auto c16 = MemorySurface::Create(8, 8, Rgb565());
  DdRect over{4, 4, 9, 8};
  EXPECT_EQ(a->Blt(&over, b.get(), nullptr, 0, nullptr), kDdErrInvalidRect) << "no clipper";
  EXPECT_EQ(a->Blt(nullptr, b.get(), &over, 0, nullptr), kDdErrInvalidRect) << "source outside";
  EXPECT_EQ(a->Blt(nullptr, c16.get(), nullptr, 0, nullptr), kDdErrInvalidPixelFormat);
  EXPECT_EQ(a->Blt(nullptr, b.get(), nullptr, kDdBltKeySrc, nullptr), kDdErrNoColorKey);
  MemoryClipper clipper;
  EXPECT_EQ(0, a->SetClipper(&clipper));
  DdRect huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  EXPECT_EQ(a->Blt(&huge, b.get(), nullptr, 0, nullptr), kDdErrInvalidRect)
      << "even with a clipper";
  EXPECT_EQ(0, a->SetClipper(nullptr));
  EXPECT_EQ(a->BltFast(INT32_MAX, 0, b.get(), nullptr, 0), kDdErrInvalidRect);
  DdSurfaceDesc d;
  ASSERT_EQ(b->Lock(&d), kDdOk);
  EXPECT_EQ(a->Blt(nullptr, b.get(), nullptr, 0, nullptr), kDdErrSurfaceBusy) << "locked source";
  EXPECT_EQ(0, b->Unlock());
}

// A context paints in the surface's own layout; one whose masks a context cannot hold gets none.
TEST(MemorySurface, ContextsPaintInTheSurfacesMasksOrAreRefused) {
  auto c16 = MemorySurface::Create(2, 1, Rgb565());
  MemoryDc* dc = nullptr;
  ASSERT_EQ(c16->GetDC(&dc), kDdOk);
  EXPECT_TRUE(dc->FillSolidRect({0, 0, 2, 1}, RGB(0, 255, 0)));
  EXPECT_EQ(c16->ReleaseDC(dc), kDdOk);
  EXPECT_EQ(Get(*c16, 1, 0), 0x07E0u);
  auto split = MemorySurface::Create(2, 1, Format(16, 0xF00F, 0x00F0, 0x0F00, 0));
  EXPECT_EQ(split->GetDC(&dc), kDdErrInvalidPixelFormat);
  EXPECT_EQ(split->GetDC(&dc), kDdErrInvalidPixelFormat) << "no context was left held";
}

TEST(MemorySurface, BlitWithinOneSurfaceReadsTheOldPixels) {
  auto s = MemorySurface::Create(6, 1, Rgb32());
  for (int x = 0; x < 6; ++x) Put(*s, x, 0, uint32_t(x + 1));
  DdRect src{0, 0, 4, 1};
  ASSERT_EQ(s->BltFast(2, 0, s.get(), &src, 0), kDdOk);
  EXPECT_EQ(Snapshot(*s).pixels, (std::vector<uint32_t>{1, 2, 1, 2, 3, 4}));
}

// A channel narrower than a byte keeps the colour's high bits, and comes back spread over the
// whole byte.
TEST(MemorySurface, NarrowChannelsKeepTheHighBitsOfEachByte) {
  const struct {
    DdPixelFormat format;
    uint32_t packed;
  } cases[] = {{Rgb565(), 0x11AA},
               {Format(16, 0x7C00, 0x03E0, 0x001F, 0x8000), 0x88CA},
               {Format(16, 0x0F00, 0x00F0, 0x000F, 0xF000), 0xF135},
               {Rgb32(), 0x123456}};
  for (const auto& c : cases) {
    EXPECT_EQ(PackArgb(c.format, 0xFF123456), c.packed) << std::hex << c.format.rBitMask;
    EXPECT_EQ(PackArgb(c.format, UnpackArgb(c.format, c.packed)), c.packed)
        << std::hex << c.format.rBitMask;
  }
  EXPECT_EQ(UnpackArgb(Rgb565(), 0xF800), 0xFFFF0000u);
}

// Past 2 GB a surface is refused, not reserved.
TEST(MemorySurface, SurfacesBeyondTheSectionLimitAreRefused) {
  EXPECT_EQ(MemorySurface::Create(16384, 32768, Argb32()), nullptr);
  EXPECT_NE(MemorySurface::Create(8, 8, Argb32()), nullptr);
}

TEST(Letterbox, KeepsTheAspectCentresTheBarsAndRefusesEmptySizes) {
  struct Case {
    int32_t sw, sh, tw, th;
    Rect expected;
  };
  const Case cases[] = {
      {640, 480, 1920, 1080, {240, 0, 1680, 1080}},  // bars left and right
      {640, 480, 1366, 768, {171, 0, 1195, 768}},    // odd bar width rounds down on the left
      {640, 480, 100000, 3, {49998, 0, 50002, 3}},   // extreme shape stays inside
      {0, 480, 640, 480, {}},
      {640, 480, -1, 480, {}},
      {640, -480, 640, 480, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LetterboxRect(c.sw, c.sh, c.tw, c.th), c.expected)
        << c.sw << "x" << c.sh << " into " << c.tw << "x" << c.th;
  }
}

}  // namespace
}  // namespace bw::host
