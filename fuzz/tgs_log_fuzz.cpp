// Reads arbitrary bytes as "TGS_INIT.DAT" and "TEXT_LOG.DAT" (the first byte says where the table
// ends): both are taken or refused with their codes, and a log written afterwards reads back.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tgs_fuzz_world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;
  size_t split = std::min<size_t>(size - 1, data[0] * 4u);
  bw::fuzz::TgsFuzzWorld w;
  w.Files().Put("SCRIPT\\TGS_INIT.DAT", std::vector<uint8_t>(data + 1, data + 1 + split));
  w.Files().Put("TEXT_LOG.DAT", std::vector<uint8_t>(data + 1 + split, data + size));
  bw::TgsFrameBase& f = w.Frame();
  int t = f.LoadInitTable("TGS_INIT.DAT");
  if (t != 0 && t != bw::kTgsTableBad) std::abort();
  int r = f.ReadLogFile("TEXT_LOG.DAT");
  if (r != 0 && r != bw::kTgsLogBad) std::abort();
  uint32_t set = f.GetSetFlagCount(nullptr);
  if (f.WriteLogFile("OUT.DAT") == 0) {
    if (f.ReadLogFile("OUT.DAT") != 0 || f.GetSetFlagCount(nullptr) != set) std::abort();
  }
  return 0;
}
