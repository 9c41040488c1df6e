#include "common/global.h"

#include <mutex>
#include <string_view>

namespace bw {

namespace {

struct Enlisted {
  std::string_view type;
  const void* (*held)();
};

struct Registries {
  std::mutex lock;
  std::vector<Enlisted> list;  // guarded by lock
};

Registries& TheRegistries() {
  static Registries registries;
  return registries;
}

// "bw::Name" out of "static T* bw::Global<T>::Set(T*) [with T = bw::Name]" (or "[T = bw::Name]").
std::string_view TypeOf(std::string_view signature) {
  const size_t start = signature.find("T = ");
  if (start == std::string_view::npos) return signature;
  std::string_view type = signature.substr(start + 4);
  return type.substr(0, type.find_first_of(";]"));
}

}  // namespace

void EnlistGlobal(const char* typeName, const void* (*held)()) {
  Registries& r = TheRegistries();
  std::lock_guard guard(r.lock);
  r.list.push_back({TypeOf(typeName), held});
}

std::vector<HeldGlobal> HeldGlobals() {
  Registries& r = TheRegistries();
  std::lock_guard guard(r.lock);
  std::vector<HeldGlobal> held;
  held.reserve(r.list.size());
  for (const Enlisted& e : r.list) held.push_back({std::string(e.type), e.held()});
  return held;
}

}  // namespace bw
