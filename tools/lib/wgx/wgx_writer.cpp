#include "lib/wgx/wgx_writer.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "lib/le_bytes.h"

namespace bw::tools {
namespace {

constexpr uint8_t kEndCode = 0xFF;
constexpr size_t kMaxLiteral = 31 * 256 + 255 + 33;
constexpr size_t kMaxFill8 = 31 * 256 + 255 + 35;
constexpr size_t kMaxFill24 = 31 * 256 + 255 + 34;
constexpr size_t kMaxCopy8 = 255 + 4;
constexpr size_t kMaxCopy24 = 256;
constexpr size_t kMaxDist8 = 15 * 256 + 255 + 3;
constexpr size_t kMaxPairDist8 = 0xFE - 0xE0 + 2;  // one more would make the end code
constexpr size_t kMaxDist24 = (15 * 256 + 255) * 256 + 255 + 4098;
constexpr int kHashBits = 16;
constexpr int kChainDepth = 24;

uint32_t Hash(uint32_t a, uint32_t b) {
  return ((a * 2654435761u) ^ (b * 0x85EBCA77u)) >> (32 - kHashBits);
}

// Positions with the same hash, most recent first.
class Chains {
 public:
  explicit Chains(size_t n) : head_(size_t{1} << kHashBits, -1), prev_(n, -1) {}
  void Insert(size_t i, uint32_t h) {
    prev_[i] = head_[h];
    head_[h] = static_cast<int32_t>(i);
  }
  int32_t Head(uint32_t h) const { return head_[h]; }
  int32_t Prev(size_t i) const { return prev_[i]; }

 private:
  std::vector<int32_t> head_;
  std::vector<int32_t> prev_;
};

// Run header of a literal or fill: short form c | (n - base), long form (c + 0x20) | hi, lo.
void PutCount(std::vector<uint8_t>& out, uint8_t code, size_t n, size_t shortBase,
              size_t longBase) {
  if (n < longBase) {
    out.push_back(static_cast<uint8_t>(code | (n - shortBase)));
  } else {
    size_t v = n - longBase;
    out.push_back(static_cast<uint8_t>((code + 0x20) | (v >> 8)));
    out.push_back(static_cast<uint8_t>(v));
  }
}

template <class T, class Put>
void PutLiterals(std::vector<uint8_t>& out, const T* s, size_t n, Put put) {
  while (n) {
    size_t k = std::min(n, kMaxLiteral);
    PutCount(out, 0x00, k, 1, 33);
    for (size_t i = 0; i < k; ++i) put(s[i]);
    s += k;
    n -= k;
  }
}

template <class T>
size_t MatchLength(const T* d, size_t from, size_t at, size_t n, size_t max) {
  size_t len = 0;
  max = std::min(max, n - at);
  while (len < max && d[from + len] == d[at + len]) ++len;
  return len;
}

// Drives an encoder over n units: choose(i, out) writes the code for position i and answers the
// units it covers, or 0 to leave the unit to a literal run. Pending literals go out first.
template <class T, class Choose, class Insert, class PutUnit>
std::vector<uint8_t> EncodeUnits(const T* d, size_t n, Choose choose, Insert insert,
                                 PutUnit putUnit) {
  std::vector<uint8_t> out, code;
  size_t literalStart = 0, i = 0;
  while (i < n) {
    code.clear();
    size_t step = choose(i, code);
    if (step == 0) {
      insert(i, i + 1);
      ++i;
      continue;
    }
    PutLiterals(out, d + literalStart, i - literalStart, [&](T v) { putUnit(out, v); });
    out.insert(out.end(), code.begin(), code.end());
    insert(i, i + step);
    i += step;
    literalStart = i;
  }
  PutLiterals(out, d + literalStart, n - literalStart, [&](T v) { putUnit(out, v); });
  out.push_back(kEndCode);
  return out;
}

}  // namespace

std::vector<uint8_t> EncodeWgx8(std::span<const uint8_t> bytes) {
  const uint8_t* d = bytes.data();
  const size_t n = bytes.size();
  Chains chains(n);
  auto hashAt = [&](size_t i) { return Hash(d[i] | (d[i + 1] << 8), d[i + 2]); };
  auto insert = [&](size_t from, size_t to) {
    for (size_t i = from; i < to && i + 2 < n; ++i) chains.Insert(i, hashAt(i));
  };
  auto choose = [&](size_t i, std::vector<uint8_t>& code) -> size_t {
    size_t run = MatchLength(d, i, i + 1, n, kMaxFill8 - 1) + 1;
    size_t bestLen = 0, bestDist = 0;
    if (i + 2 < n) {
      int depth = 0;
      for (int32_t c = chains.Head(hashAt(i)); c >= 0 && i - c <= kMaxDist8 && depth < kChainDepth;
           c = chains.Prev(c), ++depth) {
        size_t dist = i - c;
        size_t len = MatchLength(d, c, i, n, dist == 2 ? 17 : kMaxCopy8);
        if (dist >= 2 && len > bestLen) {
          bestLen = len;
          bestDist = dist;
        }
      }
    }
    if (run >= 3 && run >= bestLen) {
      PutCount(code, 0x40, run, 3, 35);
      code.push_back(d[i]);
      return run;
    }
    if (bestLen >= 3) {
      size_t dist = bestDist;
      if (bestLen <= 17 && dist <= 257) {
        code.push_back(static_cast<uint8_t>(0x80 | (bestLen - 2)));
        code.push_back(static_cast<uint8_t>(dist - 2));
      } else if (bestLen <= 4) {
        code.push_back(static_cast<uint8_t>((bestLen == 3 ? 0xA0 : 0xB0) | ((dist - 3) >> 8)));
        code.push_back(static_cast<uint8_t>(dist - 3));
      } else {
        code.push_back(static_cast<uint8_t>(0x90 | ((dist - 3) >> 8)));
        code.push_back(static_cast<uint8_t>(dist - 3));
        code.push_back(static_cast<uint8_t>(bestLen - 4));
      }
      return bestLen;
    }
    // Two bytes from close behind in one code byte.
    for (size_t dist = 2; i + 1 < n && dist <= std::min(kMaxPairDist8, i); ++dist) {
      if (d[i - dist] == d[i] && d[i - dist + 1] == d[i + 1]) {
        code.push_back(static_cast<uint8_t>(0xE0 | (dist - 2)));
        return 2;
      }
    }
    return 0;
  };
  return EncodeUnits(d, n, choose, insert,
                     [](std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); });
}

namespace {

// A copy of one pixel from dist back in a picture of the given width, in its cheapest code.
// Answers the code's size, 0 when no code reaches that far.
size_t SinglePixelCode(size_t dist, size_t width, std::array<uint8_t, 4>& code) {
  if (dist >= 2 && dist <= 9) {
    code[0] = static_cast<uint8_t>(0xB0 | (dist - 2));
    return 1;
  }
  // Rows up: dist = dy x width - dx, dx being -1, 0 or +1 columns.
  for (int dx = -1; dx <= 1; ++dx) {
    size_t back = dist + dx;
    if (back == 0 || back % width) continue;
    size_t dy = back / width;
    uint8_t base = dx == 0 ? 0xD0 : dx < 0 ? 0xE0 : 0xF0;
    if (dy >= 1 && dy <= (dx > 0 ? 15u : 16u)) {
      code[0] = static_cast<uint8_t>(base | (dy - 1));
      return 1;
    }
  }
  if (dist >= 10 && dist <= 2057) {
    code[0] = static_cast<uint8_t>(0xB8 | ((dist - 10) >> 8));
    code[1] = static_cast<uint8_t>(dist - 10);
    return 2;
  }
  for (int dx = -1; dx <= 1; ++dx) {
    size_t back = dist + dx;
    if (back == 0 || back % width) continue;
    size_t dy = back / width;
    if (dy >= 16 && dy <= 1039) {
      uint8_t base = dx == 0 ? 0xC0 : dx < 0 ? 0xC4 : 0xC8;
      code[0] = static_cast<uint8_t>(base | ((dy - 16) >> 8));
      code[1] = static_cast<uint8_t>(dy - 16);
      return 2;
    }
  }
  if (dist >= 2058 && dist <= 3081) {
    code[0] = static_cast<uint8_t>(0xCC | ((dist - 2058) >> 8));
    code[1] = static_cast<uint8_t>(dist - 2058);
    return 2;
  }
  return 0;
}

void PutCopy24(std::vector<uint8_t>& out, size_t dist, size_t len) {
  if (dist <= 257 && len <= 16) {
    out.push_back(static_cast<uint8_t>(0x80 | (len - 1)));
    out.push_back(static_cast<uint8_t>(dist - 2));
  } else if (dist <= 4097) {
    out.push_back(static_cast<uint8_t>(0x90 | ((dist - 2) >> 8)));
    out.push_back(static_cast<uint8_t>(dist - 2));
    out.push_back(static_cast<uint8_t>(len - 1));
  } else {
    size_t v = dist - 4098;
    out.push_back(static_cast<uint8_t>(0xA0 | (v >> 16)));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(len - 1));
  }
}

void PutPixel(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v >> 16));
}

size_t CopyCost24(size_t dist, size_t len) {
  return dist <= 257 && len <= 16 ? 2 : dist <= 4097 ? 3 : 4;
}

}  // namespace

std::vector<uint8_t> EncodeWgx24(std::span<const uint32_t> pixels, uint32_t width) {
  const size_t n = pixels.size();
  std::vector<uint32_t> px(n);
  for (size_t i = 0; i < n; ++i) px[i] = pixels[i] & 0xFFFFFF;
  const uint32_t* d = px.data();
  const size_t w = std::max<uint32_t>(width, 1);
  Chains chains(n);
  std::vector<int32_t> lastSeen(size_t{1} << kHashBits, -1);  // last position of a pixel value
  auto hashAt = [&](size_t i) { return Hash(d[i], d[i + 1]); };
  auto insert = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      if (i + 1 < n) chains.Insert(i, hashAt(i));
      lastSeen[Hash(d[i], 0)] = static_cast<int32_t>(i);
    }
  };
  auto choose = [&](size_t i, std::vector<uint8_t>& code) -> size_t {
    size_t run = MatchLength(d, i, i + 1, n, kMaxFill24 - 1) + 1;
    size_t bestLen = 0, bestDist = 0;
    auto consider = [&](size_t dist) {
      if (dist < 2 || dist > i || dist > kMaxDist24) return;
      size_t len = MatchLength(d, i - dist, i, n, kMaxCopy24);
      if (len > bestLen ||
          (len == bestLen && len && CopyCost24(dist, len) < CopyCost24(bestDist, len))) {
        bestLen = len;
        bestDist = dist;
      }
    };
    // The rows above first: pictures repeat vertically far more than the chains can see.
    consider(w);
    consider(w - 1);
    consider(w + 1);
    consider(2 * w);
    if (i + 1 < n) {
      int depth = 0;
      for (int32_t c = chains.Head(hashAt(i)); c >= 0 && depth < kChainDepth;
           c = chains.Prev(c), ++depth)
        consider(i - c);
    }
    if (run >= 2 && run >= bestLen) {
      PutCount(code, 0x40, run, 2, 34);
      PutPixel(code, d[i]);
      return run;
    }
    if (bestLen >= 2) {
      PutCopy24(code, bestDist, bestLen);
      return bestLen;
    }
    // One pixel: the cheapest code among the near places that hold it, when it beats a literal.
    std::array<uint8_t, 4> candidate{}, best{};
    size_t bestSize = 3;
    auto single = [&](size_t dist) {
      if (dist == 0 || dist > i || d[i - dist] != d[i]) return;
      size_t size = SinglePixelCode(dist, w, candidate);
      if (size && size < bestSize) {
        bestSize = size;
        best = candidate;
      }
    };
    for (size_t dist = 2; dist <= 9; ++dist) single(dist);
    for (size_t dy = 1; dy <= 16 && bestSize > 1; ++dy) {
      single(dy * w);
      single(dy * w + 1);
      single(dy * w - 1);
    }
    int32_t seen = lastSeen[Hash(d[i], 0)];
    if (seen >= 0) single(i - seen);
    if (bestSize == 3) return 0;
    code.insert(code.end(), best.begin(), best.begin() + bestSize);
    return 1;
  };
  return EncodeUnits(d, n, choose, insert, PutPixel);
}

std::vector<uint8_t> WriteWgx(const WgxPicture& picture, const WgxWriteOptions& options) {
  const int depth = picture.depth;
  if (depth != 8 && depth != 24 && depth != 32)
    throw std::invalid_argument("WGX depth must be 8, 24 or 32");
  const size_t count = size_t{picture.width} * picture.height;
  if (picture.pixels.size() != count)
    throw std::invalid_argument("WGX pixel count does not match the size");
  const WgxFaults& faults = options.faults;
  const uint8_t depthByte = static_cast<uint8_t>(faults.depthByte >= 0 ? faults.depthByte : depth);

  // Reserved ahead: GCC's bounds check misreads pushes onto a vector made from a short list.
  std::vector<uint8_t> out;
  out.reserve(64);
  out.insert(out.end(), {'W', 'G', 'X'});
  if (options.form == 0) {
    out.push_back(depthByte);
    Put16(out, picture.width);
    Put16(out, picture.height);
  } else if (options.form == 1) {
    out.push_back(1);
    out.push_back(depthByte);
    Put16(out, static_cast<uint16_t>(picture.offsetX));
    Put16(out, static_cast<uint16_t>(picture.offsetY));
    Put16(out, picture.width);
    Put16(out, picture.height);
  } else if (options.form == 2) {
    out.push_back(2);
    out.push_back(depthByte);
    Put16(out, picture.width);
    Put16(out, picture.height);
    Put16(out, static_cast<uint16_t>(picture.offsetX));
    Put16(out, static_cast<uint16_t>(picture.offsetY));
    for (size_t c = 0; c < picture.chunks.size(); ++c) {
      out.push_back(1);
      Put32(out, c == 0 && faults.zeroChunkLength
                     ? 0
                     : static_cast<uint32_t>(picture.chunks[c].size() + 4));
      out.insert(out.end(), picture.chunks[c].begin(), picture.chunks[c].end());
    }
    out.push_back(0);
  } else {
    throw std::invalid_argument("WGX header form must be 0, 1 or 2");
  }

  // Every stream but the last is written whole; the faults touch the last one (the indices at
  // 8 bits, the colours at 24, the alpha at 32).
  std::vector<uint32_t> colours(picture.pixels);
  std::vector<uint8_t> bytes(count);
  for (size_t k = 0; k < count; ++k)
    bytes[k] = static_cast<uint8_t>(depth == 8 ? picture.pixels[k] : picture.pixels[k] >> 24);
  if (depth == 8) {
    std::vector<uint8_t> table(1024, 0);
    for (size_t e = 0; e < picture.palette.size() && e < 256; ++e)
      for (int k = 0; k < 4; ++k)
        table[4 * e + k] = static_cast<uint8_t>(picture.palette[e] >> (8 * k));
    auto palette = EncodeWgx8(table);
    out.insert(out.end(), palette.begin(), palette.end());
  } else if (depth == 32) {
    auto colourStream = EncodeWgx24(colours, picture.width);
    out.insert(out.end(), colourStream.begin(), colourStream.end());
  }
  const bool last8 = depth != 24;
  size_t units = count;
  if (faults.endEarly && units > 0) --units;
  if (faults.overrun) {
    bytes.push_back(0x5A);
    colours.push_back(0x123456);
    ++units;
  }
  std::vector<uint8_t> last =
      last8 ? EncodeWgx8(std::span<const uint8_t>(bytes).first(units))
            : EncodeWgx24(std::span<const uint32_t>(colours).first(units), picture.width);
  if (faults.copyBeforeStart) last.insert(last.begin(), last8 ? 0xC0 : 0xB0);
  if (faults.omitEndCode) last.pop_back();
  out.insert(out.end(), last.begin(), last.end());
  return out;
}

}  // namespace bw::tools
