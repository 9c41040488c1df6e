#include "app/application/scenario_screens.h"

#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "gui/pointer_tip.h"
#include "host/font/glyph_source.h"
#include "natives/sound_helpers.h"
#include "scenario/tgs/tgs_frame.h"

namespace bw {

ScenarioScreens::ScenarioScreens(ScenarioScreensHost& app, DisplayManager& display,
                                 TimerService& effectsTimers, const UserConfig& user)
    : app_(app), display_(display), effectsTimers_(effectsTimers), user_(user) {}

ScenarioScreens::~ScenarioScreens() {
  CloseWindows();
  ClosePages();
}

void ScenarioScreens::CloseWindows() {
  closed_ = true;
  history_.reset();
  menu_.reset();
  windows_.reset();
}

void ScenarioScreens::ClosePages() {
  pages_.reset();
}

void ScenarioScreens::Tick(uint32_t now) {
  if (windows_) windows_->Tick(now);
}

bool ScenarioScreens::PlaceOnScreen(TgsWindowsPlace& place) {
  CanvasLayer* canvas = display_.GetScreenCanvas();
  PartManager* parts = app_.ScreenParts();
  PointerTip* tip = app_.ScreenTip();
  if (!canvas || !canvas->GetCompositionLayer() || !parts || !tip) return false;
  place.layer = canvas->GetCompositionLayer();
  place.list = canvas->AddUpperList();
  place.display = &display_;
  place.parts = parts;
  place.pointers = tip;
  place.timers = &effectsTimers_;
  place.width = canvas->GetWidth();
  place.height = canvas->GetHeight();
  return true;
}

TgsPresentation* ScenarioScreens::Windows() {
  if (closed_) return windows_.get();
  // Windows left on another screen's canvas are made anew on this one, with what uses them.
  CanvasLayer* screen = display_.GetScreenCanvas();
  if (windows_ && (!screen || screen->GetUpperList() != windows_->PlacedList())) {
    history_.reset();
    menu_.reset();
    windows_.reset();
  }
  if (windows_) return windows_.get();
  TgsWindowsPlace place;
  if (!PlaceOnScreen(place)) return nullptr;
  windows_ = std::make_unique<TgsWindows>(host::FreeTypeGlyphSource(), place);
  windows_->SetClock([this] { return app_.Clock(); });
  windows_->SetCallRunner([](std::span<const uint8_t> record) {
    TgsFrame* frame = TheTgsFrame::Get();
    return frame && frame->RunCallRecord(record) != kTgsBadCallRecord ? 0 : kShowFailed;
  });
  windows_->SetChoiceSource([] {
    std::vector<TgsChoiceLine> lines;
    if (TgsFrame* frame = TheTgsFrame::Get()) {
      for (size_t i = 0; i < frame->ChoiceCount(); ++i)
        lines.push_back({frame->ChoiceText(i), frame->ChoiceEnabled(i)});
    }
    return lines;
  });
  return windows_.get();
}

TgsHistoryView* ScenarioScreens::History() {
  if (!history_) {
    Windows();
    if (!windows_) return nullptr;
    history_ =
        std::make_unique<TgsHistoryScreen>(app_, display_, effectsTimers_, windows_->Renderer(2),
                                           windows_->Renderer(3), app_.ScreenTip());
  }
  return history_.get();
}

// Made on first use, as the windows are.
TgsMenuHost* ScenarioScreens::Menu() {
  if (menu_ || closed_) return menu_.get();
  TgsWindowsPlace place;
  if (!PlaceOnScreen(place)) return nullptr;
  menu_ = std::make_unique<TgsMenuParts>(place, [this](uint32_t ms) {
    // A sound that does not play leaves silence; the story goes on.
    if (ScriptHost* host = app_.GetScriptHost()) (void)PlayBgmNumber(*host, 0, ms, false);
  });
  return menu_.get();
}

TgsSceneHost* ScenarioScreens::Pages() {
  if (!pages_) pages_ = std::make_unique<TgsScenePages>(app_, display_, user_);
  return pages_.get();
}

}  // namespace bw
