// Label: optimised
// The demo's scenes run beside a MAIN that calls them, each on a copy of the demo game, by the
// program headless or by the application serving their natives; the start's sound warning, the
// title's look and its name entry; and scenarios of the test's own in the demo's scenario frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/dialogs/dialog_context.h"
#include "app/dialogs/message_dialog.h"
#include "e2e/demo_scene.h"
#include "host/cp932.h"
#include "host/headless/headless_backend.h"
#include "host/message_queue.h"
#include "host/presentation_sink.h"
#include "lib/file_bytes.h"
#include "platform/trig_tables.h"
#include "sound/direct_sound_device.h"
#include "support/demo_copy.h"
#include "support/game_run.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

// The message text scene: a scripted click picks one of two choices, whose line the scene shows
// in a message box (standard error). A run clicking the other choice shows the same frames until
// the click and another line after it. Frames: the caption rising, resting, and the chosen
// line's caption after the click at frame 60.
class MessageTextScene : public test::DemoGameTest {
 protected:
  void SetUp() override { test::PutDemoScene(game, "MSGTEXT", test::SceneCallingMain("MSGTEXT")); }

  test::PlayedRun ClickingAt(int clickY) {
    return Play({"BRIMWOLD_HEADLESS_HASHES=30,50,100",
                 "BRIMWOLD_HEADLESS_INPUT=60:click:200:" + std::to_string(clickY)});
  }
};

TEST_F(MessageTextScene, ClickPicksTheChoiceAndOnlyWhatFollowsDiffers) {
  const test::PlayedRun river = ClickingAt(390);
  const std::vector<uint64_t> shown = river.Shown();
  EXPECT_EQ(river.status, 0);
  ASSERT_EQ(shown.size(), 3u) << "frames shown";
  EXPECT_EQ(std::set<uint64_t>(shown.begin(), shown.end()).size(), 3u)
      << "the caption moves and the chosen line's caption follows";
  EXPECT_NE(river.errors.find("[MSGTEXT] 右の川へ"), std::string::npos) << river.errors;

  const test::PlayedRun forest = ClickingAt(350);
  EXPECT_NE(forest.errors.find("[MSGTEXT] 左の森へ"), std::string::npos) << forest.errors;
  const std::vector<uint64_t> other = forest.Shown();
  ASSERT_EQ(other.size(), 3u);
  EXPECT_EQ(other[0], shown[0]) << "the runs differ before the click";
  EXPECT_EQ(other[1], shown[1]);
  EXPECT_NE(other[2], shown[2]) << "the other line's caption";
}

// The GUI scene, with scripted input: a hover and a click on a GMP button, a tooltip's wait, the
// check box, the second radio button, Tab, a composition of "ぶりむ" in the name field and its
// commit, a wheel turn and a click in the font list, a hole of the picture map, its third tile and
// its (then locked) first one. The frames at those moments differ; the scene's file keeps what
// fired.
// The list takes the hover as the pointer enters it, so the wheel turns it at once.
constexpr char kInput[] =
    "30:move:88:54,40:click:88:54,50:move:100:314,90:click:50:140,100:click:50:206,110:key:Tab,"
    "120:click:300:52,130:compose:ぶりむ,140:text:ぶりむ,150:move:300:150,152:wheel:-2,"
    "160:click:300:110,170:click:482:360,180:click:570:360,190:click:440:360";
// Frames before and after: the hover, the tooltip's wait, Tab, the composition, its commit and
// the wheel.
constexpr char kFrames[] = "29,33,60,80,109,113,128,133,138,143,151,155";
constexpr size_t kFrameCount = 12;

// The buttons, the check box and the second radio, the list's click, the map's third tile; the
// map's hole and its first tile after it locked fire nothing. The list shows its second line
// at the top after the wheel.
constexpr char kFired[] =
    "fired 10\r\nfired 12\r\nfired 14\r\nfired 40\r\nfired 52\r\ncheck 1 radio 1 line 1\r\n";

using GuiScene = test::DemoGameTest;

TEST_F(GuiScene, AnswersHoversClicksKeysTypingAndTheWheel) {
  test::PutDemoScene(game, "GUI", test::SceneCallingMain("GUI"));
  const test::PlayedRun run = Play({std::string("BRIMWOLD_HEADLESS_HASHES=") + kFrames,
                                    std::string("BRIMWOLD_HEADLESS_INPUT=") + kInput});
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(test::ReadFile(game.path() / "GUI.TXT"), kFired);
  const std::vector<uint64_t> shown = run.Shown();
  ASSERT_EQ(shown.size(), kFrameCount);
  for (size_t i = 0; i < kFrameCount; i += 2) {
    EXPECT_NE(shown[i], shown[i + 1]) << "moment " << i / 2 << " shows on the screen";
  }
}

// The picture scene. Its canvas is the screen: the frames shown as the rectangle fades differ, and
// the scene saves the canvas at three frames of the virtual clock (the fade's start, its middle and
// its end), which differ and are not blank.
using ImageScene = test::DemoGameTest;

TEST_F(ImageScene, ShowsAndSavesItsCanvasAsItFades) {
  test::PutDemoScene(game, "IMAGES", test::SceneCallingMain("IMAGES"));
  const test::PlayedRun run = Play({"BRIMWOLD_HEADLESS_HASHES=2,16,30"});
  EXPECT_EQ(run.status, 0) << run.errors;
  std::vector<uint64_t> hashes = run.Shown();
  EXPECT_EQ(hashes.size(), 3u) << "frames shown";
  for (const char* name : {"IMAGES1.BMP", "IMAGES2.BMP", "IMAGES3.BMP"}) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(tools::ReadFileBytes(game.path() / name, bytes)) << name;
    std::set<uint8_t> values(bytes.begin() + std::min<size_t>(bytes.size(), 54), bytes.end());
    EXPECT_GT(values.size(), 16u) << name << " is not blank";
    hashes.push_back(host::Fnv1a64(bytes.data(), bytes.size()));
  }
  EXPECT_EQ(std::set<uint64_t>(hashes.begin(), hashes.end()).size(), 6u)
      << "the rectangle fades between the frames and between the saves";
}

// The movie scene: the movie made with the demo plays in the picture, then over the window. Frames
// half a second and a second and a half into each form all differ (the colour changes each
// second), and a second run shows the same frames.
using MovieDemo = test::DemoGameTest;

TEST_F(MovieDemo, ShowsEachSecondOfBothFormsTheSameWayEachRun) {
  test::PutDemoScene(game, "MOVIE", test::SceneCallingMain("MOVIE"));
  ASSERT_TRUE(fs::exists(game.path() / "MOVIE" / "OPENING.MPG")) << "copied with the game";
  // The picture form shows the game's frames, 60 a second, from frame 1; the window form then
  // shows the movie's own, 25 a second.
  auto run = [&] { return Play({"BRIMWOLD_HEADLESS_HASHES=30,90,135,160"}); };
  const test::PlayedRun played = run();
  EXPECT_EQ(played.status, 0) << played.errors;
  const std::vector<uint64_t> first = played.Shown();
  ASSERT_EQ(first.size(), 4u) << "frames shown";
  EXPECT_EQ(std::set<uint64_t>(first.begin(), first.end()).size(), 4u)
      << "the picture changes with the second and the form";
  EXPECT_EQ(run().Shown(), first) << "the second run shows what the first showed";
}

// The system natives' requests as the game application serves them, and the demo's system scene
// run by the application on a copy of the demo game beside a MAIN that calls it: the formatted
// line, the name asked with its Japanese default, the two written to the save folder, and both
// ways of the yes/no question.

using DialogGameRunRequests = test::DialogGameRun;

class SystemScene : public test::DialogGameRun {
 protected:
  void SetUp() override {
    test::PutDemoScene(dir, "SYSTEM", test::SceneCallingMain("SYSTEM", " inc var:0\n"));
  }

  // Runs the scene with the yes/no question answered; the boxes' texts in order.
  std::vector<std::string> RunAnswering(int yesOrNo) {
    dialogs.scripted.QueueAnswer(test::Press(kIdOk));  // the name: the default stays
    for (int answer : {host::IDOK, host::IDOK, yesOrNo, host::IDOK})
      backend.QueueMessageBoxAnswer(answer);
    GameApp app;
    EXPECT_EQ(RunGame(app), kExitNormal);
    return MessageTexts();
  }
};

TEST_F(SystemScene, FormatsAsksAndTakesTheWayOfTheAnswer) {
  std::vector<std::string> yes = RunAnswering(host::IDYES);
  ASSERT_EQ(yes.size(), 4u);
  for (const host::MessageBoxRequest& box : backend.MessageBoxes())
    EXPECT_EQ(box.title, "System") << "the script's title, not the application's name";
  EXPECT_EQ(yes[0], "run 1 at 2000-01-01 12:00") << "the run count and the headless wall clock";
  EXPECT_EQ(yes[1], "name 名無し") << "the dialog's Japanese default came back";
  EXPECT_EQ(yes[2], "Keep this name?");
  EXPECT_EQ(yes[3], "kept");
  // The line and the name in the save folder, the name as its CP932 bytes ("名無し").
  std::vector<uint8_t> saved;
  ASSERT_TRUE(tools::ReadFileBytes(dir.path() / "SAVEDATA" / "SYSTEM.TXT", saved));
  EXPECT_EQ(std::string(saved.begin(), saved.end()),
            "run 1 at 2000-01-01 12:00\r\n\x96\xbc\x96\xb3\x82\xb5\r\n");
  std::vector<host::DialogRecord> shown = Dialogs();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].templateId, 116) << "the data-input dialog";

  std::vector<std::string> no = RunAnswering(host::IDNO);
  ASSERT_EQ(no.size(), 4u);
  EXPECT_EQ(no[1], "name 名無し");
  EXPECT_EQ(no[3], "dropped");
}

// Requests the application refuses, and settings it keeps by index.
TEST_F(DialogGameRunRequests, PermissionsRefusalsAndSettings) {
  WriteGame(test::kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  EXPECT_NE(app.SetMenuItemEnabled(4, false), kMenuItemUnknown);
  EXPECT_FALSE(app.PostAppCommand(4, false, 0)) << "the screen-mode switch is not allowed";
  EXPECT_FALSE(app.PostAppCommand(7, true, 0)) << "a private request without a record";

  EXPECT_EQ(app.SetUserSetting(0, 7, 0), 1) << "the sheet's own switch";
  EXPECT_EQ(app.SetUserSetting(0, 9, 0), 0);
  EXPECT_EQ(app.GetUserConfig().showEffects, 0) << "group 0 is the leading switches";
  app.SetUserText(std::string(40, 'F'));
  EXPECT_EQ(app.GetUserText(), std::string(31, 'F')) << "the face field keeps its terminator";
  EXPECT_EQ(app.GetAppText(0).size(), 38u) << "the application's id";

  backend.QueueMessageBoxAnswer(host::IDNO);
  EXPECT_EQ(app.RequestScriptBox(1, "T", "sure?", 3), 0u);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"sure?"});
  app.AppShutdown(0);
}

// The sound warning when the sound output will not open: the start shows it in the message dialog
// with the "don't show again" box, whose tick turns it off for later starts; the scripts' own
// warning does not say it again in the same run. The start-up log has it either way.

using SoundWarning = test::DialogGameRun;

// The scripts start the device twice: the start has told the player, and they say nothing more.
constexpr const char* kScriptsStartTheDevice =
    " native native:596, first, status\n"
    " native native:596, second, status\n"
    " ret\n"
    "first: .word 1, 2, 22, 16\n"
    "second: .word 1, 2, 22, 16\n"
    "status: .word 0\n";

TEST_F(SoundWarning, TheStartShowsTheBoxUnlessItsTickTurnedItOff) {
  struct Case {
    const char* name;
    uint8_t flagBefore;
    bool tick;
    const char* main;
    size_t boxes;
    uint8_t flagAfter;
  };
  const Case cases[] = {
      {"ticked", 1, true, " ret\n", 1, 0},
      {"left unticked", 1, false, " ret\n", 1, 1},
      {"left unticked, then the scripts", 1, false, kScriptsStartTheDevice, 1, 1},
      {"turned off before", 0, false, kScriptsStartTheDevice, 0, 0},
  };
  const std::string warning = SoundDeviceWarningText();
  size_t seen = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    backend.FailAudioOutput("no sound card");
    config.engine.logFile = 1;
    config.pacing.soundWarning = c.flagBefore;
    WriteGame(c.main);
    host::DialogAnswer answer = test::Press(kIdOk);
    answer.checks.push_back({kIdDontShowAgain, c.tick});
    if (c.boxes != 0) dialogs.scripted.QueueAnswer(answer);
    GameApp app;
    app.SetPlayAloud(true);
    testing::internal::CaptureStderr();
    const int status = RunGame(app);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, kExitNormal);
    const std::vector<host::DialogRecord> shown = Dialogs();
    ASSERT_EQ(shown.size(), seen + c.boxes);
    if (c.boxes != 0) {
      EXPECT_EQ(shown[seen].templateId, 113) << "the kind with the check box";
      EXPECT_EQ(shown[seen].texts.at(0), warning);
    }
    seen = shown.size();
    EXPECT_EQ(test::Count(errors, host::Cp932ToUtf8Lenient(warning)), c.boxes) << errors;
    EXPECT_EQ(test::Count(test::ReadFile(dir.path() / "SYS_LOG.TXT"),
                          host::Cp932Literal("DirectSoundを利用できません")),
              1u);
    EXPECT_EQ(app.SoundWarnOnce(), c.flagAfter);
  }
}

// The demo's title as a player reads it: with the pointer resting on the first button, its label
// and the tooltip that comes up stand out from what lies under them.

// The first button as MAIN places it on the 800 x 600 canvas, and where the pointer rests.
constexpr host::Rect kFirstButton{310, 330, 490, 374};
constexpr int32_t kPointerX = 400;
constexpr int32_t kPointerY = 352;
// The tooltip's frame colour, fully opaque.
constexpr uint32_t kTooltipFrame = 0x445F97;
// The pointer arrives once the title stands; the tooltip's 400 ms have passed well before the
// frame looked at.
constexpr uint32_t kMoveFrame = 60;
constexpr uint32_t kLookFrame = 120;
// Text that reads well stands at least this far from its background (the usual 4.5 to 1).
constexpr double kReadableContrast = 4.5;

uint32_t Pixel(const host::Frame& frame, int32_t x, int32_t y) {
  const uint8_t* p = &frame.bgra[(size_t(y) * size_t(frame.width) + size_t(x)) * 4];
  return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

double Luminance(uint32_t rgb) {
  auto channel = [](uint32_t c) {
    const double v = double(c & 0xFF) / 255.0;
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(rgb >> 16) + 0.7152 * channel(rgb >> 8) + 0.0722 * channel(rgb);
}

// The contrast between the area's commonest colour and the pixel that stands out most from it.
double StrongestContrast(const host::Frame& frame, const host::Rect& area) {
  std::map<uint32_t, int> counts;
  for (int32_t y = area.top; y < area.bottom; ++y) {
    for (int32_t x = area.left; x < area.right; ++x) ++counts[Pixel(frame, x, y)];
  }
  if (counts.empty()) return 1;
  const uint32_t ground =
      std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
        return a.second < b.second;
      })->first;
  const double base = Luminance(ground);
  double strongest = 1;
  for (const auto& [colour, count] : counts) {
    const double l = Luminance(colour);
    strongest = std::max(strongest, (std::max(l, base) + 0.05) / (std::min(l, base) + 0.05));
  }
  return strongest;
}

// The inside of the tooltip's frame below the pointer; empty when none is there.
host::Rect TooltipInside(const host::Frame& frame) {
  host::Rect box{frame.width, frame.height, -1, -1};
  for (int32_t y = kPointerY; y < std::min(frame.height, kPointerY + 80); ++y) {
    for (int32_t x = 0; x < frame.width; ++x) {
      if (Pixel(frame, x, y) != kTooltipFrame) continue;
      box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
             std::max(box.bottom, y)};
    }
  }
  if (box.right < 0) return {};
  return {box.left + 1, box.top + 1, box.right, box.bottom};
}

using TitleLook = test::DialogGameRun;

TEST_F(TitleLook, TheHoveredLabelAndTheTooltipReadWell) {
  test::CopyDemoGame(BRIMWOLD_DEMO_GAME, dir.path());
  std::optional<host::Frame> shown;
  backend.SetFrameObserver([&](host::HWND window, const host::HeadlessSink& sink) {
    if (window != backend.MainWindow()) return;
    if (sink.FramesShown() == kMoveFrame) {
      host::InputEvent move;
      move.kind = host::InputEventKind::kMouseMove;
      move.x = kPointerX, move.y = kPointerY;
      backend.QueueEvent(move);
    }
    if (sink.FramesShown() == kLookFrame) {
      shown = sink.LastFrame();
      // The close asks first: its answer is queued with it.
      dialogs.scripted.QueueAnswer(test::Press(kIdYes));
      EXPECT_TRUE(host::PostMessage(window, host::WM_CLOSE, 0, 0));
    }
  });
  {
    GameApp app;
    RunGame(app);
  }
  backend.SetFrameObserver(nullptr);
  ASSERT_TRUE(shown.has_value());
  ASSERT_EQ(std::tuple(shown->width, shown->height), std::tuple(800, 600));

  // Inside the button's bevel: the label on the hovered face.
  const host::Rect label{kFirstButton.left + 4, kFirstButton.top + 4, kFirstButton.right - 4,
                         kFirstButton.bottom - 4};
  EXPECT_GE(StrongestContrast(*shown, label), kReadableContrast);
  const host::Rect tooltip = TooltipInside(*shown);
  ASSERT_GT(tooltip.Width(), 20) << "no tooltip below the pointer";
  EXPECT_GE(StrongestContrast(*shown, tooltip), kReadableContrast);
}

// The demo's save scene run by the application on a copy of the demo game: it saves to the quick
// ring and the automatic ring at set frames, and a second run finds the newest automatic save
// and loads the frame count the first run had when it saved.

constexpr char kLoadingMain[] =
    ".sob0\n"
    " native native:42, findArgs, found\n"
    " native native:44, loadArgs, loaded\n"
    " mov found, reportArgs+8\n"
    " mov loaded, reportArgs+12\n"
    " mov var:2, reportArgs+16\n"
    " native native:67, reportArgs, status\n"
    " native native:796, show, status\n"
    " ret\n"
    "findArgs: .word 0, -1\n"
    "loadArgs: .word -1, 0\n"
    "reportArgs: .word report, format, 0, 0, 0\n"
    "format: .string \"found %d loaded %d frames %d\"\n"
    "show: .word title, report, 2\n"
    "title: .string \"Load\"\n"
    "found: .word 9\n"
    "loaded: .word 9\n"
    "status: .word 0\n"
    "report: .space 64\n";

using SaveScene = test::GameRun;

TEST_F(SaveScene, ASecondRunLoadsTheNewestAutomaticSave) {
  test::PutDemoScene(dir, "SAVE", test::SceneCallingMain("SAVE"));
  {
    GameApp app;
    ASSERT_EQ(RunGame(app), kExitNormal);
  }
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"quick 0 auto 0 frames 20"});
  EXPECT_TRUE(Exists("SAVEDATA/DATA0105.SAV")) << "the quick ring starts at slot 5";
  EXPECT_TRUE(Exists("SAVEDATA/DATA0000.SAV"));

  test::PutAssembled(dir, "SCRIPT/MAIN.SOB", kLoadingMain);
  {
    GameApp app;
    ASSERT_EQ(RunGame(app), kExitNormal);
  }
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"found 0 loaded 0 frames 20"});
}

// The demo's drawing scene run by the application on a copy of the demo game beside a MAIN that
// calls it: render items, then a canvas with a GMP screen whose sprite moves and turns. Chosen
// frames are hashed on the headless clock.

// Frames shown (an effect that asks for every turn shows one more each frame): the text on its
// way, the text arrived, the sprite moving on the canvas, and turning.
const std::set<uint32_t> kChosen = {40, 110, 160, 290};

using RenderScene = test::GameRun;

TEST_F(RenderScene, DrawsItsFrames) {
  test::PutDemoScene(dir, "RENDER", test::SceneCallingMain("RENDER"));
  std::map<uint32_t, uint64_t> shown;
  backend.SetFrameObserver([&](host::HWND window, const host::HeadlessSink& sink) {
    if (window != backend.MainWindow() || !kChosen.contains(sink.FramesShown())) return;
    const host::Frame& frame = sink.LastFrame();
    // A drawn frame has a few hundred distinct pixel values or more.
    std::set<uint32_t> colours;
    for (size_t i = 0; i + 4 <= frame.bgra.size(); i += 4) {
      colours.insert(uint32_t(frame.bgra[i]) | frame.bgra[i + 1] << 8 | frame.bgra[i + 2] << 16);
    }
    EXPECT_GT(colours.size(), 100u) << "frame " << sink.FramesShown() << " shows pictures";
    shown[sink.FramesShown()] = sink.FrameHash();
  });
  GameApp app;
  EXPECT_NE(Global<TrigTables>::Get(), nullptr) << "turning sprites read the application's table";
  EXPECT_EQ(RunGame(app), kExitNormal);
  backend.SetFrameObserver(nullptr);
  ASSERT_EQ(shown.size(), kChosen.size());
  std::set<uint64_t> hashes;
  for (const auto& [frame, hash] : shown) hashes.insert(hash);
  EXPECT_EQ(hashes.size(), kChosen.size()) << "each chosen frame shows something else";
}

// The demo's name entry, played headless from the title: its button, a composition and a typed
// name in the field, a line of the suggestions, the honorific's box and the decide button; the
// frames change where each shows, and the title greets by the chosen name afterwards.

// The pointer rests off every part at the title (frame 40) and again once the title is back
// (frame 230). The name button at 60; the field clicked at 90, a composition at 100, committed at
// 110; the list's third line at 130; the box at 150; decide at 170.
constexpr char kNameEntryInput[] =
    "BRIMWOLD_HEADLESS_INPUT=30:move:780:300,55:move:100:560,60:click:100:560,90:click:380:136,"
    "100:compose:みな,110:text:みなと,120:move:300:250,130:click:300:244,140:move:262:360,"
    "150:click:262:360,165:move:400:522,170:click:400:522,200:move:780:300";
// Before and after each step; the entry with the first line shown; the title before and after.
constexpr uint32_t kBeforeTyping = 95, kComposing = 105, kTyped = 115;
constexpr uint32_t kBeforeLine = 125, kLine = 135, kBeforeBox = 145, kBox = 155;
constexpr uint32_t kTitleBefore = 40, kEntry = 85, kTitleAfter = 230;

using NameEntry = test::DemoGameTest;

TEST_F(NameEntry, TypingTheListTheBoxAndDecidingShowAndTheTitleGreets) {
  test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
  const std::string hashes =
      test::HashesOf({kTitleBefore, kEntry, kBeforeTyping, kComposing, kTyped, kBeforeLine, kLine,
                      kBeforeBox, kBox, kTitleAfter});
  const test::PlayedRun run = Play({hashes, kNameEntryInput, "BRIMWOLD_HEADLESS_FRAMES=235"});
  EXPECT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run.hashes.size(), 10u) << run.errors;
  auto at = [&](uint32_t frame) { return run.hashes.at(frame); };

  EXPECT_NE(at(kTitleBefore), at(kEntry)) << "the name entry replaces the title";
  EXPECT_NE(at(kBeforeTyping), at(kComposing)) << "the composition shows in the field";
  EXPECT_NE(at(kComposing), at(kTyped)) << "the committed name replaces the composition";
  EXPECT_NE(at(kBeforeLine), at(kLine)) << "the chosen line is drawn into the preview";
  EXPECT_NE(at(kBeforeBox), at(kBox)) << "the honorific is drawn into the preview";
  EXPECT_NE(at(kTitleBefore), at(kTitleAfter)) << "the title greets by the chosen name";
}

// The demo's scenario frame scene playing a scenario of the test's own, beside a MAIN that hands
// it texts in variables and checks what it left.

// MAIN puts the addresses of a label and a script name into var:1 and var:2, runs the frame
// scene (which plays TGS_DEMO to its end) and then runs tail.
std::string MainRunningTheScene(const std::string& tail) {
  return ".sob0\n set labelText, var:1\n set nameText, var:2\n"
         " native native:0, callScene, status\n wait\n" +
         tail +
         "callScene: .word scene\nscene: .string \"TGS\"\nlabelText: .string \"first\"\n"
         "nameText: .string \"TGS_DEMO\"\nstatus: .word 0\n";
}

// A MAIN that goes on past the scene reaches a fault, which fails the program.
const std::string kFaultAfterTheScene = " jmp 0\n";

class TgsReadings : public test::DemoGameTest {
 protected:
  test::PlayedRun PlayScenario(const std::string& main, const std::string& scenario) {
    test::PutDemoScene(game, "TGS", main);
    test::PutTob(game, "SCRIPT/TGS_DEMO.TOB", ".tob1\n" + scenario);
    return Play({"BRIMWOLD_HEADLESS_FRAMES=600"});
  }
};

// A scenario statement asks for Exit: the scenario stops there, and the program ends where the
// main script next gives way (the frame scene's end), before MAIN goes on.
TEST_F(TgsReadings, AnExitFromAScenarioStatementEndsTheProgram) {
  const test::PlayedRun run = PlayScenario(MainRunningTheScene(kFaultAfterTheScene),
                                           "  stmt{native native:2, 0, host:2 | ret}\n"
                                           "  stmt{set 1, var:3 | ret}\n  .end\n");
  EXPECT_EQ(run.status, 0) << run.errors;
}

// The scenario calls its own script by the name in var:2, at the label in var:1 and at one an
// expression makes; each part adds to var:3, which MAIN checks once the scene is over.
TEST_F(TgsReadings, ACallTakesItsNameAndLabelFromVariablesAndExpressions) {
  const test::PlayedRun run = PlayScenario(
      MainRunningTheScene(" mov var:3, c.1\nc: eq 0, 11, t.1\nt: jz 0, fail\n ret\nfail: jmp 0\n"),
      "  Call var(1 0), var(2 0)\n"
      "  Call {set l, host:0 | ret | l: .string \"second\"}, var(2 0)\n"
      "  .end\n"
      "first:\n  stmt{set 1, var:3 | ret}\n  Return\n"
      "second:\n  stmt{mov var:3, a.1 | a: add 0, 10, var:3 | ret}\n  Return\n");
  EXPECT_EQ(run.status, 0) << run.errors;
}

}  // namespace
}  // namespace bw
