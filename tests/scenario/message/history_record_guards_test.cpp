// The edges of the history's stored records: a chosen index at the end of its list and a packed
// choice record of the smallest size.
#include <gtest/gtest.h>

#include <vector>

#include "common/byte_reader.h"
#include "scenario/message/message_text_engine.h"
#include "scenario/message/text_history_log.h"

namespace bw {
namespace {

using Bytes = std::vector<uint8_t>;

// A stored log of one list of two choices; only an index naming one of them is kept.
TEST(HistoryRecordEdges, AChosenIndexIsKeptOnlyWhenItNamesAChoice) {
  const struct { int32_t stored, loaded; } cases[] = {{-2, -1}, {-1, -1}, {0, 0}, {1, 1}, {2, -1}};
  for (const auto& c : cases) {
    Bytes block{1, 0, 0, 0, 1, 2, 0, 0, 0};
    for (int k = 0; k < 4; ++k) block.push_back(uint8_t(uint32_t(c.stored) >> (8 * k)));
    block.insert(block.end(), {3, 0, 'a', 0, 3, 1, 'b', 0});
    TextHistoryLog log;
    log.SetCapacity(2);
    ByteReader reader(block);
    ASSERT_EQ(log.Load(reader, true), 0) << c.stored;
    EXPECT_EQ(std::get<ChoiceRecord>(log.GetEntry(0)->record).chosenIndex, c.loaded) << c.stored;
  }
}

// A record of three bytes is a choice whose text is empty; the walk goes on past it.
TEST(HistoryRecordEdges, AThreeBytePackedRecordIsAnEmptyChoice) {
  MessageTextEngine e;
  ASSERT_EQ(e.SetChoices(Bytes{0, 0, 0, 2, 3, 0, 0, 5, 0, 'a', 'b', 0}), 0);
  EXPECT_EQ(e.ChoiceCount(), 2);
  EXPECT_EQ(std::tuple(e.GetChoiceText(0), e.GetChoiceText(1)), std::tuple("", "ab"));
}

}  // namespace
}  // namespace bw
