// The range table of the animation files: frame records are cut into ranges, each ended by a
// record that the format marks as an end. The records end with a sentinel that is itself an end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bw {

// Finds the start of each of rangeCount ranges among count records (the sentinel last). The walk
// needs one end record past the last range's start; false when the records run out first.
// longest, when given, becomes the length of the longest range seen at an end record.
template <class IsEnd>
[[nodiscard]] bool BuildRangeTable(size_t count, uint32_t rangeCount, IsEnd isEnd,
                                   std::vector<uint32_t>& starts, uint32_t* longest = nullptr) {
  starts.assign(1, 0);
  uint32_t most = 0;
  for (size_t i = 0; i < count; ++i) {
    if (!isEnd(i)) continue;
    uint32_t length = static_cast<uint32_t>(i - starts.back() + 1);
    if (length > most) most = length;
    if (starts.size() == rangeCount) {
      if (longest) *longest = most;
      return true;
    }
    starts.push_back(static_cast<uint32_t>(i + 1));
  }
  return false;
}

}  // namespace bw
