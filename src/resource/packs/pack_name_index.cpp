#include "resource/packs/pack_name_index.h"

#include <cstring>

#include "common/sjis.h"

namespace bw {
namespace {

constexpr size_t kIndexBytes = sizeof(uint32_t);
// Names up to this length are folded on the stack.
constexpr size_t kShortName = 256;

uint64_t Mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  return h ^ (h >> 33);
}

// Eight bytes at a time; the low bits pick the slot and the top bits make the tag.
uint64_t HashName(std::string_view name) {
  uint64_t h = 0x9E3779B97F4A7C15ull ^ name.size();
  size_t i = 0;
  for (; i + 8 <= name.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, name.data() + i, 8);
    h = Mix(h ^ word);
  }
  uint64_t tail = 0;
  std::memcpy(&tail, name.data() + i, name.size() - i);
  return Mix(h ^ tail);
}

uint16_t Tag(uint64_t hash) {
  return static_cast<uint16_t>(hash >> 48);
}

}  // namespace

void PackNameIndex::Reset(uint32_t count) {
  names_.clear();
  nameAt_.assign(count, kNone);
  slots_.clear();
  tags_.clear();
  pending_.clear();
  named_ = 0;
}

bool PackNameIndex::Name(uint32_t index, std::string_view name) {
  if (index >= nameAt_.size() || nameAt_[index] != kNone) return false;
  // Slots hold 32-bit offsets.
  if (names_.size() + kIndexBytes + name.size() + 1 >= UINT32_MAX) return false;
  char bytes[kIndexBytes];
  std::memcpy(bytes, &index, kIndexBytes);
  names_.append(bytes, kIndexBytes);
  nameAt_[index] = static_cast<uint32_t>(names_.size());
  names_.append(name).push_back('\0');
  pending_.push_back({HashName(name), nameAt_[index]});
  ++named_;
  return true;
}

void PackNameIndex::Build() {
  size_t size = 4;
  while (size * 3 < uint64_t{named_} * 4 + 4) size *= 2;  // at most three in four slots used
  slots_.assign(size, 0);
  tags_.assign(size, 0);
  const size_t mask = size - 1;
  for (auto [hash, at] : pending_) {
    size_t slot = hash & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = at - static_cast<uint32_t>(kIndexBytes) + 1;
    tags_[slot] = Tag(hash);
  }
  pending_ = {};
}

uint32_t PackNameIndex::Find(const char* name) const {
  if (!name || slots_.empty()) return kNone;
  const size_t length = std::strlen(name);
  char shortName[kShortName];
  std::string longName;
  char* key = shortName;
  if (length > kShortName) {
    longName.resize(length);
    key = longName.data();
  }
  // The engine's fold: ASCII letters to lower case, the byte after a lead byte as it is.
  for (size_t i = 0; i < length;) {
    if (sjis::IsLeadByte(name[i]) && i + 1 < length) {
      key[i] = name[i];
      key[i + 1] = name[i + 1];
      i += 2;
    } else {
      key[i] = sjis::AsciiLower(name[i]);
      ++i;
    }
  }
  const uint64_t hash = HashName({key, length});
  const uint16_t tag = Tag(hash);
  const size_t mask = slots_.size() - 1;
  for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const uint32_t entry = slots_[slot];
    if (entry == 0) return kNone;
    if (tags_[slot] != tag) continue;
    const size_t at = entry - 1 + kIndexBytes;
    if (names_.size() - at > length && names_[at + length] == '\0' &&
        std::memcmp(names_.data() + at, key, length) == 0) {
      uint32_t index;
      std::memcpy(&index, names_.data() + entry - 1, kIndexBytes);
      return index;
    }
  }
}

}  // namespace bw
