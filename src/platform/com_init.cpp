#include "platform/com_init.h"

#include <map>

#include "platform/lock.h"

namespace bw {
namespace {

struct ComCounts {
  Lock lock;
  std::map<uint32_t, uint32_t> byThread;  // guarded by lock
};

ComCounts& Counts() {
  static ComCounts counts;
  return counts;
}

// Stands in for the library's own per-thread set-up and tear-down, which cannot fail here.
uint32_t InitializeLibrary() {
  return kComDone;
}
void UninitializeLibrary() {}

}  // namespace

uint32_t ComInitializeForThread() {
  ComCounts& counts = Counts();
  ScopedLock guard(counts.lock);
  uint32_t& count = counts.byThread[CurrentThreadId()];
  if (count == 0 && InitializeLibrary() != kComDone) return kComFailed;
  ++count;
  return kComDone;
}

uint32_t ComUninitializeForThread() {
  ComCounts& counts = Counts();
  ScopedLock guard(counts.lock);
  auto it = counts.byThread.find(CurrentThreadId());
  if (it == counts.byThread.end() || it->second == 0) return kComFailed;
  if (it->second == 1) UninitializeLibrary();
  if (--it->second == 0) counts.byThread.erase(it);
  return kComDone;
}

}  // namespace bw
