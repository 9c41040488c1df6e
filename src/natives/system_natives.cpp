// The system and utility natives: strings, memory blocks, numbers and time; the table of the
// whole family.
#include "natives/system_natives.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/global.h"
#include "common/sjis.h"
#include "input/key_codes.h"
#include "input/keyboard_device.h"
#include "input/mouse.h"
#include "natives/guest_format.h"
#include "natives/native_families.h"
#include "natives/system_app_natives.h"
#include "natives/system_file_natives.h"
#include "platform/app_paths.h"
#include "platform/trig_tables.h"
#include "script/native_names.h"

namespace bw {

SystemNativeState::~SystemNativeState() {
  for (uint32_t b : blocks_) host_.GetMemory().Free(b);
  host_.GetMemory().Free(textBuffer_);
  for (auto& [key, kept] : keptTexts_) host_.GetMemory().Free(kept.first);
}

uint32_t SystemNativeState::AllocateBlock(int32_t size) {
  if (size < 1) return 0;
  // The arena's blocks come zero-filled, which serves 75 and 76 alike.
  uint32_t b = host_.GetMemory().Allocate(static_cast<uint32_t>(size));
  if (b) blocks_.insert(b);
  return b;
}

void SystemNativeState::FreeBlock(uint32_t address) {
  if (blocks_.erase(address)) host_.GetMemory().Free(address);
}

std::mt19937& SystemNativeState::Twister() {
  if (!twister_) {
    ScriptApplication* app = host_.Application();
    twister_ = std::make_unique<std::mt19937>(app ? app->Clock() : 0u);
  }
  return *twister_;
}

uint32_t SystemNativeState::TextBuffer() {
  if (!textBuffer_) textBuffer_ = host_.GetMemory().Allocate(kTextBufferBytes);
  return textBuffer_;
}

void SystemNativeState::SeedTwister(uint32_t seed) {
  twister_ = std::make_unique<std::mt19937>(seed);
}

bool ParseDecimal(const std::string& text, double& value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  auto run = [&] {
    size_t n = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++n;
    return n;
  };
  digits += run();
  if (i < text.size() && text[i] == '.') {
    ++i;
    digits += run();
  }
  if (digits == 0) return false;
  size_t end = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t mark = i++;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    end = run() ? i : mark;
  }
  // from_chars reads as the C locale does, and only the characters checked above reach it, so
  // hex floats, "inf" and "nan" never do.
  bool negative = text[start] == '-';
  if (text[start] == '+' || negative) ++start;
  double v = 0;
  std::from_chars_result r = std::from_chars(text.data() + start, text.data() + end, v);
  if (r.ec == std::errc::invalid_argument) return false;
  value = negative ? -v : v;
  return r.ec == std::errc() && std::isfinite(value);
}

bool PutGuestText(GuestMemory& memory, uint32_t dest, std::string_view text) {
  auto size = static_cast<uint32_t>(text.size());
  return memory.Valid(dest, size + 1)
             ? memory.Write(dest, text.data(), size) && memory.Write(dest + size, "", 1)
             : NativeArgs::Fault(memory);
}

uint32_t SystemNativeState::KeptText(uint64_t key, const std::string& text) {
  auto it = keptTexts_.find(key);
  if (it != keptTexts_.end()) {
    if (it->second.second == text) return it->second.first;
    host_.GetMemory().Free(it->second.first);
    keptTexts_.erase(it);
  }
  uint32_t copy = host_.GetMemory().AllocateCopy(
      {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, true);
  if (copy) keptTexts_[key] = {copy, text};
  return copy;
}

namespace {

constexpr int32_t kFailed = 0;

GuestMemory& Mem(NativeArgs& a) {
  return a.Memory();
}
SystemNativeState& State(NativeArgs& a) {
  return a.Host().Extension<SystemNativeState>();
}

bool PutText(NativeArgs& a, uint32_t dest, std::string_view text) {
  return PutGuestText(Mem(a), dest, text);
}

// 59
int32_t StrCopy(NativeArgs& a) {
  uint32_t dest = a.U32(0);
  std::string src;
  if (!a.Text(1, src) || dest == 0) return kFailed;
  return PutText(a, dest, src) ? static_cast<int32_t>(dest) : kFailed;
}

// The tail of text from start; empty when start lies past its terminator.
std::string_view From(const std::string& text, int32_t start) {
  if (start < 0 || static_cast<size_t>(start) > text.size()) return {};
  return std::string_view(text).substr(static_cast<size_t>(start));
}

// 60
int32_t StrCopyPart(NativeArgs& a) {
  uint32_t dest = a.U32(0);
  int32_t start = a.I32(1);
  std::string src;
  int32_t max = a.I32(3);
  if (!a.Text(2, src) || dest == 0) return kFailed;
  std::string_view part = From(src, start);
  part = part.substr(0, static_cast<size_t>(std::max(max, 0)));
  PutText(a, dest, part);
  return 0;
}

// 61
int32_t StrCopyUntil(NativeArgs& a) {
  uint32_t dest = a.U32(0);
  int32_t start = a.I32(1);
  std::string src;
  char stop = static_cast<char>(a.U32(3));
  if (!a.Text(2, src) || dest == 0) return kFailed;
  std::string_view part = From(src, start);
  part = part.substr(0, part.find(stop));
  PutText(a, dest, part);
  return 0;
}

// 62
int32_t StrCat(NativeArgs& a) {
  uint32_t dest = a.U32(0);
  std::string head, tail;
  if (!a.Text(0, head) || !a.Text(1, tail) || dest == 0) return kFailed;
  return PutText(a, dest, head + tail) ? static_cast<int32_t>(dest) : kFailed;
}

// 63
int32_t StrLen(NativeArgs& a) {
  std::string s;
  return a.Text(0, s) ? static_cast<int32_t>(s.size()) : 0;
}

int32_t Sign(int c) {
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// 64
int32_t StrCmp(NativeArgs& a) {
  std::string x, y;
  if (!a.Text(0, x) || !a.Text(1, y)) return 0;
  return Sign(x.compare(y));
}

// 65
int32_t StrCmpI(NativeArgs& a) {
  std::string x, y;
  if (!a.Text(0, x) || !a.Text(1, y)) return 0;
  return sjis::CompareNoCase(x, y);
}

// 66
int32_t StrMatchCount(NativeArgs& a) {
  std::string text, pattern;
  if (!a.Text(0, text) || !a.Text(1, pattern)) return 0;
  std::string_view t = From(text, a.I32(2));
  std::string_view p = From(pattern, a.I32(3));
  int32_t count = a.I32(4);
  if (count <= 0) return 0;
  int32_t matched = 0;
  while (matched < count && static_cast<size_t>(matched) < std::min(t.size(), p.size()) &&
         t[matched] == p[matched]) {
    ++matched;
  }
  return count - matched;
}

// 67: the destination is checked before anything is formatted.
int32_t StrFormat(NativeArgs& a) {
  uint32_t dest = a.U32(0);
  std::string_view format;  // guest memory is written only once the text is made
  if (!a.TextView(1, format) || dest == 0) return kFailed;
  if (!Mem(a).Valid(dest, 1)) return NativeArgs::Fault(Mem(a));
  std::array<char, kGuestFormatCapacity> buffer;
  std::optional<std::string_view> out = FormatGuestText(Mem(a), format, a.WordAddress(2), buffer);
  if (!out) return kFailed;
  PutText(a, dest, *out);
  return 0;
}

// 68
int32_t StrToInt(NativeArgs& a) {
  std::string s;
  double v = 0;
  if (!a.Text(0, s) || !ParseDecimal(s, v)) return 0;
  v = std::trunc(v);
  return static_cast<int32_t>(std::clamp(v, double{INT32_MIN}, double{INT32_MAX}));
}

uint32_t FloatBits(double v) {
  return std::bit_cast<uint32_t>(static_cast<float>(v));
}
double FloatOf(uint32_t bits) {
  return std::bit_cast<float>(bits);
}

// 69
int32_t StrToFloat(NativeArgs& a) {
  std::string s;
  double v = 0;
  if (!a.Text(0, s) || !ParseDecimal(s, v)) return 0;
  // A value beyond float's range is refused too, as a non-finite one.
  float f = static_cast<float>(v);
  return std::isfinite(f) ? static_cast<int32_t>(std::bit_cast<uint32_t>(f)) : 0;
}

// 70, 71: in place, ASCII letters only.
template <void (*Fold)(std::span<char>)>
int32_t StrCase(NativeArgs& a) {
  uint32_t at = a.U32(0);
  std::string s;
  if (!a.Text(0, s) || at == 0) return 0;
  Fold(s);
  Mem(a).Write(at, s.data(), static_cast<uint32_t>(s.size()));
  return 0;
}

// 75, 76
int32_t AllocBlock(NativeArgs& a) {
  return static_cast<int32_t>(State(a).AllocateBlock(a.I32(0)));
}

// 77: only blocks the script was given; any other address changes nothing.
int32_t FreeBlock(NativeArgs& a) {
  State(a).FreeBlock(a.U32(0));
  return 0;
}

// 78
int32_t FillWords(NativeArgs& a) {
  uint32_t dest = a.U32(0);
  uint32_t value = a.U32(1);
  int64_t count = a.I32(2);
  if (dest == 0) return 0;
  if (count <= 0) return 1;
  if (!GuestRange(Mem(a), dest, count * 4)) return 0;
  for (int64_t i = 0; i < count; ++i) Mem(a).Write32(static_cast<uint32_t>(dest + i * 4), value);
  return 1;
}

// 79
int32_t FillBytes(NativeArgs& a) {
  uint32_t dest = a.U32(0);
  uint8_t value = static_cast<uint8_t>(a.U32(1));
  int64_t count = a.I32(2);
  if (dest == 0) return 0;
  if (count <= 0) return 1;
  return GuestRange(Mem(a), dest, count) && Mem(a).Fill(dest, value, static_cast<uint32_t>(count))
             ? 1
             : 0;
}

// 80
int32_t CopyBytes(NativeArgs& a) {
  uint32_t dest = a.U32(0);
  uint32_t src = a.U32(1);
  int64_t count = a.I32(2);
  if (dest == 0 || src == 0) return 0;
  if (count <= 0) return 1;
  if (!GuestRange(Mem(a), dest, count) || !GuestRange(Mem(a), src, count)) return 0;
  return Mem(a).Copy(dest, src, static_cast<uint32_t>(count)) ? 1 : 0;
}

const TrigTables& Trig() {
  if (const TrigTables* t = Global<TrigTables>::Get()) return *t;
  static const TrigTables own;
  return own;
}

// The cosine table's entries by a masked index, so a negative angle stays inside it.
int32_t SineOf(int32_t angle) {
  return Trig().CosineTable()[(static_cast<uint32_t>(angle) - 128) & 511];
}
int32_t CosineOf(int32_t angle) {
  return Trig().CosineTable()[static_cast<uint32_t>(angle) & 511];
}

// 81, 82
int32_t NativeCosine(NativeArgs& a) {
  return SineOf(a.I32(0));
}
int32_t NativeSine(NativeArgs& a) {
  return CosineOf(a.I32(0));
}

// 83
int32_t PointOnCircle(NativeArgs& a) {
  int32_t angle = a.I32(0);
  int64_t radius = a.I32(1);
  int64_t cx = a.I32(2);
  int64_t cy = a.I32(3);
  int64_t x = ((CosineOf(angle) * radius) >> 16) + cx;
  int64_t y = cy - ((SineOf(angle) * radius) >> 16);
  a.Out32(4, static_cast<uint32_t>(x));
  a.Out32(5, static_cast<uint32_t>(y));
  return 0;
}

// 86, 87
int32_t TwisterRandom(NativeArgs& a) {
  uint32_t n = a.U32(0);
  if (a.Faulted()) return 0;
  uint32_t v = State(a).Twister()();
  return n ? static_cast<int32_t>(v % n) : 0;
}
int32_t SeedTwister(NativeArgs& a) {
  uint32_t seed = a.U32(0);
  if (a.Faulted()) return 0;
  State(a).SeedTwister(seed);
  return 1;
}

// 88-91: in double, rounded to float.
template <int kOp>
int32_t FloatOp(NativeArgs& a) {
  double x = FloatOf(a.U32(0));
  double y = FloatOf(a.U32(1));
  double r = kOp == 0 ? x + y : kOp == 1 ? x - y : kOp == 2 ? x * y : x / y;
  return static_cast<int32_t>(FloatBits(r));
}

// 92, 93: the first extreme value.
template <bool kMax>
int32_t IndexOfExtreme(NativeArgs& a) {
  int64_t count = a.I32(0);
  if (count < 2 || !GuestRange(Mem(a), a.WordAddress(1), count * 4)) return 0;
  int32_t best = a.I32(1);
  int32_t at = 0;
  for (int32_t i = 1; i < count; ++i) {
    int32_t v = a.I32(static_cast<uint32_t>(i + 1));
    if (kMax ? v > best : v < best) best = v, at = i;
  }
  return at;
}

// 26-29: byte filters of variable class and kind.
template <int (ScriptVm::*Operation)(int, int)>
int32_t VariableSet(NativeArgs& a) {
  int classFilter = static_cast<uint8_t>(a.U32(0));
  int kindFilter = static_cast<uint8_t>(a.U32(1));
  // The script is answered 0 either way; a missing snapshot copies nothing.
  if (!a.Faulted()) (void)(a.Host().*Operation)(classFilter, kindFilter);
  return 0;
}

// 30
int32_t SaveVariable(NativeArgs& a) {
  uint32_t variable = a.U32(0);
  return a.Faulted() ? 0 : a.Host().SaveVariableToSnapshotB(variable);
}

// A name text; null for 0, so the engine answers its no-name code.
bool Name(NativeArgs& a, uint32_t k, std::string& name, const char*& pointer) {
  bool isNull = false;
  if (!a.Text(k, name, &isNull)) return false;
  pointer = isNull ? nullptr : name.c_str();
  return true;
}

// 31
int32_t WriteVariables(NativeArgs& a) {
  std::string name;
  const char* n = nullptr;
  uint32_t plain = a.U32(1), text = a.U32(2), fromB = a.U32(3);
  if (!Name(a, 0, name, n)) return 0;
  return a.Host().WriteVariableFile(n, 0, plain, text, fromB != 0);
}

// 32
int32_t ReadVariablesHeader(NativeArgs& a) {
  std::string name;
  const char* n = nullptr;
  uint32_t plain = a.U32(1), text = a.U32(2);
  if (!Name(a, 0, name, n)) return 0;
  return a.Host().ReadVariableFileHeader(n, plain, text);
}

// 33
int32_t ReadVariables(NativeArgs& a) {
  std::string name;
  const char* n = nullptr;
  if (!Name(a, 0, name, n)) return 0;
  return a.Host().ReadVariableFile(n);
}

// 34
int32_t SetStateFileName(NativeArgs& a) {
  std::string name;
  const char* n = nullptr;
  if (Name(a, 0, name, n)) a.Host().SetSystemStateFileName(n);
  return 0;
}

// 36
int32_t ReadState(NativeArgs& a) {
  return a.Host().ReadSystemState(nullptr);
}

// 95
int32_t GetTextBuffer(NativeArgs& a) {
  return static_cast<int32_t>(State(a).TextBuffer());
}

// 118: the parent written back in place.
int32_t CutPath(NativeArgs& a) {
  uint32_t at = a.U32(0);
  std::string path;
  if (!a.Text(0, path) || at == 0) return kCutPathFailed;
  int r = CutLastPathPart(path);
  if (r == kCutPathDone) PutText(a, at, path);
  return r;
}

// 119, 121: a part of the path into the out text.
template <std::string (*Part)(std::string_view)>
int32_t PathPart(NativeArgs& a) {
  std::string path;
  uint32_t out = a.U32(1);
  if (!a.Text(0, path) || out == 0) return 0;
  PutText(a, out, Part(path));
  return 0;
}
std::string LeafName(std::string_view path) {
  return GetPathLeafName(path, false);
}

// 122: the path cut at its extension, the extension into the out text.
int32_t SplitExtension(NativeArgs& a) {
  uint32_t at = a.U32(0);
  uint32_t out = a.U32(1);
  std::string path;
  if (!a.Text(0, path) || at == 0) return 0;
  std::string extension = SplitOffExtension(path);
  if (out) PutText(a, out, extension);
  PutText(a, at, path);
  return 0;
}

// 541
int32_t GetTime(NativeArgs& a) {
  ScriptApplication* app = a.Host().Application();
  return app ? static_cast<int32_t>(app->Clock()) : 0;
}

constexpr NativeEntry kEntries[] = {
    {Native::kRestoreVariablesFromSnapshotA, VariableSet<&ScriptVm::RestoreFromSnapshotA>},
    {Native::kClearVariables, VariableSet<&ScriptVm::ClearVariables>},
    {Native::kSaveVariablesToSnapshotB, VariableSet<&ScriptVm::SaveToSnapshotB>},
    {Native::kRestoreVariablesFromSnapshotB, VariableSet<&ScriptVm::RestoreFromSnapshotB>},
    {Native::kSaveVariableToSnapshotB, SaveVariable},
    {Native::kWriteVariableFile, WriteVariables},
    {Native::kReadVariableFileHeader, ReadVariablesHeader},
    {Native::kReadVariableFile, ReadVariables},
    {Native::kSetSystemStateFileName, SetStateFileName},
    {Native::kReadSystemState, ReadState},
    {Native::kStrCopy, StrCopy},
    {Native::kStrCopyPart, StrCopyPart},
    {Native::kStrCopyUntil, StrCopyUntil},
    {Native::kStrCat, StrCat},
    {Native::kStrLen, StrLen},
    {Native::kStrCmp, StrCmp},
    {Native::kStrCmpI, StrCmpI},
    {Native::kStrMatchCount, StrMatchCount},
    {Native::kStrFormat, StrFormat},
    {Native::kStrToInt, StrToInt},
    {Native::kStrToFloat, StrToFloat},
    {Native::kStrUpper, StrCase<sjis::ToUpperInPlace>},
    {Native::kStrLower, StrCase<sjis::ToLowerInPlace>},
    {Native::kAllocBlock, AllocBlock},
    {Native::kAllocZeroBlock, AllocBlock},
    {Native::kFreeBlock, FreeBlock},
    {Native::kFillWords, FillWords},
    {Native::kFillBytes, FillBytes},
    {Native::kCopyBytes, CopyBytes},
    {Native::kPointOnCircle, PointOnCircle},
    {Native::kTwisterRandom, TwisterRandom},
    {Native::kSeedTwister, SeedTwister},
    {Native::kFloatAdd, FloatOp<0>},
    {Native::kFloatSub, FloatOp<1>},
    {Native::kFloatMul, FloatOp<2>},
    {Native::kFloatDiv, FloatOp<3>},
    {Native::kIndexOfMax, IndexOfExtreme<true>},
    {Native::kIndexOfMin, IndexOfExtreme<false>},
    {Native::kGetTextBuffer, GetTextBuffer},
    {Native::kCutLastPathPart, CutPath},
    {Native::kGetPathLeafName, PathPart<LeafName>},
    {Native::kGetPathExtension, PathPart<GetPathExtension>},
    {Native::kSplitOffExtension, SplitExtension},
    {Native::kGetTime, GetTime},
    // The application, time, input, boxes, dialogs and the desktop.
    {Native::kSetWindowFeature, NativeSetWindowFeature},
    {Native::kGetAppState, NativeGetAppState},
    {Native::kGetAppText, NativeGetAppText},
    {Native::kSetUserSetting, NativeSetUserSetting},
    {Native::kGetUserSetting, NativeGetUserSetting},
    {Native::kSetVoiceSetting, NativeSetVoiceSetting},
    {Native::kGetVoiceInfo, NativeGetVoiceInfo},
    {Native::kApplyTextSettings, NativeApplyTextSettings},
    {Native::kSetScreenMode, NativeSetScreenMode},
    {Native::kSetAppFlagA, NativeSetScriptFlag<0>},
    {Native::kPushVSyncWait, NativePacing<&ScriptApplication::PushVSyncWait>},
    {Native::kPopVSyncWait, NativePacing<&ScriptApplication::PopVSyncWait>},
    {Native::kPushPreciseTimingOff, NativePacing<&ScriptApplication::PushPreciseTimingOff>},
    {Native::kPopPreciseTimingOff, NativePacing<&ScriptApplication::PopPreciseTimingOff>},
    {Native::kLowerFrameThreadPriority, NativeLowerFrameThreadPriority},
    {Native::kRestoreFrameThreadPriority, NativeRestoreFrameThreadPriority},
    {Native::kSetFrameRate, NativeSetFrameRate},
    {Native::kGetFrameRate, NativeGetFrameRate},
    {Native::kSetAppFlagB, NativeSetScriptFlag<1>},
    {Native::kPostAppCommand, NativePostAppCommand},
    {Native::kGetInterruptArgument, NativeGetInterruptArgument},
    {Native::kSavePersistentData, NativeSavePersistentData},
    {Native::kTakeWindowRestoredFlag, NativeTakeWindowRestoredFlag},
    {Native::kStrHelper, NativeCopyToClipboard},
    {Native::kGetInputText, NativeGetInputText},
    {Native::kSetupInputDialog, NativeSetupInputDialog},
    {Native::kCosine, NativeCosine},
    {Native::kSine, NativeSine},
    {Native::kSetAppFolder, NativeSetAppFolder},
    {Native::kGetLocalTime, NativeGetLocalTime},
    {Native::kStopwatchCreate, NativeStopwatchOp<0>},
    {Native::kStopwatchStart, NativeStopwatchOp<1>},
    {Native::kStopwatchGetElapsed, NativeStopwatchOp<2>},
    {Native::kStopwatchSetElapsed, NativeStopwatchOp<3>},
    {Native::kStopwatchPause, NativeStopwatchOp<4>},
    {Native::kStopwatchResume, NativeStopwatchOp<5>},
    {Native::kStopwatchPauseAll, NativeStopwatchOp<6>},
    {Native::kStopwatchResumeAll, NativeStopwatchOp<7>},
    {Native::kIsActionPressed, NativeActionTest<true>},
    {Native::kIsActionDown, NativeActionTest<false>},
    {Native::kFindPressedAction, NativeFindAction<true>},
    {Native::kFindHeldAction, NativeFindAction<false>},
    {Native::kAddBinding, NativeBinding<0>},
    {Native::kRemoveBinding, NativeBinding<1>},
    {Native::kChangeBinding, NativeBinding<2>},
    {Native::kIsDecidePressed, NativeFixedAction<4, true>},
    {Native::kIsCancelPressed, NativeFixedAction<5, true>},
    {Native::kIsUpPressed, NativeFixedAction<0, true>},
    {Native::kIsDownPressed, NativeFixedAction<1, true>},
    {Native::kIsLeftPressed, NativeFixedAction<2, true>},
    {Native::kIsRightPressed, NativeFixedAction<3, true>},
    {Native::kIsDecideHeld, NativeFixedAction<4, false>},
    {Native::kIsCancelHeld, NativeFixedAction<5, false>},
    {Native::kIsUpHeld, NativeFixedAction<0, false>},
    {Native::kIsDownHeld, NativeFixedAction<1, false>},
    {Native::kIsLeftHeld, NativeFixedAction<2, false>},
    {Native::kIsRightHeld, NativeFixedAction<3, false>},
    {Native::kIsSkipModifierPressed, NativeSkipModifier<true>},
    {Native::kIsSkipModifierDown, NativeSkipModifier<false>},
    {Native::kIsKeyPressed, NativeKeyTest<0>},
    {Native::kIsKeyDown, NativeKeyTest<1>},
    {Native::kGetScrollLockState, NativeKeyToggle<kVkScroll>},
    {Native::kGetCapsLockState, NativeKeyToggle<kVkCapital>},
    {Native::kGetNumLockState, NativeKeyToggle<kVkNumLock>},
    {Native::kSetKeyboardMode, NativeSetKeyboardMode},
    {Native::kIsKeyReleased, NativeKeyTest<2>},
    {Native::kSetCursorShape, NativeSetCursorShape},
    {Native::kSetAnimatedCursor, NativeSetAnimatedCursor},
    {Native::kShowCursor, NativeShowCursor},
    {Native::kGetCursorPosition, NativeGetCursorPosition},
    {Native::kSetCursorPosition, NativeSetCursorPosition},
    {Native::kIsPointerInWindow, NativeIsPointerInWindow},
    {Native::kIsLeftClickPressed, NativeMouseButton<kButtonLeft, true>},
    {Native::kIsRightClickPressed, NativeMouseButton<kButtonRight, true>},
    {Native::kIsMiddleClickPressed, NativeMouseButton<kButtonMiddle, true>},
    {Native::kIsLeftClickDown, NativeMouseButton<kButtonLeft, false>},
    {Native::kIsRightClickDown, NativeMouseButton<kButtonRight, false>},
    {Native::kIsMiddleClickDown, NativeMouseButton<kButtonMiddle, false>},
    {Native::kWheelUp, NativeWheel<kButtonWheelUp>},
    {Native::kWheelDown, NativeWheel<kButtonWheelDown>},
    {Native::kGetJoystickState, NativeGetJoystickState},
    {Native::kIsJoyButtonPressed, NativeJoyButton<true>},
    {Native::kIsJoyButtonDown, NativeJoyButton<false>},
    {Native::kMessageBox, NativeBox<0>},
    {Native::kYesNoBox, NativeBox<1>},
    {Native::kOkCancelBox, NativeBox<2>},
    {Native::kMessageDialog, NativeMessageDialog},
    {Native::kShellOpen, NativeOpenWithDesktop<false>},
    {Native::kGetSpecialFolder, NativeGetSpecialFolder},
    {Native::kOpenFolder, NativeOpenWithDesktop<true>},
    {Native::kSetWallpaper, NativeDesktopNothing},
    {Native::kSetScreenSaver, NativeDesktopNothing},
    {Native::kStartScreenSaver, NativeDesktopNothing},
};

constexpr NativeRange kNumbers[] = {{3, 38}, {55, 56}, {59, 165}, {541, 595}, {795, 808}};

}  // namespace

const NativeFamily& SystemNativeFamily() {
  // The family's rows come in parts: this table, then the file natives'.
  static const std::vector<NativeEntry> entries = [] {
    std::vector<NativeEntry> all(std::begin(kEntries), std::end(kEntries));
    std::span<const NativeEntry> files = SystemFileNativeEntries();
    all.insert(all.end(), files.begin(), files.end());
    return all;
  }();
  static const NativeFamily family{"system", entries, kNumbers};
  return family;
}

}  // namespace bw
