// The objects a script asked the host to make (files, animation data, pictures), one list per
// kind, each object named to the script by its handle. Releasing unlinks the object and drops
// one reference: an object nobody else holds is destroyed, which frees its handle at once, so a
// script still holding the handle reads null.
#pragma once

#include <concepts>
#include <cstdint>
#include <list>
#include <memory>
#include <new>
#include <unordered_map>
#include <utility>

#include "script/script_handles.h"

namespace bw {

// Create.
constexpr int kObjectListCreated = 0;
constexpr int kObjectListOutOfMemory = -1;
// Release.
constexpr int kObjectListReleased = 0;
constexpr int kObjectListNullObject = 1;
constexpr int kObjectListNotListed = 2;

// An object that others may hold too keeps a count of those extra holders (0: the list alone).
template <typename T>
concept ExtraReferenced = requires(T& object) {
  { object.ExtraReferences() } -> std::same_as<uint32_t&>;
};

// A set-up that leaves a new object as it is.
struct NoSetup {
  template <typename T>
  int operator()(T&) const {
    return kObjectListCreated;
  }
};

template <typename T>
class ScriptObjectList {
 public:
  ScriptObjectList(ScriptHandles& handles, ScriptObjectType type)
      : handles_(handles), type_(type) {}
  ~ScriptObjectList() { ReleaseAll(); }
  ScriptObjectList(const ScriptObjectList&) = delete;
  ScriptObjectList& operator=(const ScriptObjectList&) = delete;

  // Makes T(args...), runs setup on it (its non-zero code refuses the object) and appends it.
  // handle receives its handle, 0 on failure: kObjectListOutOfMemory, or the set-up's code.
  template <typename Setup, typename... Args>
  [[nodiscard]] int Create(uint32_t& handle, Setup&& setup, Args&&... args) {
    handle = 0;
    std::unique_ptr<T> object(new (std::nothrow) T(std::forward<Args>(args)...));
    if (!object) return kObjectListOutOfMemory;
    if (int code = setup(*object); code != kObjectListCreated) return code;
    uint32_t h = handles_.HandleOf(type_, object.get());
    if (!h) return kObjectListOutOfMemory;
    T* raw = object.release();
    index_.emplace(raw, nodes_.insert(nodes_.end(), Node{raw, h}));
    handle = h;
    return kObjectListCreated;
  }

  // The listed object of handle; null for 0, a stale, forged or mistyped handle, or an object
  // of the type that this list does not hold.
  T* Find(uint32_t handle) const {
    void* object = handle ? handles_.Get(handle, type_) : nullptr;
    auto it = object ? index_.find(object) : index_.end();
    return it == index_.end() ? nullptr : it->second->object;
  }

  [[nodiscard]] int Release(const T* object) {
    if (!object) return kObjectListNullObject;
    auto it = index_.find(object);
    if (it == index_.end()) return kObjectListNotListed;
    Node node = *it->second;
    nodes_.erase(it->second);
    index_.erase(it);
    Drop(node);
    return kObjectListReleased;
  }
  // Release of the handle's object: kObjectListNullObject for 0, kObjectListNotListed for any other
  // handle that names no listed object.
  [[nodiscard]] int ReleaseHandle(uint32_t handle) {
    if (!handle) return kObjectListNullObject;
    T* object = Find(handle);
    return object ? Release(object) : kObjectListNotListed;
  }

  // Drops one reference of every object and empties the list.
  void ReleaseAll() {
    std::list<Node> nodes;
    nodes.swap(nodes_);
    index_.clear();
    for (const Node& node : nodes) Drop(node);
  }

  size_t Count() const { return nodes_.size(); }
  template <typename F>
  void ForEach(F&& visit) const {
    for (const Node& node : nodes_) visit(*node.object);
  }

 private:
  struct Node {
    T* object;
    uint32_t handle;
  };

  // The script's handle goes with the list's reference; an object held elsewhere lives on.
  void Drop(const Node& node) {
    (void)handles_.Release(node.handle, type_);  // a handle the script let go is gone already
    if constexpr (ExtraReferenced<T>) {
      uint32_t& extra = node.object->ExtraReferences();
      if (extra > 0) {
        --extra;
        return;
      }
    }
    delete node.object;
  }

  ScriptHandles& handles_;
  const ScriptObjectType type_;
  std::list<Node> nodes_;
  std::unordered_map<const void*, typename std::list<Node>::iterator> index_;
};

}  // namespace bw
