// The sound warning when the sound output will not open: the start shows it in the message dialog
// with the "don't show again" box, whose tick turns it off for later starts; the scripts' own
// warning does not say it again in the same run. The start-up log has it either way.
#include <gtest/gtest.h>

#include <string>

#include "app/dialogs/dialog_context.h"
#include "app/dialogs/message_dialog.h"
#include "host/cp932.h"
#include "sound/direct_sound_device.h"
#include "support/game_run.h"

namespace bw {
namespace {

using SoundWarning = test::DialogGameRun;

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

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
    EXPECT_EQ(Count(errors, host::Cp932ToUtf8Lenient(warning)), c.boxes) << errors;
    EXPECT_EQ(Count(test::ReadFile(dir.path() / "SYS_LOG.TXT"),
                    host::Cp932Literal("DirectSoundを利用できません")),
              1u);
    EXPECT_EQ(app.SoundWarnOnce(), c.flagAfter);
  }
}

}  // namespace
}  // namespace bw
