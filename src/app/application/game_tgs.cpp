// What the scenario frame reads of the game application: the player's settings by role and its
// frame turns; and what its screens reach of the application.
#include <cstring>

#include "app/application/game_app.h"
#include "app/application/game_gui_services.h"

namespace bw {

bool GameApp::ReadTgsSettings(TgsUserSettings& out) {
  const UserConfig& u = User();
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
  // Frame skipping: effects and waits give way, and the quick-load caption is short.
  out.userSkip = config_.pacing.frameSkipCounting != 0;
  // The fast-forward key also makes F1 to F5 save.
  out.shiftQuickSave = u.fastForwardKey == kFastForwardShift;
  out.confirmPreviousChoice = u.confirmPreviousChoice != 0;
  out.keepBackToChoice = u.keepPreviousChoiceData != 0;
  out.keepSkipAfterChoice = u.keepSkipAtChoices != 0;
  out.rightClickEndsAuto = u.rightClickStopsAuto != 0;
  out.rightButtonMode = u.rightButtonAction;
  out.clickSkips = u.clickSkipsEffects != 0;
  out.readNoWait = u.readNoWait != 0;
  out.readCharMs = u.readCharMs;
  out.unreadNoWait = u.unreadNoWait != 0;
  out.unreadCharMs = u.unreadCharMs;
  out.historyCapacity = u.historyPages;
  out.effectSoundOn = u.seOn != 0;
  out.fastEffects = u.fastEffects != 0;
  const auto* face = reinterpret_cast<const char*>(u.fontFace);
  out.face.assign(face, strnlen(face, sizeof u.fontFace));
  out.secondFace = out.face;
  out.fontStyle = u.fontDecoration;
  out.fontGradation = u.fontGradation != 0;
  out.fontAntialias = u.fontAntialias;
  out.fontBold = u.fontBold != 0;
  out.rubyBold = u.rubyBold != 0;
  out.menuRow = u.systemMenuStartItem;
  out.noMenuFade = u.fastSystemScreens != 0;
  out.fadeOutOnQuit = u.systemSeOn != 0;
  out.drawTextFrame = u.drawTextFrame;
  out.frameColor = u.frameColor & 0xFFFFFF;
  out.frameAlpha = u.frameAlpha;
  return true;
}

int GameApp::TgsFrameTurn() {
  screens_.Tick(Clock());
  return FrameLoop() != kFrameStop ? 1 : 0;
}

PointerTip* GameApp::ScreenTip() {
  return gui_ ? &gui_->Tip() : nullptr;
}

}  // namespace bw
