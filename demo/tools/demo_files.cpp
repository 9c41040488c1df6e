// demo_files: the demo game's application files and the pictures its WGX files are made from.
//
//   demo_files config DIR             SCRIPT\QZ_APP.SYS, SCRIPT\QZ_APP.INF and USER.CFG below DIR
//   demo_files backdrop OUT.bmp       the 640x480 background, 24 bits
//   demo_files sprite OUT.bmp         a 96x96 sprite with a soft-edged alpha, 32 bits
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "host/cp932.h"
#include "lib/bmp/bmp_builder.h"
#include "lib/config/config_writers.h"
#include "lib/file_bytes.h"
#include "lib/tool_exit.h"
#include "lib/wgx/sample_picture.h"

namespace {

using bw::tools::kExitFailed;
using bw::tools::kExitOk;

constexpr bw::tools::ToolUsage kUsage = {
    "demo_files: writes the demo game's application files and the bitmaps of its pictures.",
    "usage: demo_files config DIR\n"
    "       demo_files backdrop OUT.bmp\n"
    "       demo_files sprite OUT.bmp\n"};

int Usage() {
  return bw::tools::PrintUsage(kUsage);
}

std::string Cp932(const char* utf8) {
  return bw::host::Utf8ToCp932(utf8).text;
}

int Config(const char* folder) {
  bw::AppRecord record;  // 640x480, save-folder mode 1: everything stays in the game folder
  record.menuId = bw::kAppMenuId;
  record.acceleratorsId = bw::kAppAcceleratorsId;
  record.defaultScreenMode = bw::kScreenBoth;

  bw::AppInfo info;
  info.majorVersion = 1;
  info.minorVersion = 0;
  info.appName = Cp932("Brimwold デモ");
  info.productTitle = Cp932("Brimwold DX デモ");
  info.notice = Cp932("エンジンの動作確認用の小さなゲーム");
  info.saveFolderName = Cp932("Brimwold デモ SaveData");

  bw::EngineConfig config;
  config.display.screenMode = bw::kSavedScreenWindow;
  // The render list, not a canvas: every frame is drawn and shown, even one where nothing
  // changed, so a headless run can name its frames.
  config.engine.canvas = 0;

  std::string error;
  if (!bw::tools::WriteGameConfig(folder, record, info, config, &error)) {
    std::fprintf(stderr, "demo_files: %s\n", error.c_str());
    return kExitFailed;
  }
  return kExitOk;
}

int Picture(const char* out, uint32_t width, uint32_t height, uint32_t seed, bool alpha) {
  std::vector<uint32_t> pixels = bw::tools::MakeBackdrop(width, height, seed);
  bw::tools::BmpFields bmp;
  bmp.width = static_cast<int32_t>(width);
  bmp.height = -static_cast<int32_t>(height);
  bmp.bits = alpha ? 32 : 24;
  const size_t pitch = (width * (bmp.bits / 8) + 3) / 4 * 4;
  bmp.data.assign(pitch * height, 0);
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = bmp.data.data() + y * pitch;
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t p = pixels[size_t(y) * width + x];
      for (int c = 0; c < bmp.bits / 8; ++c) *row++ = static_cast<uint8_t>(p >> (8 * c));
    }
  }
  return bw::tools::WriteFileBytes("demo_files", out, bw::tools::BuildBmp(bmp)) ? kExitOk
                                                                                : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return kExitOk;
  if (argc != 3) return Usage();
  std::string_view command = argv[1];
  if (command == "config") return Config(argv[2]);
  if (command == "backdrop") return Picture(argv[2], 640, 480, 1, false);
  if (command == "sprite") return Picture(argv[2], 96, 96, 2, true);
  return Usage();
}
