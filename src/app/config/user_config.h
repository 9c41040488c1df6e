// "APP_CFG.DAT": the player's settings block (text, sound, keys, display options), in the
// save-data folder. A u32 length and that many bytes, copied over the block. The fields named
// here are those start-up reads or whose type the layout fixes; the rest belongs to the settings
// sheet, the text and sound settings and the key assignments, and is kept as it is.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace bw {

struct UserConfig {
  static constexpr size_t kSize = 196;

  uint8_t other0[20] = {1, 0, 0, 0, 1, 1, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1, 1, 0, 0, 0};
  uint32_t tooltipDelayMs = 750;
  uint8_t other24[8] = {0, 30, 1, 30, 0, 150, 1, 30};
  uint32_t autoMinMs = 1000;
  // "ＭＳ ゴシック"
  uint8_t fontFace[32] = {0x82, 0x6C, 0x82, 0x72, ' ',  0x83, 0x53,
                          0x83, 0x56, 0x83, 0x62, 0x83, 0x4E};
  uint8_t other68[8] = {1, 0, 2, 0, 0, 1, 140, 0};
  uint32_t frameColor = 0x106EA8;
  uint8_t other80[8] = {0, 1, 1, 1, 1, 0, 0, 0};
  uint32_t masterVolume = 256;
  uint32_t bgmVolume = 150;
  uint32_t seVolume = 160;
  uint32_t systemSeVolume = 170;
  uint32_t voiceVolume = 256;
  uint8_t other108[5] = {};
  // DirectInput key codes of the seventeen assignable actions.
  uint8_t keyCodes[17] = {0x41, 0x2C, 0x2D, 0x1E, 0x41, 0x42, 0x43, 0x44, 0x39,
                          0x32, 0x2E, 0xD2, 0x1F, 0x0E, 0x14, 0xC9, 0xD1};
  uint8_t other130[24] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1};
  uint8_t fullScreenMonitor = 0;  // with monitorNumber, chooses the full-screen monitor
  uint8_t other155 = 1;
  uint8_t displayOption1 = 0;  // 0: a default is chosen at start-up
  uint8_t monitorNumber = 0;   // 1-based; 0 = the monitor nearest the window
  uint8_t startWindowed = 0;   // a saved full-screen mode starts in a window
  uint8_t rememberWindowPosition = 1;
  uint8_t displayOption2 = 0;
  uint8_t moreDisplayOptions[4] = {0, 1, 1, 1};
  uint8_t other165[3] = {1, 1, 0};
  uint32_t movieVolume = 256;
  uint8_t other172[24] = {1, 1, 2, 0, 0, 0, 5, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 1, 5, 0, 0, 0};

  template <class Self, class V>
  static constexpr void Fields(Self& s, V& v) {
    v(s.other0), v(s.tooltipDelayMs), v(s.other24), v(s.autoMinMs), v(s.fontFace), v(s.other68),
        v(s.frameColor), v(s.other80), v(s.masterVolume), v(s.bgmVolume), v(s.seVolume),
        v(s.systemSeVolume), v(s.voiceVolume), v(s.other108), v(s.keyCodes), v(s.other130),
        v(s.fullScreenMonitor), v(s.other155), v(s.displayOption1), v(s.monitorNumber),
        v(s.startWindowed), v(s.rememberWindowPosition), v(s.displayOption2),
        v(s.moreDisplayOptions), v(s.other165), v(s.movieVolume), v(s.other172);
  }

  // The face name up to its NUL (the field always holds one once read).
  std::string FontFaceName() const;

  bool operator==(const UserConfig&) const = default;
};

// Copies the file over config and makes sure the font face is ended. Answers a kConfig* code;
// a file too short for its length leaves config as it was.
int ReadUserConfig(std::span<const uint8_t> file, UserConfig& config);

std::vector<uint8_t> EncodeUserConfig(const UserConfig& config);

// Replaces the file at path; a failure leaves the old file as it was.
std::error_code SaveUserConfig(const std::filesystem::path& path, const UserConfig& config);

}  // namespace bw
