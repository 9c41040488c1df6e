// The seed corpora of the LZSS and VFA fuzz targets.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/fuzz_seeds.h"
#include "lib/vfa/vfa_writer.h"
#include "resource/packs/lzss_codec.h"

namespace bw {
namespace {

using Seeds = test::FuzzSeeds;

std::vector<uint8_t> Text(size_t n, uint32_t seed) {
  static const char* words[] = {"shadow ", "garden ", "the ", "of ", "\r\n", "AAAAAAAA"};
  std::mt19937 rng(seed);
  std::vector<uint8_t> v;
  while (v.size() < n) {
    std::string w = words[rng() % std::size(words)];
    v.insert(v.end(), w.begin(), w.end());
  }
  v.resize(n);
  return v;
}

Seeds LzssSeeds() {
  Seeds seeds;
  auto add = [&](const std::string& name, const std::vector<uint8_t>& data, size_t cut = 0) {
    LzssCodec codec;
    std::vector<uint8_t> packed;
    ASSERT_EQ(codec.Encode(data, &packed, nullptr), LzssCodec::kPacked);
    std::vector<uint8_t> seed;
    uint32_t size = static_cast<uint32_t>(data.size());
    for (int i = 0; i < 4; ++i) seed.push_back(static_cast<uint8_t>(size >> (8 * i)));
    seed.insert(seed.end(), packed.begin(), packed.end() - static_cast<ptrdiff_t>(cut));
    seeds[name] = seed;
  };
  add("run", std::vector<uint8_t>(300, 'A'));
  add("text", Text(3000, 1));
  add("ring_turn", Text(9000, 2));
  add("cut_short", Text(2000, 3), 7);
  return seeds;
}

Seeds VfaSeeds() {
  std::vector<tools::VfaMemberSource> members{
      {"script\\main.sob", Text(600, 4)},
      {"sys\\a.wgx", Text(90, 5)},
      {"b.txt", {'S', 'O', 'B'}},
      {"nibbled.bin", Text(300, 6), true},
  };
  for (auto& m : members) m.data.insert(m.data.begin(), {'H', 'D', 'R', '0'});
  Seeds seeds;
  auto add = [&](const std::string& name, void (*set)(tools::VfaPackOptions&)) {
    tools::VfaPackOptions options;
    set(options);
    std::vector<uint8_t> bytes;
    if (tools::BuildVfaPack("SCRIPT.VFA", members, options, bytes, nullptr)) seeds[name] = bytes;
  };
  add("plain", [](auto&) {});
  add("no_names", [](auto& o) { o.names = false; });
  add("wide_scrambled", [](auto& o) { o.wideTrie = o.keyScramble = o.commonPrefix = true; });
  add("packed_records13", [](auto& o) { o.pack = o.storedFlag = true; });
  add("sector", [](auto& o) { o.sectorMode = o.keyScramble = true; });
  add("bad_offset", [](auto& o) { o.faults.memberOffset = {{0, 0x7FFFFFFF}}; });
  add("bad_trie_link", [](auto& o) { o.faults.firstTrieDistance = 0x4000; });
  add("cut_packed", [](auto& o) {
    o.pack = true;
    o.faults.cutPackedStreams = 4;
  });
  return seeds;
}

TEST(FuzzSeeds, LzssCorpusIsWhatTheEncoderMakes) { test::CheckOrWriteFuzzSeeds("lzss", LzssSeeds()); }
TEST(FuzzSeeds, VfaCorpusIsWhatThePackWriterMakes) { test::CheckOrWriteFuzzSeeds("vfa", VfaSeeds()); }

}  // namespace
}  // namespace bw
