// Text entry: whether the platform's text input is on, and the composition the input method
// shows, as CP932. Committed text reaches the window as WM_CHAR bytes (see input_event.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/messages.h"

namespace bw::host {

// Event thread only; the backend turns the platform's text input on or off.
void StartTextInput();
void StopTextInput();
bool IsTextInputActive();

// The composition in progress (CP932), empty when none, with the input method's cursor in it
// (bytes; by default at its end). Set by the backend, read from any thread.
void SetComposition(std::string_view cp932, size_t cursor = std::string_view::npos);
std::string Composition();
int32_t CompositionCursor();
// True once an input method has shown a composition: before that, nothing tells that one runs.
bool HasInputMethod();
// Forgets the composition and whether an input method was seen (tests).
void ResetTextInput();

// The backends' side, for text the platform gives as UTF-8; a character without a CP932 form is
// dropped whole, never half-fed. Committed text ends the composition and goes to the window.
void DeliverTypedText(HWND hwnd, std::string_view utf8);
// cursor counts characters, as the platform does; negative puts it at the end.
void SetCompositionUtf8(std::string_view utf8, int32_t cursor = -1);

}  // namespace bw::host
