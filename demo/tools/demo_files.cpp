// demo_files: the demo game's application files and the pictures its WGX files are made from.
//
//   demo_files config DIR [NAME]      SCRIPT\QZ_APP.SYS, SCRIPT\QZ_APP.INF and USER.CFG below DIR,
//                                     and the player's first settings, DIR/APP_CFG.DAT; NAME
//                                     (UTF-8) names another game of the same shape
//   demo_files backdrop OUT.bmp       the 800x600 background, 24 bits
//   demo_files sprite OUT.bmp         a 96x96 sprite with a soft-edged alpha, 32 bits
//   demo_files frame DIR              the scenario frame's pictures and button set in DIR/SYS,
//                                     its background table DIR/DATA/BG.TXT, the pictures its
//                                     scenes change to (a second background, a standing figure
//                                     and rule 1), and DIR/tvpgl.dll, without which sprites
//                                     show no pictures (any file of that name gives the engine's
//                                     own routines)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/config/user_config.h"
#include "graphics/surface/pixel_library.h"
#include "host/cp932.h"
#include "lib/bmp/bmp_builder.h"
#include "lib/config/config_writers.h"
#include "lib/file_bytes.h"
#include "lib/gmp/gmp_writer.h"
#include "lib/tool_exit.h"
#include "lib/wgx/sample_picture.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/gmp_file.h"

namespace {

using bw::tools::kExitFailed;
using bw::tools::kExitOk;

constexpr bw::tools::ToolUsage kUsage = {
    "demo_files: writes the demo game's application files and the bitmaps of its pictures.",
    "usage: demo_files config DIR [NAME]   NAME: another game's name\n"
    "       demo_files backdrop OUT.bmp\n"
    "       demo_files sprite OUT.bmp\n"
    "       demo_files frame DIR\n"};

int Usage() {
  return bw::tools::PrintUsage(kUsage);
}

std::string Cp932(const char* utf8) {
  return bw::host::Utf8ToCp932(utf8).text;
}

int Config(const char* folder, const char* name) {
  bw::AppRecord record;  // save-folder mode 1: everything stays in the game folder
  // The scenario frame's windows and buttons are laid out for 800 x 600.
  record.canvasWidth = 800;
  record.canvasHeight = 600;
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
  if (name) {
    const bw::host::Cp932Conversion named = bw::host::Utf8ToCp932(name);
    if (!named.ok || named.text.empty()) {
      std::fprintf(stderr, "demo_files: the name has no CP932 form: %s\n", name);
      return kExitFailed;
    }
    info.appName = info.productTitle = named.text;
    info.notice.clear();
    info.saveFolderName.reset();
  }

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
  // The game's lines are voiced, and the sound page keeps its voice box disabled: the player's
  // settings come with the voices on, the engine's defaults otherwise.
  bw::UserConfig user;
  user.voiceOn = 1;
  std::error_code failed;
  if (!bw::SaveUserConfig(std::filesystem::path(folder) / "APP_CFG.DAT", user, &failed)) {
    std::fprintf(stderr, "demo_files: APP_CFG.DAT: %s\n", failed.message().c_str());
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

// A picture of one colour with a lighter rim of the given width (none when 0).
bw::tools::WgxPicture Panel(uint32_t width, uint32_t height, uint32_t argb, uint32_t rim,
                            uint32_t rimArgb) {
  bw::tools::WgxPicture p;
  p.depth = 32;
  p.width = width;
  p.height = height;
  p.pixels.resize(size_t{width} * height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const bool edge = x < rim || y < rim || x + rim >= width || y + rim >= height;
      p.pixels[size_t(y) * width + x] = edge ? rimArgb : argb;
    }
  }
  return p;
}

// An 8-bit mask: opaque inside, fading to nothing over the outer pixels.
bw::tools::WgxPicture Mask(uint32_t width, uint32_t height) {
  bw::tools::WgxPicture p;
  p.depth = 8;
  p.width = width;
  p.height = height;
  for (uint32_t i = 0; i < 256; ++i) p.palette.push_back(i * 0x010101);
  p.pixels.resize(size_t{width} * height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t d = std::min({x, y, width - 1 - x, height - 1 - y});
      p.pixels[size_t(y) * width + x] = d >= 4 ? 255 : d * 60;
    }
  }
  return p;
}

// Cells of the wait mark: a dot that grows over five cells.
bw::tools::WgxPicture WaitMark(uint32_t argb) {
  constexpr uint32_t kCell = 16;
  bw::tools::WgxPicture p;
  p.depth = 32;
  p.width = kCell * 5;
  p.height = kCell;
  p.pixels.assign(size_t{p.width} * kCell, 0);
  for (uint32_t c = 0; c < 5; ++c) {
    const uint32_t r = 2 + c;
    for (uint32_t y = 0; y < kCell; ++y) {
      for (uint32_t x = 0; x < kCell; ++x) {
        const int dx = int(x) - 8, dy = int(y) - 8;
        if (uint32_t(dx * dx + dy * dy) <= r * r)
          p.pixels[size_t(y) * p.width + c * kCell + x] = argb;
      }
    }
  }
  return p;
}

// A second background for the scenario's scene changes.
bw::tools::WgxPicture Backdrop(uint32_t seed) {
  bw::tools::WgxPicture p;
  p.width = 800;
  p.height = 600;
  p.pixels = bw::tools::MakeBackdrop(p.width, p.height, seed);
  return p;
}

// A standing figure: a round head over a widening body, a soft rim of alpha around both.
bw::tools::WgxPicture Figure(uint32_t argb) {
  bw::tools::WgxPicture p;
  p.depth = 32;
  p.width = 180;
  p.height = 360;
  p.pixels.assign(size_t{p.width} * p.height, 0);
  // Its corner when it stands in the middle of the 800 x 600 screen.
  p.offsetX = 400 - 90;
  p.offsetY = 600 - 360;
  for (uint32_t y = 0; y < p.height; ++y) {
    for (uint32_t x = 0; x < p.width; ++x) {
      const int dx = int(x) - 90, dy = int(y) - 60;
      // Inside distance in pixels: of the head (radius 45) or of the body below it.
      int inside = 45 - int(std::lround(std::sqrt(double(dx * dx + dy * dy))));
      if (y >= 110)
        inside = std::max(inside, std::min(int(y) - 110, 30 + int(y - 110) / 5 - std::abs(dx)));
      if (inside <= 0) continue;
      const uint32_t alpha = uint32_t(std::min(inside * 64, 255));
      const uint32_t shade = y < 110 ? 0xF0D0B0 : (argb & 0xFFFFFF);
      p.pixels[size_t(y) * p.width + x] = alpha << 24 | shade;
    }
  }
  return p;
}

// Rule 1: an 8-bit diagonal ramp, so its transition sweeps from the top left.
bw::tools::WgxPicture Rule() {
  bw::tools::WgxPicture p;
  p.depth = 8;
  p.width = 800;
  p.height = 600;
  for (uint32_t i = 0; i < 256; ++i) p.palette.push_back(i * 0x010101);
  p.pixels.resize(size_t{p.width} * p.height);
  for (uint32_t y = 0; y < p.height; ++y) {
    for (uint32_t x = 0; x < p.width; ++x) p.pixels[size_t(y) * p.width + x] = (x + y) * 255 / 1398;
  }
  return p;
}

int Frame(const char* folder) {
  const std::string sys = std::string(folder) + "/SYS/";
  std::error_code made;
  for (const char* sub : {"SYS", "DATA"}) {
    if (!std::filesystem::create_directories(std::filesystem::path(folder) / sub, made) && made) {
      std::fprintf(stderr, "demo_files: cannot make %s/%s: %s\n", folder, sub,
                   made.message().c_str());
      return kExitFailed;
    }
  }
  struct Out {
    const char* name;
    bw::tools::WgxPicture picture;
  };
  constexpr uint32_t kButtonWidth = 76, kButtonHeight = 21;
  // A button strip holds its four states side by side: normal, hover, pressed, disabled.
  const uint32_t states[] = {0xFF304870, 0xFF4870B0, 0xFF203050, 0xFF505050};
  bw::tools::WgxPicture button = Panel(kButtonWidth * 4, kButtonHeight, 0, 0, 0);
  for (uint32_t s = 0; s < 4; ++s) {
    const bw::tools::WgxPicture one = Panel(kButtonWidth, kButtonHeight, states[s], 1, 0xFFC0C8E0);
    for (uint32_t y = 0; y < kButtonHeight; ++y) {
      for (uint32_t x = 0; x < kButtonWidth; ++x) {
        button.pixels[size_t(y) * button.width + s * kButtonWidth + x] =
            one.pixels[size_t(y) * kButtonWidth + x];
      }
    }
  }
  const Out outs[] = {
      // The message window at (15, 475) holds two lines, each with room for ruby, and the wait
      // mark at (735, 75); its foot lies under the bar. A window too short for its text grows
      // upward by a whole picture, under the name box. The name box at (15, 425) holds one name.
      {"MS_FRM_B.WGX", Panel(770, 112, 0xC0102040, 3, 0xFFA0B0E0)},
      {"MS_FRM_A.WGX", Mask(770, 112)},
      {"MS_FRM_G.WGX", Panel(770, 112, 0xC0102040, 0, 0)},
      {"NM_FRM_B.WGX", Panel(200, 48, 0xD0402010, 2, 0xFFE0C0A0)},
      {"NM_FRM_A.WGX", Mask(200, 48)},
      {"NM_FRM_G.WGX", Panel(200, 48, 0xD0402010, 0, 0)},
      {"MS_CUR0.WGX", WaitMark(0xFFFFFFFF)},
      {"MS_CUR1.WGX", WaitMark(0xFFFFE040)},
      {"MS_BAR.WGX", Panel(800, 23, 0xFF181820, 1, 0xFF606080)},
      {"MS_SEL_B.WGX", Panel(400, 40, 0xE0203050, 2, 0xFFB0C0F0)},
      {"MS_SEL_A.WGX", Mask(400, 40)},
      {"MS_SEL_G.WGX", Mask(400, 40)},
      {"MS_BTN.WGX", button},
      {"SCENE_B.WGX", Backdrop(3)},
      {"CH_A.WGX", Figure(0xFF3050A0)},
      {"RULE001.WGX", Rule()},
  };
  for (const Out& o : outs) {
    bw::tools::WgxWriteOptions options;
    options.form = o.picture.offsetX != 0 || o.picture.offsetY != 0 ? 1 : 0;
    if (!bw::tools::WriteFileBytes("demo_files", (sys + o.name).c_str(),
                                   bw::tools::WriteWgx(o.picture, options)))
      return kExitFailed;
  }
  const std::string library =
      "The pixel-operation library: the engine's built-in table stands in for it.\n";
  if (!bw::tools::WriteFileBytes("demo_files",
                                 (std::string(folder) + "/" + bw::kLibraryFileName).c_str(),
                                 std::vector<uint8_t>(library.begin(), library.end())))
    return kExitFailed;
  const std::string table = "// the demo's backgrounds\r\n[hall 1]\r\n1\r\n";
  if (!bw::tools::WriteFileBytes("demo_files", (std::string(folder) + "/DATA/BG.TXT").c_str(),
                                 std::vector<uint8_t>(table.begin(), table.end())))
    return kExitFailed;
  bw::GmpFile gmp;
  for (int16_t i = 0; i < 10; ++i) {
    gmp.entries.push_back({"MS_BTN.WGX", 1, int16_t(2 + i * (kButtonWidth + 3)), 578, 255, true,
                           uint16_t(kButtonWidth), uint16_t(kButtonHeight),
                           bw::GmpFullStateCode(1)});
  }
  return bw::tools::WriteFileBytes("demo_files", (sys + "MS_FRAME.GMP").c_str(),
                                   bw::tools::WriteGmp(gmp))
             ? kExitOk
             : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return kExitOk;
  if (argc == 4 && std::string_view(argv[1]) == "config") return Config(argv[2], argv[3]);
  if (argc != 3) return Usage();
  std::string_view command = argv[1];
  if (command == "config") return Config(argv[2], nullptr);
  if (command == "backdrop") return Picture(argv[2], 800, 600, 1, false);
  if (command == "sprite") return Picture(argv[2], 96, 96, 2, true);
  if (command == "frame") return Frame(argv[2]);
  return Usage();
}
