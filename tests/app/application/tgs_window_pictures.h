// The pictures of the scenario's windows in a game folder: the frames and choice cells in one
// colour, the two wait cursors white, the menu bar and the button strip as the test wants them,
// and a button screen of ten buttons along the bottom.
#pragma once

#include <string>
#include <vector>

#include "lib/gmp/gmp_writer.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/gmp_file.h"
#include "support/temp_dir.h"

namespace bw::test {

inline const char* const kTgsWindowPictures[] = {
    "SYS/MS_FRM_B.WGX", "SYS/MS_FRM_A.WGX", "SYS/MS_FRM_G.WGX", "SYS/NM_FRM_B.WGX",
    "SYS/NM_FRM_A.WGX", "SYS/NM_FRM_G.WGX", "SYS/MS_CUR0.WGX",  "SYS/MS_CUR1.WGX",
    "SYS/MS_BAR.WGX",   "SYS/MS_SEL_B.WGX", "SYS/MS_SEL_A.WGX", "SYS/MS_SEL_G.WGX",
    "SYS/BTN.WGX",      "SYS/MS_FRAME.GMP",
};

inline std::string SolidWgx(uint32_t w, uint32_t h, uint32_t rgb) {
  tools::WgxPicture picture;
  picture.width = w;
  picture.height = h;
  picture.pixels.assign(size_t{w} * h, rgb);
  const std::vector<uint8_t> bytes = tools::WriteWgx(picture);
  return std::string(bytes.begin(), bytes.end());
}

struct TgsWindowLook {
  uint32_t barWidth = 30, barHeight = 30, bar = 0x203040, button = 0x808080;
};

// Every picture but the one named except.
inline void WriteTgsWindowPictures(const TempDir& dir, const TgsWindowLook& look,
                                   const std::string& except = {}) {
  for (const std::string name : kTgsWindowPictures) {
    if (name == except) continue;
    if (name == "SYS/MS_FRAME.GMP") {
      GmpFile gmp;
      for (int16_t i = 0; i < 10; ++i)
        gmp.entries.push_back(
            {"BTN.WGX", 1, int16_t(10 + 60 * i), 580, 255, true, 16, 16, GmpFullStateCode(1)});
      const std::vector<uint8_t> screen = tools::WriteGmp(gmp);
      dir.WriteFile(name, std::string(screen.begin(), screen.end()));
    } else if (name.find("CUR") != std::string::npos) {
      dir.WriteFile(name, SolidWgx(50, 10, 0xFFFFFF));
    } else if (name == "SYS/MS_BAR.WGX") {
      dir.WriteFile(name, SolidWgx(look.barWidth, look.barHeight, look.bar));
    } else if (name == "SYS/BTN.WGX") {
      dir.WriteFile(name, SolidWgx(48, 16, look.button));
    } else {
      dir.WriteFile(name, SolidWgx(30, 30, 0x203040));
    }
  }
}

}  // namespace bw::test
