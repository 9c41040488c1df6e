// A service the code under test reaches through its global, published while it lives.
#pragma once

#include "common/global.h"

namespace bw {

template <typename T, typename Global = T>
struct Published : T {
  using T::T;
  ScopedGlobal<Global> published{this};
};

}  // namespace bw
