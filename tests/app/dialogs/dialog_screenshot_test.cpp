// Pictures of the menu bar and of every dialog as the player sees them, for a person to look at.
// Runs only when BW_DIALOG_SHOTS names a folder and an X display is there (under xvfb-run); each
// picture is the whole screen taken with ImageMagick's import.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/dialogs/data_input_dialog.h"
#include "app/dialogs/main_menu.h"
#include "app/dialogs/message_dialog.h"
#include "app/dialogs/version_dialog.h"
#include "app/sysinfo/report_text.h"
#include "host/dialog/imgui_dialog_host.h"
#include "host/host_path.h"
#include "host/message_queue.h"
#include "support/temp_dir.h"
#include "host/cp932.h"

namespace bw {
namespace {

constexpr int32_t kCanvasWidth = 640;
constexpr int32_t kCanvasHeight = 480;
constexpr int kShotFrame = 4;

TEST(DialogScreenshotTest, MenuBarAndEveryDialog) {
  const char* folder = std::getenv("BW_DIALOG_SHOTS");
  if (!folder || !std::getenv("DISPLAY")) GTEST_SKIP() << "set BW_DIALOG_SHOTS and run under xvfb-run";
  setenv("SDL_VIDEODRIVER", "x11", 1);
  std::filesystem::create_directories(folder);
  std::string error;
  auto backend = host::SdlBackend::Create(&error);
  ASSERT_NE(backend, nullptr) << error;
  ScopedGlobal<host::Backend> useBackend(backend.get());
  host::WindowDesc desc;
  desc.proc = host::DefWindowProc;
  desc.native = true;
  desc.nativeDesc = host::NativeWindowDesc{host::Cp932Literal("ブリムウォルド"), kCanvasWidth, kCanvasHeight, true};
  host::HWND window = host::CreateWindow(desc);
  ASSERT_TRUE(window);
  host::ImGuiDialogHost dialogs(backend.get());
  ScopedGlobal<host::DialogHost> useDialogs(&dialogs);
  // A flat grey picture behind the dialogs shows where they stand.
  const std::vector<uint8_t> picture(static_cast<size_t>(kCanvasWidth) * kCanvasHeight * 4, 0x80);
  host::GetPresentationSink(window)->Present(picture.data(), kCanvasWidth, kCanvasHeight, kCanvasWidth * 4,
                                            host::ScaleFilter::kNearest);
  auto menu = BuildMainMenu(window);
  host::AttachMenu(window, menu.get());

  auto shoot = [&](const std::string& name) {
    std::string command = "import -window root '" + std::string(folder) + "/" + name + ".png'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
  };
  std::string shot;
  int endWith = 0;
  dialogs.SetFrameHook([&](int frame) {
    if (frame != kShotFrame) return;
    shoot(shot);
    dialogs.EndDialog(endWith);
  });

  for (int i = 0; i < kShotFrame; ++i) dialogs.RefreshMenu();
  shoot("menu_bar");
  dialogs.OpenMenu();
  for (int i = 0; i < kShotFrame; ++i) dialogs.RefreshMenu();
  shoot("menu_open");
  host::MSG msg;
  while (host::PeekMessage(&msg, host::HWND{}, 0, 0, host::PM_REMOVE)) {
  }

  DialogContext context{window, host::Cp932Literal("ブリムウォルド"), false, {}, {}, {}};
  shot = "message_ok";
  endWith = kIdOk;
  ShowMessageDialog(context, host::Cp932Literal("セーブしました。").c_str(), kMessageOk, nullptr, nullptr, 1);
  shot = "message_yes_no_check";
  endWith = kIdNo;
  uint8_t check = 0;
  ShowMessageDialog(context,
                    host::Cp932Literal("タイトルに戻ります。\nよろしいですか？\nセーブしていない進行状況は失われます。").c_str(),
                    kMessageYesNoCheck, nullptr, &check, 1);

  VersionDialogInputs version;
  version.major = 1;
  version.minor = 2;
  version.revision = 0xB;
  version.gameTitle = host::Cp932Literal("ブリムウォルド");
  version.buildReport = [](bool) {
    return host::Cp932Literal("------ システム ------\r\nＯＳ            : Linux\r\nメモリ          : 16,384MB\r\n"
                "画面更新方法    : DirectDraw\r\n高分解能タイマー: 使用\r\n");
  };
  shot = "version";
  endWith = kIdOk;
  ShowVersionDialog(context, version);

  DataInputDialog input;
  input.Setup(host::Cp932Literal("主人公の名前を入力してください。"), host::Cp932Literal("太郎"), 0, 16, -1, -1);
  shot = "data_input";
  input.Show(context);

  test::TempDir dir;
  dir.WriteFile("セーブ/記録.txt", "x");
  dir.WriteFile("報告.TXT", "x");
  dir.WriteFile("other.bin", "x");
  std::string engineFolder;
  ASSERT_EQ(host::LinuxPathToEnginePath(dir.path().string(), engineFolder), host::kPathOk);
  shot = "file_save";
  endWith = 0;
  host::FileChooserRequest save;
  save.save = true;
  save.title = host::Cp932Literal("ログを保存");
  save.folder = engineFolder;
  save.fileName = ReportFileName(host::Cp932Literal("ブリムウォルド"));
  save.filters = {{host::Cp932Literal("システム情報ファイル(*.TXT)"), "*.TXT"}};
  host::ChooseFile(window, save);
  shot = "folder";
  host::ChooseFolder(window, {host::Cp932Literal("フォルダの選択"), engineFolder});

  host::AttachMenu(window, nullptr);
  host::DestroyWindow(window);
}

}  // namespace
}  // namespace bw
