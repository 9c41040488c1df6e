// The two-image transfers of the image natives share one argument layout: [mode,] target,
// source, the operation's values, x, y, [width, height], l, t, r, b. One decoder reads it for
// every transfer; each row of the table names the operation and how many values it takes.
#pragma once

#include <cstdint>
#include <span>

#include "natives/native_constants.h"
#include "platform/rect.h"

namespace bw {

class ImageSurface;
class NativeArgs;
class Surface;

// A kDefaultsSwitch word switches an optional group off: in x the position, size and rectangle
// (the whole source at 0, 0), in l the rectangle (the whole source at the position).
// A target or source that names no picture, or a rule that is not an 8-bit picture.
constexpr int32_t kTransferNoImage = -1;

// One transfer as the decoder hands it to the operation: the switches already applied.
struct TransferCall {
  uint32_t values[4] = {};
  const Surface* rule = nullptr;
  int32_t x = 0;
  int32_t y = 0;
  const Size* size = nullptr;  // stretched forms; null: the target's size
  const Rect* rect = nullptr;  // null: the whole source
};

using TransferOperation = int (*)(ImageSurface& target, const Surface& source,
                                  const TransferCall& call);

struct TransferRow {
  uint32_t number;
  uint8_t before;  // values ahead of the images (the mode-first forms)
  uint8_t after;   // values between the images and the position
  bool stretched;
  bool rule;  // the first value after the images is an 8-bit rule picture
  TransferOperation operation;
};

std::span<const TransferRow> TransferRows();
const TransferRow* FindTransferRow(uint32_t number);

// Reads the row's words from the native's arguments and runs the operation: its answer
// unchanged, kTransferNoImage for a target, source or rule that does not resolve.
[[nodiscard]] int32_t RunTransfer(NativeArgs& args, const TransferRow& row);

// The rectangle l, t, r, b at word k into store, or null (and nothing more read) when l is
// kDefaultsSwitch.
const Rect* OptionalRect(NativeArgs& args, uint32_t k, Rect& store);

// 374 and 375: target, source, the eight words of the quadrilateral (top-left, top-right,
// bottom-left, bottom-right), the source rectangle, a clip rectangle; the alpha form weights by
// the source alpha.
[[nodiscard]] int32_t RunQuadTransfer(NativeArgs& args, bool alpha);
// 376 and 377: target, source, anchor mode, x, y, angle, zoom, [opacity], the source rectangle,
// a clip rectangle.
[[nodiscard]] int32_t RunRotateTransfer(NativeArgs& args, bool opacity);

}  // namespace bw
