// Text entry over SDL's text input: whether it is on, and the composition the input method shows,
// as CP932. Committed text reaches the window as WM_CHAR bytes (see input_event.h).
#pragma once

#include <string>
#include <string_view>

namespace bw::host {

// Event thread only; without SDL's video these only keep the flag.
void StartTextInput();
void StopTextInput();
bool IsTextInputActive();

// The composition in progress (CP932), empty when none. Set by the backend, read from any thread.
void SetComposition(std::string_view cp932);
std::string Composition();
// True once an input method has shown a composition: before that, nothing tells that one runs.
bool HasInputMethod();
// Forgets the composition and whether an input method was seen (tests).
void ResetTextInput();

}  // namespace bw::host
