#include "app/application/tgs_history_screen.h"

#include "app/application/scenario_screens.h"
#include "graphics/device/display_manager.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/text/outline_text_renderer.h"
#include "gui/pointer_manager.h"
#include "input/engine_input.h"
#include "input/mouse.h"
#include "platform/timer_service.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_scene.h"

namespace bw {
namespace {

// The list's text stays clear of the voice boxes' left edge and of the scroll bar.
constexpr int32_t kMarginLeft = 40;
constexpr int32_t kMarginRight = 56;
constexpr int32_t kBarX = 768;
constexpr int32_t kBarY = 8;
constexpr int32_t kBarLength = 584;
constexpr int kMouseLeft = 0;
// A text view placed by its left edge.
constexpr int kAlignLeft = 1;

}  // namespace

TgsHistoryScreen::TgsHistoryScreen(ScenarioScreensHost& app, DisplayManager& display,
                                   TimerService& effectsTimers, OutlineTextRenderer& main,
                                   OutlineTextRenderer& ruby, PointerManager* pointers)
    : app_(app),
      display_(display),
      effectsTimers_(effectsTimers),
      main_(main),
      ruby_(ruby),
      pointers_(pointers) {}

TgsHistoryScreen::~TgsHistoryScreen() {
  Close();
}

DisplayObjectList* TgsHistoryScreen::List() const {
  CanvasLayer* canvas = display_.GetScreenCanvas();
  CompositionLayer* c = canvas ? canvas->GetCompositionLayer() : nullptr;
  if (!c) return nullptr;
  // The scenario's windows lie on the canvas's upper list: the history covers them there.
  DisplayObjectList* upper = canvas->GetUpperList();
  return upper ? upper : &c->GetList();
}

bool TgsHistoryScreen::EnsureView() {
  DisplayObjectList* list = List();
  if (view_ && (sceneLayer_ || view_->GetDisplayList() == list)) return true;
  return MakeView(list);
}

bool TgsHistoryScreen::MakeView(DisplayObjectList* list) {
  view_.reset();
  if (!list) return false;
  auto view = std::make_unique<TextView>();
  if (view->Create(list, kHistoryListPriority, kTgsScreenWidth, kTgsScreenHeight, 0, 0, &main_,
                   &ruby_, 0) != kWidgetDone) {
    return false;
  }
  (void)view->SetMargins(kMarginLeft, 0, kMarginRight, 0, false);  // margins always take
  // Laying text out with a frame places the view: it stays where it was made.
  view->SetPlacement(kAlignLeft, 0, 0, -1, 0, 0, 0);
  view->SetVisible(false);
  view_ = std::move(view);
  return true;
}

int32_t TgsHistoryScreen::LineHeight() {
  return EnsureView() ? view_->GetLineHeight() : 0;
}

int32_t TgsHistoryScreen::MeasureText(std::string_view tokens) {
  if (!EnsureView()) return -1;
  Rect rect;
  view_->SetFrame(this);
  const int lines = view_->MeasureText(tokens, &rect, true, true);
  view_->SetFrame(nullptr);
  return lines > 0 ? rect.Height() : -1;
}

void TgsHistoryScreen::Attach(DisplayObjectList* list) {
  attached_ = list;
  // An object already listed stays where it is.
  (void)list->Add(&dark_, kHistoryDarkPriority, 0);
  for (ColorBoxPart& box : boxes_) {
    // A box that could not be made is in no list and has no size: it shows nothing and takes
    // no click wherever it is placed.
    (void)box.Create(list, kHistoryBoxOrder, kHistoryBoxX, 0, kHistoryBoxWidth, 1, 0,
                     kHistoryBoxHover, kHistoryBoxPressed, 0);
    box.SetVisible(false);
  }
  boxUsed_.fill(false);
  // The bar is drawn from its pictures when the game has them; the list scrolls without it too.
  ReleaseBar();
  barMade_ = total_ > kHistoryPageHeight &&
             bar_.CreateFromImages(list,
                                   {.order = kHistoryBoxOrder,
                                    .x = kBarX,
                                    .y = kBarY,
                                    .thumbFile = "SYS\\TH_BAR.WGX",
                                    .trackFile = "SYS\\TH_BARFR.WGX",
                                    .backFile = "SYS\\TH_UP.WGX",
                                    .forwardFile = "SYS\\TH_DOWN.WGX",
                                    .vertical = true},
                                   0) == kCreateDone &&
             bar_.SetRange(kBarLength, total_, kHistoryPageHeight, position_, 0, 0) == 0;
  if (!barMade_) bar_.Release();
  ListBar();
}

void TgsHistoryScreen::ListBar() {
  if (!barMade_ || !pointers_ || barListed_) return;
  controlsPushed_ = pointers_->PushControls() == kStackDone;
  barListed_ = bar_.AddToPointerManager(pointers_, -1) == kAddControlDone;
}

void TgsHistoryScreen::UnlistBar() {
  if (barListed_) (void)bar_.RemoveFromPointerManager();  // false when it was in no manager
  barListed_ = false;
  // The controls pushed when it opened are there to pop.
  if (controlsPushed_) (void)pointers_->PopControls();
  controlsPushed_ = false;
}

void TgsHistoryScreen::ReleaseBar() {
  UnlistBar();
  if (barMade_) bar_.Release();
  barMade_ = false;
}

// The bar answers the pointer itself: a dragged thumb, a click on the track or an arrow moves the
// list. The wheel and the keys stay the window's, whichever control holds them.
int32_t TgsHistoryScreen::ScrollPosition() {
  if (!barListed_) return position_;
  (void)pointers_->Update(app_.Clock());  // the answer stays in LastResult for whoever asks
  Mouse* mouse = app_.GetMouse();
  const bool pointing =
      mouse && (mouse->IsButtonDown(kMouseLeft) || mouse->IsButtonPressed(kMouseLeft));
  // An empty or unmoved bar has nothing to move.
  if (!pointing) (void)bar_.SetScrollPosition(position_);
  return bar_.GetScrollPos();
}

void TgsHistoryScreen::Detach() {
  if (!attached_) return;
  attached_->Remove(&dark_);
  for (ColorBoxPart& box : boxes_) box.DetachFromTarget();
  attached_ = nullptr;
}

int TgsHistoryScreen::Open(int32_t total, int32_t position) {
  Close();
  DisplayObjectList* list = List();
  if (!list || !EnsureView() ||
      dark_.Create(kTgsScreenWidth, kTgsScreenHeight, kHistoryDarkColor, 0, 0) != 0) {
    return kHistoryScreenMissing;
  }
  total_ = total;
  position_ = position;
  Attach(list);
  hovered_ = pressed_ = -1;
  hidden_ = false;
  open_ = true;
  SetAlpha(0, 0);
  view_->SetVisible(true);
  return 0;
}

void TgsHistoryScreen::BeginPage() {
  if (view_) view_->Home(true);
}

void TgsHistoryScreen::PlainColors(uint32_t rgb) {
  SetTextColor(rgb);
  SetShadowColor(0);
}

void TgsHistoryScreen::SetTextColor(uint32_t rgb) {
  main_.SetTextColor(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
  ruby_.SetTextColor(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
}

void TgsHistoryScreen::SetShadowColor(uint32_t rgb) {
  main_.SetDecorationColor(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
  ruby_.SetDecorationColor(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
}

int TgsHistoryScreen::RunCall(std::span<const uint8_t> record) {
  TgsFrame* frame = TheTgsFrame::Get();
  if (!frame || frame->RunHistoryCall(record, rgb_) == kTgsBadCallRecord) return kShowFailed;
  // A drawing lays the text out once before it draws: the colours are the drawing pass's.
  if (view_ && view_->GetLayoutMode() == kLayoutMeasuring) PlainColors(rgb_);
  return 0;
}

void TgsHistoryScreen::Draw(std::string_view text, int32_t y, uint32_t rgb) {
  (void)main_.SetGradation(false, 0, 0, false);  // turning it off cannot fail
  rgb_ = rgb;
  PlainColors(rgb);
  if (!view_) return;
  // The view runs the text's calls through this screen only while it lays text out: a view that
  // has a frame but no message of its own refuses to be shown.
  view_->SetFrame(this);
  // A call that fails leaves the line drawn up to it.
  (void)view_->DrawTextAt(text, 0, y, true, true);
  view_->SetFrame(nullptr);
}

void TgsHistoryScreen::DrawName(std::string_view name, int32_t y, uint32_t rgb) {
  Draw(name, y, rgb);
}

void TgsHistoryScreen::DrawText(std::string_view tokens, int32_t y, uint32_t rgb) {
  Draw(tokens, y, rgb);
}

void TgsHistoryScreen::DrawChoice(std::string_view text, int32_t y, uint32_t rgb) {
  Draw(text, y, rgb);
}

void TgsHistoryScreen::PlaceVoiceBox(int box, int32_t y, int32_t height) {
  if (box < 0 || box >= kHistoryVoiceBoxes) return;
  ColorBoxPart& b = boxes_[size_t(box)];
  boxUsed_[size_t(box)] = height > 0;
  if (height <= 0) {
    b.SetVisible(false);
    return;
  }
  (void)b.SetPosition(kHistoryBoxX, y);      // moving a part that is made cannot fail
  (void)b.Resize(kHistoryBoxWidth, height);  // one not made takes no size and shows nothing
  (void)b.SetState(kStateNormal);  // a state change only shows another cell and cannot fail
  b.SetVisible(!hidden_);
}

void TgsHistoryScreen::SetScrollPosition(int32_t position) {
  position_ = position;
  // An empty or unmoved bar has nothing to move.
  if (barMade_) (void)bar_.SetScrollPosition(position);
}

void TgsHistoryScreen::SetAlpha(uint8_t alpha, uint8_t darkAlpha) {
  dark_.SetAlpha(darkAlpha);
  if (view_) (void)view_->SetAlpha(alpha);  // the part is made, so its opacity always takes
  if (barMade_) (void)bar_.SetAlpha(alpha);
}

void TgsHistoryScreen::SetHidden(bool hidden) {
  hidden_ = hidden;
  dark_.SetVisible(!hidden);
  if (view_) view_->SetVisible(!hidden);
  for (size_t i = 0; i < boxes_.size(); ++i) boxes_[i].SetVisible(!hidden && boxUsed_[i]);
  if (barMade_) bar_.SetVisible(!hidden);
}

// The boxes follow the pointer themselves: hover while it is over one, pressed while the left
// button is held there, clicked when it is released over the box it was pressed on.
int TgsHistoryScreen::TakeClickedBox() {
  Mouse* mouse = app_.GetMouse();
  const PointerPosition at = app_.PointerInput()->Pointer();
  int over = -1;
  for (int i = 0; i < kHistoryVoiceBoxes && !hidden_; ++i) {
    const ColorBoxPart& b = boxes_[size_t(i)];
    if (boxUsed_[size_t(i)] && at.x >= b.GetX() && at.x < b.GetX() + b.GetWidth() &&
        at.y >= b.GetY() && at.y < b.GetY() + b.GetHeight()) {
      over = i;
      break;
    }
  }
  int clicked = -1;
  const bool down = mouse && mouse->IsButtonDown(kMouseLeft);
  if (mouse && mouse->IsButtonPressed(kMouseLeft)) pressed_ = over;
  if (!down) {
    if (pressed_ >= 0 && pressed_ == over) clicked = over;
    pressed_ = -1;
  }
  // A state change only shows another colour and cannot fail.
  if (over != hovered_ && hovered_ >= 0) (void)boxes_[size_t(hovered_)].SetState(kStateNormal);
  hovered_ = over;
  if (over >= 0)
    (void)boxes_[size_t(over)].SetState(pressed_ == over ? kStatePressed : kStateHover);
  return clicked;
}

void TgsHistoryScreen::MarkBox(int box) {
  if (box >= 0 && box < kHistoryVoiceBoxes) (void)boxes_[size_t(box)].SetState(kStateHover);
}

int32_t TgsHistoryScreen::Wheel() {
  Mouse* mouse = app_.GetMouse();
  if (!mouse) return 0;
  return (mouse->IsButtonPressed(kButtonWheelUp) ? 1 : 0) -
         (mouse->IsButtonPressed(kButtonWheelDown) ? 1 : 0);
}

ImageSurface* TgsHistoryScreen::MakeSceneLayer() {
  if (sceneLayer_) return &scene_;
  DisplayManager& display = display_;
  CanvasLayer* canvas = display.GetScreenCanvas();
  auto layer = std::make_unique<CanvasLayer>();
  if (!canvas || scene_.Create(kTgsScreenWidth, kTgsScreenHeight, 32, kImagePlain) != 0 ||
      layer->Create(kTgsScreenWidth, kTgsScreenHeight, 32, kLayerComposed) != kLayerDone ||
      !layer->GetCompositionLayer()) {
    return nullptr;
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)scene_.Fill(0xFF000000, nullptr);
  CompositionLayer& c = *layer->GetCompositionLayer();
  // A picture without pixels leaves the background as it was.
  (void)c.SetBackgroundImage(&scene_, 0, 0, true);
  // The window moves onto the scene layer; the text view is made anew there.
  Detach();
  (void)MakeView(&c.GetList());  // without a view the window opens empty, as below
  if (view_) view_->SetVisible(!hidden_);
  Attach(&c.GetList());
  effectsTimers_.PauseAll(int32_t(kScreenOverlayKind));
  frameCanvas_ = canvas;
  // A refused canvas leaves the screen as it was.
  (void)display.SetScreenSurface(layer.get());
  sceneLayer_ = std::move(layer);
  return &scene_;
}

void TgsHistoryScreen::SceneDrawn() {
  if (sceneLayer_ && sceneLayer_->GetCompositionLayer()) {
    // A picture without pixels leaves the background as it was.
    (void)sceneLayer_->GetCompositionLayer()->SetBackgroundImage(&scene_, 0, 0, true);
  }
}

void TgsHistoryScreen::Close() {
  if (!open_) return;
  open_ = false;
  if (sceneLayer_) {
    // A refused canvas leaves the screen as it was.
    (void)display_.SetScreenSurface(frameCanvas_);
    effectsTimers_.ResumeAll(int32_t(kScreenOverlayKind));
  }
  Detach();
  for (ColorBoxPart& box : boxes_) box.SetVisible(false);
  ReleaseBar();
  dark_.Reset();
  view_.reset();  // made again on the screen's list when next needed
  sceneLayer_.reset();
  frameCanvas_ = nullptr;
}

bool TgsHistoryScreen::MenuItemEnabled(int item) {
  return app_.MenuItemEnabled(item);
}

void TgsHistoryScreen::EnableMenuItem(int item, bool enabled) {
  (void)app_.SetMenuItemEnabled(item, enabled);  // the screen names known items only
}

}  // namespace bw
