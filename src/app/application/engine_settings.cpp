// The live settings and menu permissions the scripts set and read by index (natives 4 and 5).
// What they change is what SaveConfig writes at the end.
#include <atomic>

#include "app/application/game_app.h"
#include "natives/native_families.h"

namespace bw {

namespace {

// Option indexes.
constexpr uint32_t kOptionRestorePointer = 0;
constexpr uint32_t kOptionFrameSkipCounting = 1;
constexpr uint32_t kOptionPauseWhenInactive = 2;
constexpr uint32_t kOptionMenuEdgeDelay = 3;
constexpr uint32_t kOptionLoadMovieLibraries = 4;
constexpr uint32_t kOptionScriptSetting9 = 5;
constexpr uint32_t kOptionGlyphCacheSize = 6;
constexpr uint32_t kOptionFirstMenuItem = 7;  // 7 to 11: menu items 0 to 4
constexpr uint32_t kOptionScreenModeItem = kOptionFirstMenuItem + kMenuPermissionCount - 1;
constexpr uint32_t kOptionUnknown12 = 12;
constexpr uint32_t kOptionScriptSetting14 = 13;

constexpr uint16_t kDefaultGlyphCacheSize = 512;
// Set by the scripts on the frame thread, read from any thread; atomic.
std::atomic<uint16_t> sharedGlyphCacheSize{kDefaultGlyphCacheSize};

}  // namespace

uint16_t GameApp::SharedGlyphCacheSize() {
  return sharedGlyphCacheSize.load();
}

void GameApp::SetAppOption(uint32_t index, uint32_t value) {
  const uint8_t byte = static_cast<uint8_t>(value);
  const uint16_t word = static_cast<uint16_t>(value);
  switch (index) {
    case kOptionRestorePointer:
      config_.display.restorePointer = byte;
      return;
    case kOptionFrameSkipCounting:
      config_.pacing.frameSkipCounting = byte;
      pacing_.Clock().SetSkipCounting(byte != 0);
      return;
    case kOptionPauseWhenInactive:
      config_.display.pauseWhenInactive = byte;
      return;
    case kOptionMenuEdgeDelay:
      config_.display.menuEdgeDelayMs = word;
      return;
    case kOptionLoadMovieLibraries:
      config_.pacing.loadMovieLibraries = byte;
      return;
    case kOptionScriptSetting9:
      config_.pacing.scriptSetting9 = byte;
      return;
    case kOptionGlyphCacheSize:
      config_.pacing.glyphCacheSize = word;
      sharedGlyphCacheSize.store(word);
      return;
    default:
      if (index >= kOptionFirstMenuItem && index <= kOptionScreenModeItem) {
        (void)SetMenuItemEnabled(static_cast<int>(index - kOptionFirstMenuItem),
                                 value != 0);  // in range
      }
      return;
  }
}

std::span<const NativeFamily> GameApp::NativeFamilies() {
  return AllNativeFamilies();
}

uint32_t GameApp::GetAppOption(uint32_t index) {
  switch (index) {
    case kOptionRestorePointer:
      return config_.display.restorePointer;
    case kOptionFrameSkipCounting:
      return config_.pacing.frameSkipCounting;
    case kOptionPauseWhenInactive:
      return config_.display.pauseWhenInactive;
    case kOptionMenuEdgeDelay:
      return config_.display.menuEdgeDelayMs;
    case kOptionLoadMovieLibraries:
      return config_.pacing.loadMovieLibraries;
    case kOptionScriptSetting9:
      return config_.pacing.scriptSetting9;
    case kOptionGlyphCacheSize:
      return config_.pacing.glyphCacheSize;
    case kOptionScreenModeItem:
      // The screen-mode item has its say only while the game shows in a window.
      if (config_.display.screenMode != kSavedScreenWindow) return 0;
      return MenuItemEnabled(kMenuPermissionCount - 1) ? 1 : 0;
    // No application value is known behind 12: it reads as 0, like any unknown index.
    case kOptionUnknown12:
      return 0;
    case kOptionScriptSetting14:
      return config_.pacing.scriptSetting14;
    default:
      if (index >= kOptionFirstMenuItem && index < kOptionScreenModeItem) {
        return MenuItemEnabled(static_cast<int>(index - kOptionFirstMenuItem)) ? 1 : 0;
      }
      return 0;
  }
}

}  // namespace bw
