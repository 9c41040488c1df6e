#include "app/config/save_folder.h"

#include <gtest/gtest.h>

#include <deque>
#include <set>

#include "host/cp932.h"

namespace bw {
namespace {

// Folders and files as a set of paths; the player's answers and the dialog's as scripts.
class FakeHost : public SaveFolderHost {
 public:
  std::set<std::string> folders, files;
  std::set<std::string> unmakeable;  // folders CreateFolder fails on
  std::deque<bool> answers;          // Ask's answers in turn; none left: no
  std::string browseAnswer;
  std::vector<std::string> questions, created;
  std::vector<std::pair<std::string, Icon>> told;
  std::vector<std::pair<std::string, std::string>> copies, browsed;  // browsed: title, start folder

  bool FolderExists(const std::string& path) override { return folders.count(path) > 0; }
  bool FileExists(const std::string& path) override { return files.count(path) > 0; }
  bool CreateFolder(const std::string& path) override {
    if (unmakeable.count(path)) return false;
    folders.insert(path);
    created.push_back(path);
    return true;
  }
  bool CopyFile(const std::string& from, const std::string& to) override {
    copies.emplace_back(from, to);
    if (!files.count(from)) return false;
    files.insert(to);
    return true;
  }
  bool Ask(const std::string& text) override {
    questions.push_back(Utf8(text));
    if (answers.empty()) return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void Tell(const std::string& text, Icon icon) override { told.emplace_back(Utf8(text), icon); }
  std::string BrowseForFolder(const std::string& title, const std::string& start) override {
    browsed.emplace_back(Utf8(title), start);
    return browseAnswer;
  }

  // The texts are checked as the player reads them.
  static std::string Utf8(const std::string& cp932) {
    auto converted = host::Cp932ToUtf8(cp932);
    EXPECT_TRUE(converted.ok) << "a message that is not CP932";
    return converted.text;
  }
};

SaveFolderInputs Inputs(uint8_t mode) {
  SaveFolderInputs in;
  in.mode = mode, in.appFolder = "Z:\\games\\demo\\", in.appName = "Demo";
  in.documentsFolder = "Z:\\home\\p\\Documents", in.appDataFolder = "Z:\\home\\p\\.local\\share";
  return in;
}

const std::string kCannotStart = "セーブデータ作成フォルダがないため、起動できません。";

TEST(SaveFolderPlan, EachModeReadsAndSavesUserCfgInOnePlace) {
  struct Case {
    uint8_t mode;
    bool allowCdRom;
    bool common;
    uint8_t planned;
    std::string folder;  // where USER.CFG is, when it is not the application folder's
  };
  const Case cases[] = {
      {0, false, false, 0, "Z:\\home\\p\\Documents\\Demo SaveData"},
      {1, false, false, 1, ""},
      {1, true, false, 0, "Z:\\home\\p\\Documents\\Demo SaveData"},  // no saves on a CD-ROM
      {2, true, false, 2, "Z:\\home\\p\\.local\\share\\Demo SaveData"},
      {3, false, false, 3, "Z:\\home\\p\\.local\\share\\Demo SaveData"},
      {4, false, true, 4, "Z:\\var\\lib\\Demo SaveData"},
      {4, false, false, 4, "Z:\\home\\p\\.local\\share\\Demo SaveData"},  // no common folder
      {5, false, false, 5, ""},
      {9, false, false, 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << int(c.mode) << (c.allowCdRom ? " cd" : "")
                                    << (c.common ? " common" : ""));
    auto in = Inputs(c.mode);
    in.allowCdRom = c.allowCdRom;
    if (c.common) in.commonAppDataFolder = "Z:\\var\\lib";
    auto plan = PlanSaveFolder(in);
    EXPECT_EQ(std::tuple(plan.mode, plan.userCfgFolder), std::tuple(c.planned, c.folder));
    EXPECT_EQ(plan.userCfgPath,
              (c.folder.empty() ? "Z:\\games\\demo\\" : c.folder + "\\") + "USER.CFG");
    EXPECT_EQ(plan.writesSettings, c.planned != 5);
  }
}

TEST(PrepareUserCfg, AFirstStartCreatesTheFolderAndCopiesTheShippedSettings) {
  auto in = Inputs(3);
  auto plan = PlanSaveFolder(in);
  FakeHost host;
  host.files.insert("Z:\\games\\demo\\USER.CFG");
  EXPECT_EQ(PrepareUserCfg(plan, in, host), kSaveFolderOk);
  EXPECT_EQ(std::tuple(host.created, host.files.count(plan.userCfgPath), host.questions.size()),
            std::tuple(std::vector<std::string>{plan.userCfgFolder}, 1u, 0u));

  // The next start finds both and touches nothing.
  host.copies.clear();
  EXPECT_EQ(PrepareUserCfg(plan, in, host), kSaveFolderOk);
  EXPECT_EQ(std::tuple(host.copies.empty(), host.questions.empty()), std::tuple(true, true));

  auto mode1 = Inputs(1);
  EXPECT_EQ(PrepareUserCfg(PlanSaveFolder(mode1), mode1, host), kSaveFolderOk);
  EXPECT_TRUE(host.copies.empty()) << "modes 1 and 5 read the shipped file where it is";
}

TEST(PrepareUserCfg, AFolderWithoutSettingsNeedsThePlayersYes) {
  for (uint8_t mode : {0, 2}) {
    SCOPED_TRACE(int(mode));
    auto in = Inputs(mode);
    auto plan = PlanSaveFolder(in);
    FakeHost host;
    host.folders.insert(plan.userCfgFolder);
    host.files.insert("Z:\\games\\demo\\USER.CFG");
    EXPECT_EQ(PrepareUserCfg(plan, in, host), kSaveFolderSettingsRefused);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(
        host.questions[0],
        plan.userCfgFolder +
            (mode == 2
                 ? "\nに、「Demo」の環境設定データを作成します。\n作成する設定ファイルと同名のファ"
                   "イルが存在する場合、上書きされます。\nよろしいですか？"
                 : "\nに、「Demo」のセーブデータを作成します。\n作成するセーブファイルと同名のファ"
                   "イルが存在する場合、\n上書きされる可能性があります。\nよろしいですか？"));
    ASSERT_EQ(host.told.size(), 1u);
    EXPECT_EQ(std::tuple(host.told[0].second, host.copies.size()),
              std::tuple(SaveFolderHost::Icon::kWarning, 0u));

    host.answers = {true};
    EXPECT_EQ(PrepareUserCfg(plan, in, host), kSaveFolderOk);
    EXPECT_TRUE(host.files.count(plan.userCfgPath));
  }
}

TEST(PrepareUserCfg, AFolderThatCannotBeMadeIsReportedAndTheStartGoesOn) {
  auto in = Inputs(0);
  auto plan = PlanSaveFolder(in);
  FakeHost host;
  host.unmakeable.insert(plan.userCfgFolder);
  EXPECT_EQ(PrepareUserCfg(plan, in, host), kSaveFolderOk);
  ASSERT_EQ(host.told.size(), 1u);
  EXPECT_EQ(host.told[0].first, plan.userCfgFolder +
                                    "\nセーブデータ作成フォルダの作成に失敗しました。\nセーブデータ"
                                    "の作成、アプリケーション設定の保存を行うことができません。");
  EXPECT_EQ(host.told[0].second, SaveFolderHost::Icon::kError);
  EXPECT_FALSE(host.files.count(plan.userCfgPath)) << "the read that follows fails and says so";
}

TEST(FindSaveFolder, WithoutAChoiceOrWithABadOneThePlayerIsAskedAndTheStartCanEnd) {
  auto in = Inputs(2);
  auto plan = PlanSaveFolder(in);
  FakeHost host;  // its dialog answers nothing, as a host without one does
  std::optional<std::string> chosen;
  auto choice = FindSaveFolder(plan, in, chosen, host);
  EXPECT_EQ(std::tuple(choice.result, chosen), std::tuple(kSaveFolderNone, std::nullopt));
  EXPECT_EQ(host.browsed, (std::vector<std::pair<std::string, std::string>>{
                              {"「Demo」\nセーブデータ作成フォルダの選択", in.documentsFolder}}));
  ASSERT_EQ(host.told.size(), 1u);
  EXPECT_EQ(host.told[0].first, kCannotStart);

  // A held folder that went missing: asked first; no ends the start without a dialog.
  FakeHost host2;
  chosen = "Z:\\gone";
  choice = FindSaveFolder(plan, in, chosen, host2);
  EXPECT_EQ(choice.result, kSaveFolderNone);
  ASSERT_EQ(host2.questions.size(), 1u);
  EXPECT_EQ(host2.questions[0],
            "Z:"
            "\\gone\nセーブデータ作成フォルダが見つかりません。\n新しくセーブデータ作成フォルダを設"
            "定しますか？");
  EXPECT_EQ(std::tuple(host2.browsed.size(), chosen), std::tuple(0u, "Z:\\gone"))
      << "kept for the next start";

  // A chosen folder that exists, or cannot be made, can still end the start.
  const std::string folder = "Z:\\data\\Demo SaveData";
  FakeHost existing, unmakeable;
  existing.browseAnswer = "Z:\\data\\", unmakeable.browseAnswer = "Z:\\data";
  existing.folders.insert(folder), unmakeable.unmakeable.insert(folder);
  for (FakeHost* browsing : {&existing, &unmakeable}) {
    std::optional<std::string> picked;
    EXPECT_EQ(FindSaveFolder(plan, in, picked, *browsing).result, kSaveFolderNone);
    EXPECT_FALSE(picked);
  }
  ASSERT_EQ(existing.questions.size(), 1u);
  EXPECT_EQ(existing.questions[0].substr(0, folder.size() + 1), folder + "\n");
  ASSERT_EQ(existing.told.size(), 1u);
  EXPECT_EQ(existing.told[0].first.substr(0, folder.size() + 10), folder + "\nを移動");
  ASSERT_EQ(unmakeable.told.size(), 2u);
  EXPECT_EQ(std::tuple(unmakeable.told[0].second, unmakeable.told[1].first),
            std::tuple(SaveFolderHost::Icon::kError, kCannotStart));
}

}  // namespace
}  // namespace bw
