// Typed byte runs, editing keys and clicks on a text field: single-line, multi-line, and either
// written vertically. The caret, the view's start and the line starts stay on character
// boundaries, and the text stays whole characters within the capacity.
//
// Byte 0: bit 0 multi-line, bit 1 vertical, bit 2 full-width only, bits 3-4 a narrow field.
// Then commands: 0x00-0x3F a key (of Left, Right, Up, Down, Home, End, Delete); 0x40-0x7F a click
// at the next two bytes; 0x80-0xBF a run of the next (c & 0x3F) + 1 bytes typed; 0xC0-0xFF the
// same run given to SetText.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/sjis.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/display_object.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/text/outline_text_renderer.h"
#include "gui/text_input_part.h"
#include "host/font/fake_glyph_source.h"
#include "input/mouse.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// A left button that is always newly pressed.
class ClickingMouse : public bw::Mouse {
 public:
  bool IsButtonPressed(int button) const override { return button == bw::kButtonLeft; }
  uint8_t GetKind() const override { return 0; }
  uint32_t Poll() override { return 0; }
};

// Whole characters: every lead byte has its trail, and no NUL inside.
bool WholeCharacters(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    if (text[at] == 0) return false;
    const size_t length = bw::sjis::CharLength(text, at);
    if (length == 1 && bw::sjis::IsLeadByte(text[at])) return false;
    at += length;
  }
  return true;
}

void CheckField(const bw::TextInputPart& field) {
  const std::string& text = field.Text();
  Check(static_cast<int64_t>(text.size()) <= field.MaxLength());
  Check(WholeCharacters(text));
  Check(bw::sjis::IsCharStart(text, field.Caret()));
  if (field.MaxLines() == 0) {
    Check(bw::sjis::IsCharStart(text, field.ColumnOffset()));
    return;
  }
  Check(field.ColumnOffset() <= field.Caret());
  Check(bw::sjis::IsCharStart(text, field.Caret() - field.ColumnOffset()));
  Check(field.LineCount() >= 1 && field.LineCount() <= field.MaxLines());
  size_t previous = 0;
  for (int32_t line = 0; line < field.LineCount(); ++line) {
    const size_t start = field.LineStarts()[static_cast<size_t>(line)];
    Check(start >= previous && bw::sjis::IsCharStart(text, start));
    previous = start;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool tables = (bw::BuildBlendTables(), true);
  (void)tables;
  if (size < 1) return 0;
  const uint8_t options = data[0];
  bw::ScopedPixelLibrary library(&bw::BuiltInPixelLibrary());
  bw::host::FakeGlyphSource source;
  bw::OutlineTextRenderer font(source, 16);
  // A font that cannot be made keeps the one in force.
  (void)font.SetFont(16, false, false, nullptr);
  if (options & 2) (void)font.SetOrientation(bw::kVerticalEscapement);
  bw::DisplayObjectList list;
  bw::TextInputPart field;
  const int32_t width = options & 0x18 ? 8 * ((options >> 3) & 3) + 34 : 120;
  const bw::TextInputLayout layout{.order = 1,
                                   .font = &font,
                                   .lines = 3,
                                   .width = width,
                                   .margin = 1,
                                   .lineSpacing = 2,
                                   .border = true};
  const int rc = options & 1 ? field.CreateMultiLine(&list, nullptr, nullptr, layout, {}, 0)
                             : field.Create(&list, nullptr, nullptr, layout, {}, 0);
  Check(rc == bw::kTextInputDone);
  field.SetFullWidthOnly((options & 4) != 0);
  ClickingMouse mouse;
  static constexpr uint32_t kKeys[] = {0x25, 0x27, 0x26, 0x28, 0x24, 0x23, 0x2E};
  for (size_t at = 1; at < size;) {
    const uint8_t command = data[at++];
    if (command < 0x40) {
      (void)field.OnTextKey(kKeys[command % 7]);
    } else if (command < 0x80) {
      if (at + 2 > size) break;
      (void)field.OnPointerInput(data[at], data[at + 1], &mouse);
      at += 2;
    } else {
      const size_t length = std::min<size_t>((command & 0x3F) + 1u, size - at);
      const std::string run(reinterpret_cast<const char*>(data + at), length);
      at += length;
      if (command < 0xC0) {
        (void)field.OnTextInput(run.data(), static_cast<int32_t>(run.size()));
      } else {
        (void)field.SetText(run.c_str());
      }
    }
    CheckField(field);
  }
  return 0;
}
