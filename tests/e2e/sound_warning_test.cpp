// The sound warning when scripts start the sound device and the sound output will not open: the
// game goes on silent and says so once, on standard error and in the start-up log, with no box
// for the player to answer.
#include <gtest/gtest.h>

#include <string>

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

TEST_F(SoundWarning, ScriptsStartingASilentDeviceAreToldOnceWithoutABox) {
  backend.FailAudioOutput("no sound card");
  config.engine.logFile = 1;
  WriteGame(
      " native native:596, first, status\n"
      " native native:596, second, status\n"
      " ret\n"
      "first: .word 1, 2, 22, 16\n"
      "second: .word 1, 2, 22, 16\n"
      "status: .word 0\n");
  GameApp app;
  app.SetPlayAloud(true);
  testing::internal::CaptureStderr();
  const int status = RunGame(app);
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, kExitNormal);
  EXPECT_TRUE(Dialogs().empty()) << "no box stops the game";
  const std::string warning = SoundDeviceWarningText();
  EXPECT_EQ(Count(errors, host::Cp932ToUtf8Lenient(warning)), 1u) << errors;
  EXPECT_EQ(Count(test::ReadFile(dir.path() / "SYS_LOG.TXT"),
                  host::Cp932Literal("DirectSoundを利用できません")),
            1u);
  EXPECT_EQ(app.SoundWarnOnce(), 0) << "the engine's flag: said once";
}

}  // namespace
}  // namespace bw
