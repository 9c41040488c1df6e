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
#include <string_view>
#include <type_traits>
#include <utility>

#include "common/byte_reader.h"

namespace bw {

// Results of the configuration readers. A file is taken (kConfigOk, kConfigMended) or refused
// (the rest): a refused file changes nothing, and the reader says where it broke its layout.
// Bytes after the last record are passed over, as the engine always has.
constexpr int kConfigOk = 0;
// A text without its NUL was ended at its record's end, or a fixed text field was ended.
constexpr int kConfigMended = 1;
// The file ended before a length or before the bytes a length announced.
constexpr int kConfigTruncated = 2;
// The file does not begin with its magic.
constexpr int kConfigBadMagic = 3;
// A record longer than its block.
constexpr int kConfigTooLong = 4;
// A text that is not CP932 text (a byte no character has, a control character), or that has
// bytes other than NUL after its NUL.
constexpr int kConfigBadText = 5;

[[nodiscard]] constexpr bool ConfigTaken(int status) {
  return status == kConfigOk || status == kConfigMended;
}

// What a reader finds while it reads: the worst status and, for the first refusal, where.
class ConfigVerdict {
 public:
  int Status() const { return status_; }
  [[nodiscard]] bool Refused() const { return !ConfigTaken(status_); }
  const std::string& Why() const { return why_; }
  void Mend() { status_ = std::max(status_, kConfigMended); }
  void Refuse(int status, std::string why) {
    if (!Refused()) why_ = std::move(why);
    status_ = std::max(status_, status);
  }
  // Answers the status, with the words in *why when given.
  int Answer(std::string* why) const {
    if (why) *why = why_;
    return status_;
  }

 private:
  int status_ = kConfigOk;
  std::string why_;
};

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

// Copies record over block from its first byte on; false, refusing, when the record is longer
// than the block.
template <class Block>
[[nodiscard]] bool OverlayBlock(Block& block, std::span<const uint8_t> record,
                                ConfigVerdict& verdict, std::string_view what) {
  auto bytes = EncodeBlock(block);
  if (record.size() > bytes.size()) {
    verdict.Refuse(kConfigTooLong, std::string(what) + " is " + std::to_string(record.size()) +
                                       " bytes long; its block holds " +
                                       std::to_string(bytes.size()));
    return false;
  }
  if (!record.empty()) std::memcpy(bytes.data(), record.data(), record.size());
  DecodeBlock<Block>(bytes, block);
  return true;
}

// Reads one record, what it is named in a refusal: a little-endian length of lengthBytes (1, 2
// or 4) and its body. False, refusing, when the file ends first.
[[nodiscard]] bool ReadConfigRecord(ByteReader& in, int lengthBytes, std::span<const uint8_t>& body,
                                    ConfigVerdict& verdict, std::string_view what);

// Reads one record and copies it over block.
template <class Block>
[[nodiscard]] bool ReadBlockRecord(ByteReader& in, int lengthBytes, Block& block,
                                   ConfigVerdict& verdict, std::string_view what) {
  std::span<const uint8_t> body;
  return ReadConfigRecord(in, lengthBytes, body, verdict, what) &&
         OverlayBlock(block, body, verdict, what);
}

// The text of a record that holds a text with its NUL: up to the NUL, which only NULs may
// follow. A record without one is taken whole, or cut at a character boundary to maxBytes, and
// mends. A text that is not CP932 text is refused.
std::string ConfigRecordText(std::span<const uint8_t> body, ConfigVerdict& verdict,
                             std::string_view what, size_t maxBytes = std::string::npos);

// Refuses a text that is not CP932 text: a byte no character has, or a control character other
// than tab, carriage return and line feed.
[[nodiscard]] bool CheckConfigText(std::string_view text, ConfigVerdict& verdict,
                                   std::string_view what);

// The engine's message (CP932) for a settings file it cannot take, then the file's name and, when
// known, where the file broke: "MESSAGE\nFILE: WHY".
std::string ConfigFailureText(std::string_view message, std::string_view file,
                              std::string_view why);

// Ends a fixed-size text field: when it has no NUL, it is cut at the last character boundary
// that leaves room for one. Answers true when it had to be cut.
[[nodiscard]] bool TerminateTextField(std::span<uint8_t> field);

// Appends "\" to an engine path unless it already ends with a separator (never mistaking the
// trail byte of a double-byte character for one).
void AppendPathSeparator(std::string& path);

}  // namespace bw
