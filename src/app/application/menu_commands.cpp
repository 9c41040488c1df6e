// The menu permissions and the nested lowering of the frame thread's priority.
#include "app/application/game_app.h"

namespace bw {

int GameApp::SetMenuItemEnabled(int item, bool enabled) {
  if (item < 0 || item >= kMenuPermissionCount) return kMenuItemUnknown;
  // A window-only game has no screen mode to switch.
  if (item == kMenuPermissionCount - 1 && record_.defaultScreenMode == kScreenWindowOnly) return 0;
  uint8_t value = enabled ? 1 : 0;
  if (menuPermissions_[item] == value) return 0;
  EnableMenuPermission(menu_, item, enabled);
  menuPermissions_[item] = value;
  return 0;
}

bool GameApp::menuItemEnabled(int item) const {
  return item >= 0 && item < kMenuPermissionCount && menuPermissions_[item] != 0;
}

// Thread priorities are left to the system scheduler here: only the nesting is kept, which the
// frame loops read to keep drawing on turns without a due frame.
int GameApp::LowerFrameThreadPriority() {
  if (config_.pacing.priorityLoweringOff != 0) return kPriorityLoweringOff;
  if (priorityLowerings_ > 0) {
    ++priorityLowerings_;
    return kPriorityAlreadyLow;
  }
  ++priorityLowerings_;
  if (Threaded() && !frameThread().IsRunning()) return kPriorityNoThread;
  return kPriorityLowered;
}

int GameApp::RestoreFrameThreadPriority() {
  uint32_t before = priorityLowerings_;
  if (config_.pacing.priorityLoweringOff != 0 || before == 0) return static_cast<int>(before);
  --priorityLowerings_;
  return static_cast<int>(before);
}

}  // namespace bw
