// The scene block of save data: what the scenario player writes after its script state so that a
// load can rebuild the picture (backgrounds, standing pictures, screen effects, looping sounds,
// music, choices and the message on screen). The block is read whole into a scratch copy and
// checked before anything of the running frame changes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "scenario/tgs/tgs_effect_commands.h"
#include "scenario/tgs/tgs_scene.h"
#include "scenario/tgs/tgs_sound.h"

namespace bw {

constexpr size_t kSceneHeaderBytes = 284;
constexpr size_t kSceneBackgroundBytes = 124;
constexpr size_t kSceneSpriteBytes = 140;
constexpr size_t kSceneTransformBytes = 48;
constexpr size_t kSceneSlotBytes = 76;
// Header, two backgrounds, 22 standing pictures, the window transform and the history flag.
constexpr size_t kSceneFixedBytes = 3661;
constexpr int kSceneSprites = 2 * kTgsSpriteSlots;
constexpr uint8_t kSceneChoicesMax = 8;
constexpr uint32_t kSceneMessageMax = 4095;
constexpr size_t kSceneShortTextMax = 253;  // one-byte lengths that count the NUL and themselves
constexpr float kSceneScaleMax = 64;
constexpr int32_t kSceneSlotKindMax = 14;
constexpr uint8_t kSceneToneMax = 6;

// SaveScene
constexpr int kSceneSaveBaseFailed = 2;
constexpr int kSceneSaveHistoryFailed = 3;
// LoadScene
constexpr int kSceneLoadBaseFailed = 1;
constexpr int kSceneLoadHistoryFailed = 2;
constexpr int kSceneLoadNoMessage = 3;
constexpr int kSceneLoadBad = 4;

struct TgsSavedChoice {
  uint32_t value = 0;
  uint8_t flag = 0;
  std::string text;
};

// The block's end: the choices on screen and the message being shown.
struct TgsSceneTail {
  uint32_t listValue = 0;
  std::vector<TgsSavedChoice> choices;
  std::string message;  // empty: none
  std::string speaker;
  std::string secondName;
};

struct TgsSceneBlock {
  int32_t messageIndex = -1;
  std::array<uint8_t, 4> switches{};  // library filters B and A, the sprite tint, one more
  std::array<int32_t, 6> quake{};     // active, three values, two flags
  int32_t window = 0;
  int32_t music = 0;
  int32_t placeX = 0;
  int32_t placeY = 0;
  uint8_t alignment = 0;
  uint8_t shown = 0;
  uint8_t styleGiven = 0;
  uint8_t frameOpacity = 0;
  int32_t frameStyle = 0;
  std::array<TgsScreenSlot, kTgsScreenSlots> slots;
  std::array<TgsBackgroundRecord, 2> backgrounds;
  // In stored order: back group (page 0, page 1), characters, front group.
  std::array<TgsSpriteRecord, kSceneSprites> sprites;
  std::array<uint8_t, kSceneTransformBytes> transform{};
  bool hasHistory = false;
  std::vector<uint8_t> history;  // the text history range as the log wrote it
  std::array<TgsReplayRecord, kTgsEffectChannels> replay;
  std::string label;
  TgsSceneTail tail;
};

// Where stored sprite i sits in the scene: page, and index among the page's eleven records.
struct TgsStoredSprite {
  int page;
  int index;
  int32_t group;
};
TgsStoredSprite StoredSprite(int i);

// Bytes WriteSceneBlock writes.
uint32_t SceneBlockSize(const TgsSceneBlock& block);
void WriteSceneBlock(const TgsSceneBlock& block, std::vector<uint8_t>& out);
// Reads and checks a block; the cursor moves only on success. 0, kSceneLoadHistoryFailed when the
// history range does not read, or kSceneLoadBad for anything else out of place.
[[nodiscard]] int ReadSceneBlock(ByteReader& in, TgsSceneBlock& block);

// What the rebuild of a loaded scene does, step by step: the frame does it on its scene, tests
// record it.
class TgsRebuildTarget {
 public:
  virtual ~TgsRebuildTarget() = default;
  // A stored standing picture (charIndex >= 0): the picture, its look and its persistent effect.
  virtual void RestoreSprite(const TgsStoredSprite& at, const TgsSpriteRecord& saved) = 0;
  virtual void RestoreBackground(int page, const TgsBackgroundRecord& saved) = 0;
  // A non-empty screen-effect slot: its command again with the stored words.
  virtual void RestoreScreenSlot(int slot, const TgsScreenSlot& saved) = 0;
  virtual void ReplayLoopingEffects() = 0;
  // Button 2 (back to the previous choice) follows whether a snapshot is kept.
  virtual void RestorePreviousChoice() = 0;
  virtual void RestoreScreenQuake(const std::array<int32_t, 6>& record) = 0;
  // The choices, the message on screen and the window's transform.
  virtual void RestoreTail(const TgsSceneBlock& saved) = 0;
  virtual void PlayMusic(int32_t number, uint32_t fadeMs) = 0;
  virtual void ShowMessageWindow() = 0;
  // Renders the scene into the back page and cross-fades it in over ms: 0, or -1 on quit.
  [[nodiscard]] virtual int ClosingFade(uint32_t ms) = 0;
};

constexpr uint32_t kRebuildFadeMs = 500;
constexpr uint32_t kRebuildMusicFadeMs = 1000;

// Whether a restored screen-effect slot keeps the screen moving (then no closing fade runs).
bool SlotAnimated(const TgsScreenSlot& slot);
// The ten steps of the rebuild. fastEffects leaves out the closing fade; keepWindowHidden leaves
// the message window as the tail left it. 0, or -1 when the application quits.
[[nodiscard]] int RebuildScene(const TgsSceneBlock& saved, TgsRebuildTarget& target,
                               bool fastEffects, bool keepWindowHidden);

// The tail's choice text as stored: cut to its room on a character boundary.
std::string_view StoredChoiceText(std::string_view text);

}  // namespace bw
