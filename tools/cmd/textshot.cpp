// textshot OUT.bmp: draws the sheet of text samples with the engine's renderers and saves it.
#include <cstdio>
#include <string>
#include <vector>

#include "lib/file_bytes.h"
#include "lib/textshot/text_sheet.h"
#include "lib/tool_exit.h"

namespace {

constexpr bw::tools::ToolUsage kUsage = {
    "textshot: draws a sheet of text samples with the engine's text renderers on the installed "
    "faces, to look at.",
    "usage: textshot OUT.bmp\n"};

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return bw::tools::kExitOk;
  if (argc != 2) return bw::tools::PrintUsage(kUsage);
  bw::ImageSurface sheet;
  std::vector<bw::tools::TextSample> samples;
  std::string error;
  if (!bw::tools::DrawTextSheet(&sheet, &samples, &error)) {
    std::fprintf(stderr, "textshot: cannot draw the sample \"%s\"\n", error.c_str());
    return bw::tools::kExitFailed;
  }
  const std::vector<uint8_t> bmp = bw::tools::SheetBmp(sheet);
  if (!bw::tools::WriteFileBytes("textshot", argv[1], bmp)) return bw::tools::kExitFailed;
  for (const bw::tools::TextSample& s : samples) {
    std::printf("%-15s %4d %4d %4d %4d\n", s.name.c_str(), s.box.left, s.box.top, s.box.right,
                s.box.bottom);
  }
  return bw::tools::kExitOk;
}
