// Label: optimised
#include "scenario/tgs/tgs_builtins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "lib/wgx/wgx_writer.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "scenario/tgs/tgs_operations.h"
#include "script/guest_memory.h"
#include "support/image_test_rig.h"

namespace bw {
namespace {

template <typename T>
requires std::is_arithmetic_v<T> std::string Show(T v) {
  return std::to_string(v);
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

class FakeInterpreter : public TgsInterpreterContext {
 public:
  GuestMemory& Memory() override { return memory; }
  int32_t& WaitChain() override { return chain; }
  bool CollectingText() const override { return collecting; }
  bool AppendCallRecord(uint32_t, std::span<const TgsSlot>) override { return true; }
  GuestMemory memory{1u << 20};
  int32_t chain = 0;
  bool collecting = false;
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

// A row a line: "number kinds | given | defaults". given: the operations with every slot given as
// kinds says; a bare name stands for that operation with the slots in order. defaults: with no
// slots at all ("-": not checked); left out, every argument 0 or null.
constexpr const char* kRows = R"(
12 i | BeginMessage
13 -tttttttti | ShowChoices(["s1" "s2" "s3" "s4" "s5" "s6" "s7" "s8"], 709) | ShowChoices([], 0)
13 -tt-t | ShowChoices(["s1" "s2"], 0) | -
14  | TextNewLine
16  | MessageWait
17  | ChoiceWait
18 t | SetSpeakerName
19 i |  | DisableChoice(0)
20 i | WaitTimeSkippable(700, 1) | WaitTimeSkippable(0, 1)
21 i | WaitTimeFixed
22 i | SelectMessageWindow
23 iiiiii | SetMessageWindowPlace | SetMessageWindowPlace(0, 0, 0, -1, -1, 0)
24 iiii | SetFaceWindowPlace
25 tt | SetNameAndVoice
26  | BeginRuby
27 t | DrawRuby
28 iiit | SetTextFont | SetTextFont(-, -, -, null)
28 0-n | SetTextFont(24, -, -1, null) | -
29 ii | ShowMessageWindow(1, 701)
30 i | CloseMessageWindow
31 iiti | MessageTalk(700, 701, "s2", 1) | MessageTalk(0, 500, null, 0)
32 it | TalkAnime
33 ii | WaitTalkAnime(700, 1)
34 i | ReleaseTalkAnime
35 ti | LoadBackground("s0", 189)
36 ii | ClearBackgroundToColor(700, 189)
37 ii | SetLayerColor(700, 189)
38 iiiii | SetBackgroundTone(188, 1, 1, 1, 192)
39 ii | SetBackgroundFilter(700, 189)
40 iii | SetBackgroundOffset(700, 701, 190)
41 ii | CaptureBackground(1, 188, 1) | CaptureBackground(1, 0, 0)
42 i | CaptureBackground(0, 188, 0)
43 iiiii | SetBackgroundView(700, 701, 702, 703, 192)
44 tiii | SetBackgroundZoomNow(701, 702, "s0", 191) | SetBackgroundZoomNow(400, 300, null, 0)
45 itiii | RotateBackground(700, "s1", 702, 703, 192)
46 tiiiti | ZoomBackground(193, 701, 702, "s0", "s4", 703) | ZoomBackground(0, 400, 300, null, null, 1000)
47 itiiiti | RotateBackgroundEffect(194, 700, "s1", 702, 703, "s5", 704) | RotateBackgroundEffect(0, 0, null, 0, 0, null, 1000)
48 tiiiiii | AnimateBackgroundPath(193, "s0", 701, 1, 1, 1, 706) | AnimateBackgroundPath(0, null, 1000, 0, 0, 0, 0)
49 ti | EndBackgroundPath("s0", 189)
50 iittttiitii | BlurBackground(198, [700 701 0 0 0 0 706 195 0 0 0 0 0 197 0], [null null "s2" "s3" "s4" "s5" null null "s8" null null null null null null], 1, 0, 1) | BlurBackground(0, [400 300 0 0 0 0 1000 0 0 0 0 0 0 0 0], [null null null null null null null null null null null null null null null], 1, 0, 1)
51 tiiitii | BlurBackgroundPath(194, "s0", [1 702 191 0 0 0 0 0 193 0], [null null null "s4" null null null null null null], 1, 0, 1) | BlurBackgroundPath(0, null, [0 1000 0 0 0 0 0 0 0 0], [null null null null null null null null null null], 1, 0, 1)
52 iittttiitiiiiiii | BlurBackground(201, [700 701 0 0 0 0 706 195 0 0 1 1 1 199 712], [null null "s2" "s3" "s4" "s5" null null "s8" null null null null null null], 0, 1, 1) | BlurBackground(0, [400 300 0 0 0 0 1000 0 0 0 0 0 1 0 0], [null null null null null null null null null null null null null null null], 0, 0, 0)
53 tiittttiitiiiiiii | BlurBackground(202, [701 702 0 0 0 0 707 196 0 0 1 1 1 200 713], [null null "s3" "s4" "s5" "s6" null null "s9" "s0" null null null null null], 0, 1, 1) | -
54 tiiitiiiiiii | BlurBackgroundPath(197, "s0", [1 702 191 0 0 1 1 1 195 708], [null null null "s4" null null null null null null], 0, 1, 1) | BlurBackgroundPath(0, null, [0 1000 0 0 0 0 0 1 0 0], [null null null null null null null null null null], 0, 0, 0)
55 ttiiitiiiiiii | BlurBackgroundPath(198, "s1", [1 703 192 0 0 1 1 1 196 709], [null null null "s5" "s0" null null null null null], 0, 1, 1) | -
56 iiiii | SetBackgroundBlurNow(192, 700, 701, 702, 703) | SetBackgroundBlurNow(0, 400, 300, 0, 0)
57 ii | WaitLayerEffect(188, 1)
58 i | StopLayerEffect(188)
59 iiii | ScreenNoise(700, 189, 1, 1)
60 iiiiiiiii | WaveBackground(192, 700, 701, 702, 703, 705, 706, 707, 1) | -
61 iiii | LoopScrollBackground(191, 188, 701, 702)
62 tiiiiii | SpriteMovie("s0", 701, 190, 1, 704, 705, 706) | -
63 tiiiiii | SpriteParts("s0", 701, 190, 703, 1, 1, 1) | -
64 iiii | CrossFadeLayer(700, 701, 190, 191) | CrossFadeLayer(2000, 0, 0, 0)
65 iiiitii | ScreenWeather(700, 701, 702, 1, "s4", 1, 1)
66 iii | SetScreenEffectArgs(700, 1, 1)
67 iii | StopScreenEffect
68 ii | StopScreenEffect(700, 1, 0) | WaitScreenEffect(0, 0)
68 n | StopScreenEffect(-1, 1, 0) | -
69 tii | LoadBackgroundAnime("s0", 701, 0, 190)
70 tii | LoadBackgroundMovie("s0", 190, 189)
71 i | LoadBackgroundAnime(null, 0, 0, 188)
72 i | ControlBackgroundAnime(188, 1) | ControlBackgroundAnime(0, 1)
73 i | WaitBackgroundAnime(188)
74 i | ControlBackgroundAnime(188, 5) | ControlBackgroundAnime(0, 5)
75 ii | WaitBackgroundAnimeEnd(188, 1)
76 i | SetSpriteTint(1)
77 itiiii | LoadSprite(700, "s1", 191, 705, 1); PlaceSprite(700, 702, 0, 191, 705) | LoadSprite(0, null, 0, 0, 0)
77 itn | LoadSprite(700, "s1", 0, 0, 0); KeepSpritePlace(700, 0, 0) | -
78 iiiiii | SetSpriteTone(700, 189, 1, 1, 192, 705)
79 iiii | SetSpriteFilter(700, 701, 190, 703)
80 iiiii | PlaceSprite(700, 701, 1, 191, 704)
81 iiiii | MoveSprite(700, 701, 702, 191, 704)
82 iii | SpriteToBack(700, 189, 702, 1) | SpriteToBack(0, 0, 0, 1)
83 iii | SpriteToFront(700, 189, 702, 1) | SpriteToFront(0, 0, 0, 1)
84 ii | ClearSprites(188, 701)
85 itiiiii | CrossFadeSprite(700, "s1", 702, 703, 1, 193, 706) | CrossFadeSprite(0, null, 0, 300, 0, 0, 0)
86 itiiii | AnimateSpritePath(700, "s1", 702, 191, 704, 1) | AnimateSpritePath(0, null, 500, 0, 0, 0)
87 itii | EndSpritePath(700, "s1", 190, 703)
88 ittiiiiii | ChangeSprite(700, "s1", "s2", 191, 704, 1, 706, 195, 708) | ChangeSprite(0, null, null, 0, 500, 0, 0, 0, 0)
89 iiiii | AnimateCharacterParts(700, 701, 191, 704, 1)
90 iiii | WaitSpriteEffect(700, 1, 189, 702)
91 iii | ReleaseSpriteEffect(700, 189, 702)
92 t |  | -
93 i | SetRuleFlipH(1)
94 i | SetRuleFlipV(1)
95  | CopyShownPageToBack
96 i | WaitTransition(1)
97  | EndPendingTransition
98 i | TransCross
99 iii | TransRule
100 iii | TransTrans(700, 701, 1)
101 iiiii | TransFilter
102 iiit | TransScroll(700, 189, 190, "s3")
103 itiiiit | TransRipple([700 0 702 703 704 705 0], "s6", "s1")
104 i | ClearBackgroundToColor(0, 1); ClearSprites(1, -1); TransCross(700) | -
105 i | ClearBackgroundToColor(16777215, 1); ClearSprites(1, -1); TransCross(700) | -
106 tiiiiii | LoadBackground("s0", 1); SetBackgroundTone(190, 1, 1, 1, 1); ClearSprites(1, -1); TransCross(701) | LoadBackground(null, 1); SetBackgroundTone(0, 0, 0, 0, 1); ClearSprites(1, -1); TransCross(0)
107 tiiiiiii | LoadBackground("s0", 1); SetBackgroundTone(192, 1, 1, 1, 1); ClearSprites(1, -1); TransRule(701, 702, 703) | -
108 tiiiiiii | LoadBackground("s0", 1); SetBackgroundTone(192, 1, 1, 1, 1); ClearSprites(1, -1); TransTrans(701, 702, 1) | -
109 itiiii | CopyShownPageToBack(); LoadSprite(700, "s1", 1, 705, 1); PlaceSprite(700, 702, 0, 1, 705); TransCross(703) | CopyShownPageToBack(); LoadSprite(0, null, 1, 0, 0); TransCross(300)
110 iiii | CopyShownPageToBack(); ClearSprites(1, 703); TransRule(701, 700, 702) | CopyShownPageToBack(); ClearSprites(1, 0); TransRule(0, 300, 0)
110 -n | CopyShownPageToBack(); ClearSprites(1, 0); TransCross(300) | -
111 iiitii | ScreenQuake([0 700 701], 702, "s3", 192, 193, 0) | -
112 iiiitii | ScreenQuake([702 700 701], 703, "s4", 193, 194, 0) | -
113 iiitiiii | Quake([0 700 701], 702, "s3", [192 193 194], 195, 0) | -
114 iiiitiiii | Quake([702 700 701], 703, "s4", [193 194 195], 196, 0) | -
115 ii | WaitQuake(188, 1)
116 i | ReleaseQuake(188)
117 ii | FlashColor
118 tii | ChangeBackgroundThroughColor
119 iii | FadeMessageWindows(1, 701, 1) | FadeMessageWindows(0, 300, 0)
120 i | ShowMessageWindows(1)
121 iii | PlayMusic(700, 701, 1)
122 i | WaitBgmFade(1)
123 i | FadeOutMusic(1)
124 tiii | PlayEffect("s0", 701, 702, 1)
125 tiii | FadeInEffect
126 ii | FadeOutEffect
127 i | StopEffect
128  | UnloadAllEffects
129 iiii | WaitEffectFade(700, 1, 1, 1)
130 iii | WaitEffectEnd(700, 1, 1)
131 ti | EndVoice(); PlayVoice("s0", 1))";

struct RowCase {
  uint32_t number;
  std::string kinds, given, defaults;
};

std::vector<RowCase> Rows() {
  std::vector<RowCase> rows;
  std::istringstream in(kRows);
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    std::vector<std::string> f;
    for (size_t at = 0, bar = 0; bar != std::string::npos; at = bar + 3) {
      bar = line.find(" | ", at);
      f.push_back(line.substr(at, bar == std::string::npos ? bar : bar - at));
    }
    RowCase row{uint32_t(std::stoul(f[0])), f[0].substr(f[0].find(' ') + 1), f[1], ""};
    if (row.given.find('(') == std::string::npos && !row.given.empty()) {
      std::string args;
      for (size_t i = 0; i < row.kinds.size(); ++i)
        args += (i ? ", " : "") +
                (row.kinds[i] == 't' ? "\"s" + std::to_string(i) + "\"" : std::to_string(700 + i));
      row.given += "(" + args + ")";
    }
    const std::string texts = std::regex_replace(row.given, std::regex("\"s[0-9]+\""), "null");
    row.defaults =
        f.size() > 2 ? f[2] : std::regex_replace(texts, std::regex("([^\\w])-?[0-9]+"), "$010");
    rows.push_back(row);
  }
  return rows;
}

TEST_F(TgsBuiltinsTest, EveryRowPassesItsSlotsDefaultsAndLowBytesInOrder) {
  std::set<uint32_t> covered;
  for (const RowCase& row : Rows()) {
    covered.insert(row.number);
    EXPECT_EQ(Log(row.number, row.kinds), row.given)
        << "built-in " << row.number << " " << row.kinds;
    if (!ops_.log.empty()) {
      EXPECT_EQ(ops_.builtin, row.number) << "announced before its operations";
    }
    if (row.defaults != "-") {
      EXPECT_EQ(Log(row.number, ""), row.defaults) << "built-in " << row.number;
    }
  }
  EXPECT_EQ(covered.size(), kTgsBuiltinCount - kTgsFirstBuiltin - 1) << "every row but 15";
  for (uint32_t n : {0u, 11u, 15u}) EXPECT_EQ(Log(n, "iiii"), "") << "control rows do nothing";
}

TEST_F(TgsBuiltinsTest, NamesAreUniqueAndFoundInEitherCase) {
  EXPECT_EQ(TgsFindBuiltin("bgload"), 35);
  EXPECT_EQ(TgsFindBuiltin("BgLoa"), -1);
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
      {{kTgsSlotText, int32_t(unterminated)}, "SetSpeakerName(null)"},
      {Text(longText), "SetSpeakerName(null)"},
      {{1, int32_t(Text("n").value)}, "SetSpeakerName(null)"},  // a number, not a text
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
  EXPECT_EQ(ops.log, "");
}

}  // namespace
}  // namespace bw
