// The input-method state of the text-input window: open status, conversion status and the
// composition, which the IME indicator and the text fields show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/messages.h"

namespace bw {

constexpr int32_t kImeNoContext = 1;
constexpr size_t kCompositionMaxBytes = 127;
// The mode words reported while the input method is open.
constexpr uint32_t kOpenConversionMode = 0x19;
constexpr uint32_t kOpenSentenceMode = 0x08;

class ImeContext {
 public:
  // Forgets the kept composition, then takes the window's context (none for a null window).
  [[nodiscard]] bool Attach(host::HWND window);
  host::HWND Window() const { return window_; }
  bool HasContext() const { return hasContext_; }

  // 0 done, kImeNoContext without a context. Event thread only.
  [[nodiscard]] int32_t SetOpenStatus(bool open);
  bool IsOpen() const;
  // The platform tells no conversion mode: while open, the usual start mode (full-width
  // Roman hiragana, phrase prediction); closed, both words read 0. False without a context.
  [[nodiscard]] bool GetConversionStatus(uint32_t* conversion, uint32_t* sentence) const;
  // The composition when it changed since the last call (the context keeps owning the text);
  // null when it is unchanged or there is none.
  const char* GetCompositionString();
  // The composition last answered by GetCompositionString; empty when none.
  std::string_view KeptComposition() const {
    return composition_ ? std::string_view(*composition_) : std::string_view();
  }
  // The end of the first clause; the composition is one clause here.
  int32_t GetClauseEnd() const;
  // The input method's cursor in the composition, in bytes; no part of it is new since the start.
  int32_t GetCursorPos() const;
  int32_t GetDeltaStart() const { return 0; }
  void SetCaret(int32_t x, int32_t y) {
    caretX_ = x;
    caretY_ = y;
  }
  int32_t CaretX() const { return caretX_; }
  int32_t CaretY() const { return caretY_; }

 private:
  static std::string CurrentComposition();

  host::HWND window_;
  bool hasContext_ = false;
  std::optional<std::string> composition_;
  int32_t caretX_ = 0;
  int32_t caretY_ = 0;
};

}  // namespace bw
