// A cell animation as games ship one: two cells, "c0.bmp" and "c1.bmp", 100 ms each.
#pragma once

#include <cstdint>
#include <vector>

#include "lib/hva/hv_writer.h"

namespace bw::test {

inline std::vector<uint8_t> TwoCellAnimation() {
  tools::HvdFile hvd;
  hvd.header[0] = 8;
  hvd.header[2] = 4;
  hvd.rangeCount = 1;
  hvd.frames = {{0, 100, 0, 0}, {1, 100, 0, 0}, {-1, 0, 0, 0}};
  hvd.entries = {{"c0.bmp", 0, 0}, {"c1.bmp", 0, 0}};
  return tools::WriteHvd(hvd);
}

}  // namespace bw::test
