// What the render natives' sources and the render item natives share: the display manager, the
// factories' answer, the release through a script's variable and the text renderer of an argument.
#pragma once

#include <cstdint>
#include <span>
#include <type_traits>

#include "common/global.h"
#include "graphics/device/display_manager.h"
#include "graphics/device/render_item.h"
#include "graphics/surface/surface.h"
#include "natives/native_constants.h"
#include "natives/render_natives.h"
#include "script/native_args.h"
#include "script/script_host.h"

namespace bw::render_support {

inline DisplayManager* Display() {
  return Global<DisplayManager>::Get();
}

inline ScriptHandles& Handles(NativeArgs& a) {
  return a.Host().Handles();
}

inline uint32_t Give(NativeArgs& a, ScriptObjectType type, const void* object) {
  return Handles(a).HandleOf(type, object);
}

// The factories' answer: the new object's handle, or 0 when creation failed. The object is
// taken by reference: it is read after the factory call in the same argument list has set it.
template <typename T>
[[nodiscard]] int32_t Made(NativeArgs& a, int code, T* const& object) {
  if (code != 0 || !object) return 0;
  if constexpr (std::is_base_of_v<RenderItem, T>) {
    return static_cast<int32_t>(
        Give(a, ScriptObjectType::kRenderItem, static_cast<RenderItem*>(object)));
  } else if constexpr (std::is_base_of_v<Surface, T>) {
    return static_cast<int32_t>(Give(a, ScriptObjectType::kSurface, static_cast<Surface*>(object)));
  } else {
    return static_cast<int32_t>(Give(a, ScriptObjectType::kTextRenderer, object));
  }
}

inline Surface* AnySurface(NativeArgs& a, uint32_t k) {
  return a.Handle<Surface>(k, ScriptObjectType::kSurface);
}

// The two DirectDraw surface kinds, which the numbered transitions draw into without a source.
inline bool IsDirectDraw(Surface* s) {
  return s &&
         (s->GetKind() == kKindDirectDrawImageSurface || s->GetKind() == kKindDirectDrawSurface);
}

// Takes the object out of a release native's variable (word 0): 1 for none, 2 for one not
// listed, else destroy's code, the variable cleared on 0.
template <typename T, typename Destroy>
[[nodiscard]] int32_t Release(NativeArgs& a, ScriptObjectType type, Destroy destroy) {
  const uint32_t address = a.U32(0);
  uint32_t handle = 0;
  if (address) a.Memory().Read32(address, handle);
  if (a.Faulted()) return 0;
  if (handle == 0) return kDestroyNull;
  T* object = Handles(a).Get<T>(handle, type);
  if (!object) return kDestroyNotListed;
  const int32_t r = destroy(object);
  if (r == 0) a.Memory().Write32(address, 0);
  return r;
}

inline TextRenderer* Renderer(NativeArgs& a, uint32_t k) {
  return a.Handle<TextRenderer>(k, ScriptObjectType::kTextRenderer);
}

inline RenderNativeState& State(NativeArgs& a) {
  return a.Host().Extension<RenderNativeState>();
}

// The render family's rows for the text renderers, the text drawn into images and the font list
// (166-195), which it puts before its own.
std::span<const NativeEntry> TextRendererNativeEntries();

}  // namespace bw::render_support
