#include "savedata/save_load_dialog.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <deque>
#include <fstream>

#include "common/atomic_file.h"
#include "common/global.h"
#include "host/clock.h"
#include "host/cp932.h"
#include "host/dialog/scripted_dialog_host.h"
#include "host/input/key_state.h"
#include "lib/sav/sav_text.h"
#include "save_rig.h"
#include "support/file_size_limit.h"
#include "support/game_run.h"

namespace bw {
namespace {

using host::Cp932Literal;

class FakeSaveLoadHost : public SaveLoadHost {
 public:
  SaveLoadSettings settings;
  std::deque<bool> answers;  // yes or no, in order; none left answers no
  std::vector<std::string> asked, told;
  bool saveAllowed = true, loadAllowed = true;
  int gameRuns = 0, emptyThumbnails = 0;
  bool inGame = false;
  std::string loadName;
  bool loadInGame = false;
  std::function<void()> onAsk;

  SaveLoadSettings DialogSettings() override { return settings; }
  void StoreDialogSettings(const SaveLoadSettings& s) override { settings = s; }
  bool AskYesNo(const std::string& text) override {
    asked.push_back(text);
    if (onAsk) onAsk();
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void ShowMessage(const std::string& text) override { told.push_back(text); }
  bool SaveAllowed() override { return saveAllowed; }
  bool LoadAllowed() override { return loadAllowed; }
  void RunInGame(const std::function<void()>& work) override {
    ++gameRuns;
    inGame = true;
    work();
    inGame = false;
  }
  void RequestLoad(const std::string& name) override { loadName = name, loadInGame = inGame; }
  bool EmptyThumbnail(host::DialogImage&) override { return ++emptyThumbnails, true; }
  bool MovesPointer() override { return movesPointer; }
  bool movesPointer = false;
};

struct DialogRig : SaveRig {
  FakeSaveLoadHost app;
  host::ScriptedDialogHost dialogs;
  ScopedGlobal<host::DialogHost> use{&dialogs};

  DialogRig() {
    UseFrame();
    app.settings.closeAfterSave = 0;
  }
  void Write(int32_t page, int32_t slot, const std::string& title = "FRAME") {
    frame.title = title;
    ASSERT_EQ(Save().WriteSaveData(page, slot), 0) << page << "/" << slot;
  }
  // Runs the dialog with the steps given; what it ended with.
  host::DialogRecord Run(bool save, const std::string& steps, int* result = nullptr) {
    dialogs.QueueAnswer(test::Steps(steps));
    const int r = RunSaveLoadDialog(Save(), app, host::HWND{}, save);
    if (result) *result = r;
    std::vector<host::DialogRecord> records = dialogs.Dialogs();
    return records.empty() ? host::DialogRecord{} : records.back();
  }
  std::string Bytes(int32_t page, int32_t slot) { return test::ReadFile(File(page, slot)); }
};

std::string Column(const host::DialogRecord& record, int row, int column) {
  return record.rows.at(row).at(column);
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

TEST(SaveDialog, AsksBeforeSavingOverASlotAndSavesOnlyOnYes) {
  DialogRig rig;
  rig.Write(2, 3, "OLD");
  rig.app.settings.lastDialogSlot = 3;
  // The title changes at each question, so the file tells which answer saved.
  int asks = 0;
  rig.app.onAsk = [&] { rig.frame.title = "T" + std::to_string(++asks); };
  rig.app.answers = {false, true};
  host::DialogRecord record = rig.Run(true, "press:1204;press:1204;2");
  ASSERT_EQ(rig.app.asked.size(), 2u);
  EXPECT_EQ(rig.app.asked[0].substr(0, 7), Cp932Literal("『OLD』")) << "the title shown";
  EXPECT_NE(rig.app.asked[0].find(Cp932Literal("を上書きしますか？")), std::string::npos);
  std::string title;
  ASSERT_EQ(rig.Save().ReadSaveSlotInfo(2, 3, nullptr, &title, nullptr, nullptr, nullptr, false),
            0);
  EXPECT_EQ(title, "T2") << "no kept the file, yes saved";
  EXPECT_EQ(rig.app.gameRuns, 1) << "the write went where the scripts run";
  EXPECT_EQ(Column(record, 3, 0), "New");
  EXPECT_EQ(std::tuple(rig.app.settings.lastSavedPage, rig.app.settings.lastSavedSlot),
            std::tuple(2, 3));
}

// Protecting the slot disables both buttons at once and reaches the file when the dialog closes.
TEST(SaveDialog, AProtectedSlotIsNeitherSavedOverNorDeleted) {
  DialogRig rig;
  rig.Write(2, 3, "OLD");
  const std::string before = rig.Bytes(2, 3);
  const host::DialogRecord record =
      rig.Run(true, "tab:2;row:3;check:1070:1;press:1204;press:1205;2");
  EXPECT_FALSE(record.controls.at(kSlotAct).enabled);
  EXPECT_FALSE(record.controls.at(kSlotDelete).enabled);
  const std::string after = rig.Bytes(2, 3);
  EXPECT_EQ(after[kProtectOffset], 1);
  EXPECT_EQ(after.substr(0, kProtectOffset), before.substr(0, kProtectOffset));
  EXPECT_EQ(after.substr(kProtectOffset + 1), before.substr(kProtectOffset + 1));
  EXPECT_EQ(Column(record, 3, 4), Cp932Literal("○"));
  EXPECT_TRUE(rig.app.asked.empty()) << "nothing asked for a protected slot";
}

// Auto and Quick load but never save; their marks follow the rings.
TEST(SaveDialog, RingPagesLoadButNeverSaveAndMarkTheirNextSlot) {
  DialogRig rig;
  rig.Write(kAutoPage, 1);
  rig.SaveRig::app.settings.settings.nextAutoSlot = 4;
  rig.SaveRig::app.settings.settings.nextQuickSlot = 7;
  host::DialogRecord record = rig.Run(true, "tab:0;row:1;press:1204;2");
  EXPECT_FALSE(record.controls.at(kSlotAct).enabled);
  EXPECT_TRUE(record.controls.at(kSlotDelete).enabled);
  EXPECT_EQ(Column(record, 4, 0), Cp932Literal(" →"));
  EXPECT_EQ(Column(record, 1, 4), Cp932Literal("－"));
  record = rig.Run(true, "tab:1;row:2;2");
  std::vector<std::string> marks;
  for (int row = 0; row < 10; ++row) marks.push_back(Column(record, row, 0));
  EXPECT_EQ(marks, (std::vector<std::string>{" F1", " F2", " F3", " F4", " F5", "", "",
                                             Cp932Literal(" →"), "", ""}));
}

// An empty slot shows its placeholders, the empty picture and a read-only comment.
TEST(SaveDialog, AnEmptySlotShowsItsPlaceholders) {
  DialogRig rig;
  const host::DialogRecord record = rig.Run(true, "tab:1;row:2;2");
  EXPECT_EQ(record.controls.at(kSlotTitle).text, Cp932Literal(" NO DATA"));
  EXPECT_EQ(record.controls.at(kSlotDate).text, Cp932Literal(" ----/--/--(－) --:--"));
  EXPECT_FALSE(record.controls.at(kSlotProtect).enabled);
  EXPECT_EQ(Column(record, 2, 1), "NO DATA");
  EXPECT_EQ(Column(record, 2, 2), "--/--/-- --:--");
  EXPECT_GT(rig.app.emptyThumbnails, 0);
}

TEST(SaveDialog, SavingIsRefusedWhileTheGameForbidsIt) {
  DialogRig rig;
  rig.app.saveAllowed = false;
  rig.Run(true, "tab:2;row:6;press:1204;2");
  EXPECT_FALSE(rig.Exists(2, 6));
  ASSERT_FALSE(rig.app.told.empty());
  EXPECT_EQ(
      rig.app.told.back(),
      Cp932Literal("現在の状態をセーブすることは出来ません。\r\n一旦、ダイアログを閉じて下さい。"));
}

// A clock that moves only when slept on and lets the left button go at a given sleep.
class ReleasingClock final : public host::ClockSource {
 public:
  explicit ReleasingClock(int releaseAt) : releaseAt_(releaseAt) {}
  uint64_t NowNanoseconds() override { return sleptMs * 1000000ull; }
  void Sleep(uint32_t ms) override {
    sleptMs += ms;
    if (++sleeps_ == releaseAt_) LeftButton(false);
  }
  bool MovesOnItsOwn() const override { return false; }
  static void LeftButton(bool down) {
    host::InputEvent event;
    event.kind =
        down ? host::InputEventKind::kMouseButtonDown : host::InputEventKind::kMouseButtonUp;
    host::RecordInputEvent(host::HWND{}, event);
  }
  uint64_t sleptMs = 0;

 private:
  int releaseAt_;
  int sleeps_ = 0;
};

// The click that saved may still hold the left button: the save waits for its release, five
// times 20 ms at most.
TEST(SaveDialog, ASaveWaitsAWhileForTheLeftButtonToBeLetGo) {
  const struct {
    bool held;
    int releaseAt;  // the sleep that lets it go; 0 never
    uint64_t waitedMs;
  } cases[] = {{false, 0, 0}, {true, 2, 40}, {true, 0, 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.waitedMs);
    DialogRig rig;
    ReleasingClock clock(c.releaseAt);
    ScopedGlobal<host::ClockSource> useClock{&clock};
    ReleasingClock::LeftButton(c.held);
    rig.Run(true, "tab:2;row:4;press:1204;2");
    EXPECT_EQ(std::tuple(rig.Exists(2, 4), clock.sleptMs), std::tuple(true, c.waitedMs));
    host::ResetKeyState();
  }
}

TEST(SaveDialog, ACommentReachesItsOwnSlotWhenAnotherRowIsChosen) {
  DialogRig rig;
  for (int32_t slot : {2, 3}) rig.Write(2, slot);
  const std::string slot2 = rig.Bytes(2, 2), slot3 = rig.Bytes(2, 3);
  std::string typed;
  for (int i = 0; i < 130; ++i) typed += "あ";  // 260 bytes
  rig.Run(true, "row:2;text:1056:" + typed + ";row:3;2");
  std::string expected = slot2;
  std::string field(kCommentFieldBytes, '\0');
  const std::string cut = Cp932Literal(typed).substr(0, kCommentEditMax);
  field.replace(0, cut.size(), cut);
  expected.replace(kCommentOffset, kCommentFieldBytes, field);
  EXPECT_EQ(rig.Bytes(2, 2), expected) << "248 bytes, a NUL and zeros; nothing else changed";
  EXPECT_EQ(rig.Bytes(2, 3), slot3);

  // A write-back that cannot write (a full disk) leaves the file as it was, and says so.
  const std::string now = rig.Bytes(2, 2);
  {
    test::FileSizeLimit full(4096);
    rig.Run(true, "row:2;text:1056:x;commit:1056;2");
  }
  ASSERT_EQ(rig.app.told.size(), 1u) << "the failure was not told";
  EXPECT_TRUE(rig.app.told[0].ends_with("ErrNo:3")) << rig.app.told[0];
  EXPECT_EQ(rig.Bytes(2, 2), now);
}

TEST(SaveDialog, CutAndForeignFilesAndOutOfRangePlacesShowEmpty) {
  DialogRig rig;
  for (int32_t slot : {0, 1, 2}) rig.Write(2, slot);
  std::filesystem::resize_file(rig.File(2, 0), kThumbnailBytes / 2);  // thumbnail cut short
  std::string foreign = rig.Bytes(2, 1);
  foreign[0] = 'X';
  std::ofstream(rig.File(2, 1), std::ios::binary) << foreign;
  rig.app.settings.lastDialogPage = 40;
  rig.app.settings.lastDialogSlot = 77;
  const host::DialogRecord record = rig.Run(false, "2");
  EXPECT_EQ(record.tab, 2) << "Page.1";
  EXPECT_EQ(
      std::tuple(record.row, Column(record, 0, 1), Column(record, 1, 1), Column(record, 2, 1)),
      std::tuple(-1, "NO DATA", "NO DATA", "FRAME"));
  EXPECT_FALSE(record.controls.at(kSlotAct).enabled);
}

TEST(LoadDialog, LoadsAfterTheAskedAutoSaveAndDeletes) {
  DialogRig rig;
  for (int32_t slot : {4, 5}) rig.Write(2, slot);
  rig.app.settings.confirmLoad = 1;
  rig.app.settings.autoSaveBeforeLoad = 1;
  rig.SaveRig::app.settings.settings.nextAutoSlot = 6;
  rig.app.answers = {false};
  int result = -1;
  rig.Run(false, "row:4;activate;2", &result);
  EXPECT_EQ(result, kSaveLoadClosed) << "no to the question";
  EXPECT_FALSE(rig.Exists(kAutoPage, 6));
  rig.app.answers = {true};
  rig.Run(false, "row:4;activate;2", &result);
  EXPECT_EQ(result, kSaveLoadLoadRequested);
  EXPECT_TRUE(rig.Exists(kAutoPage, 6)) << "the ring's next slot was written first";
  EXPECT_EQ(rig.app.loadName, rig.SaveRig::app.folder + "DATA0204.SAV");
  EXPECT_TRUE(rig.app.loadInGame);

  // Delete asks, then removes the file and shows the slot empty.
  rig.app.answers = {true};
  host::DialogRecord record = rig.Run(false, "row:5;press:1205;2");
  EXPECT_EQ(std::tuple(rig.Exists(2, 5), Column(record, 5, 1)), std::tuple(false, "NO DATA"));
  EXPECT_FALSE(record.controls.at(kSlotDelete).enabled);
  EXPECT_NE(rig.app.asked.back().find(Cp932Literal("を削除しますか？")), std::string::npos);
}

// With the game's automatic pointer move on, the pointer goes onto the row shown selected as the
// dialog opens; with it off, or no row selected, it stays where it is.
TEST(LoadDialog, TheJoystickMovesRowsAndTabsAndPressesButtonsAndThePointerFollowsTheRow) {
  DialogRig rig;
  rig.app.settings.lastDialogSlot = 4;
  EXPECT_EQ(rig.Run(false, "2").pointerRow, -1);
  rig.app.movesPointer = true;
  EXPECT_EQ(rig.Run(false, "2").pointerRow, 4);
  rig.app.settings.lastDialogSlot = 200;
  EXPECT_EQ(rig.Run(false, "2").pointerRow, -1) << "no row selected";
  rig.app.movesPointer = false;

  rig.Write(11, 9);
  rig.app.settings.joystickEnabled = 1;
  rig.app.settings.joystickDecideButton = 4;
  rig.app.settings.joystickCancelButton = 5;
  rig.app.settings.lastDialogSlot = 200;
  host::DialogRecord record = rig.Run(false, "joy:0;2");
  EXPECT_EQ(record.row, 9) << "up from no row";
  record = rig.Run(false, "tab:0;joy:2;joy:1;joy:0;2");
  EXPECT_EQ(record.tab, 11) << "left from Auto wraps to Page.10";
  EXPECT_EQ(record.row, 9) << "down from 9 wraps to 0, up again to 9";
  int result = -1;
  record = rig.Run(false, "joy:4;2", &result);
  EXPECT_EQ(result, kSaveLoadLoadRequested) << "the decide button loads the row shown last";
  rig.Run(false, "joy:5;joy:4;2", &result);
  EXPECT_EQ(result, kSaveLoadClosed) << "the cancel button closes before anything else";
}

// A save killed at any system call of the file writer leaves the old slot file or the new one.
int stepsLeft = 0;
constexpr int kKilled = 42;

void EndAtStep() {
  if (--stepsLeft == 0) _exit(kKilled);
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
