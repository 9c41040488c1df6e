#include "resource/packs/lzss_codec.h"

#include <bit>
#include <cstring>
#include <new>

namespace bw {
namespace {

constexpr uint32_t kRingMask = LzssCodec::kRingSize - 1;
// Output room for one whole group of matches plus the over-copy of the 8-byte match copier.
constexpr uint32_t kGroupOutputSlack = 8 * LzssCodec::kMaxMatch + 8;
// Source bytes of the largest group: the flag byte and eight two-byte matches.
constexpr ptrdiff_t kGroupSourceMax = 1 + 8 * 2;

// A match reads the ring at `position` while r = kRingStart + written moves along, so its
// bytes lie a constant distance (1 to 4096) behind the output; slots never written are 0.
inline uint32_t MatchDistance(uint32_t position, uint32_t written) {
  return ((LzssCodec::kRingStart + written - position - 1) & kRingMask) + 1;
}

// Copies a match whose bytes may reach before the start of the output (they read as 0).
inline void CopyMatchCareful(uint8_t* out, uint32_t at, uint32_t distance, uint32_t length) {
  for (uint32_t k = 0; k < length; ++k) {
    uint32_t i = at + k;
    out[i] = i >= distance ? out[i - distance] : 0;
  }
}

// Copies a match that lies wholly inside the output, writing up to 24 bytes (the slack takes
// the excess). Periods of 1, 2 and 4 bytes (flat picture areas) are widened to an 8-byte word
// in a register: reloading bytes just stored one by one would stall the store forwarding.
inline void CopyMatchFast(uint8_t* to, uint32_t distance, uint32_t length) {
  static_assert(std::endian::native == std::endian::little);
  const uint8_t* from = to - distance;
  uint64_t word;
  switch (distance) {
    case 1:
      word = from[0] * 0x0101010101010101ull;
      break;
    case 2: {
      uint16_t x;
      std::memcpy(&x, from, 2);
      word = x * 0x0001000100010001ull;
      break;
    }
    case 4: {
      uint32_t x;
      std::memcpy(&x, from, 4);
      word = x * 0x0000000100000001ull;
      break;
    }
    case 3:
    case 5:
    case 6:
    case 7:
      for (uint32_t k = 0; k < length; ++k) to[k] = from[k];
      return;
    default:  // 8 or more: each chunk reads bytes written before it
      std::memcpy(to, from, 8);
      std::memcpy(to + 8, from + 8, 8);
      std::memcpy(to + 16, from + 16, 8);
      return;
  }
  std::memcpy(to, &word, 8);
  std::memcpy(to + 8, &word, 8);
  std::memcpy(to + 16, &word, 8);
}

}  // namespace

int LzssCodec::Decode(std::span<const uint8_t> source, std::vector<uint8_t>& out,
                      uint32_t unpackedSize) {
  if (unpackedSize == 0) return kZeroSize;
  try {
    out.resize(unpackedSize);
  } catch (const std::bad_alloc&) {
    return kNoBuffer;
  }
  return Decode(source, out.data(), unpackedSize);
}

int LzssCodec::Decode(std::span<const uint8_t> source, uint8_t* out, uint32_t size) {
  if (size == 0) return kZeroSize;
  if (!out) return kNoBuffer;
  const uint8_t* in = source.data();
  const uint8_t* const inEnd = in + source.size();
  uint32_t o = 0;

  // Whole groups while both sides have room for the largest group: no bounds checks inside.
  while (size - o >= kGroupOutputSlack && inEnd - in >= kGroupSourceMax) {
    uint32_t flags = *in++;
    if (flags == 0xFF) {  // eight literals
      std::memcpy(out + o, in, 8);
      in += 8;
      o += 8;
      continue;
    }
    for (int item = 0; item < 8; ++item, flags >>= 1) {
      if (flags & 1) {
        out[o++] = *in++;
        continue;
      }
      uint32_t position = in[0] | ((in[1] & 0xF0u) << 4);
      uint32_t length = (in[1] & 0x0Fu) + kThreshold + 1;
      in += 2;
      uint32_t distance = MatchDistance(position, o);
      if (distance > o) [[unlikely]] {
        CopyMatchCareful(out, o, distance, length);
      } else {
        CopyMatchFast(out + o, distance, length);
      }
      o += length;
    }
  }

  // The tail: every read checked, stopping at exactly size bytes.
  uint32_t flags = 0;
  while (o < size) {
    flags >>= 1;
    if (!(flags & 0x100)) {
      if (in == inEnd) return kSourceEnded;
      flags = *in++ | 0xFF00u;
    }
    if (flags & 1) {
      if (in == inEnd) return kSourceEnded;
      out[o++] = *in++;
      continue;
    }
    if (inEnd - in < 2) return kSourceEnded;
    uint32_t position = in[0] | ((in[1] & 0xF0u) << 4);
    uint32_t length = (in[1] & 0x0Fu) + kThreshold + 1;
    in += 2;
    if (length > size - o) length = size - o;
    CopyMatchCareful(out, o, MatchDistance(position, o), length);
    o += length;
  }
  return kDecoded;
}

void LzssCodec::InitTrees() {
  // Every link empty and the whole ring (mirror included) zero, so equal input always gives
  // equal output whatever the work area held before.
  std::memset(ring_, 0, sizeof(ring_));
  for (uint32_t& v : left_) v = kEmpty;
  for (uint32_t& v : right_) v = kEmpty;
  for (uint32_t& v : parent_) v = kEmpty;
}

void LzssCodec::InsertNode(uint32_t r) {
  const uint8_t* key = &ring_[r];
  uint32_t p = kRingSize + 1 + key[0];
  int cmp = 1;
  right_[r] = left_[r] = kEmpty;
  matchLength_ = 0;
  for (;;) {
    if (cmp >= 0) {
      if (right_[p] != kEmpty) {
        p = right_[p];
      } else {
        right_[p] = r;
        parent_[r] = p;
        return;
      }
    } else {
      if (left_[p] != kEmpty) {
        p = left_[p];
      } else {
        left_[p] = r;
        parent_[r] = p;
        return;
      }
    }
    uint32_t i = 1;
    for (; i < kMaxMatch; ++i) {
      cmp = int{key[i]} - int{ring_[p + i]};
      if (cmp != 0) break;
    }
    if (i > matchLength_) {
      matchPosition_ = p;
      matchLength_ = i;
      if (i >= kMaxMatch) break;
    }
  }
  // A full match: r takes p's place in the tree.
  parent_[r] = parent_[p];
  left_[r] = left_[p];
  right_[r] = right_[p];
  parent_[left_[p]] = r;
  parent_[right_[p]] = r;
  if (right_[parent_[p]] == p) {
    right_[parent_[p]] = r;
  } else {
    left_[parent_[p]] = r;
  }
  parent_[p] = kEmpty;
}

void LzssCodec::DeleteNode(uint32_t p) {
  if (parent_[p] == kEmpty) return;
  uint32_t q;
  if (right_[p] == kEmpty) {
    q = left_[p];
  } else if (left_[p] == kEmpty) {
    q = right_[p];
  } else {
    q = left_[p];
    if (right_[q] != kEmpty) {
      do {
        q = right_[q];
      } while (right_[q] != kEmpty);
      right_[parent_[q]] = left_[q];
      parent_[left_[q]] = parent_[q];
      left_[q] = left_[p];
      parent_[left_[p]] = q;
    }
    right_[q] = right_[p];
    parent_[right_[p]] = q;
  }
  parent_[q] = parent_[p];
  if (right_[parent_[p]] == p) {
    right_[parent_[p]] = q;
  } else {
    left_[parent_[p]] = q;
  }
  parent_[p] = kEmpty;
}

int LzssCodec::Encode(std::span<const uint8_t> source, std::vector<uint8_t>* out,
                      uint32_t* packedSize) {
  if (packedSize) *packedSize = 0;
  if (out) out->clear();
  if (source.size() < 9 || source.size() > 0xFFFFFFFFu) return kNotPacked;
  const uint64_t budget = source.size() - 8;
  if (out) {
    try {
      out->reserve(budget);
    } catch (const std::bad_alloc&) {
      return kEncodeOutOfMemory;
    }
  }

  InitTrees();
  size_t next = 0;  // next source byte
  uint32_t s = 0;
  uint32_t r = kRingStart;
  uint32_t len = 0;
  while (len < kMaxMatch && next < source.size()) ring_[r + len++] = source[next++];
  for (uint32_t i = 1; i <= kMaxMatch; ++i) InsertNode(r - i);
  InsertNode(r);

  uint8_t group[1 + 8 * 2];
  uint32_t groupSize = 1;
  uint8_t mask = 1;
  group[0] = 0;
  uint64_t total = 0;
  auto fail = [&] {
    if (packedSize) *packedSize = static_cast<uint32_t>(total);
    if (out) out->clear();
    return kNotPacked;
  };

  while (len > 0) {
    if (matchLength_ > len) matchLength_ = len;
    if (matchLength_ <= kThreshold) {
      matchLength_ = 1;
      group[0] |= mask;
      group[groupSize++] = ring_[r];
    } else {
      group[groupSize++] = static_cast<uint8_t>(matchPosition_);
      group[groupSize++] =
          static_cast<uint8_t>(((matchPosition_ >> 4) & 0xF0) | (matchLength_ - (kThreshold + 1)));
    }
    mask = static_cast<uint8_t>(mask << 1);
    if (mask == 0) {
      total += groupSize;
      if (total >= budget) return fail();
      if (out) out->insert(out->end(), group, group + groupSize);
      group[0] = 0;
      groupSize = 1;
      mask = 1;
    }
    uint32_t last = matchLength_;
    uint32_t i = 0;
    for (; i < last && next < source.size(); ++i) {
      DeleteNode(s);
      uint8_t c = source[next++];
      ring_[s] = c;
      if (s < kMaxMatch - 1) ring_[s + kRingSize] = c;
      s = (s + 1) & kRingMask;
      r = (r + 1) & kRingMask;
      InsertNode(r);
    }
    for (; i < last; ++i) {
      DeleteNode(s);
      s = (s + 1) & kRingMask;
      r = (r + 1) & kRingMask;
      if (--len) InsertNode(r);
    }
  }
  if (groupSize > 1) {
    total += groupSize;
    if (total < budget && out) out->insert(out->end(), group, group + groupSize);
  }
  if (total >= budget) return fail();
  if (packedSize) *packedSize = static_cast<uint32_t>(total);
  return kPacked;
}

}  // namespace bw
