#include "effects/transitions/transition_strips.h"

#include <algorithm>

#include "effects/transitions/transition_frame.h"

namespace bw {
namespace {

// Columns and rows share one walk: `along` is the axis the strips follow.
struct Axis {
  bool rows;
  int32_t Length(const TransitionFrame& f) const { return rows ? f.height : f.width; }
  int32_t Across(const TransitionFrame& f) const { return rows ? f.width : f.height; }
  int32_t DestLength(const TransitionFrame& f) const { return rows ? f.destHeight : f.destWidth; }
  // A piece covering [from, to) along the axis and the whole source across it.
  TransitionPiece Piece(const TransitionFrame& f, int32_t from, int32_t to, int32_t at) const {
    TransitionPiece p;
    if (rows) {
      p.source = {0, from, f.width, to};
      p.x = f.x, p.y = at;
    } else {
      p.source = {from, 0, to, f.height};
      p.x = at, p.y = f.y;
    }
    return p;
  }
  int32_t Origin(const TransitionFrame& f) const { return rows ? f.y : f.x; }
};

int Cascade(Surface* destination, const Surface* source, int32_t progress, int32_t x, int32_t y,
            bool fromStart, int kind, int32_t stripSize, Surface* backBuffer, Axis axis) {
  return RunTransitionFrame(
      destination, source, progress, x, y, kind, backBuffer, [&](TransitionFrame& f, int32_t p) {
        const int32_t s = std::max(stripSize, 1);
        const int32_t length = axis.Length(f);
        const int64_t n = (int64_t{length} + s + 1) / s;
        const int64_t reach = (n + s) * p / 256;
        for (int64_t k = 0; k < n && k < reach; ++k) {
          const int64_t w = std::min<int64_t>(reach - k, s);
          int64_t from, to;
          if (fromStart) {
            from = k * s, to = from + w;
          } else {
            to = length - k * s, from = to - w;
          }
          to = std::min<int64_t>(to, length);
          from = std::max<int64_t>(from, 0);
          if (from >= to) continue;
          DrawTransitionPiece(
              f, axis.Piece(f, int32_t(from), int32_t(to), int32_t(axis.Origin(f) + from)));
        }
        return kTransitionStepDone;
      });
}

int Smear(Surface* destination, const Surface* source, int32_t progress, int32_t x, int32_t y,
          bool fromStart, int kind, Surface* backBuffer, Axis axis) {
  return RunTransitionFrame(
      destination, source, progress, x, y, kind, backBuffer, [&](TransitionFrame& f, int32_t p) {
        const int32_t length = axis.Length(f), origin = axis.Origin(f);
        const int32_t e = int32_t((int64_t{length} * p) >> 8);
        const int32_t bandFrom = fromStart ? length - e : 0, bandTo = fromStart ? length : e;
        if (bandFrom < bandTo)
          DrawTransitionPiece(f, axis.Piece(f, bandFrom, bandTo, origin + bandFrom));
        TransitionPiece edge;
        if (fromStart) {
          const int32_t column = std::max(length - e - 1, 0);
          edge = axis.Piece(f, column, column + 1, 0);
          edge.stretched = true;
          const int32_t reach = origin + length - e;
          edge.size = axis.rows ? Size{f.width, reach} : Size{reach, f.height};
        } else {
          edge = axis.Piece(f, e, std::min(e + 1, length), origin + e);
          edge.stretched = true;
          const int32_t reach = axis.DestLength(f) - e - origin;
          edge.size = axis.rows ? Size{f.width, reach} : Size{reach, f.height};
        }
        DrawTransitionPiece(f, edge);
        return kTransitionStepDone;
      });
}

}  // namespace

int TransitionCascadeColumns(Surface* destination, const Surface* source, int32_t progress,
                             int32_t x, int32_t y, bool fromStart, int kind, int32_t stripSize,
                             Surface* backBuffer) {
  return Cascade(destination, source, progress, x, y, fromStart, kind, stripSize, backBuffer,
                 Axis{false});
}

int TransitionCascadeRows(Surface* destination, const Surface* source, int32_t progress, int32_t x,
                          int32_t y, bool fromStart, int kind, int32_t stripSize,
                          Surface* backBuffer) {
  return Cascade(destination, source, progress, x, y, fromStart, kind, stripSize, backBuffer,
                 Axis{true});
}

int TransitionSmearColumns(Surface* destination, const Surface* source, int32_t progress, int32_t x,
                           int32_t y, bool fromStart, int kind, Surface* backBuffer) {
  return Smear(destination, source, progress, x, y, fromStart, kind, backBuffer, Axis{false});
}

int TransitionSmearRows(Surface* destination, const Surface* source, int32_t progress, int32_t x,
                        int32_t y, bool fromStart, int kind, Surface* backBuffer) {
  return Smear(destination, source, progress, x, y, fromStart, kind, backBuffer, Axis{true});
}

}  // namespace bw
