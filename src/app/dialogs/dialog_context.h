// What the application's dialogs need of the application: the owner window, the title, the
// setting that moves the pointer onto the default button, and the modal bracket.
#pragma once

#include <functional>
#include <string>

#include "host/messages.h"

namespace bw {

// The OK button of every template.
constexpr int kIdOk = 1;

struct DialogContext {
  host::HWND owner;      // the main window; null: the desktop
  std::string appTitle;  // CP932
  bool cursorToDefault = false;
  std::function<bool()> isModal;  // unset: never modal
  std::function<void()> beginModal;
  std::function<void()> endModal;
};

// Runs show inside the modal bracket unless the application is modal already.
template <typename F>
auto InModal(const DialogContext& context, F show) {
  bool bracket = !(context.isModal && context.isModal());
  if (bracket && context.beginModal) context.beginModal();
  auto result = show();
  if (bracket && context.endModal) context.endModal();
  return result;
}

}  // namespace bw
