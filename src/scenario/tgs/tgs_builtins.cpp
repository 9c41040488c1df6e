#include "scenario/tgs/tgs_builtins.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <utility>

#include "common/sjis.h"
#include "resource/images/image_loader_manager.h"
#include "scenario/tgs/tgs_operations.h"
#include "script/guest_memory.h"

namespace bw {
namespace {

// The slots of one call as the rows read them: past the end a slot is (0, 0), not given.
class Args {
 public:
  explicit Args(TgsBuiltinCall& call) : call_(call) {}

  TgsBuiltinCall& Call() { return call_; }
  const TgsSlot& Slot(size_t i) const {
    static constexpr TgsSlot kNotGiven;
    return i < call_.slots.size() ? call_.slots[i] : kNotGiven;
  }
  bool Given(size_t i) const { return Slot(i).flags != 0; }
  // The value even when the flags word is 0: a bare value carries no flags.
  int32_t Int(size_t i) const { return Slot(i).value; }
  int32_t Int(size_t i, int32_t fallback) const { return Given(i) ? Int(i) : fallback; }
  uint8_t Byte(size_t i) const { return static_cast<uint8_t>(Int(i)); }
  bool Flag(size_t i) const { return Int(i) != 0; }

  // A slot without the text flag, or whose address does not read as a bounded text, gives no
  // text; such a read is not the script's fault, so its fault flag is not left raised.
  TgsText Text(size_t i) {
    const TgsSlot& slot = Slot(i);
    if (!(slot.flags & kTgsSlotText) || slot.flags == kTgsSlotOffset) return std::nullopt;
    if (slot.value == 0) return std::string_view();
    GuestMemory& memory = call_.interpreter.Memory();
    bool faultedBefore = memory.Faulted();
    std::string& text = texts_.emplace_back();
    if (!memory.ReadCString(static_cast<uint32_t>(slot.value), text, kTgsTextLimit)) {
      if (!faultedBefore) memory.TakeFault();
      return std::nullopt;
    }
    return std::string_view(text);
  }
  std::string_view TextOrEmpty(size_t i) { return Text(i).value_or(std::string_view()); }

 private:
  TgsBuiltinCall& call_;
  std::deque<std::string> texts_;  // keeps the views handed to operations alive
};

// A wait that belongs to the wait chain. Skippable while a chain runs: the awaited thing is
// finished at once and the chain grows. Otherwise it waits; a skipped wait starts a chain.
template <typename Wait, typename Finish>
int32_t ChainedWait(Args& a, bool skippable, Wait wait, Finish finish) {
  int32_t& chain = a.Call().interpreter.WaitChain();
  if (skippable && chain != 0) {
    finish();
    if (chain < INT32_MAX) ++chain;
    return 0;
  }
  int32_t answer = wait();
  if (answer < 0) return -1;
  chain = answer == 1 ? 1 : 0;
  return 0;
}

// A chained wait (skippable when the flag in skipSlot is set) and the built-in that releases what
// it waits for. Both rows come from one description, so a skipped wait ends the thing exactly as
// the release does.
struct WaitAndRelease {
  size_t skipSlot;
  int32_t (*wait)(Args& a, TgsOperations& o, bool skippable);
  void (*release)(Args& a, TgsOperations& o);
};

int32_t WaitRow(Args& a, TgsOperations& o, const WaitAndRelease& row) {
  bool skippable = a.Flag(row.skipSlot);
  return ChainedWait(
      a, skippable, [&] { return row.wait(a, o, skippable); }, [&] { row.release(a, o); });
}

int32_t ReleaseRow(Args& a, TgsOperations& o, const WaitAndRelease& row) {
  row.release(a, o);
  return 0;
}

constexpr WaitAndRelease kTalkAnimeWait{
    1,
    [](Args& a, TgsOperations& o, bool skippable) { return o.WaitTalkAnime(a.Int(0), skippable); },
    // Releasing what is not there does nothing.
    [](Args& a, TgsOperations& o) { (void)o.ReleaseTalkAnime(a.Int(0)); }};
constexpr WaitAndRelease kLayerEffectWait{
    1,
    [](Args& a, TgsOperations& o, bool skippable) {
      return o.WaitLayerEffect(a.Byte(0), skippable);
    },
    // Releasing what is not there does nothing.
    [](Args& a, TgsOperations& o) { (void)o.StopLayerEffect(a.Byte(0)); }};
constexpr WaitAndRelease kSpriteEffectWait{
    3,
    [](Args& a, TgsOperations& o, bool skippable) {
      return o.WaitSpriteEffect(a.Int(0), skippable, a.Byte(1), a.Int(2));
    },
    // Releasing what is not there does nothing.
    [](Args& a, TgsOperations& o) { (void)o.ReleaseSpriteEffect(a.Int(0), a.Byte(1), a.Int(2)); }};
constexpr WaitAndRelease kTransitionWait{
    0, [](Args&, TgsOperations& o, bool skippable) { return o.WaitTransition(skippable); },
    // Releasing what is not there does nothing.
    [](Args&, TgsOperations& o) { (void)o.EndPendingTransition(); }};
constexpr WaitAndRelease kQuakeWait{
    1, [](Args& a, TgsOperations& o, bool skippable) { return o.WaitQuake(a.Byte(0), skippable); },
    // Releasing what is not there does nothing.
    [](Args& a, TgsOperations& o) { (void)o.ReleaseQuake(a.Byte(0)); }};

// The text-layout built-ins are kept in the collected text while it is collected.
bool KeptInText(Args& a, TgsFunction function) {
  TgsInterpreterContext& interpreter = a.Call().interpreter;
  if (!interpreter.CollectingText()) return false;
  // A record that no longer fits is left out whole; the text keeps what came before.
  (void)interpreter.AppendCallRecord(TgsNumber(function), a.Call().slots);
  return true;
}

// A loaded picture is placed at the position asked, or keeps its place for a negative one.
void PlaceLoadedSprite(TgsOperations& o, int32_t slot, const TgsText& name, int32_t position,
                       uint8_t page, int32_t group) {
  if (!name || name->empty()) return;
  if (position >= 0) {
    // The picture was loaded just before: a failed place leaves it where it was.
    (void)o.PlaceSprite(slot, position, false, page, group);
  } else {
    (void)o.KeepSpritePlace(slot, page, group);
  }
}

// Where one argument of the blur rows comes from.
struct Source {
  enum Kind : uint8_t { kConst, kSlot, kDefault, kFlag };
  Kind kind;
  uint8_t slot;
  int32_t value;
};
constexpr Source C(int32_t value) {
  return {Source::kConst, 0, value};
}
constexpr Source S(uint8_t slot) {
  return {Source::kSlot, slot, 0};
}
constexpr Source D(uint8_t slot, int32_t fallback) {
  return {Source::kDefault, slot, fallback};
}
constexpr Source F(uint8_t slot) {
  return {Source::kFlag, slot, 0};
}

int32_t Take(const Args& a, const Source& s) {
  switch (s.kind) {
    case Source::kSlot:
      return a.Int(s.slot);
    case Source::kDefault:
      return a.Int(s.slot, s.value);
    case Source::kFlag:
      return a.Flag(s.slot) ? 1 : 0;
    case Source::kConst:
      break;
  }
  return s.value;
}

template <size_t N>
struct BlurRow {
  uint8_t pageSlot;
  uint8_t pathSlot;  // path rows only
  std::array<Source, N> values;
  Source readBack, wait, skippable;
};

// bytes: the places of the values that the effect takes as bytes; texts: those it takes as texts
// (their values 0).
template <size_t N>
std::array<int32_t, N> TakeValues(Args& a, const BlurRow<N>& row,
                                  std::initializer_list<size_t> bytes,
                                  std::initializer_list<size_t> texts,
                                  std::array<TgsText, N>& textsOut) {
  std::array<int32_t, N> values{};
  for (size_t i = 0; i < N; ++i) values[i] = Take(a, row.values[i]);
  for (size_t i : bytes) values[i] = static_cast<uint8_t>(values[i]);
  for (size_t i : texts) {
    values[i] = 0;
    if (row.values[i].kind == Source::kSlot) textsOut[i] = a.Text(row.values[i].slot);
  }
  return values;
}

int32_t Blur(Args& a, TgsOperations& o, const BlurRow<15>& row) {
  std::array<TgsText, 15> texts{};
  auto values = TakeValues(a, row, {7, 10, 11, 12, 13}, {2, 3, 4, 5, 8, 9}, texts);
  // A blur that cannot be made leaves the page as it was; the built-in answers 0.
  (void)o.BlurBackground(a.Byte(row.pageSlot), values, texts, Take(a, row.readBack) != 0,
                         Take(a, row.wait) != 0, Take(a, row.skippable) != 0);
  return 0;
}

int32_t BlurPath(Args& a, TgsOperations& o, const BlurRow<10>& row) {
  std::array<TgsText, 10> texts{};
  auto values = TakeValues(a, row, {0, 2, 5, 6, 7, 8}, {3, 4}, texts);
  // A blur that cannot be made leaves the page as it was; the built-in answers 0.
  (void)o.BlurBackgroundPath(a.Byte(row.pageSlot), a.Text(row.pathSlot), values, texts,
                             Take(a, row.readBack) != 0, Take(a, row.wait) != 0,
                             Take(a, row.skippable) != 0);
  return 0;
}

// Row<F> is built-in F; the table calls them through Entry<N>. Every row answers 0 unless it
// says otherwise: what its operations answer goes no further, hence their (void).
template <TgsFunction F>
int32_t Row(Args& a, TgsOperations& o);

#define BW_ROW(id) \
  template <>      \
  int32_t Row<TgsFunction::k##id>([[maybe_unused]] Args & a, [[maybe_unused]] TgsOperations & o)

// Runs built-in N on the slots from slot first onward (the composite rows end so).
template <TgsFunction N>
int32_t RowFrom(Args& a, TgsOperations& o, size_t first) {
  TgsBuiltinCall& call = a.Call();
  TgsBuiltinCall tail{call.interpreter, call.operations,
                      call.slots.subspan(std::min(first, call.slots.size()))};
  Args rest(tail);
  return Row<N>(rest, o);
}

// Message output and waits.
BW_ROW(MessageBegin) {
  (void)o.BeginMessage(a.Int(0));
  return 0;
}
BW_ROW(ChoiceShow) {
  std::array<std::string_view, 8> choices;
  size_t count = 0;
  while (count < choices.size() && a.Given(count + 1)) {
    choices[count] = a.TextOrEmpty(count + 1);
    ++count;
  }
  return o.ShowChoices({choices.data(), count}, a.Int(9));
}
BW_ROW(TextNewLine) {
  if (!KeptInText(a, TgsFunction::kTextNewLine)) (void)o.TextNewLine();
  return 0;
}
BW_ROW(MessageWait) {
  return o.MessageWait();
}
BW_ROW(ChoiceWait) {
  return o.ChoiceWait();
}
BW_ROW(SetSpeakerName) {
  (void)o.SetSpeakerName(a.Text(0));
  return 0;
}
BW_ROW(DisableChoice) {
  // The flags hold five choices; any other index would land past them.
  if (a.Int(0) >= 0 && a.Int(0) <= 4) (void)o.DisableChoice(a.Byte(0));
  return 0;
}
BW_ROW(WaitTime) {
  if (o.RestoringGame()) return 0;
  return ChainedWait(
      a, true, [&] { return o.WaitTimeSkippable(a.Int(0), true); }, [] {});
}
BW_ROW(WaitTimeFixed) {
  if (o.RestoringGame()) return 0;
  return o.WaitTimeFixed(a.Int(0)) < 0 ? -1 : 0;
}
BW_ROW(SelectMessageWindow) {
  (void)o.SelectMessageWindow(a.Int(0));
  return 0;
}
BW_ROW(SetMessageWindowPlace) {
  // The frame's style and opacity act only when given.
  (void)o.SetMessageWindowPlace(a.Int(0), a.Int(1), a.Int(2), a.Int(3, -1), a.Int(4, -1), a.Int(5));
  return 0;
}
BW_ROW(SetFaceWindowPlace) {
  (void)o.SetFaceWindowPlace(a.Int(0), a.Int(1), a.Int(2), a.Int(3));
  return 0;
}
BW_ROW(SetNameAndVoice) {
  (void)o.SetNameAndVoice(a.Text(0), a.Text(1));
  return 0;
}
BW_ROW(RubyBegin) {
  if (!KeptInText(a, TgsFunction::kRubyBegin)) (void)o.BeginRuby();
  return 0;
}
BW_ROW(RubyText) {
  if (!KeptInText(a, TgsFunction::kRubyText)) (void)o.DrawRuby(a.Text(0));
  return 0;
}
BW_ROW(TextFont) {
  if (KeptInText(a, TgsFunction::kTextFont)) return 0;
  auto given = [&](size_t i) {
    return a.Given(i) ? std::optional<int32_t>(a.Int(i)) : std::nullopt;
  };
  std::optional<int32_t> size = given(0);
  if (size && *size < 1) size = 24;
  (void)o.SetTextFont(size, given(1), given(2), a.Given(3) ? a.Text(3) : std::nullopt);
  return 0;
}
BW_ROW(ShowMessageWindow) {
  (void)o.ShowMessageWindow(a.Flag(0), a.Int(1));
  return 0;
}
BW_ROW(CloseMessageWindow) {
  (void)o.CloseMessageWindow(a.Int(0));
  return 0;
}
BW_ROW(MessageTalk) {
  return o.MessageTalk(a.Int(0), a.Int(1, 500), a.Text(2), a.Flag(3));
}
BW_ROW(TalkAnime) {
  (void)o.TalkAnime(a.Int(0), a.Text(1));
  return 0;
}
BW_ROW(WaitTalkAnime) {
  return WaitRow(a, o, kTalkAnimeWait);
}
BW_ROW(StopTalkAnime) {
  return ReleaseRow(a, o, kTalkAnimeWait);
}

// Scene layers.
BW_ROW(BgLoad) {
  (void)o.LoadBackground(a.Text(0), a.Byte(1));
  return 0;
}
BW_ROW(BgColor) {
  (void)o.ClearBackgroundToColor(a.Int(0), a.Byte(1));
  return 0;
}
BW_ROW(BgLayerColor) {
  (void)o.SetLayerColor(a.Int(0), a.Byte(1));
  return 0;
}
BW_ROW(BgTone) {
  (void)o.SetBackgroundTone(a.Byte(0), a.Flag(1), a.Flag(2), a.Flag(3), a.Byte(4));
  return 0;
}
BW_ROW(BgFilter) {
  (void)o.SetBackgroundFilter(a.Int(0), a.Byte(1));
  return 0;
}
BW_ROW(BgOffset) {
  (void)o.SetBackgroundOffset(a.Int(0), a.Int(1), a.Byte(2));
  return 0;
}
BW_ROW(BgCaptureOn) {
  (void)o.CaptureBackground(true, a.Byte(0), a.Flag(1));
  return 0;
}
BW_ROW(BgCaptureOff) {
  (void)o.CaptureBackground(false, a.Byte(0), false);
  return 0;
}
BW_ROW(BgView) {
  (void)o.SetBackgroundView(a.Int(0), a.Int(1), a.Int(2), a.Int(3), a.Byte(4));
  return 0;
}
BW_ROW(BgZoomNow) {
  (void)o.SetBackgroundZoomNow(a.Int(1, 400), a.Int(2, 300), a.Text(0), a.Byte(3));
  return 0;
}
BW_ROW(BgRotate) {
  (void)o.RotateBackground(a.Int(0), a.Text(1), a.Int(2), a.Int(3), a.Byte(4));
  return 0;
}

// Layer and screen effects.
BW_ROW(BgZoom) {
  (void)o.ZoomBackground(a.Byte(5), a.Int(1, 400), a.Int(2, 300), a.Text(0), a.Text(4),
                         a.Int(3, 1000));
  return 0;
}
BW_ROW(BgRot) {
  (void)o.RotateBackgroundEffect(a.Byte(6), a.Int(0), a.Text(1), a.Int(2), a.Int(3), a.Text(5),
                                 a.Int(4, 1000));
  return 0;
}
BW_ROW(BgPanime) {
  (void)o.AnimateBackgroundPath(a.Byte(5), a.Text(0), a.Int(1, 1000), a.Flag(2), a.Flag(3),
                                a.Flag(4), a.Int(6));
  return 0;
}
BW_ROW(BgPanimeControl) {
  (void)o.EndBackgroundPath(a.Text(0), a.Byte(1));
  return 0;
}
BW_ROW(BgBlur50) {
  static constexpr BlurRow<15> kRow{10,
                                    0,
                                    {D(0, 400), D(1, 300), S(2), S(3), S(4), S(5), D(6, 1000), S(7),
                                     S(8), C(0), C(0), C(0), C(0), S(9), C(0)},
                                    C(1),
                                    C(0),
                                    C(1)};
  return Blur(a, o, kRow);
}
BW_ROW(BgBlurPath51) {
  static constexpr BlurRow<10> kRow{
      6, 0, {F(1), D(2, 1000), S(3), S(4), C(0), C(0), C(0), C(0), S(5), C(0)}, C(1), C(0), C(1)};
  return BlurPath(a, o, kRow);
}
BW_ROW(BgBlur52) {
  static constexpr BlurRow<15> kRow{13,
                                    0,
                                    {D(0, 400), D(1, 300), S(2), S(3), S(4), S(5), D(6, 1000), S(7),
                                     S(8), C(0), F(9), F(10), C(1), S(11), S(12)},
                                    C(0),
                                    F(14),
                                    F(15)};
  return Blur(a, o, kRow);
}
BW_ROW(BgBlur53) {
  static constexpr BlurRow<15> kRow{14,
                                    0,
                                    {D(1, 400), D(2, 300), S(3), S(4), S(5), S(6), D(7, 1000), S(8),
                                     S(9), S(0), F(10), F(11), C(1), S(12), S(13)},
                                    C(0),
                                    F(15),
                                    F(16)};
  return Blur(a, o, kRow);
}
BW_ROW(BgBlurPath54) {
  static constexpr BlurRow<10> kRow{
      9, 0, {F(1), D(2, 1000), S(3), S(4), C(0), F(5), F(6), C(1), S(7), S(8)}, C(0), F(10), F(11)};
  return BlurPath(a, o, kRow);
}
BW_ROW(BgBlurPath55) {
  static constexpr BlurRow<10> kRow{
      10,   1,     {F(2), D(3, 1000), S(4), S(5), S(0), F(6), F(7), C(1), S(8), S(9)},
      C(0), F(11), F(12)};
  return BlurPath(a, o, kRow);
}
BW_ROW(BgEffectPoint) {
  (void)o.SetBackgroundBlurNow(a.Byte(4), a.Int(0, 400), a.Int(1, 300), a.Int(2), a.Int(3));
  return 0;
}
BW_ROW(WaitBgEffect) {
  return WaitRow(a, o, kLayerEffectWait);
}
BW_ROW(StopBgEffect) {
  return ReleaseRow(a, o, kLayerEffectWait);
}
BW_ROW(ScreenNoise) {
  (void)o.ScreenNoise(a.Int(0), a.Byte(1), a.Flag(2), a.Flag(3));
  return 0;
}
BW_ROW(BgRaster) {
  (void)o.WaveBackground(a.Byte(4), a.Int(0), a.Int(1), a.Int(2), a.Int(3), a.Int(5), a.Int(6),
                         a.Int(7), a.Flag(8));
  return 0;
}
BW_ROW(BgLoop) {
  (void)o.LoopScrollBackground(a.Byte(3), a.Byte(0), a.Int(1), a.Int(2));
  return 0;
}
BW_ROW(SpriteMovie) {
  (void)o.SpriteMovie(a.Text(0), a.Int(1), a.Byte(2), a.Flag(3), a.Int(4), a.Int(5), a.Int(6));
  return 0;
}
BW_ROW(SpriteParts) {
  (void)o.SpriteParts(a.Text(0), a.Int(1), a.Byte(2), a.Int(3), a.Flag(4), a.Flag(5), a.Flag(6));
  return 0;
}
BW_ROW(BgCross) {
  (void)o.CrossFadeLayer(a.Int(0, 2000), a.Int(1), a.Byte(2), a.Byte(3));
  return 0;
}
BW_ROW(ScreenEffect) {
  (void)o.ScreenWeather(a.Int(0), a.Int(1), a.Int(2), a.Flag(3), a.Text(4), a.Flag(5), a.Flag(6));
  return 0;
}
BW_ROW(ScreenEffectArgs) {
  (void)o.SetScreenEffectArgs(a.Int(0), a.Flag(1), a.Flag(2));
  return 0;
}
BW_ROW(ScreenEffectEnd) {
  (void)o.StopScreenEffect(a.Int(0), a.Int(1), a.Int(2));
  return 0;
}
BW_ROW(WaitScreenEffect) {
  int32_t slot = a.Int(0);
  auto stop = [&] { (void)o.StopScreenEffect(slot, 1, 0); };
  // Only slots 0-2 have a handle to wait on.
  if (slot < 0 || slot > 2) {
    stop();
    return 0;
  }
  return ChainedWait(
      a, a.Flag(1), [&] { return o.WaitScreenEffect(slot, a.Flag(1)); }, stop);
}
BW_ROW(BgAnime) {
  (void)o.LoadBackgroundAnime(a.Text(0), a.Int(1), 0, a.Byte(2));
  return 0;
}
BW_ROW(BgMovie) {
  (void)o.LoadBackgroundMovie(a.Text(0), a.Byte(2), a.Byte(1));
  return 0;
}
BW_ROW(BgAnimeOff) {
  (void)o.LoadBackgroundAnime(std::nullopt, 0, 0, a.Byte(0));
  return 0;
}
BW_ROW(BgAnimeStop) {
  (void)o.ControlBackgroundAnime(a.Byte(0), 1);
  return 0;
}
BW_ROW(WaitBgAnime) {
  (void)o.WaitBackgroundAnime(a.Byte(0));
  return 0;
}
BW_ROW(BgAnimeResume) {
  (void)o.ControlBackgroundAnime(a.Byte(0), 5);
  return 0;
}
BW_ROW(WaitBgAnimeEnd) {
  return ChainedWait(
      a, a.Flag(1), [&] { return o.WaitBackgroundAnimeEnd(a.Byte(0), a.Flag(1)); },
      [&] { (void)o.ControlBackgroundAnime(a.Byte(0), 4); });
}
BW_ROW(SetFrameOption) {
  (void)o.SetSpriteTint(a.Flag(0));
  return 0;
}

// Standing pictures.
BW_ROW(SpriteLoad) {
  TgsText name = a.Text(1);
  (void)o.LoadSprite(a.Int(0), name, a.Byte(3), a.Int(5), a.Flag(4));
  PlaceLoadedSprite(o, a.Int(0), name, a.Int(2), a.Byte(3), a.Int(5));
  return 0;
}
BW_ROW(SpriteTone) {
  (void)o.SetSpriteTone(a.Int(0), a.Byte(1), a.Flag(2), a.Flag(3), a.Byte(4), a.Int(5));
  return 0;
}
BW_ROW(SpriteFilter) {
  (void)o.SetSpriteFilter(a.Int(0), a.Int(1), a.Byte(2), a.Int(3));
  return 0;
}
BW_ROW(SpritePlace) {
  (void)o.PlaceSprite(a.Int(0), a.Int(1), a.Flag(2), a.Byte(3), a.Int(4));
  return 0;
}
BW_ROW(SpriteMove) {
  (void)o.MoveSprite(a.Int(0), a.Int(1), a.Int(2), a.Byte(3), a.Int(4));
  return 0;
}
BW_ROW(SpriteBack) {
  (void)o.SpriteToBack(a.Int(0), a.Byte(1), a.Int(2), true);
  return 0;
}
BW_ROW(SpriteFront) {
  (void)o.SpriteToFront(a.Int(0), a.Byte(1), a.Int(2), true);
  return 0;
}
BW_ROW(SpriteClear) {
  (void)o.ClearSprites(a.Byte(0), a.Int(1));
  return 0;
}
BW_ROW(SpriteCrossFade) {
  (void)o.CrossFadeSprite(a.Int(0), a.Text(1), a.Int(2), a.Int(3, 300), a.Flag(4), a.Byte(5),
                          a.Int(6));
  return 0;
}
BW_ROW(SpritePanime) {
  (void)o.AnimateSpritePath(a.Int(0), a.Text(1), a.Int(2, 500), a.Byte(3), a.Int(4), a.Flag(5));
  return 0;
}
BW_ROW(SpritePanimeControl) {
  (void)o.EndSpritePath(a.Int(0), a.Text(1), a.Byte(2), a.Int(3));
  return 0;
}
BW_ROW(SpriteChange) {
  (void)o.ChangeSprite(a.Int(0), a.Text(1), a.Text(2), a.Byte(3), a.Int(4, 500), a.Flag(5),
                       a.Int(6), a.Byte(7), a.Int(8));
  return 0;
}
BW_ROW(SpriteCharacterParts) {
  (void)o.AnimateCharacterParts(a.Int(0), a.Int(1), a.Byte(3), a.Int(4), a.Flag(2));
  return 0;
}
BW_ROW(WaitSpriteEffect) {
  return WaitRow(a, o, kSpriteEffectWait);
}
BW_ROW(StopSpriteEffect) {
  return ReleaseRow(a, o, kSpriteEffectWait);
}
BW_ROW(ReleaseImage) {
  ImageLoaderManager* images = TheImageLoaderManager::Get();
  TgsText name = a.Text(0);
  // A name the cache does not hold has nothing to release.
  if (images && name && !name->empty()) (void)images->ReleaseImage(*name);
  return 0;
}

// Transitions.
BW_ROW(RuleFlipH) {
  (void)o.SetRuleFlipH(a.Flag(0));
  return 0;
}
BW_ROW(RuleFlipV) {
  (void)o.SetRuleFlipV(a.Flag(0));
  return 0;
}
BW_ROW(CopyPageToBack) {
  (void)o.CopyShownPageToBack();
  return 0;
}
BW_ROW(TransWait) {
  return WaitRow(a, o, kTransitionWait);
}
BW_ROW(TransEnd) {
  return ReleaseRow(a, o, kTransitionWait);
}
BW_ROW(TransCross) {
  (void)o.TransCross(a.Int(0));
  return 0;
}
BW_ROW(TransRule) {
  (void)o.TransRule(a.Int(0), a.Int(1), a.Int(2));
  return 0;
}
BW_ROW(TransTrans) {
  (void)o.TransTrans(a.Int(0), a.Int(1), a.Flag(2));
  return 0;
}
BW_ROW(TransNumbered) {
  (void)o.TransFilter(a.Int(0), a.Int(1), a.Int(2), a.Int(3), a.Int(4));
  return 0;
}
BW_ROW(TransScroll) {
  (void)o.TransScroll(a.Int(0), a.Byte(1), a.Byte(2), a.Text(3));
  return 0;
}
BW_ROW(TransRipple) {
  std::array<int32_t, 7> values{};
  for (size_t i = 0; i < values.size(); ++i) values[i] = a.Int(i);
  values[1] = values[6] = 0;  // texts
  (void)o.TransRipple(values, a.Text(6), a.Text(1));
  return 0;
}

// Composites: build the back page, then bring it in.
constexpr uint8_t kBackPage = 1;
constexpr int32_t kAllGroups = -1;

int32_t FadeThrough(Args& a, TgsOperations& o, int32_t color) {
  (void)o.ClearBackgroundToColor(color, kBackPage);
  (void)o.ClearSprites(kBackPage, kAllGroups);
  (void)o.TransCross(a.Int(0));
  return 0;
}
// Loads the back page's background with the tone from toneSlot on; false when the load failed.
bool ChangeBackground(Args& a, TgsOperations& o, size_t toneSlot) {
  if (o.LoadBackground(a.Text(0), kBackPage) != 0) return false;
  (void)o.SetBackgroundTone(a.Byte(toneSlot), a.Flag(toneSlot + 1), a.Flag(toneSlot + 2),
                            a.Flag(toneSlot + 3), kBackPage);
  (void)o.ClearSprites(kBackPage, kAllGroups);
  return true;
}

BW_ROW(FadeToBlack) {
  return FadeThrough(a, o, 0);
}
BW_ROW(FadeToWhite) {
  return FadeThrough(a, o, 0xFFFFFF);
}
BW_ROW(BgChangeCross) {
  return ChangeBackground(a, o, 2) ? RowFrom<TgsFunction::kTransCross>(a, o, 1) : 0;
}
BW_ROW(BgChangeRule) {
  return ChangeBackground(a, o, 4) ? RowFrom<TgsFunction::kTransRule>(a, o, 1) : 0;
}
BW_ROW(BgChangeTrans) {
  return ChangeBackground(a, o, 4) ? RowFrom<TgsFunction::kTransTrans>(a, o, 1) : 0;
}
BW_ROW(SpriteChangeCross) {
  (void)o.CopyShownPageToBack();
  TgsText name = a.Text(1);
  if (o.LoadSprite(a.Int(0), name, kBackPage, a.Int(5), a.Flag(4)) > 0) return 0;
  PlaceLoadedSprite(o, a.Int(0), name, a.Int(2), kBackPage, a.Int(5));
  (void)o.TransCross(a.Int(3, 300));
  return 0;
}
BW_ROW(SpritesClearTrans) {
  (void)o.CopyShownPageToBack();
  (void)o.ClearSprites(kBackPage, a.Int(3));
  int32_t time = a.Int(0, 300);
  if (a.Int(1) >= 0) {
    (void)o.TransRule(a.Int(1), time, a.Int(2));
  } else {
    (void)o.TransCross(time);
  }
  return 0;
}

// Quakes: the paged forms put slot 2 first among the three values (0 otherwise); the slots
// after the values follow in order.
int32_t ScreenQuakeRow(Args& a, TgsOperations& o, bool paged) {
  size_t n = paged ? 3 : 2;  // the first slot after the values
  std::array<int32_t, 3> values{paged ? a.Int(2) : 0, a.Int(0), a.Int(1)};
  (void)o.ScreenQuake(values, a.Int(n), a.Text(n + 1), a.Byte(n + 2), a.Byte(n + 3), 0);
  return 0;
}
int32_t QuakeRow(Args& a, TgsOperations& o, bool paged) {
  size_t n = paged ? 3 : 2;
  std::array<int32_t, 3> values{paged ? a.Int(2) : 0, a.Int(0), a.Int(1)};
  std::array<uint8_t, 3> bytes{a.Byte(n + 2), a.Byte(n + 3), a.Byte(n + 4)};
  (void)o.Quake(values, a.Int(n), a.Text(n + 1), bytes, a.Byte(n + 5), 0);
  return 0;
}
BW_ROW(Quake) {
  return ScreenQuakeRow(a, o, false);
}
BW_ROW(QuakePage) {
  return ScreenQuakeRow(a, o, true);
}
BW_ROW(ScreenQuake) {
  return QuakeRow(a, o, false);
}
BW_ROW(ScreenQuakePage) {
  return QuakeRow(a, o, true);
}
BW_ROW(WaitQuake) {
  return WaitRow(a, o, kQuakeWait);
}
BW_ROW(StopQuake) {
  return ReleaseRow(a, o, kQuakeWait);
}
BW_ROW(Flash) {
  (void)o.FlashColor(a.Int(0), a.Int(1));
  return 0;
}
BW_ROW(BgChangeThroughColor) {
  (void)o.ChangeBackgroundThroughColor(a.Text(0), a.Int(1), a.Int(2));
  return 0;
}
BW_ROW(MessageWindowFade) {
  return o.FadeMessageWindows(a.Flag(0), a.Int(1, 300), a.Flag(2)) < 0 ? -1 : 0;
}
BW_ROW(MessageWindowShow) {
  (void)o.ShowMessageWindows(a.Flag(0));
  return 0;
}

// Sound.
BW_ROW(BgmPlay) {
  (void)o.PlayMusic(a.Int(0), a.Int(1), a.Flag(2));
  return 0;
}
BW_ROW(WaitBgm) {
  return ChainedWait(
      a, a.Flag(0), [&] { return o.WaitBgmFade(a.Flag(0)); },
      [&] { (void)o.StopMusicWhenNotCurrent(); });
}
BW_ROW(BgmStop) {
  return ChainedWait(
      a, a.Flag(0), [&] { return o.FadeOutMusic(a.Flag(0)); },
      [&] { (void)o.PlayMusic(0, 0, true); });
}
BW_ROW(SePlay) {
  (void)o.PlayEffect(a.Text(0), a.Int(1), a.Int(2), a.Flag(3));
  return 0;
}
BW_ROW(SeFadeIn) {
  (void)o.FadeInEffect(a.Text(0), a.Int(1), a.Int(2), a.Int(3));
  return 0;
}
BW_ROW(SeFadeOut) {
  (void)o.FadeOutEffect(a.Int(0), a.Int(1));
  return 0;
}
BW_ROW(SeStop) {
  (void)o.StopEffect(a.Int(0));
  return 0;
}
BW_ROW(SeUnloadAll) {
  (void)o.UnloadAllEffects();
  return 0;
}
BW_ROW(WaitSeFade) {
  return ChainedWait(
      a, a.Flag(3), [&] { return o.WaitEffectFade(a.Int(0), a.Flag(3), a.Flag(1), a.Flag(2)); },
      [&] {
        if (a.Flag(1)) (void)o.StopEffectChannel(a.Int(0));
      });
}
BW_ROW(WaitSeEnd) {
  return ChainedWait(
      a, a.Flag(2), [&] { return o.WaitEffectEnd(a.Int(0), a.Flag(2), a.Flag(1)); },
      [&] { (void)o.StopEffectChannel(a.Int(0)); });
}
BW_ROW(VoicePlay) {
  (void)o.EndVoice();
  (void)o.PlayVoice(a.Text(0), a.Flag(1));
  return 0;
}

#undef BW_ROW

template <uint32_t N>
int32_t Entry(TgsBuiltinCall& call) {
  constexpr auto kFunction = static_cast<TgsFunction>(N);
  if constexpr (N < kTgsFirstBuiltin || kFunction == TgsFunction::kNoOperation) {
    return 0;
  } else {
    call.operations.BeginBuiltin(N);
    Args args(call);
    return Row<kFunction>(args, call.operations);
  }
}

constexpr auto kTable = []<size_t... I>(std::index_sequence<I...>) {
  return std::array<TgsBuiltin, kTgsBuiltinCount>{&Entry<I>...};
}
(std::make_index_sequence<kTgsBuiltinCount>{});

}  // namespace

std::span<const TgsBuiltin, kTgsBuiltinCount> TgsBuiltinTable() {
  return kTable;
}

std::string_view TgsFunctionName(uint32_t number) {
  return number < kTgsBuiltinCount ? kTgsFunctionNames[number] : std::string_view();
}

int32_t TgsFindBuiltin(std::string_view name) {
  if (name.empty()) return -1;
  for (uint32_t n = kTgsFirstBuiltin; n < kTgsBuiltinCount; ++n) {
    if (sjis::EqualsNoCase(kTgsFunctionNames[n], name)) return static_cast<int32_t>(n);
  }
  return -1;
}

}  // namespace bw
