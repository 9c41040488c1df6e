// The game application's menu: the permissions behind it, the commands of menu 101 and the
// accelerators, the requests other threads send through WM_COMMAND, the frame-pacing overrides
// and the nested priority lowering.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "app/application/game_app.h"
#include "host/cp932.h"
#include "host/input/key_state.h"
#include "host/message_queue.h"
#include "sound/direct_sound_device.h"
#include "sound/sound_buffer.h"
#include "support/game_run.h"

namespace bw {
namespace {

using host::DialogAnswer;
using test::kLoopForever;
using test::Press;

constexpr uint8_t kVkShift = 0x10;

// A dialog's one text as it holds it, in CP932.
std::vector<std::string> Texts(const char* utf8) { return {host::Cp932Literal(utf8)}; }

constexpr uint8_t kVkReturn = 0x0D;

class MenuApp : public GameApp {
 public:
  void SetDefaultScreenMode(uint8_t mode) { record_.defaultScreenMode = mode; }
};

TEST(MenuCommandsTest, PermissionsGreyTheKeptMenuOnlyWhenTheyChange) {
  MenuApp app;
  auto menu = BuildMainMenu(host::HWND{});
  app.set_menu(menu.get());

  EXPECT_EQ(app.SetMenuItemEnabled(1, true), 0);
  EXPECT_TRUE(app.menuItemEnabled(1));
  EXPECT_TRUE(menu->IsEnabled(kCmdSave));

  // Storing the value already held leaves the menu alone, even when it was changed behind it.
  EnableMenuPermission(menu.get(), 0, false);
  EXPECT_EQ(app.SetMenuItemEnabled(0, true), 0);
  EXPECT_FALSE(menu->IsEnabled(kCmdSettings));

  EXPECT_EQ(app.SetMenuItemEnabled(0, false), 0);
  EXPECT_FALSE(app.menuItemEnabled(0));
  EXPECT_EQ(app.SetMenuItemEnabled(5, true), kMenuItemUnknown);
  EXPECT_EQ(app.SetMenuItemEnabled(-1, true), kMenuItemUnknown);
  EXPECT_FALSE(app.menuItemEnabled(5));
}

TEST(MenuCommandsTest, AWindowOnlyGameKeepsTheScreenModePermission) {
  MenuApp app;
  auto menu = BuildMainMenu(host::HWND{});
  app.set_menu(menu.get());
  app.SetDefaultScreenMode(kScreenWindowOnly);
  EXPECT_EQ(app.SetMenuItemEnabled(4, false), 0);
  EXPECT_TRUE(app.menuItemEnabled(4));
  EXPECT_TRUE(menu->IsEnabled(kCmdScreenMode));

  app.SetDefaultScreenMode(kScreenBoth);
  EXPECT_EQ(app.SetMenuItemEnabled(4, false), 0);
  EXPECT_FALSE(menu->IsEnabled(kCmdScreenMode));
}

TEST(MenuCommandsTest, PriorityLoweringsNestAndAnUnmatchedRestoreKeepsZero) {
  GameApp app;
  EXPECT_EQ(app.RestoreFrameThreadPriority(), 0);
  EXPECT_EQ(app.priorityLowerings(), 0u);

  EXPECT_EQ(app.LowerFrameThreadPriority(), kPriorityLowered);
  EXPECT_EQ(app.LowerFrameThreadPriority(), kPriorityAlreadyLow);
  EXPECT_EQ(app.RestoreFrameThreadPriority(), 2);
  EXPECT_EQ(app.priorityLowerings(), 1u);
  EXPECT_EQ(app.RestoreFrameThreadPriority(), 1);
  EXPECT_EQ(app.priorityLowerings(), 0u);

  // In the threaded mode with no frame thread running, the lowering is counted all the same.
  app.config().engine.threadedDriving = 1;
  EXPECT_EQ(app.LowerFrameThreadPriority(), kPriorityNoThread);
  EXPECT_EQ(app.priorityLowerings(), 1u);

  // Switched off: refused, and the restore answers the count and keeps it.
  app.config().pacing.priorityLoweringOff = 1;
  EXPECT_EQ(app.LowerFrameThreadPriority(), kPriorityLoweringOff);
  EXPECT_EQ(app.RestoreFrameThreadPriority(), 1);
  EXPECT_EQ(app.priorityLowerings(), 1u);
}

// A started game with menu 101, accelerators 102 and scripted dialogs.
class MenuCommands : public test::DialogGameRun {
 public:
  MenuCommands() {
    record.menuId = 101;
    record.acceleratorsId = 102;
    record.defaultScreenMode = kScreenBoth;
  }
  ~MenuCommands() override { host::ResetKeyState(); }

  void Command(GameApp& app, int id, void* request = nullptr) {
    app.mainWindow().SendMessage(host::WM_COMMAND, static_cast<host::WPARAM>(id), reinterpret_cast<host::LPARAM>(request));
  }
  void Key(uint8_t virtualKey, bool down, bool alt = false) {
    host::InputEvent event;
    event.kind = down ? host::InputEventKind::kKeyDown : host::InputEventKind::kKeyUp;
    event.virtualKey = virtualKey;
    event.altDown = alt;
    backend.QueueEvent(event);
  }
};

TEST_F(MenuCommands, TheMenuComesWithTheWindowAndFollowsThePermissions) {
  record.defaultScreenMode = kScreenWindowOnly;
  WriteGame(kLoopForever);
  host::HWND window;
  {
    GameApp app;
    ASSERT_TRUE(Start(app));
    window = app.mainWindow().GetHandle();
    host::Menu* menu = dialogs.scripted.AttachedMenu(window);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu, app.menu());
    EXPECT_FALSE(menu->IsEnabled(kCmdScreenMode)) << "a window-only game has no screen mode to switch";
    app.AppShutdown(0);
  }
  EXPECT_EQ(dialogs.scripted.AttachedMenu(window), nullptr) << "the menu goes with the application";

  record.menuId = 0;
  WriteGame(kLoopForever);
  GameApp bare;
  ASSERT_TRUE(Start(bare));
  EXPECT_EQ(bare.menu(), nullptr);
  EXPECT_EQ(dialogs.scripted.AttachedMenu(bare.mainWindow().GetHandle()), nullptr);
  bare.AppShutdown(0);
}

TEST_F(MenuCommands, AcceleratorKeysBecomeCommandsUnlessTheirItemIsGreyed) {
  WriteGame(kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  auto press = [&](uint8_t key, bool down, bool alt = false) {
    Key(key, down, alt);
    app.PumpMessages(true);
  };
  // One batch of events: Shift is read as it was when V's message was made, though its
  // release is in already when the messages are handled.
  Key('V', true);  // no Shift: an ordinary key
  Key('V', false);
  Key(kVkShift, true);
  Key('L', true);  // a command with no action
  Key('L', false);
  Key('V', true);
  Key('V', false);
  Key(kVkShift, false);
  app.PumpMessages(true);
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_EQ(Dialogs()[0].templateId, 111) << "Shift+V is the version dialog";

  press(kVkReturn, true, true);
  press(kVkReturn, false, true);
  EXPECT_EQ(app.config().display.screenMode, kSavedScreenFull) << "Alt+Enter switches the screen mode";

  // The permission greys the item, and the key then does nothing.
  app.SetMenuItemEnabled(4, false);
  press(kVkReturn, true, true);
  EXPECT_EQ(app.config().display.screenMode, kSavedScreenFull);
  app.AppShutdown(0);
}

TEST_F(MenuCommands, TheScreenModeTogglesAndAFailedMonitorChoiceKeepsTheWindow) {
  config.pacing.vsyncMode = kVSyncAlways;
  WriteGame(kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  DisplaySettings& saved = app.config().display;
  ASSERT_EQ(saved.screenMode, kSavedScreenWindow);

  Command(app, kCmdScreenMode);
  EXPECT_EQ(saved.screenMode, kSavedScreenFull);
  EXPECT_EQ(saved.fullScreenDepth, app.displayManager().ChosenDepth());
  EXPECT_NE(app.displayManager().VerticalBlankWait(), 0u) << "the pacing follows the new mode";
  Command(app, kCmdScreenMode);
  EXPECT_EQ(saved.screenMode, kSavedScreenWindow);
  EXPECT_EQ(saved.fullScreenDepth, 3);

  // A monitor that is not there: the player is told and the window stays.
  app.userConfig().monitorNumber = 9;
  MessageTexts();
  Command(app, kCmdScreenMode);
  EXPECT_EQ(saved.screenMode, kSavedScreenWindow);
  EXPECT_EQ(saved.fullScreenDepth, 3);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"画面モード変更に失敗"});
  EXPECT_EQ(app.displayFailure(), kDisplayOk);

  app.userConfig().monitorNumber = 0;
  app.SetMenuItemEnabled(4, false);
  Command(app, kCmdScreenMode);
  EXPECT_EQ(saved.screenMode, kSavedScreenWindow) << "the permission is off";
  app.AppShutdown(0);
}

TEST_F(MenuCommands, ReturnToTitleAsksAndOnlyAYesWithThePermissionInterrupts) {
  WriteGame(kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  Command(app, kCmdReturnToTitle);
  EXPECT_TRUE(Dialogs().empty()) << "the permission starts off";

  app.SetMenuItemEnabled(3, true);
  dialogs.scripted.QueueAnswer(Press(kIdNo));
  Command(app, kCmdReturnToTitle);
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_EQ(Dialogs()[0].templateId, 114);
  EXPECT_EQ(Dialogs()[0].texts, Texts("タイトルに戻ります。\nよろしいですか？"));
  EXPECT_EQ(app.interruptRequest(), kInterruptNone);

  // While the question is up the state says so, and another command waits its turn.
  uint8_t during = 0;
  dialogs.WhileNextDialog([&](const host::Dialog&) {
    during = app.modalState();
    Command(app, kCmdReturnToTitle);
  });
  dialogs.scripted.QueueAnswer(Press(kIdYes));
  Command(app, kCmdReturnToTitle);
  EXPECT_EQ(during, kModalReturnQuestion);
  EXPECT_EQ(Dialogs().size(), 2u);
  EXPECT_EQ(app.interruptRequest(), kInterruptRestart);
  EXPECT_EQ(app.modalState(), kModalNone);
  app.RequestInterrupt(kInterruptNone);

  // Withdrawn while the question was up: the yes is refused with the second dialog.
  dialogs.WhileNextDialog([&](const host::Dialog&) { app.SetMenuItemEnabled(3, false); });
  dialogs.scripted.QueueAnswer(Press(kIdYes));
  Command(app, kCmdReturnToTitle);
  ASSERT_EQ(Dialogs().size(), 4u);
  EXPECT_EQ(Dialogs()[3].templateId, 112);
  EXPECT_EQ(Dialogs()[3].texts, Texts("現在の状態でタイトルに戻ることは出来ません。\r\n"
                                         "行える状態になってから再度、実行して下さい。"));
  EXPECT_EQ(app.interruptRequest(), kInterruptNone);
  app.AppShutdown(0);
}

TEST_F(MenuCommands, SettingsSaveAndLoadTellThePlayerTheyAreNotAvailable) {
  struct Case {
    int command;
    int permission;
    uint8_t modal;
    uint8_t direction;
  };
  const Case cases[] = {{kCmdSettings, 0, kModalSettings, kDirectionLoad},
                        {kCmdSettingsSystem, 0, kModalSettings, kDirectionLoad},
                        {kCmdSave, 1, kModalSave, kDirectionSave},
                        {kCmdLoad, 2, kModalLoad, kDirectionLoad}};
  WriteGame(kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  for (const Case& c : cases) {
    app.SetMenuItemEnabled(c.permission, false);
    size_t before = Dialogs().size();
    Command(app, c.command);
    EXPECT_EQ(Dialogs().size(), before) << c.command << ": not permitted";

    app.SetMenuItemEnabled(c.permission, true);
    uint8_t during = 0;
    dialogs.WhileNextDialog([&](const host::Dialog&) { during = app.modalState(); });
    Command(app, c.command);
    ASSERT_EQ(Dialogs().size(), before + 1) << c.command;
    EXPECT_EQ(Dialogs().back().templateId, 112) << c.command;
    EXPECT_EQ(Dialogs().back().texts, Texts("この機能は現在利用できません。"));
    EXPECT_EQ(during, c.modal) << c.command;
    EXPECT_EQ(app.saveLoadDirection(), c.direction) << c.command;
    EXPECT_EQ(app.modalState(), kModalNone) << c.command;
  }
  EXPECT_EQ(app.ShowSettingsSheet(), kDialogNotAvailable);
  EXPECT_EQ(app.ShowSaveLoadDialog(), kDialogNotAvailable);
  app.AppShutdown(0);
}

TEST_F(MenuCommands, VersionExitAndTheCommandsWithoutAction) {
  WriteGame(kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  app.SetMenuItemEnabled(1, true);
  uint8_t during = 0;
  dialogs.WhileNextDialog([&](const host::Dialog&) {
    during = app.modalState();
    Command(app, kCmdSave);  // another dialog is up: refused
  });
  Command(app, kCmdVersion);
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_EQ(Dialogs()[0].templateId, 111);
  EXPECT_EQ(Dialogs()[0].report, app.SystemReport(false));
  EXPECT_EQ(during, kModalVersion);
  EXPECT_EQ(app.modalState(), kModalNone);
  EXPECT_FALSE(app.IsModal());

  for (int id = 40009; id <= 40025; ++id) Command(app, id);
  EXPECT_EQ(Dialogs().size(), 1u);
  EXPECT_EQ(app.config().display.screenMode, kSavedScreenWindow);

  // Exit asks first; a no keeps the game.
  dialogs.scripted.QueueAnswer(Press(kIdNo));
  Command(app, kCmdExit);
  ASSERT_EQ(Dialogs().size(), 2u);
  EXPECT_EQ(Dialogs()[1].templateId, 114);
  EXPECT_EQ(Dialogs()[1].texts, Texts("『KVR DX Application』\nを終了しますか？"));
  EXPECT_TRUE(app.mainWindow().IsWindow());
  dialogs.scripted.QueueAnswer(Press(kIdYes));
  Command(app, kCmdExit);
  EXPECT_FALSE(app.mainWindow().IsWindow());
  EXPECT_TRUE(MessageTexts().empty()) << "the question is the dialog, not a message box";
  app.AppShutdown(0);
}

TEST_F(MenuCommands, TheDialogRequestsFillTheirRecords) {
  WriteGame(kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));

  // Data input: the application's record, or one of the caller's.
  app.dataInput().Setup("name?", "def", 0, 10, -1, -1);
  dialogs.scripted.QueueAnswer(Press(kIdOk, "Alice"));
  DataInputRequest input;
  ASSERT_TRUE(app.RequestDataInput(input));
  EXPECT_EQ(input.answer, 1);
  EXPECT_EQ(app.dataInput().Result(), "Alice");
  EXPECT_EQ(Dialogs().back().templateId, 116);
  DataInputDialog own;
  own.Setup("x", "", 0, 0, -1, -1);
  input.dialog = &own;
  ASSERT_TRUE(app.RequestDataInput(input));
  EXPECT_EQ(input.answer, 0) << "closed";

  // Open and save: the application folder when none is given; saving adds the filter index.
  std::string appFolder = GetAppFolder();
  char path[kDialogPathSize] = "old.txt";
  char title[kDialogFileTitleSize] = "x";
  FileDialogRequest open{"Open", path, title, nullptr, "Text\t*.txt\t", nullptr, 0};
  dialogs.scripted.QueueFileChoice({true, "Z:\\data\\a.txt", 2});
  ASSERT_TRUE(app.RequestOpenFile(open));
  EXPECT_EQ(open.answer, 1);
  EXPECT_STREQ(path, "Z:\\data\\a.txt");
  EXPECT_STREQ(title, "a.txt");
  host::FileChooserRequest asked = dialogs.scripted.FileRequests().back();
  EXPECT_EQ(asked.fileName, "") << "opening empties the proposed name";
  EXPECT_EQ(asked.folder + "\\", appFolder);
  FileDialogRequest save{"Save", path, nullptr, "Z:\\data", "Text\t*.txt\t", "txt", 0};
  dialogs.scripted.QueueFileChoice({true, "Z:\\data\\b.txt", 2});
  ASSERT_TRUE(app.RequestSaveFile(save));
  EXPECT_EQ(save.answer, 3);
  EXPECT_EQ(dialogs.scripted.FileRequests().back().folder, "Z:\\data");
  ASSERT_TRUE(app.RequestSaveFile(save));
  EXPECT_EQ(save.answer, 0) << "cancelled";

  // Folders get their separator, once; one with no room for it is refused.
  char folder[kDialogPathSize];
  FolderDialogRequest browse{"Folder", nullptr, folder, 0};
  const std::string longest(kDialogPathSize - 1, 'a');
  struct Case {
    bool chosen;
    std::string chosenPath;
    int32_t answer;
    std::string path;
  };
  const Case cases[] = {{true, "Z:\\data\\f", 1, "Z:\\data\\f\\"},
                        {true, "Z:\\", 1, "Z:\\"},
                        {false, "", 0, ""},
                        {true, longest, 0, ""}};
  for (const Case& c : cases) {
    host::FolderChoice choice;
    choice.chosen = c.chosen;
    choice.path = c.chosenPath;
    dialogs.scripted.QueueFolderChoice(choice);
    ASSERT_TRUE(app.RequestFolder(browse));
    EXPECT_EQ(browse.answer, c.answer) << c.chosenPath.size();
    EXPECT_EQ(std::string(folder), c.path) << c.chosenPath.size();
  }

  // The sound format: the defaults, or the record's.
  SoundFormatRequest sound;
  ASSERT_TRUE(app.RequestSoundFormat(sound));
  EXPECT_EQ(sound.answer, kDeviceCreated);
  host::WaveFormat format;
  ASSERT_NE(app.sound()->device()->PrimaryBuffer(), nullptr);
  app.sound()->device()->PrimaryBuffer()->GetFormat(&format);
  EXPECT_EQ(format.channels, 2);
  EXPECT_EQ(format.samplesPerSec, 44100u);
  EXPECT_EQ(format.bitsPerSample, 16);
  sound = SoundFormatRequest{true, 1, 22, 8, 0};
  ASSERT_TRUE(app.RequestSoundFormat(sound));
  EXPECT_EQ(sound.answer, kDeviceCreated);
  app.sound()->device()->PrimaryBuffer()->GetFormat(&format);
  EXPECT_EQ(format.channels, 1);
  EXPECT_EQ(format.samplesPerSec, 22050u);
  EXPECT_EQ(format.bitsPerSample, 8);

  // A command without its record does nothing harmful.
  for (int id : {kCmdOpenFile, kCmdSaveFile, kCmdBrowseFolder, kCmdSoundFormat}) Command(app, id);
  app.AppShutdown(0);

  // Without a window nothing is sent.
  EXPECT_FALSE(app.RequestFolder(browse));
}

class PacingTest : public test::GameRun {
 public:
  PacingTest() { config.pacing.vsyncMode = 1; }  // never wait
};

TEST_F(PacingTest, VSyncOverridesNestAndAnUnmatchedPopDoesNothing) {
  WriteGame(kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  DisplayManager& display = app.displayManager();
  app.UpdateFramePacing(-1);
  ASSERT_EQ(display.VerticalBlankWait(), 0u);

  EXPECT_EQ(app.PushVSyncWait(), 1u);
  EXPECT_EQ(display.VerticalBlankWait(), 1u);
  EXPECT_EQ(app.config().pacing.vsyncMode, kVSyncAlways);
  EXPECT_FALSE(app.frameClock().UsesPerformanceCounter()) << "the display paces the frames";
  EXPECT_EQ(app.PushVSyncWait(), 0u) << "already waiting";
  EXPECT_EQ(app.PopVSyncWait(), 0u);
  EXPECT_EQ(display.VerticalBlankWait(), 1u) << "one push still holds";
  EXPECT_EQ(app.PopVSyncWait(), 1u);
  EXPECT_EQ(display.VerticalBlankWait(), 0u);
  EXPECT_EQ(app.config().pacing.vsyncMode, 1) << "the configured mode is back";

  // An unmatched pop leaves the count at 0, so the next push forces the wait again.
  EXPECT_EQ(app.PopVSyncWait(), 0u);
  EXPECT_EQ(app.vsyncOverrides(), 0u);
  EXPECT_EQ(app.PushVSyncWait(), 1u);
  EXPECT_EQ(app.PopVSyncWait(), 1u);

  app.config().pacing.scriptsMayForceVSync = 0;
  EXPECT_EQ(app.PushVSyncWait(), 0u);
  EXPECT_EQ(display.VerticalBlankWait(), 0u);
  EXPECT_EQ(app.PopVSyncWait(), 0u);

  // The configured wait: interval + 1 blanks, with the frame clock unpaced.
  app.config().pacing.vsyncMode = kVSyncAlways;
  app.config().pacing.vsyncIntervalMinus1 = 2;
  app.UpdateFramePacing(30);
  EXPECT_EQ(display.VerticalBlankWait(), 3u);
  EXPECT_EQ(app.frameClock().Rate(), 30);
  app.AppShutdown(0);
}

TEST_F(PacingTest, PreciseTimingOverridesNestAndRestoreOnlyWhatWasConfigured) {
  WriteGame(kLoopForever);
  {
    GameApp app;
    ASSERT_TRUE(Start(app));
    app.UpdateFramePacing(-1);
    ASSERT_TRUE(app.frameClock().UsesPerformanceCounter());
    EXPECT_EQ(app.PushPreciseTimingOff(), 1u);
    EXPECT_FALSE(app.frameClock().UsesPerformanceCounter());
    EXPECT_EQ(app.PushPreciseTimingOff(), 0u);
    EXPECT_EQ(app.PopPreciseTimingOff(), 0u);
    EXPECT_FALSE(app.frameClock().UsesPerformanceCounter());
    EXPECT_EQ(app.PopPreciseTimingOff(), 1u);
    EXPECT_TRUE(app.frameClock().UsesPerformanceCounter());
    EXPECT_EQ(app.PopPreciseTimingOff(), 0u);
    EXPECT_EQ(app.preciseTimingOverrides(), 0u);
    app.AppShutdown(0);
  }
  config.pacing.preciseTiming = 0;
  WriteGame(kLoopForever);
  GameApp app;
  ASSERT_TRUE(Start(app));
  app.UpdateFramePacing(-1);
  EXPECT_EQ(app.PushPreciseTimingOff(), 0u);
  EXPECT_EQ(app.PopPreciseTimingOff(), 0u);
  EXPECT_FALSE(app.frameClock().UsesPerformanceCounter());
  app.AppShutdown(0);
}

TEST_F(PacingTest, ARestartedMainDropsTheOverridesTheOldOneHeld) {
  config.pacing.preciseTiming = 0;  // the virtual clock moves by the millisecond pacing's sleeps
  WriteGame(kLoopForever);
  GameApp app;
  bool checked = false;
  app.firstTimers().Add(test::Once([&] {
                          app.UpdateFramePacing(-1);
                          app.PushVSyncWait();
                          app.PushVSyncWait();
                          app.PushPreciseTimingOff();
                          app.RequestInterrupt(kInterruptRestart);
                        }),
                        5 * test::kPeriodMs, 0, 1);
  app.firstTimers().Add(test::Once([&] {
                          EXPECT_EQ(app.vsyncOverrides(), 0u);
                          EXPECT_EQ(app.preciseTimingOverrides(), 0u);
                          EXPECT_EQ(app.displayManager().VerticalBlankWait(), 0u);
                          EXPECT_EQ(app.config().pacing.vsyncMode, 1);
                          EXPECT_EQ(app.config().pacing.preciseTiming, 0);
                          checked = true;
                          CloseAnsweringYes(app);
                        }),
                        20 * test::kPeriodMs, 0, 1);
  EXPECT_EQ(RunGame(app), kExitNormal);
  EXPECT_TRUE(checked);
}

}  // namespace
}  // namespace bw
