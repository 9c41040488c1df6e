// What the text-input poll hands to the focused control: one key per frame, or a run of typed
// characters.
#pragma once

#include <cstdint>

namespace bw {

class TextInputTarget {
 public:
  virtual ~TextInputTarget() = default;
  // Arrows (37-40) and the editing keys move the caret or edit the text.
  virtual uint8_t OnTextKey(uint32_t virtualKey) = 0;
  // A run of Shift-JIS characters, whole characters only.
  virtual uint8_t OnTextInput(const char* text, int32_t length) = 0;
};

}  // namespace bw
