#include "natives/native_families.h"

#include <array>

namespace bw {

std::span<const NativeFamily> AllNativeFamilies() {
  static const std::array families = {SystemNativeFamily(), DisplayObjectNativeFamily()};
  return families;
}

}  // namespace bw
