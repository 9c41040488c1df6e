#include "app/application/game_text_panel.h"

#include "app/application/game_app.h"
#include "app/application/game_gui_services.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/text/outline_text_renderer.h"
#include "host/font/glyph_source.h"
#include "input/skip_modifier.h"
#include "natives/native_helpers.h"
#include "platform/timer_service.h"
#include "scenario/tgs/tgs_frame_host.h"
#include "sound/sound_channel_manager.h"

namespace bw {
namespace {

constexpr int32_t kCaptionSoundChannel = 0;

}  // namespace

GameTextPanel::GameTextPanel(GameApp& app) : app_(app), panel_(host::FreeTypeGlyphSource()) {}

GameTextPanel::~GameTextPanel() {
  panel_.Clear();
}

void GameTextPanel::Setup() {
  panel_.Setup(this, ThePointerTip());
}

TextRenderer* GameTextPanel::Renderer(int which) {
  if (which == 0) return panel_.FirstRenderer();
  return which == 1 ? panel_.SecondRenderer() : nullptr;
}

int32_t GameTextPanel::ShowCaption(const std::string& text, uint32_t ms) {
  return panel_.ShowCaption(text.empty() ? nullptr : text.c_str(), ms);
}

int32_t GameTextPanel::MovePointerToPart(uint32_t part, bool /*flag*/, int32_t value) {
  ScriptHost* host = app_.GetScriptHost();
  UiControl* control =
      host ? host->Handles().Get<UiControl>(part, ScriptObjectType::kGuiPart) : nullptr;
  return panel_.MovePointerToPart(control, nullptr, value != 0);
}

TextSpeedSettings GameTextPanel::GetTextSpeeds() const {
  TextSpeedSettings speeds;
  TgsUserSettings user;
  if (!app_.ReadTgsSettings(user)) return speeds;
  speeds.unreadNoWait = user.unreadNoWait;
  speeds.unreadCharMs = user.unreadCharMs;
  speeds.readNoWait = user.readNoWait;
  speeds.readCharMs = user.readCharMs;
  speeds.skipReadOnly = user.systemSkipReadOnly;
  speeds.fastForwardReadOnly = user.skipKeysReadOnly;
  return speeds;
}

bool GameTextPanel::IsSkipModifierDown() const {
  return bw::IsSkipModifierDown(app_.Keyboard(), app_.SkipWithCtrl());
}

uint32_t GameTextPanel::Now() const {
  return app_.Clock();
}

TimerService* GameTextPanel::CaptionTimers() {
  return &app_.SecondTimers();
}

CompositionLayer* GameTextPanel::CaptionLayer() {
  CanvasLayer* canvas = app_.GetDisplayManager().GetScreenCanvas();
  return canvas ? canvas->GetCompositionLayer() : nullptr;
}

int32_t GameTextPanel::CanvasWidth() {
  return app_.GetRecord().canvasWidth;
}

int32_t GameTextPanel::CanvasHeight() {
  return app_.GetRecord().canvasHeight;
}

void GameTextPanel::PlayCaptionSound() {
  ScriptHost* host = app_.GetScriptHost();
  if (SoundChannelManager* sound = host ? host->SoundChannels() : nullptr)
    // A sound that does not play leaves silence; the story goes on.
    (void)sound->PlayChannel(kCaptionSoundChannel, false);
}

bool GameTextPanel::StartPointerMove(int32_t x, int32_t y, uint32_t ms) {
  TimedTask* task = nullptr;
  return bw::StartPointerMove(&app_, x, y, ms, false, 0, &task) == 0 && task;
}

bool GameTextPanel::PointerMoving() {
  return app_.SecondTimers().FindById(kTaskKindPointerMove) != nullptr;
}

bool GameTextPanel::FrameStep() {
  return app_.TgsFrameTurn() != 0;
}

bool GameTextPanel::TooltipsOn() {
  return app_.GetUserConfig().tooltipsOn != 0;
}

uint32_t GameTextPanel::TooltipDelay() {
  return app_.GetUserConfig().tooltipDelayMs;
}

}  // namespace bw
