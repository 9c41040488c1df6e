// The natives that give the main script the graphics core directly: text renderers and text
// drawn into images, the display manager's factories and settings, the effects' timer service,
// and the render list with its items.
#pragma once

#include <cstdint>

#include "script/native_args.h"
#include "script/script_host.h"

namespace bw {

class TextRenderer;

// Results the render natives name.
constexpr int32_t kRenderNativeNull = -1;       // null or mistyped object (most setters)
constexpr int32_t kRenderNativeWrongKind = -2;  // a renderer of the other kind; no assist entry

// What the render natives keep with the script host.
class RenderNativeState : public ScriptHostExtension {
 public:
  explicit RenderNativeState(ScriptHost& host) : host_(host) {}

  // The renderer of the text-drawing natives (170); null while unset or gone.
  TextRenderer* DefaultRenderer() const;
  void SetDefaultRenderer(uint32_t handle) { defaultRenderer_ = handle; }

  uint32_t displayOption = 0;    // 196, 197
  uint32_t loaderValueA = 0;     // 205
  uint32_t loaderValueB = 0;     // 206
  int32_t loaderSelection = -1;  // 207 (-1: reset)

 private:
  ScriptHost& host_;
  uint32_t defaultRenderer_ = 0;
};

const NativeFamily& RenderNativeFamily();

}  // namespace bw
