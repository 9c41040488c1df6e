// Label: optimised
#include "natives/system_natives.h"

#include <array>
#include <bit>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "host/clock.h"
#include "input/pointer_move_task.h"
#include "native_rig.h"
#include "natives/guest_format.h"
#include "natives/native_helpers.h"
#include "platform/timed_task.h"
#include "sound/voice_table.h"

namespace bw {
namespace {

uint32_t Bits(float f) {
  return std::bit_cast<uint32_t>(f);
}

TEST(StringNatives, CopyAndJoin) {
  NativeRig rig;
  uint32_t dest = rig.Block(64), abc = rig.Text("abcdef");
  EXPECT_EQ(rig.Answer(Native::kStrCopy, {dest, abc}), int32_t(dest));
  rig.Call(Native::kStrCat, {dest, rig.Text("XY")});
  EXPECT_EQ(rig.Read(dest), "abcdefXY");
  EXPECT_EQ(rig.Answer(Native::kStrCopy, {0, abc}), 0)
      << "a destination of 0 gets the failure value";
}

TEST(StringNatives, CopiesOfPartsStopAtTheirEnds) {
  NativeRig rig;
  uint32_t dest = rig.Block(64), abc = rig.Text("abcdef");
  EXPECT_EQ(rig.Answer(Native::kStrCopyPart, {dest, 2, abc, 3}), 0);
  EXPECT_EQ(rig.Read(dest), "cde");
  rig.Call(Native::kStrCopyPart, {dest, 40, abc, 5});
  EXPECT_EQ(rig.Read(dest), "") << "a start past the terminator copies nothing";
  rig.Memory().Write(dest, "abcdef", 7);
  EXPECT_EQ(rig.Answer(Native::kStrCopyPart, {dest, 0, abc, 0}), 0);
  EXPECT_EQ(rig.Read(dest), "") << "max 0 writes only the terminator";
  EXPECT_EQ(rig.Read(dest + 1), "bcdef") << "and nothing after it";
  rig.Call(Native::kStrCopyUntil, {dest, 1, abc, 'e'});
  EXPECT_EQ(rig.Read(dest), "bcd");
}

TEST(StringNatives, MeasuresAndComparisons) {
  NativeRig rig;
  const uint32_t abc = rig.Text("abcdef");
  rig.Expect({{"nothing", Native::kStrLen, {0}, 0},
              {"upper case first", Native::kStrCmp, {abc, rig.Text("ABCDEF")}, 1},
              {"bytes compare unsigned", Native::kStrCmp, {rig.Text("\xE0\x41"), abc}, 1},
              {"case ignored", Native::kStrCmpI, {abc, rig.Text("ABD")}, -1},
              {"matches", Native::kStrMatchCount, {abc, rig.Text("xcdq"), 2, 1, 4}, 2}});
}

// Case changes touch single-byte letters only: a trail byte that looks like a letter stays.
TEST(StringNatives, CaseChangesLeaveTrailBytes) {
  NativeRig rig;
  uint32_t t = rig.Text("ab\x83\x61z");
  rig.Call(Native::kStrUpper, {t});
  EXPECT_EQ(rig.Read(t), "AB\x83\x61Z");
  rig.Call(Native::kStrLower, {t});
  EXPECT_EQ(rig.Read(t), "ab\x83\x61z");
}

TEST(StringNatives, DecimalTextsRefuseWhatIsNotAFiniteNumber) {
  NativeRig rig;
  EXPECT_EQ(rig.Answer(Native::kStrToInt, {rig.Text("  -42xyz")}), -42);
  EXPECT_EQ(rig.Answer(Native::kStrToInt, {rig.Text("99999999999")}), INT32_MAX);
  EXPECT_EQ(rig.Answer(Native::kStrToInt, {0}), 0);
  EXPECT_EQ(rig.Made(Native::kStrToFloat, {rig.Text("-.25")}), Bits(-0.25f));
  for (const char* bad : {"inf", "nan", "0x10", "1e999"})
    EXPECT_EQ(rig.Answer(Native::kStrToFloat, {rig.Text(bad)}), 0) << bad;
}

TEST(PathNatives, PartsOfAPathInPlaceAndOut) {
  NativeRig rig;
  uint32_t path = rig.Text("C:\\GAME\\\x95\x5C.DAT");  // the kanji's trail byte is 0x5C
  uint32_t out = rig.Block(64);
  EXPECT_EQ(rig.Answer(Native::kGetPathLeafName, {path, out}), 0);
  EXPECT_EQ(rig.Read(out), "\x95\x5C.DAT");
  EXPECT_EQ(rig.Answer(Native::kSplitOffExtension, {path, out}), 0);
  EXPECT_EQ(rig.Read(path), "C:\\GAME\\\x95\x5C");
  EXPECT_EQ(rig.Answer(Native::kCutLastPathPart, {path}), 0);
  EXPECT_EQ(rig.Read(path), "C:\\GAME\\");
  EXPECT_EQ(rig.Answer(Native::kCutLastPathPart, {rig.Text("NAME")}), 1);

  uint32_t buffer = rig.Made(Native::kGetTextBuffer, {});
  EXPECT_EQ(rig.Memory().BlockSize(buffer), 1024u);
  EXPECT_EQ(rig.Made(Native::kGetTextBuffer, {}), buffer) << "one buffer for the script";
}

// Names of 0 reach the engine as no name, which answers its own code; a missing file is refused.
TEST(VariableNatives, PassNamesAndFiltersToTheEngine) {
  NativeRig rig;
  EXPECT_EQ(rig.Answer(Native::kWriteVariableFile, {0, 0, 0, 0}), kVariableFileNoFile);
  EXPECT_EQ(rig.Answer(Native::kReadSystemState, {}), kStateNoName);
  for (uint32_t n : {Native::kRestoreVariablesFromSnapshotA, Native::kClearVariables,
                     Native::kSaveVariablesToSnapshotB, Native::kRestoreVariablesFromSnapshotB})
    EXPECT_EQ(rig.Answer(n, {0x1FF, 0x2FF}), 0) << n;
}

// 77 frees only what 75 and 76 gave; the engine's own memory stays.
TEST(MemoryNatives, BlocksFillAndCopy) {
  NativeRig rig;
  EXPECT_EQ(rig.Answer(Native::kAllocBlock, {uint32_t(-5)}), 0);
  uint32_t b = rig.Made(Native::kAllocZeroBlock, {16});
  ASSERT_NE(b, 0u);
  EXPECT_EQ(rig.Word(b + 12), 0u);
  EXPECT_EQ(rig.Answer(Native::kFillWords, {b, 0xA5A5A5A5, 4}), 1);
  EXPECT_EQ(rig.Word(b + 12), 0xA5A5A5A5u);
  rig.Call(Native::kFillBytes, {b, 0x11, 2});
  EXPECT_EQ(rig.Word(b), 0xA5A51111u);
  EXPECT_EQ(rig.Answer(Native::kCopyBytes, {b + 4, b, 8}), 1) << "overlapping ranges";
  EXPECT_EQ(rig.Word(b + 4), 0xA5A51111u);
  EXPECT_TRUE(rig.Call(Native::kFillWords, {b, 1, 0x40000001}).faulted) << "a count past the arena";
  EXPECT_TRUE(rig.Call(Native::kCopyBytes, {b, b, 0x7FFFFFFF}).faulted);

  uint32_t code = rig.host->GetCodeBase();
  uint32_t before = rig.Memory().BlockSize(code);
  EXPECT_EQ(rig.Answer(Native::kFreeBlock, {code}), 0);
  EXPECT_EQ(rig.Memory().BlockSize(code), before) << "a code address is not the script's block";
  EXPECT_EQ(rig.Answer(Native::kFreeBlock, {b}), 0);
  EXPECT_EQ(rig.Memory().BlockSize(b), 0u);
  EXPECT_EQ(rig.Answer(Native::kFreeBlock, {b}), 0) << "a second free changes nothing";
}

// The quarter points of the 512-step circle are exact; angles wrap at 512.
TEST(NumberNatives, SinesAndCosinesAtTheQuarterPoints) {
  NativeRig rig;
  for (auto [angle, sine, cosine] : {std::tuple{0, 65536, 0},
                                     {128, 0, 65536},
                                     {256, -65536, 0},
                                     {384, 0, -65536},
                                     {512, 65536, 0},
                                     {-128, 0, -65536}}) {
    EXPECT_EQ(rig.Answer(Native::kSine, {uint32_t(angle)}), sine) << angle;
    EXPECT_EQ(rig.Answer(Native::kCosine, {uint32_t(angle)}), cosine) << angle;
  }
}

TEST(NumberNatives, PointsOnACircle) {
  NativeRig rig;
  uint32_t out = rig.Block(8);
  for (auto [angle, x, y] : {std::tuple{0, 100010, 20}, {128, 10, -99980}, {-256, -99990, 20}}) {
    ASSERT_EQ(rig.Answer(Native::kPointOnCircle, {uint32_t(angle), 100000, 10, 20, out, out + 4}),
              0);
    EXPECT_EQ(std::pair(int32_t(rig.Word(out)), int32_t(rig.Word(out + 4))), std::pair(x, y))
        << angle;
  }
  EXPECT_EQ(rig.Call(Native::kPointOnCircle, {0, 1, 0, 0, 0, 0}).faulted, false)
      << "outs of 0 are skipped";
}

TEST(NumberNatives, ExtremesAndTheTwister) {
  NativeRig rig;
  EXPECT_TRUE(rig.Call(Native::kIndexOfMax, {0x7FFFFFFF, 1, 2}).faulted);
  rig.Expect({{"the first of two largest", Native::kIndexOfMax, {3, 3, 7, 7}, 1},
              {"the first of two smallest", Native::kIndexOfMin, {3, 7, 3, 3}, 1},
              {"seeded", Native::kSeedTwister, {5489}, 1},
              {"MT19937's first word below 2^31", Native::kTwisterRandom, {1u << 31}, 1351727964}});
}

// The format native's decimal digits of every length, and float operations whose operands do
// not commute.
TEST(NumberNatives, FormatWritesDecimalsOfEveryLength) {
  NativeRig rig;
  const uint32_t out = rig.Block(64);
  const char* digits = "1234567890";
  for (size_t n = 1; n <= 10; ++n) {
    const std::string expected = std::string(digits, n);
    const uint32_t value = uint32_t(std::stoul(expected));
    ASSERT_EQ(rig.Answer(Native::kStrFormat, {out, rig.Text("%d|%u"), value, value}), 0);
    EXPECT_EQ(rig.Read(out), expected + "|" + expected);
  }
  ASSERT_EQ(rig.Answer(Native::kStrFormat, {out, rig.Text("%d %d %d"), 100, 909, uint32_t(-105)}),
            0);
  EXPECT_EQ(rig.Read(out), "100 909 -105");
}

TEST(NumberNatives, FloatOperationsKeepTheirOperandsInOrder) {
  NativeRig rig;
  auto f = [](float v) { return int32_t(Bits(v)); };
  rig.Expect({{"add", Native::kFloatAdd, {Bits(5.0f), Bits(-2.0f)}, f(3.0f)},
              {"subtract", Native::kFloatSub, {Bits(5.0f), Bits(2.0f)}, f(3.0f)},
              {"multiply", Native::kFloatMul, {Bits(5.0f), Bits(-2.0f)}, f(-10.0f)},
              {"divide", Native::kFloatDiv, {Bits(5.0f), Bits(2.0f)}, f(2.5f)}});
}

class GuestFormat : public testing::Test {
 protected:
  NativeRig rig;
  // Formats with the given value words; a fault or a missing terminator fails the test.
  std::string Format(const std::string& format, std::vector<uint32_t> words,
                     size_t capacity = kGuestFormatCapacity) {
    const uint32_t values = rig.Words(words);
    std::vector<char> buffer(capacity, 'x');
    std::optional<std::string_view> out = FormatGuestText(rig.Memory(), format, values, buffer);
    EXPECT_TRUE(out && buffer[out->size()] == '\0') << format;
    return std::string(out.value_or(""));
  }
};

TEST_F(GuestFormat, ConversionsFlagsWidthAndPrecision) {
  uint32_t hello = rig.Text("hello");
  struct Case {
    const char* format;
    std::vector<uint32_t> words;
    const char* expected;
  } cases[] = {
      {"%d|%i|%u", {uint32_t(-5), 7, uint32_t(-1)}, "-5|7|4294967295"},
      {"%x %X %#x %#X %#x", {255, 255, 255, 255, 0}, "ff FF 0xff 0XFF 0"},
      {"[%5d][%-5d][%05d][%-05d]", {42, 42, uint32_t(-42), 42}, "[   42][42   ][-0042][42   ]"},
      {"[%.3d][%8.3d][%08.3d][%.0d]", {7, uint32_t(-7), 7, 0}, "[007][    -007][     007][]"},
      {"%hd %hu %hx %ld", {0x18000, 0x18000, 0x12345, 9}, "-32768 32768 2345 9"},
      {"%c%c|%3c|%-3c|", {'a', 0x142, 'b', 'c'}, "aB|  b|c  |"},
      {"%s|%.3s|%7s|%-7s|", {hello, hello, hello, hello}, "hello|hel|  hello|hello  |"},
      {"%s", {0}, "(null)"},
      {"100%% %q %*d", {5}, "100% q *d"},
  };
  for (const Case& c : cases) EXPECT_EQ(Format(c.format, c.words), c.expected) << c.format;
}

// Output stops at capacity - 1 bytes and never splits a two-byte character.
TEST_F(GuestFormat, CutsAtTheLimitOnACharacterBoundaryAndFaultsOnBadValues) {
  EXPECT_EQ(Format("%2000d", {1}).size(), 1023u);
  EXPECT_EQ(Format("%.600d", {1}, 512), std::string(511, '0'));
  std::string kanji;
  for (int i = 0; i < 600; ++i) kanji += "\x88\x9F";  // two-byte characters
  uint32_t text = rig.Text(kanji);
  EXPECT_EQ(Format("%s", {text}).size(), 1022u) << "the 1,023rd byte would split a character";
  EXPECT_EQ(Format(kanji, {}).size(), 1022u) << "and so would it in a literal run";
  std::string cut = Format("%.3s", {text});
  EXPECT_EQ(cut, "\x88\x9F") << "precision cuts on a character boundary too";

  // Bad value addresses fault.
  std::array<char, kGuestFormatCapacity> out;
  GuestMemory& m = rig.Memory();
  const uint32_t values = rig.Var(PastTheArena(m));
  EXPECT_FALSE(FormatGuestText(m, "%s", values, out));
  EXPECT_TRUE(m.TakeFault());
  EXPECT_FALSE(FormatGuestText(m, "%d %d", m.Top() - 4, out));
  EXPECT_TRUE(m.TakeFault());
}

constexpr int kCodeZ = 0x2C;
constexpr int kCodeLeftShift = 0x2A;

TEST(AppNatives, AppTextsUserSettingTextsAndTheClipboard) {
  NativeRig rig;
  // "ゲーム" and a letter: a cut never splits the last character.
  rig.app.appTexts[1] = "\x83\x51\x81\x5B\x83\x80X";
  uint32_t buf = rig.Block(16);
  EXPECT_EQ(rig.Answer(Native::kGetAppText, {1, buf, 0}), 8) << "length + 1, nothing written";
  rig.Call(Native::kGetAppText, {1, buf, 4});
  EXPECT_EQ(rig.Read(buf), "\x83\x51");
  EXPECT_EQ(rig.Answer(Native::kGetAppText, {4, buf, 16}), -1);
  EXPECT_TRUE(rig.Call(Native::kGetAppText, {1, PastTheArena(rig.Memory()), 16}).faulted);

  EXPECT_EQ(rig.Answer(Native::kSetUserSetting, {0, 7, 1}), 1)
      << "a setting the scripts may not set";
  EXPECT_EQ(rig.Answer(Native::kSetUserSetting, {2, 0, rig.Text("Face")}), 0);
  uint32_t face = rig.Made(Native::kGetUserSetting, {2, 0});
  EXPECT_EQ(rig.Read(face), "Face");
  EXPECT_EQ(rig.Made(Native::kGetUserSetting, {2, 0}), face) << "one copy while the text stays";

  // The clipboard takes the text up to its terminator or size bytes, whichever comes first.
  uint32_t t = rig.Text("hello");
  EXPECT_EQ(rig.Answer(Native::kStrHelper, {t, 0}), kClipboardDone);
  EXPECT_EQ(rig.app.clipboard, "hello");
  rig.Call(Native::kStrHelper, {t, 3});
  EXPECT_EQ(rig.app.clipboard, "hel");
  NativeAnswer past = rig.Call(Native::kStrHelper, {t, 0x10000000});
  EXPECT_FALSE(past.faulted) << "nothing is read past the terminator";
  EXPECT_EQ(rig.app.clipboard, "hello");
  rig.app.clipboardWorks = false;
  EXPECT_EQ(rig.Answer(Native::kStrHelper, {t, 0}), kClipboardFailed)
      << "a refusal is not reported as done";
}

TEST(AppNatives, VoiceCharactersByIndexAndField) {
  NativeRig rig;
  EXPECT_EQ(rig.Answer(Native::kSetVoiceSetting, {0, 0, 5}), -1) << "no table";
  VoiceTable& voices = rig.host->GetVoices();
  voices.characters.resize(2);
  voices.characters[0].name = "AKI";
  voices.characters[1].name = "BEN";
  voices.characters[1].secondText = "Ben";
  voices.aliases = {{"A1", 0}, {"B1", 1}, {"B2", 1}};

  EXPECT_EQ(rig.Answer(Native::kSetVoiceSetting, {1, 3, 0}), -1) << "a bad field";
  EXPECT_EQ(rig.Answer(Native::kGetVoiceInfo, {5, 0}), 2) << "out of range answers the count";
  EXPECT_EQ(rig.Answer(Native::kSetVoiceSetting, {1, 2, 1}), 0);
  EXPECT_EQ(rig.Read(rig.Made(Native::kGetVoiceInfo, {1, 5})), "Ben");
  rig.Call(Native::kSetVoiceSetting, {0, 2, 1});
  EXPECT_EQ(rig.Read(rig.Made(Native::kGetVoiceInfo, {0, 5})), "\x81\x48\x81\x48\x81\x48");
  EXPECT_EQ(rig.Read(rig.Made(Native::kGetVoiceInfo, {1, 6})), "B1") << "the first alias";

  // A reloaded table replaces the copy the script was given.
  EXPECT_EQ(rig.Read(rig.Made(Native::kGetVoiceInfo, {0, 3})), "AKI");
  voices.characters[0].name = "CHI";
  EXPECT_EQ(rig.Read(rig.Made(Native::kGetVoiceInfo, {0, 3})), "CHI");
}

// Native 12 hands the script's message window, choice list and renderer to the text settings,
// with the renderer and history switched on, once after each change of the settings.
TEST(AppNatives, TextSettingsReachTheScriptsTextOnceAfterEachChange) {
  struct Recorder : TextSettingsTarget {
    std::vector<TextSettingsRequest> seen;
    void ApplyTextSettings(const TextSettingsRequest& r) override { seen.push_back(r); }
  } target;
  NativeRig rig;
  rig.host->SetTextSettingsTarget(&target);
  EXPECT_EQ(rig.Answer(Native::kApplyTextSettings, {11, 22, 33}), 0);
  EXPECT_TRUE(target.seen.empty()) << "nothing changed yet";

  rig.app.textSettingsChanged = 1;
  EXPECT_EQ(rig.Answer(Native::kApplyTextSettings, {11, 22, 0}), 1);
  ASSERT_EQ(target.seen.size(), 1u);
  const TextSettingsRequest& r = target.seen[0];
  EXPECT_EQ(std::tuple(r.firstWidget, r.secondWidget, r.renderer), std::tuple(11u, 22u, 0u));
  EXPECT_TRUE(r.useRenderer && r.history) << "0 names the shared renderer";
  EXPECT_EQ(rig.app.textSettingsChanged, 0) << "taken";
  EXPECT_EQ(rig.Answer(Native::kApplyTextSettings, {11, 22, 0}), 0);
  EXPECT_EQ(target.seen.size(), 1u);
}

TEST(AppNatives, InputTextBoxesAndDesktop) {
  NativeRig rig;
  uint32_t buf = rig.Block(300);
  EXPECT_EQ(rig.Answer(Native::kGetInputText, {buf}), 1) << "an empty text";
  rig.app.typed = "a";
  for (int i = 0; i < 200; ++i) rig.app.typed += "\x88\x9F";
  EXPECT_EQ(rig.Answer(Native::kGetInputText, {buf}), 0);
  EXPECT_EQ(rig.Read(buf), rig.app.typed.substr(0, 255)) << "255 bytes, on a character boundary";
  rig.app.typed = "b" + rig.app.typed;
  rig.Call(Native::kGetInputText, {buf});
  EXPECT_EQ(rig.Read(buf), rig.app.typed.substr(0, 254));

  rig.app.boxAnswer = 1;
  EXPECT_EQ(rig.Answer(Native::kMessageBox, {rig.Text("T"), rig.Text("msg"), 2}), 0);
  EXPECT_EQ(rig.Answer(Native::kYesNoBox, {rig.Text("T"), rig.Text("yes?"), 3}), 1);
  rig.app.boxAnswer = 0;
  EXPECT_EQ(rig.Answer(Native::kOkCancelBox, {0, rig.Text("ok?"), 3}), 0);
  EXPECT_EQ(rig.Answer(Native::kMessageDialog, {1, 0, rig.Text("ask")}), 0);
  EXPECT_EQ(rig.Answer(Native::kMessageDialog, {0, 0, rig.Text("tell")}), 0);
  ASSERT_EQ(rig.app.boxes.size(), 5u);
  EXPECT_EQ(rig.app.boxes[2].title, "") << "a null title reads empty";
  EXPECT_EQ(rig.app.boxes[3].kind, 12u) << "a positive style asks";
  EXPECT_EQ(rig.app.boxes[4].kind, 10u);

  EXPECT_EQ(rig.Answer(Native::kOpenFolder, {rig.Text("C:\\DIR")}), 0);
  EXPECT_EQ(rig.Answer(Native::kOpenFolder, {0}), 1) << "no folder";
  ASSERT_EQ(rig.app.opened.size(), 1u);
  EXPECT_TRUE(rig.app.opened[0].second);
}

TEST(AppNatives, SpecialFoldersEndInASeparator) {
  NativeRig rig;
  std::filesystem::path data = std::filesystem::temp_directory_path() / "bw_special_folder_test";
  std::filesystem::remove_all(data);
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  uint32_t buf = rig.Block(260);
  EXPECT_EQ(rig.Answer(Native::kGetSpecialFolder, {buf, 3}), 1);
  std::string folder = rig.Read(buf);
  EXPECT_EQ(folder.rfind("Z:\\", 0), 0u) << folder;
  EXPECT_EQ(folder.back(), '\\');
  unsetenv("XDG_DATA_HOME");
  std::filesystem::remove_all(data);
}

TEST(AppNatives, WallClockAndStopwatches) {
  host::VirtualClock clock(500);
  host::WallTime fixed{2021, 3, 4, 5, 6, 7, 4};
  clock.SetLocalTime(fixed);
  ScopedGlobal<host::ClockSource> use(&clock);
  NativeRig rig;
  uint32_t out = rig.Block(20);
  EXPECT_EQ(rig.Answer(Native::kGetLocalTime, {out, out + 4, 0, out + 12, out + 16}), 0)
      << "an out of 0 is skipped";
  EXPECT_EQ(std::tuple(rig.Word(out), rig.Word(out + 8), rig.Word(out + 16)),
            std::tuple(2021u, 0u, 6u));

  EXPECT_EQ(rig.Answer(Native::kStopwatchCreate, {2}), 0);
  clock.AdvanceMilliseconds(40);
  EXPECT_EQ(rig.Answer(Native::kStopwatchGetElapsed, {0x10001}), 40) << "the index is 16 bits";
  EXPECT_EQ(rig.Answer(Native::kStopwatchStart, {2}), 0) << "past the bank";
}

// The message-fed devices of the input manager, driven as the window thread feeds them.
class InputNatives : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(manager_.CreateDevices(host::HWND{}, kDeviceTypeMessage, kDeviceTypeMessage), 0u);
    manager_.Activate();
    ASSERT_EQ(manager_.CreateBindingTable(8, &table_), 0u);
    for (uint32_t action = 0; action < 6; ++action) {
      ASSERT_EQ(table_->AddBinding(action, kDeviceKeyboard, static_cast<uint8_t>(0x10 + action)),
                0u);
    }
    rig_.app.input = &manager_;
    rig_.app.bindings = table_;
  }
  InputManager manager_;
  InputBindingTable* table_ = nullptr;
  NativeRig rig_;
};

TEST_F(InputNatives, ActionsAndFixedActions) {
  manager_.OnKeyDown('W', 0);  // code 0x11: action 1
  manager_.OnKeyDown('T', 0);  // code 0x14: action 4
  manager_.Poll();
  EXPECT_EQ(rig_.Answer(Native::kIsActionPressed, {1}), 1);
  EXPECT_EQ(rig_.Answer(Native::kFindPressedAction, {2, 0}), 4);
  EXPECT_EQ(rig_.Answer(Native::kIsDecidePressed, {}), 1) << "action 4";
  manager_.Poll();
  EXPECT_EQ(rig_.Answer(Native::kIsDecidePressed, {}), 0) << "pressed only in the frame after";

  EXPECT_EQ(rig_.Answer(Native::kAddBinding, {6, kDeviceKeyboard, kCodeZ}), 0);
  EXPECT_EQ(rig_.Answer(Native::kChangeBinding, {6, kDeviceKeyboard, kCodeZ, 0x2D}), 0);
  EXPECT_EQ(rig_.Answer(Native::kRemoveBinding, {6, kDeviceKeyboard, kCodeZ}),
            int32_t(kBindingNotFound))
      << "changed";
}

TEST_F(InputNatives, KeysModifiersAndMouse) {
  manager_.OnKeyDown('Z', 0);
  manager_.OnKeyDown(0x11, 0);  // Ctrl
  manager_.Poll();
  EXPECT_EQ(rig_.Answer(Native::kIsKeyDown, {kCodeZ}), 1);
  rig_.app.skipWithCtrl = true;
  EXPECT_EQ(rig_.Answer(Native::kIsSkipModifierPressed, {}), 1);
  manager_.OnKeyUp('Z', 0);
  manager_.Poll();
  EXPECT_EQ(rig_.Answer(Native::kIsKeyReleased, {kCodeZ}), 1) << "let go since the last frame";
  // A key let go and pressed again within one frame still counts as pressed.
  manager_.OnKeyUp(0x10, 0);
  manager_.OnKeyDown(0x10, 0);
  manager_.Poll();
  EXPECT_EQ(rig_.Answer(Native::kIsKeyPressed, {kCodeLeftShift}), 1);

  EXPECT_EQ(rig_.Answer(Native::kSetKeyboardMode, {0x100}), 0);
  EXPECT_FALSE(rig_.app.keyRepeats) << "a byte";

  manager_.GetMouse()->OnWheelMessage(host::WPARAM{120} << 16);
  manager_.Poll();
  uint32_t delta = rig_.Block(4);
  EXPECT_EQ(rig_.Answer(Native::kWheelUp, {delta}), 1);
  EXPECT_EQ(rig_.Word(delta), 120u);
}

TEST_F(InputNatives, AnimatedCursorFromADisplayObject) {
  host::VirtualClock clock(0);
  ScopedGlobal<host::ClockSource> use(&clock);
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  Mouse* mouse = manager_.GetMouse();
  PointerPosition at{50, 60};
  mouse->SetPointerPosition(&at);
  ImageSurface picture;
  ASSERT_EQ(picture.Create(288, 16, 32, kImagePlain), kSurfaceDone);
  auto sprite = std::make_unique<Sprite>();
  Rect firstFrame{0, 0, 16, 16};
  ASSERT_EQ(sprite->SetImage(&picture, &firstFrame, 0, 0), kSpriteDone);
  uint32_t handle = rig_.Give(sprite.get());

  EXPECT_EQ(rig_.Answer(Native::kSetAnimatedCursor, {handle, 4, 100, 0, 3, 2}), 0);
  EXPECT_TRUE(mouse->HasAnimatedCursor());
  mouse->UpdateAnimatedCursor();
  EXPECT_EQ(std::pair(sprite->GetX(), sprite->GetY()), std::pair(47, 58)) << "the hot spot";

  // A frame count so large that the ping-pong turn and the strip position pass 32 bits: the frame
  // comes back along the strip, and a position past any picture leaves the frame shown.
  ASSERT_EQ(rig_.Answer(Native::kSetAnimatedCursor, {handle, 0x40000001, 1, 1, 3, 2}), 0);
  clock.AdvanceMilliseconds(0x10000000);  // frame 2^28: 16 pixels each, past what 32 bits place
  mouse->UpdateAnimatedCursor();
  EXPECT_EQ(sprite->GetSourceRect(), firstFrame) << "held off the picture";
  clock.AdvanceMilliseconds(0x6FFFFFF0);  // on the way back: frame 16
  mouse->UpdateAnimatedCursor();
  EXPECT_EQ(sprite->GetSourceRect(), (Rect{256, 0, 272, 16}));

  // A sprite without a picture is refused and the first one stays the cursor.
  Sprite empty;
  uint32_t emptyHandle = rig_.Give(&empty);
  EXPECT_EQ(rig_.Answer(Native::kSetAnimatedCursor, {emptyHandle, 1, 0, 0, 0, 0}),
            int32_t(kAnimatedNoImage));
  at = {20, 20};
  mouse->UpdateAnimatedCursor();
  EXPECT_EQ(sprite->GetX(), 17);

  // The cursor's object destroyed under it: later frames touch nothing.
  sprite.reset();
  at = {30, 30};
  mouse->UpdateAnimatedCursor();
  EXPECT_EQ(rig_.Answer(Native::kSetAnimatedCursor, {0, 0, 0, 0, 0, 0}), 0);
  EXPECT_FALSE(mouse->HasAnimatedCursor());
  mouse->SetPointerPosition(nullptr);
}

// Without devices every test reads as nothing held, every search as none.
TEST(AppNatives, InputWithoutDevicesAndTheCursor) {
  NativeRig rig;
  for (uint32_t n :
       {Native::kIsActionPressed, Native::kIsActionDown, Native::kIsDecidePressed,
        Native::kIsRightHeld, Native::kIsSkipModifierPressed, Native::kIsKeyPressed,
        Native::kGetScrollLockState, Native::kIsKeyReleased, Native::kIsLeftClickPressed,
        Native::kIsMiddleClickDown, Native::kGetJoystickState, Native::kIsJoyButtonDown})
    EXPECT_EQ(rig.Answer(n, {1, 1}), 0) << n;
  EXPECT_EQ(rig.Answer(Native::kAddBinding, {0, 0, 1}), int32_t(kBindingNoDevice));
  uint32_t out = rig.Block(8);
  EXPECT_EQ(rig.Answer(Native::kGetCursorPosition, {out, out + 4}), 0);
  EXPECT_EQ(int32_t(rig.Word(out)), kPointerOutside);
}

TEST(NativeHelpers, TasksAndPointerMoves) {
  NativeRig rig;
  TimedTask* task = nullptr;
  rig.app.atLastPixel = true;
  EXPECT_EQ(StartPointerMove(&rig.app, 5, 5, 100, false, 0, &task), kPointerMoveNotStarted);
  rig.app.atLastPixel = false;
  rig.app.movesAllowed = false;
  EXPECT_EQ(StartPointerMove(&rig.app, 5, 5, 100, true, 0, &task), kPointerMoveNotStarted);
  rig.app.movesAllowed = true;
  EXPECT_EQ(StartPointerMove(&rig.app, 5, 5, 100, true, 0, &task), kPointerMoveMissing)
      << "no pointer to move";

  SetCurrentSaveName(*rig.host, "SAVE\\DATA0101.SAV");
  SetCurrentSaveName(*rig.host, nullptr);
  EXPECT_EQ(rig.host->CurrentSaveName(), "SAVE\\DATA0101.SAV") << "a null text keeps the name";
}

}  // namespace
}  // namespace bw
