// Natives 466-509: the main script's message text object (its message and choices, the history,
// drawing with a pen onto a picture, the read flags of choices, the script table file) and the
// refresh of the current choice list.
#pragma once

#include <cstdint>

#include "script/native_args.h"
#include "script/script_host.h"

namespace bw {

class ImageListPart;
class ScriptMessageText;
class UiControl;

// Answers without a message text object (or for the draws, before anything is drawn).
constexpr int32_t kMessageNoText = -1;
// MessageSetOutput.
constexpr int32_t kOutputBadImage = 1;
constexpr int32_t kOutputBadRenderer = 2;
// MessageDrawTextPart, MessageDrawChoice.
constexpr int32_t kDrawBadImage = -1;
constexpr int32_t kDrawBadRenderer = -2;
// MessageGetChoiceMode without a message text object.
constexpr int32_t kNoChoiceMode = 255;
// The packed choice list counts its choices in a byte.
constexpr int32_t kMostChoices = 255;

const NativeFamily& MessageTextNativeFamily();

// The image list the GUI natives make current (native 789): the message natives refresh its read
// flags when the choices or the shown message change. It is held by its handle, so a deleted list
// reads as none.
class CurrentChoiceList : public ScriptHostExtension {
 public:
  explicit CurrentChoiceList(ScriptHost& host) : host_(host) {}
  ImageListPart* Get() const;
  // Clears the old list's read flags and forgets it; then remembers part when it is an image
  // list (0), else 1.
  [[nodiscard]] int32_t Set(UiControl* part);
  // The list's read flags: mode 0 the running script's choice flags, mode 1 the last script's,
  // any other mode none; from the message's first choice bit.
  void Refresh(ScriptMessageText& text);
  // What the list reads of read flags is forgotten: (none, 0, 0).
  void ClearSelection();

 private:
  ScriptHost& host_;
  uint32_t handle_ = 0;
};

}  // namespace bw
