// The render items of a frame in descending priority, drawn once per frame inside one scene.
// The list orders items; it does not own them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>

#include "platform/rect.h"

namespace bw::host {
class MemorySurface;
}  // namespace bw::host

namespace bw {

class Direct3DDevice;
class RenderItem;

// Insert results.
constexpr int kInsertNoItem = 1;
constexpr int kInsertListed = 2;
constexpr int kInsertNoMemory = 3;

constexpr int kRenderSceneFailed = -1;

// Matches every priority or type in SetEnabledWhere.
constexpr int64_t kAnyValue = -1;

class RenderList {
 public:
  RenderList() = default;
  RenderList(const RenderList&) = delete;
  RenderList& operator=(const RenderList&) = delete;
  virtual ~RenderList();

  // After every item of greater or equal priority.
  [[nodiscard]] int Insert(RenderItem* item, uint32_t priority, uint8_t type);
  // After greater priorities, before equal ones.
  [[nodiscard]] int InsertBeforeEqual(RenderItem* item, uint32_t priority, uint8_t type);
  void Remove(RenderItem* item);
  void RemoveByPriority(uint32_t priority);
  void RemoveByType(uint8_t type);
  bool SetPriority(RenderItem* item, uint32_t priority, bool skipIfSame);
  bool SetPriorityBeforeEqual(RenderItem* item, uint32_t priority, bool skipIfSame);
  void SetEnabledWhere(bool enabled, int64_t priority, int64_t type);
  // Stops at the first item that fails and answers its code; the scene is ended either way.
  [[nodiscard]] int DrawAll(host::MemorySurface* dest, const Rect* clip, Direct3DDevice* device);
  [[nodiscard]] int Restore();
  void Clear();

  bool AppliesItemStates() const { return applyStates_; }
  void SetAppliesItemStates(bool on) { applyStates_ = on; }
  size_t Count() const { return nodes_.size(); }
  // The item at a place in drawing order, null past the end.
  RenderItem* At(size_t index) const;

 private:
  struct Node {
    RenderItem* item;
    uint32_t priority;
    uint8_t type;
  };
  using Nodes = std::list<Node>;
  [[nodiscard]] int Add(RenderItem* item, uint32_t priority, uint8_t type, bool beforeEqual);
  Nodes::iterator Find(const RenderItem* item);
  Nodes::iterator Place(uint32_t priority, bool beforeEqual);
  template <typename Match>
  void RemoveWhere(Match match);
  bool Move(RenderItem* item, uint32_t priority, bool skipIfSame, bool beforeEqual);

  Nodes nodes_;
  bool applyStates_ = true;
};

}  // namespace bw
