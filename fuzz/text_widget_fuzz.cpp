// Any bytes as message text, typed by the main script's message window and laid out by the
// scenario text window, in both layouts on a small page: '@' and digits, '\', '$', '&', tags,
// kinsoku characters and embedded call records with any sizes stay inside the text and the page.
// The first byte chooses the options; the rest is the text.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "common/global.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/display_object.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/text/outline_text_renderer.h"
#include "gui/script_text.h"
#include "gui/text_typing_task.h"
#include "gui/text_view.h"
#include "host/clock.h"
#include "host/font/fake_glyph_source.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"
#include "scenario/message/message_text_engine.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Embedded calls succeed unless their function number is odd; ruby calls reach the view.
class Runner : public bw::TgsCallRunner {
 public:
  int RunCall(std::span<const uint8_t> record) override {
    Check(record.size() >= 2 + bw::kCallRecordMinSize);
    const uint8_t number = record[6];
    if (number == 2) (void)view->BeginRuby();
    if (number == 4) (void)view->DrawRuby("ab", nullptr);
    return number & 1;
  }
  int MessageState() const override { return 0; }
  bw::TextView* view = nullptr;
};

class Environment : public bw::TypingEnvironment {
 public:
  bw::TextSpeedSettings GetTextSpeeds() const override { return {}; }
  bool IsSkipModifierDown() const override { return false; }
  bool IsSkipForbidden() const override { return false; }
  uint32_t Now() const override { return now; }
  uint32_t now = 0;
};

void Type(std::string_view text, uint8_t options, bw::TextRenderer* main) {
  bw::host::VirtualClock clock(0);
  bw::ScopedGlobal<bw::host::ClockSource> clockScope(&clock);
  bw::DisplayObjectList list;
  bw::MessageTextEngine engine;
  bw::TimerService timers;
  Environment env;
  bw::ScriptText window(&engine, &timers);
  if (window.Create(&list, 1, 96, 64, 0, 0, main, nullptr, 0) != 0) return;
  window.SetEnvironment(&env);
  if (options & 2) (void)window.SetVertical(true, true);
  window.SetCentreWide((options & 4) != 0);
  engine.ParseMessageText({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  (void)window.StartDisplay(options & 8 ? 1 : 0);
  for (uint32_t t = 0; t < 64 && window.GetTask(); ++t) {
    env.now = t * 40;
    clock.SetMilliseconds(env.now);
    timers.RunDue(env.now);
    (void)window.StepDisplay(int(t % 4));
    Check(engine.Cursor() <= (engine.Body() ? engine.Body()->size() : 0));
  }
  (void)window.StartDisplayAll();
  Check(window.GetTask() && window.GetTask()->GetState() == bw::kTypingFinished);
}

void Lay(std::string_view text, uint8_t options, bw::TextRenderer* main, bw::TextRenderer* ruby) {
  bw::DisplayObjectList list;
  Runner runner;
  bw::TextView view;
  runner.view = &view;
  (void)view.SetFrameSlices(4, 4, 1, 1);
  bw::ImageSurface frame;
  if (frame.Create(9, 9, 32, bw::kImageDibSection) != 0) return;
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)frame.Fill(0xFF102030, nullptr);
  (void)view.SetBackgroundImages(&frame, nullptr, nullptr, false);
  if (view.Create(&list, 1, 96, 64, 0, 0, main, ruby, 0) != 0) return;
  view.SetFrame(&runner);
  if (options & 2) (void)view.SetVertical(true, true);
  view.SetIndentChars("\x81\x75(");
  view.SetRevealTime(options & 16 ? 5 : 0);
  (void)view.SetSoftEdge(options & 32 ? 24 : -1);
  view.SetPlacement(options % 3, 50, 40, options & 64 ? 0 : -1, 0, 200, 150);
  (void)view.SetMessage(text.data(), text.size());
  if (view.ShowMessage(true) == 0) {
    for (uint32_t t = 0; t < 8; ++t) (void)view.OnTick(1000 + t * 37);
    (void)view.StopReveal();
    Check(view.GetRevealState() == bw::kRevealIdle);
  }
  bw::Rect box;
  const int lines = view.MeasureText(text, &box, (options & 128) != 0, true);
  Check(lines >= bw::kMeasureCallFailed);
  (void)view.DrawTextAt(text, 0, 0, (options & 128) != 0, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool tables = (bw::BuildBlendTables(), true);
  (void)tables;
  if (size < 1) return 0;
  const uint8_t options = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  bw::ScopedPixelLibrary library(&bw::BuiltInPixelLibrary());
  bw::TrigTables trig;
  bw::ScopedGlobal<bw::TrigTables> trigScope(&trig);
  bw::host::FakeGlyphSource source((options & 1) != 0);
  bw::OutlineTextRenderer main(source, 16);
  bw::OutlineTextRenderer ruby(source, 16);
  // A font that cannot be made keeps the one in force.
  (void)main.SetFont(12, false, false, "Face");
  (void)ruby.SetFont(6, false, false, "Face");
  // The message window reads a NUL-terminated body; the text window takes the bytes as given.
  Type(std::string(text), options, &main);
  // A font that cannot be made keeps the one in force.
  (void)main.SetFont(12, false, false, "Face");
  Lay(text, options, &main, &ruby);
  return 0;
}
