// Text fields on the fixed-metric fake face (height 16: a one-byte character advances 8 pixels, a
// two-byte one 16), a display list, a timer service and the controls' world of gui_fixture.h.
#pragma once

#include <string>

#include "graphics/surface/display_object.h"
#include "gui/text_input_part.h"
#include "gui_fixture.h"
#include "platform/timer_service.h"
#include "support/text_renderers.h"

namespace bw::test {

// A two-byte character.
constexpr char kA[] = "\x82\xA0";  // あ

class TextFieldTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    (void)font.SetFont(16, false, false, nullptr);
    (void)vertical.SetFont(16, false, false, nullptr);
    (void)vertical.SetOrientation(kVerticalEscapement);
  }
  // A single-line field 200 pixels long with a one-pixel margin, no border.
  void MakeLine(TextInputPart& field, TextRenderer& renderer, int32_t width = 200,
                ImeContext* ime = nullptr) {
    ASSERT_EQ(
        field.Create(&list, &timers, ime,
                     {.order = 1, .font = &renderer, .width = width, .x = 10, .y = 20, .margin = 1},
                     {}, 0),
        kTextInputDone);
  }
  void MakeBlock(TextInputPart& field, TextRenderer& renderer, int32_t lines, int32_t width) {
    // clang-format off
    const TextInputLayout layout{.order = 1, .font = &renderer, .lines = lines, .width = width,
                                 .x = 10, .y = 20, .lineSpacing = 2};
    // clang-format on
    ASSERT_EQ(field.CreateMultiLine(&list, &timers, nullptr, layout, {}, 0), kTextInputDone);
  }
  static void Type(TextEditBase& field, const std::string& bytes) {
    (void)field.OnTextInput(bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  static std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  }

  OutlineTextRenderer font{testing_text::FakeSource(), 16};
  OutlineTextRenderer vertical{testing_text::FakeSource(), 16};
  DisplayObjectList list;
  TimerService timers;
};

}  // namespace bw::test
