// The start and the title as a player meets them, run by the application on copies of the demo
// game: the sound warning when the sound output will not open, and the title's hovered button.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <string>

#include "app/dialogs/dialog_context.h"
#include "app/dialogs/message_dialog.h"
#include "e2e/demo_scene.h"
#include "host/cp932.h"
#include "host/message_queue.h"
#include "host/presentation_sink.h"
#include "sound/direct_sound_device.h"
#include "support/demo_copy.h"
#include "support/game_run.h"

namespace bw {
namespace {

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

}  // namespace
}  // namespace bw
