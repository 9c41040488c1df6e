// Compiled messages and choice lists from scripts, on arbitrary bytes: every token reader,
// seeking, plain-text extraction, the choices and drawing on a fixed-metric face stay inside
// the text and the picture.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "common/global.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "graphics/text/outline_text_renderer.h"
#include "host/font/fake_glyph_source.h"
#include "platform/trig_tables.h"
#include "scenario/message/script_message_text.h"
#include "script/guest_memory.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool tables = (bw::BuildBlendTables(), true);
  (void)tables;
  if (size < 4) return 0;
  // First byte: where the message ends and the choice list begins; second: options.
  const size_t split = 2 + data[0] % (size - 2);
  const uint8_t options = data[1];
  const std::span<const uint8_t> message(data + 2, split - 2);
  const std::span<const uint8_t> choices(data + split, size - split);

  bw::TrigTables trig;
  bw::ScopedGlobal<bw::TrigTables> trigScope(&trig);
  bw::GuestMemory memory(1 << 20);
  if (memory.Allocate(4096) == 0) return 0;  // references may land on something
  bw::host::FakeGlyphSource source((options & 1) != 0);
  bw::OutlineTextRenderer renderer(source, 16);
  // A font that cannot be made keeps the one in force.
  (void)renderer.SetFont(12 + options % 8, (options & 2) != 0, (options & 4) != 0, nullptr);
  bw::ImageSurface surface;
  if (surface.Create(64, 48, 32, bw::kImageDirtyList) != 0) return 0;
  bw::ScriptMessageText text(nullptr, &memory);
  text.SetHistoryEnabled(true);
  // The reads below are what is fuzzed: their answers only steer them.
  (void)text.SetHistoryCapacity(2);
  (void)text.SetOutput(&surface, nullptr, 1, 2, &renderer, (options & 8) != 0, (options & 16) != 0,
                       1);

  (void)text.SetMessage(message);
  (void)text.SetChoices(choices);
  for (int i = 0; i < 1024; ++i) {
    const int32_t kind = text.Advance((options & 32) != 0 && i % 3 == 0);
    Check(kind >= -1 && kind <= 8);
    if (kind == bw::MessageTextEngine::kEnd || kind == bw::MessageTextEngine::kMalformed) break;
  }
  Check(text.Cursor() <= (text.Body() ? text.Body()->size() : 0));
  // The reads are what is fuzzed: their answers only steer them.
  (void)text.SeekTag(options % 3, true);
  text.SetCursor(0);
  // The reads are what is fuzzed: their answers only steer them.
  (void)text.SkipToNextTag();
  char plain[64];
  const uint32_t count = text.ExtractPlainText(nullptr, 0, true);
  Check(text.ExtractPlainText(plain, sizeof plain, true) == count);
  for (int32_t i = 0; i < text.ChoiceCount(); ++i) {
    // The drawing is what is fuzzed: its answer only says whether it drew.
    (void)text.DrawChoice(i, 0, 0, nullptr, nullptr, bw::ScriptMessageText::kStoredOutline);
    text.IsChoiceRead(i);
  }
  // The drawing and the history are what is fuzzed: their answers only say whether they took.
  (void)text.DrawTextPart(0, 0, 1, nullptr, nullptr, 0);
  (void)text.SetMessage(message);  // stores the choices in the first entry
  std::vector<uint8_t> saved;
  text.SaveHistory(saved);
  Check(saved.size() == text.GetHistorySaveSize());
  bw::ByteReader back(saved);
  Check(text.LoadHistory(back, true) == 0 && back.atEnd());
  return 0;
}
