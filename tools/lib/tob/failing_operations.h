// Scenario operations that do nothing and answer 1, as a failed operation does: for the frames
// that tests and fuzz targets run without a player.
#pragma once

#include <cstdint>

#include "scenario/tgs/tgs_operations.h"

namespace bw::tob {

class FailingOperations : public TgsOperations {
 public:
  bool RestoringGame() const override { return false; }
#define BW_TGS_FAIL(name, params, args) \
  int32_t name params override {        \
    return Fail args;                   \
  }
  BW_TGS_OPERATIONS(BW_TGS_FAIL)
#undef BW_TGS_FAIL

 private:
  template <typename... T>
  static int32_t Fail(const T&...) {
    return 1;
  }
};

}  // namespace bw::tob
