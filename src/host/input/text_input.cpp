#include "host/input/text_input.h"

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
std::string composition;  // guarded by compositionLock

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

bool IsTextInputActive() { return active; }

void SetComposition(std::string_view cp932) {
  std::lock_guard<std::mutex> hold(compositionLock);
  composition.assign(cp932);
  if (!cp932.empty()) inputMethodSeen = true;
}

std::string Composition() {
  std::lock_guard<std::mutex> hold(compositionLock);
  return composition;
}

bool HasInputMethod() { return inputMethodSeen; }

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
  if (!typed.text.empty()) DeliverInputEvent(hwnd, typed);
}

void SetCompositionUtf8(std::string_view utf8) {
  SetComposition(Utf8ToCp932Lenient(utf8, Unmappable::kDrop));
}

}  // namespace bw::host
