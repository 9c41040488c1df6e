// The process-wide pointer manager: the pointer, devices and clock through the application's
// services, the cursor states, the control sounds on the sound channels, the fired id the script
// reads, and the tooltip box drawn on a sprite that follows the pointer.
#pragma once

#include <cstdint>
#include <thread>

#include "common/global.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "gui/pointer_manager.h"

namespace bw {

class CompositionLayer;
class GuiServices;
class SoundChannelManager;
class TextRenderer;
class UiControl;

// PlaySound: nothing to play with, or no such sound.
constexpr int32_t kSoundNotPlayed = -2;

constexpr int kCursorStates = 7;
// The program's own cursors.
constexpr uint32_t kCursorPointingHand = 120;
constexpr uint32_t kCursorInverted = 121;

// Reports a part's firing.
class ControlEventSink {
 public:
  virtual ~ControlEventSink() = default;
  virtual void OnFired(UiControl* control, int32_t value) = 0;
  // A bar asked to step on past its end, or with nothing to scroll.
  virtual void OnScrollEnd(UiControl* /*bar*/) {}
};

class PointerTip : public PointerManager, public ControlEventSink {
 public:
  PointerTip();
  ~PointerTip() override;

  void SetServices(GuiServices* services) { services_ = services; }
  void SetSoundPlayer(SoundChannelManager* player) { soundPlayer_ = player; }
  void SetTooltipFont(TextRenderer* font) { tooltipFont_ = font; }
  void SetTargetLayer(CompositionLayer* layer);
  bool IsOverButton(int32_t x, int32_t y) const;
  int32_t GetFiredId() const { return firedId_; }
  // What the script's read of the fired id does: answer it and forget it.
  int32_t TakeFiredId();
  ControlEventSink* FireSink() { return this; }
  const ImageSurface& TooltipSurface() const { return tooltipSurface_; }
  const Sprite& TooltipSprite() const { return tooltipSprite_; }

  void OnFired(UiControl* control, int32_t value) override;

  void SetPointerPosition(int32_t x, int32_t y) override;
  void GetPointerPosition(int32_t* x, int32_t* y) override;
  [[nodiscard]] bool SetCursorState(int state) override;
  int GetCursorState() const override { return cursorState_; }
  void SetCursorVisible(bool visible) override;
  void RestartTooltipTimer() override;
  int32_t GetScreenWidth() override;
  int32_t GetScreenHeight() override;
  int GetFocusPointerMode() override { return kFocusPointerParks; }
  void ParkPointer() override { SetPointerPosition(GetScreenWidth() - 1, GetScreenHeight() - 1); }
  [[nodiscard]] int32_t PlaySound(const char* file, int32_t soundId, int32_t value1,
                                  int32_t value2) override;
  void SetFiredId(int32_t id) override { firedId_ = id; }
  [[nodiscard]] bool SendTextInputMessage(uint32_t value) override;
  InputBindingTable* GetInputBindings() override;
  KeyboardDevice* GetKeyboard() override;
  Mouse* GetMouse() override;
  uint32_t GetTime() override;
  void WriteScriptWord(uint32_t address, int32_t value) override;
  void ResetState() override;
  void ShowTooltip(const char* text, int32_t x, int32_t y) override;
  [[nodiscard]] int HideTooltipBox() override;
  [[nodiscard]] bool PreUpdate(uint32_t now, bool* moved, int32_t x, int32_t y) override;
  [[nodiscard]] bool PollTextInput(UiControl* focused) override;

 private:
  void PlaceTooltip(int32_t x, int32_t y);
  // The tooltip's font and layer go as they are destroyed; heard on the thread that made the
  // tip.
  static void OnGone(const void* object, void* self);

  GuiServices* services_ = nullptr;
  CompositionLayer* tooltipLayer_ = nullptr;
  TextRenderer* tooltipFont_ = nullptr;
  std::thread::id listenThread_;
  ImageSurface tooltipSurface_;
  Sprite tooltipSprite_;
  int cursorState_ = 0;
  int32_t tooltipOffsetX_ = 0;
  int32_t tooltipOffsetY_ = 22;
  int32_t firedId_ = -1;
  SoundChannelManager* soundPlayer_ = nullptr;
  int32_t defaultSounds_[3] = {-1, -1, -1};  // click, enter, leave: nothing sets them
};

// The one pointer manager the script addresses.
inline PointerTip* ThePointerTip() {
  return Global<PointerTip>::Get();
}

}  // namespace bw
