// The scenario player's operations until the player that does them lands: each does nothing and
// answers kTgsNotBuilt, says once per built-in on standard error that it is not built, and is
// counted.
#pragma once

#include <array>
#include <cstdint>

#include "scenario/tgs/tgs_builtins.h"
#include "scenario/tgs/tgs_operations.h"

namespace bw {

// The answer of an operation that is not built: the built-in goes on as after a failure.
inline constexpr int32_t kTgsNotBuilt = 1;

class TgsStandInOperations : public TgsOperations {
 public:
  bool RestoringGame() const override { return false; }
  void BeginBuiltin(uint32_t number) override { current_ = number; }

  // Calls of operations not built, in all and by the built-in that made them.
  uint64_t CallCount() const { return total_; }
  uint64_t CallCount(uint32_t builtin) const {
    return builtin < calls_.size() ? calls_[builtin] : 0;
  }

#define BW_TGS_STAND_IN(name, params, args) \
  int32_t name params override {            \
    return NotBuilt args;                   \
  }
  BW_TGS_OPERATIONS(BW_TGS_STAND_IN)
#undef BW_TGS_STAND_IN

 private:
  template <typename... T>
  int32_t NotBuilt(const T&...) {
    return Count();
  }
  int32_t Count();

  uint32_t current_ = 0;
  uint64_t total_ = 0;
  std::array<uint64_t, kTgsBuiltinCount> calls_{};
};

}  // namespace bw
