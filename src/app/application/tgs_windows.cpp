#include "app/application/tgs_windows.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "common/global.h"
#include "common/sjis.h"
#include "effects/display_effect.h"
#include "effects/effect_registries.h"
#include "graphics/surface/composition_layer.h"
#include "gui/button_part.h"
#include "gui/image_list_part.h"
#include "gui/part_manager.h"
#include "gui/pointer_tip.h"
#include "host/cp932.h"
#include "platform/timer_service.h"
#include "scenario/tgs/tgs_frame.h"

namespace bw {
namespace {

constexpr int32_t kChoiceId = 20;
constexpr uint32_t kGradationTop = 0xFFEB00;
constexpr uint32_t kGradationBottom = 0xFF4646;
constexpr uint32_t kWaitMarkMs = 100;
constexpr int32_t kWaitMarkCells = 5;
// Sizes of the pieces whose pictures are missing.
constexpr int32_t kWindowWidth = 770, kWindowHeight = 112;
constexpr int32_t kNameWidth = 200, kNameHeight = 48;
constexpr int32_t kPlainChoiceWidth = 400, kPlainChoiceHeight = 40;
constexpr uint32_t kPlainChoiceColor = 0x203050;
constexpr uint8_t kPlainChoiceAlpha = 0xE0;
// The buttons' labels: font heights tried, room kept round the text, and the cells drawn apart.
constexpr int32_t kLabelLargest = 12, kLabelTwoLines = 9, kLabelSmallest = 8, kLabelInset = 4;
constexpr int32_t kPressedCell = 2, kDisabledCell = 3;

// The tooltips name each button in full; the buttons carry the short names, which fit a bar
// button in one line at a size that reads.
const char* const kButtonLabels[] = {
    "クイックセーブ",         "クイックロード", "前の選択肢に戻る", "セーブ",   "ロード",
    "次の選択肢までスキップ", "オートプレイ",   "テキスト履歴",     "環境設定", "ウィンドウを消去",
};
const char* const kButtonShortLabels[] = {
    "Qセーブ", "Qロード", "戻る", "セーブ", "ロード", "スキップ", "オート", "履歴", "設定", "消去",
};
static_assert(std::size(kButtonShortLabels) == std::size(kButtonLabels));

bool LoadPicture(ImageSurface& into, const char* name) {
  return into.Load(name, nullptr, 0, kImageDibSection) == 0 && into.GetPixels();
}

}  // namespace

TgsWindows::TgsWindows(const host::GlyphSource& glyphs, const TgsWindowsPlace& place)
    : place_(place) {
  const std::string gothic = host::Cp932Literal("ＭＳ ゴシック");
  defaultFace_ = gothic;
  const std::string proportional = host::Cp932Literal("ＭＳＰ ゴシック");
  const int32_t sizes[] = {24, 13, 24, 13};
  for (size_t i = 0; i < renderers_.size(); ++i) {
    renderers_[i] = std::make_unique<OutlineTextRenderer>(glyphs, 256);
    OutlineTextRenderer& r = *renderers_[i];
    if (i < 2) {
      // Refused, the font in force stays; not made, the renderer has none and draws no text. A
      // ramp that cannot be had leaves the text plain.
      (void)r.SetFont(sizes[i], false, false, gothic.c_str());
      (void)r.SetGradation(true, kGradationTop, kGradationBottom, true);
      continue;
    }
    // The history lays its text out with these: edged, as the window's own text may be.
    if (r.SetFont(sizes[i], false, false, proportional.c_str()) != 0) {
      // Refused, the font in force stays; not made, the renderer has none and draws no text.
      (void)r.SetFont(sizes[i], false, false, gothic.c_str());
    }
    r.SetStyle(kTextEdge);
    r.SetShadowOffset(2, 2);
  }
  labelFont_ = std::make_unique<OutlineTextRenderer>(glyphs, 256);
  labelFont_->SetStyle(kTextShadow);
  labelFont_->SetShadowOffset(1, 1);
}

TgsWindows::~TgsWindows() {
  Release();
}

UiControl* TgsWindows::Button(int i) const {
  return i >= 0 && static_cast<size_t>(i) < buttons_.Count() ? buttons_.GetPart(size_t(i))
                                                             : nullptr;
}

DisplayObjectList* TgsWindowsPlace::DrawList() const {
  return list ? list : &layer->GetList();
}

bool TgsWindowsPlace::DrawsOnSecondList() const {
  return list && list == layer->GetSecondList();
}

int TgsWindows::PrepareWindows() {
  Release();
  if (!place_.layer || !place_.parts || !place_.pointers || !place_.timers) {
    return kTgsWindowsMissing;
  }
  missing_.clear();
  // A picture that is missing leaves its piece out: the player still reads the scenario.
  if (MakeMessageWindow() != 0 || MakeNameBox() != 0 || MakeChoiceList() != 0) {
    Release();
    return kTgsWindowsMissing;
  }
  MakeWaitMark();
  MakeBar();
  MakeButtons();
  MakeButtonFade();
  // Listed after the buttons: it takes the pointer from whatever lies under the windows.
  (void)hitArea_.SetEnabled(true);                   // false only when the flag was already so
  (void)place_.pointers->AddControl(&hitArea_, -1);  // a part made here belongs to no manager yet
  view_.SetVisible(false);
  name_.SetVisible(false);
  prepared_ = true;
  return 0;
}

bool TgsWindows::Have(ImageSurface& into, const char* name) {
  if (LoadPicture(into, name)) return true;
  missing_.emplace_back(name);
  std::fprintf(stderr, "brimwold: %s is missing; the scenario's windows are drawn without it\n",
               name);
  return false;
}

bool TgsWindows::HaveAll(std::initializer_list<const char*> names) {
  bool all = true;
  for (const char* name : names) {
    ImageSurface probe;
    all = Have(probe, name) && all;
  }
  return all;
}

// Without the keyword the buttons show at once.
void TgsWindows::MakeButtonFade() {
  DcpPluginManager* effects = Global<DcpPluginManager>::Get();
  std::unique_ptr<DisplayEffect> fade(effects ? effects->Create("sp_fade") : nullptr);
  // One slot per button and one more; never removed by its own updates, no start notice.
  if (!fade || fade->Setup(place_.timers, nullptr, {kTgsButtonCount + 1, 0, 0}) != 0) return;
  buttonFade_ = place_.timers->HandOver(std::move(fade));
  // A button deleted by the script ends the task that holds its sprite.
  if (buttonFade_) buttonFade_->SetOwnerSlot(&buttonFade_);
}

int TgsWindows::MakeMessageWindow() {
  // A message is fitted to its text, and only a window with frame tiles can be resized: the whole
  // frame picture is the one tile, so the window keeps the picture's size and grows by whole
  // pictures only for a text that does not fit.
  ImageSurface frame;
  int32_t width = kWindowWidth, height = kWindowHeight;
  if (HaveAll({"SYS\\MS_FRM_B.WGX", "SYS\\MS_FRM_A.WGX", "SYS\\MS_FRM_G.WGX"}) &&
      LoadPicture(frame, "SYS\\MS_FRM_B.WGX")) {
    width = frame.GetWidth(), height = frame.GetHeight();
    if (!view_.SetFrameSlices(0, 0, width, height) ||
        view_.SetBackground("SYS\\MS_FRM_B.WGX", "SYS\\MS_FRM_A.WGX", "SYS\\MS_FRM_G.WGX", true) !=
            kWidgetDone) {
      return kTgsWindowsMissing;
    }
  }
  if (view_.Create(place_.DrawList(), kTgsWindowPriority, width, height, 15, 475,
                   renderers_[0].get(), renderers_[1].get(), 0) != kWidgetDone) {
    return kTgsWindowsMissing;
  }
  (void)view_.SetMargins(13, 13, 13, 13, false);  // margins always take
  // Fitted messages stay where the window was made until a script places it.
  view_.SetPlacement(1, 15, 475, 0, 0, place_.width, place_.height);
  view_.SetIndentChars(host::Cp932Literal("「").c_str());
  view_.SetFrame(this);
  return 0;
}

int TgsWindows::MakeNameBox() {
  int32_t width = 0, height = 0;
  if (HaveAll({"SYS\\NM_FRM_B.WGX", "SYS\\NM_FRM_A.WGX", "SYS\\NM_FRM_G.WGX"})) {
    if (name_.SetBackground("SYS\\NM_FRM_B.WGX", "SYS\\NM_FRM_A.WGX", "SYS\\NM_FRM_G.WGX", true) !=
        kWidgetDone) {
      return kTgsWindowsMissing;
    }
  } else {
    width = kNameWidth, height = kNameHeight;
  }
  if (name_.Create(place_.DrawList(), kTgsWindowPriority, width, height, 15, 425,
                   renderers_[0].get(), nullptr, 0) != kWidgetDone) {
    return kTgsWindowsMissing;
  }
  (void)name_.SetMargins(13, 13, 13, 13, false);  // margins always take
  view_.SetNameBox(&name_, 0);
  return 0;
}

// The wait mark's two strips: normal, and the one shown during auto play.
void TgsWindows::MakeWaitMark() {
  if (!Have(markNormal_, "SYS\\MS_CUR0.WGX")) return;
  if (!Have(markAuto_, "SYS\\MS_CUR1.WGX")) markAuto_.Release();
  CellLayout mark;
  mark.cellCount = kWaitMarkCells;
  mark.interval = kWaitMarkMs;
  mark.targetSurface = &view_.Page();
  mark.x = 735;
  mark.y = 75;
  mark.orderMode = kCellOrderBackAndForth;
  // Drawn, not only restored: the view holds its task paused until the text is out, and a
  // mark that only restored would never be seen.
  mark.drawMode = kCellDraw;
  mark.background = kCellBackgroundBlend;
  if (waitMark_.SetImage(&markNormal_, mark) != kCellDone ||
      view_.SetWaitMark(&waitMark_, place_.timers, true) != kWidgetDone) {
    waitMark_.Reset();
  }
}

void TgsWindows::MakeBar() {
  if (!Have(barImage_, "SYS\\MS_BAR.WGX") || bar_.SetImage(&barImage_, nullptr, 0, 577) != 0 ||
      place_.DrawList()->Add(&bar_, kTgsWindowPriority, 0) != 0) {
    bar_.Reset();
  }
  // Refused only below a pixel, which the window never is.
  (void)hitArea_.Create(0, 0, place_.width, place_.height, -1, -1, true, false, 0);
}

int TgsWindows::MakeChoiceList() {
  auto choices = std::make_unique<ImageListPart>();
  const char* const files[9] = {"SYS\\MS_SEL_B.WGX", "SYS\\MS_SEL_A.WGX", "SYS\\MS_SEL_G.WGX"};
  if (choices->Setup(place_.DrawList(), kTgsWindowPriority, 46, 200, 0, 0, 10, renderers_[0].get(),
                     0) != 0) {
    return kTgsWindowsMissing;
  }
  // Without its pictures the list draws plain cells in the frame's colour.
  if (!HaveAll({files[0], files[1], files[2]}) ||
      choices->CreateFromImages(1, false, false, files) != 0) {
    if (choices->SetSize(kPlainChoiceWidth, kPlainChoiceHeight, 0, 0) != 0)
      return kTgsWindowsMissing;
    // -1 only when the background is already so.
    (void)choices->SetBackground(1, kPlainChoiceColor, kPlainChoiceAlpha);
  }
  choices->SetTextColors(0xFFFFFF, 0x8FDFDF, 0xFFF000, 0x909090);
  choices->SetGradations(0xFFEB00, 0xFF4646, 0x00FFEB, 0x26DD26, 0xFFFF46, 0xFF9292, 0xB0B0B0,
                         0x595959);
  choices->SetFillMode(kFillComplement);
  choices->SetPressedOffset(2, 2);
  choices->SetMargins(8, 8, 8, 8);
  choices->SetTextOffset(5, 5);
  choices->SetId(kChoiceId);
  choices->SetVisible(false);
  choices_ = std::move(choices);
  return 0;
}

void TgsWindows::MakeButtons() {
  PartManager& parts = *place_.parts;
  // The buttons go on the windows' layer in their own group, whatever the scripts use.
  const int32_t group = parts.GetDefaultGroup();
  CompositionLayer* target = parts.GetTargetLayer();
  parts.SetDefaultGroup(kTgsButtonGroup);
  parts.SetTarget(place_.layer);
  const bool alt = parts.SetUseAltList(place_.DrawsOnSecondList());
  const int r = buttons_.Load(place_.layer, place_.display, &parts, place_.pointers,
                              "SYS\\MS_FRAME.GMP", 0, 0, false, false);
  parts.SetUseAltList(alt);
  parts.SetDefaultGroup(group);
  if (target) parts.SetTarget(target);
  if (r != 0) {
    std::fprintf(stderr,
                 "brimwold: SYS\\MS_FRAME.GMP or a picture it names is missing; the scenario runs "
                 "without its system buttons\n");
    missing_.emplace_back("SYS\\MS_FRAME.GMP");
    return;
  }
  for (size_t i = 0; i < buttons_.Count(); ++i) {
    UiControl* b = buttons_.GetPart(i);
    if (i < std::size(kButtonLabels)) {
      b->SetTooltipText(host::Cp932Literal(kButtonLabels[i]).c_str());
      if (auto* button = dynamic_cast<ButtonPart*>(b))
        DrawButtonLabel(*button, host::Cp932Literal(kButtonShortLabels[i]));
    }
    b->SetVisible(false);
  }
}

namespace {

// A label in two lines: broken after the particle nearest its middle, else at the middle.
std::string TwoLines(const std::string& label) {
  static const std::string particles = host::Cp932Literal("のをにでへとは");
  auto isParticle = [&](std::string_view c) {
    for (size_t i = 0; c.size() == 2 && i + 1 < particles.size(); i += 2) {
      if (particles.compare(i, 2, c) == 0) return true;
    }
    return false;
  };
  std::vector<size_t> ends;  // the byte after each character
  for (size_t i = 0; i < label.size(); i = sjis::Next(label, i))
    ends.push_back(sjis::Next(label, i));
  const size_t middle = (ends.size() + 1) / 2;
  auto distance = [&](size_t k) { return k > middle ? k - middle : middle - k; };
  std::optional<size_t> after;  // characters on the first line
  for (size_t k = 1; k < ends.size(); ++k) {
    const size_t start = k > 1 ? ends[k - 2] : 0;
    if (isParticle(std::string_view(label).substr(start, ends[k - 1] - start)) &&
        (!after || distance(k) < distance(*after))) {
      after = k;
    }
  }
  const size_t k = after.value_or(middle);
  const size_t at = k > 0 ? ends[k - 1] : 0;
  return label.substr(0, at) + "\n" + label.substr(at);
}

}  // namespace

// The label goes onto each of the button's own cells (normal, hover, pressed, disabled), in the
// largest font that fits the cell: one line, else two.
void TgsWindows::DrawButtonLabel(ButtonPart& button, const std::string& label) {
  ImageSurface* cells = button.GetCells();
  const int32_t w = button.GetWidth(), h = button.GetHeight();
  if (!cells || !cells->GetPixels() || w <= kLabelInset || h <= kLabelInset) return;
  OutlineTextRenderer& font = *labelFont_;
  std::string text;
  Size size;
  int32_t left = 0, top = 0;
  auto fits = [&](const std::string& candidate, int32_t height) {
    text = candidate;
    // Refused, the font in force stays; not made, the renderer has none and draws no text.
    (void)font.SetFont(height, false, false, defaultFace_.c_str());
    font.MeasureText(text.c_str(), &size, &left, &top, true, nullptr);
    return size.width <= w - kLabelInset && size.height <= h - kLabelInset / 2;
  };
  // One line while it reads well, then two, then one line in the smallest sizes.
  bool fitted = false;
  for (int32_t px = kLabelLargest; px > kLabelTwoLines && !fitted; --px) fitted = fits(label, px);
  // Two lines only at the sizes one line takes: smaller, two lines do not read.
  for (int32_t px = std::min(kLabelLargest, (h - 2) / 2); px > kLabelTwoLines && !fitted; --px)
    fitted = fits(TwoLines(label), px);
  for (int32_t px = kLabelTwoLines; px >= kLabelSmallest && !fitted; --px) fitted = fits(label, px);
  // A button too small for its label keeps its picture; the tooltip still names it.
  if (!fitted) return;
  const int32_t cellCount = cells->GetWidth() / w;
  for (int32_t i = 0; i < cellCount; ++i) {
    const bool disabled = i == kDisabledCell, pressed = i == kPressedCell;
    font.SetTextColor(disabled ? 0x90 : 0xFF, disabled ? 0x90 : 0xFF, disabled ? 0x90 : 0xFF);
    const int32_t x = i * w + (w - size.width) / 2 - left + (pressed ? 1 : 0);
    const int32_t y = (h - size.height) / 2 - top + (pressed ? 1 : 0);
    // Text that cannot be drawn leaves the picture as it was.
    (void)font.DrawText(cells, x, y, text.c_str(), nullptr, nullptr);
  }
  button.GetSprite().SetChanged(true);
}

void TgsWindows::Release() {
  // The task holds the buttons' sprites: it goes first.
  if (buttonFade_) {
    if (!place_.timers->RemoveByHandle(buttonFade_->Handle())) delete buttonFade_;
    buttonFade_ = nullptr;
  }
  if (buttons_.Count() > 0 && place_.parts) place_.parts->DeleteGroup(kTgsButtonGroup, false);
  buttons_.Clear();
  if (choices_) {
    if (place_.pointers) place_.pointers->RemoveControl(choices_.get());
    choices_.reset();
  }
  if (place_.pointers) place_.pointers->RemoveControl(&hitArea_);
  if (place_.layer) place_.DrawList()->Remove(&bar_);
  bar_.Reset();
  view_.Destroy();
  name_.Destroy();
  waitMark_.Reset();
  prepared_ = false;
}

void TgsWindows::Tick(uint32_t now) {
  if (!prepared_) return;
  (void)view_.OnTick(now);  // a tick answers nothing its caller acts on
  if (fadeChosen_ < 0 || !choices_) return;
  const uint64_t elapsed = now - fadeStart_;
  const int alpha =
      elapsed >= kChoiceFadeMs ? 0 : static_cast<int>(255 - elapsed * 255 / kChoiceFadeMs);
  for (int32_t i = 0; i < choiceCount_; ++i) {
    if (i == fadeChosen_) continue;
    // The list hands out its cell sprites read-only; only their opacity changes here.
    if (auto* sprite = const_cast<Sprite*>(choices_->GetCellSprite(i))) sprite->SetAlpha(alpha);
  }
  if (alpha == 0) fadeChosen_ = -1;
}

void TgsWindows::SetMessage(std::string_view text, const std::string& name, uint32_t revealMs) {
  if (!prepared_) return;
  message_.assign(text);
  view_.SetRevealTime(revealMs);
  // Setting the text forgets the name: the name comes after it.
  (void)view_.SetMessage(message_.data(), message_.size());  // empty text leaves the page empty
  view_.SetName(name.c_str(), nullptr);
}

void TgsWindows::ShowPage() {
  if (!prepared_) return;
  // A message that ended at a choice list kept its page's mark: the new page's mark comes at
  // the new text's end, not over it.
  view_.ShowWaitMark(false);
  (void)view_.ShowMessage(true);  // a page that cannot be shown leaves the last one up
}

bool TgsWindows::Typing() {
  const uint8_t s = view_.GetRevealState();
  return prepared_ && (s == kRevealStart || s == kRevealRunning);
}

void TgsWindows::FinishTyping() {
  if (prepared_) (void)view_.StopReveal();  // false only when nothing was being revealed
}

void TgsWindows::NextPage() {
  if (!prepared_) return;
  view_.ShowWaitMark(false);
  view_.Home(true);
}

void TgsWindows::SetWindowVisible(bool visible) {
  if (!prepared_) return;
  view_.SetVisible(visible);
  name_.SetVisible(visible && !view_.GetName().empty());
}

void TgsWindows::PlaceWindow(int32_t alignment, int32_t x, int32_t y) {
  if (prepared_) view_.SetPlacement(alignment, x, y, 0, 0, place_.width, place_.height);
}

void TgsWindows::SetWindowAlpha(uint8_t alpha, bool withButtons) {
  if (!prepared_) return;
  (void)view_.SetAlpha(alpha);  // the part is made, so its opacity always takes
  (void)name_.SetAlpha(alpha);
  if (!withButtons) return;
  for (size_t i = 0; i < buttons_.Count(); ++i) {
    if (UiControl* b = buttons_.GetPart(i)) (void)b->SetAlpha(alpha);
  }
}

void TgsWindows::SetWaitMarkAuto(bool autoPlay) {
  if (!prepared_ || autoPlay == autoMark_ || !markAuto_.GetPixels()) return;
  autoMark_ = autoPlay;
  // A mark without pixels leaves the one shown.
  (void)waitMark_.SwitchImage(autoPlay ? &markAuto_ : &markNormal_);
}

bool TgsWindows::PointerOnControl() {
  const UiControl* hover = place_.pointers ? place_.pointers->GetHover() : nullptr;
  return hover && hover != &hitArea_;
}

void TgsWindows::SetHitAreaEnabled(bool enabled) {
  if (prepared_) (void)hitArea_.SetEnabled(enabled);  // false only when the flag was already so
}

void TgsWindows::SetWindowFrame(int kind, uint32_t rgb, uint8_t alpha) {
  if (!prepared_) return;
  // The page shown keeps its text; the next one is drawn on the new frame.
  // The colour is kept even before a page is drawn.
  (void)view_.SetBackgroundColor(kind, rgb, alpha, false);
  // -1 only when the background is already so.
  if (choices_) (void)choices_->SetBackground(static_cast<uint8_t>(kind), rgb, alpha);
}

void TgsWindows::RelayoutPage() {
  if (!prepared_ || message_.empty()) return;
  const std::string name = view_.GetName();
  view_.SetRevealTime(0);
  (void)view_.SetMessage(message_.data(), message_.size());  // the text is not empty
  view_.SetName(name.c_str(), nullptr);
  (void)view_.ShowMessage(true);  // a page that cannot be shown leaves the last one up
  (void)view_.StopReveal();       // false only when nothing was being revealed
}

bool TgsWindows::ChoicePoint(int32_t& x, int32_t& y) const {
  if (!choices_ || !choices_->IsVisible()) return false;
  for (int32_t i = 0; i < choiceCount_; ++i) {
    const Sprite* cell = choices_->GetCellSprite(i);
    if (!cell || !choiceEnabled_[size_t(i)]) continue;
    x = cell->GetX() + cell->GetWidth() / 2;
    y = cell->GetY() + cell->GetHeight() / 2;
    return true;
  }
  return false;
}

void TgsWindows::SetButtonState(int button, int state) {
  UiControl* b = Button(button);
  if (!b) return;
  (void)b->SetEnabled(state != 0);  // false only when the flag was already so
  // The toggles (skip, auto play) show their pressed look while on.
  if (auto* clickable = dynamic_cast<ClickablePart*>(b)) {
    // A state change only shows another cell and cannot fail.
    (void)clickable->SetState(state == 0   ? kStateDisabled
                              : state == 2 ? kStatePressed
                                           : kStateNormal);
  }
}

void TgsWindows::ShowButtons(bool show) {
  // The script may have deleted some of the buttons: those left show or hide.
  UiControl* first = nullptr;
  for (size_t i = 0; i < buttons_.Count() && !first; ++i) first = buttons_.GetPart(i);
  if (!first || first->IsVisible() == show) return;
  // A fade still running ends at its end state before the buttons change again.
  // An effect that refuses it goes on as it was.
  if (buttonFade_) (void)buttonFade_->Command({0});
  for (size_t i = 0; i < buttons_.Count(); ++i) {
    UiControl* b = buttons_.GetPart(i);
    if (!b) continue;
    b->SetVisible(show);
    auto* button = dynamic_cast<ButtonPart*>(b);
    if (!show || !buttonFade_ || !button) continue;
    // The task takes the sprite in at the opacity it has.
    button->GetSprite().SetAlpha(0);
    // An effect that refuses it goes on as it was.
    (void)buttonFade_->Command(
        {1, ArgWord(i), Word(&button->GetSprite()), ArgWord(kTgsButtonFadeMs), 0, 0});
  }
}

void TgsWindows::ShowChoiceList(bool show) {
  if (!choices_) return;
  fadeChosen_ = -1;
  if (!show) {
    choices_->SetVisible(false);
    place_.pointers->RemoveControl(choices_.get());
    choices_->ReleaseCells();
    choiceCount_ = 0;
    return;
  }
  choices_->ReleaseCells();
  choiceCount_ = 0;
  const std::vector<TgsChoiceLine> lines =
      choiceSource_ ? choiceSource_() : std::vector<TgsChoiceLine>{};
  choiceEnabled_.clear();
  for (const TgsChoiceLine& line : lines) {
    if (choices_->AddCell(line.text.c_str(), nullptr, !line.enabled, -1, nullptr, -1, nullptr, 0, 0,
                          0) == 0) {
      ++choiceCount_;
      choiceEnabled_.push_back(line.enabled);
    }
  }
  // The column stands in the middle of the screen.
  // Moving a part that is made cannot fail.
  (void)choices_->SetPosition((place_.width - choices_->GetWidth()) / 2,
                              (place_.height - choices_->GetHeight()) / 2);
  choices_->SetLocked(false);
  choices_->SetVisible(true);
  // A part made here belongs to no manager yet.
  (void)place_.pointers->AddControl(choices_.get(), -1);
  // The list came under a pointer that may rest: the next update finds what it is over, and a
  // click there takes the choice without a move first. The list follows a message that waits
  // for no click, so no click meant for the text can land on it.
  choices_->ClearPointerGuard();
  place_.pointers->ForgetPointer();
}

void TgsWindows::FadeOtherChoices(int chosen) {
  if (!choices_ || choiceCount_ <= 1) return;
  fadeChosen_ = chosen;
  fadeStart_ = clock_ ? clock_() : 0;
}

// The scenario's waits hold the main script, whose natives step the pointer otherwise: each
// turn steps it here before its last event is taken.
int TgsWindows::TakePointerEvent() {
  if (!place_.pointers) return -1;
  // The answer stays in LastResult for whoever asks.
  (void)place_.pointers->Update(clock_ ? clock_() : 0);
  return place_.pointers->TakeFiredId();
}

void TgsWindows::UseFont(size_t i, int32_t size, const std::string& face) {
  OutlineTextRenderer& r = *renderers_[i];
  const host::LOGFONTA& now = r.GetLogFont();
  const std::string& want = face.empty() ? defaultFace_ : face;
  // A new font empties the glyph cache: only when something differs.
  if (r.HasFont() && now.lfHeight == -std::abs(size) &&
      (now.lfWeight >= host::FW_BOLD) == bold_[i] &&
      std::strncmp(now.lfFaceName, want.c_str(), sizeof now.lfFaceName) == 0) {
    return;
  }
  if (r.SetFont(size, bold_[i], false, want.c_str()) != 0) {
    // Refused, the font in force stays; not made, the renderer has none and draws no text.
    (void)r.SetFont(size, bold_[i], false, defaultFace_.c_str());
  }
}

void TgsWindows::SetMessageLook(const TgsUserSettings& user) {
  bold_ = {user.fontBold, user.rubyBold};
  for (size_t i = 0; i < 2; ++i) {
    OutlineTextRenderer& r = *renderers_[i];
    UseFont(i, std::abs(r.GetLogFont().lfHeight), i == 0 ? user.face : user.secondFace);
    r.SetStyle(std::min<int>(user.fontStyle, kTextEdge));
    r.SetAntialiasLevel(user.fontAntialias * 2);
    r.SetShadowOffset(2, 2);
    // A ramp that cannot be had leaves the text plain.
    (void)r.SetGradation(user.fontGradation, kGradationTop, kGradationBottom, true);
  }
}

void TgsWindows::SetMessageFont(const TgsFontState& font) {
  UseFont(0, font.size, font.face);
  UseFont(1, font.secondSize, font.secondFace);
  for (size_t i = 0; i < 2; ++i) {
    OutlineTextRenderer& r = *renderers_[i];
    r.SetTextColor(uint8_t(font.color >> 16), uint8_t(font.color >> 8), uint8_t(font.color));
    r.SetDecorationColor(uint8_t(font.shadow >> 16), uint8_t(font.shadow >> 8),
                         uint8_t(font.shadow));
  }
}

int TgsWindows::ViewNewLine() {
  return view_.NewLine() ? 1 : 0;
}

int TgsWindows::ViewBeginRuby() {
  return view_.BeginRuby();
}

int TgsWindows::ViewDrawRuby(std::string_view ruby) {
  const std::string text(ruby);
  return view_.DrawRuby(text.c_str(), nullptr);
}

int TgsWindows::RunCall(std::span<const uint8_t> record) {
  return runner_ ? runner_(record) : kShowFailed;
}

// The frame holds its own waits; the mark may start as soon as the text is out.
int TgsWindows::MessageState() const {
  return 0;
}

}  // namespace bw
