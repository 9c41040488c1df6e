#include "host/d3d/rasteriser.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace bw::host {
namespace {

struct Texture {
  const uint8_t* pixels = nullptr;
  ptrdiff_t pitch = 0;
  int width = 0, height = 0, bytes = 0;
  DdPixelFormat format;
  bool keyed = false;
  DdColorKey key;
};

Texture Describe(const MemorySurface* surface) {
  Texture t;
  if (!surface) return t;
  t.pixels = surface->Pixels();
  t.pitch = surface->Pitch();
  t.width = surface->Width();
  t.height = surface->Height();
  t.bytes = surface->BytesPerPixel();
  surface->GetPixelFormat(&t.format);
  t.keyed = surface->GetColorKey(kDdCKeySrcBlt, &t.key) == kDdOk;
  return t;
}

uint32_t RawTexel(const Texture& t, int x, int y) {
  uint32_t raw = 0;
  std::memcpy(&raw, t.pixels + y * t.pitch + ptrdiff_t{x} * t.bytes, size_t(t.bytes));
  return raw;
}

int Address(int i, int size, uint32_t mode) {
  if (mode == kTaddressWrap) return ((i % size) + size) % size;
  return std::clamp(i, 0, size - 1);
}

// Keyed texels come out as transparent black, so that they vanish whether the device tests
// the key or blends by alpha.
uint32_t Texel(const Texture& t, const RasterState& s, int x, int y, bool* keyedOut) {
  const uint32_t raw = RawTexel(t, Address(x, t.width, s.addressU), Address(y, t.height, s.addressV));
  if (s.colorKeyEnable && t.keyed && raw >= t.key.low && raw <= std::max(t.key.low, t.key.high)) {
    if (keyedOut) *keyedOut = true;
    return 0;
  }
  return UnpackArgb(t.format, raw);
}

// Texel coordinates far outside the texture all address the same way as a near one would, so
// they are held where integer conversion stays defined.
double Bounded(double v) { return std::isfinite(v) ? std::clamp(v, -1e6, 1e6) : 0.0; }

uint32_t Sample(const Texture& t, const RasterState& s, float u, float v, bool* keyed) {
  if (!s.linear) {
    return Texel(t, s, int(std::floor(Bounded(double(u) * t.width))),
                 int(std::floor(Bounded(double(v) * t.height))), keyed);
  }
  const double fx = Bounded(double(u) * t.width - 0.5), fy = Bounded(double(v) * t.height - 0.5);
  const double x0 = std::floor(fx), y0 = std::floor(fy);
  const double ax = fx - x0, ay = fy - y0;
  const int ix = int(x0), iy = int(y0);
  bool k[4] = {};
  const uint32_t c[4] = {Texel(t, s, ix, iy, &k[0]), Texel(t, s, ix + 1, iy, &k[1]),
                         Texel(t, s, ix, iy + 1, &k[2]), Texel(t, s, ix + 1, iy + 1, &k[3])};
  const double w[4] = {(1 - ax) * (1 - ay), ax * (1 - ay), (1 - ax) * ay, ax * ay};
  // A key counts only where it outweighs the rest, so key edges stay sharp.
  double keyWeight = 0;
  for (int i = 0; i < 4; ++i) keyWeight += k[i] ? w[i] : 0;
  if (keyed && keyWeight > 0.5) *keyed = true;
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    double sum = 0;
    for (int i = 0; i < 4; ++i) sum += w[i] * double(c[i] >> shift & 0xFF);
    out |= uint32_t(std::min(255.0, sum + 0.5)) << shift;
  }
  return out;
}

uint32_t Modulate(uint32_t a, uint32_t b) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    out |= ((a >> shift & 0xFF) * (b >> shift & 0xFF) / 255) << shift;
  }
  return out;
}

uint32_t Arg(uint32_t arg, uint32_t texel, uint32_t diffuse, uint32_t factor) {
  switch (arg & 0xF) {
    case kTaTexture:
      return texel;
    case kTaTFactor:
      return factor;
    default:  // the diffuse colour is what stage 0 sees as current
      return diffuse;
  }
}

uint32_t Combine(uint32_t op, uint32_t a1, uint32_t a2, uint32_t current) {
  switch (op) {
    case kTopSelectArg1:
      return a1;
    case kTopSelectArg2:
      return a2;
    case kTopModulate:
      return Modulate(a1, a2);
    default:
      return current;
  }
}

uint32_t Factor(uint32_t factor, uint32_t srcAlpha) {
  switch (factor) {
    case kBlendZero:
      return 0;
    case kBlendSrcAlpha:
      return srcAlpha;
    case kBlendInvSrcAlpha:
      return 255 - srcAlpha;
    default:
      return 255;
  }
}

bool AlphaPasses(const RasterState& s, uint32_t alpha) {
  const uint32_t ref = s.alphaRef & 0xFF;
  switch (s.alphaFunc) {
    case kCmpNever: return false;
    case 2: return alpha < ref;
    case 3: return alpha == ref;
    case 4: return alpha <= ref;
    case 5: return alpha > ref;
    case 6: return alpha != ref;
    case 7: return alpha >= ref;
    default: return true;
  }
}

uint32_t Lerp(const RasterVertex* v[3], const double w[3]) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    double c = 0;
    for (int i = 0; i < 3; ++i) c += w[i] * double(v[i]->diffuse >> shift & 0xFF);
    out |= uint32_t(std::clamp(c + 0.5, 0.0, 255.0)) << shift;
  }
  return out;
}

// Edges that are top or left own the pixels on them; the others do not.
bool Owns(double e, double ex, double ey) { return e > 0 || (e == 0 && (ey > 0 || (ey == 0 && ex < 0))); }

void DrawTriangle(const DdSurfaceDesc& target, const Texture& tex, const RasterState& s,
                  const RasterVertex* v[3], const RasterVertex* flatSource) {
  double area = (double(v[1]->x) - v[0]->x) * (double(v[2]->y) - v[0]->y) -
                (double(v[2]->x) - v[0]->x) * (double(v[1]->y) - v[0]->y);
  if (area == 0) return;
  if (area < 0) {
    std::swap(v[1], v[2]);
    area = -area;
  }
  if (!std::isfinite(area)) return;
  const double minX = std::min({v[0]->x, v[1]->x, v[2]->x}), maxX = std::max({v[0]->x, v[1]->x, v[2]->x});
  const double minY = std::min({v[0]->y, v[1]->y, v[2]->y}), maxY = std::max({v[0]->y, v[1]->y, v[2]->y});
  const int x0 = int(std::clamp(std::floor(minX), double(s.viewport.left), double(s.viewport.right)));
  const int x1 = int(std::clamp(std::ceil(maxX) + 1, double(s.viewport.left), double(s.viewport.right)));
  const int y0 = int(std::clamp(std::floor(minY), double(s.viewport.top), double(s.viewport.bottom)));
  const int y1 = int(std::clamp(std::ceil(maxY) + 1, double(s.viewport.top), double(s.viewport.bottom)));
  const int bytes = int(target.pixelFormat.rgbBitCount / 8);
  for (int y = y0; y < y1; ++y) {
    const double py = y + 0.5;
    uint8_t* row = target.surface + ptrdiff_t{y} * target.pitch;
    for (int x = x0; x < x1; ++x) {
      const double px = x + 0.5;
      double w[3];
      bool inside = true;
      for (int i = 0; i < 3 && inside; ++i) {
        const RasterVertex& a = *v[(i + 1) % 3];
        const RasterVertex& b = *v[(i + 2) % 3];
        const double ex = double(b.x) - a.x, ey = double(b.y) - a.y;
        const double e = ex * (py - a.y) - ey * (px - a.x);
        inside = Owns(e, ex, ey);
        w[i] = e / area;
      }
      if (!inside) continue;
      const uint32_t diffuse = flatSource ? flatSource->diffuse : Lerp(v, w);
      uint32_t texel = 0xFFFFFFFFu;
      bool keyed = false;
      if (tex.pixels) {
        const double q = w[0] * v[0]->rhw + w[1] * v[1]->rhw + w[2] * v[2]->rhw;
        double u = 0, t = 0;
        for (int i = 0; i < 3; ++i) {
          u += w[i] * v[i]->u * v[i]->rhw;
          t += w[i] * v[i]->v * v[i]->rhw;
        }
        texel = Sample(tex, s, float(u / q), float(t / q), &keyed);
      }
      if (keyed) continue;
      const uint32_t rgb = Combine(s.colorOp, Arg(s.colorArg1, texel, diffuse, s.textureFactor),
                                   Arg(s.colorArg2, texel, diffuse, s.textureFactor), diffuse);
      const uint32_t alpha = Combine(s.alphaOp, Arg(s.alphaArg1, texel, diffuse, s.textureFactor),
                                     Arg(s.alphaArg2, texel, diffuse, s.textureFactor), diffuse) >> 24;
      if (s.alphaTestEnable && !AlphaPasses(s, alpha)) continue;
      uint32_t color = (rgb & 0xFFFFFF) | alpha << 24;
      uint8_t* out = row + ptrdiff_t{x} * bytes;
      if (s.alphaBlendEnable) {
        uint32_t raw = 0;
        std::memcpy(&raw, out, size_t(bytes));
        const uint32_t dst = UnpackArgb(target.pixelFormat, raw);
        const uint32_t fs = Factor(s.srcBlend, alpha), fd = Factor(s.destBlend, alpha);
        uint32_t blended = 0;
        for (int shift = 0; shift < 32; shift += 8) {
          const uint32_t c = ((color >> shift & 0xFF) * fs + (dst >> shift & 0xFF) * fd) / 255;
          blended |= std::min(c, 255u) << shift;
        }
        color = blended;
      }
      const uint32_t packed = PackArgb(target.pixelFormat, color);
      std::memcpy(out, &packed, size_t(bytes));
    }
  }
}

}  // namespace

bool ReadVertices(uint32_t fvf, const void* data, size_t count, std::vector<RasterVertex>* out) {
  if ((fvf & ~(kFvfXyzRhw | kFvfDiffuse | kFvfTex1)) != 0 || !(fvf & kFvfXyzRhw) || !data) return false;
  const size_t stride = 16 + ((fvf & kFvfDiffuse) ? 4 : 0) + ((fvf & kFvfTex1) ? 8 : 0);
  const auto* p = static_cast<const uint8_t*>(data);
  out->assign(count, RasterVertex{});
  for (size_t i = 0; i < count; ++i, p += stride) {
    RasterVertex& v = (*out)[i];
    const uint8_t* q = p;
    std::memcpy(&v.x, q, 4), std::memcpy(&v.y, q + 4, 4), std::memcpy(&v.z, q + 8, 4);
    std::memcpy(&v.rhw, q + 12, 4);
    q += 16;
    if (fvf & kFvfDiffuse) std::memcpy(&v.diffuse, q, 4), q += 4;
    if (fvf & kFvfTex1) std::memcpy(&v.u, q, 4), std::memcpy(&v.v, q + 4, 4);
  }
  return true;
}

uint32_t SampleTexture(const RasterState& state, float u, float v) {
  const Texture t = Describe(state.texture);
  if (!t.pixels) return 0xFFFFFFFFu;
  return Sample(t, state, u, v, nullptr);
}

bool DrawTriangles(MemorySurface* target, const RasterState& state, uint32_t type,
                   const std::vector<RasterVertex>& vertices) {
  if (type != kPrimitiveTriangleStrip || vertices.size() < 3) return false;
  const int bytes = target->BytesPerPixel();
  if (bytes != 2 && bytes != 4) return false;
  DdSurfaceDesc desc;
  if (target->Lock(&desc) != kDdOk) return false;
  const Texture tex = Describe(state.texture);
  for (size_t i = 0; i + 2 < vertices.size(); ++i) {
    const RasterVertex* tri[3] = {&vertices[i], &vertices[i + 1], &vertices[i + 2]};
    DrawTriangle(desc, tex, state, tri, state.shadeMode == kShadeFlat ? &vertices[i] : nullptr);
  }
  target->Unlock();
  return true;
}

}  // namespace bw::host
