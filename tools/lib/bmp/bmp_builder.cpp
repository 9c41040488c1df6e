#include "lib/bmp/bmp_builder.h"

#include <algorithm>

#include "lib/le_bytes.h"

namespace bw::tools {
std::vector<uint8_t> BuildBmp(const BmpFields& bmp) {
  const uint32_t tables = static_cast<uint32_t>(4 * bmp.palette.size() + (bmp.masks ? 12 : 0));
  const uint32_t offset = bmp.dataOffset.value_or(14 + bmp.infoSize + tables);
  std::vector<uint8_t> out = {'B', 'M'};
  PutLe(out, static_cast<uint32_t>(offset + bmp.data.size()), 4);
  PutLe(out, 0, 4);
  PutLe(out, offset, 4);
  PutLe(out, bmp.infoSize, 4);
  PutLe(out, static_cast<uint32_t>(bmp.width), 4);
  PutLe(out, static_cast<uint32_t>(bmp.height), 4);
  PutLe(out, 1, 2);
  PutLe(out, bmp.bits, 2);
  PutLe(out, bmp.compression, 4);
  PutLe(out, static_cast<uint32_t>(bmp.data.size()), 4);
  PutLe(out, 0, 8);
  PutLe(out, bmp.usedColours, 4);
  PutLe(out, 0, 4);
  // A header of another size keeps its own length; the reader refuses it anyway.
  while (out.size() < 14 + bmp.infoSize) out.push_back(0);
  if (bmp.masks)
    for (uint32_t m : *bmp.masks) PutLe(out, m, 4);
  for (uint32_t entry : bmp.palette) PutLe(out, entry, 4);
  while (out.size() < offset) out.push_back(0);
  out.insert(out.end(), bmp.data.begin(), bmp.data.end());
  return out;
}

std::vector<uint8_t> PackIndexRows(const std::vector<std::vector<uint8_t>>& rows, uint16_t bits) {
  std::vector<uint8_t> out;
  for (const auto& row : rows) {
    size_t pitch = ((row.size() * bits + 7) / 8 + 3) & ~size_t{3};
    std::vector<uint8_t> line(pitch, 0);
    for (size_t x = 0; x < row.size(); ++x) {
      size_t bit = x * bits;
      line[bit / 8] |= static_cast<uint8_t>(row[x] << (8 - bits - bit % 8));
    }
    out.insert(out.end(), line.begin(), line.end());
  }
  return out;
}

std::vector<uint8_t> EncodeRle(const std::vector<std::vector<uint8_t>>& rows, bool nibbles,
                               RleFaults faults) {
  std::vector<uint8_t> out;
  for (size_t r = 0; r < rows.size(); ++r) {
    std::vector<uint8_t> row = rows[r];
    if (faults.runPastRow && r == 0) row.push_back(row.empty() ? 0 : row.back());
    size_t x = 0;
    while (x < row.size()) {
      // RLE4 runs alternate two values; a run here is of one repeated value.
      size_t run = 1;
      while (x + run < row.size() && row[x + run] == row[x] && run < 255) ++run;
      if (run >= 2 || row.size() - x < 3) {
        out.push_back(static_cast<uint8_t>(run));
        out.push_back(nibbles ? static_cast<uint8_t>(row[x] << 4 | row[x]) : row[x]);
        x += run;
        continue;
      }
      size_t n = 0;  // an absolute run up to the next repeat
      while (x + n < row.size() && n < 255 &&
             !(x + n + 1 < row.size() && row[x + n] == row[x + n + 1]))
        ++n;
      if (n < 3) n = std::min<size_t>(3, row.size() - x);
      out.push_back(0);
      out.push_back(static_cast<uint8_t>(n));
      std::vector<uint8_t> bytes;
      for (size_t i = 0; i < n; ++i) {
        if (!nibbles)
          bytes.push_back(row[x + i]);
        else if (i % 2 == 0)
          bytes.push_back(static_cast<uint8_t>(row[x + i] << 4));
        else
          bytes.back() |= row[x + i];
      }
      if (bytes.size() % 2) bytes.push_back(0);
      out.insert(out.end(), bytes.begin(), bytes.end());
      x += n;
    }
    if (r + 1 < rows.size()) {
      out.push_back(0);
      out.push_back(0);
    }
    if (faults.delta && r == 0) {
      out.insert(out.end(), {0, 2, 0, 0});
    }
  }
  if (!faults.omitEnd) {
    out.push_back(0);
    out.push_back(1);
  }
  return out;
}

}  // namespace bw::tools
