#include "app/application/tgs_menu_parts.h"

#include "common/global.h"
#include "effects/effect_registries.h"
#include "effects/sp_fade_effect.h"
#include "graphics/surface/composition_layer.h"
#include "gui/button_part.h"
#include "gui/check_part.h"
#include "gui/part_manager.h"
#include "gui/pointer_tip.h"
#include "platform/timer_service.h"

namespace bw {

void TgsMenuParts::GetPointer(int32_t& x, int32_t& y, int& state) {
  x = y = -1;
  state = 0;
  if (!place_.pointers) return;
  place_.pointers->GetPointerPosition(&x, &y);
  state = place_.pointers->GetCursorState();
}

int TgsMenuParts::Open(int32_t x, int32_t y) {
  Close();
  if (!place_.layer || !place_.parts || !place_.pointers) return kTgsMenuMissing;
  if (baseImage_.Load("SYS\\SM_BASE.WGX", nullptr, 0, kImageDibSection) != 0 ||
      !baseImage_.GetPixels()) {
    baseImage_.Release();
    return kTgsMenuMissing;
  }
  // Only the menu's buttons answer the pointer while it is up.
  pushed_ = place_.pointers->PushControls() == kStackDone;
  PartManager& parts = *place_.parts;
  const int32_t group = parts.GetDefaultGroup();
  CompositionLayer* target = parts.GetTargetLayer();
  parts.SetDefaultGroup(kTgsMenuGroup);
  parts.SetTarget(place_.layer);
  const bool alt = parts.SetUseAltList(place_.DrawsOnSecondList());
  const int r = buttons_.Load(place_.layer, place_.display, &parts, place_.pointers,
                              "SYS\\SM_BG.GMP", 0, 0, false, false);
  parts.SetUseAltList(alt);
  parts.SetDefaultGroup(group);
  if (target) parts.SetTarget(target);
  open_ = true;
  if (r != 0 || buttons_.Count() < size_t(kTgsMenuButtons)) {
    Close();
    return r != 0 ? r : kTgsMenuMissing;
  }
  // A sprite that cannot take the picture keeps the one it had.
  (void)base_.SetImage(&baseImage_, nullptr, x, y);
  base_.SetVisible(false);
  // An object already listed stays where it is.
  (void)place_.DrawList()->Add(&base_, kTgsMenuPriority, 0);
  for (int i = 0; i < kTgsMenuButtons; ++i) {
    UiControl* b = Button(i);
    (void)b->SetPosition(b->GetX() + x, b->GetY() + y);  // moving a part that is made cannot fail
    // The list is set by now, so placing cannot fail.
    (void)b->SetOrder(kTgsMenuPriority + 1 + i, 0, false);
    b->SetVisible(false);
  }
  return 0;
}

UiControl* TgsMenuParts::Button(int i) const {
  return open_ && i >= 0 && size_t(i) < buttons_.Count() ? buttons_.GetPart(size_t(i)) : nullptr;
}

Sprite* TgsMenuParts::PartSprite(int i) const {
  if (i == kTgsMenuButtons) return const_cast<Sprite*>(&base_);
  UiControl* b = Button(i);
  if (auto* button = dynamic_cast<ButtonPart*>(b)) return &button->GetSprite();
  // The check part hands its sprite out read-only; only its opacity and visibility change here.
  if (auto* check = dynamic_cast<CheckPart*>(b)) return const_cast<Sprite*>(&check->GetSprite());
  return nullptr;
}

void TgsMenuParts::SetButton(int button, bool enabled, bool checked, const std::string& tooltip) {
  UiControl* b = Button(button);
  if (!b) return;
  (void)b->SetEnabled(enabled);  // false only when the flag was already so
  // False only when the mark was already so.
  if (auto* check = dynamic_cast<CheckPartBase*>(b)) (void)check->SetChecked(checked);
  if (!tooltip.empty()) b->SetTooltipText(tooltip.c_str());
}

bool TgsMenuParts::ButtonCorner(int button, int32_t& x, int32_t& y) {
  UiControl* b = Button(button);
  if (!b) return false;
  x = b->GetX();
  y = b->GetY();
  return true;
}

void TgsMenuParts::FocusButton(int button) {
  // A part the manager does not list leaves the focus where it was.
  if (UiControl* b = Button(button)) (void)place_.pointers->SetFocus(b);
}

bool TgsMenuParts::MovePointer(int32_t x, int32_t y) {
  if (!place_.pointers) return false;
  place_.pointers->SetPointerPosition(x, y);
  int32_t nowX = -1, nowY = -1;
  place_.pointers->GetPointerPosition(&nowX, &nowY);
  return nowX == x && nowY == y;
}

bool TgsMenuParts::SetMenuFade(bool fade, bool show) {
  if (!open_) return false;
  auto* task = static_cast<SpFadeEffect*>(fade_);
  if (fade && !task) {
    DcpPluginManager* effects = Global<DcpPluginManager>::Get();
    TimerService* timers = Global<TimerService>::Get();
    std::unique_ptr<DisplayEffect> made(effects && timers ? effects->Create("sp_fade") : nullptr);
    // A registered stand-in of another class would not take sprites.
    if (made && std::string_view(made->GetKeyword()) == "sp_fade" &&
        made->Setup(timers, nullptr, {kTgsMenuButtons + 1, 0, 0}) == 0) {
      fade_ = timers->HandOver(std::move(made));
      if (fade_) fade_->SetOwnerSlot(&fade_);
      task = static_cast<SpFadeEffect*>(fade_);
    } else {
      ReleaseEffect(made.release());
    }
  }
  for (int i = 0; i <= kTgsMenuButtons; ++i) {
    Sprite* sprite = PartSprite(i);
    if (fade && task && sprite) {
      if (show) sprite->SetVisible(false);
      // The task has a slot for every part, and the sprite is there: it is taken.
      (void)task->SetTarget(uint32_t(i), sprite, show, kTgsMenuFadeMs, 0, false, 0, 0, 0);
    } else if (i < kTgsMenuButtons) {
      if (UiControl* b = Button(i)) b->SetVisible(show);
    } else {
      base_.SetVisible(show);
    }
  }
  return fade && task;
}

bool TgsMenuParts::FadeRunning() {
  return fade_ && static_cast<SpFadeEffect*>(fade_)->IsRunning();
}

int TgsMenuParts::TakeClickedButton(uint32_t now) {
  if (!open_ || !place_.pointers) return -1;
  (void)place_.pointers->Update(now);  // the answer stays in LastResult for whoever asks
  const int32_t id = place_.pointers->TakeFiredId();
  return id >= 0 && id < kTgsMenuButtons ? id : -1;
}

void TgsMenuParts::Close() {
  if (fade_) {
    // A task that ended on its own is gone already.
    if (TimerService* timers = Global<TimerService>::Get())
      (void)timers->RemoveByHandle(fade_->Handle());
    fade_ = nullptr;
  }
  if (open_ && buttons_.Count() > 0 && place_.parts)
    place_.parts->DeleteGroup(kTgsMenuGroup, false);
  buttons_.Clear();
  if (place_.pointers) {
    place_.pointers->ResetState();
    // The controls pushed when it opened are there to pop.
    if (pushed_) (void)place_.pointers->PopControls();
  }
  pushed_ = false;
  if (place_.layer) place_.DrawList()->Remove(&base_);
  base_.Reset();
  baseImage_.Release();
  open_ = false;
}

}  // namespace bw
