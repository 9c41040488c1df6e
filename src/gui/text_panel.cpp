#include "gui/text_panel.h"

#include <algorithm>
#include <new>

#include "effects/path_tasks.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/text/gdi_text_renderer.h"
#include "graphics/text/outline_text_renderer.h"
#include "gui/part_manager.h"
#include "gui/pointer_tip.h"
#include "host/cp932.h"
#include "platform/timer_service.h"

namespace bw {
namespace {

constexpr uint32_t kGlyphCacheSize = 256;
constexpr int kCaptionBlendMode = 2;
constexpr int kCaptionOpacity = 100;
// Behind the tooltip, which shares the front of the list.
constexpr uint32_t kCaptionPriority = 0;
constexpr uint32_t kCaptionUser = 254;
constexpr size_t kCaptionPointCount = 5;

}  // namespace

TextPanel::TextPanel(const host::GlyphSource& glyphs)
    : first_(std::make_unique<OutlineTextRenderer>(glyphs, kGlyphCacheSize)),
      caption_(std::make_unique<GdiTextRenderer>(glyphs)),
      second_(std::make_unique<OutlineTextRenderer>(glyphs, kGlyphCacheSize)) {}

TextPanel::~TextPanel() {
  Clear();
  if (DisplayObjectList* list = captionSprite_.GetOwnerList()) list->Remove(&captionSprite_);
}

void TextPanel::Setup(TextPanelHost* host, PointerTip* pointer) {
  host_ = host;
  pointer_ = pointer;
  const std::string gothic = host::Cp932Literal("ＭＳ ゴシック");
  const std::string proportional = host::Cp932Literal("ＭＳ Ｐゴシック");
  // Refused, the font in force stays; not made, the renderer has none and draws no text.
  (void)first_->SetFont(14, false, false, gothic.c_str());
  if (pointer_) {
    pointer_->SetTooltipOptions(host_ ? host_->TooltipsOn() : true,
                                host_ ? host_->TooltipDelay() : 500, 0);
    pointer_->SetTooltipFont(first_.get());
  }
  // A yellow caption with a dark edge reads on any scene.
  // Refused, the font in force stays; not made, the renderer has none and draws no text.
  (void)caption_->SetFont(16, false, false, proportional.c_str());
  caption_->SetTextColor(255, 240, 0);
  caption_->SetStyle(kTextEdge);
  // Refused, the font in force stays; not made, the renderer has none and draws no text.
  (void)second_->SetFont(19, false, false, gothic.c_str());
  second_->SetAntialiasLevel(4);
  second_->SetStyle(kTextEdge);
  second_->SetTextColor(255, 255, 255);
  second_->SetDecorationColor(34, 75, 179);
}

void TextPanel::Clear() {
  RemoveCaptionTask();
  scriptTexts_.clear();
  if (pointer_) pointer_->SetTooltipFont(nullptr);
}

void TextPanel::RemoveCaptionTask() {
  // A task that ended on its own is gone already.
  if (captionTask_ && captionTimers_) (void)captionTimers_->RemoveByHandle(captionTask_->Handle());
  captionTask_ = nullptr;
}

TimedTask* TextPanel::GetCaptionTask() const {
  if (!captionTask_ || !captionTimers_ || !captionTimers_->FindByHandle(captionTask_->Handle()))
    return nullptr;
  return captionTask_;
}

void TextPanel::CaptionPoints(int32_t height, int32_t captionHeight, int32_t (&points)[15]) {
  for (size_t i = 0; i < kCaptionPointCount; ++i) {
    const bool last = i + 1 == kCaptionPointCount;
    points[i * 3] = kCaptionX;
    points[i * 3 + 1] = last ? height : height - kCaptionRise - captionHeight;
    points[i * 3 + 2] = last ? 0 : 255;
  }
}

int32_t TextPanel::ShowCaption(const char* text, uint32_t duration) {
  RemoveCaptionTask();
  if (!text) return kCaptionDone;
  if (captionImage_.CreateFromText(text, caption_.get(), 0) != 0) return kCaptionNotRendered;
  TimerService* timers = host_ ? host_->CaptionTimers() : nullptr;
  CompositionLayer* layer = host_ ? host_->CaptionLayer() : nullptr;
  const int32_t height = host_ ? host_->CanvasHeight() : 0;
  // The sprite starts below the canvas's bottom edge, whatever the canvas's size.
  if (captionSprite_.SetImage(&captionImage_, nullptr, kCaptionX, height) != kSpriteDone)
    return kCaptionNotRendered;
  // A GDI caption without smoothing is keyed on its back colour, not drawn with alpha.
  // A mode out of range keeps the one in force.
  (void)captionSprite_.SetDrawMode(captionImage_.GetColorKey() != kNoColorKey ? kLibOpacity
                                                                              : kCaptionBlendMode);
  // The screen may have changed since the last caption: the sprite follows it. Its upper list,
  // where the scenario frame's windows and buttons stand at the front priority, is drawn last:
  // the caption goes in front of all that stand there as it is shown.
  DisplayObjectList* shownIn = captionSprite_.GetOwnerList();
  DisplayObjectList* upper = layer ? layer->GetSecondList() : nullptr;
  DisplayObjectList* list = upper ? upper : layer ? &layer->GetList() : nullptr;
  if (!list || shownIn != list || list == upper) {
    if (shownIn) shownIn->Remove(&captionSprite_);
    captionSprite_.SetAlpha(kCaptionOpacity);
    const int added = !list ? kAddNoObject
                      : list == upper
                          ? list->Add(&captionSprite_, kCaptionPriority, kCaptionUser)
                          : list->AddAfterEqual(&captionSprite_, kCaptionPriority, kCaptionUser);
    if (added != kAddDone) return kCaptionNotRendered;
  }
  captionSprite_.SetVisible(true);

  auto task =
      std::make_unique<MovePathTask>(duration, 0, true, 0.0, kPathMoveTarget, false, false, 0);
  int32_t points[15];
  CaptionPoints(height, captionImage_.GetHeight(), points);
  if (task->SetPoints(kCaptionPointCount, points) != kPathTaskDone) return kCaptionPathRefused;
  const int started = task->StartOnSprite(timers, &captionSprite_);
  if (started == kPathTaskJumpedToEnd) return kCaptionDone;
  if (started != kPathTaskDone) return kCaptionNotStarted;
  captionTask_ = timers->HandOver(std::move(task));
  if (!captionTask_) return kCaptionNotStarted;
  captionTask_->SetOwnerSlot(&captionTask_);
  captionTimers_ = timers;
  if (host_) host_->PlayCaptionSound();
  return kCaptionDone;
}

int32_t TextPanel::MovePointerToPart(UiControl* part, UiControl** outPart, bool wait) {
  if (!part || !pointer_ || !host_) return kPointerNoPart;
  int32_t x = 0, y = 0;
  pointer_->GetPointerPosition(&x, &y);
  // A pointer parked on the canvas's last pixel was put there by the keyboard: keep it there.
  const bool parked = x == host_->CanvasWidth() - 1 && y == host_->CanvasHeight() - 1;
  const int32_t width = part->GetWidth(), height = part->GetHeight();
  if (!parked && part->IsVisible() && width > 0 && height > 0 &&
      host_->StartPointerMove(part->GetX() + width / 2, part->GetY() + height / 2,
                              kPointerMoveMs)) {
    if (outPart) *outPart = part;
    while (wait && host_->PointerMoving()) {
      if (!host_->FrameStep()) return kPointerMoveStopped;
    }
    return kPointerMoveStarted;
  }
  (void)pointer_->SetFocus(part);  // a part the manager does not list leaves the focus where it was
  return kPointerFocusedInstead;
}

int TextPanel::CreateScriptText(ScriptText** out, MessageTextEngine* engine, TimerService* timers,
                                DisplayObjectList* list, const ScriptTextLayout& layout,
                                const uint32_t (&colors)[3], int32_t group) {
  if (out) *out = nullptr;
  std::unique_ptr<ScriptText> text(new (std::nothrow) ScriptText(engine, timers));
  if (!text) return kPartNoMemory;
  TextRenderer* font = secondFont_ ? second_.get() : first_.get();
  int rc = text->Create(list, layout.priority, layout.width, layout.height, layout.x, layout.y,
                        font, nullptr, group);
  if (rc == kWidgetDone)
    rc = text->SetMargins(layout.marginLeft, layout.marginTop, layout.marginRight,
                          layout.marginBottom, false);
  if (rc != kWidgetDone) return rc;
  if (host_) text->SetEnvironment(host_->TextEnvironment());
  if (colors[0] || colors[1] || colors[2]) {
    // The page is made, so the one other answer is that the colour was already so.
    (void)text->SetBackgroundColor(static_cast<int>(colors[0]), colors[1],
                                   static_cast<int>(std::min<uint32_t>(colors[2], 255)), true);
  }
  scriptTexts_.push_back(std::move(text));
  if (out) *out = scriptTexts_.back().get();
  return kWidgetDone;
}

int TextPanel::DeleteScriptText(ScriptText* text) {
  if (!text) return kDeleteNull;
  auto it = std::find_if(scriptTexts_.begin(), scriptTexts_.end(),
                         [text](const auto& t) { return t.get() == text; });
  if (it == scriptTexts_.end()) return kDeleteNotListed;
  scriptTexts_.erase(it);
  return kDeleteDone;
}

}  // namespace bw
