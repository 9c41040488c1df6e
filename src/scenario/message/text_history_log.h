// What the player has seen in the scenario player: finished messages with their speaker and
// voice, the choice lists offered with the choice taken, and snapshots of the scene shown with a
// voiced line. A ring of a fixed number of entries, saved with the game.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/byte_reader.h"

namespace bw {

struct MessageRecord {
  std::optional<std::string> speaker;  // without NUL; empty names are not kept
  std::optional<std::string> voice;
  std::vector<uint8_t> text;  // the message in the message text engine's token form
  uint32_t displayHeight = 0;
  uint8_t mark = 0;
};

struct ChoiceRecord {
  struct Choice {
    uint8_t flag = 0;
    std::string text;
  };
  std::vector<std::optional<Choice>> choices;  // one per offered choice, empty until added
  int32_t chosenIndex = -1;
};

struct SceneSprite {
  std::string name;
  int32_t x = 0;  // position less the anchor
  int32_t y = 0;
  std::array<uint32_t, 7> words{};
};

struct SceneSnapshot {
  std::optional<std::string> backgroundName;
  std::array<uint32_t, 11> backgroundWords{};
  std::vector<SceneSprite> sprites;  // front, character, back; each group by priority
};

struct HistoryEntry {
  enum Kind : uint8_t { kMessage = 0, kChoices = 1, kScene = 2 };
  Kind kind = kMessage;
  std::variant<MessageRecord, ChoiceRecord, SceneSnapshot> record;
  uint32_t serial = 0;
};

// The scene as the scene state hands it to a snapshot.
struct SceneBackgroundValues {
  std::string name;
  std::array<uint32_t, 11> words{};
};
struct SceneSpriteValues {
  std::string name;
  int32_t characterIndex = -1;  // below 0: no picture in this slot
  int32_t priority = 0;
  int32_t x = 0;  // position less the anchor
  int32_t y = 0;
  std::array<uint32_t, 7> words{};
};

class TextHistoryLog {
 public:
  // Without their NUL: names and voices take one length byte with it, choices also their flag.
  static constexpr size_t kMaxNameBytes = 254;
  static constexpr size_t kMaxChoiceBytes = 253;

  virtual ~TextHistoryLog() = default;

  void SetCapacity(int32_t capacity);
  void Clear();
  // Names and voices longer than a length byte allows are cut on a character boundary.
  [[nodiscard]] int32_t AddMessage(const uint8_t* text, uint32_t length, uint32_t displayHeight,
                                   const char* speaker, const char* voice, uint8_t mark);
  [[nodiscard]] int32_t BeginChoices(int32_t count);
  [[nodiscard]] int32_t AddChoice(const char* text, uint8_t flag);
  // Closes the open list and hands out its entry's serial, for SetChosenIndex once the player
  // has chosen.
  [[nodiscard]] int32_t EndChoices(uint32_t& serial);
  // False when that list has left the log meanwhile.
  [[nodiscard]] bool SetChosenIndex(uint32_t serial, int32_t index);
  [[nodiscard]] int32_t AddSceneSnapshot(const SceneBackgroundValues* background,
                                         std::span<const SceneSpriteValues, 5> characters,
                                         std::span<const SceneSpriteValues, 3> back,
                                         std::span<const SceneSpriteValues, 3> front);

  // Counted from the oldest; null outside 0..count-1.
  const HistoryEntry* GetEntry(int32_t index) const;
  int32_t Capacity() const { return static_cast<int32_t>(slots_.size()); }
  int32_t Count() const { return count_; }
  uint32_t NextSerial() const { return nextSerial_; }
  bool ChoicesOpen() const { return openSerial_.has_value(); }

  virtual uint32_t GetSaveSize(uint32_t fromSerial, uint32_t toSerial) const;
  [[nodiscard]] virtual int32_t Save(std::vector<uint8_t>& out, uint32_t fromSerial,
                                     uint32_t toSerial) const;
  // 0 loaded; 2 an unknown entry kind; 3 a malformed entry. The entries before a bad one stay.
  [[nodiscard]] virtual int32_t Load(ByteReader& in, bool restore);

 private:
  HistoryEntry& TakeSlot(HistoryEntry::Kind kind);
  HistoryEntry* EntryBySerial(uint32_t serial);
  template <typename Visit>
  void ForRange(uint32_t fromSerial, uint32_t toSerial, Visit visit) const;

  std::vector<std::unique_ptr<HistoryEntry>> slots_;
  int32_t count_ = 0;
  int32_t oldest_ = 0;
  uint32_t nextSerial_ = 0;
  int32_t choiceCursor_ = -1;
  std::optional<uint32_t> openSerial_;
};

}  // namespace bw
