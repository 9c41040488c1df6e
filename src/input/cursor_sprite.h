// What the animated cursor needs of the sprite that draws it; the display objects implement it.
#pragma once

#include <cstdint>

namespace bw {

constexpr int32_t kSpriteKindImage = 0;
constexpr int32_t kSpriteKindCell = 4;

class CursorSprite {
 public:
  virtual ~CursorSprite() = default;
  virtual int32_t Kind() const = 0;
  // An image sprite's image, a cell sprite's cell image.
  virtual bool HasImage() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void MoveTo(int32_t x, int32_t y) = 0;
  virtual int32_t SourceWidth() const = 0;
  virtual void GetSourcePosition(int32_t* x, int32_t* y) const = 0;
  virtual void SetSourcePosition(int32_t x, int32_t y) = 0;
};

}  // namespace bw
