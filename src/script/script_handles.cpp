#include "script/script_handles.h"

#include "common/gone_notice.h"

namespace bw {

ScriptHandles::ScriptHandles() {
  AddGoneListener(&ScriptHandles::OnGone, this);
}

ScriptHandles::~ScriptHandles() {
  RemoveGoneListener(&ScriptHandles::OnGone, this);
}

uint32_t ScriptHandles::HandleOf(ScriptObjectType type, const void* object) {
  if (!object) return 0;
  std::lock_guard guard(lock_);
  auto it = byObject_.find(object);
  if (it != byObject_.end()) {
    return table_.Get(it->second, static_cast<uint16_t>(type)) ? it->second : 0;
  }
  uint32_t handle = table_.Add(static_cast<uint16_t>(type), const_cast<void*>(object));
  if (handle) byObject_.emplace(object, handle);
  return handle;
}

void* ScriptHandles::Get(uint32_t handle, ScriptObjectType type) const {
  std::lock_guard guard(lock_);
  return table_.Get(handle, static_cast<uint16_t>(type));
}

void* ScriptHandles::Lookup(uint32_t handle, ScriptObjectType* type) const {
  std::lock_guard guard(lock_);
  uint16_t found = 0;
  void* object = table_.Lookup(handle, &found);
  if (object) *type = static_cast<ScriptObjectType>(found);
  return object;
}

bool ScriptHandles::Release(uint32_t handle) {
  std::lock_guard guard(lock_);
  uint16_t type = 0;
  void* object = table_.Lookup(handle, &type);
  if (!object) return false;
  byObject_.erase(object);
  return table_.Remove(handle);
}

bool ScriptHandles::Release(uint32_t handle, ScriptObjectType type) {
  std::lock_guard guard(lock_);
  void* object = table_.Get(handle, static_cast<uint16_t>(type));
  if (!object) return false;
  byObject_.erase(object);
  return table_.Remove(handle);
}

size_t ScriptHandles::LiveCount() const {
  std::lock_guard guard(lock_);
  return table_.LiveCount();
}

void ScriptHandles::OnGone(const void* object, void* self) {
  auto* handles = static_cast<ScriptHandles*>(self);
  std::lock_guard guard(handles->lock_);
  auto it = handles->byObject_.find(object);
  if (it == handles->byObject_.end()) return;
  (void)handles->table_.Remove(it->second);  // listed by object, so in the table
  handles->byObject_.erase(it);
}

}  // namespace bw
