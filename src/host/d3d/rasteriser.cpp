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
  PixelCodec codec{DdPixelFormat{}};
  bool keyed = false;
  DdColorKey key;
  bool fast = false;  // 32-bit ARGB or XRGB texels, clamped, no key to test
};

Texture Describe(const MemorySurface* surface) {
  Texture t;
  if (!surface) return t;
  t.pixels = surface->Pixels();
  t.pitch = surface->Pitch();
  t.width = surface->Width();
  t.height = surface->Height();
  t.bytes = surface->BytesPerPixel();
  // A created surface always knows its format.
  (void)surface->GetPixelFormat(&t.format);
  t.codec = PixelCodec(t.format);
  t.keyed = surface->GetColorKey(kDdCKeySrcBlt, &t.key) == kDdOk;
  return t;
}

// Fixed-size copies, so that the compiler turns them into plain loads and stores.
uint32_t Load(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  switch (bytes) {
    case 4:
      std::memcpy(&v, p, 4);
      break;
    case 2:
      std::memcpy(&v, p, 2);
      break;
    case 3:
      std::memcpy(&v, p, 3);
      break;
    default:
      v = *p;
      break;
  }
  return v;
}

void Store(uint8_t* p, uint32_t v, int bytes) {
  switch (bytes) {
    case 4:
      std::memcpy(p, &v, 4);
      break;
    case 2:
      std::memcpy(p, &v, 2);
      break;
    case 3:
      std::memcpy(p, &v, 3);
      break;
    default:
      *p = uint8_t(v);
      break;
  }
}

uint32_t RawTexel(const Texture& t, int x, int y) {
  return Load(t.pixels + y * t.pitch + ptrdiff_t{x} * t.bytes, t.bytes);
}

int Address(int i, int size, uint32_t mode) {
  if (mode == kTaddressWrap) return ((i % size) + size) % size;
  return std::clamp(i, 0, size - 1);
}

// Keyed texels come out as transparent black, so that they vanish whether the device tests
// the key or blends by alpha.
uint32_t Texel(const Texture& t, const RasterState& s, int x, int y, bool* keyedOut) {
  const uint32_t raw =
      RawTexel(t, Address(x, t.width, s.addressU), Address(y, t.height, s.addressV));
  if (s.colorKeyEnable && t.keyed && raw >= t.key.low && raw <= std::max(t.key.low, t.key.high)) {
    if (keyedOut) *keyedOut = true;
    return 0;
  }
  return t.codec.Unpack(raw);
}

// Two channels of a pixel in the 32-bit halves of a word, so that one multiply weighs both.
uint64_t Spread(uint32_t c) {
  return (c & 0xFF) | uint64_t(c >> 16 & 0xFF) << 32;
}

uint32_t Gather(uint64_t v) {
  return uint32_t(v >> 24 & 0xFF) | uint32_t(v >> 56 & 0xFF) << 16;
}

// Bilinear blend of four 32-bit pixels with weights in 1/4096ths; every lane stays below 2^32.
uint32_t Blend4(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11, uint32_t ax, uint32_t ay) {
  constexpr uint64_t kHalf = (uint64_t{1} << 23) | (uint64_t{1} << 55);
  uint32_t out = 0;
  for (int shift = 0; shift < 16; shift += 8) {
    const uint64_t top = Spread(c00 >> shift) * (4096 - ax) + Spread(c10 >> shift) * ax;
    const uint64_t bottom = Spread(c01 >> shift) * (4096 - ax) + Spread(c11 >> shift) * ax;
    out |= Gather(top * (4096 - ay) + bottom * ay + kHalf) << shift;
  }
  return out;
}

// Texel coordinates far outside the texture all address the same way as a near one would, so
// they are held where integer conversion stays defined.
double Bounded(double v) {
  return std::isfinite(v) ? std::clamp(v, -1e6, 1e6) : 0.0;
}

uint32_t Sample(const Texture& t, const RasterState& s, float u, float v, bool* keyed) {
  if (!s.linear) {
    return Texel(t, s, int(std::floor(Bounded(double(u) * t.width))),
                 int(std::floor(Bounded(double(v) * t.height))), keyed);
  }
  const double fx = Bounded(double(u) * t.width - 0.5), fy = Bounded(double(v) * t.height - 0.5);
  const int ix = int(fx) - (fx < int(fx)), iy = int(fy) - (fy < int(fy));
  // Weights in 1/4096ths: exact at texel centres, within one level of the exact blend elsewhere.
  const uint32_t ax = uint32_t((fx - ix) * 4096 + 0.5), ay = uint32_t((fy - iy) * 4096 + 0.5);
  if (t.fast) {
    const int x0 = std::clamp(ix, 0, t.width - 1), x1 = std::clamp(ix + 1, 0, t.width - 1);
    const uint8_t* r0 = t.pixels + ptrdiff_t{std::clamp(iy, 0, t.height - 1)} * t.pitch;
    const uint8_t* r1 = t.pixels + ptrdiff_t{std::clamp(iy + 1, 0, t.height - 1)} * t.pitch;
    return t.codec.Unpack(Blend4(Load(r0 + x0 * 4, 4), Load(r0 + x1 * 4, 4), Load(r1 + x0 * 4, 4),
                                 Load(r1 + x1 * 4, 4), ax, ay));
  }
  bool k[4] = {};
  const uint32_t c[4] = {Texel(t, s, ix, iy, &k[0]), Texel(t, s, ix + 1, iy, &k[1]),
                         Texel(t, s, ix, iy + 1, &k[2]), Texel(t, s, ix + 1, iy + 1, &k[3])};
  if (keyed && (k[0] || k[1] || k[2] || k[3])) {
    // A key counts only where it outweighs the rest, so key edges stay sharp.
    const uint32_t w[4] = {(4096 - ax) * (4096 - ay), ax * (4096 - ay), (4096 - ax) * ay, ax * ay};
    uint32_t keyWeight = 0;
    for (int i = 0; i < 4; ++i) keyWeight += k[i] ? w[i] : 0;
    if (keyWeight > (1u << 23)) *keyed = true;
  }
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t top = (c[0] >> shift & 0xFF) * (4096 - ax) + (c[1] >> shift & 0xFF) * ax;
    const uint32_t bottom = (c[2] >> shift & 0xFF) * (4096 - ax) + (c[3] >> shift & 0xFF) * ax;
    out |= ((top * (4096 - ay) + bottom * ay + (1u << 23)) >> 24) << shift;
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
    case kTopAdd:
    case kTopSubtract: {
      uint32_t out = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        const int x = int(a1 >> shift & 0xFF), y = int(a2 >> shift & 0xFF);
        out |= uint32_t(std::clamp(op == kTopAdd ? x + y : x - y, 0, 255)) << shift;
      }
      return out;
    }
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
    case kCmpNever:
      return false;
    case kCmpLess:
      return alpha < ref;
    case kCmpEqual:
      return alpha == ref;
    case kCmpLessEqual:
      return alpha <= ref;
    case kCmpGreater:
      return alpha > ref;
    case kCmpNotEqual:
      return alpha != ref;
    case kCmpGreaterEqual:
      return alpha >= ref;
    default:
      return true;
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
bool Owns(double e, double ex, double ey) {
  return e > 0 || (e == 0 && (ey > 0 || (ey == 0 && ex < 0)));
}

struct Target {
  const DdSurfaceDesc& desc;
  PixelCodec codec;
  int bytes;
};

// Combines stage 0, tests alpha and blends one fragment into the pixel at out.
void Fragment(const Target& target, const Texture& tex, const RasterState& s, uint8_t* out,
              uint32_t diffuse, double u, double v) {
  // A stage without a texture passes the diffuse colour on, whatever its operations say, so
  // that untextured items draw their own colour and alpha.
  uint32_t rgb = diffuse, alpha = diffuse >> 24;
  if (tex.pixels) {
    bool keyed = false;
    const uint32_t texel = Sample(tex, s, float(u), float(v), &keyed);
    if (keyed) return;
    rgb = Combine(s.colorOp, Arg(s.colorArg1, texel, diffuse, s.textureFactor),
                  Arg(s.colorArg2, texel, diffuse, s.textureFactor), diffuse);
    alpha = Combine(s.alphaOp, Arg(s.alphaArg1, texel, diffuse, s.textureFactor),
                    Arg(s.alphaArg2, texel, diffuse, s.textureFactor), diffuse) >>
            24;
  }
  if (s.alphaTestEnable && !AlphaPasses(s, alpha)) return;
  uint32_t color = (rgb & 0xFFFFFF) | alpha << 24;
  const int bytes = target.bytes;
  if (s.alphaBlendEnable) {
    const uint32_t dst = target.codec.Unpack(Load(out, bytes));
    const uint32_t fs = Factor(s.srcBlend, alpha), fd = Factor(s.destBlend, alpha);
    uint32_t blended = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      const uint32_t c = ((color >> shift & 0xFF) * fs + (dst >> shift & 0xFF) * fd) / 255;
      blended |= std::min(c, 255u) << shift;
    }
    color = blended;
  }
  Store(out, target.codec.Pack(color), bytes);
}

uint32_t LerpColor(uint32_t a, uint32_t b, double t) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const double c =
        (a >> shift & 0xFF) + t * (double(b >> shift & 0xFF) - double(a >> shift & 0xFF));
    out |= uint32_t(std::clamp(c + 0.5, 0.0, 255.0)) << shift;
  }
  return out;
}

bool InViewport(const RasterState& s, double x, double y) {
  return x >= s.viewport.left && x < s.viewport.right && y >= s.viewport.top &&
         y < s.viewport.bottom;
}

uint8_t* PixelAt(const Target& target, int x, int y) {
  return target.desc.surface + ptrdiff_t{y} * target.desc.pitch + ptrdiff_t{x} * target.bytes;
}

void DrawPoint(const Target& target, const Texture& tex, const RasterState& s,
               const RasterVertex& p) {
  const double x = std::floor(Bounded(p.x)), y = std::floor(Bounded(p.y));
  if (!InViewport(s, x, y)) return;
  Fragment(target, tex, s, PixelAt(target, int(x), int(y)), p.diffuse, p.u, p.v);
}

// One pixel per step along the longer axis, the end pixel left out so that joined lines do not
// draw their shared ends twice.
void DrawLine(const Target& target, const Texture& tex, const RasterState& s, const RasterVertex& a,
              const RasterVertex& b, const RasterVertex* flatSource) {
  const double ax = Bounded(a.x), ay = Bounded(a.y), dx = Bounded(b.x) - ax, dy = Bounded(b.y) - ay;
  const int steps = int(std::lround(std::max(std::fabs(dx), std::fabs(dy))));
  for (int i = 0; i < steps; ++i) {
    const double t = double(i) / steps;
    const double x = std::floor(ax + dx * t), y = std::floor(ay + dy * t);
    if (!InViewport(s, x, y)) continue;
    const uint32_t diffuse = flatSource ? flatSource->diffuse : LerpColor(a.diffuse, b.diffuse, t);
    Fragment(target, tex, s, PixelAt(target, int(x), int(y)), diffuse, a.u + (b.u - a.u) * t,
             a.v + (b.v - a.v) * t);
  }
}

void DrawTriangle(const Target& target, const Texture& tex, const RasterState& s,
                  const RasterVertex* v[3], const RasterVertex* flatSource) {
  double area = (double(v[1]->x) - v[0]->x) * (double(v[2]->y) - v[0]->y) -
                (double(v[2]->x) - v[0]->x) * (double(v[1]->y) - v[0]->y);
  if (area == 0) return;
  if (area < 0) {
    std::swap(v[1], v[2]);
    area = -area;
  }
  if (!std::isfinite(area)) return;
  const double minX = std::min({v[0]->x, v[1]->x, v[2]->x}),
               maxX = std::max({v[0]->x, v[1]->x, v[2]->x});
  const double minY = std::min({v[0]->y, v[1]->y, v[2]->y}),
               maxY = std::max({v[0]->y, v[1]->y, v[2]->y});
  const int x0 =
      int(std::clamp(std::floor(minX), double(s.viewport.left), double(s.viewport.right)));
  const int x1 =
      int(std::clamp(std::ceil(maxX) + 1, double(s.viewport.left), double(s.viewport.right)));
  const int y0 =
      int(std::clamp(std::floor(minY), double(s.viewport.top), double(s.viewport.bottom)));
  const int y1 =
      int(std::clamp(std::ceil(maxY) + 1, double(s.viewport.top), double(s.viewport.bottom)));
  // Edge i runs from vertex i + 1 to vertex i + 2; its function grows by -ey per pixel.
  double ex[3], ey[3], ax[3], ay[3];
  for (int i = 0; i < 3; ++i) {
    const RasterVertex& a = *v[(i + 1) % 3];
    const RasterVertex& b = *v[(i + 2) % 3];
    ex[i] = double(b.x) - a.x, ey[i] = double(b.y) - a.y, ax[i] = a.x, ay[i] = a.y;
  }
  const bool sameDiffuse = v[0]->diffuse == v[1]->diffuse && v[1]->diffuse == v[2]->diffuse;
  const uint32_t constDiffuse = flatSource ? flatSource->diffuse : v[0]->diffuse;
  double uq[3], vq[3];
  for (int i = 0; i < 3; ++i)
    uq[i] = double(v[i]->u) * v[i]->rhw, vq[i] = double(v[i]->v) * v[i]->rhw;
  const int bytes = target.bytes;
  const double invArea = 1 / area;
  for (int y = y0; y < y1; ++y) {
    const double py = y + 0.5;
    double e[3];
    for (int i = 0; i < 3; ++i) e[i] = ex[i] * (py - ay[i]) - ey[i] * (x0 + 0.5 - ax[i]);
    uint8_t* out = target.desc.surface + ptrdiff_t{y} * target.desc.pitch + ptrdiff_t{x0} * bytes;
    for (int x = x0; x < x1; ++x, out += bytes, e[0] -= ey[0], e[1] -= ey[1], e[2] -= ey[2]) {
      if (!Owns(e[0], ex[0], ey[0]) || !Owns(e[1], ex[1], ey[1]) || !Owns(e[2], ex[2], ey[2]))
        continue;
      const double w[3] = {e[0] * invArea, e[1] * invArea, e[2] * invArea};
      const uint32_t diffuse = flatSource || sameDiffuse ? constDiffuse : Lerp(v, w);
      if (!tex.pixels) {
        Fragment(target, tex, s, out, diffuse, 0, 0);
        continue;
      }
      const double q = w[0] * v[0]->rhw + w[1] * v[1]->rhw + w[2] * v[2]->rhw;
      Fragment(target, tex, s, out, diffuse, (w[0] * uq[0] + w[1] * uq[1] + w[2] * uq[2]) / q,
               (w[0] * vq[0] + w[1] * vq[1] + w[2] * vq[2]) / q);
    }
  }
}

}  // namespace

bool ReadVertices(uint32_t fvf, const void* data, size_t count, std::vector<RasterVertex>* out) {
  if ((fvf & ~(kFvfXyzRhw | kFvfDiffuse | kFvfTex1)) != 0 || !(fvf & kFvfXyzRhw) || !data)
    return false;
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

bool DrawPrimitives(MemorySurface* target, const RasterState& state, uint32_t type,
                    const std::vector<RasterVertex>& vertices) {
  if (type < kPrimitivePointList || type > kPrimitiveTriangleFan) return false;
  const int bytes = target->BytesPerPixel();
  if (bytes != 2 && bytes != 4) return false;
  DdSurfaceDesc desc;
  if (target->Lock(&desc) != kDdOk) return false;
  Texture tex = Describe(state.texture);
  tex.fast = tex.bytes == 4 && tex.format.rBitMask == 0xFF0000 && tex.format.gBitMask == 0xFF00 &&
             tex.format.bBitMask == 0xFF && state.addressU == kTaddressClamp &&
             state.addressV == kTaddressClamp && !(state.colorKeyEnable && tex.keyed);
  const Target out{desc, PixelCodec(desc.pixelFormat), bytes};
  const bool flat = state.shadeMode == kShadeFlat;
  const size_t n = vertices.size();
  auto triangle = [&](size_t a, size_t b, size_t c, size_t source) {
    const RasterVertex* tri[3] = {&vertices[a], &vertices[b], &vertices[c]};
    DrawTriangle(out, tex, state, tri, flat ? &vertices[source] : nullptr);
  };
  auto line = [&](size_t a, size_t b) {
    DrawLine(out, tex, state, vertices[a], vertices[b], flat ? &vertices[a] : nullptr);
  };
  switch (type) {
    case kPrimitivePointList:
      for (const RasterVertex& p : vertices) DrawPoint(out, tex, state, p);
      break;
    case kPrimitiveLineList:
      for (size_t i = 0; i + 1 < n; i += 2) line(i, i + 1);
      break;
    case kPrimitiveLineStrip:
      for (size_t i = 0; i + 1 < n; ++i) line(i, i + 1);
      break;
    case kPrimitiveTriangleList:
      for (size_t i = 0; i + 2 < n; i += 3) triangle(i, i + 1, i + 2, i);
      break;
    case kPrimitiveTriangleStrip:
      for (size_t i = 0; i + 2 < n; ++i) triangle(i, i + 1, i + 2, i);
      break;
    default:  // a fan shades flat by the second vertex of each triangle
      for (size_t i = 1; i + 1 < n; ++i) triangle(0, i, i + 1, i);
      break;
  }
  // Unlocking what was locked just above cannot fail.
  (void)target->Unlock();
  return true;
}

}  // namespace bw::host
