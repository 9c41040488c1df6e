// The data-input dialog (116) through which a script asks the player for one line of text.
#pragma once

#include <cstdint>
#include <string>

#include "app/dialogs/dialog_context.h"
#include "host/dialog/dialog.h"

namespace bw {

constexpr int kIdDataInputField = 1012;
constexpr int kIdDataInputPrompt = 1014;
// The field holds at most this many bytes, whatever limit the script asked for.
constexpr size_t kDataInputMaxBytes = 255;

class DataInputDialog {
 public:
  // Copies the inputs for the next dialog. A limit of 0 or above the field's size means the
  // field's size; x and y are in the owner's client area, -1 centres.
  void Setup(const std::string& prompt, const std::string& defaultText, uint32_t flags,
             uint32_t limit, int32_t x, int32_t y);

  host::Dialog MakeDialog() const;
  // Runs the dialog inside the modal bracket; true when OK ended it, and Result() then holds the
  // text typed. Closing keeps the last result.
  [[nodiscard]] bool Show(const DialogContext& context);

  const std::string& Result() const { return result_; }
  uint32_t Flags() const { return flags_; }

 private:
  std::string prompt_;
  std::string defaultText_;
  std::string result_;
  uint32_t flags_ = 0;
  size_t limit_ = kDataInputMaxBytes;
  int32_t x_ = -1;
  int32_t y_ = -1;
};

}  // namespace bw
