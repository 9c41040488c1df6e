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
    [](Args& a, TgsOperations& o) { o.ReleaseTalkAnime(a.Int(0)); }};
constexpr WaitAndRelease kLayerEffectWait{
    1,
    [](Args& a, TgsOperations& o, bool skippable) {
      return o.WaitLayerEffect(a.Byte(0), skippable);
    },
    [](Args& a, TgsOperations& o) { o.StopLayerEffect(a.Byte(0)); }};
constexpr WaitAndRelease kSpriteEffectWait{
    3,
    [](Args& a, TgsOperations& o, bool skippable) {
      return o.WaitSpriteEffect(a.Int(0), skippable, a.Byte(1), a.Int(2));
    },
    [](Args& a, TgsOperations& o) { o.ReleaseSpriteEffect(a.Int(0), a.Byte(1), a.Int(2)); }};
constexpr WaitAndRelease kTransitionWait{
    0, [](Args&, TgsOperations& o, bool skippable) { return o.WaitTransition(skippable); },
    [](Args&, TgsOperations& o) { o.EndPendingTransition(); }};
constexpr WaitAndRelease kQuakeWait{
    1, [](Args& a, TgsOperations& o, bool skippable) { return o.WaitQuake(a.Byte(0), skippable); },
    [](Args& a, TgsOperations& o) { o.ReleaseQuake(a.Byte(0)); }};

// The text-layout built-ins are kept in the collected text while it is collected.
bool KeptInText(Args& a, uint32_t number) {
  TgsInterpreterContext& interpreter = a.Call().interpreter;
  if (!interpreter.CollectingText()) return false;
  interpreter.AppendCallRecord(number, a.Call().slots);
  return true;
}

// A loaded picture is placed at the position asked, or keeps its place for a negative one.
void PlaceLoadedSprite(TgsOperations& o, int32_t slot, const TgsText& name, int32_t position,
                       uint8_t page, int32_t group) {
  if (!name || name->empty()) return;
  if (position >= 0) {
    o.PlaceSprite(slot, position, false, page, group);
  } else {
    o.KeepSpritePlace(slot, page, group);
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
  o.BlurBackground(a.Byte(row.pageSlot), values, texts, Take(a, row.readBack) != 0,
                   Take(a, row.wait) != 0, Take(a, row.skippable) != 0);
  return 0;
}

int32_t BlurPath(Args& a, TgsOperations& o, const BlurRow<10>& row) {
  std::array<TgsText, 10> texts{};
  auto values = TakeValues(a, row, {0, 2, 5, 6, 7, 8}, {3, 4}, texts);
  o.BlurBackgroundPath(a.Byte(row.pageSlot), a.Text(row.pathSlot), values, texts,
                       Take(a, row.readBack) != 0, Take(a, row.wait) != 0,
                       Take(a, row.skippable) != 0);
  return 0;
}

// Row<N> is built-in N; the table calls them through Entry<N>.
template <uint32_t N>
int32_t Row(Args& a, TgsOperations& o);

#define BW_ROW(n) \
  template <>     \
  int32_t Row<n>([[maybe_unused]] Args & a, [[maybe_unused]] TgsOperations & o)

// Runs built-in N on the slots from slot first onward (the composite rows end so).
template <uint32_t N>
int32_t RowFrom(Args& a, TgsOperations& o, size_t first) {
  TgsBuiltinCall& call = a.Call();
  TgsBuiltinCall tail{call.interpreter, call.operations,
                      call.slots.subspan(std::min(first, call.slots.size()))};
  Args rest(tail);
  return Row<N>(rest, o);
}

// Message output and waits.
BW_ROW(12) {
  o.BeginMessage(a.Int(0));
  return 0;
}
BW_ROW(13) {
  std::array<std::string_view, 8> choices;
  size_t count = 0;
  while (count < choices.size() && a.Given(count + 1)) {
    choices[count] = a.TextOrEmpty(count + 1);
    ++count;
  }
  return o.ShowChoices({choices.data(), count}, a.Int(9));
}
BW_ROW(14) {
  if (!KeptInText(a, 14)) o.TextNewLine();
  return 0;
}
BW_ROW(16) {
  return o.MessageWait();
}
BW_ROW(17) {
  return o.ChoiceWait();
}
BW_ROW(18) {
  o.SetSpeakerName(a.Text(0));
  return 0;
}
BW_ROW(19) {
  // The flags hold five choices; any other index would land past them.
  if (a.Int(0) >= 0 && a.Int(0) <= 4) o.DisableChoice(a.Byte(0));
  return 0;
}
BW_ROW(20) {
  if (o.RestoringGame()) return 0;
  return ChainedWait(
      a, true, [&] { return o.WaitTimeSkippable(a.Int(0), true); }, [] {});
}
BW_ROW(21) {
  if (o.RestoringGame()) return 0;
  return o.WaitTimeFixed(a.Int(0)) < 0 ? -1 : 0;
}
BW_ROW(22) {
  o.SelectMessageWindow(a.Int(0));
  return 0;
}
BW_ROW(23) {
  // The frame's style and opacity act only when given.
  o.SetMessageWindowPlace(a.Int(0), a.Int(1), a.Int(2), a.Int(3, -1), a.Int(4, -1), a.Int(5));
  return 0;
}
BW_ROW(24) {
  o.SetFaceWindowPlace(a.Int(0), a.Int(1), a.Int(2), a.Int(3));
  return 0;
}
BW_ROW(25) {
  o.SetNameAndVoice(a.Text(0), a.Text(1));
  return 0;
}
BW_ROW(26) {
  if (!KeptInText(a, 26)) o.BeginRuby();
  return 0;
}
BW_ROW(27) {
  if (!KeptInText(a, 27)) o.DrawRuby(a.Text(0));
  return 0;
}
BW_ROW(28) {
  if (KeptInText(a, 28)) return 0;
  auto given = [&](size_t i) {
    return a.Given(i) ? std::optional<int32_t>(a.Int(i)) : std::nullopt;
  };
  std::optional<int32_t> size = given(0);
  if (size && *size < 1) size = 24;
  o.SetTextFont(size, given(1), given(2), a.Given(3) ? a.Text(3) : std::nullopt);
  return 0;
}
BW_ROW(29) {
  o.ShowMessageWindow(a.Flag(0), a.Int(1));
  return 0;
}
BW_ROW(30) {
  o.CloseMessageWindow(a.Int(0));
  return 0;
}
BW_ROW(31) {
  return o.MessageTalk(a.Int(0), a.Int(1, 500), a.Text(2), a.Flag(3));
}
BW_ROW(32) {
  o.TalkAnime(a.Int(0), a.Text(1));
  return 0;
}
BW_ROW(33) {
  return WaitRow(a, o, kTalkAnimeWait);
}
BW_ROW(34) {
  return ReleaseRow(a, o, kTalkAnimeWait);
}

// Scene layers.
BW_ROW(35) {
  o.LoadBackground(a.Text(0), a.Byte(1));
  return 0;
}
BW_ROW(36) {
  o.ClearBackgroundToColor(a.Int(0), a.Byte(1));
  return 0;
}
BW_ROW(37) {
  o.SetLayerColor(a.Int(0), a.Byte(1));
  return 0;
}
BW_ROW(38) {
  o.SetBackgroundTone(a.Byte(0), a.Flag(1), a.Flag(2), a.Flag(3), a.Byte(4));
  return 0;
}
BW_ROW(39) {
  o.SetBackgroundFilter(a.Int(0), a.Byte(1));
  return 0;
}
BW_ROW(40) {
  o.SetBackgroundOffset(a.Int(0), a.Int(1), a.Byte(2));
  return 0;
}
BW_ROW(41) {
  o.CaptureBackground(true, a.Byte(0), a.Flag(1));
  return 0;
}
BW_ROW(42) {
  o.CaptureBackground(false, a.Byte(0), false);
  return 0;
}
BW_ROW(43) {
  o.SetBackgroundView(a.Int(0), a.Int(1), a.Int(2), a.Int(3), a.Byte(4));
  return 0;
}
BW_ROW(44) {
  o.SetBackgroundZoomNow(a.Int(1, 400), a.Int(2, 300), a.Text(0), a.Byte(3));
  return 0;
}
BW_ROW(45) {
  o.RotateBackground(a.Int(0), a.Text(1), a.Int(2), a.Int(3), a.Byte(4));
  return 0;
}

// Layer and screen effects.
BW_ROW(46) {
  o.ZoomBackground(a.Byte(5), a.Int(1, 400), a.Int(2, 300), a.Text(0), a.Text(4), a.Int(3, 1000));
  return 0;
}
BW_ROW(47) {
  o.RotateBackgroundEffect(a.Byte(6), a.Int(0), a.Text(1), a.Int(2), a.Int(3), a.Text(5),
                           a.Int(4, 1000));
  return 0;
}
BW_ROW(48) {
  o.AnimateBackgroundPath(a.Byte(5), a.Text(0), a.Int(1, 1000), a.Flag(2), a.Flag(3), a.Flag(4),
                          a.Int(6));
  return 0;
}
BW_ROW(49) {
  o.EndBackgroundPath(a.Text(0), a.Byte(1));
  return 0;
}
BW_ROW(50) {
  static constexpr BlurRow<15> kRow{10,
                                    0,
                                    {D(0, 400), D(1, 300), S(2), S(3), S(4), S(5), D(6, 1000), S(7),
                                     S(8), C(0), C(0), C(0), C(0), S(9), C(0)},
                                    C(1),
                                    C(0),
                                    C(1)};
  return Blur(a, o, kRow);
}
BW_ROW(51) {
  static constexpr BlurRow<10> kRow{
      6, 0, {F(1), D(2, 1000), S(3), S(4), C(0), C(0), C(0), C(0), S(5), C(0)}, C(1), C(0), C(1)};
  return BlurPath(a, o, kRow);
}
BW_ROW(52) {
  static constexpr BlurRow<15> kRow{13,
                                    0,
                                    {D(0, 400), D(1, 300), S(2), S(3), S(4), S(5), D(6, 1000), S(7),
                                     S(8), C(0), F(9), F(10), C(1), S(11), S(12)},
                                    C(0),
                                    F(14),
                                    F(15)};
  return Blur(a, o, kRow);
}
BW_ROW(53) {
  static constexpr BlurRow<15> kRow{14,
                                    0,
                                    {D(1, 400), D(2, 300), S(3), S(4), S(5), S(6), D(7, 1000), S(8),
                                     S(9), S(0), F(10), F(11), C(1), S(12), S(13)},
                                    C(0),
                                    F(15),
                                    F(16)};
  return Blur(a, o, kRow);
}
BW_ROW(54) {
  static constexpr BlurRow<10> kRow{
      9, 0, {F(1), D(2, 1000), S(3), S(4), C(0), F(5), F(6), C(1), S(7), S(8)}, C(0), F(10), F(11)};
  return BlurPath(a, o, kRow);
}
BW_ROW(55) {
  static constexpr BlurRow<10> kRow{
      10,   1,     {F(2), D(3, 1000), S(4), S(5), S(0), F(6), F(7), C(1), S(8), S(9)},
      C(0), F(11), F(12)};
  return BlurPath(a, o, kRow);
}
BW_ROW(56) {
  o.SetBackgroundBlurNow(a.Byte(4), a.Int(0, 400), a.Int(1, 300), a.Int(2), a.Int(3));
  return 0;
}
BW_ROW(57) {
  return WaitRow(a, o, kLayerEffectWait);
}
BW_ROW(58) {
  return ReleaseRow(a, o, kLayerEffectWait);
}
BW_ROW(59) {
  o.ScreenNoise(a.Int(0), a.Byte(1), a.Flag(2), a.Flag(3));
  return 0;
}
BW_ROW(60) {
  o.WaveBackground(a.Byte(4), a.Int(0), a.Int(1), a.Int(2), a.Int(3), a.Int(5), a.Int(6), a.Int(7),
                   a.Flag(8));
  return 0;
}
BW_ROW(61) {
  o.LoopScrollBackground(a.Byte(3), a.Byte(0), a.Int(1), a.Int(2));
  return 0;
}
BW_ROW(62) {
  o.SpriteMovie(a.Text(0), a.Int(1), a.Byte(2), a.Flag(3), a.Int(4), a.Int(5), a.Int(6));
  return 0;
}
BW_ROW(63) {
  o.SpriteParts(a.Text(0), a.Int(1), a.Byte(2), a.Int(3), a.Flag(4), a.Flag(5), a.Flag(6));
  return 0;
}
BW_ROW(64) {
  o.CrossFadeLayer(a.Int(0, 2000), a.Int(1), a.Byte(2), a.Byte(3));
  return 0;
}
BW_ROW(65) {
  o.ScreenWeather(a.Int(0), a.Int(1), a.Int(2), a.Flag(3), a.Text(4), a.Flag(5), a.Flag(6));
  return 0;
}
BW_ROW(66) {
  o.SetScreenEffectArgs(a.Int(0), a.Flag(1), a.Flag(2));
  return 0;
}
BW_ROW(67) {
  o.StopScreenEffect(a.Int(0), a.Int(1), a.Int(2));
  return 0;
}
BW_ROW(68) {
  int32_t slot = a.Int(0);
  auto stop = [&] { o.StopScreenEffect(slot, 1, 0); };
  // Only slots 0-2 have a handle to wait on.
  if (slot < 0 || slot > 2) {
    stop();
    return 0;
  }
  return ChainedWait(
      a, a.Flag(1), [&] { return o.WaitScreenEffect(slot, a.Flag(1)); }, stop);
}
BW_ROW(69) {
  o.LoadBackgroundAnime(a.Text(0), a.Int(1), 0, a.Byte(2));
  return 0;
}
BW_ROW(70) {
  o.LoadBackgroundMovie(a.Text(0), a.Byte(2), a.Byte(1));
  return 0;
}
BW_ROW(71) {
  o.LoadBackgroundAnime(std::nullopt, 0, 0, a.Byte(0));
  return 0;
}
BW_ROW(72) {
  o.ControlBackgroundAnime(a.Byte(0), 1);
  return 0;
}
BW_ROW(73) {
  o.WaitBackgroundAnime(a.Byte(0));
  return 0;
}
BW_ROW(74) {
  o.ControlBackgroundAnime(a.Byte(0), 5);
  return 0;
}
BW_ROW(75) {
  return ChainedWait(
      a, a.Flag(1), [&] { return o.WaitBackgroundAnimeEnd(a.Byte(0), a.Flag(1)); },
      [&] { o.ControlBackgroundAnime(a.Byte(0), 4); });
}
BW_ROW(76) {
  o.SetSpriteTint(a.Flag(0));
  return 0;
}

// Standing pictures.
BW_ROW(77) {
  TgsText name = a.Text(1);
  o.LoadSprite(a.Int(0), name, a.Byte(3), a.Int(5), a.Flag(4));
  PlaceLoadedSprite(o, a.Int(0), name, a.Int(2), a.Byte(3), a.Int(5));
  return 0;
}
BW_ROW(78) {
  o.SetSpriteTone(a.Int(0), a.Byte(1), a.Flag(2), a.Flag(3), a.Byte(4), a.Int(5));
  return 0;
}
BW_ROW(79) {
  o.SetSpriteFilter(a.Int(0), a.Int(1), a.Byte(2), a.Int(3));
  return 0;
}
BW_ROW(80) {
  o.PlaceSprite(a.Int(0), a.Int(1), a.Flag(2), a.Byte(3), a.Int(4));
  return 0;
}
BW_ROW(81) {
  o.MoveSprite(a.Int(0), a.Int(1), a.Int(2), a.Byte(3), a.Int(4));
  return 0;
}
BW_ROW(82) {
  o.SpriteToBack(a.Int(0), a.Byte(1), a.Int(2), true);
  return 0;
}
BW_ROW(83) {
  o.SpriteToFront(a.Int(0), a.Byte(1), a.Int(2), true);
  return 0;
}
BW_ROW(84) {
  o.ClearSprites(a.Byte(0), a.Int(1));
  return 0;
}
BW_ROW(85) {
  o.CrossFadeSprite(a.Int(0), a.Text(1), a.Int(2), a.Int(3, 300), a.Flag(4), a.Byte(5), a.Int(6));
  return 0;
}
BW_ROW(86) {
  o.AnimateSpritePath(a.Int(0), a.Text(1), a.Int(2, 500), a.Byte(3), a.Int(4), a.Flag(5));
  return 0;
}
BW_ROW(87) {
  o.EndSpritePath(a.Int(0), a.Text(1), a.Byte(2), a.Int(3));
  return 0;
}
BW_ROW(88) {
  o.ChangeSprite(a.Int(0), a.Text(1), a.Text(2), a.Byte(3), a.Int(4, 500), a.Flag(5), a.Int(6),
                 a.Byte(7), a.Int(8));
  return 0;
}
BW_ROW(89) {
  o.AnimateCharacterParts(a.Int(0), a.Int(1), a.Byte(3), a.Int(4), a.Flag(2));
  return 0;
}
BW_ROW(90) {
  return WaitRow(a, o, kSpriteEffectWait);
}
BW_ROW(91) {
  return ReleaseRow(a, o, kSpriteEffectWait);
}
BW_ROW(92) {
  ImageLoaderManager* images = TheImageLoaderManager::Get();
  TgsText name = a.Text(0);
  if (images && name && !name->empty()) images->ReleaseImage(*name);
  return 0;
}

// Transitions.
BW_ROW(93) {
  o.SetRuleFlipH(a.Flag(0));
  return 0;
}
BW_ROW(94) {
  o.SetRuleFlipV(a.Flag(0));
  return 0;
}
BW_ROW(95) {
  o.CopyShownPageToBack();
  return 0;
}
BW_ROW(96) {
  return WaitRow(a, o, kTransitionWait);
}
BW_ROW(97) {
  return ReleaseRow(a, o, kTransitionWait);
}
BW_ROW(98) {
  o.TransCross(a.Int(0));
  return 0;
}
BW_ROW(99) {
  o.TransRule(a.Int(0), a.Int(1), a.Int(2));
  return 0;
}
BW_ROW(100) {
  o.TransTrans(a.Int(0), a.Int(1), a.Flag(2));
  return 0;
}
BW_ROW(101) {
  o.TransFilter(a.Int(0), a.Int(1), a.Int(2), a.Int(3), a.Int(4));
  return 0;
}
BW_ROW(102) {
  o.TransScroll(a.Int(0), a.Byte(1), a.Byte(2), a.Text(3));
  return 0;
}
BW_ROW(103) {
  std::array<int32_t, 7> values{};
  for (size_t i = 0; i < values.size(); ++i) values[i] = a.Int(i);
  values[1] = values[6] = 0;  // texts
  o.TransRipple(values, a.Text(6), a.Text(1));
  return 0;
}

// Composites: build the back page, then bring it in.
constexpr uint8_t kBackPage = 1;
constexpr int32_t kAllGroups = -1;

int32_t FadeThrough(Args& a, TgsOperations& o, int32_t color) {
  o.ClearBackgroundToColor(color, kBackPage);
  o.ClearSprites(kBackPage, kAllGroups);
  o.TransCross(a.Int(0));
  return 0;
}
// Loads the back page's background with the tone from toneSlot on; false when the load failed.
bool ChangeBackground(Args& a, TgsOperations& o, size_t toneSlot) {
  if (o.LoadBackground(a.Text(0), kBackPage) != 0) return false;
  o.SetBackgroundTone(a.Byte(toneSlot), a.Flag(toneSlot + 1), a.Flag(toneSlot + 2),
                      a.Flag(toneSlot + 3), kBackPage);
  o.ClearSprites(kBackPage, kAllGroups);
  return true;
}

BW_ROW(104) {
  return FadeThrough(a, o, 0);
}
BW_ROW(105) {
  return FadeThrough(a, o, 0xFFFFFF);
}
BW_ROW(106) {
  return ChangeBackground(a, o, 2) ? RowFrom<98>(a, o, 1) : 0;
}
BW_ROW(107) {
  return ChangeBackground(a, o, 4) ? RowFrom<99>(a, o, 1) : 0;
}
BW_ROW(108) {
  return ChangeBackground(a, o, 4) ? RowFrom<100>(a, o, 1) : 0;
}
BW_ROW(109) {
  o.CopyShownPageToBack();
  TgsText name = a.Text(1);
  if (o.LoadSprite(a.Int(0), name, kBackPage, a.Int(5), a.Flag(4)) > 0) return 0;
  PlaceLoadedSprite(o, a.Int(0), name, a.Int(2), kBackPage, a.Int(5));
  o.TransCross(a.Int(3, 300));
  return 0;
}
BW_ROW(110) {
  o.CopyShownPageToBack();
  o.ClearSprites(kBackPage, a.Int(3));
  int32_t time = a.Int(0, 300);
  if (a.Int(1) >= 0) {
    o.TransRule(a.Int(1), time, a.Int(2));
  } else {
    o.TransCross(time);
  }
  return 0;
}

// Quakes: the paged forms put slot 2 first among the three values (0 otherwise); the slots
// after the values follow in order.
int32_t ScreenQuakeRow(Args& a, TgsOperations& o, bool paged) {
  size_t n = paged ? 3 : 2;  // the first slot after the values
  std::array<int32_t, 3> values{paged ? a.Int(2) : 0, a.Int(0), a.Int(1)};
  o.ScreenQuake(values, a.Int(n), a.Text(n + 1), a.Byte(n + 2), a.Byte(n + 3), 0);
  return 0;
}
int32_t QuakeRow(Args& a, TgsOperations& o, bool paged) {
  size_t n = paged ? 3 : 2;
  std::array<int32_t, 3> values{paged ? a.Int(2) : 0, a.Int(0), a.Int(1)};
  std::array<uint8_t, 3> bytes{a.Byte(n + 2), a.Byte(n + 3), a.Byte(n + 4)};
  o.Quake(values, a.Int(n), a.Text(n + 1), bytes, a.Byte(n + 5), 0);
  return 0;
}
BW_ROW(111) {
  return ScreenQuakeRow(a, o, false);
}
BW_ROW(112) {
  return ScreenQuakeRow(a, o, true);
}
BW_ROW(113) {
  return QuakeRow(a, o, false);
}
BW_ROW(114) {
  return QuakeRow(a, o, true);
}
BW_ROW(115) {
  return WaitRow(a, o, kQuakeWait);
}
BW_ROW(116) {
  return ReleaseRow(a, o, kQuakeWait);
}
BW_ROW(117) {
  o.FlashColor(a.Int(0), a.Int(1));
  return 0;
}
BW_ROW(118) {
  o.ChangeBackgroundThroughColor(a.Text(0), a.Int(1), a.Int(2));
  return 0;
}
BW_ROW(119) {
  return o.FadeMessageWindows(a.Flag(0), a.Int(1, 300), a.Flag(2)) < 0 ? -1 : 0;
}
BW_ROW(120) {
  o.ShowMessageWindows(a.Flag(0));
  return 0;
}

// Sound.
BW_ROW(121) {
  o.PlayMusic(a.Int(0), a.Int(1), a.Flag(2));
  return 0;
}
BW_ROW(122) {
  return ChainedWait(
      a, a.Flag(0), [&] { return o.WaitBgmFade(a.Flag(0)); }, [&] { o.StopMusicWhenNotCurrent(); });
}
BW_ROW(123) {
  return ChainedWait(
      a, a.Flag(0), [&] { return o.FadeOutMusic(a.Flag(0)); }, [&] { o.PlayMusic(0, 0, true); });
}
BW_ROW(124) {
  o.PlayEffect(a.Text(0), a.Int(1), a.Int(2), a.Flag(3));
  return 0;
}
BW_ROW(125) {
  o.FadeInEffect(a.Text(0), a.Int(1), a.Int(2), a.Int(3));
  return 0;
}
BW_ROW(126) {
  o.FadeOutEffect(a.Int(0), a.Int(1));
  return 0;
}
BW_ROW(127) {
  o.StopEffect(a.Int(0));
  return 0;
}
BW_ROW(128) {
  o.UnloadAllEffects();
  return 0;
}
BW_ROW(129) {
  return ChainedWait(
      a, a.Flag(3), [&] { return o.WaitEffectFade(a.Int(0), a.Flag(3), a.Flag(1), a.Flag(2)); },
      [&] {
        if (a.Flag(1)) o.StopEffectChannel(a.Int(0));
      });
}
BW_ROW(130) {
  return ChainedWait(
      a, a.Flag(2), [&] { return o.WaitEffectEnd(a.Int(0), a.Flag(2), a.Flag(1)); },
      [&] { o.StopEffectChannel(a.Int(0)); });
}
BW_ROW(131) {
  o.EndVoice();
  o.PlayVoice(a.Text(0), a.Flag(1));
  return 0;
}

#undef BW_ROW

constexpr uint32_t kNoOperation = 15;

template <uint32_t N>
int32_t Entry(TgsBuiltinCall& call) {
  if constexpr (N < kTgsFirstBuiltin || N == kNoOperation) {
    return 0;
  } else {
    call.operations.BeginBuiltin(N);
    Args args(call);
    return Row<N>(args, call.operations);
  }
}

constexpr auto kTable = []<size_t... I>(std::index_sequence<I...>) {
  return std::array<TgsBuiltin, kTgsBuiltinCount>{&Entry<I>...};
}
(std::make_index_sequence<kTgsBuiltinCount>{});

// Rows 50-55 are one family with no names of their own; they are called by number.
// clang-format off
constexpr std::array<std::string_view, kTgsBuiltinCount> kNames = {
    "", "", "", "", "", "", "", "", "", "", "", "", "MessageBegin", "ChoiceShow", "TextNewLine", "",
    "MessageWait", "ChoiceWait", "SetSpeakerName", "DisableChoice", "WaitTime", "WaitTimeFixed",
    "SelectMessageWindow", "SetMessageWindowPlace", "SetFaceWindowPlace", "SetNameAndVoice",
    "RubyBegin", "RubyText", "TextFont", "ShowMessageWindow", "CloseMessageWindow", "MessageTalk",
    "TalkAnime", "WaitTalkAnime", "StopTalkAnime", "BgLoad", "BgColor", "BgLayerColor", "BgTone",
    "BgFilter", "BgOffset", "BgCaptureOn", "BgCaptureOff", "BgView", "BgZoomNow", "BgRotate",
    "BgZoom", "BgRot", "BgPanime", "BgPanimeControl", "", "", "", "", "", "", "BgEffectPoint",
    "WaitBgEffect", "StopBgEffect", "ScreenNoise", "BgRaster", "BgLoop", "SpriteMovie",
    "SpriteParts", "BgCross", "ScreenEffect", "ScreenEffectArgs", "ScreenEffectEnd",
    "WaitScreenEffect", "BgAnime", "BgMovie", "BgAnimeOff", "BgAnimeStop", "WaitBgAnime",
    "BgAnimeResume", "WaitBgAnimeEnd", "SetFrameOption", "SpriteLoad", "SpriteTone", "SpriteFilter",
    "SpritePlace", "SpriteMove", "SpriteBack", "SpriteFront", "SpriteClear", "SpriteCrossFade",
    "SpritePanime", "SpritePanimeControl", "SpriteChange", "SpriteCharacterParts",
    "WaitSpriteEffect", "StopSpriteEffect", "ReleaseImage", "RuleFlipH", "RuleFlipV",
    "CopyPageToBack", "TransWait", "TransEnd", "TransCross", "TransRule", "TransTrans",
    "TransNumbered", "TransScroll", "TransRipple", "FadeToBlack", "FadeToWhite", "BgChangeCross",
    "BgChangeRule", "BgChangeTrans", "SpriteChangeCross", "SpritesClearTrans", "Quake", "QuakePage",
    "ScreenQuake", "ScreenQuakePage", "WaitQuake", "StopQuake", "Flash", "BgChangeThroughColor",
    "MessageWindowFade", "MessageWindowShow", "BgmPlay", "WaitBgm", "BgmStop", "SePlay", "SeFadeIn",
    "SeFadeOut", "SeStop", "SeUnloadAll", "WaitSeFade", "WaitSeEnd", "VoicePlay"};
// clang-format on

}  // namespace

std::span<const TgsBuiltin, kTgsBuiltinCount> TgsBuiltinTable() {
  return kTable;
}

std::string_view TgsBuiltinName(uint32_t number) {
  return number < kNames.size() ? kNames[number] : std::string_view();
}

int32_t TgsFindBuiltin(std::string_view name) {
  if (name.empty()) return -1;
  for (uint32_t n = 0; n < kNames.size(); ++n) {
    if (sjis::EqualsNoCase(kNames[n], name)) return static_cast<int32_t>(n);
  }
  return -1;
}

}  // namespace bw
