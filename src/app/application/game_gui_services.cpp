#include "app/application/game_gui_services.h"

#include "app/application/game_app.h"
#include "input/mouse.h"
#include "platform/timer_service.h"

namespace bw {

GameGuiServices::GameGuiServices(GameApp& app) : app_(app) {
  tip_.SetServices(this);
  Global<PointerTip>::Set(&tip_);
  Global<PartManager>::Set(&parts_);
}

GameGuiServices::~GameGuiServices() {
  DetachScriptHost();
  if (Global<PartManager>::Get() == &parts_) Global<PartManager>::Clear();
  if (Global<PointerTip>::Get() == &tip_) Global<PointerTip>::Clear();
  tip_.SetServices(nullptr);
}

void GameGuiServices::AttachScriptHost() {
  ScriptHost* host = app_.GetScriptHost();
  tip_.SetSoundPlayer(host ? host->SoundChannels() : nullptr);
  parts_.SetTextInputServices(Global<TimerService>::Get(), &app_.GetEngineInput().Ime());
}

void GameGuiServices::DetachScriptHost() {
  parts_.DeleteAll();
  parts_.DestroyImeIndicator();
  parts_.SetTextInputServices(nullptr, nullptr);
  tip_.RemoveAll();
  tip_.SetSoundPlayer(nullptr);
}

void GameGuiServices::GetPointerPosition(int32_t* x, int32_t* y) {
  const PointerPosition& pointer = app_.GetEngineInput().Pointer();
  *x = pointer.x;
  *y = pointer.y;
}

void GameGuiServices::SetPointerPosition(int32_t x, int32_t y) {
  app_.GetEngineInput().SetCursorPosition(x, y);
}

void GameGuiServices::SetCursorVisible(bool visible) {
  app_.SetCursorVisible(visible);
}

Mouse* GameGuiServices::GetMouse() {
  return app_.GetInputManager().GetMouse();
}

KeyboardDevice* GameGuiServices::GetKeyboard() {
  return app_.GetInputManager().Keyboard();
}

InputBindingTable* GameGuiServices::GetInputBindings() {
  return app_.GetBindings();
}

uint8_t GameGuiServices::PollTextInput(TextInputTarget* target) {
  return app_.GetEngineInput().PollTextInput(target);
}

bool GameGuiServices::SendTextInputMessage(uint32_t value) {
  return app_.GetEngineInput().SendTextInputMessage(value);
}

int32_t GameGuiServices::GetCanvasWidth() {
  return app_.GetRecord().canvasWidth;
}

int32_t GameGuiServices::GetCanvasHeight() {
  return app_.GetRecord().canvasHeight;
}

uint32_t GameGuiServices::Now() {
  return app_.Clock();
}

GuestMemory* GameGuiServices::GetScriptMemory() {
  ScriptHost* host = app_.GetScriptHost();
  return host ? &host->GetMemory() : nullptr;
}

}  // namespace bw
