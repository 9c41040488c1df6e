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

// Permissions: 0 settings, 1 save, 2 load, 3 return to title, 4 screen mode.
constexpr int kMenuPermissionCount = 5;

std::unique_ptr<host::Menu> BuildMainMenu(host::HWND owner);
// The menu ids of a permission; empty for one above 4.
std::span<const int> MenuIdsOfPermission(int item);
// Enables or greys the permission's items; -1 for an item above 4 (or below 0), else 0.
int EnableMenuPermission(host::Menu* menu, int item, bool enabled);

}  // namespace bw
