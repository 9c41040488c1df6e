#include "input/ime_context.h"

#include <algorithm>

#include "common/sjis.h"
#include "host/input/text_input.h"

namespace bw {

bool ImeContext::Attach(host::HWND window) {
  composition_.reset();
  window_ = window;
  hasContext_ = static_cast<bool>(window);
  return true;
}

int32_t ImeContext::SetOpenStatus(bool open) {
  if (!hasContext_) return kImeNoContext;
  if (open) {
    host::StartTextInput();
  } else {
    host::StopTextInput();
  }
  return 0;
}

bool ImeContext::IsOpen() const {
  return hasContext_ && host::IsTextInputActive();
}

bool ImeContext::GetConversionStatus(uint32_t* conversion, uint32_t* sentence) const {
  const bool open = IsOpen();
  if (conversion) *conversion = open ? kOpenConversionMode : 0;
  if (sentence) *sentence = open ? kOpenSentenceMode : 0;
  return hasContext_;
}

std::string ImeContext::CurrentComposition() {
  std::string text = host::Composition();
  if (text.size() <= kCompositionMaxBytes) return text;
  // Cut on a character boundary.
  size_t end = 0;
  while (end < text.size() && sjis::Next(text, end) <= kCompositionMaxBytes)
    end = sjis::Next(text, end);
  text.resize(end);
  return text;
}

const char* ImeContext::GetCompositionString() {
  if (!hasContext_) return nullptr;
  std::string text = CurrentComposition();
  if (text.empty()) {
    composition_.reset();
    return nullptr;
  }
  if (composition_ && *composition_ == text) return nullptr;
  composition_ = std::move(text);
  return composition_->c_str();
}

int32_t ImeContext::GetClauseEnd() const {
  return hasContext_ ? static_cast<int32_t>(CurrentComposition().size()) : 0;
}

int32_t ImeContext::GetCursorPos() const {
  if (!hasContext_) return 0;
  return std::min(host::CompositionCursor(), GetClauseEnd());
}

}  // namespace bw
