// Label: optimised
// The system menu and the cross-fade built-ins in the program, headless: the right button opens
// the menu beside the pointer, a click outside closes it, and a flash and a background change
// through white run before the scenario ends. The menu's save button opens the save dialog
// inside the scenario, and its load button the load dialog, which brings the save back.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "e2e/demo_scene.h"
#include "lib/file_bytes.h"
#include "lib/gmp/gmp_writer.h"
#include "lib/tob/tob_assembler.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/gmp_file.h"
#include "scenario/tgs/tgs_system_menu.h"

namespace bw {
namespace {

// The first message is out by 90; the right button goes down at 101 beside (400, 300); the menu
// has faded in by 140; a click outside at 160 closes it, faded out by 200; the click at 220 ends
// the message and starts the flash, white by 245; the background change through white follows
// and the scenario, and with it the game, ends.
constexpr uint32_t kMessage = 90, kMenu = 140, kClosed = 200, kFlash = 245;
const std::string kOpenAndClose = "100:move:400:300,101:down:right,102:up:right,160:click:50:50,";
const std::string kPlayOn = "220:click:400:300";

constexpr const char* kScenario = R"(.tob1
  MessageBegin 0
  "メニューの試験です。"
  MessageWait
  Flash 0, 0xFFFFFF
  BgChangeThroughColor "CG\\SPRITE.WGX", 0, 0xFFFFFF
  .end
)";

// A panel with a light top and bottom line.
tools::WgxPicture Panel(uint32_t width, uint32_t height, uint32_t argb) {
  tools::WgxPicture p;
  p.depth = 32;
  p.width = width;
  p.height = height;
  p.pixels.assign(size_t{width} * height, argb);
  for (uint32_t x = 0; x < width; ++x) p.pixels[x] = p.pixels[size_t{height - 1} * width + x] = ~0u;
  return p;
}

// The menu's base and twelve buttons of 117 x 20 sharing one strip of four states.
void PutMenuPictures(const test::TempDir& game) {
  auto put = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    game.WriteFile("SYS/" + name, std::string(bytes.begin(), bytes.end()));
  };
  put("SM_BASE.WGX", tools::WriteWgx(Panel(kTgsMenuWidth, kTgsMenuHeight, 0xE0202838)));
  constexpr uint32_t kW = 117, kH = 20;
  tools::WgxPicture strip = Panel(kW * 4, kH, 0xFF203050);
  for (uint32_t y = 1; y + 1 < kH; ++y)
    for (uint32_t x = kW; x < 2 * kW; ++x) strip.pixels[size_t(y) * strip.width + x] = 0xFF4080E0;
  put("SM_BTN.WGX", tools::WriteWgx(strip));
  GmpFile gmp;
  for (int i = 0; i < 12; ++i)
    gmp.entries.push_back(
        {"SM_BTN.WGX", 1, 8, int16_t(8 + 22 * i), 255, true, kW, kH, GmpFullStateCode(1)});
  put("SM_BG.GMP", tools::WriteGmp(gmp));
}

class TgsMenu : public test::DemoGameTest {
 protected:
  using test::DemoGameTest::Play;

  void SetUp() override {
    test::PutDemoScene(game, "TGS", test::SceneCallingMain("TGS"));
    PutMenuPictures(game);
    test::PutTob(game, "SCRIPT/TGS_DEMO.TOB", kScenario);
  }

  // The hashes of frames kMessage, kMenu, kClosed and kFlash.
  std::vector<uint64_t> Play(const std::string& input, int& status) {
    const std::string frames = std::to_string(kMessage) + "," + std::to_string(kMenu) + "," +
                               std::to_string(kClosed) + "," + std::to_string(kFlash);
    const test::PlayedRun run =
        Play({"BRIMWOLD_HEADLESS_INPUT=" + input, "BRIMWOLD_HEADLESS_HASHES=" + frames});
    status = run.status;
    return run.Shown();
  }
};

TEST_F(TgsMenu, RightButtonOpensTheMenuAndTheFadesRunToTheEnd) {
  int status = -1;
  const auto plain = Play(kPlayOn, status);
  ASSERT_EQ(status, 0) << "the fades end and the scenario with them";
  ASSERT_EQ(plain.size(), 4u);
  EXPECT_NE(plain[3], plain[0]) << "the flash shows";

  const auto menu = Play(kOpenAndClose + kPlayOn, status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(menu.size(), 4u);
  EXPECT_NE(menu[1], plain[1]) << "the menu shows";
  EXPECT_NE(menu[2], menu[1]) << "a click outside closes the menu";
  EXPECT_EQ(menu[3], plain[3]);

  const auto again = Play(kOpenAndClose + kPlayOn, status);
  EXPECT_EQ(again, menu) << "the same input shows the same frames";
}

// MAIN with saving and loading allowed, calling the scene.
constexpr const char* kSavingMain =
    ".sob0\n native native:4, saveAllowed, status\n"
    " native native:4, loadAllowed, status\n"
    " native native:0, callScene, status\n wait\n ret\n"
    "callScene: .word scene\nscene: .string \"TGS\"\n"
    "saveAllowed: .word 8, 1\nloadAllowed: .word 9, 1\nstatus: .word 0\n";

// The right button at opened with the pointer at (400, 300), which rests on the menu's start row
// (5, save); 39 frames later the pointer goes to row and clicks it (a button takes a pointer
// that moved onto it).
std::string MenuButton(int opened, int row) {
  const std::string y = std::to_string(300 + 22 * (row - 5));
  auto at = [&](int after) { return std::to_string(opened + after); };
  return at(-1) + ":move:400:300," + at(0) + ":down:right," + at(1) + ":up:right," + at(36) +
         ":move:400:" + y + "," + at(37) + ":move:401:" + y + "," + at(39) + ":click:401:" + y;
}

TEST_F(TgsMenu, TheSaveButtonSavesAndTheLoadButtonBringsTheSaveBack) {
  test::PutAssembled(game, "SCRIPT/MAIN.SOB", kSavingMain);
  test::PutTob(
      game, "SCRIPT/TGS_DEMO.TOB",
      ".tob1\n  BgLoad \"CG\\\\BG.WGX\", 0\n  MessageBegin 0\n  \"Saved here.\"\n  MessageWait\n"
      "  MessageBegin 0\n  \"Later on.\"\n  MessageWait\n  .end\n");
  // The save button at 140 takes the save dialog's first row; the click at 260 shows the second
  // message; the load button at 340 takes the load dialog's first row. The saved message waits
  // again, its mark turning through its cells in 48 frames; two clicks end the scenario.
  const test::PlayedRun run =
      Play({"BRIMWOLD_HEADLESS_FRAMES=760",
            "BRIMWOLD_HEADLESS_INPUT=" + MenuButton(101, 5) + ",260:click:400:300," +
                MenuButton(301, 6) + ",600:click:400:300,660:click:400:300",
            "BRIMWOLD_HEADLESS_ANSWERS=row:0;check:1073:0;press:1204;2,row:0;activate;2",
            "BRIMWOLD_HEADLESS_HASHES=" + test::FrameRange(205, 259) + "," +
                test::FrameRange(500, 559) + ",290"});
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_TRUE(std::filesystem::exists(game.path() / "SAVEDATA" / "DATA0200.SAV")) << run.errors;
  std::set<uint64_t> saved, loaded;
  for (const auto& [frame, hash] : run.hashes) (frame < 260 ? saved : loaded).insert(hash);
  ASSERT_TRUE(run.hashes.contains(290));
  EXPECT_FALSE(saved.contains(run.hashes.at(290))) << "the second message shows";
  loaded.erase(run.hashes.at(290));
  EXPECT_EQ(loaded, saved) << "the load dialog's save came back";
}

}  // namespace
}  // namespace bw
