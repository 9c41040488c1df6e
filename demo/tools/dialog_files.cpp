// dialog_files: the picture the save and load dialogs show for a slot without a thumbnail.
//
//   dialog_files nodata OUT.bmp    120x90, 24 bits: grey with a darker frame and cross
#include <cstdint>
#include <string_view>
#include <vector>

#include "lib/bmp/bmp_builder.h"
#include "lib/file_bytes.h"
#include "lib/tool_exit.h"

namespace {

constexpr bw::tools::ToolUsage kUsage = {
    "dialog_files: writes the bitmap of the dialogs' empty-slot picture.",
    "usage: dialog_files nodata OUT.bmp\n"};

int NoData(const char* out) {
  constexpr int32_t kWidth = 120;
  constexpr int32_t kHeight = 90;
  bw::tools::BmpFields bmp;
  bmp.width = kWidth;
  bmp.height = -kHeight;
  bmp.bits = 24;
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      // The cross runs corner to corner; the frame is two pixels wide.
      const bool edge = x < 2 || y < 2 || x >= kWidth - 2 || y >= kHeight - 2;
      const bool cross =
          (x * kHeight / kWidth - y) / 2 == 0 || (x * kHeight / kWidth + y - kHeight) / 2 == 0;
      const uint8_t level = edge || cross ? 0x50 : 0xA0;
      bmp.data.insert(bmp.data.end(), {level, level, level});
    }
  }
  return bw::tools::WriteFileBytes("dialog_files", out, bw::tools::BuildBmp(bmp))
             ? bw::tools::kExitOk
             : bw::tools::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "nodata") return NoData(argv[2]);
  return bw::tools::PrintUsage(kUsage);
}
