// "APP_CFG.DAT": the player's settings block (text, sound, keys, display options, the save and
// load dialog's state), in the save-data folder. A u32 length and that many bytes, copied over
// the block. Every field that start-up, the scene, the save data and the settings sheet read or
// write stands at its offset here; bytes no reader names are kept as they are (reserved*).
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace bw {

// The fast-forward key: it skips text and, with F1 to F5, saves.
constexpr uint8_t kFastForwardShift = 0;
constexpr uint8_t kFastForwardCtrl = 1;

struct UserConfig {
  static constexpr size_t kSize = 196;

  uint8_t confirmWebPage = 1;    // ask before the version dialog opens the game's page
  uint8_t lastSettingsPage = 0;  // the settings sheet opens at this page
  uint8_t reserved2 = 0;
  uint8_t fastEffects =
      0;  // effects shown quickly: marked waits end at once, no closing fade after a load
  uint8_t markChosenChoices = 1;
  uint8_t skipReadOnly = 1;
  uint8_t keepSkipAtChoices = 0;  // stored inverted by the sheet
  uint8_t autoHideCursor = 1;
  uint8_t reserved8 = 1;
  uint8_t showEffects = 1;  // 0: the scene's effects are not shown
  uint8_t hideFrameAtBottom = 0;
  uint8_t autoHideSystemButtons = 1;  // 0: the message window is shown again after a load
  uint8_t autoSaveAtChoices = 0;
  uint8_t keepPreviousChoiceData = 1;
  uint8_t reserved14 = 0;
  uint8_t tooltipsOn = 1;
  uint8_t reserved16 = 1;
  uint8_t reserved17[3] = {};
  uint32_t tooltipDelayMs = 750;
  uint8_t unreadNoWait = 0;  // text speeds: all at once, or ms per character
  uint8_t unreadCharMs = 30;
  uint8_t readNoWait = 1;
  uint8_t readCharMs = 30;
  uint8_t reserved28 = 0;
  uint8_t historyPages = 150;
  uint8_t keepHistoryInSaves = 1;
  uint8_t autoCharMs = 30;  // auto-play: ms per character, plus the minimum below
  uint32_t autoMinMs = 1000;
  // "ＭＳ ゴシック"
  uint8_t fontFace[32] = {0x82, 0x6C, 0x82, 0x72, ' ',  0x83, 0x53,
                          0x83, 0x56, 0x83, 0x62, 0x83, 0x4E};
  uint8_t fontAntialias = 1;
  uint8_t fontGradation = 0;
  uint8_t fontDecoration = 2;  // 0 none, 1 shadow, 2 edge
  uint8_t fontBold = 0;
  uint8_t rubyBold = 0;
  uint8_t drawTextFrame = 1;
  uint8_t frameAlpha = 140;
  uint8_t reserved75 = 0;
  uint32_t frameColor = 0x106EA8;  // 0xRRGGBB
  uint8_t reserved80 = 0;
  uint8_t soundOn = 1;  // stored inverted by the sheet
  uint8_t bgmOn = 1;
  uint8_t seOn = 1;
  uint8_t systemSeOn = 1;
  uint8_t voiceOn = 0;
  uint8_t unifyVoiceVolume = 0;
  uint8_t reserved87 = 0;
  uint32_t masterVolume = 256;  // volumes on the 0..256 scale
  uint32_t bgmVolume = 150;
  uint32_t seVolume = 160;
  uint32_t systemSeVolume = 170;
  uint32_t voiceVolume = 256;
  uint8_t stopVoiceOnNextText = 0;
  uint8_t duckBgm = 0;
  uint8_t duckPercent = 0;  // the sheet's default is 65
  uint8_t reserved111[2] = {};
  uint8_t spareKeyCode = 65;  // a key code (F7) that no action reads
  // DirectInput key codes of actions 4 to 19 (decide, cancel, auto, save, load, quick save, quick
  // load, hide window, system menu, settings, history, skip, previous choice, title, and two more).
  uint8_t actionKeys[16] = {0x2C, 0x2D, 0x1E, 0x41, 0x42, 0x43, 0x44, 0x39,
                            0x32, 0x2E, 0xD2, 0x1F, 0x0E, 0x14, 0xC9, 0xD1};
  uint8_t fastForwardKey = kFastForwardCtrl;
  uint8_t fastForwardReadOnly = 0;
  uint8_t joystickEnabled = 0;
  uint8_t actionButtons[16] = {};  // joystick buttons of actions 4 to 19 (decide, cancel first)
  uint8_t rightButtonAction = 1;   // list index: none, menu, hide window, auto, skip, save, load
  uint8_t wheelButtonAction = 0;
  uint8_t rightClickStopsAuto = 0;
  uint8_t reserved152 = 0;
  uint8_t wheelAdvancesText = 1;
  uint8_t fullScreenMonitor = 0;  // with monitorNumber, chooses the full-screen monitor
  uint8_t topmostInFullScreen = 1;
  uint8_t displayOption1 =
      0;  // 2: full screen through the device's modes; 0: a default is chosen at start-up
  uint8_t monitorNumber = 0;  // 1-based; 0 = the monitor nearest the window
  uint8_t startWindowed = 0;  // a saved full-screen mode starts in a window
  uint8_t rememberWindowPosition = 1;
  uint8_t displayOption2 = 0;  // the scaled drawing method: 1 automatic, 2 DirectDraw, 3 Direct3D
  uint8_t drawingMethodAlways = 0;
  uint8_t powerOfTwoTextures = 1;
  uint8_t bilinearFilter = 1;
  uint8_t transferThroughDc = 1;
  uint8_t playMovies = 1;
  uint8_t useDirectShowWindow = 1;
  uint8_t reserved167 = 0;
  uint32_t movieVolume = 256;
  uint8_t confirmPreviousChoice = 1;
  uint8_t confirmQuickLoad = 1;
  uint8_t lastDialogPage = 2;  // the save and load dialog's page and row when it last closed
  uint8_t lastSavedPage = 0;
  uint8_t lastSavedSlot = 0;
  uint8_t nextAutoSlot = 0;
  uint8_t nextQuickSlot = 5;
  uint8_t confirmOverwrite = 1;
  uint8_t commentFromMessage = 1;
  uint8_t closeAfterSave = 1;
  uint8_t reserved182 = 1;
  uint8_t thumbnailWithoutFrame = 1;
  uint8_t confirmLoad = 0;
  uint8_t autoSaveBeforeLoad = 0;
  uint8_t savedOnce = 0;
  uint8_t lastAutoSlot = 0;
  uint8_t lastQuickSlot = 0;
  uint8_t fastSystemScreens = 0;  // the system menu opens without its fade
  uint8_t clickSkipsEffects = 1;
  uint8_t reserved191 = 1;
  uint8_t systemMenuStartItem = 5;  // the system menu's row the pointer starts on (0-11)
  uint8_t lastDialogSlot = 0;
  uint8_t reserved194[2] = {};

  template <class Self, class V>
  static constexpr void Fields(Self& s, V& v) {
    v(s.confirmWebPage), v(s.lastSettingsPage), v(s.reserved2), v(s.fastEffects),
        v(s.markChosenChoices), v(s.skipReadOnly), v(s.keepSkipAtChoices), v(s.autoHideCursor),
        v(s.reserved8), v(s.showEffects), v(s.hideFrameAtBottom), v(s.autoHideSystemButtons),
        v(s.autoSaveAtChoices), v(s.keepPreviousChoiceData), v(s.reserved14), v(s.tooltipsOn),
        v(s.reserved16), v(s.reserved17), v(s.tooltipDelayMs), v(s.unreadNoWait), v(s.unreadCharMs),
        v(s.readNoWait), v(s.readCharMs), v(s.reserved28), v(s.historyPages),
        v(s.keepHistoryInSaves), v(s.autoCharMs), v(s.autoMinMs), v(s.fontFace), v(s.fontAntialias),
        v(s.fontGradation), v(s.fontDecoration), v(s.fontBold), v(s.rubyBold), v(s.drawTextFrame),
        v(s.frameAlpha), v(s.reserved75), v(s.frameColor), v(s.reserved80), v(s.soundOn),
        v(s.bgmOn), v(s.seOn), v(s.systemSeOn), v(s.voiceOn), v(s.unifyVoiceVolume),
        v(s.reserved87), v(s.masterVolume), v(s.bgmVolume), v(s.seVolume), v(s.systemSeVolume),
        v(s.voiceVolume), v(s.stopVoiceOnNextText), v(s.duckBgm), v(s.duckPercent),
        v(s.reserved111), v(s.spareKeyCode), v(s.actionKeys), v(s.fastForwardKey),
        v(s.fastForwardReadOnly), v(s.joystickEnabled), v(s.actionButtons), v(s.rightButtonAction),
        v(s.wheelButtonAction), v(s.rightClickStopsAuto), v(s.reserved152), v(s.wheelAdvancesText),
        v(s.fullScreenMonitor), v(s.topmostInFullScreen), v(s.displayOption1), v(s.monitorNumber),
        v(s.startWindowed), v(s.rememberWindowPosition), v(s.displayOption2),
        v(s.drawingMethodAlways), v(s.powerOfTwoTextures), v(s.bilinearFilter),
        v(s.transferThroughDc), v(s.playMovies), v(s.useDirectShowWindow), v(s.reserved167),
        v(s.movieVolume), v(s.confirmPreviousChoice), v(s.confirmQuickLoad), v(s.lastDialogPage),
        v(s.lastSavedPage), v(s.lastSavedSlot), v(s.nextAutoSlot), v(s.nextQuickSlot),
        v(s.confirmOverwrite), v(s.commentFromMessage), v(s.closeAfterSave), v(s.reserved182),
        v(s.thumbnailWithoutFrame), v(s.confirmLoad), v(s.autoSaveBeforeLoad), v(s.savedOnce),
        v(s.lastAutoSlot), v(s.lastQuickSlot), v(s.fastSystemScreens), v(s.clickSkipsEffects),
        v(s.reserved191), v(s.systemMenuStartItem), v(s.lastDialogSlot), v(s.reserved194);
  }

  // The face name up to its NUL (the field always holds one once read).
  std::string FontFaceName() const;

  bool operator==(const UserConfig&) const = default;
};

// Copies the file over config and makes sure the font face is ended. Answers a kConfig* code;
// a refused file leaves config as it was, and why says where it broke.
[[nodiscard]] int ReadUserConfig(std::span<const uint8_t> file, UserConfig& config,
                                 std::string* why = nullptr);

std::vector<uint8_t> EncodeUserConfig(const UserConfig& config);

// Replaces the file at path: true when written; a failure leaves the old file as it was and
// (error given) says why.
[[nodiscard]] bool SaveUserConfig(const std::filesystem::path& path, const UserConfig& config,
                                  std::error_code* error = nullptr);

}  // namespace bw
