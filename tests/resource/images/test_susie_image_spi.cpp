// A Susie image plug-in for the bridge's tests, built as a native shared object named *.SPI:
// pictures of the extension SIM ("SIM1", i32 width, i32 height, u16 bits, u16 palette entries,
// the entries, then the rows as a DIB holds them, bottom row first). Like many plug-ins it calls
// the progress callback without asking whether there is one.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "../test_plugin_text.h"
#include "resource/images/susie_plugin.h"

namespace {

template <typename T>
T Get(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof(v));
  return v;
}

template <typename T>
void Put(uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof(v));
}

constexpr size_t kHead = 16;

}  // namespace

extern "C" {

int GetPluginInfo(int number, char* buffer, int length) {
  return bw::test::PluginInfo(number, buffer, length, "00IN", "*.sim", "Test image");
}

// Reads the whole head it is given: the host pads a short file to 2,048 bytes.
int IsSupported(const char*, const void* head) {
  const auto* bytes = static_cast<const uint8_t*>(head);
  unsigned sum = 0;
  for (size_t i = 0; i < bw::kSusieHeadSize; ++i) sum += bytes[i];
  return sum != 0 && std::memcmp(bytes, "SIM1", 4) == 0;
}

int GetPicture(const char* data, intptr_t size, unsigned flag, bw::SusieHandle* info,
               bw::SusieHandle* pixels, bw::SusieProgress progress, intptr_t progressData) {
  if (flag != bw::kSusieFromMemory || size < static_cast<intptr_t>(kHead)) return 2;
  if (progress(0, 1, progressData) != 0) return 1;
  const auto width = Get<int32_t>(data + 4);
  const auto height = Get<int32_t>(data + 8);
  const auto bits = Get<uint16_t>(data + 12);
  const auto entries = Get<uint16_t>(data + 14);
  if (width <= 0 || height == 0 || height < -4096 || height > 4096 || width > 4096) return 2;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return 2;
  const size_t pitch = ((static_cast<size_t>(width) * bits + 7) / 8 + 3) & ~size_t{3};
  const size_t rows = static_cast<size_t>(height < 0 ? -height : height);
  const size_t paletteBytes = size_t{entries} * 4;
  if (static_cast<size_t>(size) < kHead + paletteBytes + pitch * rows) return 2;

  auto* header = static_cast<uint8_t*>(std::calloc(1, 40 + paletteBytes));
  auto* rowsBlock = static_cast<uint8_t*>(std::malloc(pitch * rows));
  Put<uint32_t>(header, 40);
  Put<int32_t>(header + 4, width);
  Put<int32_t>(header + 8, height);
  Put<uint16_t>(header + 12, 1);
  Put<uint16_t>(header + 14, bits);
  Put<uint32_t>(header + 32, entries);
  std::memcpy(header + 40, data + kHead, paletteBytes);
  std::memcpy(rowsBlock, data + kHead + paletteBytes, pitch * rows);
  *info = header;
  *pixels = rowsBlock;
  progress(1, 1, progressData);
  return 0;
}

}  // extern "C"
