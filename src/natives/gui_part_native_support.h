// What the GUI part natives and the per-kind part natives share: the part a word names, a part
// of one kind, a text window, a renderer, and the signed switch of an optional group.
#pragma once

#include <cstdint>

#include "gui/message_text_widget.h"
#include "gui/ui_control.h"
#include "natives/native_helpers.h"
#include "script/native_args.h"

namespace bw {
class TextRenderer;
}

namespace bw::gui_part_support {

// A word of -1 that switches off the optional group after it.
constexpr int32_t kSwitchOffSigned = -1;

inline UiControl* Part(NativeArgs& a, uint32_t k) {
  return a.Handle<UiControl>(k, ScriptObjectType::kGuiPart);
}
template <typename T>
T* PartOfKind(NativeArgs& a, uint32_t k, int kind) {
  UiControl* part = Part(a, k);
  return KindOf(part) == kind ? static_cast<T*>(part) : nullptr;
}
// A text window of either family (kinds 5 and 111) that owns a page.
inline MessageTextWidget* Window(UiControl* part) {
  const int kind = KindOf(part);
  if (kind != kKindTextWindow && kind != kKindScriptText) return nullptr;
  return dynamic_cast<MessageTextWidget*>(part);
}
inline TextRenderer* Renderer(NativeArgs& a, uint32_t k) {
  return a.Handle<TextRenderer>(k, ScriptObjectType::kTextRenderer);
}
inline bool OffSigned(NativeArgs& a, uint32_t k) {
  return a.I32(k) == kSwitchOffSigned;
}

}  // namespace bw::gui_part_support
