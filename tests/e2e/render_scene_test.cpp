// Label: optimised
// The demo's drawing scene run by the application on a copy of the demo game beside a MAIN that
// calls it: render items, then a canvas with a GMP screen whose sprite moves and turns. Chosen
// frames are hashed on the headless clock; two runs show the same frames.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e/demo_scene.h"
#include "host/headless/headless_backend.h"
#include "lib/file_bytes.h"
#include "platform/trig_tables.h"
#include "support/game_run.h"

namespace bw {
namespace {

// Calls the scene (which runs at the first wait until it returns), then ends after 10 frames.
constexpr char kCallingMain[] =
    ".sob0\n"
    " native native:0, callRender, status\n"
    "idle:\n"
    " wait\n"
    " inc frames\n"
    " mov frames, check.1\n"
    "check: lt 0, 10, waiting\n"
    " mov waiting, branch.1\n"
    "branch: jz 0, done\n"
    " jmp idle\n"
    "done:\n"
    " ret\n"
    "callRender: .word render\n"
    "render: .string \"RENDER\"\n"
    "status: .word 0\n"
    "frames: .word 0\n"
    "waiting: .word 0\n";

// Frames shown (an effect that asks for every turn shows one more each frame): the text on its
// way, the text arrived,
// the sprite moving on the canvas, and turning.
const std::set<uint32_t> kChosen = {40, 110, 160, 300};

struct Shown {
  uint64_t hash = 0;
  size_t colours = 0;  // distinct pixel values, a few hundred or more for a drawn frame
};

class RenderScene : public test::GameRun {
 protected:
  void SetUp() override {
    test::PutDemoScene(dir, "RENDER", kCallingMain);
    start_ = static_cast<uint32_t>(backend.Clock().NowNanoseconds() / 1000000);
  }

  // Each run starts at the same time on the headless clock, as a new process would.
  std::map<uint32_t, Shown> Run() {
    backend.Clock().SetMilliseconds(start_);
    std::map<uint32_t, Shown> shown;
    backend.SetFrameObserver([&](host::HWND window, const host::HeadlessSink& sink) {
      if (window != backend.MainWindow() || !kChosen.contains(sink.FramesShown())) return;
      const host::Frame& frame = sink.LastFrame();
      std::set<uint32_t> colours;
      for (size_t i = 0; i + 4 <= frame.bgra.size(); i += 4) {
        colours.insert(uint32_t(frame.bgra[i]) | frame.bgra[i + 1] << 8 | frame.bgra[i + 2] << 16);
      }
      shown[sink.FramesShown()] = {sink.FrameHash(), colours.size()};
    });
    GameApp app;
    EXPECT_NE(Global<TrigTables>::Get(), nullptr) << "turning sprites read the application's table";
    EXPECT_EQ(RunGame(app), kExitNormal);
    backend.SetFrameObserver(nullptr);
    return shown;
  }

  uint32_t start_ = 0;
};

TEST_F(RenderScene, DrawsItsFramesAndTheSameInEveryRun) {
  const std::map<uint32_t, Shown> first = Run();
  ASSERT_EQ(first.size(), kChosen.size());
  std::set<uint64_t> hashes;
  for (const auto& [frame, s] : first) {
    EXPECT_GT(s.colours, 100u) << "frame " << frame << " shows pictures";
    hashes.insert(s.hash);
  }
  EXPECT_EQ(hashes.size(), kChosen.size()) << "each chosen frame shows something else";
  const std::map<uint32_t, Shown> second = Run();
  ASSERT_EQ(second.size(), first.size());
  for (const auto& [frame, s] : first)
    EXPECT_EQ(second.at(frame).hash, s.hash) << "frame " << frame;
}

}  // namespace
}  // namespace bw
