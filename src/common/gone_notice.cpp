#include "common/gone_notice.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

namespace bw {

namespace {

struct Listeners {
  std::mutex lock;  // guards list
  std::vector<std::pair<GoneListener, void*>> list;
  std::atomic<size_t> count{0};  // lets destructors skip the lock while nobody listens
};

Listeners& TheListeners() {
  static Listeners listeners;
  return listeners;
}

}  // namespace

void AddGoneListener(GoneListener listener, void* context) {
  Listeners& l = TheListeners();
  std::lock_guard guard(l.lock);
  l.list.emplace_back(listener, context);
  l.count = l.list.size();
}

void RemoveGoneListener(GoneListener listener, void* context) {
  Listeners& l = TheListeners();
  std::lock_guard guard(l.lock);
  std::erase(l.list, std::pair{listener, context});
  l.count = l.list.size();
}

void NotifyGone(const void* object) {
  Listeners& l = TheListeners();
  if (l.count.load(std::memory_order_acquire) == 0) return;
  std::lock_guard guard(l.lock);
  for (auto& [listener, context] : l.list) listener(object, context);
}

}  // namespace bw
