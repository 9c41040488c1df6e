// A movie in memory as the player reads it: for tests and benchmarks of the player, which reads
// only through a MovieSource.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

#include "host/movie/movie_player.h"

namespace bw::tools {

class MemoryMovieSource final : public host::MovieSource {
 public:
  // Keeps its own copy of the bytes.
  explicit MemoryMovieSource(std::vector<uint8_t> bytes)
      : owned_(std::move(bytes)), bytes_(owned_) {}
  // Reads bytes that outlive the source.
  explicit MemoryMovieSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  [[nodiscard]] uint32_t Read(uint8_t* buffer, uint32_t size) override {
    const size_t n = std::min<size_t>(size, bytes_.size() - position_);
    std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return static_cast<uint32_t>(n);
  }
  bool Seek(uint64_t position) override {
    if (position > bytes_.size()) return false;
    position_ = position;
    return true;
  }
  uint64_t Size() override { return bytes_.size(); }

 private:
  std::vector<uint8_t> owned_;
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
};

}  // namespace bw::tools
