// What a composition layer draws over its background (sprites, colour rectangles, movie
// sprites), and the priority-ordered list that holds them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>

#include "platform/rect.h"

namespace bw {

class CompositionLayer;
class DisplayObjectList;
class ImageSurface;

// Draw results shared by the objects.
constexpr int kDrawDone = 0;
constexpr int kDrawNoTarget = 1;
constexpr int kDrawNothing = 2;
constexpr int kDrawFailed = 3;

constexpr int kMaxDrawMode = 31;

class DisplayObject {
 public:
  DisplayObject() = default;
  DisplayObject(const DisplayObject&) = delete;
  DisplayObject& operator=(const DisplayObject&) = delete;
  // Leaves the owner list first, so its last drawn rectangle is redrawn.
  virtual ~DisplayObject();

  virtual bool IsVisible() const { return visible_; }
  virtual void SetVisible(bool visible);
  virtual bool IsChanged() const { return changed_; }
  virtual void SetChanged(bool changed) { changed_ = changed; }
  virtual int32_t GetX() const { return x_; }
  virtual int32_t GetY() const { return y_; }
  virtual int GetDrawMode() const { return drawMode_; }
  virtual int GetAlpha() const { return alpha_; }
  // True while the object is in a transform of its own that effects must not take over.
  virtual bool IsBusy() const { return false; }

  virtual int32_t GetWidth() const = 0;
  virtual int32_t GetHeight() const = 0;
  virtual bool IsColorRect() const = 0;
  [[nodiscard]] virtual int SetDrawMode(int mode) = 0;
  virtual int SetAlpha(int alpha) = 0;
  virtual bool SetPos(int32_t x, int32_t y) = 0;
  // Moves by (dx, dy), stopping at the ends of 32 bits; false when nothing moved.
  virtual bool MoveBy(int32_t dx, int32_t dy);
  [[nodiscard]] virtual int SetZoom(int32_t width, int32_t height) = 0;
  virtual bool SetZoomAndPos(int32_t width, int32_t height, int32_t x, int32_t y) = 0;
  virtual bool Refresh(const Rect* rect) = 0;
  virtual bool HitTest(int32_t x, int32_t y, bool testPixel) const = 0;
  // Whether the two placed rectangles share a pixel.
  virtual bool Overlaps(const DisplayObject& other) const;
  virtual const Rect* GetRectPtr() const = 0;
  virtual void GetRect(Rect* out) const = 0;
  // DrawInto without the drawn rectangle; the changed byte stays as it was.
  [[nodiscard]] virtual int DrawOver(ImageSurface* target) = 0;
  // out: the drawn rectangle clipped to the target, or left = -1.
  [[nodiscard]] virtual int DrawInto(ImageSurface* target, Rect* out) = 0;
  [[nodiscard]] virtual int Draw(ImageSurface* target, const Rect& clip) = 0;

  uint32_t GetTag() const { return tag_; }
  void SetTag(uint32_t tag) { tag_ = tag; }
  DisplayObjectList* GetOwnerList() const { return owner_; }

 protected:
  // Marks the given part (in target coordinates) dirty in the owner list's layer.
  bool InvalidateInOwner(const Rect& rect) const;
  // The same for a part in the object's own coordinates (null: all of it) of the width x height
  // the object shows at its position; false when the part misses the object.
  bool InvalidatePart(const Rect* part, int32_t width, int32_t height) const;

  uint32_t tag_ = 0;
  bool visible_ = true;
  bool changed_ = false;
  int32_t x_ = 0;
  int32_t y_ = 0;
  uint8_t drawMode_ = 0;
  uint8_t alpha_ = 255;

 private:
  friend class DisplayObjectList;
  DisplayObjectList* owner_ = nullptr;
};

// An object that keeps the rectangle it covers on its layer itself, and places it anew when it
// moves.
class PlacedDisplayObject : public DisplayObject {
 public:
  int SetAlpha(int alpha) override;
  bool SetPos(int32_t x, int32_t y) override;
  const Rect* GetRectPtr() const override { return &placed_; }
  void GetRect(Rect* out) const override { *out = placed_; }

 protected:
  // Sets placed_ from the position and the shown size.
  virtual void UpdatePlaced() = 0;

  Rect placed_;
};

// Results of DisplayObjectList::Add.
constexpr int kAddDone = 0;
constexpr int kAddNoObject = 1;
constexpr int kAddInList = 2;
constexpr int kAddNoMemory = 3;

constexpr int32_t kAny = -1;  // a filter criterion that always holds

class DisplayObjectList {
 public:
  struct Node {
    DisplayObject* object;
    Rect drawn;  // left = -1: none
    uint32_t priority;
    uint32_t user;
  };
  static constexpr int32_t kNoRect = -1;

  DisplayObjectList() = default;
  explicit DisplayObjectList(CompositionLayer* layer) : layer_(layer) {}
  DisplayObjectList(const DisplayObjectList&) = delete;
  DisplayObjectList& operator=(const DisplayObjectList&) = delete;
  virtual ~DisplayObjectList();

  // Before nodes of equal priority.
  [[nodiscard]] int Add(DisplayObject* object, uint32_t priority, uint32_t user);
  [[nodiscard]] int AddAfterEqual(DisplayObject* object, uint32_t priority, uint32_t user);
  bool SetPriority(DisplayObject* object, uint32_t priority, bool keepWhenEqual);
  bool SetPriorityAfterEqual(DisplayObject* object, uint32_t priority, bool keepWhenEqual);
  bool Remove(DisplayObject* object);
  // Inverted: every node whose priority differs.
  void RemoveByPriority(uint32_t priority, bool invert);
  void RemoveWhere(int32_t user, int32_t tag, bool invert);
  void SetVisibleWhere(bool visible, int32_t priority, int32_t user, int32_t tag, bool invert);
  void Clear();
  bool InvalidateRect(const Rect* rect);

  CompositionLayer* GetLayer() const { return layer_; }
  void SetLayer(CompositionLayer* layer) { layer_ = layer; }
  // Head first, in ascending priority; drawing walks from the back.
  std::list<Node>& Nodes() { return nodes_; }
  const std::list<Node>& Nodes() const { return nodes_; }
  bool IsEmpty() const { return nodes_.empty(); }
  size_t Count() const { return nodes_.size(); }
  const Node* Find(const DisplayObject* object) const;

 private:
  [[nodiscard]] int Insert(DisplayObject* object, uint32_t priority, uint32_t user,
                           bool afterEqual);
  std::list<Node>::iterator PlaceFor(uint32_t priority, bool afterEqual);
  bool Move(DisplayObject* object, uint32_t priority, bool keepWhenEqual, bool afterEqual);
  std::list<Node>::iterator Erase(std::list<Node>::iterator it);

  std::list<Node> nodes_;
  CompositionLayer* layer_ = nullptr;
};

}  // namespace bw
