// Label: optimised
// The system menu and the cross-fade built-ins in the program, headless: the right button opens
// the menu beside the pointer, a click outside closes it, and a flash and a background change
// through white run on the way to the last message.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/demo_scene.h"
#include "lib/gmp/gmp_writer.h"
#include "lib/tob/tob_assembler.h"
#include "lib/wgx/wgx_writer.h"
#include "program/program_process.h"
#include "resource/images/gmp_file.h"
#include "scenario/tgs/tgs_system_menu.h"

namespace bw {
namespace {

constexpr std::chrono::seconds kRunLimit{120};

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

tools::WgxPicture Panel(uint32_t width, uint32_t height, uint32_t argb) {
  tools::WgxPicture p;
  p.depth = 32;
  p.width = width;
  p.height = height;
  p.pixels.assign(size_t{width} * height, argb);
  for (uint32_t x = 0; x < width; ++x) p.pixels[x] = p.pixels[size_t{height - 1} * width + x] = ~0u;
  return p;
}

// The menu's base and twelve buttons of 117 x 20, each a strip of its four states.
void PutMenuPictures(const test::TempDir& game) {
  auto put = [&](const std::string& name, const tools::WgxPicture& p) {
    const std::vector<uint8_t> bytes = tools::WriteWgx(p);
    game.WriteFile("SYS/" + name, std::string(bytes.begin(), bytes.end()));
  };
  put("SM_BASE.WGX", Panel(kTgsMenuWidth, kTgsMenuHeight, 0xE0202838));
  GmpFile gmp;
  for (int i = 0; i < 12; ++i) {
    constexpr uint32_t kW = 117, kH = 20;
    tools::WgxPicture strip = Panel(kW * 4, kH, 0);
    const uint32_t shade = 0x30 + 0x0C * uint32_t(i);
    const uint32_t states[] = {0xFF000000 | shade << 8 | 0x60, 0xFF4080E0, 0xFF203060, 0xFF505050};
    for (uint32_t s = 0; s < 4; ++s) {
      const tools::WgxPicture one = Panel(kW, kH, states[s]);
      for (uint32_t y = 0; y < kH; ++y)
        for (uint32_t x = 0; x < kW; ++x)
          strip.pixels[size_t(y) * strip.width + s * kW + x] = one.pixels[size_t(y) * kW + x];
    }
    char name[16];
    std::snprintf(name, sizeof name, "SM_B%02d.WGX", i);
    put(name, strip);
    gmp.entries.push_back(
        {name, 1, 8, int16_t(8 + 22 * i), 255, true, kW, kH, GmpFullStateCode(1)});
  }
  const std::vector<uint8_t> bytes = tools::WriteGmp(gmp);
  game.WriteFile("SYS/SM_BG.GMP", std::string(bytes.begin(), bytes.end()));
}

class TgsMenu : public testing::Test {
 protected:
  void SetUp() override {
    test::PutDemoScene(game, "TGS", test::SceneCallingMain("TGS"));
    PutMenuPictures(game);
    tob::AssembleResult made = tob::Assemble(kScenario);
    ASSERT_TRUE(made.ok) << made.error;
    game.WriteFile("SCRIPT/TGS_DEMO.TOB", std::string(made.bytes.begin(), made.bytes.end()));
  }

  std::map<uint32_t, uint64_t> Play(const std::string& input, int& status) {
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + home.path().string(),
                                    "XDG_DATA_HOME=" + home.path().string(), "BRIMWOLD_HEADLESS=1",
                                    "BRIMWOLD_HEADLESS_INPUT=" + input,
                                    "BRIMWOLD_HEADLESS_HASHES=" + Frames()};
    test::ProgramProcess program(BRIMWOLD_PROGRAM, {"/L", game.path().string()}, env);
    status = test::ExitCode(program.WaitForEnd(kRunLimit));
    errors = program.Errors();
    std::map<uint32_t, uint64_t> hashes;
    std::istringstream lines(program.Output());
    for (std::string line; std::getline(lines, line);) {
      unsigned frame = 0;
      unsigned long long hash = 0;
      if (std::sscanf(line.c_str(), "frame %u hash 0x%llx", &frame, &hash) == 2)
        hashes[frame] = hash;
    }
    return hashes;
  }
  static std::string Frames() {
    std::string list;
    for (uint32_t f : {kMessage, kMenu, kClosed, kFlash})
      list += (list.empty() ? "" : ",") + std::to_string(f);
    return list;
  }

  test::TempDir game;
  test::TempDir home;
  std::string errors;
};

TEST_F(TgsMenu, RightButtonOpensTheMenuAndTheFadesRunToTheEnd) {
  int status = -1;
  const auto plain = Play(kPlayOn, status);
  ASSERT_EQ(status, 0) << errors;
  ASSERT_EQ(plain.size(), 4u) << errors;
  EXPECT_NE(plain.at(kFlash), plain.at(kMessage)) << "the flash shows";

  const auto menu = Play(kOpenAndClose + kPlayOn, status);
  ASSERT_EQ(status, 0) << errors;
  ASSERT_EQ(menu.size(), 4u) << errors;
  EXPECT_NE(menu.at(kMenu), plain.at(kMenu)) << "the menu shows";
  EXPECT_NE(menu.at(kClosed), menu.at(kMenu)) << "a click outside closes the menu";
  EXPECT_EQ(menu.at(kFlash), plain.at(kFlash));

  const auto again = Play(kOpenAndClose + kPlayOn, status);
  EXPECT_EQ(again, menu) << "the same input shows the same frames";
}

}  // namespace
}  // namespace bw
