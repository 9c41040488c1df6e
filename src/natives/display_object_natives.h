// The display-object natives: single sprites and colour rectangles (place, tag, hit and overlap
// tests, drawing into an image, zoom, rotation, mirror, anchor, source, colour and size), and
// the move, size and rotate-and-zoom paths that a script starts on a sprite.
#pragma once

#include "script/native_args.h"

namespace bw {

const NativeFamily& DisplayObjectNativeFamily();

// Move paths on a render item, from text or a point array: the words of the sprite's move paths
// with the item in place of the sprite.
[[nodiscard]] int32_t RenderItemMovePath(NativeArgs& a);
[[nodiscard]] int32_t RenderItemMovePoints(NativeArgs& a);

}  // namespace bw
