// The settings sheet "環境設定": seven pages over the user settings. Each page stores its controls
// when the sheet's OK is pressed; "デフォルト設定に戻す" fills the shown page's controls from the
// default record. The sound page is heard at once and put back on cancel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/config/user_config.h"
#include "host/messages.h"
#include "sound/voice_table.h"

namespace bw {

class SoundChannelManager;
class TextRenderer;

// What the sheet needs of the application.
class SettingsSheetHost {
 public:
  virtual ~SettingsSheetHost() = default;
  // Pushes the sound fields of config into the sound channels.
  virtual void ApplySound(const UserConfig& config) = 0;
  virtual void ApplyKeys() = 0;
  virtual void ApplyJoystick() = 0;
  // The faces the font list offers (CP932).
  virtual std::vector<std::string> FontFaces() { return {}; }
  // The monitors the window page offers (CP932).
  virtual std::vector<std::string> Monitors() { return {}; }
  // Hands the window page's drawing and full-screen options to the display.
  virtual void ApplyDisplay(const UserConfig& /*config*/) {}
  [[nodiscard]] virtual bool FullScreen() { return false; }
  virtual void ToggleScreenMode() {}
  [[nodiscard]] virtual bool PointerMoves() { return false; }
  virtual void SetPointerMoves(bool /*on*/) {}
  // 0 the sound-effect test, 1 the system sound effect, 2 the voice (the character's own test
  // voice at its volume when one is given).
  virtual void PlayTest(int /*which*/, const VoiceCharacter* /*character*/) {}
  // The voice table's characters, whose volumes and switches the sound page edits.
  virtual std::vector<VoiceCharacter> VoiceCharacters() { return {}; }
  // Writes the page's volumes and switches back, character by character.
  virtual void SetVoiceCharacters(const std::vector<VoiceCharacter>& /*characters*/) {}
};

// What changed, for the notices the application gives afterwards.
struct SettingsSheetResult {
  bool applied = false;
  bool textChanged = false;
  bool tooltipChanged = false;
  bool fontNotice = false;   // the face or a style changed
  bool frameNotice = false;  // the frame or the marking of chosen choices changed
};

constexpr int kSettingsSheetOk = 1;
constexpr int kSettingsSheetCancel = 2;
constexpr int kRestoreDefaults = 1301;
constexpr int kSettingsPageCount = 7;

// Runs the sheet over config, starting at its remembered page (page 0 when out of range).
SettingsSheetResult RunSettingsSheet(UserConfig& config, SettingsSheetHost& host, host::HWND owner);

// The display options of 0 take what the engine starts with: full-screen modes through the
// device's own modes, and DirectDraw drawing when the screen is enlarged.
void SetDisplayDefaults(UserConfig& config);

// Display option 2's default: DirectDraw drawing when the screen is enlarged.
inline constexpr uint8_t kDirectDrawDrawing = 2;

// The name of a DirectInput key code as the key fields show it; empty for a key that cannot be
// assigned.
std::string KeyName(int code);

// The sound page's TEST sounds, heard at the channels' current volumes: 0 the sound effect, 1 the
// system sound effect, 2 the voice ("VOICE\<name>_TEST.OGG" at the volume of a named character),
// on the last channel free of the scripts' sounds. Answers the channels' load or play result,
// kBadChannel when every channel holds a script's sound.
[[nodiscard]] int32_t PlaySettingsTestSound(SoundChannelManager& channels, int which,
                                            const VoiceCharacter* character = nullptr);

// Gives an outline renderer the player's font: face and boldness (a new font at the given height
// when either differs), antialiasing, gradation and decoration. Other renderers are left alone.
// Answers whether the renderer took the settings.
[[nodiscard]] bool ApplyFontLook(TextRenderer& renderer, const UserConfig& look, int32_t height,
                                 bool italic);

}  // namespace bw
