// A value with static storage that outlives every static destructor: what thread-exit cleanup
// reaches after main has returned. Its memory stays reachable, so the leak checker is content.
#pragma once

#include <utility>

namespace bw {

template <typename T>
class NeverDestroyed {
 public:
  template <typename... Args>
  explicit NeverDestroyed(Args&&... args) : value_(std::forward<Args>(args)...) {}
  ~NeverDestroyed() {}  // NOLINT(modernize-use-equals-default): the union keeps T alive
  NeverDestroyed(const NeverDestroyed&) = delete;
  NeverDestroyed& operator=(const NeverDestroyed&) = delete;

  T& Get() { return value_; }

 private:
  union {
    T value_;
  };
};

}  // namespace bw
