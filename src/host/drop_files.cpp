#include "host/drop_files.h"

#include <mutex>
#include <unordered_map>

namespace bw::host {

namespace {

struct DropTable {
  std::mutex lock;
  std::unordered_map<HDROP, std::vector<std::string>> drops;  // guarded by lock
  HDROP next = 1;                                             // guarded by lock
};

DropTable& Drops() {
  static DropTable table;
  return table;
}

}  // namespace

HDROP CreateDrop(std::vector<std::string> files) {
  if (files.empty()) return 0;
  DropTable& t = Drops();
  std::lock_guard<std::mutex> guard(t.lock);
  while (t.next == 0 || t.drops.count(t.next) != 0) ++t.next;
  HDROP drop = t.next++;
  t.drops.emplace(drop, std::move(files));
  return drop;
}

uint32_t DragQueryFileCount(HDROP drop) {
  DropTable& t = Drops();
  std::lock_guard<std::mutex> guard(t.lock);
  auto it = t.drops.find(drop);
  return it == t.drops.end() ? 0 : static_cast<uint32_t>(it->second.size());
}

std::optional<std::string> DragQueryFile(HDROP drop, uint32_t index) {
  DropTable& t = Drops();
  std::lock_guard<std::mutex> guard(t.lock);
  auto it = t.drops.find(drop);
  if (it == t.drops.end() || index >= it->second.size()) return std::nullopt;
  return it->second[index];
}

void DragFinish(HDROP drop) {
  DropTable& t = Drops();
  std::lock_guard<std::mutex> guard(t.lock);
  t.drops.erase(drop);
}

}  // namespace bw::host
