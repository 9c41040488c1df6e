// A game's frames drawn from the render list, with the back buffer the scripts ask to clear.
#include <gtest/gtest.h>

#include <cstring>

#include "host/headless/headless_backend.h"
#include "support/game_run.h"

namespace bw {
namespace {

// The border colour and the clearing flag set, then five frames and the end.
constexpr char kClearingMain[] =
    " native native:198, colour, result\n"
    " native native:199, on, result\n"
    "idle:\n"
    " wait\n"
    " inc frames\n"
    " mov frames, check.1\n"
    "check: lt 0, 5, waiting\n"
    " mov waiting, branch.1\n"
    "branch: jz 0, done\n"
    " jmp idle\n"
    "done:\n"
    " ret\n"
    "colour: .word 0x10, 0x20, 0x30\n"
    "on: .word 1\n"
    "result: .word 0\n"
    "frames: .word 0\n"
    "waiting: .word 0\n";

class RenderListFrames : public test::GameRun {};

TEST_F(RenderListFrames, StartFromTheColourTheScriptGave) {
  WriteGame(kClearingMain);
  uint32_t middle = 0;
  int shown = 0;
  backend.SetFrameObserver([&](host::HWND window, const host::HeadlessSink& sink) {
    if (window != backend.MainWindow()) return;
    const host::Frame& f = sink.LastFrame();
    const size_t at = (size_t(f.height / 2) * size_t(f.width) + size_t(f.width / 2)) * 4;
    if (at + 4 > f.bgra.size()) return;
    middle = uint32_t(f.bgra[at]) | uint32_t(f.bgra[at + 1]) << 8 | uint32_t(f.bgra[at + 2]) << 16;
    ++shown;
  });
  GameApp app;
  EXPECT_EQ(RunGame(app), kExitNormal);
  backend.SetFrameObserver(nullptr);
  ASSERT_GT(shown, 0);
  EXPECT_EQ(middle, 0x102030u) << "nothing drawn over the cleared back buffer";
}

}  // namespace
}  // namespace bw
