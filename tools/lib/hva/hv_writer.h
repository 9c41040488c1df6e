// Writes HVD and HVA animation files. Fault switches make the broken files the readers refuse.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "graphics/surface/hva_data.h"
#include "resource/images/hvd_animation.h"

namespace bw::tools {

struct HvdFile {
  std::array<uint8_t, 12> header{};  // the range count goes in at offset 6
  uint16_t rangeCount = 1;
  std::vector<uint8_t> blob;
  std::vector<HvdFrame> frames;
  std::vector<HvdEntry> entries;
};

struct HvdFaults {
  bool wrongMagic = false;
  std::optional<uint32_t> frameCount;  // written in place of the real count
  std::optional<uint32_t> entryCount;
};

std::vector<uint8_t> WriteHvd(const HvdFile& file, const HvdFaults& faults = {});

struct HvaPictureEntry {
  std::vector<uint8_t> bytes;  // a picture file
  int16_t keyX = 0;
  int16_t keyY = 0;
};

struct HvaFile {
  uint16_t word0 = 0;
  uint16_t word2 = 0;
  uint16_t rangeCount = 1;
  std::vector<uint8_t> skipped;
  std::vector<HvaFrame> frames;
  std::vector<HvaPictureEntry> pictures;  // stored after the entry list, in order
};

struct HvaFaults {
  bool wrongMagic = false;
  std::optional<uint32_t> frameCount;
  std::optional<uint32_t> pictureCount;
  std::optional<uint32_t> firstPictureOffset;
  std::optional<uint32_t> firstPictureSize;
};

std::vector<uint8_t> WriteHva(const HvaFile& file, const HvaFaults& faults = {});

}  // namespace bw::tools
