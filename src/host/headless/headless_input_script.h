// Input for whole runs on the headless backend, given as "F:EVENT" items: each event is queued
// when the main window shows frame F, so a run with the same script sees the same input at the
// same frames.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/input_event.h"

namespace bw::host {

class HeadlessBackend;

struct HeadlessInputStep {
  enum class Kind { kEvent, kTypedText, kComposition };
  uint32_t frame = 0;
  Kind kind = Kind::kEvent;
  InputEvent event;
  std::string utf8;
  int32_t cursor = -1;  // a composition's cursor in characters; -1 at its end
};

// Items separated by commas, frames from 1:
//   F:move:X:Y      the pointer moves to (X, Y) in the window
//   F:down:B        button B (left, right or middle) goes down at the pointer; F:up:B lets it go
//   F:click:X:Y     the pointer moves there and the left button goes down; up at frame F + 1
//   F:wheel:N       the wheel turns N notches, positive away from the user
//   F:key:NAME      key NAME (as SDL names keys: "Return", "Tab", "Down", "A") goes down, and
//                   up at frame F + 1; F:keydown:NAME and F:keyup:NAME one half each. While
//                   "Left Alt" or "Right Alt" is down, keys come with Alt (Alt+Enter)
//   F:text:TEXT     TEXT (UTF-8, no commas) is typed
//   F:compose:TEXT  an input method shows TEXT as the composition, its cursor at the end;
//                   F:convert:TEXT the same while converting (cursor at 0, the clause marked);
//                   an empty TEXT ends the composition
// The steps come out ordered by frame, in the given order within a frame; false with the reason
// in error for a malformed item.
[[nodiscard]] bool ParseHeadlessInput(std::string_view text, std::vector<HeadlessInputStep>* steps,
                                      std::string* error);

// Queues one step with the backend, to be delivered at its next pump.
void QueueHeadlessInputStep(HeadlessBackend& backend, const HeadlessInputStep& step);

}  // namespace bw::host
