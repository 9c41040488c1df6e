// Input played into the real window, for tests that drive the program whole: steps run in order,
// each once what it needs is on the screen, as SDL events and pointer moves that take the same
// way through the event translation and the dialog host as a player's.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bw::host {

struct InputStep {
  enum class Kind {
    kWait,    // lets `frames` turns of the event pump pass
    kClick,   // clicks the usable item whose label starts with `label`, once it stands still
    kClose,   // the window's close button
    kKey,     // presses `keys` in order and lets them go in reverse order, the modifiers held a
              // tenth of a second before and after the last key
    kScreen,  // waits until the window is in full screen (`fullScreen`) or not
    kSee,     // waits until an item labelled `label` exactly stands still, and tells where
    kAppear,  // kSee for an item standing where none with the label stood as the step before ended
  };
  Kind kind = Kind::kWait;
  int frames = 0;
  std::string label;      // UTF-8
  std::vector<int> keys;  // SDL scancodes: modifiers first, the key last
  bool fullScreen = false;
};

// "wait:N", "click:LABEL", "see:LABEL", "appear:LABEL", "key:[Shift+|Ctrl+|Alt+]NAME" (NAME as SDL
// names keys: "D", "Return", "F10"), "screen:full", "screen:window" and "close", separated by
// commas; false with the reason in error.
[[nodiscard]] bool ParseInputScript(std::string_view text, std::vector<InputStep>* steps,
                                    std::string* error);

// How a step reads in messages: "click:はい".
std::string DescribeInputStep(const InputStep& step);

}  // namespace bw::host
