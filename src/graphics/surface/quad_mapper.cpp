#include "graphics/surface/quad_mapper.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/lerp.h"

namespace bw {

using pixel_detail::LerpLanes;
using pixel_detail::LerpPlain;

namespace {

constexpr int kFractionBits = 20;
constexpr int64_t kOne = int64_t{1} << kFractionBits;

// The neighbours of each corner, and the corners in order round the quad.
constexpr int kNeighbours[4][2] = {{1, 2}, {0, 3}, {0, 3}, {1, 2}};
constexpr int kRound[4] = {0, 1, 3, 2};

struct Record {
  int point;
  int32_t x, y;
};

// One edge of a chain: values at the current row, and their decrease per row.
struct Edge {
  int64_t x, u, v;
  int64_t dx, du, dv;
};

int64_t Floor(int64_t fixed) {
  return fixed >> kFractionBits;
}

// A value after rows steps of step each, as that many subtractions give it; held at the ends of
// the range where a script's far-off corners would carry it past them.
int64_t Stepped(int64_t value, int64_t step, int64_t rows) {
  const __int128 v = static_cast<__int128>(value) - static_cast<__int128>(step) * rows;
  return static_cast<int64_t>(std::clamp<__int128>(v, INT64_MIN, INT64_MAX));
}

struct Corner {
  int32_t x, y;
  int32_t u, v;
};

Edge MakeEdge(const Corner& upper, const Corner& lower) {
  Edge e{int64_t{upper.x} * kOne, int64_t{upper.u} * kOne, int64_t{upper.v} * kOne, 0, 0, 0};
  const int64_t rows = int64_t{lower.y} - upper.y;
  if (rows > 0) {
    e.dx = (int64_t{upper.x} - lower.x) * kOne / rows;
    e.du = (int64_t{upper.u} - lower.u) * kOne / rows;
    e.dv = (int64_t{upper.v} - lower.v) * kOne / rows;
  }
  return e;
}

// A left or right chain: the corners round the quad from the top one, by its neighbour on that
// side, to the lowest one (the opposite corner, or beyond it when the other neighbour is lowest).
struct Chain {
  int corners[4];
  int last = 0;  // the index of the lowest corner
  int segment = 0;
  Edge edge{};
};

Chain MakeChain(int top, int neighbour, int bottom) {
  int at = 0;
  while (kRound[at] != top) ++at;
  const int step = kRound[(at + 1) % 4] == neighbour ? 1 : 3;
  Chain c;
  c.corners[0] = top;
  while (c.corners[c.last] != bottom)
    c.corners[c.last + 1] = kRound[(at + (c.last + 1) * step) % 4], ++c.last;
  return c;
}

template <typename Write>
int MapQuad(ImageSurface* target, ImageSurface* source, const Point tp[4], const Point sp[4],
            const Rect& clip, bool edgeFlag, Write write) {
  if (!target || !source || !target->GetPixels() || target->GetBitsPerPixel() != 32 ||
      source->GetBitsPerPixel() != 32 || source->BuildRowTable() != kSurfaceDone) {
    return kQuadNoRowTable;
  }
  Corner corners[4];
  Record records[4];
  for (int i = 0; i < 4; ++i) {
    corners[i] = {tp[i].x, tp[i].y, sp[i].x, sp[i].y};
    records[i] = {i, tp[i].x, tp[i].y};
  }
  std::sort(records, records + 4,
            [](const Record& a, const Record& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
  const int top = records[0].point;
  const int n1 = kNeighbours[top][0], n2 = kNeighbours[top][1];
  const Corner& t = corners[top];
  // Corners 2^32 apart make each product 64 bits wide.
  const auto wide = [](int32_t a, int32_t b) { return static_cast<__int128>(a) - b; };
  const __int128 cross = wide(corners[n1].y, t.y) * wide(corners[n2].x, t.x) -
                         wide(corners[n2].y, t.y) * wide(corners[n1].x, t.x);
  const int right = cross < 0 ? n1 : n2;
  const int left = cross < 0 ? n2 : n1;
  if (records[1].point != n1 && records[1].point != n2) return kQuadDone;

  Chain chains[2] = {MakeChain(top, left, records[3].point),
                     MakeChain(top, right, records[3].point)};
  for (Chain& c : chains) c.edge = MakeEdge(corners[c.corners[0]], corners[c.corners[1]]);

  Rect area{0, 0, target->GetWidth(), target->GetHeight()};
  if (!IntersectRects(&area, area, clip)) return kQuadDone;
  const Rect& sourceClip = *source->GetClipRectPtr();
  const std::vector<uint8_t*>& rows = source->RowTable();
  int64_t stepU = 0, stepV = 0;
  int64_t y = int64_t{t.y} - 1;  // the row before the top: edges step before each row
  for (int band = 0; band < 3; ++band) {
    const int32_t bandTop = records[band].y, bandBottom = records[band + 1].y;
    // A chain whose segment ended at this band's top continues from that corner.
    for (Chain& c : chains) {
      while (c.segment < c.last && corners[c.corners[c.segment + 1]].y <= bandTop) {
        ++c.segment;
        if (c.segment < c.last) {
          c.edge = MakeEdge(corners[c.corners[c.segment]], corners[c.corners[c.segment + 1]]);
        }
      }
    }
    if (chains[0].segment >= chains[0].last || chains[1].segment >= chains[1].last) break;
    // Rows above the target are stepped over at once, and nothing below it draws: a script's
    // quad can span four billion rows.
    const int64_t above =
        std::clamp<int64_t>(int64_t{area.top} - (y + 1), 0, int64_t{bandBottom} - bandTop);
    if (above > 0) {
      for (Chain& c : chains) {
        c.edge.x = Stepped(c.edge.x, c.edge.dx, above);
        c.edge.u = Stepped(c.edge.u, c.edge.du, above);
        c.edge.v = Stepped(c.edge.v, c.edge.dv, above);
      }
      y += above;
    }
    for (int64_t row = bandTop + above; row < bandBottom; ++row) {
      if (++y >= area.bottom) return kQuadDone;
      for (Chain& c : chains) {
        c.edge.x -= c.edge.dx;
        c.edge.u -= c.edge.du;
        c.edge.v -= c.edge.dv;
      }
      const Edge& l = chains[0].edge;
      const Edge& r = chains[1].edge;
      const int64_t x0 = Floor(l.x);
      int64_t span = Floor(r.x) - x0;
      if (span <= 0) continue;
      if (span >= 2) {
        const int64_t length = span * kOne - (edgeFlag ? 0 : kOne);
        // A script's source corners can lie 2^32 pixels apart: the product needs 128 bits.
        stepU = static_cast<int64_t>(static_cast<__int128>(l.u - r.u) * kOne / length);
        stepV = static_cast<int64_t>(static_cast<__int128>(l.v - r.v) * kOne / length);
      }
      span = std::min<int64_t>(span, int64_t{area.right} - x0);
      // Columns left of the target are stepped over at once, as the rows above it are.
      const int64_t cut =
          std::clamp<int64_t>(int64_t{area.left} - x0, 0, std::max<int64_t>(span, 0));
      int64_t u = Stepped(l.u, stepU, cut), v = Stepped(l.v, stepV, cut);
      auto* out = reinterpret_cast<uint32_t*>(target->GetRowPointer(int32_t(y)));
      for (int64_t i = cut, x = x0 + cut; i < span; ++i, ++x, u -= stepU, v -= stepV) {
        const int64_t su = Floor(u), sv = Floor(v);
        if (su < sourceClip.left || su >= sourceClip.right || sv < sourceClip.top ||
            sv >= sourceClip.bottom) {
          continue;
        }
        uint32_t sample;
        std::memcpy(&sample, rows[size_t(sv)] + 4 * su, 4);
        write(out + x, sample);
      }
    }
  }
  return kQuadDone;
}

}  // namespace

int QuadTextureMap(ImageSurface* target, ImageSurface* source, const Point targetPoints[4],
                   const Point sourcePoints[4], const Rect& clip, bool edgeFlag) {
  return MapQuad(target, source, targetPoints, sourcePoints, clip, edgeFlag,
                 [](uint32_t* out, uint32_t sample) { *out = sample; });
}

int QuadTextureMapKeyed(ImageSurface* target, ImageSurface* source, const Point targetPoints[4],
                        const Point sourcePoints[4], const Rect& clip, bool edgeFlag,
                        uint32_t key) {
  return MapQuad(target, source, targetPoints, sourcePoints, clip, edgeFlag,
                 [key](uint32_t* out, uint32_t sample) {
                   if (sample != key) *out = sample;
                 });
}

int QuadTextureMapOpacity(ImageSurface* target, ImageSurface* source, const Point targetPoints[4],
                          const Point sourcePoints[4], const Rect& clip, bool edgeFlag,
                          const uint8_t* opacityRow) {
  return MapQuad(target, source, targetPoints, sourcePoints, clip, edgeFlag,
                 [opacityRow](uint32_t* out, uint32_t sample) {
                   *out = LerpPlain(*out, sample, WeightTable[opacityRow[sample >> 24]][0]);
                 });
}

int QuadTextureMapOpacityMmx(ImageSurface* target, ImageSurface* source,
                             const Point targetPoints[4], const Point sourcePoints[4],
                             const Rect& clip, bool edgeFlag, const uint8_t* opacityRow) {
  return MapQuad(target, source, targetPoints, sourcePoints, clip, edgeFlag,
                 [opacityRow](uint32_t* out, uint32_t sample) {
                   *out = LerpLanes(*out, sample, WeightTable[opacityRow[sample >> 24]][0]);
                 });
}

}  // namespace bw
