#include "scenario/tgs/tgs_builtins.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "lib/wgx/wgx_writer.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "scenario/tgs/tgs_operations.h"
#include "scenario/tgs/tgs_stand_in_operations.h"
#include "script/guest_memory.h"
#include "support/image_test_rig.h"

namespace bw {
namespace {

std::string Show(int32_t v) {
  return std::to_string(v);
}
std::string Show(uint8_t v) {
  return std::to_string(v);
}
std::string Show(bool v) {
  return v ? "1" : "0";
}
std::string Show(const TgsText& t) {
  return t ? "\"" + std::string(*t) + "\"" : "null";
}
std::string Show(const std::optional<int32_t>& v) {
  return v ? std::to_string(*v) : "-";
}
std::string Show(std::string_view s) {
  return "\"" + std::string(s) + "\"";
}
template <typename T, size_t N>
std::string Show(std::span<const T, N> list) {
  std::string s = "[";
  for (const T& v : list) s += (s.size() > 1 ? " " : "") + Show(v);
  return s + "]";
}
template <typename... T>
std::string Join(const T&... v) {
  std::string s;
  ((s += (s.empty() ? "" : ", ") + Show(v)), ...);
  return s;
}

// Writes each operation as "Name(arguments)" and answers what the test set for it (else 0).
class RecordingOperations : public TgsOperations {
 public:
  bool RestoringGame() const override { return restoring; }
  void BeginBuiltin(uint32_t number) override { builtin = number; }
#define BW_RECORD(name, params, args) \
  int32_t name params override {      \
    return Record(#name, Join args);  \
  }
  BW_TGS_OPERATIONS(BW_RECORD)
#undef BW_RECORD

  std::string log;
  std::map<std::string, int32_t> answers;
  bool restoring = false;
  uint32_t builtin = 0;

 private:
  int32_t Record(const char* name, const std::string& args) {
    log += (log.empty() ? "" : "; ") + std::string(name) + "(" + args + ")";
    return answers[name];
  }
};

struct Record {
  uint32_t number;
  std::vector<TgsSlot> slots;
};

class FakeInterpreter : public TgsInterpreterContext {
 public:
  GuestMemory& Memory() override { return memory; }
  int32_t& WaitChain() override { return chain; }
  bool CollectingText() const override { return collecting; }
  bool AppendCallRecord(uint32_t number, std::span<const TgsSlot> slots) override {
    records.push_back({number, {slots.begin(), slots.end()}});
    return true;
  }
  GuestMemory memory{1u << 20};
  int32_t chain = 0;
  bool collecting = false;
  std::vector<Record> records;
};

class TgsBuiltinsTest : public ::testing::Test {
 protected:
  TgsSlot Text(std::string_view s) {
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    return {kTgsSlotText | 1, static_cast<int32_t>(interpreter_.memory.AllocateCopy(bytes, true))};
  }
  // One slot per letter: i = the value 700 + index (low byte 188 + index), t = the text
  // "s<index>", 0 = a given 0, n = a given -1, - = not given.
  std::vector<TgsSlot> Slots(std::string_view kinds) {
    std::vector<TgsSlot> slots;
    for (size_t i = 0; i < kinds.size(); ++i) {
      int32_t index = static_cast<int32_t>(i);
      switch (kinds[i]) {
        case 'i':
          slots.push_back({1, 700 + index});
          break;
        case 't':
          slots.push_back(Text("s" + std::to_string(i)));
          break;
        case '0':
          slots.push_back({1, 0});
          break;
        case 'n':
          slots.push_back({1, -1});
          break;
        default:
          slots.push_back({});
          break;
      }
    }
    return slots;
  }
  // Runs built-in number and clears an unchanged wait chain, as the interpreter does.
  int32_t Run(uint32_t number, const std::vector<TgsSlot>& slots, TgsOperations* ops = nullptr) {
    int32_t before = interpreter_.chain;
    TgsBuiltinCall call{interpreter_, ops ? *ops : ops_, slots};
    int32_t result = TgsBuiltinTable()[number](call);
    if (interpreter_.chain == before) interpreter_.chain = 0;
    return result;
  }
  std::string Log(uint32_t number, std::string_view kinds) {
    ops_.log.clear();
    EXPECT_EQ(Run(number, Slots(kinds)), 0) << "built-in " << number;
    return ops_.log;
  }

  FakeInterpreter interpreter_;
  RecordingOperations ops_;
};

struct RowCase {
  uint32_t number;
  const char* kinds;
  const char* given;     // the operations with every slot given as kinds says
  const char* defaults;  // with no slots at all
};

const RowCase kRows[] = {
    {12, "i", "BeginMessage(700)", "BeginMessage(0)"},
    {13, "-tttttttti", R"(ShowChoices(["s1" "s2" "s3" "s4" "s5" "s6" "s7" "s8"], 709))",
     "ShowChoices([], 0)"},
    {13, "-tt-t", R"(ShowChoices(["s1" "s2"], 0))", nullptr},
    {14, "", "TextNewLine()", "TextNewLine()"},
    {16, "", "MessageWait()", "MessageWait()"},
    {17, "", "ChoiceWait()", "ChoiceWait()"},
    {18, "t", R"(SetSpeakerName("s0"))", "SetSpeakerName(null)"},
    {19, "i", "", "DisableChoice(0)"},
    {20, "i", "WaitTimeSkippable(700, 1)", "WaitTimeSkippable(0, 1)"},
    {21, "i", "WaitTimeFixed(700)", "WaitTimeFixed(0)"},
    {22, "i", "SelectMessageWindow(700)", "SelectMessageWindow(0)"},
    {23, "iiiiii", "SetMessageWindowPlace(700, 701, 702, 703, 704, 705)",
     "SetMessageWindowPlace(0, 0, 0, 0, 0, 0)"},
    {24, "iiii", "SetFaceWindowPlace(700, 701, 702, 703)", "SetFaceWindowPlace(0, 0, 0, 0)"},
    {25, "tt", R"(SetNameAndVoice("s0", "s1"))", "SetNameAndVoice(null, null)"},
    {26, "", "BeginRuby()", "BeginRuby()"},
    {27, "t", R"(DrawRuby("s0"))", "DrawRuby(null)"},
    {28, "iiit", R"(SetTextFont(700, 701, 702, "s3"))", "SetTextFont(-, -, -, null)"},
    {28, "0-n", "SetTextFont(24, -, -1, null)", nullptr},
    {29, "ii", "ShowMessageWindow(1, 701)", "ShowMessageWindow(0, 0)"},
    {30, "i", "CloseMessageWindow(700)", "CloseMessageWindow(0)"},
    {31, "iiii", "MessageTalk(700, 701, 702, 1)", "MessageTalk(0, 500, 0, 0)"},
    {32, "ii", "TalkAnime(700, 701)", "TalkAnime(0, 0)"},
    {33, "ii", "WaitTalkAnime(700, 1)", "WaitTalkAnime(0, 0)"},
    {34, "i", "ReleaseTalkAnime(700)", "ReleaseTalkAnime(0)"},
    {35, "ti", R"(LoadBackground("s0", 189))", "LoadBackground(null, 0)"},
    {36, "ii", "ClearBackgroundToColor(700, 189)", "ClearBackgroundToColor(0, 0)"},
    {37, "ii", "SetLayerColor(700, 189)", "SetLayerColor(0, 0)"},
    {38, "iiiii", "SetBackgroundTone(188, 1, 1, 1, 192)", "SetBackgroundTone(0, 0, 0, 0, 0)"},
    {39, "ii", "SetBackgroundFilter(700, 189)", "SetBackgroundFilter(0, 0)"},
    {40, "iii", "SetBackgroundOffset(700, 701, 190)", "SetBackgroundOffset(0, 0, 0)"},
    {41, "ii", "CaptureBackground(1, 188, 1)", "CaptureBackground(1, 0, 0)"},
    {42, "i", "CaptureBackground(0, 188, 0)", "CaptureBackground(0, 0, 0)"},
    {43, "iiiii", "SetBackgroundView(700, 701, 702, 703, 192)", "SetBackgroundView(0, 0, 0, 0, 0)"},
    {44, "iiii", "SetBackgroundZoomNow(701, 702, 700, 191)",
     "SetBackgroundZoomNow(400, 300, 0, 0)"},
    {45, "itiii", R"(RotateBackground(700, "s1", 702, 703, 192))",
     "RotateBackground(0, null, 0, 0, 0)"},
    {46, "iiiiii", "ZoomBackground(193, 701, 702, 700, 704, 703)",
     "ZoomBackground(0, 400, 300, 0, 0, 1000)"},
    {47, "itiiiii", R"(RotateBackgroundEffect(194, 700, "s1", 702, 703, 705, 704))",
     "RotateBackgroundEffect(0, 0, null, 0, 0, 0, 1000)"},
    {48, "tiiiiii", R"(AnimateBackgroundPath(193, "s0", 701, 1, 1, 1, 706))",
     "AnimateBackgroundPath(0, null, 1000, 0, 0, 0, 0)"},
    {49, "ti", R"(EndBackgroundPath("s0", 189))", "EndBackgroundPath(null, 0)"},
    {50, "iiiittiiiii",
     R"(BlurBackground(198, [700 701 702 703 0 0 706 195 708 0 0 0 0 197 0], "s4", "s5", 1, 0, 1))",
     "BlurBackground(0, [400 300 0 0 0 0 1000 0 0 0 0 0 0 0 0], null, null, 1, 0, 1)"},
    {51, "tiiiiii", R"(BlurBackgroundPath(194, "s0", [1 702 191 704 0 0 0 0 193 0], 1, 0, 1))",
     "BlurBackgroundPath(0, null, [0 1000 0 0 0 0 0 0 0 0], 1, 0, 1)"},
    {52, "iiiittiiiiiiiiii",
     R"(BlurBackground(201, [700 701 702 703 0 0 706 195 708 0 1 1 1 199 712], "s4", "s5", 0, 1, 1))",
     "BlurBackground(0, [400 300 0 0 0 0 1000 0 0 0 0 0 1 0 0], null, null, 0, 0, 0)"},
    {53, "iiiiittiiiiiiiiii",
     R"(BlurBackground(202, [701 702 703 704 0 0 707 196 709 700 1 1 1 200 713], "s5", "s6", 0, 1, 1))",
     nullptr},
    {54, "tiiiiiiiiiii",
     R"(BlurBackgroundPath(197, "s0", [1 702 191 704 0 1 1 1 195 708], 0, 1, 1))",
     "BlurBackgroundPath(0, null, [0 1000 0 0 0 0 0 1 0 0], 0, 0, 0)"},
    {55, "itiiiiiiiiiii",
     R"(BlurBackgroundPath(198, "s1", [1 703 192 705 700 1 1 1 196 709], 0, 1, 1))", nullptr},
    {56, "iiiii", "SetBackgroundBlurNow(192, 700, 701, 702, 703)",
     "SetBackgroundBlurNow(0, 400, 300, 0, 0)"},
    {57, "ii", "WaitLayerEffect(188, 1)", "WaitLayerEffect(0, 0)"},
    {58, "i", "StopLayerEffect(188)", "StopLayerEffect(0)"},
    {59, "iiii", "ScreenNoise(700, 189, 1, 1)", "ScreenNoise(0, 0, 0, 0)"},
    {60, "iiiiiiiii", "WaveBackground(192, 700, 701, 702, 703, 705, 706, 707, 1)", nullptr},
    {61, "iiii", "LoopScrollBackground(191, 188, 701, 702)", "LoopScrollBackground(0, 0, 0, 0)"},
    {62, "tiiiiii", R"(SpriteMovie("s0", 701, 190, 1, 704, 705, 706))", nullptr},
    {63, "tiiiiii", R"(SpriteParts("s0", 701, 190, 703, 1, 1, 1))", nullptr},
    {64, "iiii", "CrossFadeLayer(700, 701, 190, 191)", "CrossFadeLayer(2000, 0, 0, 0)"},
    {65, "iiiitii", R"(ScreenWeather(700, 701, 702, 1, "s4", 1, 1))",
     "ScreenWeather(0, 0, 0, 0, null, 0, 0)"},
    {66, "iii", "SetScreenEffectArgs(700, 1, 1)", "SetScreenEffectArgs(0, 0, 0)"},
    {67, "iii", "StopScreenEffect(700, 701, 702)", "StopScreenEffect(0, 0, 0)"},
    {68, "ii", "StopScreenEffect(700, 1, 0)", "WaitScreenEffect(0, 0)"},
    {68, "n", "StopScreenEffect(-1, 1, 0)", nullptr},
    {69, "tii", R"(LoadBackgroundAnime("s0", 701, 190))", "LoadBackgroundAnime(null, 0, 0)"},
    {70, "tii", R"(LoadBackgroundMovie("s0", 190, 189))", "LoadBackgroundMovie(null, 0, 0)"},
    {71, "i", "LoadBackgroundAnime(null, 0, 188)", "LoadBackgroundAnime(null, 0, 0)"},
    {72, "i", "ControlBackgroundAnime(188, 1)", "ControlBackgroundAnime(0, 1)"},
    {73, "i", "WaitBackgroundAnime(188)", "WaitBackgroundAnime(0)"},
    {74, "i", "ControlBackgroundAnime(188, 5)", "ControlBackgroundAnime(0, 5)"},
    {75, "ii", "WaitBackgroundAnimeEnd(188, 1)", "WaitBackgroundAnimeEnd(0, 0)"},
    {76, "i", "SetSpriteTint(1)", "SetSpriteTint(0)"},
    {77, "itiiii", R"(LoadSprite(700, "s1", 191, 705, 1); PlaceSprite(700, 702, 0, 191, 705))",
     "LoadSprite(0, null, 0, 0, 0)"},
    {77, "itn", R"(LoadSprite(700, "s1", 0, 0, 0); KeepSpritePlace(700, 0, 0))", nullptr},
    {78, "iiiiii", "SetSpriteTone(700, 189, 1, 1, 192, 705)", "SetSpriteTone(0, 0, 0, 0, 0, 0)"},
    {79, "iiii", "SetSpriteFilter(700, 701, 190, 703)", "SetSpriteFilter(0, 0, 0, 0)"},
    {80, "iiiii", "PlaceSprite(700, 701, 1, 191, 704)", "PlaceSprite(0, 0, 0, 0, 0)"},
    {81, "iiiii", "MoveSprite(700, 701, 702, 191, 704)", "MoveSprite(0, 0, 0, 0, 0)"},
    {82, "iii", "SpriteToBack(700, 189, 702, 1)", "SpriteToBack(0, 0, 0, 1)"},
    {83, "iii", "SpriteToFront(700, 189, 702, 1)", "SpriteToFront(0, 0, 0, 1)"},
    {84, "ii", "ClearSprites(188, 701)", "ClearSprites(0, 0)"},
    {85, "itiiiii", R"(CrossFadeSprite(700, "s1", 702, 703, 1, 193, 706))",
     "CrossFadeSprite(0, null, 0, 300, 0, 0, 0)"},
    {86, "itiiii", R"(AnimateSpritePath(700, "s1", 702, 191, 704, 1))",
     "AnimateSpritePath(0, null, 500, 0, 0, 0)"},
    {87, "itii", R"(EndSpritePath(700, "s1", 190, 703))", "EndSpritePath(0, null, 0, 0)"},
    {88, "itiiiiiii", R"(ChangeSprite(700, "s1", 702, 191, 704, 1, 706, 195, 708))",
     "ChangeSprite(0, null, 0, 0, 500, 0, 0, 0, 0)"},
    {89, "iiiii", "AnimateCharacterParts(700, 701, 191, 704, 1)",
     "AnimateCharacterParts(0, 0, 0, 0, 0)"},
    {90, "iiii", "WaitSpriteEffect(700, 1, 189, 702)", "WaitSpriteEffect(0, 0, 0, 0)"},
    {91, "iii", "ReleaseSpriteEffect(700, 189, 702)", "ReleaseSpriteEffect(0, 0, 0)"},
    {92, "t", "", ""},
    {93, "i", "SetRuleFlipH(1)", "SetRuleFlipH(0)"},
    {94, "i", "SetRuleFlipV(1)", "SetRuleFlipV(0)"},
    {95, "", "CopyShownPageToBack()", "CopyShownPageToBack()"},
    {96, "i", "WaitTransition(1)", "WaitTransition(0)"},
    {97, "", "EndPendingTransition()", "EndPendingTransition()"},
    {98, "i", "TransCross(700)", "TransCross(0)"},
    {99, "iii", "TransRule(700, 701, 702)", "TransRule(0, 0, 0)"},
    {100, "iii", "TransTrans(700, 701, 1)", "TransTrans(0, 0, 0)"},
    {101, "iiiii", "TransFilter(700, 701, 702, 703, 704)", "TransFilter(0, 0, 0, 0, 0)"},
    {102, "iiii", "TransScroll(700, 189, 190, 703)", "TransScroll(0, 0, 0, 0)"},
    {103, "iiiiiii", "TransRipple([700 701 702 703 704 705 706])", "TransRipple([0 0 0 0 0 0 0])"},
    {104, "i", "ClearBackgroundToColor(0, 1); ClearSprites(1, -1); TransCross(700)", nullptr},
    {105, "i", "ClearBackgroundToColor(16777215, 1); ClearSprites(1, -1); TransCross(700)",
     nullptr},
    {106, "tiiiiii",
     R"(LoadBackground("s0", 1); SetBackgroundTone(190, 1, 1, 1, 1); ClearSprites(1, -1); TransCross(701))",
     "LoadBackground(null, 1); SetBackgroundTone(0, 0, 0, 0, 1); ClearSprites(1, -1); "
     "TransCross(0)"},
    {107, "tiiiiiii",
     R"(LoadBackground("s0", 1); SetBackgroundTone(192, 1, 1, 1, 1); ClearSprites(1, -1); TransRule(701, 702, 703))",
     nullptr},
    {108, "tiiiiiii",
     R"(LoadBackground("s0", 1); SetBackgroundTone(192, 1, 1, 1, 1); ClearSprites(1, -1); TransTrans(701, 702, 1))",
     nullptr},
    {109, "itiiii",
     R"(CopyShownPageToBack(); LoadSprite(700, "s1", 1, 705, 1); PlaceSprite(700, 702, 0, 1, 705); TransCross(703))",
     "CopyShownPageToBack(); LoadSprite(0, null, 1, 0, 0); TransCross(300)"},
    {110, "iiii", "CopyShownPageToBack(); ClearSprites(1, 703); TransRule(701, 700, 702)",
     "CopyShownPageToBack(); ClearSprites(1, 0); TransRule(0, 300, 0)"},
    {110, "-n", "CopyShownPageToBack(); ClearSprites(1, 0); TransCross(300)", nullptr},
    {111, "iiiiii", "ScreenQuake([0 700 701], 702, 703, 192, 193, 0)", nullptr},
    {112, "iiiiiii", "ScreenQuake([702 700 701], 703, 704, 193, 194, 0)", nullptr},
    {113, "iiiiiiii", "Quake([0 700 701], 702, 703, [192 193 194], 195, 0)", nullptr},
    {114, "iiiiiiiii", "Quake([702 700 701], 703, 704, [193 194 195], 196, 0)", nullptr},
    {115, "ii", "WaitQuake(188, 1)", "WaitQuake(0, 0)"},
    {116, "i", "ReleaseQuake(188)", "ReleaseQuake(0)"},
    {117, "ii", "FlashColor(700, 701)", "FlashColor(0, 0)"},
    {118, "tii", R"(ChangeBackgroundThroughColor("s0", 701, 702))",
     "ChangeBackgroundThroughColor(null, 0, 0)"},
    {119, "iii", "FadeMessageWindows(1, 701, 1)", "FadeMessageWindows(0, 300, 0)"},
    {120, "i", "ShowMessageWindows(1)", "ShowMessageWindows(0)"},
    {121, "iii", "PlayMusic(700, 701, 1)", "PlayMusic(0, 0, 0)"},
    {122, "i", "WaitBgmFade(1)", "WaitBgmFade(0)"},
    {123, "i", "FadeOutMusic(1)", "FadeOutMusic(0)"},
    {124, "tiii", R"(PlayEffect("s0", 701, 702, 1))", "PlayEffect(null, 0, 0, 0)"},
    {125, "tiii", R"(FadeInEffect("s0", 701, 702, 703))", "FadeInEffect(null, 0, 0, 0)"},
    {126, "ii", "FadeOutEffect(700, 701)", "FadeOutEffect(0, 0)"},
    {127, "i", "StopEffect(700)", "StopEffect(0)"},
    {128, "", "UnloadAllEffects()", "UnloadAllEffects()"},
    {129, "iiii", "WaitEffectFade(700, 1, 1, 1)", "WaitEffectFade(0, 0, 0, 0)"},
    {130, "iii", "WaitEffectEnd(700, 1, 1)", "WaitEffectEnd(0, 0, 0)"},
    {131, "ti", R"(EndVoice(); PlayVoice("s0", 1))", "EndVoice(); PlayVoice(null, 0)"},
};

TEST_F(TgsBuiltinsTest, EveryRowPassesItsSlotsDefaultsAndLowBytesInOrder) {
  std::set<uint32_t> covered;
  for (const RowCase& row : kRows) {
    covered.insert(row.number);
    EXPECT_EQ(Log(row.number, row.kinds), row.given)
        << "built-in " << row.number << " " << row.kinds;
    if (!ops_.log.empty()) {
      EXPECT_EQ(ops_.builtin, row.number) << "announced before its operations";
    }
    if (row.defaults) {
      EXPECT_EQ(Log(row.number, ""), row.defaults) << "built-in " << row.number;
    }
  }
  EXPECT_EQ(covered.size(), kTgsBuiltinCount - kTgsFirstBuiltin - 1) << "every row but 15";
}

TEST_F(TgsBuiltinsTest, ControlPlaceholdersAndFifteenAnswerZeroAndDoNothing) {
  for (uint32_t n : {0u, 3u, 7u, 11u, 15u}) {
    EXPECT_EQ(Log(n, "iiii"), "") << n;
    EXPECT_EQ(TgsBuiltinName(n), "") << n;
  }
  EXPECT_EQ(TgsBuiltinTable().size(), 132u);
}

TEST_F(TgsBuiltinsTest, NamesAreUniqueAndFoundInEitherCase) {
  EXPECT_EQ(TgsBuiltinName(35), "BgLoad");
  EXPECT_EQ(TgsBuiltinName(131), "VoicePlay");
  EXPECT_EQ(TgsBuiltinName(132), "");
  EXPECT_EQ(TgsFindBuiltin("bgload"), 35);
  EXPECT_EQ(TgsFindBuiltin("SEUNLOADALL"), 128);
  EXPECT_EQ(TgsFindBuiltin("BgLoa"), -1);
  EXPECT_EQ(TgsFindBuiltin(""), -1);
  for (uint32_t n = 0; n < kTgsBuiltinCount; ++n) {
    if (!TgsBuiltinName(n).empty()) {
      EXPECT_EQ(TgsFindBuiltin(TgsBuiltinName(n)), int32_t(n));
    }
  }
}

TEST_F(TgsBuiltinsTest, TextsThatDoNotReadAreAbsentWithoutAFault) {
  GuestMemory& memory = interpreter_.memory;
  uint32_t unterminated = memory.Allocate(16);
  memory.Fill(unterminated, 'A', 16);
  std::string longText(kTgsTextLimit + 1, 'x');
  struct Case {
    TgsSlot slot;
    const char* expected;
  } cases[] = {
      {{kTgsSlotText, 0}, R"(SetSpeakerName(""))"},     // empty text
      {{kTgsSlotText, 0x123}, "SetSpeakerName(null)"},  // in the null page
      {{kTgsSlotText, int32_t(GuestMemory::kMaxArena - 16)},
       "SetSpeakerName(null)"},  // past the arena
      {{kTgsSlotText, int32_t(unterminated)}, "SetSpeakerName(null)"},
      {Text(longText), "SetSpeakerName(null)"},
      {{1, int32_t(Text("n").value)}, "SetSpeakerName(null)"},  // a number, not a text
      {{kTgsSlotOffset, int32_t(Text("o").value)}, "SetSpeakerName(null)"},
      {Text("\x95\x5C"), "SetSpeakerName(\"\x95\x5C\")"},
  };
  for (const Case& c : cases) {
    ops_.log.clear();
    Run(18, {c.slot});
    EXPECT_EQ(ops_.log, c.expected);
    EXPECT_FALSE(memory.Faulted()) << c.expected;
  }
  uint32_t word = 0;
  EXPECT_FALSE(memory.Read32(0x10, word));  // a fault of the script's own
  Run(18, {{kTgsSlotText, 0x123}});
  EXPECT_TRUE(memory.TakeFault()) << "an earlier fault stays raised";
}

TEST_F(TgsBuiltinsTest, OneSkipEndsARunOfSkippableWaits) {
  ops_.answers["WaitTimeSkippable"] = 1;  // the reader skips
  EXPECT_EQ(Run(20, Slots("i")), 0);
  EXPECT_EQ(interpreter_.chain, 1);
  ops_.log.clear();
  EXPECT_EQ(Run(96, Slots("i")), 0);
  EXPECT_EQ(Run(90, Slots("iiii")), 0);
  EXPECT_EQ(Run(20, Slots("i")), 0);
  EXPECT_EQ(ops_.log, "EndPendingTransition(); ReleaseSpriteEffect(700, 189, 702)")
      << "chained waits finish at once, a timed wait does nothing";
  EXPECT_EQ(interpreter_.chain, 4);

  Run(35, Slots("ti"));  // not a wait: the chain ends
  EXPECT_EQ(interpreter_.chain, 0);
  ops_.log.clear();
  Run(96, Slots("i"));
  EXPECT_EQ(ops_.log, "WaitTransition(1)");
  EXPECT_EQ(interpreter_.chain, 0) << "a wait that ran to its end";

  interpreter_.chain = 1;
  ops_.log.clear();
  Run(96, Slots("0"));  // not skippable: waits even in a chain
  interpreter_.chain = 1;
  Run(129, Slots("i-0i"));  // chained without stopOnSkip: nothing to stop
  Run(129, Slots("iiii"));
  Run(68, Slots("0i"));
  EXPECT_EQ(ops_.log, "WaitTransition(0); StopEffectChannel(700); StopScreenEffect(0, 1, 0)");

  ops_.answers["WaitQuake"] = -1;  // the application quits
  interpreter_.chain = 0;
  EXPECT_EQ(Run(115, Slots("ii")), -1);
  ops_.restoring = true;
  ops_.log.clear();
  EXPECT_EQ(Run(20, Slots("i")), 0);
  EXPECT_EQ(Run(21, Slots("i")), 0);
  EXPECT_EQ(ops_.log, "") << "timed waits do nothing while a loaded game is restored";
}

TEST_F(TgsBuiltinsTest, LayoutBuiltinsAreKeptInCollectedText) {
  interpreter_.collecting = true;
  for (uint32_t n : {14u, 26u, 27u, 28u}) EXPECT_EQ(Log(n, "it"), "") << n;
  ASSERT_EQ(interpreter_.records.size(), 4u);
  EXPECT_EQ(interpreter_.records[2].number, 27u);
  EXPECT_EQ(interpreter_.records[2].slots.size(), 2u);
  EXPECT_EQ(interpreter_.records[2].slots[0].value, 700);
  EXPECT_EQ(Log(35, "t"), R"(LoadBackground("s0", 0))") << "other built-ins still act";
}

TEST_F(TgsBuiltinsTest, AnswersAndFailuresOfOperations) {
  ops_.answers = {{"MessageWait", 6},
                  {"WaitTimeFixed", -3},
                  {"FadeMessageWindows", -2},
                  {"LoadBackground", 1},
                  {"LoadSprite", 2}};
  EXPECT_EQ(Run(16, {}), 6) << "an exit code stops the step";
  EXPECT_EQ(Run(21, {}), -1);
  EXPECT_EQ(Run(119, {}), -1);
  EXPECT_EQ(Log(107, "tiiiiiii"), R"(LoadBackground("s0", 1))")
      << "nothing more after a failed load";
  EXPECT_EQ(Log(109, "itiiii"), R"(CopyShownPageToBack(); LoadSprite(700, "s1", 1, 705, 1))");
  ops_.log.clear();
  for (int32_t index : {-1, 4, 5, 256}) Run(19, {{1, index}});
  EXPECT_EQ(ops_.log, "DisableChoice(4)") << "only choices 0-4 can be disabled";
}

TEST_F(TgsBuiltinsTest, StandInsSayOncePerBuiltinAndCount) {
  TgsStandInOperations standIn;
  testing::internal::CaptureStderr();
  EXPECT_EQ(Run(16, {}, &standIn), kTgsNotBuilt) << "as a failed message wait";
  EXPECT_EQ(Run(106, Slots("t"), &standIn), 0) << "a failed load ends the change";
  EXPECT_EQ(Run(106, Slots("t"), &standIn), 0);
  EXPECT_EQ(Run(20, Slots("i"), &standIn), 0);
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(said,
            "TGS built-in 16 not built\nTGS built-in 106 not built\nTGS built-in 20 not built\n");
  EXPECT_EQ(standIn.CallCount(), 4u);
  EXPECT_EQ(standIn.CallCount(106), 2u);
  EXPECT_EQ(interpreter_.chain, 1) << "an unbuilt wait reads as skipped";
}

class TgsReleaseImageTest : public test::GameFolderTest {};

TEST_F(TgsReleaseImageTest, ReleaseImageDropsTheCachedPicture) {
  tools::WgxPicture picture;
  picture.depth = 24;
  picture.width = picture.height = 2;
  picture.pixels.assign(4, 0x102030);
  Write("BG/A.WGX", tools::WriteWgx(picture));
  ImageLoaderManager images;
  RegisterBuiltinLoaders(images);
  images.SetCacheBudget(16);
  images.LoadImage("BG\\A.WGX", true)->Release();
  ASSERT_EQ(images.GetCache().GetCount(), 1u);

  FakeInterpreter interpreter;
  RecordingOperations ops;
  const std::string_view text = "bg\\a.wgx";
  uint32_t name = interpreter.memory.AllocateCopy(
      {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, true);
  std::vector<TgsSlot> slots{{kTgsSlotText, int32_t(name)}};
  TgsBuiltinCall call{interpreter, ops, slots};
  EXPECT_EQ(TgsBuiltinTable()[92](call), 0) << "no manager published yet";
  EXPECT_EQ(images.GetCache().GetCount(), 1u);
  ScopedGlobal<ImageLoaderManager> published(&images);
  EXPECT_EQ(TgsBuiltinTable()[92](call), 0);
  EXPECT_EQ(images.GetCache().GetCount(), 0u);
  EXPECT_EQ(TgsBuiltinTable()[92](call), 0) << "not cached any more";
  EXPECT_EQ(ops.log, "");
}

}  // namespace
}  // namespace bw
