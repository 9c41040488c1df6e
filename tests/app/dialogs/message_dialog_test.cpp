// Label: threads
// The message dialogs: each kind's answers, their copy on standard error and the modal bracket;
// the data-input dialog's limit; the version dialog's copy and save of the report.
#include "app/dialogs/message_dialog.h"

#include <gtest/gtest.h>

#include "app/dialogs/data_input_dialog.h"
#include "app/dialogs/version_dialog.h"
#include "host/cp932.h"
#include "host/dialog/scripted_dialog_host.h"
#include "host/headless/headless_backend.h"
#include "host/host_path.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using host::DialogAnswer;

class MessageDialogTest : public testing::Test {
 protected:
  host::ScriptedDialogHost dialogs_;
  ScopedGlobal<host::DialogHost> use_{&dialogs_};
  DialogContext context_{host::HWND{}, "Game", false, {}, {}, {}};
};

TEST_F(MessageDialogTest, EachKindAnswersAsItsButtonsSay) {
  struct Case {
    uint8_t kind;
    DialogAnswer answer;
    uint32_t expected;
    int templateId;
    uint8_t checkByte;
  };
  const Case cases[] = {
      {kMessageOk, {kIdOk, {}, {}, {}, false}, 0, 112, 0},
      {kMessageOkCheck, {kIdOk, {{kIdDontShowAgain, true}}, {}, {}, false}, 0, 113, 1},
      {kMessageYesNo, {kIdYes, {}, {}, {}, false}, 1, 114, 0},
      {kMessageYesNo, {kIdYes, {}, {}, {}, true}, 0, 114, 0},  // closed
      {kMessageYesNoCheck, {kIdNo, {{kIdDontShowAgain, true}}, {}, {}, false}, 0, 115, 1},
      {kMessageYesNoCheck, {kIdYes, {}, {}, {}, false}, 1, 115, 0},
  };
  testing::internal::CaptureStderr();
  for (const Case& c : cases) {
    dialogs_.QueueAnswer(c.answer);
    uint8_t check = 9;  // cleared by the dialog whatever happens
    EXPECT_EQ(ShowMessageDialog(context_, "text", c.kind, nullptr, &check, 0), c.expected)
        << int(c.kind);
    EXPECT_EQ(check, c.checkByte) << int(c.kind);
    host::DialogRecord shown = dialogs_.Dialogs().back();
    EXPECT_EQ(shown.templateId, c.templateId);
    EXPECT_EQ(shown.checks.count(kIdDontShowAgain),
              c.kind == kMessageOkCheck || c.kind == kMessageYesNoCheck ? 1u : 0u);
  }
  // Each box also goes to standard error, titled, for a player at a terminal and for logs.
  std::string echoed = testing::internal::GetCapturedStderr();
  std::string expected;
  for (size_t i = 0; i < std::size(cases); ++i) expected += "[Game] text\n";
  EXPECT_EQ(echoed, expected);
}

// The data-input dialog's length limit.
TEST_F(MessageDialogTest, TheDataInputFieldNeverHoldsMoreThanItsSize) {
  DataInputDialog input;
  std::string longText(400, 'a');
  for (uint32_t limit : {0u, 1000u}) {
    input.Setup("?", longText, 0, limit, -1, -1);
    EXPECT_EQ(input.MakeDialog().edit->text.size(), kDataInputMaxBytes) << limit;
    dialogs_.QueueAnswer({kIdOk, {}, longText, {}, false});
    ASSERT_TRUE(input.Show(context_));
    EXPECT_EQ(input.Result().size(), kDataInputMaxBytes) << limit;
  }
}

// The version dialog: copying and saving the report.
class VersionDialogTest : public MessageDialogTest {
 protected:
  void SetUp() override {
    inputs_.major = 1, inputs_.minor = 5, inputs_.gameTitle = "Game";
    inputs_.buildReport = [](bool longForm) {
      return std::string(longForm ? "long\r\nform\r\n" : "short\r\n");
    };
  }
  // Shows the dialog, ending at OK (or its close box) after the actions.
  void Show(std::vector<int> actions, bool close = false) {
    dialogs_.QueueAnswer({kIdOk, {}, {}, std::move(actions), close});
    ShowVersionDialog(context_, inputs_);
  }
  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (const host::MessageBoxRequest& box : backend_.MessageBoxes()) texts.push_back(box.text);
    return texts;
  }
  std::string EnginePath(const std::filesystem::path& path) {
    std::string engine;
    EXPECT_EQ(host::LinuxPathToEnginePath(path.string(), engine), host::kPathOk);
    return engine;
  }

  host::HeadlessBackend backend_;
  ScopedGlobal<host::Backend> useBackend_{&backend_};
  VersionDialogInputs inputs_;
  test::TempDir dir_;
};

TEST_F(VersionDialogTest, SavingWritesEveryLineWithCrLfAndFailuresAreTold) {
  // A long line stays one line; a lone LF and a last line without an end get CR LF too.
  std::string longLine(300, 'x');
  inputs_.buildReport = [&](bool) { return "a\r\n" + longLine + "\nlast"; };
  std::filesystem::path target = dir_.path() / "report.txt";
  dialogs_.QueueFileChoice({true, EnginePath(target), 1});
  Show({kIdSaveReport});
  EXPECT_EQ(test::ReadFile(target), "a\r\n" + longLine + "\r\nlast\r\n");
  EXPECT_EQ(Boxes(), std::vector<std::string>{"システム情報をファイルに保存しました。"});

  host::FileChooserRequest asked = dialogs_.FileRequests().at(0);
  EXPECT_EQ(std::tuple(asked.save, asked.title, asked.fileName, asked.defaultExtension),
            std::tuple(true, host::Cp932Literal("ログを保存"),
                       host::Cp932Literal("「Game」システム情報.txt"), "txt"));

  // A cancelled save tells nothing; a failed copy and a failed save are told.
  Show({kIdSaveReport});
  dialogs_.FailClipboard(true);
  Show({kIdCopyReport}, true);
  const std::filesystem::path missing = dir_.path() / "missing" / "report.txt";
  dialogs_.QueueFileChoice({true, EnginePath(missing), 1});
  Show({kIdSaveReport});
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"システム情報をファイルに保存しました。",
                                               "メモリの確保に失敗しました。",
                                               "システム情報ファイルの作成に失敗しました。"}));
  EXPECT_FALSE(std::filesystem::exists(missing));
}

// The banner opens the game's page, after a yes when the setting asks first; a page that could
// not be opened says so.
TEST_F(VersionDialogTest, TheBannerOpensThePageAfterTheQuestionAndEndsTheDialogInFullScreen) {
  std::vector<std::string> opened;
  bool openerWorks = true;
  inputs_.webAddress = "https://example.org/game/";
  inputs_.openPage = [&](const std::string& address) {
    opened.push_back(address);
    return openerWorks;
  };
  const std::string question =
      host::Cp932Literal("「Velmora」のWebページを表示します。\nよろしいですか？");

  dialogs_.QueueAnswer({kIdOk, {}, {}, {kIdBanner}, false});
  dialogs_.QueueAnswer({kIdNo, {}, {}, {}, false});
  ShowVersionDialog(context_, inputs_);
  EXPECT_TRUE(opened.empty()) << "no: nothing opened";
  ASSERT_EQ(dialogs_.Dialogs().size(), 2u);
  EXPECT_EQ(dialogs_.Dialogs()[0].texts.at(0), question)
      << "the question ends before the dialog it came from";

  dialogs_.QueueAnswer({kIdOk, {}, {}, {kIdBanner}, false});
  dialogs_.QueueAnswer({kIdYes, {}, {}, {}, false});
  ShowVersionDialog(context_, inputs_);
  EXPECT_EQ(opened, std::vector<std::string>{"https://example.org/game/"});

  inputs_.confirmWebPage = false;
  openerWorks = false;
  Show({kIdBanner});
  EXPECT_EQ(opened.size(), 2u) << "without the setting it opens at once";
  EXPECT_EQ(dialogs_.Dialogs().size(), 5u) << "and asks nothing";
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Webページを表示できませんでした。"});

  // In full screen an opened page ends the dialog, so the browser can be seen: what was asked of
  // the dialog after the banner is not done. In a window the dialog stays.
  openerWorks = true;
  Show({kIdBanner, kIdCopyReport});
  EXPECT_EQ(Boxes().back(), "クリップボードにシステム情報をコピーしました。")
      << "in a window the dialog goes on after the page";
  inputs_.fullScreen = true;
  Show({kIdBanner, kIdCopyReport});
  EXPECT_EQ(Boxes().size(), 2u) << "in full screen it ended with the page";
  EXPECT_FALSE(OpenInDesktopBrowser("http://\x81")) << "an address without a text form";
}

}  // namespace
}  // namespace bw
