// The scene's effect bookkeeping: the three screen-effect slots that keep what the scene rebuild
// needs of a running screen effect, and how they follow a page swap.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace bw {

class DisplayEffect;

constexpr int kTgsScreenSlots = 3;
// A name kept in a slot holds at most this many bytes.
constexpr size_t kTgsSlotNameMax = 47;

// Slot kinds.
constexpr int32_t kSlotNoise = 1;
constexpr int32_t kSlotPathAnime = 2;
constexpr int32_t kSlotQuake = 3;
constexpr int32_t kSlotRaster = 4;
constexpr int32_t kSlotHaze10 = 5;
constexpr int32_t kSlotHaze20 = 6;
constexpr int32_t kSlotLoop = 7;
constexpr int32_t kSlotMovie = 8;
constexpr int32_t kSlotParts = 9;
constexpr int32_t kSlotCross = 10;
constexpr int32_t kSlotWeather = 11;  // + index 0-3

// Effect command results.
constexpr int32_t kEffectUnknownKeyword = 1;
constexpr int32_t kEffectSetUpFailed = 2;
constexpr int32_t kTransitionNoLayer = 1;
constexpr int32_t kTransitionUnknown = 2;
constexpr int32_t kTransitionStartFailed = 3;
constexpr int32_t kNoCommandFunction = -2;
constexpr int32_t kSlotBad = 1;
constexpr int32_t kSlotNotRunning = 1;
constexpr int32_t kSlotRefusesArgs = 2;
constexpr int32_t kRuleNotLoaded = -1;
constexpr int32_t kBadTransitionIndex = -1;
constexpr int32_t kWindowNotReady = 2;
constexpr int32_t kPartsBadCharacter = 3;  // a standing picture's parts: no character 0-6

struct TgsScreenSlot {
  std::array<int32_t, 7> words{};  // 0 kind, 1-6 what the rebuild needs
  std::string name;
  DisplayEffect* effect = nullptr;

  int32_t Kind() const { return words[0]; }
};

// The slot's words after the pages were exchanged (mode 1 or 2).
void SwapSlotPages(TgsScreenSlot& slot);

}  // namespace bw
