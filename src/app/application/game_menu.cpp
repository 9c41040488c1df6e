#include "app/application/game_menu.h"

#include <atomic>

#include "app/dialogs/menu_requests.h"
#include "app/dialogs/message_dialog.h"
#include "host/cp932.h"

namespace bw {

void GameMenu::Build(host::HWND window) {
  if (record_.menuId == 0) return;
  std::unique_ptr<host::Menu> menu = BuildMainMenu(window);
  for (int item = 0; item < kMenuPermissionCount; ++item) {
    // Every item of the five has its menu ids: none is unknown.
    (void)EnableMenuPermission(menu.get(), item, ItemEnabled(item));
  }
  // A menu without the item has nothing to grey.
  if (WindowOnly()) (void)menu->EnableItem(kCmdScreenMode, false);
  mainMenu_ = std::make_unique<AttachedMenu>(std::move(menu));
  menu_ = mainMenu_->get();
}

int GameMenu::SetItemEnabled(int item, bool enabled) {
  if (item < 0 || item >= kMenuPermissionCount) return kMenuItemUnknown;
  // A window-only game has no screen mode to switch.
  if (item == kPermissionScreenMode && WindowOnly()) return 0;
  std::atomic_ref<uint8_t> permission(permissions_[item]);
  const uint8_t value = enabled ? 1 : 0;
  if (permission.load() == value) return 0;
  (void)EnableMenuPermission(menu_, item, enabled);  // the item is known: checked above
  permission.store(value);
  if (item == kPermissionScreenMode) app_.ShowMaximizeBox(enabled);
  return 0;
}

bool GameMenu::ItemEnabled(int item) const {
  if (item < 0 || item >= kMenuPermissionCount) return false;
  return std::atomic_ref<uint8_t>(const_cast<uint8_t&>(permissions_[item])).load() != 0;
}

void GameMenu::Command(int id, host::LPARAM record) {
  switch (id) {
    case kCmdScreenMode:
      if (!WindowOnly() && ItemEnabled(kPermissionScreenMode)) app_.ToggleScreenMode();
      break;
    case kCmdReturnToTitle:
      AskReturnToTitle();
      break;
    case kCmdExit:
      app_.CloseMainWindow();
      break;
    case kCmdVersion: {
      Scope version(*this, kModalVersion, false);
      app_.ShowVersionDialog();
      break;
    }
    case kCmdSettings:
    case kCmdSettingsSystem:
      OpenDialog(kPermissionSettings, kModalSettings, id);
      break;
    case kCmdSave:
      OpenDialog(kPermissionSave, kModalSave, id);
      break;
    case kCmdLoad:
      OpenDialog(kPermissionLoad, kModalLoad, id);
      break;
    case kCmdDataInput:
    case kCmdOpenFile:
    case kCmdSaveFile:
    case kCmdBrowseFolder:
    case kCmdSoundFormat:
      app_.ServeRequest(id, record);
      break;
    default:
      break;  // 40009 to 40025 have no action
  }
}

void GameMenu::OpenDialog(int permission, uint8_t state, int id) {
  if (modalState_ != kModalNone || !ItemEnabled(permission)) return;
  Scope modal(*this, state);
  // A dialog that is not there has told the player so itself.
  if (permission == kPermissionSettings) {
    (void)app_.ShowSettingsSheet();
  } else {
    (void)app_.ShowSaveLoadDialog(id == kCmdSave ? kDirectionSave : kDirectionLoad);
  }
}

void GameMenu::AskReturnToTitle() {
  if (modalState_ != kModalNone || !ItemEnabled(kPermissionReturn)) return;
  bool yes = false;
  {
    Scope modal(*this, kModalReturnQuestion);
    yes = app_.ShowDialogMessage(host::Cp932Literal("タイトルに戻ります。\nよろしいですか？"),
                                 kMessageYesNo) != 0;
    // The script may have withdrawn the permission while the question was up.
    if (yes && !ItemEnabled(kPermissionReturn)) {
      (void)app_.ShowDialogMessage(
          host::Cp932Literal("現在の状態でタイトルに戻ることは出来ません。\r\n"
                             "行える状態になってから再度、実行して下さい。"),
          kMessageOk);
      yes = false;
    }
  }
  if (yes) app_.ReturnToTitle();
}

}  // namespace bw
