// The VFA key schedule, index scramble and member scramble checked against bytes worked out by
// hand from the format's description, not by the pack writer (which shares the scrambles).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/vfa/vfa_writer.h"
#include "platform/stream.h"
#include "resource/packs/vfa_archive.h"
#include "resource/packs/vfa_format.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(VfaKnownAnswer, KeysComeFromTheNameAndTheKeyWords) {
  struct Case {
    const char* name;
    uint32_t keyWord1, keyWord2;
    uint32_t member, index;
  };
  const Case cases[] = {
      {"AB", 0, 0, 0xC45570FA, 0xC13B7FCB},
      {"SCRIPT", 0, 0, 0xC7D99B3E, 0x9527D5F1},
      {"SCRIPT", 0x12345678, 0x9ABCDEF0, 0xD5EDCD46, 0x0F9B0B01},
  };
  for (const Case& c : cases) {
    VfaKeys keys = MakeVfaKeys(c.name, c.keyWord1, c.keyWord2);
    EXPECT_EQ(keys.member, c.member) << c.name;
    EXPECT_EQ(keys.index, c.index) << c.name;
  }
  EXPECT_EQ(VfaNameKey("data\\script.vfa"), "SCRIPT");
}

// "AB.VFA" with one member "x" of 8 bytes, pack flags name trie and key scramble (0x06), key
// words 0: member key 0xC45570FA, index key 0xC13B7FCB.
const Bytes kPlainIndex = {
    0x01, 0x00, 0x00, 0x00,                                // one entry
    0x00,                                                  // no common prefix
    0x00, 0x08, 0x00, 0x00, 0x00,                          // narrow trie of 8 bytes
    0x01, 0x78, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,        // {'x' +0} -> {NUL: entry 0}
    0x00, 0x23, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00,  // plain, at 35, 8 bytes
};
const Bytes kPack = {
    0x56, 0x46, 0x41, 0x31,  // "VFA1"
    0xD0, 0x7F, 0x3B, 0xC7,  // 0x0600001B (flags 6, index of 27 bytes) ^ the index key
    // The index: six whole words scrambled, the last three bytes as they are.
    0xCA, 0x7F, 0x3B, 0xC1, 0x4E, 0xF0, 0xFA, 0xDF, 0x97, 0xFF, 0x77, 0xFA, 0x09, 0x5E, 0xFF, 0xDB,
    0xF9, 0x6F, 0x27, 0x5B, 0x7F, 0x3B, 0xC1, 0xC3, 0x00, 0x00, 0x00,
    // "ABCDEFGH", both words key-scrambled.
    0xBB, 0x32, 0x16, 0x80, 0xB0, 0xA7, 0xED, 0xC0};

TEST(VfaKnownAnswer, ScramblesGiveTheBytesWorkedOutByHand) {
  Bytes index = kPlainIndex;
  ScrambleVfaIndex(index.data(), index.size() / 4, 0xC13B7FCB);
  EXPECT_EQ(index, Bytes(kPack.begin() + 8, kPack.begin() + 35));
  Bytes member = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'};
  ScrambleVfaMemberHead(member.data(), 2, 0xC45570FA);
  EXPECT_EQ(member, Bytes(kPack.begin() + 35, kPack.end()));
}

TEST(VfaKnownAnswer, TheReaderAndTheWriterAgreeWithThePack) {
  test::TempDir dir;
  const auto path = dir.WriteFile("AB.VFA", std::string(kPack.begin(), kPack.end()));
  int error = -1;
  Archive* archive = OpenVfaPack(path.c_str(), host::HostFile(), &error);
  ASSERT_NE(archive, nullptr) << error;
  Bytes got;
  auto allocate = [](uint32_t size, void* argument, void*) -> void* {
    auto* v = static_cast<Bytes*>(argument);
    v->assign(size, 0);
    return v->data();
  };
  EXPECT_EQ(archive->ReadByName("X", allocate, &got, nullptr, nullptr), kArchiveOk);
  EXPECT_EQ(got, (Bytes{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}));
  Stream* stream = archive->OpenStreamByName("x", &error);
  ASSERT_NE(stream, nullptr) << error;
  uint8_t streamed[8] = {};
  EXPECT_EQ(stream->Read(streamed, 8), 8u);
  EXPECT_EQ(Bytes(streamed, streamed + 8), got);
  stream->Release();
  archive->Release();

  tools::VfaPackOptions options;
  options.keyScramble = true;
  Bytes written;
  std::string message;
  ASSERT_TRUE(tools::BuildVfaPack("AB.VFA", {{"x", {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}}},
                                  options, written, &message))
      << message;
  EXPECT_EQ(written, kPack);
}

}  // namespace
}  // namespace bw
