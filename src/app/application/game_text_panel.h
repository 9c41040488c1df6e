// The game's text panel: the panel over the application's screen, timers, pointer and sound, and
// the save data's view of it.
#pragma once

#include <cstdint>
#include <string>

#include "gui/text_panel.h"
#include "savedata/save_sources.h"

namespace bw {

class GameApp;

class GameTextPanel : public SaveTextPanel, public TextPanelHost, public TypingEnvironment {
 public:
  explicit GameTextPanel(GameApp& app);
  ~GameTextPanel() override;

  // With each script host: its renderers, the pointer tip's tooltips; Clear when it goes.
  void Setup();
  void Clear() { panel_.Clear(); }
  TextPanel& Panel() { return panel_; }

  TextRenderer* Renderer(int which) override;
  [[nodiscard]] int32_t ShowCaption(const std::string& text, uint32_t ms) override;
  [[nodiscard]] int32_t MovePointerToPart(uint32_t part, bool flag, int32_t value) override;

  TimerService* CaptionTimers() override;
  CompositionLayer* CaptionLayer() override;
  int32_t CanvasWidth() override;
  int32_t CanvasHeight() override;
  void PlayCaptionSound() override;
  [[nodiscard]] bool StartPointerMove(int32_t x, int32_t y, uint32_t ms) override;
  [[nodiscard]] bool PointerMoving() override;
  [[nodiscard]] bool FrameStep() override;
  [[nodiscard]] bool TooltipsOn() override;
  [[nodiscard]] uint32_t TooltipDelay() override;
  TypingEnvironment* TextEnvironment() override { return this; }

  TextSpeedSettings GetTextSpeeds() const override;
  bool IsSkipModifierDown() const override;
  bool IsSkipForbidden() const override { return false; }
  uint32_t Now() const override;

 private:
  GameApp& app_;
  TextPanel panel_;
};

}  // namespace bw
