#include "graphics/device/render_list.h"

#include <new>

#include "graphics/device/direct3d_device.h"
#include "graphics/device/render_item.h"

namespace bw {

RenderList::~RenderList() {
  Clear();
}

RenderList::Nodes::iterator RenderList::Find(const RenderItem* item) {
  for (auto it = nodes_.begin(); it != nodes_.end(); ++it) {
    if (it->item == item) return it;
  }
  return nodes_.end();
}

RenderList::Nodes::iterator RenderList::Place(uint32_t priority, bool beforeEqual) {
  auto it = nodes_.begin();
  while (it != nodes_.end() && (beforeEqual ? it->priority > priority : it->priority >= priority))
    ++it;
  return it;
}

int RenderList::Add(RenderItem* item, uint32_t priority, uint8_t type, bool beforeEqual) {
  if (!item) return kInsertNoItem;
  if (item->list_) return kInsertListed;
  try {
    nodes_.insert(Place(priority, beforeEqual), Node{item, priority, type});
  } catch (const std::bad_alloc&) {
    return kInsertNoMemory;
  }
  item->list_ = this;
  return 0;
}

int RenderList::Insert(RenderItem* item, uint32_t priority, uint8_t type) {
  return Add(item, priority, type, false);
}

int RenderList::InsertBeforeEqual(RenderItem* item, uint32_t priority, uint8_t type) {
  return Add(item, priority, type, true);
}

void RenderList::Remove(RenderItem* item) {
  RemoveWhere([item](const Node& n) { return n.item == item; });
}

void RenderList::RemoveByPriority(uint32_t priority) {
  RemoveWhere([priority](const Node& n) { return n.priority == priority; });
}

void RenderList::RemoveByType(uint8_t type) {
  RemoveWhere([type](const Node& n) { return n.type == type; });
}

template <typename Match>
void RenderList::RemoveWhere(Match match) {
  for (auto it = nodes_.begin(); it != nodes_.end();) {
    if (!match(*it)) {
      ++it;
      continue;
    }
    it->item->list_ = nullptr;
    it = nodes_.erase(it);
  }
}

bool RenderList::Move(RenderItem* item, uint32_t priority, bool skipIfSame, bool beforeEqual) {
  if (!item) return false;
  const auto it = Find(item);
  if (it == nodes_.end()) return false;
  if (skipIfSame && it->priority == priority) return false;
  it->priority = priority;
  // Splice keeps the node: a move cannot fail for want of memory.
  Nodes moving;
  moving.splice(moving.begin(), nodes_, it);
  nodes_.splice(Place(priority, beforeEqual), moving);
  return true;
}

bool RenderList::SetPriority(RenderItem* item, uint32_t priority, bool skipIfSame) {
  return Move(item, priority, skipIfSame, false);
}

bool RenderList::SetPriorityBeforeEqual(RenderItem* item, uint32_t priority, bool skipIfSame) {
  return Move(item, priority, skipIfSame, true);
}

void RenderList::SetEnabledWhere(bool enabled, int64_t priority, int64_t type) {
  for (const Node& n : nodes_) {
    if ((priority == kAnyValue || n.priority == priority) &&
        (type == kAnyValue || n.type == type)) {
      n.item->SetEnabled(enabled);
    }
  }
}

int RenderList::DrawAll(host::MemorySurface* dest, const Rect* clip, Direct3DDevice* device) {
  host::D3dDevice* d3d = device ? device->GetDevice() : nullptr;
  if (d3d && d3d->BeginScene() != host::kDdOk) return kRenderSceneFailed;
  int result = kRenderDone;
  for (const Node& n : nodes_) {
    result = n.item->Draw(dest, clip, device);
    if (result != kRenderDone) break;
  }
  // A scene that fails to close leaves nothing to undo; the next frame begins anew.
  if (d3d) (void)d3d->EndScene();
  return result;
}

int RenderList::Restore() {
  for (const Node& n : nodes_) {
    if (int code = n.item->Restore(); code != 0) return code;
  }
  return 0;
}

void RenderList::Clear() {
  for (const Node& n : nodes_) n.item->list_ = nullptr;
  nodes_.clear();
}

RenderItem* RenderList::At(size_t index) const {
  for (const Node& n : nodes_) {
    if (index-- == 0) return n.item;
  }
  return nullptr;
}

}  // namespace bw
