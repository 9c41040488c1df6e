// Writes src/host/cp932_table.inc, the tables of the CP932 codec, from glibc's iconv "CP932", so
// that the codec gives glibc's answers without calling iconv at run time.
//
//   g++ -std=c++20 -O2 scripts/gen_cp932_table.cpp -o /tmp/gen_cp932_table
//   /tmp/gen_cp932_table > src/host/cp932_table.inc
//
// The codec computes ASCII, half-width katakana and the user-defined area itself; the generator
// checks that glibc agrees with those rules and stops when it does not.
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kTrailCount = 188;  // 0x40-0x7E and 0x80-0xFC

bool IsLead(int b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
int TrailByte(int index) {
  return index < 63 ? 0x40 + index : 0x80 + (index - 63);
}

[[noreturn]] void Fail(const char* what, unsigned value) {
  std::fprintf(stderr, "gen_cp932_table: %s (0x%X)\n", what, value);
  std::exit(1);
}

// One conversion through a fresh state; nullopt when iconv refuses the whole input.
std::optional<std::string> Convert(iconv_t cd, const std::string& in) {
  char out[16];
  char* ip = const_cast<char*>(in.data());
  char* op = out;
  size_t il = in.size(), ol = sizeof(out);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0) return std::nullopt;
  return std::string(out, static_cast<size_t>(op - out));
}

std::optional<uint32_t> Decode(iconv_t cd, const std::string& bytes) {
  auto r = Convert(cd, bytes);
  if (!r || r->size() != 4) return std::nullopt;
  uint32_t u;
  std::memcpy(&u, r->data(), 4);
  return u;
}

std::optional<uint16_t> Encode(iconv_t cd, uint32_t u) {
  std::string in(4, '\0');
  std::memcpy(in.data(), &u, 4);
  auto r = Convert(cd, in);
  if (!r || r->empty() || r->size() > 2) return std::nullopt;
  uint16_t code = static_cast<uint8_t>((*r)[0]);
  if (r->size() == 2) code = static_cast<uint16_t>(code << 8 | static_cast<uint8_t>((*r)[1]));
  return code;
}

void PrintRows(const char* name, const std::vector<std::vector<uint16_t>>& rows, int width) {
  std::printf("alignas(64) constexpr uint16_t %s[%zu][%d] = {\n", name, rows.size(), width);
  for (const auto& row : rows) {
    std::printf("  {");
    for (int i = 0; i < width; ++i) {
      if (i % 12 == 0) std::printf("\n   ");
      std::printf(" 0x%04X,", row[i]);
    }
    std::printf("\n  },\n");
  }
  std::printf("};\n\n");
}

void PrintIndex(const char* name, const uint8_t (&index)[256]) {
  std::printf("constexpr uint8_t %s[256] = {", name);
  for (int i = 0; i < 256; ++i) {
    if (i % 16 == 0) std::printf("\n ");
    std::printf(" %3u,", index[i]);
  }
  std::printf("\n};\n\n");
}

}  // namespace

int main() {
  iconv_t dec = iconv_open("UCS-4LE", "CP932");
  iconv_t enc = iconv_open("CP932", "UCS-4LE");
  if (dec == reinterpret_cast<iconv_t>(-1) || enc == reinterpret_cast<iconv_t>(-1)) {
    Fail("iconv has no CP932", 0);
  }

  for (int b = 0; b < 256; ++b) {
    auto u = Decode(dec, std::string(1, static_cast<char>(b)));
    std::optional<uint32_t> want;
    if (b < 0x80) want = static_cast<uint32_t>(b);
    if (b >= 0xA1 && b <= 0xDF) want = 0xFF61u + (b - 0xA1);
    if (u != want) Fail("single byte not as the codec computes it", static_cast<unsigned>(b));
  }

  // Decoding: one row of 188 code points per lead byte that has any; 0 where glibc refuses.
  // Leads 0xF0-0xF9 are the user-defined area, which the codec computes.
  uint8_t rowOfLead[256] = {};
  std::vector<std::vector<uint16_t>> decodeRows;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLead(lead)) continue;
    std::vector<uint16_t> row(kTrailCount, 0);
    bool any = false;
    for (int t = 0; t < kTrailCount; ++t) {
      std::string bytes{static_cast<char>(lead), static_cast<char>(TrailByte(t))};
      auto u = Decode(dec, bytes);
      if (lead >= 0xF0 && lead <= 0xF9) {
        if (u != 0xE000u + (lead - 0xF0) * kTrailCount + t) Fail("user area not linear", lead);
        continue;
      }
      if (!u) continue;
      if (*u == 0 || *u > 0xFFFF) Fail("double byte outside the BMP", *u);
      row[t] = static_cast<uint16_t>(*u);
      any = true;
    }
    if (!any) continue;
    decodeRows.push_back(row);
    rowOfLead[lead] = static_cast<uint8_t>(decodeRows.size());
  }
  // Two single-byte characters decode to two code points, so any one-code-point answer here
  // would be a double-byte code with a lead the codec does not know.
  for (int lead = 0; lead < 256; ++lead) {
    for (int t = 0; t < 256 && !IsLead(lead); ++t) {
      if (Decode(dec, std::string{static_cast<char>(lead), static_cast<char>(t)})) {
        Fail("a non-lead byte starts a double-byte code", static_cast<unsigned>(lead << 8 | t));
      }
    }
  }

  // Encoding: pages of 256 code points indexed by the high byte; 0 where glibc refuses. The
  // codec computes ASCII, half-width katakana and the user area before it looks here.
  uint8_t pageOfHigh[256] = {};
  std::vector<std::vector<uint16_t>> encodePages;
  for (uint32_t high = 0; high < 256; ++high) {
    std::vector<uint16_t> page(256, 0);
    bool any = false;
    for (uint32_t low = 0; low < 256; ++low) {
      uint32_t u = high << 8 | low;
      if (u < 0x80 || (u >= 0xFF61 && u <= 0xFF9F) || (u >= 0xD800 && u < 0xE000)) continue;
      auto code = Encode(enc, u);
      if (u >= 0xE000 && u < 0xE000 + 10 * kTrailCount) {
        uint32_t index = u - 0xE000;
        uint16_t want = static_cast<uint16_t>((0xF0 + index / kTrailCount) << 8 |
                                              TrailByte(static_cast<int>(index % kTrailCount)));
        if (code != want) Fail("user area does not encode linearly", u);
        continue;
      }
      if (!code) continue;
      page[low] = *code;
      any = true;
    }
    if (!any) continue;
    encodePages.push_back(page);
    pageOfHigh[high] = static_cast<uint8_t>(encodePages.size());
  }
  // Above the BMP glibc encodes nothing; it swallows the tag characters U+E0000-U+E007F, which the
  // codec refuses instead.
  for (uint32_t u = 0x10000; u < 0x110000; ++u) {
    if (u >= 0xE0000 && u <= 0xE007F) continue;
    if (Encode(enc, u)) Fail("encodes a code point above the BMP", u);
  }

  std::printf(
      "// Generated by scripts/gen_cp932_table.cpp from glibc's iconv \"CP932\". Do not edit.\n"
      "// kDecodeRowOfLead: lead byte -> 1 + row of kDecodeRows, 0 for none; a row holds the code\n"
      "// points of trail bytes 0x40-0x7E, 0x80-0xFC, 0 where there is none.\n"
      "// kEncodePageOfHigh: high byte of a code point -> 1 + page of kEncodePages, 0 for none; a\n"
      "// page holds the CP932 code (lead << 8 | trail, or a single byte), 0 where there is\n"
      "// none.\n\n");
  PrintIndex("kDecodeRowOfLead", rowOfLead);
  PrintRows("kDecodeRows", decodeRows, kTrailCount);
  PrintIndex("kEncodePageOfHigh", pageOfHigh);
  PrintRows("kEncodePages", encodePages, 256);
  std::fprintf(stderr, "gen_cp932_table: %zu decode rows, %zu encode pages\n", decodeRows.size(),
               encodePages.size());
  return 0;
}
