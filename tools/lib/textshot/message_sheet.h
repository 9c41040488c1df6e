// A sheet of message windows drawn by the engine's text widgets on the installed faces: a framed
// window with a name box, a wrapped paragraph with kinsoku and a hanging indent, ruby, a
// highlighted link and the wait mark; a vertical page with an upright run; and the typing and the
// reveal caught at set virtual times. Each picture reports where it lies and where its marks
// should be, so that what it inks can be checked.
#pragma once

#include <string>
#include <vector>

#include "graphics/surface/image_surface.h"
#include "lib/textshot/text_sheet.h"
#include "platform/rect.h"

namespace bw::tools {

constexpr int32_t kMessageSheetWidth = 640;
constexpr int32_t kMessageSheetHeight = 480;

// Where the marks of the framed window are on the sheet.
struct MessageMarks {
  Rect link;          // the highlighted link's first rectangle
  Rect waitMark;      // the wait mark's cell
  Rect secondLine;    // the paragraph's second line
  int32_t hangX = 0;  // where the second line starts: after the opening bracket
};

// Makes sheet a 32-bit kMessageSheetWidth x kMessageSheetHeight image (background
// kSheetBackground) and draws every window; false (with the failing window's name in error)
// when one cannot be made.
bool DrawMessageSheet(ImageSurface* sheet, std::vector<TextSample>* samples, MessageMarks* marks,
                      std::string* error);

}  // namespace bw::tools
