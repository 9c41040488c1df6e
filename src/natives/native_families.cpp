#include "natives/native_families.h"

#include <array>

namespace bw {

std::span<const NativeFamily> AllNativeFamilies() {
  static const std::array families = {
      SystemNativeFamily(),
      MovieNativeFamily(),
      ImageNativeFamily(),
  };
  return families;
}

}  // namespace bw
