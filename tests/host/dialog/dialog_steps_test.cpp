#include <gtest/gtest.h>

#include <algorithm>

#include "host/dialog/input_script.h"
#include "host/dialog/scripted_dialog_host.h"
#include "host/message_queue.h"
#include "host/take_messages.h"

namespace bw::host {
namespace {

DialogAnswer Parse(std::string_view text) {
  DialogAnswer answer;
  std::string error;
  EXPECT_TRUE(ParseDialogAnswer(text, &answer, &error)) << text << ": " << error;
  return answer;
}

// The steps themselves, Japanese text among them, are read by every scripted dialog of the
// application and game tests; what they do not show is the refusals.
TEST(DialogAnswerParseTest, RefusesMalformedStepsAndInputScripts) {
  DialogAnswer answer;
  std::string error;
  for (const char* bad : {"slider:1051", "tab:x", "activate:1", "wobble:3", "key:1:", ""}) {
    EXPECT_FALSE(ParseDialogAnswer(bad, &answer, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  // The windowed runs' input scripts likewise.
  for (const char* bad :
       {"", "wait:0", "click:", "see:", "appear:", "key:Hyper+A", "screen:half", "wait:1,,close"}) {
    std::vector<InputStep> steps;
    error.clear();
    EXPECT_FALSE(ParseInputScript(bad, &steps, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

// A sheet of two pages with a control of each kind on them, recording what it is told.
struct Sheet {
  Dialog dialog;
  std::vector<std::string> log;

  Sheet() {
    dialog.buttons = {{1, "OK"}, {2, "Cancel"}};
    dialog.closeAnswer = 2;
    dialog.pages = {"one", "two"};
    dialog.onPageNotice = [this](Dialog&, int page, PageNotice notice) {
      static const char* kNames[] = {"set", "kill", "apply", "reset"};
      log.push_back(std::string(kNames[static_cast<int>(notice)]) + std::to_string(page));
    };
    auto note = [this](Dialog&, DialogControl& c) {
      log.push_back("change" + std::to_string(c.id) + "=" + std::to_string(c.value) + c.text);
    };
    using enum DialogControlKind;
    dialog.controls = {
        {.id = 10, .kind = kEdit, .page = 0, .maxBytes = 4, .onChange = note},
        {.id = 11, .kind = kSlider, .page = 1, .minimum = 0, .maximum = 30, .onChange = note},
        {.id = 12, .kind = kCombo, .items = {"a", "b"}, .onChange = note},
        {.id = 13, .kind = kAction, .enabled = false, .onChange = note},
        {.id = 14, .kind = kKeyField, .page = 1}};
    dialog.controls[4].onKey = [this](Dialog& d, DialogControl& c, int code) {
      log.push_back("key" + std::to_string(code) + " focus" + std::to_string(d.focusedId));
      c.text = "K";
    };
    dialog.tabs = DialogTabs{{"Auto", "Quick"}, 0, [this](Dialog& d) {
                               log.push_back("tab" + std::to_string(d.tabs->selected));
                             }};
    dialog.list = DialogList{.id = 1201, .columns = {{"", 28}}, .rows = {{"a"}, {"b"}}};
    dialog.list->onSelect = [this](Dialog& d) {
      log.push_back("row" + std::to_string(d.list->selected));
    };
    dialog.list->onActivate = [this](Dialog&) { log.push_back("activate"); };
    dialog.onJoystick = [this](Dialog&, int event) {
      log.push_back("joy" + std::to_string(event));
    };
    dialog.onTick = [this](Dialog&) { log.push_back("tick"); };
  }
};

TEST(ScriptedDialogStepsTest, StepsReachOnlyUsableControlsAndPagesHearTheirNotices) {
  ScriptedDialogHost host;
  host.QueueAnswer(
      Parse("text:10:abcdef;commit:10;slider:11:5;page:1;slider:11:99;press:13;item:12:1;item:12:7;"
            "key:14:44;tab:1;tab:1;tab:5;row:1;activate;joy:2;ticks:2;1"));
  Sheet sheet;
  EXPECT_EQ(host.RunDialog(HWND{}, sheet.dialog), 1);
  const std::vector<std::string> expected = {
      "set0",       "change10=0abcd", "kill0", "set1",   "change11=30",
      "change12=1", "key44 focus14",  "tab1",  "row1",   "activate",
      "joy2",       "tick",           "tick",  "apply0", "apply1"};
  EXPECT_EQ(sheet.log, expected) << "the slider on the hidden page, the disabled action, an item "
                                    "out of range and a tab already shown do nothing";
  const std::vector<DialogRecord> records = host.Dialogs();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].controls.at(10).text, "abcd") << "cut to the field's limit";
  EXPECT_EQ(records[0].controls.at(11).value, 30) << "clamped to the slider's range";
  EXPECT_EQ(records[0].controls.at(14).text, "K");
  EXPECT_FALSE(records[0].controls.at(13).enabled);
  EXPECT_EQ(std::tuple(records[0].page, records[0].tab, records[0].row, records[0].rows.size()),
            std::tuple(1, 1, 1, 2u));
}

TEST(ScriptedDialogStepsTest, CancelResetsEveryPageAndAnActionMayEndTheDialog) {
  ScriptedDialogHost host;
  Sheet sheet;
  sheet.dialog.controls[3].enabled = true;
  sheet.dialog.controls[3].onChange = [](Dialog& d, DialogControl&) { d.endAnswer = 2; };
  host.QueueAnswer(Parse("press:13;ticks:3;1"));
  EXPECT_EQ(host.RunDialog(HWND{}, sheet.dialog), 2);
  EXPECT_EQ(sheet.log, (std::vector<std::string>{"set0", "reset0", "reset1"}))
      << "no step after the end";
}

// Greyed items posting nothing and enabled ones their command are the menu commands' tests,
// through the application's menu and accelerators.
TEST(MenuTest, AnIdOnTheBarAndInAPopupIsGreyedInBoth) {
  WindowDesc desc;
  desc.proc = DefWindowProc;
  HWND owner = CreateWindow(desc);
  ASSERT_TRUE(owner);
  MenuItem popup{
      0,    "File", false,
      true, false,  {{10, "Open", false, true, false, {}}, {11, "Quit", false, true, false, {}}}};
  Menu menu(owner, {popup, {11, "Quit", false, true, false, {}}});

  // An id that appears twice (in a popup and on the bar) changes everywhere.
  EXPECT_TRUE(menu.EnableItem(11, false));
  EXPECT_FALSE(menu.Items()[1].enabled);
  EXPECT_FALSE(menu.Items()[0].items[1].enabled);
  EXPECT_FALSE(menu.Choose(11));
  EXPECT_FALSE(menu.EnableItem(0, false)) << "popups and separators have no command";
  EXPECT_TRUE(std::ranges::none_of(test::TakeMessages(),
                                   [](const MSG& m) { return m.message == WM_COMMAND; }));
  EXPECT_TRUE(DestroyWindow(owner));
}

}  // namespace
}  // namespace bw::host
