// textshot OUT.bmp: draws the sheet of text samples with the engine's renderers and saves it.
// textshot messages OUT.bmp: the sheet of message windows drawn by the text widgets.
#include <cstdio>
#include <string>
#include <vector>

#include "lib/file_bytes.h"
#include "lib/textshot/message_sheet.h"
#include "lib/textshot/text_sheet.h"
#include "lib/tool_args.h"
#include "lib/tool_exit.h"

namespace {

constexpr bw::tools::ToolUsage kUsage = {
    "textshot: draws a sheet of text samples with the engine's text renderers on the installed "
    "faces, to look at.",
    "usage: textshot OUT.bmp\n"
    "       textshot messages OUT.bmp   the message windows: frame, name, ruby, link, wait mark,\n"
    "                                   a vertical page, the typing and the reveal\n"};

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return bw::tools::kExitOk;
  const bool messages = argc == 3 && std::string(argv[1]) == "messages";
  if (argc == 1) return bw::tools::PrintUsage(kUsage);
  if (argc != 2 && !messages) {
    return bw::tools::UsageError("textshot", kUsage, "takes OUT.bmp, or messages and OUT.bmp");
  }
  const char* out = argv[argc - 1];
  bw::ImageSurface sheet;
  std::vector<bw::tools::TextSample> samples;
  std::string error;
  bw::tools::MessageMarks marks;
  const bool drawn = messages ? bw::tools::DrawMessageSheet(&sheet, &samples, &marks, &error)
                              : bw::tools::DrawTextSheet(&sheet, &samples, &error);
  if (!drawn) {
    std::fprintf(stderr, "textshot: cannot draw the sample \"%s\"\n", error.c_str());
    return bw::tools::kExitFailed;
  }
  const std::vector<uint8_t> bmp = bw::tools::SheetBmp(sheet);
  if (!bw::tools::WriteFileBytes("textshot", out, bmp)) return bw::tools::kExitFailed;
  for (const bw::tools::TextSample& s : samples) {
    std::printf("%-15s %4d %4d %4d %4d\n", s.name.c_str(), s.box.left, s.box.top, s.box.right,
                s.box.bottom);
  }
  return bw::tools::kExitOk;
}
