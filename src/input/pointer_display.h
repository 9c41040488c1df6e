// What the pointer needs of the display in full screen: where the game's screen lies, where the
// scaled picture sits in it, and word of the full-screen menu. The display manager implements it.
#pragma once

#include <cstdint>

namespace bw {

struct DisplayBox {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
};

class PointerDisplay {
 public:
  virtual ~PointerDisplay() = default;
  // The game's screen in screen coordinates.
  virtual DisplayBox DisplayRect() const = 0;
  // Whether the picture is scaled to the screen.
  virtual bool IsScaled() const = 0;
  // The scaled picture inside the screen (relative to its origin); false when it fills it.
  virtual bool LetterboxRect(DisplayBox* box) const = 0;
  virtual void OnMenuShown(bool shown) = 0;
};

}  // namespace bw
