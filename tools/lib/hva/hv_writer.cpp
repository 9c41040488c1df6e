#include "lib/hva/hv_writer.h"

#include "lib/le_bytes.h"

namespace bw::tools {
namespace {

void PutMagic(std::vector<uint8_t>& out, const char* magic, bool wrong) {
  out.insert(out.end(), magic, magic + 3);
  if (wrong) out.back() ^= 0x20;
  out.push_back(0);
}

}  // namespace

std::vector<uint8_t> WriteHvd(const HvdFile& file, const HvdFaults& faults) {
  std::vector<uint8_t> out;
  PutMagic(out, "HVD", faults.wrongMagic);
  std::array<uint8_t, 12> header = file.header;
  header[6] = static_cast<uint8_t>(file.rangeCount);
  header[7] = static_cast<uint8_t>(file.rangeCount >> 8);
  out.insert(out.end(), header.begin(), header.end());
  Put32(out, static_cast<uint32_t>(file.blob.size()));
  out.insert(out.end(), file.blob.begin(), file.blob.end());
  Put32(out, faults.frameCount.value_or(static_cast<uint32_t>(file.frames.size())));
  for (const auto& f : file.frames) {
    Put32(out, static_cast<uint32_t>(f.a));
    Put32(out, static_cast<uint32_t>(f.b));
    Put32(out, f.c);
    Put32(out, f.blobOffset);
  }
  Put32(out, faults.entryCount.value_or(static_cast<uint32_t>(file.entries.size())));
  for (const auto& e : file.entries) {
    Put16(out, static_cast<uint32_t>(e.name.size()));
    out.insert(out.end(), e.name.begin(), e.name.end());
    Put16(out, e.p);
    Put16(out, e.q);
  }
  return out;
}

std::vector<uint8_t> WriteHva(const HvaFile& file, const HvaFaults& faults) {
  std::vector<uint8_t> out;
  PutMagic(out, "HVA", faults.wrongMagic);
  Put16(out, file.word0);
  Put16(out, file.word2);
  Put16(out, 0);
  Put16(out, file.rangeCount);
  Put32(out, 0);
  Put32(out, static_cast<uint32_t>(file.skipped.size()));
  out.insert(out.end(), file.skipped.begin(), file.skipped.end());
  Put32(out, faults.frameCount.value_or(static_cast<uint32_t>(file.frames.size())));
  for (const auto& f : file.frames) {
    Put32(out, static_cast<uint32_t>(f.a));
    Put32(out, f.b);
    Put32(out, f.c);
    Put32(out, f.d);
  }
  Put32(out, faults.pictureCount.value_or(static_cast<uint32_t>(file.pictures.size())));
  uint32_t offset = static_cast<uint32_t>(out.size() + 12 * file.pictures.size());
  for (size_t i = 0; i < file.pictures.size(); ++i) {
    const auto& p = file.pictures[i];
    uint32_t size = static_cast<uint32_t>(p.bytes.size());
    Put32(out, i == 0 ? faults.firstPictureSize.value_or(size) : size);
    Put32(out, i == 0 ? faults.firstPictureOffset.value_or(offset) : offset);
    Put16(out, static_cast<uint16_t>(p.keyX));
    Put16(out, static_cast<uint16_t>(p.keyY));
    offset += size;
  }
  for (const auto& p : file.pictures) out.insert(out.end(), p.bytes.begin(), p.bytes.end());
  return out;
}

}  // namespace bw::tools
