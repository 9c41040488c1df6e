// The one bounded cursor over bytes that came from outside (files, packs, saves, scripts).
// Every read checks what remains first; a failed read leaves the position where it was and
// answers false or an empty result, so callers can turn it into their own error code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>

namespace bw {

class ByteReader {
 public:
  ByteReader() = default;
  ByteReader(const void* data, size_t size)
      : begin_(static_cast<const uint8_t*>(data)), end_(begin_ + (data ? size : 0)) {}
  explicit ByteReader(std::span<const uint8_t> bytes) : ByteReader(bytes.data(), bytes.size()) {}

  size_t size() const { return static_cast<size_t>(end_ - begin_); }
  size_t position() const { return pos_; }
  size_t remaining() const { return size() - pos_; }
  bool atEnd() const { return pos_ == size(); }
  // True when n more bytes are there; n may come straight from the data.
  bool has(uint64_t n) const { return n <= remaining(); }

  [[nodiscard]] bool seek(size_t pos) {
    if (pos > size()) return false;
    pos_ = pos;
    return true;
  }
  [[nodiscard]] bool skip(uint64_t n) {
    if (!has(n)) return false;
    pos_ += static_cast<size_t>(n);
    return true;
  }

  [[nodiscard]] bool u8(uint8_t& v) { return readLe(v); }
  [[nodiscard]] bool u16le(uint16_t& v) { return readLe(v); }
  [[nodiscard]] bool u32le(uint32_t& v) { return readLe(v); }
  [[nodiscard]] bool u64le(uint64_t& v) { return readLe(v); }
  [[nodiscard]] bool i8(int8_t& v) { return readSigned<uint8_t>(v); }
  [[nodiscard]] bool i16le(int16_t& v) { return readSigned<uint16_t>(v); }
  [[nodiscard]] bool i32le(int32_t& v) { return readSigned<uint32_t>(v); }

  [[nodiscard]] std::optional<uint8_t> u8() { return get<uint8_t>(); }
  [[nodiscard]] std::optional<uint16_t> u16le() { return get<uint16_t>(); }
  [[nodiscard]] std::optional<uint32_t> u32le() { return get<uint32_t>(); }
  [[nodiscard]] std::optional<int32_t> i32le() {
    int32_t v;
    return i32le(v) ? std::optional<int32_t>(v) : std::nullopt;
  }

  // A view of the next n bytes, or an empty optional when they are not there.
  [[nodiscard]] std::optional<std::span<const uint8_t>> bytes(uint64_t n) {
    if (!has(n)) return std::nullopt;
    std::span<const uint8_t> s(begin_ + pos_, static_cast<size_t>(n));
    pos_ += static_cast<size_t>(n);
    return s;
  }
  [[nodiscard]] bool copy(void* out, uint64_t n) {
    auto s = bytes(n);
    if (!s) return false;
    if (n) std::memcpy(out, s->data(), s->size());
    return true;
  }

  // A NUL-terminated string of at most max bytes before the NUL. Fails (and does not move) when
  // no NUL comes within max + 1 bytes or before the end.
  [[nodiscard]] std::optional<std::string> cstring(size_t max) {
    size_t limit = remaining() < max + 1 ? remaining() : max + 1;
    const uint8_t* p = begin_ + pos_;
    const void* nul = std::memchr(p, 0, limit);
    if (!nul) return std::nullopt;
    size_t len = static_cast<const uint8_t*>(nul) - p;
    std::string s(reinterpret_cast<const char*>(p), len);
    pos_ += len + 1;
    return s;
  }

  // A sub-reader over the next n bytes; the cursor moves past them.
  [[nodiscard]] std::optional<ByteReader> sub(uint64_t n) {
    auto s = bytes(n);
    if (!s) return std::nullopt;
    return ByteReader(s->data(), s->size());
  }

  // A sub-reader over [offset, offset + n) of the whole buffer, independent of the cursor.
  [[nodiscard]] std::optional<ByteReader> slice(uint64_t offset, uint64_t n) const {
    if (offset > size() || n > size() - offset) return std::nullopt;
    return ByteReader(begin_ + offset, static_cast<size_t>(n));
  }

  const uint8_t* data() const { return begin_; }

 private:
  template <typename T>
  bool readLe(T& v) {
    if (!has(sizeof(T))) return false;
    T r = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
      r |= static_cast<T>(static_cast<T>(begin_[pos_ + i]) << (8 * i));
    v = r;
    pos_ += sizeof(T);
    return true;
  }
  template <typename U, typename S>
  bool readSigned(S& v) {
    U u;
    if (!readLe(u)) return false;
    v = static_cast<S>(u);
    return true;
  }
  template <typename T>
  std::optional<T> get() {
    T v;
    return readLe(v) ? std::optional<T>(v) : std::nullopt;
  }

  const uint8_t* begin_ = nullptr;
  const uint8_t* end_ = nullptr;
  size_t pos_ = 0;
};

}  // namespace bw
