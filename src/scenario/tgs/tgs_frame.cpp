#include "scenario/tgs/tgs_frame.h"

#include <charconv>
#include <climits>
#include <cstdio>

#include "common/byte_reader.h"
#include "common/sjis.h"
#include "scenario/tgs/tgs_builtins.h"
#include "scenario/tgs/tgs_call_record.h"
#include "scenario/tgs/tgs_scene_state.h"
#include "script/script_engine.h"

namespace bw {
namespace {

constexpr size_t kBgLineLimit = 1024;
constexpr size_t kFaceLimit = 31;
constexpr std::string_view kWideSpace = "\x81\x40";

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// The leading decimal number of s (after spaces), as atoi reads it; 0 without one, clamped.
int64_t LeadingNumber(std::string_view s) {
  s = TrimSpaces(s);
  int64_t value = 0;
  const char* end = s.data() + s.size();
  const char* at = s.data();
  if (at != end && *at == '+') ++at;
  auto r = std::from_chars(at, end, value);
  if (r.ec == std::errc::result_out_of_range) return s.starts_with('-') ? INT64_MIN : INT64_MAX;
  return r.ec == std::errc() ? value : 0;
}

}  // namespace

int ParseBackgroundTable(std::string_view text, std::vector<int32_t>& out) {
  out.clear();
  bool lastWasNumber = false;
  std::optional<int32_t> marker;
  while (!text.empty()) {
    size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    line = TrimSpaces(line.substr(0, kBgLineLimit));
    if (line.empty() || line.starts_with("//")) continue;
    if (line.front() == '[') {
      // "[name k]": the number is the last field before the closing bracket.
      std::string_view body = line.substr(1, sjis::Find(line, ']', 1) - 1);
      size_t cut = sjis::FindLastOf(body, " \t,");
      int64_t k = LeadingNumber(cut == sjis::npos ? std::string_view() : body.substr(cut + 1));
      // A section number at or below 0 is refused: its marker -k would read as a plain number.
      if (k <= 0 || k > INT32_MAX) return kBgTableBadSection;
      marker = static_cast<int32_t>(-k);
      out.push_back(*marker);
      lastWasNumber = false;
    } else if (line.front() == '*') {
      if (!marker) return kBgTableRepeatFirst;
      if (lastWasNumber) return kBgTableRepeatAfterNumber;
      out.push_back(*marker);
    } else {
      int64_t n = LeadingNumber(line);
      out.push_back(static_cast<int32_t>(std::clamp<int64_t>(n, INT32_MIN, INT32_MAX)));
      lastWasNumber = true;
    }
  }
  if (out.empty()) return kBgTableEmpty;
  out.push_back(0);
  return 0;
}

int32_t VoicePanForX(int32_t x) {
  if (x < 1) return -5000;
  if (x < 400) return x * 5000 / 400 - 5000;
  if (x < 800) return (5 * x - 2000) * 1000 / 400;
  return 5000;
}

int BuildMessageSummary(std::string_view name, std::string_view text, std::string& out) {
  out.clear();
  if (text.empty()) return kSummaryNoText;
  std::string body;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == 0) {
      // A call record: 0x00 '[' and a size counted from the size field.
      ByteReader r(reinterpret_cast<const uint8_t*>(text.data()) + i, text.size() - i);
      uint8_t zero = 0, open = 0;
      uint32_t size = 0;
      if (!r.u8(zero) || !r.u8(open) || open != '[' || !r.u32le(size) || size < 4 ||
          size > text.size() - i - 2) {
        break;  // a broken record ends what can be read
      }
      i += 2 + size;
      continue;
    }
    size_t n = sjis::CharLength(text, i);
    std::string_view c = text.substr(i, n);
    if (c != kWideSpace) body.append(c);
    i += n;
  }
  if (body.empty()) return kSummaryEmpty;
  if (!name.empty()) {
    out.append("\x81\x79").append(name).append("\x81\x7A").append("\r\n");
  }
  out.append(body);
  return 0;
}

std::string PickFace(std::string_view list, std::string_view userFace,
                     const std::function<bool(std::string_view)>& installed) {
  while (!list.empty()) {
    size_t comma = sjis::Find(list, ',');
    std::string_view name = list.substr(0, comma);
    list = comma == sjis::npos ? std::string_view() : list.substr(comma + 1);
    while (list.starts_with(' ')) list.remove_prefix(1);
    if (name == "user") name = userFace;
    // A longer name would be cut into another face's name; "@" before 31 bytes has no room.
    if (name.empty() || name.size() > kFaceLimit) continue;
    std::string_view bare = name.starts_with('@') ? name.substr(1) : name;
    if (!installed || installed(bare)) return std::string(name);
  }
  return {};
}

TgsStepRoute RouteStepResult(int result, bool endRequest) {
  if (result == -1) return endRequest ? TgsStepRoute::kCaptionRenderEnd : TgsStepRoute::kReturn1;
  if (result == 4) return TgsStepRoute::kRestoreCursor;
  if (result == 2) return TgsStepRoute::kRenderEnd;
  if (result == 1 || result >= 3) return TgsStepRoute::kCaptionRenderEnd;
  return TgsStepRoute::kEnd;
}

TgsFrame::TgsFrame(ScriptEngine* host, ScriptFileSource* files, TgsFrameHost* frameHost)
    : TgsFrameBase(host, files),
      host_(frameHost),
      sound_(frameHost, [this] { return IsSkipping(2) || systemSkip_; }) {
  for (uint32_t i = kTgsFirstBuiltin; i < kTgsBuiltinCount; ++i) {
    TgsRegisterFunction(*this, TgsBuiltinTable()[i]);
  }
  SetOperations(this);
  SetFrameStep([this] { return host_ ? host_->FrameTurn() : 0; });
  buttons_.fill(1);
  // The words as the main script set them now: a later 794 is for the next frame.
  if (host_) std::copy_n(App().config.begin(), config_.size(), config_.begin());
  recordScratch_ = Memory().Allocate(kCallRecordScratch);
  TgsSceneLinks links;
  links.host = host_ ? host_->SceneHost() : nullptr;
  links.turn = [this] { return host_ && Turn(); };
  links.skipping = [this] { return IsSkipping(2) || systemSkip_; };
  links.backgrounds = &backgrounds_;
  scene_ = std::make_unique<TgsScene>(std::move(links));
}

TgsFrame::~TgsFrame() {
  (void)End();  // a frame going away has no caller to tell; End never fails
  EndWindowTasks();
  if (setUp_ && host_) host_->ReleaseWindows();
  Memory().Free(recordScratch_);
}

int TgsFrame::Setup(std::string_view backgroundTable) {
  if (!host_ || !Host()) return kTgsSetupNoHost;
  if (int code = ParseBackgroundTable(backgroundTable, backgrounds_); code != 0) return code;
  font_ = TgsFontState{};
  if (host_->PrepareWindows() != 0) return kTgsSetupWindows;
  // The log takes its size here: a game loaded before any run restores its history into it.
  ApplyTextConfig(false, false, true, false, false);
  setUp_ = true;
  return 0;
}

int TgsFrame::BeginRun(bool resume) {
  if (!setUp_) return kTgsNotSetUp;
  systemSkip_ = autoPlay_ = fastRead_ = false;
  menuDepth_ = 0;
  modalPaused_ = false;
  restoring_ = resume;
  exitCode_ = 0;
  buttons_.fill(1);
  buttons_[2] = 0;
  if (!App().quickSaveAllowed) buttons_[0] = buttons_[3] = 0;
  if (!App().quickLoadAllowed) buttons_[1] = buttons_[4] = 0;
  buttons_[7] = history_.Count() > 1 ? 1 : 0;
  for (int i = 0; i < kTgsButtonCount; ++i) H().SetButtonState(i, buttons_[i]);
  H().ShowButtons(false);
  if (!resume) {
    loadedScene_.reset();
    messageIndex_ = -1;
    messageRead_ = showing_ = false;
    speaker_.clear(), shownName_.clear(), voiceName_.clear(), pendingVoice_.clear();
    disabled_.fill(0);
    placeAlignment_ = 0, placeX_ = 400, placeY_ = 561;
    styleGiven_ = 0;
    windowShown_ = false;
    historyOn_ = true;
    pageChanged_ = true;
    Text().clear();
    ResetFont();
    ApplyTextConfig(true, true, true, false, false);
  } else {
    buttons_[5] = !S().systemSkipReadOnly || IsMessageRead(static_cast<uint32_t>(messageIndex_));
    H().SetButtonState(5, buttons_[5]);
    // The windows are new: they take the user's look and the saved font before the rebuild.
    H().SetMessageLook(S());
    ShowFont();
    ApplyWindowFrame();
    if (RebuildPending() && RebuildScene() < 0) return -1;
  }
  H().SetHitAreaEnabled(true);
  // The buttons were hidden: where the pointer is decides again.
  pointerLow_.reset();
  return 0;
}

int TgsFrame::End() {
  if (!setUp_) return 0;
  // A cursor that was not hidden stays; ending the pending transition cannot fail.
  (void)RestoreCursor();
  (void)scene_->EndPendingTransition();
  EndWindowTasks();
  EndWindowAnimation();
  H().SetWindowVisible(false);
  H().ShowChoiceList(false);
  H().SetHitAreaEnabled(true);
  H().ShowButtons(false);
  choices_.clear();
  choicesPending_ = false;
  windowShown_ = false;
  // Nothing of the scene outlives its scenario: effects, pictures, quakes and the rule.
  scene_->EndScene();
  UnloadAll();
  history_.Clear();
  choiceSerial_.reset();
  return 0;
}

bool TgsFrame::RestoreCursor() {
  if (!cursorHidden_) return false;
  cursorHidden_ = false;
  H().SetCursorVisible(true);
  return true;
}

void TgsFrame::ApplyTextConfig(bool window, bool font, bool history, bool onlyWhenChanged,
                               bool clear) {
  if (onlyWhenChanged && !App().textSettingsChanged) return;
  if (window) ApplyWindowFrame();
  if (history) {
    const uint32_t pages = S().historyCapacity;
    const int32_t capacity = pages == 0 ? 0 : static_cast<int32_t>(std::min(pages, 0xFFFFu) + 1);
    if (capacity != history_.Capacity()) history_.SetCapacity(capacity);
  }
  if (font) {
    H().SetMessageLook(S());
    font_.face = S().face;
    font_.secondFace = S().secondFace;
    ShowFont();
  }
  if (clear) App().textSettingsChanged = 0;
}

// The placement record's style and opacity where a script gave them, else the user's.
void TgsFrame::ApplyWindowFrame() {
  const int kind = (styleGiven_ & kStyleGiven) ? frameStyle_ : S().drawTextFrame;
  const uint8_t alpha = (styleGiven_ & kOpacityGiven) ? frameOpacity_ : S().frameAlpha;
  H().SetWindowFrame(kind, S().frameColor, alpha);
}

int TgsFrame::GetMessageSummary(std::string& out) const {
  return BuildMessageSummary(viewName_, viewText_, out);
}

int TgsFrame::GetMessageMode() const {
  if (showing_) return 2;
  if (systemSkip_) return 3;
  return autoPlay_ ? 1 : 0;
}

void TgsFrame::ResetFont() {
  font_.color = 0xFFFFFF;
  font_.shadow = 0x000000;
  font_.size = 24;
  if (font_.faceChanged) {
    font_.face = S().face;
    font_.secondFace = S().secondFace;
    font_.secondSize = 13;
  }
  font_.changed = font_.faceChanged = false;
  ShowFont();
}

void TgsFrame::ShowFont() {
  H().SetMessageFont(font_);
}

void TgsFrame::BeginBuiltin(uint32_t number) {
  currentBuiltin_ = number;
  if (host_) host_->TraceBuiltin(number);
}

int32_t TgsFrame::CallBuiltinDirect(uint32_t number, std::span<const TgsSlot> slots) {
  if (number < kTgsFirstBuiltin || number >= kTgsBuiltinCount) return 0;
  directMode_ = true;
  const bool collecting = CollectingText();
  SetCollectingText(false);
  TgsBuiltinCall call{*this, *this, slots};
  BeginBuiltin(number);
  int32_t result = TgsBuiltinTable()[number](call);
  SetCollectingText(collecting);
  directMode_ = false;
  if (ScriptEngine* engine = Host()) {
    // Host variable 0 is the engine's own word, always mapped.
    (void)engine->GetMemory().Write32(engine->HostVariableAddress(0),
                                      static_cast<uint32_t>(result));
  }
  return result;
}

int32_t TgsFrame::RunCallRecord(std::span<const uint8_t> record) {
  ByteReader in(record);
  uint32_t number = 0;
  std::vector<TgsSlot> slots;
  if (!recordScratch_ ||
      !TgsReadCallRecord(in, Memory(), recordScratch_, kCallRecordScratch, number, slots)) {
    return kTgsBadCallRecord;
  }
  return CallBuiltinDirect(number, slots);
}

int32_t TgsFrame::RunHistoryCall(std::span<const uint8_t> record, uint32_t historyRgb) {
  const bool outer = historyLayout_;
  const uint32_t outerColor = historyColor_;
  historyLayout_ = true;
  historyColor_ = historyRgb & 0xFFFFFF;
  const int32_t r = RunCallRecord(record);
  historyLayout_ = outer;
  historyColor_ = outerColor;
  return r;
}

uint32_t TgsFrame::GetRevealTime() {
  const TgsUserSettings& s = S();
  if (messageRead_) {
    if (s.fastReadText) {
      fastRead_ = true;
      return 0;
    }
    if (s.readNoWait) return 0;
    return s.readCharMs ? s.readCharMs : 1;
  }
  if (s.unreadNoWait) return 0;
  return s.unreadCharMs ? s.unreadCharMs : 1;
}

bool TgsFrame::IsSkipping(int bits) {
  if (!skipAllowed_) return false;
  if ((bits & 1) && S().clickSkips && (H().LeftClicked() || H().ActionPressed(4))) return true;
  if ((bits & 2) && (S().userSkip || H().SkipModifierDown())) return true;
  return false;
}

int TgsFrame::SetButtonState(int button, int state) {
  if (button < 0 || button >= kTgsButtonCount) return kBadButton;
  buttons_[button] = state;
  H().SetButtonState(button, state);
  return 0;
}

void TgsFrame::ShowSystemButtons(bool show) {
  H().ShowButtons(show);
}

}  // namespace bw
