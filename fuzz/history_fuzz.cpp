// Saved histories on arbitrary bytes: the main script's message history and the scenario
// player's text log either load or refuse, never read past the block, and what loads saves and
// loads again to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "scenario/message/message_text_engine.h"
#include "scenario/message/text_history_log.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void MessageHistory(const uint8_t* data, size_t size) {
  bw::MessageTextEngine engine;
  // A ring of at most seven entries always has the memory.
  (void)engine.SetHistoryCapacity(data[0] % 8);
  bw::ByteReader in(data + 1, size - 1);
  if (engine.LoadHistory(in, true) != 0) {
    Check(engine.HistoryCount() == 0);
    return;
  }
  std::vector<uint8_t> saved;
  engine.SaveHistory(saved);
  Check(saved.size() == engine.GetHistorySaveSize());
  for (int i = 0; i < engine.HistoryCount(); ++i) {
    // Every index shows, clamped into the history.
    (void)engine.ShowHistoryAt(i);
    while (engine.NextToken() == bw::MessageTextEngine::kCharacter) {
    }
  }
  bw::MessageTextEngine again;
  // A ring of at most seven entries always has the memory.
  (void)again.SetHistoryCapacity(data[0] % 8);
  bw::ByteReader back(saved);
  Check(again.LoadHistory(back, true) == 0 && back.atEnd());
  std::vector<uint8_t> resaved;
  again.SaveHistory(resaved);
  Check(resaved == saved);
}

void TextLog(const uint8_t* data, size_t size) {
  bw::TextHistoryLog log;
  log.SetCapacity(data[0] % 8);
  bw::ByteReader in(data + 1, size - 1);
  const int32_t result = log.Load(in, true);
  Check(result == 0 || result == 2 || result == 3);
  if (log.Capacity() == 0) return;
  std::vector<uint8_t> saved;
  Check(log.Save(saved, 0, UINT32_MAX) == 0);
  Check(saved.size() == log.GetSaveSize(0, UINT32_MAX));
  bw::TextHistoryLog again;
  again.SetCapacity(log.Capacity());
  bw::ByteReader back(saved);
  Check(again.Load(back, true) == 0 && back.atEnd());
  std::vector<uint8_t> resaved;
  Check(again.Save(resaved, 0, UINT32_MAX) == 0);
  Check(resaved == saved);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  if (data[0] & 0x80) {
    TextLog(data, size);
  } else {
    MessageHistory(data, size);
  }
  return 0;
}
