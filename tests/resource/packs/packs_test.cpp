// The packs: the LZSS codec of their members, VFA archives read and written, and the file-system
// manager that mounts them and answers loose files first.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "common/sjis.h"
#include "host/trust.h"
#include "lib/vfa/vfa_writer.h"
#include "platform/stream.h"
#include "resource/packs/file_system_manager.h"
#include "resource/packs/lzss_codec.h"
#include "resource/packs/pack_member_stream.h"
#include "resource/packs/vfa_archive.h"
#include "resource/packs/vfa_decoder.h"
#include "resource/packs/vfa_format.h"
#include "support/image_test_rig.h"
#include "support/temp_dir.h"
#include "support/vector_reads.h"

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

using tools::VfaMemberSource;
using tools::VfaPackOptions;

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& s) {
  return {s.begin(), s.end()};
}

std::vector<uint8_t> Member(const std::string& head, size_t size, uint32_t seed, bool text) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v = ToBytes(head);
  while (v.size() < size) {
    v.push_back(text ? static_cast<uint8_t>("abc de\r\n"[rng() % 8]) : static_cast<uint8_t>(rng()));
  }
  return v;
}

// Members that share the 4-byte head "SOB0", one exactly that long, one nibble-scrambled.
std::vector<VfaMemberSource> SampleMembers() {
  std::vector<VfaMemberSource> m;
  m.push_back({"script\\main.sob", Member("SOB0", 3000, 1, true)});
  m.push_back({"sys\\rule001.wgx", Member("SOB0", 1000, 2, false)});
  m.push_back({"head.bin", ToBytes("SOB0")});
  m.push_back({"short.bin", ToBytes("SOB0xy")});
  m.push_back({"voice\\v001.ogg", Member("SOB0", 700, 3, false), true});
  return m;
}

// Restores the decoder's process-wide settings after each test.
class VfaTest : public test::GameFolderTest {
 protected:
  void TearDown() override {
    EXPECT_EQ(VfaDecoderAssist(kVfaAssistTables, 0, 0), 0);
    EXPECT_EQ(VfaDecoderAssist(kVfaAssistKeyWords, 0, 0), 0);
    for (Archive* a : open_) a->Release();
  }

  std::filesystem::path Write(const std::string& fileName,
                              const std::vector<VfaMemberSource>& members,
                              const VfaPackOptions& options = {}) {
    EXPECT_TRUE(game_.WritePack(fileName, members, options));
    return dir_.path() / fileName;
  }

  // Opens through an open handle, as the file-system manager does. Null with the code in error.
  Archive* Open(const std::filesystem::path& path, int* error) {
    host::HostFile file;
    EXPECT_TRUE(file.Open(path, host::HostFile::Access::kRead));
    Archive* archive = OpenVfaPack(path.c_str(), std::move(file), error);
    if (archive) open_.push_back(archive);
    return archive;
  }

  Archive* WriteAndOpen(const std::vector<VfaMemberSource>& members, const VfaPackOptions& options,
                        int* error, const std::string& fileName = "SCRIPT.VFA") {
    return Open(Write(fileName, members, options), error);
  }

  std::vector<Archive*> open_;
};

std::vector<uint8_t> ReadStream(Archive& archive, uint32_t index, int* error, uint32_t chunk) {
  StreamRef stream(archive.OpenStreamByIndex(index, error));
  if (!stream) return {};
  std::vector<uint8_t> out;
  std::vector<uint8_t> buffer(chunk);
  while (uint32_t n = stream->Read(buffer.data(), chunk))
    out.insert(out.end(), buffer.begin(), buffer.begin() + n);
  EXPECT_TRUE(stream->IsEof());
  return out;
}

struct Variant {
  const char* name;
  VfaPackOptions options;
};

VfaPackOptions With(void (*set)(VfaPackOptions&)) {
  VfaPackOptions o;
  set(o);
  return o;
}

class VfaRoundTrip : public VfaTest, public ::testing::WithParamInterface<Variant> {};

TEST_P(VfaRoundTrip, EveryMemberReadsBackByNameIndexAndStream) {
  const VfaPackOptions& options = GetParam().options;
  EXPECT_EQ(VfaDecoderAssist(kVfaAssistKeyWords, options.keyWord1, options.keyWord2), 0);
  auto members = SampleMembers();
  int error = -1;
  Archive* archive = WriteAndOpen(members, options, &error);
  ASSERT_NE(archive, nullptr) << "open failed with " << error;
  ASSERT_EQ(archive->GetEntryCount(), members.size());
  for (uint32_t i = 0; i < members.size(); ++i) {
    const auto& expected = members[i].data;
    std::vector<uint8_t> got;
    ASSERT_EQ(archive->ReadByIndex(i, test::AllocateVector, &got, nullptr, nullptr), kArchiveOk)
        << i;
    EXPECT_EQ(got, expected) << "member " << i;

    if (options.names) {
      std::string upper = members[i].name;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      got.clear();
      ASSERT_EQ(archive->ReadByName(upper.c_str(), test::AllocateVector, &got, nullptr, nullptr),
                kArchiveOk);
      EXPECT_EQ(got, expected) << upper;
    }

    bool packed = options.pack && i == 0;  // only the text shrinks
    for (uint32_t chunk : {1u, 7u, 4096u}) {
      auto streamed = ReadStream(*archive, i, &error, chunk);
      if (packed) {
        EXPECT_EQ(error, kArchiveNotStreamable) << "member " << i;
        break;
      }
      ASSERT_EQ(error, kArchiveOk) << "member " << i;
      EXPECT_EQ(streamed, expected) << "member " << i << " in chunks of " << chunk;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, VfaRoundTrip,
    ::testing::Values(Variant{"Plain", {}},
                      Variant{"NoNames", With([](auto& o) { o.names = false; })},
                      Variant{"Records13", With([](auto& o) { o.unpackedSizes = true; })},
                      Variant{"Everything", With([](auto& o) {
                                o.sectorMode = o.wideTrie = o.keyScramble = o.commonPrefix =
                                    o.pack = true;
                                o.storedFlag = true, o.keyWord1 = 7, o.keyWord2 = 11;
                              })}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(VfaTest, TrieLookupStaysInsideTheTrie) {
  // A trie holding "ab" -> 5: root {'a'} -> {'b'} -> {NUL: 5}, narrow links of distance 0.
  const std::vector<uint8_t> trie{1, 'a', 0, 0, 1, 'b', 0, 0, 1, 0, 5, 0};
  EXPECT_EQ(VfaArchive::FindInNameTrie(trie, false, "AB", VfaArchive::kCaseLower), 5);
  EXPECT_EQ(VfaArchive::FindInNameTrie(trie, false, nullptr, VfaArchive::kCaseLower), -1);
  EXPECT_EQ(VfaArchive::FindInNameTrie({}, false, "ab", VfaArchive::kCaseLower), -1);
  // Mode 0 takes the name as given, 1 upper-cases it, every other mode lower-cases it.
  for (auto [mode, name, found] : {std::tuple(VfaArchive::kCaseAsGiven, "ab", 5),
                                   {VfaArchive::kCaseAsGiven, "AB", -1},
                                   {VfaArchive::kCaseUpper, "ab", -1},
                                   {3, "AB", 5},
                                   {-1, "aB", 5}}) {
    EXPECT_EQ(VfaArchive::FindInNameTrie(trie, false, name, mode), found) << mode << " " << name;
  }
  const std::vector<uint8_t> upperOnly{1, 'A', 0, 0, 1, 'B', 0, 0, 1, 0, 6, 0};
  EXPECT_EQ(VfaArchive::FindInNameTrie(upperOnly, false, "ab", VfaArchive::kCaseUpper), 6);
  const std::vector<uint8_t> cut(trie.begin(), trie.end() - 2);
  EXPECT_EQ(VfaArchive::FindInNameTrie(cut, false, "ab", VfaArchive::kCaseLower), -1)
      << "a node cut off by the trie's end";
}

// The look-up built at opening against the rule it stands for: a name is found when, lower-cased
// with ASCII letters only (never a trail byte, though 0x41-0x5A and 0x61-0x7A are trail bytes
// too), it equals a member's stored name.
TEST_F(VfaTest, LookUpsFindExactlyTheNamesThatFoldToAStoredOne) {
  std::mt19937 rng(3);
  auto randomName = [&] {
    std::string name;
    for (size_t n = 1 + rng() % 12; name.size() < n;) {
      switch (rng() % 4) {
        case 0:
          name += static_cast<char>((rng() % 2 ? 'a' : 'A') + rng() % 3);
          break;
        case 1:  // a kana whose trail byte is a letter
          name += "\x83";
          name += static_cast<char>((rng() % 2 ? 0x41 : 0x61) + rng() % 3);
          break;
        case 2:
          name += "\\";
          break;
        default:
          name += static_cast<char>('0' + rng() % 3);
      }
    }
    return name;
  };
  std::map<std::string, uint32_t> stored;  // lower-cased, as the writer stores them
  std::vector<VfaMemberSource> members;
  while (members.size() < 300) {
    std::string name = sjis::ToLower(randomName());
    if (stored.emplace(name, static_cast<uint32_t>(members.size())).second) {
      members.push_back({name, ToBytes("x")});
    }
  }
  EXPECT_EQ(VfaDecoderAssist(kVfaAssistTables, 1, 0), 0);
  int error = 0;
  Archive* archive = WriteAndOpen(members, {}, &error);
  ASSERT_NE(archive, nullptr) << error;
  for (int i = 0; i < 5000; ++i) {
    std::string asked = randomName();
    auto expected = stored.find(sjis::ToLower(asked));
    const ArchiveEntryInfo* info = archive->FindEntryInfo(asked.c_str());
    ASSERT_EQ(info != nullptr, expected != stored.end()) << asked;
    EXPECT_EQ(archive->Exists(asked.c_str()), info != nullptr) << asked;
    if (info) {
      EXPECT_EQ(info->index, expected->second) << asked;
    }
  }
}

TEST_F(VfaTest, PrefixAndKeyScrambleCoverOnlyTheirBytes) {
  auto members = SampleMembers();
  VfaPackOptions options;
  options.commonPrefix = true;
  options.keyScramble = true;
  auto path = Write("SCRIPT.VFA", members, options);
  EXPECT_EQ(VfaDecoderAssist(kVfaAssistTables, 1, 0), 0);
  int error = 0;
  Archive* archive = Open(path, &error);
  ASSERT_NE(archive, nullptr);
  const std::string file = test::ReadFile(path);
  auto stored = [&](uint32_t index, size_t at, size_t n) {
    uint32_t offset = archive->GetEntryInfo(index, nullptr)->offset;
    return std::vector<uint8_t>(file.begin() + offset + at, file.begin() + offset + at + n);
  };
  const auto& main = members[0].data;  // stored without its 4 prefix bytes
  EXPECT_NE(stored(0, 0, 256), std::vector<uint8_t>(main.begin() + 4, main.begin() + 260));
  EXPECT_EQ(stored(0, 256, 100), std::vector<uint8_t>(main.begin() + 260, main.begin() + 360))
      << "only 64 words are scrambled";
  EXPECT_EQ(stored(3, 0, 2), ToBytes("xy")) << "no word follows the prefix";
}

// One fault each, and the code it must give: at opening, or at reading one member.
constexpr int kNoStreamCheck = 1000;
struct Fault {
  const char* name;
  int openCode;
  uint32_t member;
  int readCode;
  int streamCode;
  void (*set)(VfaPackOptions&);
};

class VfaFault : public VfaTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(VfaFault, AnswersItsCode) {
  const Fault& fault = GetParam();
  VfaPackOptions options;
  options.commonPrefix = true;
  fault.set(options);
  int error = -1;
  Archive* archive = WriteAndOpen(SampleMembers(), options, &error);
  ASSERT_EQ(error, fault.openCode);
  if (fault.openCode != kArchiveOk) {
    EXPECT_EQ(archive, nullptr);
    return;
  }
  ASSERT_NE(archive, nullptr);
  std::vector<uint8_t> got;
  EXPECT_EQ(archive->ReadByIndex(fault.member, test::AllocateVector, &got, nullptr, nullptr),
            fault.readCode);
  if (fault.streamCode != kNoStreamCheck) {
    EXPECT_EQ(archive->OpenStreamByIndex(fault.member, &error), nullptr);
    EXPECT_EQ(error, fault.streamCode);
  }
}

// Faults at opening, then those found when one member is read: {member, read, stream code}.
constexpr int kOk = kArchiveOk, kBad = kArchiveBadFormat, kReadFailed = kArchiveReadFailed;
constexpr int kNone = kNoStreamCheck;
INSTANTIATE_TEST_SUITE_P(
    Faults, VfaFault,
    ::testing::Values(
        Fault{"BadMagic", kBad, 0, 0, kNone, [](auto& o) { o.faults.badMagic = true; }},
        Fault{"NoHeader", kReadFailed, 0, 0, kNone, [](auto& o) { o.faults.truncateTo = 6; }},
        Fault{"IndexCut", kBad, 0, 0, kNone, [](auto& o) { o.faults.truncateTo = 30; }},
        Fault{"IndexPastTheFile", kBad, 0, 0, kNone,
              [](auto& o) { o.faults.indexSizeField = 0xFFFFFF; }},
        Fault{"KeyWordsTheDecoderLacks", kBad, 0, 0, kNone,
              [](auto& o) { o.keyWord1 = 1, o.keyWord2 = 2; }},
        Fault{"HugeCount", kBad, 0, 0, kNone, [](auto& o) { o.faults.entryCount = 0x10000000; }},
        Fault{"TrieSizePastTheIndex", kBad, 0, 0, kNone,
              [](auto& o) { o.faults.trieSize = 0xFFFFFFFF; }},
        Fault{"PrefixPastTheIndex", kBad, 0, 0, kNone,
              [](auto& o) { o.names = false, o.faults.prefixLength = 255; }},
        Fault{"OffsetPastTheFile", kBad, 0, 0, kNone,
              [](auto& o) { o.faults.memberOffset = std::pair(1u, 0xFFFFFF00u); }},
        Fault{"OffsetInsideTheIndex", kBad, 0, 0, kNone,
              [](auto& o) { o.faults.memberOffset = std::pair(2u, 8u); }},
        Fault{"SizeUnderThePrefix", kBad, 0, 0, kNone,
              [](auto& o) { o.faults.memberSize = std::pair(1u, 2u); }},
        Fault{"SizeZero", kOk, 1, kArchiveEmptyMember, kArchiveNotStreamable,
              [](auto& o) { o.faults.memberSize = std::pair(1u, 0u); }},
        Fault{"PackedStreamCut", kOk, 0, kArchiveUnpackFailed, kNone,
              [](auto& o) { o.pack = true, o.faults.cutPackedStreams = 3; }},
        Fault{"UnpackedSizeMoreThanLzssGives", kBad, 0, 0, kNone,
              [](auto& o) { o.pack = true, o.faults.memberUnpackedSize = std::pair(0u, 100000u); }},
        Fault{"UnpackedSizeTooLarge", kOk, 0, kArchiveUnpackFailed, kNone,
              [](auto& o) { o.pack = true, o.faults.memberUnpackedSize = std::pair(0u, 5000u); }}),
    [](const auto& instance) { return std::string(instance.param.name); });

// Whatever the table setting, a pack whose index breaks is refused when it is opened, with
// words that say where, and never half-read later.
TEST_F(VfaTest, DamagedIndexesAreRefusedAtOpeningWithWordsThatSayWhere) {
  struct Damage {
    const char* name;
    void (*set)(VfaPackOptions&);
    const char* words;
  };
  const Damage damages[] = {
      {"link out of the trie", [](auto& o) { o.faults.firstTrieDistance = 0xFFFF; },
       "leads to no node"},
      {"wide entry index past the pack by its top byte alone",
       [](auto& o) { o.wideTrie = true, o.faults.firstTrieEntryIndex = 0x01000004; },
       "entry 16777220, which the pack does not have"},
      {"entry the pack lacks", [](auto& o) { o.faults.firstTrieEntryIndex = 999; },
       "entry 999, which the pack does not have"},
      {"entry named twice", [](auto& o) { o.faults.firstTrieEntryIndex = 4; }, "entry 4 twice"},
      {"member past the end", [](auto& o) { o.faults.truncateTo = 3000; },
       "bytes lie outside the file"},
  };
  for (bool tables : {false, true}) {
    EXPECT_EQ(VfaDecoderAssist(kVfaAssistTables, tables, 0), 0);
    for (const Damage& damage : damages) {
      SCOPED_TRACE(damage.name);
      VfaPackOptions options;
      damage.set(options);
      auto path = Write("PATCH.VFA", SampleMembers(), options);
      std::string why;
      int error = 0;
      EXPECT_EQ(OpenVfaPack(path.c_str(), host::HostFile(), &error, &why), nullptr);
      EXPECT_EQ(error, kArchiveBadFormat);
      EXPECT_NE(why.find(damage.words), std::string::npos) << why;
    }
  }
}

TEST_F(VfaTest, OpeningRefusesPacksWithoutABaseName) {
  auto path = Write("A.VFA", SampleMembers(), {});
  auto nameless = dir_.path() / ".VFA";
  std::filesystem::copy_file(path, nameless);
  int error = 0;
  EXPECT_EQ(Open(nameless, &error), nullptr);
  EXPECT_EQ(error, kArchiveBadFormat) << "the key needs at least one character";
}

// "AB.VFA" with one member "x" of 8 bytes, pack flags name trie and key scramble (0x06), key
// words 0: member key 0xC45570FA, index key 0xC13B7FCB. Both the reader and the writer must agree
// with these bytes, worked out by hand from the format's description.
const Bytes kPack = {
    0x56, 0x46, 0x41, 0x31,  // "VFA1"
    0xD0, 0x7F, 0x3B, 0xC7,  // 0x0600001B (flags 6, index of 27 bytes) ^ the index key
    // The index: one entry, no common prefix, a narrow trie of 8 bytes {'x' +0} -> {NUL: entry
    // 0}, the member plain at 35, 8 bytes; six whole words scrambled, the last three bytes as
    // they are.
    0xCA, 0x7F, 0x3B, 0xC1, 0x4E, 0xF0, 0xFA, 0xDF, 0x97, 0xFF, 0x77, 0xFA, 0x09, 0x5E, 0xFF, 0xDB,
    0xF9, 0x6F, 0x27, 0x5B, 0x7F, 0x3B, 0xC1, 0xC3, 0x00, 0x00, 0x00,
    // "ABCDEFGH", both words key-scrambled.
    0xBB, 0x32, 0x16, 0x80, 0xB0, 0xA7, 0xED, 0xC0};

// The VFA key schedule, index scramble and member scramble checked against bytes worked out by
// hand from the format's description, not by the pack writer (which shares the scrambles).
TEST(VfaKnownAnswer, KeysComeFromTheNameAndTheKeyWordsAndTheReaderAndTheWriterAgreeWithThePack) {
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

  test::TempDir dir;
  const auto path = dir.WriteFile("AB.VFA", std::string(kPack.begin(), kPack.end()));
  int error = -1;
  Archive* archive = OpenVfaPack(path.c_str(), host::HostFile(), &error);
  ASSERT_NE(archive, nullptr) << error;
  Bytes got;
  EXPECT_EQ(archive->ReadByName("X", test::AllocateVector, &got, nullptr, nullptr), kArchiveOk);
  EXPECT_EQ(got, (Bytes{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}))
      << "streamed, a scrambled member is the round trip's";
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

void* AllocateString(uint32_t size, void* argument, void*) {
  auto* s = static_cast<std::string*>(argument);
  s->assign(size, '\0');
  return s->data();
}
void ReleaseString(void* argument) {
  static_cast<std::string*>(argument)->assign("released");
}

// A game folder in a temporary folder, made the application folder, with the VFA decoder.
class FileSystemTest : public VfaTest {
 protected:
  static VfaMemberSource Member(const std::string& name, const std::string& data) {
    return {name, ToBytes(data)};
  }

  // The content of name, or "error N".
  std::string Load(const std::string& name, std::string* path = nullptr) {
    std::string data;
    int code = manager_.LoadFile(name, AllocateString, ReleaseString, &data, path);
    return code == kFsOk ? data : "error " + std::to_string(code);
  }

  FileSystemManager& manager_ = files_;
};

TEST_F(FileSystemTest, LooseFilesWinThenPatchesFromTheHighestDown) {
  // Each pack says which one answered; the overlaps show the order.
  Write("PATCH.VFA", {Member("script\\b.sob", "patch1"), Member("script\\c.sob", "patch1")});
  Write("PATCH2.VFA", {Member("script\\a.sob", "patch2"), Member("script\\b.sob", "patch2")});
  Write("PATCH3.VFA", {Member("script\\a.sob", "patch3"), Member("script\\main.sob", "p3")});
  Write("SCRIPT.VFA",
        {Member("c.sob", "script"), Member("d.sob", "script"), Member("main.sob", "script")});
  Write("PATCH5.VFA", {Member("script\\a.sob", "patch5")});  // after a gap: never mounted
  ASSERT_EQ(MountStartupPacks(manager_), 4);
  ASSERT_EQ(manager_.GetMountCount(), 4u);

  EXPECT_EQ(Load("SCRIPT\\A.SOB"), "patch3");
  EXPECT_EQ(Load("script/b.sob"), "patch2");
  EXPECT_EQ(Load("Script\\C.Sob"), "patch1");
  std::string path;
  EXPECT_EQ(Load("SCRIPT\\D.SOB", &path), "script");
  EXPECT_EQ(path, sjis::ToLower(folder_) + "script\\d.sob");
  EXPECT_EQ(Load("SCRIPT\\E.SOB"), "error 3");
  EXPECT_EQ(Load("SCRIPT\\MAIN.SOB"), "p3");

  // A loose file of the same name beats every pack, found whatever its case on disk.
  dir_.WriteFile("Script/main.SOB", "loose");
  EXPECT_EQ(Load("SCRIPT\\MAIN.SOB", &path), "loose");
  EXPECT_EQ(path, folder_ + "SCRIPT\\MAIN.SOB");
  EXPECT_EQ(manager_.FindFile(&path, "../../../../../../../../../../x", nullptr), kFindBadPath);
}

TEST_F(FileSystemTest, NamesFoldAsciiLettersOnly) {
  // With the tables, a member's size comes from its entry record, looked up by the same rule.
  EXPECT_EQ(VfaDecoderAssist(kVfaAssistTables, 1, 0), 0);
  // "ア" is 0x83 0x41: its trail byte is an 'A' that must not become 'a' (0x83 0x61 is "ャ").
  Write("PATCH.VFA", {Member("\x83\x41.txt", "a-kana"), Member("\x83\x61.txt", "ya")});
  ASSERT_EQ(MountStartupPacks(manager_), 1);
  EXPECT_EQ(VfaDecoderAssist(kVfaAssistTables, 0, 0), 0);
  EXPECT_EQ(Load("\x83\x41.TXT"), "a-kana");
  EXPECT_EQ(Load("\x83\x61.Txt"), "ya");
  FileFindData data;
  ASSERT_EQ(manager_.FindFile(nullptr, "\x83\x61.TXT", &data), kFindInPack);
  EXPECT_EQ(data.size, 2u);
  // Full-width letters differ by case: no folding.
  Write("SCRIPT.VFA", {Member("\x82\x81.txt", "full-width a")});
  ASSERT_EQ(manager_.Mount("SCRIPT.VFA", kStartupMountId, true, true), 0);
  EXPECT_EQ(Load("script\\\x82\x81.txt"), "full-width a");
  EXPECT_EQ(Load("script\\\x82\x60.txt"), "error 3");
}

TEST_F(FileSystemTest, UnmountKeepsTheRestOfTheGroupReachable) {
  Write("PATCH.VFA", {Member("a", "patch1"), Member("b", "patch1")});
  Write("PATCH2.VFA", {Member("a", "patch2"), Member("b", "patch2")});
  Write("PATCH3.VFA", {Member("a", "patch3")});
  Write("SCRIPT.VFA", {Member("s", "script")});
  ASSERT_EQ(MountStartupPacks(manager_), 4);

  manager_.Unmount(nullptr, kStartupMountId, 0);  // the group's first record
  EXPECT_EQ(manager_.GetMountCount(), 3u);
  EXPECT_EQ(Load("A"), "patch2");
  EXPECT_EQ(Load("SCRIPT\\S"), "script");
  manager_.Unmount(nullptr, kStartupMountId, -1);  // the last
  EXPECT_EQ(Load("SCRIPT\\S"), "error 3");
  EXPECT_EQ(Load("B"), "patch2");
  manager_.Unmount(nullptr, kStartupMountId, 0);
  EXPECT_EQ(Load("B"), "patch1");
  manager_.Unmount(nullptr, kStartupMountId, 5);  // beyond the count: nothing
  EXPECT_EQ(manager_.GetMountCount(), 1u);
  ASSERT_EQ(manager_.Mount("SCRIPT.VFA", 3, true, true), 0);
  manager_.Unmount(folder_.c_str(), 0, 0);
  EXPECT_EQ(manager_.GetMountCount(), 1u);
  EXPECT_EQ(Load("SCRIPT\\S"), "script");
  EXPECT_EQ(manager_.GetMountName(3, 0), sjis::ToLower(folder_) + "script\\");
}

TEST_F(FileSystemTest, MountRefusesWhatItCannotOpenAndAFailedReadReleasesItsAllocation) {
  EXPECT_EQ(manager_.Mount("MISSING.VFA", 1, false, true), kMountNoFile);
  dir_.WriteFile("BAD.VFA", "XXXX1234");
  EXPECT_EQ(manager_.Mount("BAD.VFA", 1, false, true), kArchiveBadFormat);
  dir_.WriteFile("DATA.BIN", "XXXX1234");
  EXPECT_EQ(manager_.Mount("DATA.BIN", 1, false, true), kMountNoDecoder);
  EXPECT_EQ(manager_.GetMountCount(), 0u);
  // A decoder asked without its extension still opens what it knows.
  Write("DATA.PAK", {Member("m", "member")});
  EXPECT_EQ(manager_.Mount("DATA.PAK", 1, false, true), 0);
  EXPECT_EQ(Load("M"), "member");

  tools::VfaPackOptions options;
  options.pack = true;
  options.faults.cutPackedStreams = 20;
  Write("DATA.VFA", {Member("n", std::string(3000, 'm'))}, options);
  ASSERT_EQ(manager_.Mount("DATA.VFA", 1, false, true), 0);
  std::string data;
  EXPECT_NE(manager_.LoadFile("n", AllocateString, ReleaseString, &data, nullptr), kFsOk);
  EXPECT_EQ(data, "released");
}

#ifdef BW_TEST_PACK_ADL
TEST_F(FileSystemTest, PluginScanLoadsNativeDecodersAndCountsFailures) {
  host::ScopedGameTrust trust(true);
  std::filesystem::create_directories(dir_.path() / "plugin");
  std::filesystem::copy_file(BW_TEST_PACK_ADL, dir_.path() / "plugin" / "LinePack.adl");
  dir_.WriteFile("plugin/WINDOWS.ADL", std::string("MZ\x90\0\3\0\0\0", 8) + std::string(200, '\0'));
  dir_.WriteFile("plugin/README.TXT", "not a plug-in");
  EXPECT_EQ(manager_.ScanDecoderPlugins(kPluginFolder), 1);
  ASSERT_EQ(manager_.GetDecoderCount(), 2u);

  EXPECT_NE(manager_.FindDecoderByExtension("x.tpk"), nullptr);
  EXPECT_EQ(manager_.FindDecoderByExtension("x.zip"), nullptr);
  AdlAssistFunc2 assist = manager_.GetDecoderAssistFunc2(77);
  ASSERT_NE(assist, nullptr);
  AdlAssistArgs args{9, 0, 0};
  EXPECT_EQ(assist(&args), 5);

  dir_.WriteFile("LINES.TPK", "TPK1\nhello.txt=from the plug-in\n");
  ASSERT_EQ(manager_.Mount("LINES.TPK", 6, false, true), 0);
  EXPECT_EQ(Load("HELLO.TXT"), "from the plug-in");
  int error = 0;
  StreamRef stream(manager_.OpenStream("hello.txt", nullptr, &error));
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->GetSize(), 16u);
  stream.reset();

  // Removing the decoder takes its packs with it: their code goes with the module.
  manager_.RemoveDecoder(77);
  EXPECT_EQ(std::tuple(manager_.GetDecoderCount(), manager_.GetMountCount()), std::tuple(1u, 0u));
  EXPECT_EQ(Load("HELLO.TXT"), "error 3");

  EXPECT_EQ(manager_.LoadDecoderPlugin("plugin\\MISSING.ADL"), kPluginLoadFailed);
  EXPECT_EQ(manager_.ScanDecoderPlugins("no such folder"), 0);

  // The start-up registers the VFA decoder and scans the plug-in folder.
  FileSystemManager manager;
  std::filesystem::rename(dir_.path() / "plugin", dir_.path() / "PlugIn");
  std::filesystem::remove(dir_.path() / "PlugIn" / "WINDOWS.ADL");
  EXPECT_EQ(RegisterPackDecoders(manager), 0);
  EXPECT_EQ(manager.GetDecoderCount(), 2u);
  EXPECT_NE(manager.FindDecoderByExtension("SCRIPT.VFA"), nullptr);
  EXPECT_NE(manager.GetDecoderAssistFunc2(kVfaDecoderTypeId), nullptr);
}
#endif

}  // namespace
}  // namespace bw
