// The sound warning as the game application shows it when scripts start the sound device and the
// sound output will not open: through the message dialog, for the first start only.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "sound/direct_sound_device.h"
#include "support/game_run.h"

namespace bw {
namespace {

using SoundWarning = test::DialogGameRun;

TEST_F(SoundWarning, ScriptsStartingASilentDeviceAreWarnedOnce) {
  backend.FailAudioOutput("no sound card");
  WriteGame(
      " native native:596, first, status\n"
      " native native:596, second, status\n"
      " ret\n"
      "first: .word 1, 2, 22, 16\n"
      "second: .word 1, 2, 22, 16\n"
      "status: .word 0\n");
  for (int i = 0; i < 2; ++i) dialogs.scripted.QueueAnswer(test::Press(kIdOk));
  GameApp app;
  app.SetPlayAloud(true);
  EXPECT_EQ(RunGame(app), kExitNormal);
  const std::string warning = SoundDeviceWarningText();
  size_t shown = 0;
  for (const host::DialogRecord& dialog : Dialogs()) {
    shown += std::count(dialog.texts.begin(), dialog.texts.end(), warning);
  }
  EXPECT_EQ(shown, 1u);
  EXPECT_EQ(app.SoundWarnOnce(), 0);
}

}  // namespace
}  // namespace bw
