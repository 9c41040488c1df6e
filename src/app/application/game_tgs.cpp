// What the scenario frame reads of the game application: its state words and the player's
// settings by role.
#include <cstring>

#include "app/application/game_app.h"

namespace bw {

TgsAppState* GameApp::TgsState() {
  tgsState_.titleAllowed = MenuItemEnabled(3) ? 1 : 0;
  return &tgsState_;
}

bool GameApp::ReadTgsSettings(TgsUserSettings& out) {
  const UserConfig& u = user_;
  out = TgsUserSettings{};
  out.voiceOn = u.voiceOn != 0;
  out.duckMusic = u.duckBgm != 0;
  out.stopVoice = u.stopVoiceOnNextText != 0;
  out.autoCharMs = u.autoCharMs;
  out.autoBaseMs = u.autoMinMs;
  out.systemSkipReadOnly = u.skipReadOnly != 0;
  out.skipKeysReadOnly = u.fastForwardReadOnly != 0;
  out.hideCursor = u.autoHideCursor != 0;
  out.hideButtonsUnlessLow = u.autoHideSystemButtons != 0;
  out.saveBeforeChoice = u.autoSaveAtChoices != 0;
  out.confirmQuickLoad = u.confirmQuickLoad != 0;
  out.confirmPreviousChoice = u.confirmPreviousChoice != 0;
  out.keepBackToChoice = u.keepPreviousChoiceData != 0;
  out.keepSkipAfterChoice = u.keepSkipAtChoices != 0;
  out.rightClickEndsAuto = u.rightClickStopsAuto != 0;
  out.clickSkips = u.clickSkipsEffects != 0;
  out.readNoWait = u.readNoWait != 0;
  out.readCharMs = u.readCharMs;
  out.unreadNoWait = u.unreadNoWait != 0;
  out.unreadCharMs = u.unreadCharMs;
  out.historyCapacity = u.historyPages;
  const auto* face = reinterpret_cast<const char*>(u.fontFace);
  out.face.assign(face, strnlen(face, sizeof u.fontFace));
  out.secondFace = out.face;
  return true;
}

}  // namespace bw
