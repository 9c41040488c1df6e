// The render items that blit a DirectDraw picture into the back buffer: the software sprite and
// the transition item, which runs a numbered transition into its drawn surface or straight
// from its target.
#pragma once

#include <cstdint>

#include "graphics/device/render_item.h"
#include "graphics/surface/surface.h"

namespace bw {

// Init results of the sprite items.
constexpr int kSpriteNoDirectDraw = 1;
// Init results of the transition item.
constexpr int kTransitionNoTarget = 1;
constexpr int kTransitionNoDrawnSurface = 2;
constexpr int kTransitionFirstStep = 3;  // also a mode outside 0 to 86
// SetProgress before Init.
constexpr int kTransitionNotReady = 1;

constexpr int kTransitionModeLast = 86;

// Runs one step of a numbered transition: (mode, first surface or null, second surface,
// progress, x, y, kind value, shared surface or null) -> 0 done, else a failure.
using TransitionDispatchFn = int (*)(int mode, Surface* first, Surface* second, int32_t progress,
                                     int32_t x, int32_t y, int kind, Surface* shared);
// Installs the dispatcher (null restores the built-in one) and answers the previous one. Until
// the transitions are installed, the built-in dispatcher answers 1 (no transition to run).
TransitionDispatchFn SetTransitionDispatch(TransitionDispatchFn dispatch);
[[nodiscard]] int TransitionDispatch(int mode, Surface* first, Surface* second, int32_t progress,
                                     int32_t x, int32_t y, int kind, Surface* shared);
// The surface a transition without a drawn surface draws into; set once at start-up.
void SetTransitionScreen(Surface* screen);

// The DirectDraw surface behind a surface, null for kinds that have none.
host::MemorySurface* DirectDrawSurfaceOf(const Surface* surface);

// A DirectDraw picture blitted at a position, cut to a source rectangle, optionally scaled.
class SpritePrimitive : public RenderItem, protected SurfaceUser {
 public:
  ~SpritePrimitive() override;
  uint8_t GetKind() const override { return kItemSprite; }
  int32_t GetX() const override { return x_; }
  int32_t GetY() const override { return y_; }
  void SetPosition(int32_t x, int32_t y) override { x_ = x, y_ = y; }
  void SetSize(int32_t width, int32_t height) override { width_ = width, height_ = height; }
  void SetSizeAndPosition(int32_t width, int32_t height, int32_t x, int32_t y) override;
  bool HitTest(int32_t x, int32_t y, bool testPixel) const override;
  bool GetRect(Rect* out) const override;
  [[nodiscard]] int Draw(host::MemorySurface* dest, const Rect* clip,
                         Direct3DDevice* device) override;

  virtual void Reset();
  [[nodiscard]] virtual int Init(Surface* source, const Rect* rect, int32_t x, int32_t y);
  virtual void SetSource(Surface* source);
  void SetSourceRect(int32_t scrollX, int32_t scrollY, const Rect* rect);

  Surface* GetSource() const { return source_; }
  const Rect& SourceRect() const { return rect_; }

 protected:
  // The blit shared with the transition item: 1 missing, 2 stretched blit failed, 3 blit failed.
  [[nodiscard]] int Blit(host::MemorySurface* dest, const Rect* clip) const;
  bool PixelHit(int32_t x, int32_t y, bool testPixel) const;

  Surface* source_ = nullptr;
  Rect rect_;
  int32_t scrollX_ = 0, scrollY_ = 0;
  int32_t x_ = 0, y_ = 0;
  int32_t width_ = 0, height_ = 0;

 private:
  void DetachSurface(const Surface* surface) override;
};

// A sprite whose source is a software surface layer: the layer's surface is brought up to date
// before each blit.
class LayerSpritePrimitive : public SpritePrimitive {
 public:
  uint8_t GetKind() const override { return kItemLayerSprite; }
  [[nodiscard]] int Init(Surface* source, const Rect* rect, int32_t x, int32_t y) override;
  [[nodiscard]] int Draw(host::MemorySurface* dest, const Rect* clip,
                         Direct3DDevice* device) override;
};

class TransitionPrimitive : public SpritePrimitive {
 public:
  ~TransitionPrimitive() override;
  uint8_t GetKind() const override { return kItemTransition; }
  void Reset() override;
  // The sprite Init does not apply: a transition needs its target.
  [[nodiscard]] int Init(Surface*, const Rect*, int32_t, int32_t) override {
    return kTransitionNoTarget;
  }
  [[nodiscard]] int Init(Surface* drawn, Surface* target, int mode, int32_t x, int32_t y,
                         int32_t progress, int32_t param1, int32_t param2);
  [[nodiscard]] int SetProgress(int32_t progress);
  void SetSource(Surface* drawn) override;
  void SetTarget(Surface* target);
  [[nodiscard]] int Draw(host::MemorySurface* dest, const Rect* clip,
                         Direct3DDevice* device) override;
  [[nodiscard]] int Restore() override;

  Surface* GetTarget() const { return target_; }
  int32_t GetProgress() const { return progress_; }
  // A value the scripts keep on the item.
  void SetValue(int32_t value) { value_ = value; }
  int32_t GetValue() const { return value_; }

 private:
  void DetachSurface(const Surface* surface) override;
  void Watch(Surface** slot, Surface* surface);

  Surface* target_ = nullptr;
  int mode_ = 0;
  int32_t progress_ = 0;
  int32_t param1_ = 0, param2_ = 0;
  int32_t value_ = 0;
  bool ready_ = false;
};

}  // namespace bw
