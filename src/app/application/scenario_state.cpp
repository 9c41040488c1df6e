#include "app/application/scenario_state.h"

#include "app/dialogs/main_menu.h"

namespace bw {

namespace {

// The scenario frame's word for a full-screen menu standing open.
constexpr uint8_t kFullScreenMenuOpen = 2;
constexpr int kLastDialogKind = 2;

}  // namespace

TgsAppState& ScenarioState::Read() {
  state_.titleAllowed = app_.MenuItemEnabled(kPermissionReturn) ? 1 : 0;
  state_.settingsAllowed = app_.MenuItemEnabled(kPermissionSettings) ? 1 : 0;
  state_.modalOpen = app_.ModalOpen() ? 1 : 0;
  // Opened by the menu keys or by the pointer resting on the top edge.
  state_.fullScreenMenuMode = app_.FullScreenMenuOpen() ? kFullScreenMenuOpen : 0;
  return state_;
}

bool ScenarioState::PostDialog(int kind) {
  if (kind < 0 || kind > kLastDialogKind) return false;
  dialogFrom_ = app_.ModalSessionsEnded();
  if (app_.PostAppCommand(static_cast<uint8_t>(kind), false, 0)) return true;
  dialogFrom_.reset();
  return false;
}

int ScenarioState::PollDialog() {
  if (!dialogFrom_ || app_.ModalSessionsEnded() != *dialogFrom_) {
    dialogFrom_.reset();
    return kTgsDialogEnded;
  }
  return app_.InModalBracket() ? kTgsDialogOpen : kTgsDialogClosed;
}

SaveFrameState* ScenarioState::SaveFrame() {
  return TgsFrameSaveState::Frame() ? &save_ : nullptr;
}

}  // namespace bw
