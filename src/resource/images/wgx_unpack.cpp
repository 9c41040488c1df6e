#include "resource/images/wgx_unpack.h"

#include <cstring>

namespace bw {
namespace {

// Output units. Each knows its size in the output, how a stream value becomes a unit, and how
// to store and load one (copies read back what was written, so they copy units, not values).

// One byte a unit: plain bytes (stride 1) or the alpha byte of 32-bit pixels (stride 4, the
// layout's base pointing at byte 3).
template <size_t Stride>
struct ByteAt {
  static constexpr size_t kStride = Stride;
  static constexpr bool kWhole = Stride == 1;  // the unit is all of its stride
  using T = uint8_t;
  T From(uint8_t v) const { return v; }
  static void Put(uint8_t* a, T v) { *a = v; }
  static T Get(const uint8_t* a) { return *a; }
};
using ByteUnit = ByteAt<1>;
using AlphaUnit = ByteAt<4>;

struct Word32 {
  static constexpr size_t kStride = 4;
  static constexpr bool kWhole = true;
  using T = uint32_t;
  static void Put(uint8_t* a, T v) { std::memcpy(a, &v, 4); }
  static T Get(const uint8_t* a) {
    T v;
    std::memcpy(&v, a, 4);
    return v;
  }
};

struct PaletteUnit : Word32 {
  const uint32_t* table;  // 256 entries, alpha already merged
  T From(uint8_t v) const { return table[v]; }
};

struct Bgr32Unit : Word32 {
  T From(uint8_t b, uint8_t g, uint8_t r) const { return b | (g << 8) | (uint32_t{r} << 16); }
};

struct Bgr24Unit {
  static constexpr size_t kStride = 3;
  static constexpr bool kWhole = true;
  using T = uint32_t;
  T From(uint8_t b, uint8_t g, uint8_t r) const { return b | (g << 8) | (uint32_t{r} << 16); }
  static void Put(uint8_t* a, T v) {
    a[0] = static_cast<uint8_t>(v);
    a[1] = static_cast<uint8_t>(v >> 8);
    a[2] = static_cast<uint8_t>(v >> 16);
  }
  static T Get(const uint8_t* a) { return a[0] | (a[1] << 8) | (uint32_t{a[2]} << 16); }
};

struct GreyUnit : ByteAt<1> {
  T From(uint8_t b, uint8_t g, uint8_t r) const { return WgxGrey(b, g, r); }
};

// Where unit i of the picture (top-down order) lives. Cursors walk units in that order.
template <size_t Stride>
struct Linear {
  static constexpr bool kContiguous = true;
  uint8_t* base;
  struct Cursor {
    uint8_t* at;
    uint8_t* Ptr() const { return at; }
    void Next() { at += Stride; }
  };
  Cursor At(size_t i) const { return {base + i * Stride}; }
};

template <size_t Stride>
struct Rows {
  static constexpr bool kContiguous = false;
  uint8_t* top;       // the picture's top row
  ptrdiff_t rowStep;  // bytes from one picture row to the next (negative for bottom-up DIBs)
  size_t width;
  struct Cursor {
    uint8_t* row;
    size_t col;
    const Rows* rows;
    uint8_t* Ptr() const { return row + col * Stride; }
    void Next() {
      if (++col == rows->width) {
        col = 0;
        row += rows->rowStep;
      }
    }
  };
  Cursor At(size_t i) const {
    return {top + static_cast<ptrdiff_t>(i / width) * rowStep, i % width, this};
  }
};

template <class Unit, class Cursor>
inline void PutRun(const Unit&, Cursor& cur, typename Unit::T v, size_t n) {
  for (size_t k = 0; k < n; ++k) {
    Unit::Put(cur.Ptr(), v);
    cur.Next();
  }
}

template <class Unit, class Layout>
inline void CopyRun(const Layout& out, typename Layout::Cursor& cur, size_t from, size_t n) {
  auto src = out.At(from);
  // A copy that does not overlap itself, in one piece, when units fill their stride and follow
  // each other.
  if constexpr (Layout::kContiguous && Unit::kWhole) {
    size_t bytes = n * Unit::kStride;
    if (static_cast<size_t>(cur.at - src.at) >= bytes) {
      std::memcpy(cur.at, src.at, bytes);
      cur.at += bytes;
      return;
    }
  }
  for (size_t k = 0; k < n; ++k) {
    Unit::Put(cur.Ptr(), Unit::Get(src.Ptr()));
    cur.Next();
    src.Next();
  }
}

// The unit count of a literal or fill code: (c & 31) + shortBase, or in the long form (bit 5
// set) (c & 31) x 256 + the next byte + longBase.
inline bool ReadRunLength(ByteReader& in, uint8_t c, size_t shortBase, size_t longBase, size_t& n) {
  if (!(c & 0x20)) {
    n = (c & 31) + shortBase;
    return true;
  }
  uint8_t b;
  if (!in.u8(b)) return false;
  n = (c & 31) * 256 + b + longBase;
  return true;
}

template <class Unit, class Layout>
int Run8(ByteReader& in, const Unit& unit, const Layout& out, size_t total) {
  auto cur = out.At(0);
  size_t p = 0;
  for (;;) {
    uint8_t c, b, b2;
    if (!in.u8(c)) return kWgxBadStream;
    if (c == 0xFF) return p == total ? 0 : kWgxBadStream;
    size_t n, dist;
    if (c < 0x40) {
      if (!ReadRunLength(in, c, 1, 33, n) || n > total - p) return kWgxBadStream;
      auto lit = in.bytes(n);
      if (!lit) return kWgxBadStream;
      for (uint8_t v : *lit) {
        Unit::Put(cur.Ptr(), unit.From(v));
        cur.Next();
      }
      p += n;
      continue;
    }
    if (c < 0x80) {
      if (!ReadRunLength(in, c, 3, 35, n) || !in.u8(b2) || n > total - p) return kWgxBadStream;
      PutRun(unit, cur, unit.From(b2), n);
      p += n;
      continue;
    }
    if (c < 0x90) {
      if (!in.u8(b)) return kWgxBadStream;
      n = (c & 15) + 2;
      dist = b + 2;
    } else if (c < 0xA0) {
      if (!in.u8(b) || !in.u8(b2)) return kWgxBadStream;
      dist = (c & 15) * 256 + b + 3;
      n = b2 + 4;
    } else if (c < 0xC0) {
      if (!in.u8(b)) return kWgxBadStream;
      dist = (c & 15) * 256 + b + 3;
      n = c < 0xB0 ? 3 : 4;
    } else if (c < 0xE0) {
      n = 1;
      dist = (c & 31) + 1;
    } else {
      n = 2;
      dist = (c & 31) + 2;
    }
    if (dist > p || n > total - p) return kWgxBadStream;
    CopyRun<Unit>(out, cur, p - dist, n);
    p += n;
  }
}

template <class Unit, class Layout>
int Run24(ByteReader& in, const Unit& unit, const Layout& out, size_t width, size_t total) {
  auto cur = out.At(0);
  size_t p = 0;
  auto pixel = [&](typename Unit::T& v) {
    auto s = in.bytes(3);
    if (!s) return false;
    v = unit.From((*s)[0], (*s)[1], (*s)[2]);
    return true;
  };
  for (;;) {
    uint8_t c, b, b2, b3;
    if (!in.u8(c)) return kWgxBadStream;
    if (c == 0xFF) return p == total ? 0 : kWgxBadStream;
    size_t n = 1;
    // Copies from back in the stream, as a distance; or from rows up, as a row count and a column
    // step.
    size_t dist = 0, dy = 0;
    ptrdiff_t dx = 0;
    if (c < 0x40) {
      if (!ReadRunLength(in, c, 1, 33, n) || n > total - p) return kWgxBadStream;
      auto lit = in.bytes(n * 3);
      if (!lit) return kWgxBadStream;
      const uint8_t* s = lit->data();
      for (size_t k = 0; k < n; ++k, s += 3) {
        Unit::Put(cur.Ptr(), unit.From(s[0], s[1], s[2]));
        cur.Next();
      }
      p += n;
      continue;
    }
    if (c < 0x80) {
      typename Unit::T v;
      if (!ReadRunLength(in, c, 2, 34, n) || !pixel(v) || n > total - p) return kWgxBadStream;
      PutRun(unit, cur, v, n);
      p += n;
      continue;
    }
    if (c < 0x90) {
      if (!in.u8(b)) return kWgxBadStream;
      n = (c & 15) + 1;
      dist = b + 2;
    } else if (c < 0xA0) {
      if (!in.u8(b) || !in.u8(b2)) return kWgxBadStream;
      dist = (c & 15) * 256 + b + 2;
      n = b2 + 1;
    } else if (c < 0xB0) {
      if (!in.u8(b) || !in.u8(b2) || !in.u8(b3)) return kWgxBadStream;
      dist = ((c & 15) * 256 + b) * 256 + b2 + 4098;
      n = b3 + 1;
    } else if (c < 0xB8) {
      dist = (c & 7) + 2;
    } else if (c < 0xC0) {
      if (!in.u8(b)) return kWgxBadStream;
      dist = (c & 7) * 256 + b + 10;
    } else if (c < 0xCC) {
      if (!in.u8(b)) return kWgxBadStream;
      dy = (c & 3) * 256 + b + 16;
      dx = c < 0xC4 ? 0 : c < 0xC8 ? -1 : 1;
    } else if (c < 0xD0) {
      if (!in.u8(b)) return kWgxBadStream;
      dist = (c & 3) * 256 + b + 2058;
    } else {
      dy = (c & 15) + 1;
      dx = c < 0xE0 ? 0 : c < 0xF0 ? -1 : 1;
    }
    if (dy) {
      // dy rows up and dx across, in the picture's own order; it must be a unit already written.
      uint64_t back = dy * uint64_t{width};
      if (dx > 0 && back <= 1) return kWgxBadStream;
      dist = static_cast<size_t>(back - dx);
    }
    if (dist > p || n > total - p) return kWgxBadStream;
    CopyRun<Unit>(out, cur, p - dist, n);
    p += n;
  }
}

// Checks that a buffer holds height rows of pitch bytes, each with width units of stride bytes.
bool FitsRows(size_t size, uint32_t width, uint32_t height, size_t pitch, size_t stride) {
  if (uint64_t{width} * stride > pitch) return false;
  return height == 0 || (uint64_t{height} - 1) * pitch + uint64_t{width} * stride <= size;
}

// Runs a stream into rows: bottom-up when dib is set, else top-down. An empty picture has no
// rows to address, so its stream runs into nothing.
template <size_t Stride, class Body>
int IntoRows(std::span<uint8_t> buf, uint32_t width, uint32_t height, size_t pitch,
             size_t byteOffset, bool dib, Body body) {
  if (!FitsRows(buf.size(), width, height, pitch, Stride)) return kWgxBadOutput;
  size_t total = size_t{width} * height;
  if (total == 0) return body(Linear<Stride>{nullptr}, size_t{0});
  uint8_t* top = buf.data() + byteOffset + (dib ? (height - 1) * pitch : 0);
  ptrdiff_t step = dib ? -static_cast<ptrdiff_t>(pitch) : static_cast<ptrdiff_t>(pitch);
  if (pitch == width * Stride && !dib) return body(Linear<Stride>{top}, total);
  return body(Rows<Stride>{top, step, width}, total);
}

}  // namespace

int WgxUnpack8(ByteReader& in, std::span<uint8_t> out) {
  return Run8(in, ByteUnit{}, Linear<1>{out.data()}, out.size());
}

int WgxUnpack8ToDib(ByteReader& in, std::span<uint8_t> dib, uint32_t width, uint32_t height,
                    size_t pitch) {
  return IntoRows<1>(dib, width, height, pitch, 0, true, [&](const auto& layout, size_t total) {
    return Run8(in, ByteUnit{}, layout, total);
  });
}

int WgxUnpack8Rows(ByteReader& in, std::span<uint8_t> rows, uint32_t width, uint32_t height,
                   size_t pitch) {
  return IntoRows<1>(rows, width, height, pitch, 0, false, [&](const auto& layout, size_t total) {
    return Run8(in, ByteUnit{}, layout, total);
  });
}

int WgxUnpackAlphaToDib(ByteReader& in, std::span<uint8_t> dib, uint32_t width, uint32_t height,
                        size_t pitch) {
  return IntoRows<4>(dib, width, height, pitch, 3, true, [&](const auto& layout, size_t total) {
    return Run8(in, AlphaUnit{}, layout, total);
  });
}

int WgxUnpackAlpha(ByteReader& in, std::span<uint32_t> pixels) {
  auto* base = reinterpret_cast<uint8_t*>(pixels.data());
  return Run8(in, AlphaUnit{}, Linear<4>{base ? base + 3 : nullptr}, pixels.size());
}

int WgxUnpackPaletteTo32(ByteReader& in, std::span<uint32_t> pixels,
                         std::span<const uint32_t, 256> palette, uint8_t alpha) {
  uint32_t table[256];
  for (size_t i = 0; i < 256; ++i) table[i] = (palette[i] & 0xFFFFFF) | (uint32_t{alpha} << 24);
  PaletteUnit unit;
  unit.table = table;
  return Run8(in, unit, Linear<4>{reinterpret_cast<uint8_t*>(pixels.data())}, pixels.size());
}

int WgxUnpack24ToDib(ByteReader& in, std::span<uint8_t> dib, uint32_t width, uint32_t height,
                     size_t pitch) {
  return IntoRows<3>(dib, width, height, pitch, 0, true, [&](const auto& layout, size_t total) {
    return Run24(in, Bgr24Unit{}, layout, width, total);
  });
}

int WgxUnpack24To32Dib(ByteReader& in, std::span<uint8_t> dib, uint32_t width, uint32_t height,
                       size_t pitch) {
  return IntoRows<4>(dib, width, height, pitch, 0, true, [&](const auto& layout, size_t total) {
    return Run24(in, Bgr32Unit{}, layout, width, total);
  });
}

int WgxUnpack24To32(ByteReader& in, std::span<uint32_t> pixels, uint32_t width, uint32_t height) {
  size_t total = size_t{width} * height;
  if (total > pixels.size()) return kWgxBadOutput;
  return Run24(in, Bgr32Unit{}, Linear<4>{reinterpret_cast<uint8_t*>(pixels.data())}, width, total);
}

int WgxUnpack24ToGrey(ByteReader& in, std::span<uint8_t> out, uint32_t width, uint32_t height) {
  size_t total = size_t{width} * height;
  if (total > out.size()) return kWgxBadOutput;
  return Run24(in, GreyUnit{}, Linear<1>{out.data()}, width, total);
}

int WgxUnpack24Rows(ByteReader& in, std::span<uint8_t> rows, uint32_t width, uint32_t height,
                    size_t pitch) {
  return IntoRows<1>(rows, width, height, pitch, 0, false, [&](const auto& layout, size_t total) {
    return Run24(in, GreyUnit{}, layout, width, total);
  });
}

}  // namespace bw
