#include "resource/packs/lzss_codec.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace bw {
namespace {

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// Text-like data with repeats near and far (distances across the whole ring).
std::vector<uint8_t> Compressible(size_t n, uint32_t seed) {
  static const char* words[] = {
      "the ",    "quick ", "brown ", "fox ", "jumps ",
      "over ",   "lazy ",  "dog ",   "\r\n", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA",
      "\0\0\0\0"};
  std::mt19937 rng(seed);
  std::vector<uint8_t> v;
  while (v.size() < n) {
    std::string w = words[rng() % std::size(words)];
    if (w.empty()) w.assign(5, '\0');
    v.insert(v.end(), w.begin(), w.end());
    if (rng() % 7 == 0) v.push_back(static_cast<uint8_t>(rng()));
  }
  v.resize(n);
  return v;
}

std::vector<uint8_t> Encode(const std::vector<uint8_t>& source, int expected = LzssCodec::kPacked) {
  auto codec = std::make_unique<LzssCodec>();
  std::vector<uint8_t> packed;
  uint32_t size = 0;
  EXPECT_EQ(codec->Encode(source, &packed, &size), expected);
  if (expected == LzssCodec::kPacked) {
    EXPECT_EQ(size, packed.size());
  }
  return packed;
}

// Eighteen equal bytes pack into one literal and one match; what would not save more than eight
// bytes is refused.
TEST(LzssEncode, PacksRunsAndRefusesWhatWouldNotSaveMoreThanEightBytes) {
  EXPECT_EQ(Encode(std::vector<uint8_t>(18, 'A')), (std::vector<uint8_t>{0x01, 0x41, 0xEE, 0xFE}));
  auto codec = std::make_unique<LzssCodec>();
  std::vector<uint8_t> out{1, 2, 3};
  uint32_t size = 99;
  auto noise = RandomBytes(5000, 1);
  EXPECT_EQ(codec->Encode(noise, &out, &size), LzssCodec::kNotPacked);
  EXPECT_GE(size, noise.size() - 8) << "the size reached is reported";
  EXPECT_TRUE(out.empty());
}

TEST(LzssRoundTrip, RestoresEveryShapeOfInput) {
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
  };
  std::vector<Case> cases = {
      {"one long run", std::vector<uint8_t>(100000, 0x5A)},
      {"zeros that match the empty ring", std::vector<uint8_t>(9000, 0)},
      {"text past several ring turns", Compressible(70000, 11)},
      {"every short period",
       [] {
         std::vector<uint8_t> v;
         auto noise = RandomBytes(9 * 20, 4);
         for (size_t period = 1; period <= 9; ++period) {
           for (size_t i = 0; i < 300; ++i) v.push_back(static_cast<uint8_t>('a' + i % period));
           v.insert(v.end(), noise.begin() + 20 * (period - 1), noise.begin() + 20 * period);
         }
         return v;
       }()},
  };
  for (const auto& c : cases) {
    auto packed = Encode(c.data);
    std::vector<uint8_t> out;
    ASSERT_EQ(LzssCodec::Decode(packed, out, static_cast<uint32_t>(c.data.size())),
              LzssCodec::kDecoded)
        << c.what;
    EXPECT_EQ(out, c.data) << c.what;
  }
}

TEST(LzssDecode, MatchesReadTheZeroRingStopAtTheUnpackedSizeAndShortSourcesAreRefused) {
  // One group: a match at ring position 0, length 3, then a literal.
  const std::vector<uint8_t> stream{0x02, 0x00, 0x00, 'x'};
  std::vector<uint8_t> out;
  ASSERT_EQ(LzssCodec::Decode(stream, out, 4), LzssCodec::kDecoded);
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 0, 0, 'x'}));

  // Decoding stops at the unpacked size, inside a match.
  auto data = Compressible(5000, 2);
  auto packed = Encode(data);
  for (uint32_t size : {17u, 4999u}) {
    std::vector<uint8_t> part(size + 64, 0xCC);
    ASSERT_EQ(LzssCodec::Decode(packed, part.data(), size), LzssCodec::kDecoded) << size;
    EXPECT_TRUE(std::equal(part.begin(), part.begin() + size, data.begin())) << size;
    EXPECT_EQ(part[size], 0xCC) << "nothing written past the size " << size;
  }

  // Missing arguments and short sources are refused.
  EXPECT_EQ(LzssCodec::Decode(stream, out.data(), 0), LzssCodec::kZeroSize);
  EXPECT_EQ(LzssCodec::Decode(stream, nullptr, 2), LzssCodec::kNoBuffer);
  // Every cut of the stream must answer 3 without reading past the (exactly sized) copy.
  for (size_t cut : {size_t{0}, size_t{1}, size_t{2}, packed.size() / 2, packed.size() - 1}) {
    auto source = std::make_unique<uint8_t[]>(cut + 1);
    std::copy(packed.begin(), packed.begin() + cut, source.get());
    std::vector<uint8_t> result(data.size());
    EXPECT_EQ(
        LzssCodec::Decode({source.get(), cut}, result.data(), static_cast<uint32_t>(data.size())),
        LzssCodec::kSourceEnded)
        << "cut at " << cut;
  }
  // A match item whose second byte is missing.
  EXPECT_EQ(LzssCodec::Decode(std::vector<uint8_t>{0x00, 0x10}, out.data(), 3),
            LzssCodec::kSourceEnded);
}

}  // namespace
}  // namespace bw
