// Engine objects given to scripts, as handles of one table with one list of types for every
// native family. An object has one handle while it lives; when it is destroyed (its base
// destructor calls NotifyGone) the handle is freed at once, so a script holding it reads null.
#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "script/guest_memory.h"

namespace bw {

enum class ScriptObjectType : uint16_t {
  kFile = 1,
  kSurface,
  kDisplayObject,
  kRenderItem,
  kTimedTask,
  kSoundBuffer,
  kTextRenderer,
  kGuiPart,
  kHvaData,
  kHvdAnimation,
  kCellImage,
};

class ScriptHandles {
 public:
  ScriptHandles();
  ~ScriptHandles();
  ScriptHandles(const ScriptHandles&) = delete;
  ScriptHandles& operator=(const ScriptHandles&) = delete;

  // The object's handle, made on first use; 0 for a null object or a full table.
  uint32_t HandleOf(ScriptObjectType type, const void* object);
  // Null for 0 and for forged, stale or mistyped handles.
  void* Get(uint32_t handle, ScriptObjectType type) const;
  template <typename T>
  T* Get(uint32_t handle, ScriptObjectType type) const {
    return static_cast<T*>(Get(handle, type));
  }
  // The object a live handle names, and its type; null (type left alone) otherwise.
  void* Lookup(uint32_t handle, ScriptObjectType* type) const;
  // Forgets the handle (the object is not touched); false when it was not live.
  [[nodiscard]] bool Release(uint32_t handle);
  // The same for a handle of the given type only.
  [[nodiscard]] bool Release(uint32_t handle, ScriptObjectType type);
  size_t LiveCount() const;

 private:
  static void OnGone(const void* object, void* self);

  mutable std::mutex lock_;  // guards table_ and byObject_: objects may die on any thread
  HandleTable table_;
  std::unordered_map<const void*, uint32_t> byObject_;
};

}  // namespace bw
