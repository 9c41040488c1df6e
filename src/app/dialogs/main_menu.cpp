#include "app/dialogs/main_menu.h"

#include "app/sysinfo/report_text.h"
#include "host/cp932.h"
#include "host/dialog/dialog_host.h"

namespace bw {

namespace {

host::MenuItem Command(int id, const char* utf8) {
  return host::MenuItem{id, host::Cp932Literal(utf8), false, true, false, {}};
}

constexpr int kSettingsIds[] = {kCmdSettings, kCmdSettingsSystem};
constexpr int kSaveIds[] = {kCmdSave};
constexpr int kLoadIds[] = {kCmdLoad};
constexpr int kReturnIds[] = {kCmdReturnToTitle};
constexpr int kScreenModeIds[] = {kCmdScreenMode};

}  // namespace

std::unique_ptr<host::Menu> BuildMainMenu(host::HWND owner) {
  host::MenuItem system{0, host::Cp932Literal("システム(&M)"), false, true, false, {}};
  system.items = {Command(kCmdScreenMode, "画面モード変更(&D)\tShift+D"),
                  Command(kCmdReturnToTitle, "タイトルに戻る(&T)\tShift+T"),
                  Command(kCmdSettingsSystem, "設定(&C)\tShift+C"),
                  Command(kCmdExit, "終了(&Q)\tAlt+F4"),
                  host::MenuItem{0, {}, true, true, false, {}},
                  Command(kCmdVersion, "バージョン情報(&V)\tShift+V")};
  std::vector<host::MenuItem> bar = {
      system, Command(kCmdSettings, "設定(&C)"), Command(kCmdSave, "セーブ(&S)"),
      Command(kCmdLoad, "ロード(&L)"), Command(kCmdExit, "終了(&E)")};
  auto menu = std::make_unique<host::Menu>(owner, std::move(bar));
  // The permissions start as settings and screen mode on, the rest off (items every menu knows).
  for (int item : {kPermissionSave, kPermissionLoad, kPermissionReturn})
    (void)EnableMenuPermission(menu.get(), item, false);
  return menu;
}

AttachedMenu::AttachedMenu(std::unique_ptr<host::Menu> menu) : menu_(std::move(menu)) {
  if (menu_) host::AttachMenu(menu_->Owner(), menu_.get());
}

AttachedMenu::~AttachedMenu() {
  if (menu_) host::AttachMenu(menu_->Owner(), nullptr);
}

std::span<const int> MenuIdsOfPermission(int item) {
  switch (item) {
    case 0:
      return kSettingsIds;
    case 1:
      return kSaveIds;
    case 2:
      return kLoadIds;
    case 3:
      return kReturnIds;
    case 4:
      return kScreenModeIds;
    default:
      return {};
  }
}

int EnableMenuPermission(host::Menu* menu, int item, bool enabled) {
  std::span<const int> ids = MenuIdsOfPermission(item);
  if (ids.empty()) return -1;
  if (menu) {
    // A menu without one of the ids has nothing to grey there.
    for (int id : ids) (void)menu->EnableItem(id, enabled);
  }
  return 0;
}

}  // namespace bw
