#include "scenario/message/text_history_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace bw {
namespace {

int AddText(TextHistoryLog& log, const std::string& text, const char* speaker = nullptr,
            const char* voice = nullptr) {
  return log.AddMessage(reinterpret_cast<const uint8_t*>(text.data()),
                        static_cast<uint32_t>(text.size()), 40, speaker, voice, 0);
}

std::string TextOf(const HistoryEntry* entry) {
  const auto& text = std::get<MessageRecord>(entry->record).text;
  return std::string(text.begin(), text.end());
}

std::vector<uint8_t> Saved(const TextHistoryLog& log, uint32_t from = 0, uint32_t to = UINT32_MAX) {
  std::vector<uint8_t> out;
  EXPECT_EQ(log.Save(out, from, to), 0);
  EXPECT_EQ(out.size(), log.GetSaveSize(from, to));
  return out;
}

// A log holding one entry of each kind.
void FillAllKinds(TextHistoryLog& log) {
  AddText(log, "hello", "Ann", "v001");
  ASSERT_EQ(log.BeginChoices(2), 0);
  ASSERT_EQ(log.AddChoice("left", 1), 0);
  ASSERT_EQ(log.AddChoice("right", 0), 0);
  uint32_t serial = 0;
  ASSERT_EQ(log.EndChoices(serial), 0);
  ASSERT_TRUE(log.SetChosenIndex(serial, 1));
  SceneBackgroundValues background{"bg01", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
  std::array<SceneSpriteValues, 5> characters{};
  std::array<SceneSpriteValues, 3> back{}, front{};
  characters[0] = {"girl", 2, 20100, -5, 7, {1, 2, 3, 4, 5, 6, 7}};
  characters[1] = {"boy", 0, 20000, 3, 4, {}};
  characters[2] = {"gone", -1, 0, 0, 0, {}};  // no picture: not kept
  front[0] = {"rain", 0, 30000, 0, 0, {}};
  ASSERT_EQ(log.AddSceneSnapshot(&background, characters, back, front), 0);
}

TEST(TextHistoryLogTest, RingKeepsTheNewest) {
  TextHistoryLog log;
  EXPECT_EQ(AddText(log, "x"), 2);  // no capacity yet
  log.SetCapacity(3);
  for (int i = 1; i <= 5; ++i) ASSERT_EQ(AddText(log, "m" + std::to_string(i)), 0);
  ASSERT_EQ(log.Count(), 3);
  EXPECT_EQ(TextOf(log.GetEntry(0)), "m3");
  EXPECT_EQ(log.GetEntry(3), nullptr);
  EXPECT_EQ(log.AddMessage(nullptr, 0, 0, nullptr, nullptr, 0), 1);

  TextHistoryLog ten;
  ten.SetCapacity(10);
  for (int i = 0; i < 13; ++i) AddText(ten, "m" + std::to_string(i));
  ten.SetCapacity(4);
  ASSERT_EQ(ten.Count(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(TextOf(ten.GetEntry(i)), "m" + std::to_string(9 + i));
  ten.SetCapacity(0);
  EXPECT_EQ(ten.Count(), 0);
  EXPECT_EQ(ten.GetSaveSize(0, UINT32_MAX), 0u);
}

TEST(TextHistoryLogTest, ChoiceListsOpenAndClose) {
  TextHistoryLog log;
  log.SetCapacity(3);
  uint32_t serial = 0;
  // Nothing to end before a choice is added; an open list refuses another and its third choice.
  EXPECT_EQ((std::vector{log.BeginChoices(0), log.BeginChoices(2), log.EndChoices(serial),
                         log.BeginChoices(1), log.AddChoice(nullptr, 0), log.AddChoice("a", 0),
                         log.AddChoice("b", 0), log.AddChoice("c", 0), log.EndChoices(serial),
                         log.AddChoice("d", 0)}),
            (std::vector{1, 0, 1, 3, 1, 0, 0, 3, 0, 2}));

  // The list leaves the ring before the player chooses: the choice is not written anywhere.
  for (int i = 0; i < 3; ++i) AddText(log, "later");
  EXPECT_FALSE(log.SetChosenIndex(serial, 0));
  // A list pushed out while still open is closed with it.
  ASSERT_EQ(log.BeginChoices(1), 0);
  for (int i = 0; i < 3; ++i) AddText(log, "later");
  EXPECT_EQ(log.AddChoice("e", 0), 2);
  EXPECT_EQ(log.BeginChoices(1), 0);
}

TEST(TextHistoryLogTest, SavesRangesAndLoadsThemBack) {
  TextHistoryLog log;
  log.SetCapacity(8);
  FillAllKinds(log);
  AddText(log, "bye");  // no speaker, no voice: two zero length bytes

  const std::vector<uint8_t> all = Saved(log);
  const std::vector<uint8_t> last = Saved(log, 3, 3);
  EXPECT_EQ(last,
            (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 'b', 'y', 'e', 40, 0, 0, 0, 0}));
  EXPECT_EQ(Saved(log, 10, 20), (std::vector<uint8_t>{0, 0, 0, 0}));

  TextHistoryLog loaded;
  loaded.SetCapacity(8);
  ByteReader reader(all);
  ASSERT_EQ(loaded.Load(reader, true), 0);
  EXPECT_TRUE(reader.atEnd());
  EXPECT_EQ(Saved(loaded), all);
  const auto& scene = std::get<SceneSnapshot>(loaded.GetEntry(2)->record);
  ASSERT_EQ(scene.sprites.size(), 3u);
  EXPECT_EQ(scene.sprites[0].name + scene.sprites[1].name + scene.sprites[2].name, "rainboygirl")
      << "front, then characters by priority";

  // Fewer slots keep the newest; without restore the block is only stepped over.
  TextHistoryLog two;
  two.SetCapacity(2);
  ByteReader again(all);
  ASSERT_EQ(two.Load(again, true), 0);
  EXPECT_EQ(two.GetEntry(1)->serial, 3u);
  ByteReader skipped(all);
  ASSERT_EQ(two.Load(skipped, false), 0);
  EXPECT_TRUE(skipped.atEnd());
  EXPECT_EQ(two.Count(), 0);
}

TEST(TextHistoryLogTest, MalformedBlocksKeepWhatCameBefore) {
  TextHistoryLog log;
  log.SetCapacity(8);
  FillAllKinds(log);
  const std::vector<uint8_t> all = Saved(log);
  for (size_t cut = 0; cut < all.size(); ++cut) {
    TextHistoryLog loaded;
    loaded.SetCapacity(8);
    ByteReader reader(all.data(), cut);
    ASSERT_EQ(loaded.Load(reader, true), 3) << cut;
    ASSERT_LE(loaded.Count(), 2) << cut;
  }

  std::vector<uint8_t> badKind = all;
  badKind[0] = 4;  // a fourth entry that is not there
  badKind.push_back(7);
  TextHistoryLog loaded;
  loaded.SetCapacity(8);
  ByteReader reader(badKind);
  EXPECT_EQ(loaded.Load(reader, true), 2);
  EXPECT_EQ(loaded.Count(), 3);

  // A huge choice count fails before anything is made; a chosen index out of range loads as -1.
  const std::vector<uint8_t> huge{1, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0};
  ByteReader hugeReader(huge);
  EXPECT_EQ(loaded.Load(hugeReader, true), 3);
  const std::vector<uint8_t> chosen{1, 0, 0, 0, 1, 1, 0, 0, 0, 9, 0, 0, 0, 3, 0, 'a', 0};
  ByteReader chosenReader(chosen);
  ASSERT_EQ(loaded.Load(chosenReader, true), 0);
  EXPECT_EQ(std::get<ChoiceRecord>(loaded.GetEntry(0)->record).chosenIndex, -1);
}

TEST(TextHistoryLogTest, CutsLongNamesOnCharacters) {
  TextHistoryLog log;
  log.SetCapacity(2);
  std::string name;
  for (int i = 0; i < 200; ++i) name += "\x88\x9F";  // 400 bytes of double-byte characters
  AddText(log, "t", name.c_str(), "");
  const auto& m = std::get<MessageRecord>(log.GetEntry(0)->record);
  ASSERT_TRUE(m.speaker);
  EXPECT_EQ(m.speaker->size(), 254u);
  EXPECT_FALSE(m.voice);
  ASSERT_EQ(log.BeginChoices(1), 0);
  ASSERT_EQ(log.AddChoice(name.c_str(), 0), 0);
  EXPECT_EQ(std::get<ChoiceRecord>(log.GetEntry(1)->record).choices[0]->text.size(), 252u);
  const std::vector<uint8_t> saved = Saved(log);
  TextHistoryLog loaded;
  loaded.SetCapacity(2);
  ByteReader reader(saved);
  ASSERT_EQ(loaded.Load(reader, true), 0);
  EXPECT_EQ(Saved(loaded), saved);
}

}  // namespace
}  // namespace bw
