// Whole-surface copies between DirectDraw surfaces clipped to bounds, and the inversion and
// mosaic of locked DirectDraw memory (the numbered transitions and the text layer use them).
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/surface/memory_surface.h"
#include "platform/rect.h"

namespace bw {

constexpr int kDdOpDone = 0;
constexpr int kDdOpMissing = 1;
constexpr int kDdOpRefused = 2;
constexpr int kDdOpNothingLeft = -1;
constexpr int kDdOpBadMode = 1;
constexpr int kDdOpBadFormat = 2;

// key is 0xFFFFFFFF for none; otherwise the source's own colour key is honoured.
[[nodiscard]] int DirectDrawBltFast(host::MemorySurface* target, host::MemorySurface* source,
                                    int32_t x, int32_t y, const Rect* sourceRect,
                                    const Rect* bounds, uint32_t key);
[[nodiscard]] int DirectDrawBlt(host::MemorySurface* target, const Rect* destRect,
                                host::MemorySurface* source, const Rect* sourceRect,
                                const Rect* bounds, uint32_t key);

// Modes: 0 the colour bits, 1 all bits, 2 the alpha bits; formats without alpha take mode 0 only.
[[nodiscard]] int InvertPixelMemory(int mode, int formatCode, uint8_t* pixels, ptrdiff_t pitch,
                                    const Rect* rect, const Rect* bounds);
// Anchors: 1 top-left, 2 top-right, 3 bottom-left, 4 bottom-right, else centred.
[[nodiscard]] int MosaicPixelMemory(int formatCode, uint8_t* pixels, ptrdiff_t pitch,
                                    const Rect* rect, const Rect* bounds, int blockSize,
                                    int anchor);

}  // namespace bw
