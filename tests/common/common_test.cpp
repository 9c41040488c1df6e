// The common floor's own pieces: the bounded byte cursor, the Shift-JIS walk and the atomic
// writer of the files a player cares about.
#include <gtest/gtest.h>

#include <array>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "common/byte_reader.h"
#include "common/sjis.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

TEST(ByteReader, RefusesReadsPastTheEndWithoutMoving) {
  const std::array<uint8_t, 3> data{1, 2, 3};
  ByteReader r(data.data(), data.size());
  ASSERT_TRUE(r.skip(1));
  uint32_t v = 0xAAAAAAAA;
  EXPECT_FALSE(r.u32le(v));
  EXPECT_EQ(v, 0xAAAAAAAAu) << "a failed read must not write its output";
  EXPECT_EQ(r.position(), 1u);
  EXPECT_FALSE(r.bytes(3).has_value());
  EXPECT_FALSE(r.skip(uint64_t{1} << 63)) << "huge counts from the data must not wrap";
  EXPECT_FALSE(r.seek(4));
  EXPECT_TRUE(r.seek(3));
  EXPECT_FALSE(r.u8().has_value());
  EXPECT_EQ(ByteReader(nullptr, 100).size(), 0u) << "null data is empty";
}

TEST(ByteReader, CStringNeedsItsTerminatorWithinTheLimit) {
  const char data[] = "abc\0defgh";  // "defgh" has its NUL only as the array's end
  ByteReader r(data, sizeof(data) - 1);
  EXPECT_EQ(r.cstring(3), "abc");
  EXPECT_FALSE(r.cstring(16).has_value()) << "no terminator before the end";
  EXPECT_EQ(r.position(), 4u);

  ByteReader r2(data, 4);
  EXPECT_FALSE(r2.cstring(2).has_value()) << "longer than the limit";
}

TEST(ByteReader, SliceAndSubStayInsideTheirParent) {
  const std::array<uint8_t, 6> data{1, 2, 3, 4, 5, 6};
  ByteReader r(data.data(), data.size());
  auto s = r.slice(4, 2);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->u16le(), 0x0605);
  EXPECT_FALSE(r.slice(5, 2));
  EXPECT_FALSE(r.slice(UINT64_MAX, 2)) << "offset + size must not wrap";
  auto sub = r.sub(2);
  ASSERT_TRUE(sub);
  EXPECT_EQ(sub->size(), 2u);
  EXPECT_EQ(r.position(), 2u);
}

// The Shift-JIS walk.
using namespace sjis;

// Characters whose trail byte looks like ASCII the engine reacts to.
constexpr std::string_view kHyou = "\x95\x5C";   // 表, trail '\'
constexpr std::string_view kSo = "\x83\x5C";     // ソ, trail '\'
constexpr std::string_view kMinus = "\x81\x7C";  // −, trail '|'
constexpr std::string_view kA = "\x83\x41";      // ア, trail 'A'

std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string s;
  for (auto p : parts) s += p;
  return s;
}

TEST(Sjis, TrailBytesAreNeverSeparatorsOrMarkup) {
  std::string path = Cat({"dir\\", kHyou, kSo, "\\file", kSo});
  EXPECT_EQ(Find(path, '\\'), 3u);
  EXPECT_EQ(Find(path, '\\', 4), 8u) << "the trails of 表 and ソ are skipped";
  EXPECT_EQ(FindLastSeparator(path), 8u) << "a name ending in ソ does not end in a separator";
  EXPECT_EQ(FindFirstOf(Cat({kMinus, "a|b"}), "|"), 3u);
  EXPECT_EQ(FindLast(Cat({"a/", kSo, "/x"}), '/'), 4u);
  EXPECT_EQ(CharAt(path, 4), 0x955C);
  EXPECT_FALSE(IsCharStart(path, 5));
  EXPECT_TRUE(IsCharStart(path, path.size()));
  EXPECT_FALSE(IsCharStart(path, path.size() + 1));
}

TEST(Sjis, LoneLeadByteAtTheEndIsOneCharacter) {
  const std::string s = "ab\x81";
  EXPECT_EQ(CharLength(s, 2), 1u);
  EXPECT_EQ(Next(s, 2), 3u);
  EXPECT_EQ(CharAt(s, 2), 0x81);
  EXPECT_EQ(Prev(s, 3), 2u);
  // A view cut just after a lead byte must not see the byte behind it.
  const std::string longer = Cat({"x", kHyou});
  std::string_view cut(longer.data(), 2);
  EXPECT_EQ(Find(cut, '\\'), npos);
  EXPECT_EQ(Next(cut, 1), 2u);
}

// The lead ranges' ends: a byte just outside one is a character of its own (0x80 and 0xA0-0xDF
// are single bytes, half-width katakana among them) and must not swallow the '\\' after it.
TEST(Sjis, LeadRangesEndWhereTheyShould) {
  const struct {
    uint8_t byte;
    bool lead;
  } kBytes[] = {{0x7F, false}, {0x80, false}, {0x81, true}, {0x9F, true}, {0xA0, false},
                {0xDF, false}, {0xE0, true},  {0xFC, true}, {0xFD, false}};
  for (const auto& b : kBytes) {
    EXPECT_EQ(IsLeadByte(b.byte), b.lead) << std::hex << int{b.byte};
    const std::string s = {static_cast<char>(b.byte), '\\'};
    EXPECT_EQ(Find(s, '\\'), b.lead ? npos : 1u) << std::hex << int{b.byte};
  }
}

// Prev reads only a few bytes behind pos; walking back with it must visit exactly the character
// starts the forward walk visits, whatever the bytes.
TEST(Sjis, BackwardStepsMeetTheForwardWalk) {
  std::mt19937 rng(932);
  const uint8_t alphabet[] = {'a',  '\\', 0x5C, 0x81, 0x82, 0x9F,
                              0xE0, 0xFC, 0x40, 0xA1, 0xDF, 0x7F};
  for (int round = 0; round < 2000; ++round) {
    std::string s(rng() % 12, '\0');
    for (char& c : s) c = static_cast<char>(alphabet[rng() % sizeof(alphabet)]);
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size(); i = Next(s, i)) starts.push_back(i);
    std::vector<size_t> back;
    for (size_t i = s.size(); i > 0;) back.insert(back.begin(), i = Prev(s, i));
    ASSERT_EQ(back, starts) << "round " << round;
  }
}

TEST(Sjis, FitLengthNeverSplitsACharacter) {
  const std::string s = Cat({"a", kHyou, "b", kSo});
  EXPECT_EQ(FitLength(s, 2), 1u) << "2 would cut 表 in half";
  EXPECT_EQ(FitLength(s, 5), 4u);
  EXPECT_EQ(Truncate("ab\x81", 3), "ab\x81") << "a lone lead at the end is whole";
}

TEST(Sjis, CaseInsensitiveCompareFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(EqualsNoCase("Script\\MAIN.sob", "SCRIPT\\main.SOB"));
  EXPECT_FALSE(EqualsNoCase(kA, "\x83\x61"))
      << "ア and ャ differ only by a trail that looks like a letter";
  EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
  EXPECT_LT(CompareNoCase("z", "\x81\x40"), 0) << "bytes compare unsigned";
  EXPECT_EQ(CompareNoCase(Cat({kHyou, "X"}), Cat({kHyou, "x"})), 0);

  EXPECT_TRUE(StartsWithNoCase("SCRIPT\\main.sob", "script\\"));
  EXPECT_FALSE(StartsWithNoCase(Cat({"x", kHyou}), "x\x95")) << "half of 表 is no prefix";
  EXPECT_FALSE(StartsWithNoCase(Cat({kA, "b"}), "\x83\x61"));
}

std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

size_t FilesIn(const std::filesystem::path& dir) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

TEST(AtomicFile, ReplacesTheTargetButAnUncommittedOrFailedWriteKeepsIt) {
  test::TempDir dir;
  auto target = dir.path() / "save.dat";
  ASSERT_TRUE(WriteFileAtomically(target, Bytes("old")));
  ASSERT_TRUE(WriteFileAtomically(target, Bytes("precious")));
  EXPECT_EQ(test::ReadFile(target), "precious");
  std::error_code error;
  EXPECT_FALSE(WriteFileAtomically(dir.path() / "no" / "such" / "file", Bytes("x"), &error))
      << "a missing folder is an error";
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
  {
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(target));
    ASSERT_TRUE(w.Write("half", 4));
    // the writer goes away without Commit, as when the caller's own encoding fails
  }
  EXPECT_EQ(test::ReadFile(target), "precious") << "uncommitted";
  EXPECT_EQ(FilesIn(dir.path()), 1u);

  std::string big(64 * 1024, 'x');
  {
    test::FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.set);
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(target));
    EXPECT_FALSE(w.Write(big.data(), big.size())) << "the write past the limit fails";
    EXPECT_FALSE(w.Write("y", 1)) << "a writer stays failed";
    EXPECT_FALSE(w.Commit()) << "a failed write is never committed";
    EXPECT_EQ(w.Error(), std::errc::file_too_large) << "the first failure is the reason";
  }
  EXPECT_EQ(test::ReadFile(target), "precious") << "failed";
  EXPECT_EQ(FilesIn(dir.path()), 1u) << "the temporary must be removed";
}

// A start removes what killed writes left beside the files it writes, and nothing else: not the
// temporary of a write still going, not names that only look alike, not folders or links.
TEST(AtomicFile, StaleTemporariesAreRemovedButNotAWriteInProgress) {
  test::TempDir dir;
  const auto target = dir.path() / "APP_CFG.DAT";
  ASSERT_TRUE(WriteFileAtomically(target, Bytes("settings")));
  dir.WriteFile("APP_CFG.DAT.tmp.Ab12Cd", "killed");
  dir.WriteFile("SAVE01.DAT.tmp.zzzzzz", "killed");
  dir.WriteFile("user.cfg.tmp.Q1w2E3", "killed");
  const char* keep[] = {"notes.tmp.abcde", "notes.tmp.abcdefg", "notes.tmp.ab-cde", ".tmp.abcdef",
                        "APP_CFG.DAT"};
  for (const char* name : keep) {
    if (!std::filesystem::exists(dir.path() / name)) dir.WriteFile(name, "theirs");
  }
  std::filesystem::create_directory(dir.path() / "album.tmp.abcdef");
  std::filesystem::create_symlink(target, dir.path() / "link.tmp.abcdef");

  AtomicFileWriter inProgress;
  ASSERT_TRUE(inProgress.Open(target));
  ASSERT_TRUE(inProgress.Write("new", 3));

  EXPECT_EQ(RemoveStaleTemporaries(dir.path(), "USER.CFG"), 1u)
      << "a named target takes only its own, in any case";
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "SAVE01.DAT.tmp.zzzzzz"));
  EXPECT_EQ(RemoveStaleTemporaries(dir.path()), 2u);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "APP_CFG.DAT.tmp.Ab12Cd"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "SAVE01.DAT.tmp.zzzzzz"));
  for (const char* name : keep) EXPECT_TRUE(std::filesystem::exists(dir.path() / name)) << name;
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "album.tmp.abcdef"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link.tmp.abcdef"));

  EXPECT_TRUE(inProgress.Commit()) << "the write that was going on finishes";
  EXPECT_EQ(test::ReadFile(target), "new");
  EXPECT_EQ(RemoveStaleTemporaries(dir.path() / "missing"), 0u);
}

}  // namespace
}  // namespace bw
