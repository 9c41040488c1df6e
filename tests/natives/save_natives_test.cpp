#include "natives/save_natives.h"

#include <clocale>
#include <cstdlib>
#include <string>

#include "effects/path_tasks.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "host/clock.h"
#include "native_rig.h"
#include "platform/timer_service.h"
#include "savedata/save_rig.h"

namespace bw {
namespace {

class FakePanel : public SaveTextPanel {
 public:
  TextRenderer* renderers[2] = {reinterpret_cast<TextRenderer*>(&captions),
                                reinterpret_cast<TextRenderer*>(&moves)};
  std::vector<std::string> captions;
  std::vector<int32_t> moves;
  TextRenderer* Renderer(int which) override { return renderers[which]; }
  int32_t ShowCaption(const std::string& text, uint32_t ms) override {
    captions.push_back(text + "/" + std::to_string(ms));
    return 0;
  }
  int32_t MovePointerToPart(uint32_t part, bool flag, int32_t value) override {
    moves.push_back(static_cast<int32_t>(part) + (flag ? 1000 : 0) + value);
    return 7;
  }
};

// The save natives over a temporary save folder, with a scenario frame whose base layer is the
// thumbnail's source.
class SaveNatives : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string engine;
    ASSERT_EQ(host::LinuxPathToEnginePath(dir.path().string() + "/", engine), host::kPathOk);
    rig.app.saveFolder = engine;
    ASSERT_EQ(target.Create(120, 90, 32, 0), 0);
    (void)layer.SetTarget(&target, true);
    frame.layer = &layer;
    rig.app.frame = &frame;
  }
  int32_t Call(uint32_t n, std::initializer_list<uint32_t> w) { return rig.Answer(n, w); }
  SaveData& Save() { return SaveDataOf(*rig.host); }

  test::TempDir dir;
  ImageSurface target;
  CompositionLayer layer;
  FakeFrame frame;
  NativeRig rig;
};

// 39 sets the title and the boot value the interrupt restarts with, and starts a new list of
// marked variables, so the list does not grow with every save a game makes; a first word of 0
// changes nothing.
TEST_F(SaveNatives, EachSaveContextStartsANewMarkedList) {
  rig.app.files.Put("SCRIPT\\USER_VAR.SOB", Sob(".sob1\nv: .word 0\n.var 0 1 v 4\n"));
  ASSERT_EQ(StartScriptHost(rig.app, rig.host), 0);
  const uint32_t variable = rig.host->VariableValueAddress(0), title = rig.Text("T");
  const uint32_t word = rig.Block(4);
  EXPECT_EQ(Call(Native::kSetSaveBootValues, {0, title, word}), 0);
  EXPECT_EQ(Save().TitleAddress(), 0u);
  EXPECT_EQ(Call(Native::kSetSaveBootValues, {0x12345, title, word}), 1);
  EXPECT_EQ(Save().TitleAddress(), title);
  EXPECT_EQ(rig.host->BootValue(), 0x2345) << "the interrupt restarts with it";
  EXPECT_EQ(Call(Native::kMarkVariable, {0}), 0);
  EXPECT_EQ(Call(Native::kMarkVariable, {word}), 1)
      << "an address that is no variable still answers 1";
  for (int save = 0; save < 3; ++save) {
    EXPECT_EQ(Call(Native::kSetSaveBootValues, {1, title, 0}), 1);
    EXPECT_EQ(Call(Native::kMarkVariable, {variable}), 1);
    EXPECT_EQ(Call(Native::kMarkVariable, {variable}), 1);
    EXPECT_EQ(rig.host->MarkedVariables().size(), 2u) << "save " << save;
  }
  EXPECT_EQ(Call(Native::kSetSaveBootValues, {0, title, 0}), 0);
  EXPECT_EQ(rig.host->MarkedVariables().size(), 2u);
}

TEST_F(SaveNatives, CaptionsAndSlotInfoFitTheirBuffers) {
  frame.title = std::string(60, 'T');
  frame.comment = std::string(200, 'c');
  ASSERT_EQ(Call(Native::kWriteSaveData, {2, 4}), 0);
  const uint32_t caption = rig.Block(200);
  EXPECT_EQ(Call(Native::kReadSavePart, {0, 2, 4, 0}), kSlotNullBuffer);
  EXPECT_EQ(Call(Native::kReadSavePart, {caption, 2, 4, 1}), 0);
  const std::string text = rig.Read(caption);
  EXPECT_LE(text.size(), kCaptionBufferBytes - 1);
  EXPECT_EQ(text.substr(0, 44), "\x81\x77" + std::string(40, 'T') + "\x81\x78");
  EXPECT_TRUE(rig.Call(Native::kReadSavePart, {PastTheArena(rig.Memory()), 2, 4, 1}).faulted);

  const uint32_t title = rig.Block(64), comment = rig.Block(400), date = rig.Block(64);
  EXPECT_EQ(Call(Native::kReadSaveInfo, {2, 4, 0, title, comment, date, 1}), 0);
  EXPECT_EQ(rig.Read(title), std::string(40, 'T'));
  EXPECT_EQ(rig.Read(comment),
            std::string(82, 'c') + "\n" + std::string(82, 'c') + "\n" + std::string(36, 'c'));
  EXPECT_LE(rig.Read(date).size(), kDateBufferBytes - 1);
  EXPECT_TRUE(
      rig.Call(Native::kReadSaveInfo, {2, 4, 0, 0, PastTheArena(rig.Memory()), 0, 0}).faulted);
}

TEST_F(SaveNatives, SnapshotNatives) {
  EXPECT_EQ(Call(Native::kRestoreSnapshot, {}), kNoSnapshot);
  EXPECT_EQ(Call(Native::kTakeSnapshot, {}), 0);
  EXPECT_EQ(Call(Native::kHasSnapshot, {}), 1);
  EXPECT_EQ(Call(Native::kRestoreSnapshot, {}), 0);
  EXPECT_EQ(Call(Native::kHasSnapshot, {}), 0) << "restoring takes the snapshot";
}

TEST_F(SaveNatives, PanelAndMultiPurposeSubCommands) {
  EXPECT_EQ(Call(Native::kGetGlobalObject, {0, 0}), 0) << "no panel";
  EXPECT_EQ(Call(Native::kSystemSoundCommand, {5, rig.Text("cap"), 300}), kNoPanelCaption);
  FakePanel panel;
  rig.app.panel = &panel;
  const int32_t renderer = Call(Native::kGetGlobalObject, {0, 1});
  EXPECT_EQ(rig.Handles().Get<TextRenderer>(static_cast<uint32_t>(renderer),
                                            ScriptObjectType::kTextRenderer),
            panel.renderers[1]);
  EXPECT_EQ(Call(Native::kSystemSoundCommand, {5, rig.Text("cap"), 300}), 0);
  EXPECT_EQ(panel.captions, std::vector<std::string>{"cap/300"});
  EXPECT_EQ(Call(Native::kSystemSoundCommand, {6, 9, 5, 2}), 7);
  EXPECT_EQ(panel.moves, std::vector<int32_t>{1011});

  for (uint32_t sub : {7u, 11u, 0xFFFFFFFFu})
    EXPECT_EQ(Call(Native::kSystemSoundCommand, {sub}), kUnknownSubCommand) << sub;
  EXPECT_EQ(Call(Native::kSystemSoundCommand, {9, 2, rig.Text("SCENE")}), 205);
  rig.app.frame = nullptr;
  EXPECT_EQ(Call(Native::kSystemSoundCommand, {9, 0, 0}), 0);
}

// 54 grows a 40 x 30 sprite to 1.5 times its size in half the time and brings it back.
class SizePulse : public SaveNatives {
 protected:
  void SetUp() override {
    SaveNatives::SetUp();
    ASSERT_EQ(image.Create(40, 30, 32, kImagePlain), kSurfaceDone);
    ASSERT_EQ(sprite.SetImage(&image, nullptr, 0, 0), kSpriteDone);
    handle = rig.Give(&sprite);
  }
  host::VirtualClock clock{1000};
  ScopedGlobal<host::ClockSource> publishedClock{&clock};
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  TimerService timers;
  ScopedGlobal<TimerService> publishedTimers{&timers};
  ImageSurface image;
  Sprite sprite;
  uint32_t handle = 0;
};

// A locale whose decimal mark is a comma, compiled into folder; false where that cannot be done.
bool MakeCommaLocale(const std::filesystem::path& folder) {
  const std::string command =
      "localedef -i de_DE -f UTF-8 '" + (folder / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return false;
  setenv("LOCPATH", folder.c_str(), 1);
  const std::string old = std::setlocale(LC_NUMERIC, nullptr);
  const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") &&
                     std::string(std::localeconv()->decimal_point) == ",";
  std::setlocale(LC_NUMERIC, old.c_str());
  return comma;
}

TEST_F(SizePulse, GrowsAndComesBackUnderEveryLocale) {
  test::TempDir locales;
  const bool comma = MakeCommaLocale(locales.path());
  for (const char* locale : {"C", "de_DE.UTF-8"}) {
    if (!comma && std::string(locale) != "C") {
      ADD_FAILURE() << "no decimal-comma locale could be made";
      continue;
    }
    const std::string old = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, locale), nullptr) << locale;
    const int32_t task = Call(Native::kTimedObjectOperation, {handle, 0, 1000, rig.Text("1.5"), 0});
    std::setlocale(LC_NUMERIC, old.c_str());
    ASSERT_NE(task, 0) << locale;
    timers.RunDue(1000);
    timers.RunDue(1500);
    EXPECT_EQ(sprite.GetWidth(), 60) << locale;
    timers.RunDue(2000);
    timers.RunDue(2100);
    EXPECT_EQ(sprite.GetWidth(), 40) << locale;
    EXPECT_EQ(timers.Count(), 0u) << locale;
  }
  unsetenv("LOCPATH");
}

TEST_F(SizePulse, RefusalsAnswerZero) {
  const uint32_t pulse = Native::kTimedObjectOperation, half = rig.Text("1.5");
  rig.Expect({{"no object", pulse, {0, 0, 1000, half, 0}, 0},
              {"no such mode", pulse, {handle, 2, 1000, half, 0}, 0},
              {"a factor past a double", pulse, {handle, 0, 1000, rig.Text("1e400"), 0}, 0},
              {"a negative factor", pulse, {handle, 0, 1000, rig.Text("-1"), 0}, 0}});
  EXPECT_EQ(timers.Count(), 0u);
}

// At the pulse's peak: a shrinking pulse of mode 0 keeps the sprite's foot, every other one its
// centre; the width always keeps its centre.
TEST_F(SizePulse, AShrinkingPulseOfModeZeroKeepsItsFoot) {
  const struct {
    uint32_t mode;
    const char* factor;
    int32_t x, y;
  } cases[] = {{0, "0.5", 110, 115}, {0, "1.5", 90, 93}, {1, "0.5", 110, 107}};
  uint32_t now = 1000;
  ASSERT_TRUE(sprite.SetPos(100, 100));
  for (const auto& c : cases) {
    ASSERT_NE(Call(Native::kTimedObjectOperation, {handle, c.mode, 1000, rig.Text(c.factor), 0}),
              0);
    timers.RunDue(now);
    timers.RunDue(now + 500);
    EXPECT_EQ(std::pair(sprite.GetX(), sprite.GetY()), std::pair(c.x, c.y))
        << "mode " << c.mode << " factor " << c.factor;
    timers.RunDue(now + 1000);
    timers.RunDue(now + 1100);
    EXPECT_EQ(std::pair(sprite.GetX(), sprite.GetY()), std::pair(100, 100)) << "and back";
    now += 2000;
    clock.SetMilliseconds(now);
  }
}

}  // namespace
}  // namespace bw
