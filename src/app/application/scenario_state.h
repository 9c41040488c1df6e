// What the scenario frame reads of the application: its state words, brought up to date on every
// read, the dialogs it asks the window thread for, and the running frame as the save data sees it.
#pragma once

#include <cstdint>
#include <optional>

#include "savedata/tgs_frame_save_state.h"
#include "scenario/tgs/tgs_frame_host.h"

namespace bw {

// PollDialog results.
constexpr int kTgsDialogClosed = 0;
constexpr int kTgsDialogOpen = 1;
constexpr int kTgsDialogEnded = 2;

// What the state words follow.
class ScenarioStateHost {
 public:
  virtual ~ScenarioStateHost() = default;
  virtual bool MenuItemEnabled(int item) const = 0;
  // A dialog or the menu bar's menu stands open over the game.
  [[nodiscard]] virtual bool ModalOpen() = 0;
  [[nodiscard]] virtual bool FullScreenMenuOpen() = 0;
  // How many outermost modal sessions have ended, and whether one runs.
  [[nodiscard]] virtual uint32_t ModalSessionsEnded() = 0;
  [[nodiscard]] virtual bool InModalBracket() = 0;
  // The script application's request: settings, save or load dialog (kinds 0 to 2), posted.
  [[nodiscard]] virtual bool PostAppCommand(uint8_t request, bool send, uintptr_t parameter) = 0;
};

class ScenarioState {
 public:
  explicit ScenarioState(ScenarioStateHost& app) : app_(app) {}
  ScenarioState(const ScenarioState&) = delete;
  ScenarioState& operator=(const ScenarioState&) = delete;

  // The words with the permissions and the open menus as they stand now.
  TgsAppState& Read();
  // The words as they were last written, for those who keep a reference to them.
  TgsAppState& Words() { return state_; }
  // Posted, not sent: the window thread opens the dialog while the frame goes on turning, so
  // that the dialog's work finds the frame thread parked between two steps. False for a kind
  // past 2 or a refused request.
  [[nodiscard]] bool PostDialog(int kind);
  // kTgsDialogOpen while the dialog asked for is up, kTgsDialogEnded once its modal session
  // ended (or when none was asked for), else kTgsDialogClosed (not open yet).
  [[nodiscard]] int PollDialog();
  // Null while no frame runs.
  SaveFrameState* SaveFrame();

 private:
  ScenarioStateHost& app_;
  TgsAppState state_;
  std::optional<uint32_t> dialogFrom_;  // the modal sessions ended when one was asked for
  TgsFrameSaveState save_;
};

}  // namespace bw
