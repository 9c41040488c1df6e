// A save killed at any system call of the file writer leaves the old slot file or the new one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/atomic_file.h"
#include "lib/sav/sav_text.h"
#include "save_rig.h"

namespace bw {
namespace {

int stepsLeft = 0;
constexpr int kKilled = 42;

void EndAtStep() {
  if (--stepsLeft == 0) _exit(kKilled);
}

// Runs body in a child process; its exit status.
template <typename F>
int InChild(F body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SaveCrash, AKilledSaveLeavesTheOldFileOrTheNew) {
  SaveRig rig;
  ASSERT_EQ(rig.Save().WriteSaveData(2, 0), 0);
  const std::string old = test::ReadFile(rig.File(2, 0));
  rig.SetWord(0, 77);
  bool sawOld = false, sawNew = false;
  int step = 1;
  for (;; ++step) {
    ASSERT_LT(step, 64) << "the save never finished";
    const int status = InChild([&] {
      stepsLeft = step;
      SetAtomicFileStepHook(EndAtStep);
      return rig.Save().WriteSaveData(2, 0);
    });
    ASSERT_TRUE(status == kKilled || status == 0) << step << ": " << status;
    // Whatever is there loads; a left temporary is no save.
    rig.SetWord(0, 1);
    ASSERT_EQ(rig.Save().LoadSaveData(2, 0), 0) << step;
    const bool isNew = rig.Word(0) == 77;
    (isNew ? sawNew : sawOld) = true;
    if (!isNew) {
      EXPECT_EQ(test::ReadFile(rig.File(2, 0)), old) << step;
    }
    for (const auto& entry : std::filesystem::directory_iterator(rig.dir.path())) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name == "DATA0200.SAV" || name.find(".tmp.") != std::string::npos) << name;
    }
    RemoveStaleTemporaries(rig.dir.path());
    rig.SetWord(0, 77);
    if (status == 0) break;
  }
  EXPECT_TRUE(sawOld);
  EXPECT_TRUE(sawNew);
  EXPECT_GE(step, 6) << "each system call of the writer was a place to die";
}

TEST(SaveCrash, AFailedWriteAnswersFiveAndMovesNoCounter) {
  SaveRig rig;
  ASSERT_EQ(rig.Save().WriteSaveData(kAutoPage, -1), 0);
  const SaveSettings before = rig.app.settings.settings;
  const int status = InChild([&] {
    // Files may not grow past 4 KB: the slot file's write fails.
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    if (rig.Save().WriteSaveData(kAutoPage, -1) != kWriteFileFailed) return 1;
    const SaveSettings& after = rig.app.settings.settings;
    if (after.nextAutoSlot != before.nextAutoSlot || after.lastAutoSlot != before.lastAutoSlot ||
        rig.app.settings.fileWrites != 1) {
      return 2;
    }
    return 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(rig.Exists(kAutoPage, 1));
  EXPECT_EQ(rig.Save().LoadSaveData(kAutoPage, 0), 0) << "the old file still loads";
}

TEST(SaveCrash, AnEngineSaveIsWhatMakeGivesOfItsDump) {
  SaveRig rig;
  rig.Say("Hana", "\x82\xA0 text");
  uint32_t word = rig.host->GetMemory().Allocate(4);
  rig.host->GetMemory().Write32(word, 1);
  rig.Save().SetSaveContext(1, rig.GuestText("title"), word);
  rig.app.settings.settings.thumbnailWithoutFrame = 0;
  ASSERT_EQ(rig.Save().WriteSaveData(6, 6), 0);
  const std::string file = test::ReadFile(rig.File(6, 6));
  std::string text, error;
  ASSERT_TRUE(
      sav::DumpSaveFile({reinterpret_cast<const uint8_t*>(file.data()), file.size()}, text, error))
      << error;
  sav::SaveDescription description;
  ASSERT_TRUE(sav::ParseSaveText(text, description, error)) << error;
  const std::vector<uint8_t> made = sav::MakeSaveFile(description);
  EXPECT_EQ(std::string(made.begin(), made.end()), file);
}

}  // namespace
}  // namespace bw
