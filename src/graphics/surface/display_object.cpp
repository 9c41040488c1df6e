#include "graphics/surface/display_object.h"

#include <new>

#include "common/gone_notice.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/dirty_rect_list.h"

namespace bw {

DisplayObject::~DisplayObject() {
  NotifyGone(this);
  if (owner_) owner_->Remove(this);
}

void DisplayObject::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  SetChanged(true);
}

int PlacedDisplayObject::SetAlpha(int alpha) {
  if ((alpha & 0xFF) == alpha_) return 0;
  alpha_ = uint8_t(alpha);
  SetChanged(true);
  return 0;
}

bool PlacedDisplayObject::SetPos(int32_t x, int32_t y) {
  if (x == x_ && y == y_) return false;
  x_ = x;
  y_ = y;
  UpdatePlaced();
  return true;
}

bool DisplayObject::MoveBy(int32_t dx, int32_t dy) {
  if (dx == 0 && dy == 0) return false;
  return SetPos(ClampedSum(GetX(), dx), ClampedSum(GetY(), dy));
}

bool DisplayObject::Overlaps(const DisplayObject& other) const {
  return IntersectRects(nullptr, *GetRectPtr(), *other.GetRectPtr());
}

bool DisplayObject::InvalidateInOwner(const Rect& rect) const {
  return owner_ && owner_->InvalidateRect(&rect);
}

bool DisplayObject::InvalidatePart(const Rect* part, int32_t width, int32_t height) const {
  const Rect whole{0, 0, width, height};
  Rect area = part ? *part : whole;
  if (!IntersectRects(&area, area, whole)) return false;
  return InvalidateInOwner({ClampedSum(x_, area.left), ClampedSum(y_, area.top),
                            ClampedSum(x_, area.right), ClampedSum(y_, area.bottom)});
}

// Those who place objects in the list hear of its end.
DisplayObjectList::~DisplayObjectList() {
  NotifyGone(this);
  Clear();
}

std::list<DisplayObjectList::Node>::iterator DisplayObjectList::PlaceFor(uint32_t priority,
                                                                         bool afterEqual) {
  auto it = nodes_.begin();
  while (it != nodes_.end() && (afterEqual ? it->priority <= priority : it->priority < priority)) {
    ++it;
  }
  return it;
}

int DisplayObjectList::Insert(DisplayObject* object, uint32_t priority, uint32_t user,
                              bool afterEqual) {
  if (!object) return kAddNoObject;
  if (object->owner_) return kAddInList;
  try {
    nodes_.insert(PlaceFor(priority, afterEqual), Node{object, {kNoRect, 0, 0, 0}, priority, user});
  } catch (const std::bad_alloc&) {
    return kAddNoMemory;
  }
  object->owner_ = this;
  object->SetChanged(true);
  return kAddDone;
}

int DisplayObjectList::Add(DisplayObject* object, uint32_t priority, uint32_t user) {
  return Insert(object, priority, user, false);
}

int DisplayObjectList::AddAfterEqual(DisplayObject* object, uint32_t priority, uint32_t user) {
  return Insert(object, priority, user, true);
}

bool DisplayObjectList::Move(DisplayObject* object, uint32_t priority, bool keepWhenEqual,
                             bool afterEqual) {
  auto it = nodes_.begin();
  while (it != nodes_.end() && it->object != object) ++it;
  if (it == nodes_.end()) return false;
  if (keepWhenEqual && it->priority == priority) return true;
  Node node = *it;
  node.priority = priority;
  // Splicing keeps the node (no allocation can fail half way).
  std::list<Node> moving;
  moving.splice(moving.begin(), nodes_, it);
  moving.front() = node;
  nodes_.splice(PlaceFor(priority, afterEqual), moving);
  object->SetChanged(true);
  return true;
}

bool DisplayObjectList::SetPriority(DisplayObject* object, uint32_t priority, bool keepWhenEqual) {
  return Move(object, priority, keepWhenEqual, false);
}

bool DisplayObjectList::SetPriorityAfterEqual(DisplayObject* object, uint32_t priority,
                                              bool keepWhenEqual) {
  return Move(object, priority, keepWhenEqual, true);
}

std::list<DisplayObjectList::Node>::iterator DisplayObjectList::Erase(
    std::list<Node>::iterator it) {
  if (layer_ && it->drawn.left != kNoRect) layer_->InvalidateClippedRect(it->drawn);
  it->object->owner_ = nullptr;
  return nodes_.erase(it);
}

bool DisplayObjectList::Remove(DisplayObject* object) {
  for (auto it = nodes_.begin(); it != nodes_.end(); ++it) {
    if (it->object == object) {
      Erase(it);
      return true;
    }
  }
  return false;
}

void DisplayObjectList::RemoveByPriority(uint32_t priority, bool invert) {
  for (auto it = nodes_.begin(); it != nodes_.end();) {
    it = (it->priority == priority) != invert ? Erase(it) : std::next(it);
  }
}

namespace {
// A criterion given as -1 always holds; with invert a given one holds when the value differs.
bool Holds(int32_t wanted, uint32_t value, bool invert) {
  return wanted == kAny || (uint32_t(wanted) == value) != invert;
}
}  // namespace

void DisplayObjectList::RemoveWhere(int32_t user, int32_t tag, bool invert) {
  for (auto it = nodes_.begin(); it != nodes_.end();) {
    const bool match = Holds(user, it->user, invert) && Holds(tag, it->object->GetTag(), invert);
    it = match ? Erase(it) : std::next(it);
  }
}

void DisplayObjectList::SetVisibleWhere(bool visible, int32_t priority, int32_t user, int32_t tag,
                                        bool invert) {
  for (Node& node : nodes_) {
    if (Holds(priority, node.priority, invert) && Holds(user, node.user, invert) &&
        Holds(tag, node.object->GetTag(), invert)) {
      node.object->SetVisible(visible);
    }
  }
}

void DisplayObjectList::Clear() {
  for (Node& node : nodes_) node.object->owner_ = nullptr;
  nodes_.clear();
}

bool DisplayObjectList::InvalidateRect(const Rect* rect) {
  return layer_ && layer_->InvalidateRect(rect);
}

const DisplayObjectList::Node* DisplayObjectList::Find(const DisplayObject* object) const {
  for (const Node& node : nodes_) {
    if (node.object == object) return &node;
  }
  return nullptr;
}

}  // namespace bw
