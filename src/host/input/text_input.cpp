#include "host/input/text_input.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "host/backend.h"
#include "host/cp932.h"
#include "host/input_event.h"

namespace bw::host {

namespace {

// Written where the text entry is switched and fed (the event thread), read from any; atomic.
std::atomic<bool> active{false};
std::atomic<bool> inputMethodSeen{false};
std::mutex compositionLock;
std::string composition;       // guarded by compositionLock
size_t compositionCursor = 0;  // guarded by compositionLock

void SetPlatformTextInput(bool on) {
  if (Backend* backend = CurrentBackend()) backend->SetTextInput(on);
}

}  // namespace

void StartTextInput() {
  SetPlatformTextInput(true);
  active = true;
}

void StopTextInput() {
  SetPlatformTextInput(false);
  active = false;
  SetComposition({});
}

bool IsTextInputActive() {
  return active;
}

void SetComposition(std::string_view cp932, size_t cursor) {
  std::lock_guard<std::mutex> hold(compositionLock);
  composition.assign(cp932);
  compositionCursor = std::min(cursor, cp932.size());
  if (!cp932.empty()) inputMethodSeen = true;
}

std::string Composition() {
  std::lock_guard<std::mutex> hold(compositionLock);
  return composition;
}

int32_t CompositionCursor() {
  std::lock_guard<std::mutex> hold(compositionLock);
  return static_cast<int32_t>(compositionCursor);
}

bool HasInputMethod() {
  return inputMethodSeen;
}

void ResetTextInput() {
  std::lock_guard<std::mutex> hold(compositionLock);
  composition.clear();
  inputMethodSeen = false;
  active = false;
}

void DeliverTypedText(HWND hwnd, std::string_view utf8) {
  InputEvent typed;
  typed.kind = InputEventKind::kText;
  typed.text = Utf8ToCp932Lenient(utf8, Unmappable::kDrop);
  SetComposition({});
  // A window that is gone or disabled takes no text.
  if (!typed.text.empty()) (void)DeliverInputEvent(hwnd, typed);
}

void SetCompositionUtf8(std::string_view utf8, int32_t cursor) {
  std::string text = Utf8ToCp932Lenient(utf8, Unmappable::kDrop);
  size_t cursorBytes = std::string_view::npos;
  if (cursor >= 0) {
    // The CP932 length of the characters before the cursor.
    size_t at = 0;
    for (int32_t i = 0; i < cursor && at < utf8.size(); ++i) {
      ++at;
      while (at < utf8.size() && (static_cast<uint8_t>(utf8[at]) & 0xC0) == 0x80) ++at;
    }
    cursorBytes = Utf8ToCp932Lenient(utf8.substr(0, at), Unmappable::kDrop).size();
  }
  SetComposition(text, cursorBytes);
}

}  // namespace bw::host
