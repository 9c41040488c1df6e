#include "app/application/tgs_windows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/global.h"
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

const char* const kButtonLabels[] = {
    "クイックセーブ",         "クイックロード", "前の選択肢に戻る", "セーブ",   "ロード",
    "次の選択肢までスキップ", "オートプレイ",   "テキスト履歴",     "環境設定", "ウィンドウを消去",
};

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
      r.SetFont(sizes[i], false, false, gothic.c_str());
      r.SetGradation(true, kGradationTop, kGradationBottom, true);
      continue;
    }
    // The history lays its text out with these: edged, as the window's own text may be.
    if (r.SetFont(sizes[i], false, false, proportional.c_str()) != 0) {
      r.SetFont(sizes[i], false, false, gothic.c_str());
    }
    r.SetStyle(kTextEdge);
    r.SetShadowOffset(2, 2);
  }
}

TgsWindows::~TgsWindows() {
  Release();
}

UiControl* TgsWindows::Button(int i) const {
  return i >= 0 && static_cast<size_t>(i) < buttons_.Count() ? buttons_.GetPart(size_t(i))
                                                             : nullptr;
}

DisplayObjectList* TgsWindows::List() const {
  return place_.list ? place_.list : &place_.layer->GetList();
}

int TgsWindows::PrepareWindows() {
  Release();
  if (!place_.layer || !place_.parts || !place_.pointers || !place_.timers) {
    return kTgsWindowsMissing;
  }
  if (MakeWindows() != 0 || MakeChoiceList() != 0 || MakeButtons() != 0) {
    Release();
    return kTgsWindowsMissing;
  }
  MakeButtonFade();
  prepared_ = true;
  return 0;
}

// Without the keyword the buttons show at once.
void TgsWindows::MakeButtonFade() {
  DcpPluginManager* effects = Global<DcpPluginManager>::Get();
  DisplayEffect* fade = effects ? effects->Create("sp_fade") : nullptr;
  if (!fade) return;
  // One slot per button and one more; never removed by its own updates, no start notice.
  if (fade->Setup(place_.timers, nullptr, {kTgsButtonCount + 1, 0, 0}) != 0) {
    delete fade;
    return;
  }
  buttonFade_ = fade;
}

int TgsWindows::MakeWindows() {
  DisplayObjectList* list = List();
  // A message is fitted to its text, and only a window with frame tiles can be resized: the whole
  // frame picture is the one tile, so the window keeps the picture's size and grows by whole
  // pictures only for a text that does not fit.
  ImageSurface frame;
  if (!LoadPicture(frame, "SYS\\MS_FRM_B.WGX") ||
      !view_.SetFrameSlices(0, 0, frame.GetWidth(), frame.GetHeight()) ||
      view_.SetBackground("SYS\\MS_FRM_B.WGX", "SYS\\MS_FRM_A.WGX", "SYS\\MS_FRM_G.WGX", true) !=
          kWidgetDone ||
      view_.Create(list, kTgsWindowPriority, frame.GetWidth(), frame.GetHeight(), 15, 475,
                   renderers_[0].get(), renderers_[1].get(), 0) != kWidgetDone) {
    return kTgsWindowsMissing;
  }
  view_.SetMargins(13, 13, 13, 13, false);
  // Fitted messages stay where the window was made until a script places it.
  view_.SetPlacement(1, 15, 475, 0, 0, place_.width, place_.height);
  view_.SetIndentChars(host::Cp932Literal("「").c_str());
  view_.SetFrame(this);
  if (name_.SetBackground("SYS\\NM_FRM_B.WGX", "SYS\\NM_FRM_A.WGX", "SYS\\NM_FRM_G.WGX", true) !=
          kWidgetDone ||
      name_.Create(list, kTgsWindowPriority, 0, 0, 15, 425, renderers_[0].get(), nullptr, 0) !=
          kWidgetDone) {
    return kTgsWindowsMissing;
  }
  name_.SetMargins(13, 13, 13, 13, false);
  view_.SetNameBox(&name_, 0);

  // The wait mark's two strips: normal, and the one shown during auto play.
  if (!LoadPicture(markNormal_, "SYS\\MS_CUR0.WGX") ||
      !LoadPicture(markAuto_, "SYS\\MS_CUR1.WGX")) {
    return kTgsWindowsMissing;
  }
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
  mark.background = true;
  if (waitMark_.SetImage(&markNormal_, mark) != kCellDone ||
      view_.SetWaitMark(&waitMark_, place_.timers, true) != kWidgetDone) {
    return kTgsWindowsMissing;
  }

  if (!LoadPicture(barImage_, "SYS\\MS_BAR.WGX") ||
      bar_.SetImage(&barImage_, nullptr, 0, 577) != 0 ||
      list->Add(&bar_, kTgsWindowPriority, 0) != 0) {
    return kTgsWindowsMissing;
  }
  if (hitArea_.Create(0, 0, place_.width, place_.height, -1, -1, true, false, 0) != 0) {
    return kTgsWindowsMissing;
  }
  view_.SetVisible(false);
  name_.SetVisible(false);
  return 0;
}

int TgsWindows::MakeChoiceList() {
  auto choices = std::make_unique<ImageListPart>();
  const char* const files[9] = {"SYS\\MS_SEL_B.WGX", "SYS\\MS_SEL_A.WGX", "SYS\\MS_SEL_G.WGX"};
  if (choices->Setup(List(), kTgsWindowPriority, 46, 200, 0, 0, 10, renderers_[0].get(), 0) != 0 ||
      choices->CreateFromImages(1, false, false, files) != 0) {
    return kTgsWindowsMissing;
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

int TgsWindows::MakeButtons() {
  PartManager& parts = *place_.parts;
  // The buttons go on the windows' layer in their own group, whatever the scripts use.
  const int32_t group = parts.GetDefaultGroup();
  CompositionLayer* target = parts.GetTargetLayer();
  parts.SetDefaultGroup(kTgsButtonGroup);
  parts.SetTarget(place_.layer);
  const bool alt = parts.SetUseAltList(place_.list && place_.list == place_.layer->GetSecondList());
  const int r = buttons_.Load(place_.layer, place_.display, &parts, place_.pointers,
                              "SYS\\MS_FRAME.GMP", 0, 0, false, false);
  parts.SetUseAltList(alt);
  parts.SetDefaultGroup(group);
  if (target) parts.SetTarget(target);
  if (r != 0 || buttons_.Count() < kTgsButtonCount) return kTgsWindowsMissing;
  for (size_t i = 0; i < buttons_.Count(); ++i) {
    UiControl* b = buttons_.GetPart(i);
    if (i < std::size(kButtonLabels))
      b->SetTooltipText(host::Cp932Literal(kButtonLabels[i]).c_str());
    b->SetVisible(false);
  }
  return 0;
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
  if (place_.layer) List()->Remove(&bar_);
  bar_.Reset();
  view_.Destroy();
  name_.Destroy();
  waitMark_.Reset();
  prepared_ = false;
}

void TgsWindows::Tick(uint32_t now) {
  if (!prepared_) return;
  view_.OnTick(now);
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
  view_.SetMessage(message_.data(), message_.size());
  view_.SetName(name.c_str(), nullptr);
}

void TgsWindows::ShowPage() {
  if (prepared_) view_.ShowMessage(true);
}

bool TgsWindows::Typing() {
  const uint8_t s = view_.GetRevealState();
  return prepared_ && (s == kRevealStart || s == kRevealRunning);
}

void TgsWindows::FinishTyping() {
  if (prepared_) view_.StopReveal();
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
  view_.SetAlpha(alpha);
  name_.SetAlpha(alpha);
  if (!withButtons) return;
  for (size_t i = 0; i < buttons_.Count(); ++i) buttons_.GetPart(i)->SetAlpha(alpha);
}

void TgsWindows::SetWaitMarkAuto(bool autoPlay) {
  if (!prepared_ || autoPlay == autoMark_) return;
  autoMark_ = autoPlay;
  waitMark_.SwitchImage(autoPlay ? &markAuto_ : &markNormal_);
}

void TgsWindows::SetButtonState(int button, int state) {
  UiControl* b = Button(button);
  if (!b) return;
  b->SetEnabled(state != 0);
  // The toggles (skip, auto play) show their pressed look while on.
  if (auto* clickable = dynamic_cast<ClickablePart*>(b)) {
    clickable->SetState(state == 0 ? kStateDisabled : state == 2 ? kStatePressed : kStateNormal);
  }
}

void TgsWindows::ShowButtons(bool show) {
  if (buttons_.Count() == 0 || buttons_.GetPart(0)->IsVisible() == show) return;
  // A fade still running ends at its end state before the buttons change again.
  if (buttonFade_) buttonFade_->Command({0});
  for (size_t i = 0; i < buttons_.Count(); ++i) {
    UiControl* b = buttons_.GetPart(i);
    b->SetVisible(show);
    auto* button = dynamic_cast<ButtonPart*>(b);
    if (!show || !buttonFade_ || !button) continue;
    // The task takes the sprite in at the opacity it has.
    button->GetSprite().SetAlpha(0);
    buttonFade_->Command(
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
  for (const TgsChoiceLine& line : lines) {
    if (choices_->AddCell(line.text.c_str(), nullptr, !line.enabled, -1, nullptr, -1, nullptr, 0, 0,
                          0) == 0) {
      ++choiceCount_;
    }
  }
  // The column stands in the middle of the screen.
  choices_->SetPosition((place_.width - choices_->GetWidth()) / 2,
                        (place_.height - choices_->GetHeight()) / 2);
  choices_->SetLocked(false);
  choices_->SetVisible(true);
  place_.pointers->AddControl(choices_.get(), -1);
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
  place_.pointers->Update(clock_ ? clock_() : 0);
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
    r.SetFont(size, bold_[i], false, defaultFace_.c_str());
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
    r.SetGradation(user.fontGradation, kGradationTop, kGradationBottom, true);
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
