#include "scenario/tgs/tgs_stand_in_operations.h"

#include <cstdio>

namespace bw {

int32_t TgsStandInOperations::Count() {
  ++total_;
  if (current_ < calls_.size() && calls_[current_]++ == 0) {
    std::fprintf(stderr, "TGS built-in %u not built\n", current_);
  }
  return kTgsNotBuilt;
}

}  // namespace bw
