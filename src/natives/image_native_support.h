// What the image natives' two sources share: the pictures' natives in image_natives.cpp and the
// display lists' (sprites, containers, composition layers) in display_list_natives.cpp.
#pragma once

#include <cstdint>
#include <span>

#include "common/global.h"
#include "graphics/device/display_manager.h"
#include "graphics/surface/image_surface.h"
#include "natives/image_transfer.h"
#include "natives/native_constants.h"
#include "natives/object_casts.h"
#include "script/native_args.h"
#include "script/script_host.h"

namespace bw::image_support {

constexpr int32_t kNoImage = -1;

inline int32_t LowByte(int value) {
  return value & 0xFF;
}
inline int Byte(NativeArgs& a, uint32_t k) {
  return int(a.U32(k) & 0xFF);
}

inline DisplayManager* Display() {
  return Global<DisplayManager>::Get();
}

// The picture of an image argument (an image, a layer or a part's image holder); null for 0, a
// stale handle or an object without one.
inline ImageSurface* ImageOf(NativeArgs& a, uint32_t k) {
  return GetObjectSurface(a.Host().Handles(), a.U32(k));
}

// The rows of the display lists' natives (402-438), which the image family adds to its own.
std::span<const NativeEntry> DisplayListNativeEntries();

}  // namespace bw::image_support
