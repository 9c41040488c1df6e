#include "gui/pointer_tip.h"

#include <algorithm>

#include "common/gone_notice.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/text/text_renderer.h"
#include "gui/click_action.h"
#include "gui/gui_services.h"
#include "gui/ui_control.h"
#include "input/mouse.h"
#include "script/guest_memory.h"
#include "sound/sound_channel_manager.h"

namespace bw {

namespace {

struct CursorRow {
  int32_t shape;      // of the system table, when resource is 0
  uint32_t resource;  // the program's own cursor
  int32_t tooltipOffsetY;
};

constexpr int32_t kShapeArrow = 0;
constexpr int32_t kShapeIBeam = 3;
constexpr int32_t kShapeSizeAll = 5;
constexpr int32_t kShapeSizeNorthSouth = 7;

constexpr CursorRow kCursors[kCursorStates] = {
    {kShapeArrow, 0, 20},         {kShapeArrow, kCursorPointingHand, 24},
    {kShapeArrow, 0, 20},         {kShapeSizeAll, 0, 22},
    {kShapeIBeam, 0, 9},          {kShapeArrow, kCursorInverted, 4},
    {kShapeSizeNorthSouth, 0, 22}};

constexpr uint32_t kTooltipFace = 0xD0FFFFE1;
constexpr uint32_t kTooltipBorder = 0xFF445F97;
constexpr uint32_t kTooltipShadow = 0x80000000;
constexpr int32_t kTooltipPadding = 10;
constexpr int32_t kTooltipInk = 3;
constexpr uint32_t kTooltipUser = 255;
constexpr int kBlendAlpha = 2;

}  // namespace

PointerTip::PointerTip() : listenThread_(std::this_thread::get_id()) {
  AddGoneListener(&PointerTip::OnGone, this);
}

PointerTip::~PointerTip() {
  RemoveGoneListener(&PointerTip::OnGone, this);
  if (DisplayObjectList* list = tooltipSprite_.GetOwnerList()) list->Remove(&tooltipSprite_);
}

void PointerTip::OnGone(const void* object, void* self) {
  auto* tip = static_cast<PointerTip*>(self);
  if (std::this_thread::get_id() != tip->listenThread_) return;
  if (tip->tooltipFont_ == object) tip->tooltipFont_ = nullptr;
  if (tip->tooltipLayer_ == object) tip->tooltipLayer_ = nullptr;
}

void PointerTip::OnFired(UiControl* control, int32_t /*value*/) {
  if (control) SetFiredId(control->GetId());
}

int32_t PointerTip::TakeFiredId() {
  int32_t id = firedId_;
  firedId_ = -1;
  return id;
}

void PointerTip::SetTargetLayer(CompositionLayer* layer) {
  if (DisplayObjectList* list = tooltipSprite_.GetOwnerList()) list->Remove(&tooltipSprite_);
  tooltipLayer_ = layer;
}

bool PointerTip::IsOverButton(int32_t x, int32_t y) const {
  for (const UiControl* control : Controls()) {
    int kind = control->GetKind();
    if ((kind == kKindPushButton || kind == kKindCheckButton) && control->HitTest(x, y))
      return true;
  }
  return false;
}

void PointerTip::SetPointerPosition(int32_t x, int32_t y) {
  if (services_) services_->SetPointerPosition(x, y);
}

void PointerTip::GetPointerPosition(int32_t* x, int32_t* y) {
  *x = *y = -1;
  if (services_) services_->GetPointerPosition(x, y);
}

bool PointerTip::SetCursorState(int state) {
  if (state == cursorState_) return true;
  if (state < 0 || state >= kCursorStates) return false;
  const CursorRow& row = kCursors[state];
  if (Mouse* mouse = GetMouse()) {
    // A shape the host lacks keeps the cursor shown; taking the animation away cannot fail.
    (void)mouse->SetCursorShape(row.shape, row.resource);
    if (mouse->HasAnimatedCursor()) (void)mouse->SetAnimatedCursor(nullptr, 0, 0, false, 0, 0);
  }
  cursorState_ = state;
  tooltipOffsetY_ = row.tooltipOffsetY;
  return true;
}

void PointerTip::SetCursorVisible(bool visible) {
  if (services_) services_->SetCursorVisible(visible);
}

void PointerTip::RestartTooltipTimer() {
  StartHoverWait(GetTime());
}

int32_t PointerTip::GetScreenWidth() {
  return services_ ? services_->GetCanvasWidth() : 0;
}

int32_t PointerTip::GetScreenHeight() {
  return services_ ? services_->GetCanvasHeight() : 0;
}

int32_t PointerTip::PlaySound(const char* /*file*/, int32_t soundId, int32_t /*value1*/,
                              int32_t /*value2*/) {
  if (!soundPlayer_) return kSoundNotPlayed;
  if (soundId >= kDefaultClickSound && soundId <= kDefaultLeaveSound) {
    soundId = defaultSounds_[soundId - kDefaultClickSound];
  }
  if (soundId < 0) return kSoundNotPlayed;
  return soundPlayer_->PlayChannel(soundId, false);
}

bool PointerTip::SendTextInputMessage(uint32_t value) {
  return services_ && services_->SendTextInputMessage(value);
}

InputBindingTable* PointerTip::GetInputBindings() {
  return services_ ? services_->GetInputBindings() : nullptr;
}

KeyboardDevice* PointerTip::GetKeyboard() {
  return services_ ? services_->GetKeyboard() : nullptr;
}

Mouse* PointerTip::GetMouse() {
  return services_ ? services_->GetMouse() : nullptr;
}

uint32_t PointerTip::GetTime() {
  return services_ ? services_->Now() : 0;
}

void PointerTip::WriteScriptWord(uint32_t address, int32_t value) {
  GuestMemory* memory = services_ ? services_->GetScriptMemory() : nullptr;
  // A bad address is skipped; it is no fault of the running script step.
  if (!memory || !memory->Valid(address, 4)) return;
  memory->Write32(address, static_cast<uint32_t>(value));
}

void PointerTip::ResetState() {
  firedId_ = -1;
  PointerManager::ResetState();
}

void PointerTip::ShowTooltip(const char* text, int32_t x, int32_t y) {
  if (!tooltipFont_ || !tooltipLayer_ || !text) return;
  Size size;
  int32_t left = 0;
  int32_t top = 0;
  tooltipFont_->MeasureText(text, &size, &left, &top, true, nullptr);
  int32_t w = size.width + kTooltipPadding;
  int32_t h = size.height + kTooltipPadding;
  if (tooltipSurface_.Create(w, h, 32, kImageDibSection) != 0) return;
  auto fill = [this](int32_t l, int32_t t, int32_t r, int32_t b, uint32_t argb) {
    Rect rect{l, t, r, b};
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)tooltipSurface_.Fill(argb, &rect);
  };
  fill(1, 1, w - 5, h - 5, kTooltipFace);
  fill(0, 0, w - 4, 1, kTooltipBorder);
  fill(0, h - 5, w - 4, h - 4, kTooltipBorder);
  fill(0, 1, 1, h - 5, kTooltipBorder);
  fill(w - 5, 1, w - 4, h - 5, kTooltipBorder);
  fill(w - 4, 0, w, 4, 0);
  fill(w - 4, 4, w, h - 4, kTooltipShadow);
  fill(0, h - 4, 4, h, 0);
  fill(4, h - 4, w, h, kTooltipShadow);
  // Text that cannot be drawn leaves the picture as it was.
  (void)tooltipFont_->DrawText(&tooltipSurface_, kTooltipInk - left, kTooltipInk - top, text,
                               nullptr, nullptr);
  if (!tooltipSprite_.GetOwnerList())
    // An object already listed stays where it is.
    (void)tooltipLayer_->GetList().Add(&tooltipSprite_, 0, kTooltipUser);
  PlaceTooltip(x, y);
}

void PointerTip::PlaceTooltip(int32_t x, int32_t y) {
  int32_t bw = tooltipSurface_.GetWidth();
  int32_t bh = tooltipSurface_.GetHeight();
  int32_t layerWidth = 0;
  int32_t layerHeight = 0;
  if (tooltipLayer_ && tooltipLayer_->GetTarget()) {
    layerWidth = tooltipLayer_->GetTarget()->GetWidth();
    layerHeight = tooltipLayer_->GetTarget()->GetHeight();
  }
  int32_t px = x + tooltipOffsetX_;
  int32_t py = y + tooltipOffsetY_;
  if (px + bw > layerWidth) px = layerWidth - bw;
  // No room below: above the pointer.
  if (py + bh > layerHeight) py = y - bh;
  // A sprite that cannot take the picture keeps the one it had.
  (void)tooltipSprite_.SetImage(&tooltipSurface_, nullptr, px, py);
  // A mode out of range keeps the one in force.
  (void)tooltipSprite_.SetDrawMode(kBlendAlpha);
  tooltipSprite_.SetVisible(true);
}

int PointerTip::HideTooltipBox() {
  tooltipSprite_.SetVisible(false);
  return 0;
}

bool PointerTip::PreUpdate(uint32_t now, bool* /*moved*/, int32_t x, int32_t y) {
  if (IsTooltipShown() && tooltipSprite_.GetOwnerList()) PlaceTooltip(x, y);
  // A control may leave the list from its tick.
  std::list<UiControl*> ticking = Controls();
  for (UiControl* control : ticking) {
    const auto& listed = Controls();
    if (std::find(listed.begin(), listed.end(), control) == listed.end()) continue;
    if (control->IsEnabled() && control->IsVisible()) {
      (void)control->OnTick(now);  // a tick answers nothing its caller acts on
    }
  }
  return true;
}

bool PointerTip::PollTextInput(UiControl* focused) {
  if (!services_ || !focused) return false;
  return services_->PollTextInput(focused) != 0;
}

}  // namespace bw
