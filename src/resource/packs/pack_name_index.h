// The names of a pack's members and the look-up from a name to its entry, built once when the
// pack is opened. A look-up folds the asked name as the engine compares member names (ASCII
// letters to lower case, never a Shift-JIS trail byte) and wants that exact stored name; it
// costs the same whatever the number of members: an open-addressing table of 4-byte slots with
// 2-byte tags beside them (small enough to stay in cache), and one read of the stored name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bw {

class PackNameIndex {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // Clears the index for count entries, none named yet.
  void Reset(uint32_t count);
  // Names entry index; false when it already has a name.
  [[nodiscard]] bool Name(uint32_t index, std::string_view name);
  // Builds the look-up over the named entries. Names must be unique (the trie makes them so).
  void Build();

  // The entry whose stored name equals name folded, or kNone.
  uint32_t Find(const char* name) const;
  // The entry's name, NUL-ended; null for an entry without one.
  const char* NameOf(uint32_t index) const {
    return index < nameAt_.size() && nameAt_[index] != kNone ? names_.data() + nameAt_[index]
                                                             : nullptr;
  }
  uint32_t NamedCount() const { return named_; }

 private:
  // Each name is stored after its entry index (4 bytes) and ended by a NUL.
  std::string names_;
  std::vector<uint32_t> nameAt_;  // per entry: where its name begins in names_, or kNone
  std::vector<uint32_t> slots_;   // 1 + the offset of an entry's index in names_; 0 = empty
  std::vector<uint16_t> tags_;    // the hash's top bits of each slot's name
  // Named since the last build: each name's hash and where it begins.
  std::vector<std::pair<uint64_t, uint32_t>> pending_;
  uint32_t named_ = 0;
};

}  // namespace bw
