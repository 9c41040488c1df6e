// What the GUI parts need of the game application, and the process-wide pointer tip and part
// manager it publishes for the script's natives.
#pragma once

#include <memory>

#include "gui/gui_services.h"
#include "gui/part_manager.h"
#include "gui/pointer_tip.h"

namespace bw {

class GameApp;

class GameGuiServices : public GuiServices {
 public:
  explicit GameGuiServices(GameApp& app);
  ~GameGuiServices() override;
  GameGuiServices(const GameGuiServices&) = delete;
  GameGuiServices& operator=(const GameGuiServices&) = delete;

  // Once the script host exists: its sound channels play the control sounds.
  void AttachScriptHost();
  // Before the script host goes: the parts and the registrations go first.
  void DetachScriptHost();

  PartManager& Parts() { return parts_; }
  PointerTip& Tip() { return tip_; }

  void GetPointerPosition(int32_t* x, int32_t* y) override;
  void SetPointerPosition(int32_t x, int32_t y) override;
  void SetCursorVisible(bool visible) override;
  Mouse* GetMouse() override;
  KeyboardDevice* GetKeyboard() override;
  InputBindingTable* GetInputBindings() override;
  uint8_t PollTextInput(TextInputTarget* target) override;
  [[nodiscard]] bool SendTextInputMessage(uint32_t value) override;
  int32_t GetCanvasWidth() override;
  int32_t GetCanvasHeight() override;
  [[nodiscard]] uint32_t Now() override;
  GuestMemory* GetScriptMemory() override;

 private:
  GameApp& app_;
  PointerTip tip_;
  PartManager parts_;
};

}  // namespace bw
