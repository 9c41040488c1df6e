// Menu 101 of the main window and the menu items behind the application's permissions.
#pragma once

#include <memory>
#include <span>

#include "host/dialog/menu.h"

namespace bw {

constexpr int kCmdScreenMode = 40001;
constexpr int kCmdReturnToTitle = 40002;
constexpr int kCmdExit = 40003;
constexpr int kCmdVersion = 40004;
constexpr int kCmdSettings = 40005;
constexpr int kCmdSettingsSystem = 40006;
constexpr int kCmdSave = 40007;
constexpr int kCmdLoad = 40008;
// Requests other threads send with a record as lParam.
constexpr int kCmdDataInput = 40026;
constexpr int kCmdOpenFile = 40027;
constexpr int kCmdSaveFile = 40028;
constexpr int kCmdBrowseFolder = 40029;
constexpr int kCmdSoundFormat = 40030;

// Permissions: 0 settings, 1 save, 2 load, 3 return to title, 4 screen mode.
constexpr int kMenuPermissionCount = 5;
constexpr int kPermissionSettings = 0;
constexpr int kPermissionSave = 1;
constexpr int kPermissionLoad = 2;
constexpr int kPermissionReturn = 3;
constexpr int kPermissionScreenMode = 4;

std::unique_ptr<host::Menu> BuildMainMenu(host::HWND owner);

// A menu shown with its owner window through the dialog host for as long as this lives.
class AttachedMenu {
 public:
  explicit AttachedMenu(std::unique_ptr<host::Menu> menu);
  ~AttachedMenu();
  AttachedMenu(const AttachedMenu&) = delete;
  AttachedMenu& operator=(const AttachedMenu&) = delete;
  host::Menu* get() const { return menu_.get(); }

 private:
  std::unique_ptr<host::Menu> menu_;
};
// The menu ids of a permission; empty for one above 4.
std::span<const int> MenuIdsOfPermission(int item);
// Enables or greys the permission's items; -1 for an item above 4 (or below 0), else 0.
[[nodiscard]] int EnableMenuPermission(host::Menu* menu, int item, bool enabled);

}  // namespace bw
