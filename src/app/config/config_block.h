// The fixed blocks of the configuration files and the length-prefixed records that carry them.
// A block struct lists its fields in file order in a static Fields(self, visitor); the helpers
// here turn it into its little-endian bytes and back, so each layout is written down once.
// A record is copied over its block from the first byte on, as the files have always been read:
// bytes past the block are dropped, and bytes the record does not reach keep their old values.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <type_traits>

#include "common/byte_reader.h"

namespace bw {

// Results of the configuration readers. Whatever they answer, the readers have taken what the
// bytes give and kept the old values (the defaults) for the rest; a larger value is worse.
constexpr int kConfigOk = 0;
// The file broke its layout in a way that was mended: a record longer than its block was cut,
// or a text without its NUL was ended at its record's end.
constexpr int kConfigMended = 1;
// The file ended before a length or before the bytes a length announced.
constexpr int kConfigTruncated = 2;
// The file does not begin with its magic; nothing was taken.
constexpr int kConfigBadMagic = 3;

namespace config_detail {

struct SizeCounter {
  size_t size = 0;
  template <class T>
  constexpr void operator()(const T&) {
    size += sizeof(T);
  }
};

struct Encoder {
  uint8_t* out;
  size_t pos = 0;
  template <class T>
  void operator()(const T& field) {
    if constexpr (std::is_array_v<T>) {
      std::memcpy(out + pos, field, sizeof(T));
    } else {
      auto u = static_cast<std::make_unsigned_t<T>>(field);
      for (size_t i = 0; i < sizeof(T); ++i) out[pos + i] = static_cast<uint8_t>(u >> (8 * i));
    }
    pos += sizeof(T);
  }
};

struct Decoder {
  ByteReader& in;
  template <class T>
  void operator()(T& field) {
    auto bytes = in.bytes(sizeof(T));
    if (!bytes) return;  // cannot happen: a decoder always gets a whole block
    if constexpr (std::is_array_v<T>) {
      std::memcpy(field, bytes->data(), sizeof(T));
    } else {
      std::make_unsigned_t<T> u = 0;
      for (size_t i = 0; i < sizeof(T); ++i) {
        u = static_cast<std::make_unsigned_t<T>>(
            u | (static_cast<std::make_unsigned_t<T>>((*bytes)[i]) << (8 * i)));
      }
      field = static_cast<T>(u);
    }
  }
};

}  // namespace config_detail

// The number of bytes a block's fields take; each block asserts it against its kSize.
template <class Block>
constexpr size_t BlockSize() {
  Block block{};
  config_detail::SizeCounter counter;
  Block::Fields(block, counter);
  return counter.size;
}

template <class Block>
std::array<uint8_t, Block::kSize> EncodeBlock(const Block& block) {
  std::array<uint8_t, Block::kSize> bytes{};
  config_detail::Encoder encoder{bytes.data()};
  Block::Fields(block, encoder);
  return bytes;
}

template <class Block>
void DecodeBlock(std::span<const uint8_t, Block::kSize> bytes, Block& block) {
  ByteReader reader(bytes.data(), bytes.size());
  config_detail::Decoder decoder{reader};
  Block::Fields(block, decoder);
}

// Copies record over block from its first byte on; answers kConfigMended when the record was
// longer than the block and had to be cut.
template <class Block>
int OverlayBlock(Block& block, std::span<const uint8_t> record) {
  auto bytes = EncodeBlock(block);
  size_t n = std::min(record.size(), bytes.size());
  if (n) std::memcpy(bytes.data(), record.data(), n);
  DecodeBlock<Block>(bytes, block);
  return record.size() > bytes.size() ? kConfigMended : kConfigOk;
}

// Reads one record: a little-endian length of lengthBytes (1, 2 or 4) and its body. A body that
// runs past the end is cut to the bytes present. Raises status to kConfigTruncated when the
// length or part of the body is missing; false only when the length itself is missing.
bool ReadConfigRecord(ByteReader& in, int lengthBytes, std::span<const uint8_t>& body, int& status);

// Reads one record and copies it over block; false when the record's length is missing.
template <class Block>
bool ReadBlockRecord(ByteReader& in, int lengthBytes, Block& block, int& status) {
  std::span<const uint8_t> body;
  if (!ReadConfigRecord(in, lengthBytes, body, status)) return false;
  status = std::max(status, OverlayBlock(block, body));
  return true;
}

// The text of a record that holds a text with its NUL: up to the first NUL. A record without
// one is taken whole, or cut at a character boundary to maxBytes, and raises status to
// kConfigMended.
std::string ConfigRecordText(std::span<const uint8_t> body, int& status,
                             size_t maxBytes = std::string::npos);

// Ends a fixed-size text field: when it has no NUL, it is cut at the last character boundary
// that leaves room for one. Answers true when it had to be cut.
bool TerminateTextField(std::span<uint8_t> field);

// Appends "\" to an engine path unless it already ends with a separator (never mistaking the
// trail byte of a double-byte character for one).
void AppendPathSeparator(std::string& path);

}  // namespace bw
