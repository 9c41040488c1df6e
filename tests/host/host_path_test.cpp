#include "host/host_path.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "host/cp932.h"
#include "host/file/file_lock.h"
#include "host/file/file_system.h"
#include "host/file/host_file.h"
#include "support/temp_dir.h"

namespace bw::host {
namespace {

// "表ソ" on disk (UTF-8) and in the engine (CP932, both trail bytes 0x5C).
const std::string kJapaneseUtf8 = "\xE8\xA1\xA8\xE3\x82\xBD";
const std::string kJapaneseCp932 = "\x95\x5C\x83\x5C";

// The Linux path an engine path maps to; "" when the mapping fails.
std::string ToLinux(const std::string& enginePath, std::string_view base = {}) {
  std::string out;
  return EnginePathToLinuxPath(enginePath, base, out) == kPathOk ? out : "";
}

class HostPath : public testing::Test {
 protected:
  void SetUp() override {
    root_ = dir_.path().string();
    ASSERT_EQ(LinuxPathToEnginePath(root_, engineRoot_), kPathOk);
    dir_.WriteFile("Game/Script/Main.SOB", "");
    dir_.WriteFile("Game/" + kJapaneseUtf8 + "/Data.txt", "");
    dir_.WriteFile("Game/dup/File.txt", "");
    dir_.WriteFile("Game/dup/FILE.TXT", "");
    dir_.WriteFile("Game/dup/file.txt", "");
  }

  // Maps an engine path below the temporary folder.
  std::string Map(const std::string& tail) { return ToLinux(engineRoot_ + tail); }

  bw::test::TempDir dir_;
  std::string root_;
  std::string engineRoot_;
};

TEST_F(HostPath, ResolvesEachComponentCaseInsensitivelyAndNormalises) {
  EXPECT_EQ(Map("\\GAME\\script\\main.sob"), root_ + "/Game/Script/Main.SOB");
  EXPECT_EQ(Map("\\game\\" + kJapaneseCp932 + "\\DATA.TXT"),
            root_ + "/Game/" + kJapaneseUtf8 + "/Data.txt")
      << "the 0x5C trail bytes of the folder name are no separators";
  EXPECT_EQ(Map("\\game\\" + kJapaneseCp932), root_ + "/Game/" + kJapaneseUtf8)
      << "a name ending in a 0x5C trail has no trailing separator";
  // The exact name first, then the least in byte order.
  EXPECT_EQ(Map("\\game\\dup\\file.txt"), root_ + "/Game/dup/file.txt");
  EXPECT_EQ(Map("\\game\\dup\\file.TXT"), root_ + "/Game/dup/FILE.TXT");
  // Dots, repeated and trailing separators are normalised.
  EXPECT_EQ(Map("\\game\\.\\\\script\\..\\SCRIPT\\"), root_ + "/Game/Script/");
  EXPECT_EQ(ToLinux("Z:\\..\\..\\"), "/") << "'..' stops at the root";
  EXPECT_EQ(ToLinux("z:\\..\\" + engineRoot_.substr(3) + "\\Game"), root_ + "/Game");
}

TEST_F(HostPath, RelativePathsNeedABase) {
  std::string out;
  const std::string base = root_ + "/Game";
  EXPECT_EQ(ToLinux("SCRIPT\\main.sob", base), root_ + "/Game/Script/Main.SOB");
  EXPECT_EQ(ToLinux("..\\..\\GAME\\dup\\..\\script", base + "/Script/"), root_ + "/Game/Script");
  EXPECT_EQ(ToLinux("Z:script", base), root_ + "/Game/Script")
      << "a drive without a separator is its current folder";
  EXPECT_EQ(EnginePathToLinuxPath("script", out), kPathNotAbsolute);
  EXPECT_EQ(EnginePathToLinuxPath("script", "relative/base", out), kPathNotAbsolute);
}

TEST(HostPathErrors, RefusesWhatHasNoLinuxMeaning) {
  std::string out = "untouched";
  EXPECT_EQ(EnginePathToLinuxPath("C:\\game", out), kPathUnknownDrive);
  EXPECT_EQ(EnginePathToLinuxPath("\\\\server\\share\\x", out), kPathUnknownDrive);
  EXPECT_EQ(EnginePathToLinuxPath("Z:\\bad\x81", out), kPathBadName) << "lone lead byte";
  EXPECT_EQ(EnginePathToLinuxPath("Z:\\bad\x85\x40", out), kPathBadName) << "unassigned code";
  EXPECT_EQ(EnginePathToLinuxPath(std::string("Z:\\a\0b", 6), out), kPathBadName);
  EXPECT_EQ(out, "untouched") << "a failure leaves the output alone";
}

// Linux names that hold the variants Linux text uses for CP932's characters (the wave dash
// U+301C where Windows has U+FF5E, ...) enter the engine and come back as the same names.
struct Variant {
  const char* utf8;       // as a Linux input method types it
  const char* cp932;      // the engine's code
  const char* canonical;  // what that code decodes to
};
const Variant kVariants[] = {
    {"\xE3\x80\x9C", "\x81\x60", "\xEF\xBD\x9E"},  // wave dash
    {"\xE2\x80\x96", "\x81\x61", "\xE2\x88\xA5"},  // double vertical line
    {"\xE2\x88\x92", "\x81\x7C", "\xEF\xBC\x8D"},  // minus sign
    {"\xC2\xA2", "\x81\x91", "\xEF\xBF\xA0"},      // cent sign
    {"\xC2\xA3", "\x81\x92", "\xEF\xBF\xA1"},      // pound sign
    {"\xC2\xAC", "\x81\xCA", "\xEF\xBF\xA2"},      // not sign
};

TEST(HostPathCp932, FoldersNamedWithVariantsMapToTheEngineAndBack) {
  test::TempDir dir;
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.utf8);
    const std::string folder = std::string("Game") + v.utf8 + "Dx";
    dir.WriteFile(folder + "/Script/Main.sob", "");
    const std::string linux = (dir.path() / folder).string();

    std::string engine;
    ASSERT_EQ(LinuxPathToEnginePath(linux + "/", engine), kPathOk);
    EXPECT_NE(engine.find(std::string("Game") + v.cp932 + "Dx\\"), std::string::npos);

    EXPECT_EQ(ToLinux(engine), linux + "/")
        << "the very folder, not one named with " << v.canonical;
    EXPECT_EQ(ToLinux(engine + "SCRIPT\\main.SOB"), linux + "/Script/Main.sob")
        << "and what lies below it";
    std::string lower = engine;
    lower.replace(lower.find("Game"), 4, "gAME");
    EXPECT_EQ(ToLinux(lower), linux + "/") << "case-insensitively around the variant";
  }
}

// Two siblings the code page cannot tell apart: the one that entered the engine is the one its
// paths lead back to, and a path from the other that enters later comes back as itself.
TEST(HostPathCp932, APathThatEnteredComesBackAsGivenNotAsItsSibling) {
  test::TempDir dir;
  const std::string waveDash = "g\xE3\x80\x9C", fullWidth = "g\xEF\xBD\x9E";
  dir.WriteFile(waveDash + "/Script/Main.sob", "");
  dir.WriteFile(fullWidth + "/Script/Main.sob", "");
  dir.WriteFile(fullWidth + "/dropped.txt", "");
  const std::string game = (dir.path() / waveDash).string();
  const std::string sibling = (dir.path() / fullWidth).string();

  std::string engine;
  ASSERT_EQ(LinuxPathToEnginePath(game, engine), kPathOk);
  EXPECT_EQ(ToLinux(engine + "\\SCRIPT\\main.SOB"), game + "/Script/Main.sob")
      << "below the folder, names match the entries";
  EXPECT_EQ(ToLinux(engine + "\\script\\..\\.\\"), game + "/");
  const std::string leaf = engine.substr(engine.rfind('\\'));
  EXPECT_EQ(ToLinux(engine + "\\.." + leaf + "\\script"), game + "/Script")
      << "'..' goes up before the path is matched";

  std::string dropped;
  ASSERT_EQ(LinuxPathToEnginePath(sibling + "/dropped.txt", dropped), kPathOk);
  EXPECT_EQ(ToLinux(dropped), sibling + "/dropped.txt");
  EXPECT_EQ(ToLinux(engine), game) << "a file from the sibling does not move the folder";

  ASSERT_EQ(LinuxPathToEnginePath(sibling, engine), kPathOk);
  EXPECT_EQ(ToLinux(engine), sibling) << "the sibling itself entering takes the name over";
}

TEST(HostPathCp932, TheExactNameWinsOverAVariantAndSeparatorsStayOut) {
  test::TempDir dir;
  const std::string fullWidth = "x\xEF\xBD\x9E", waveDash = "x\xE3\x80\x9C";
  dir.WriteFile(fullWidth + "/a", "");
  dir.WriteFile(waveDash + "/b", "");
  std::string engine;
  ASSERT_EQ(LinuxPathToEnginePath((dir.path() / fullWidth).string(), engine), kPathOk);
  EXPECT_EQ(ToLinux(engine), (dir.path() / fullWidth).string()) << "the code's own character first";
  EXPECT_EQ(FindEntryNoCase(dir.path().string(), "X\xEF\xBD\x9E"), fullWidth)
      << "then a match in UTF-8 before one in CP932";
  EXPECT_EQ(FindEntryNoCase(dir.path().string(), "X\xE2\x80\x96"), "") << "0x8161 is no 0x8160";

  // The yen sign is 0x5C in CP932: the name would split in two.
  EXPECT_EQ(LinuxPathToEnginePath("/tmp/a\xC2\xA5.txt", engine), kPathBadName);
}

// Every code and every code point is compared with glibc, so the shared codes (NEC and IBM
// extensions) and the one-way mappings (U+00A5 to 0x5C) are covered by the two sweeps.
std::string Bytes(uint32_t code) {
  return code < 0x100 ? std::string(1, static_cast<char>(code))
                      : std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

// glibc's answer for one input, through a fresh conversion state; nullopt when it refuses.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  std::optional<std::string> operator()(const std::string& in) {
    char out[32];
    char* ip = const_cast<char*>(in.data());
    char* op = out;
    size_t il = in.size(), ol = sizeof(out);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0) return std::nullopt;
    return std::string(out, static_cast<size_t>(op - out));
  }

 private:
  iconv_t cd_;
};

// UTF-8 of one code point, by glibc.
std::string Utf8(uint32_t u) {
  static Iconv toUtf8("UTF-8", "UTF-32LE");
  return toUtf8(std::string(reinterpret_cast<const char*>(&u), 4)).value_or("");
}

testing::AssertionResult AgreesWithGlibc(const Cp932Conversion& got,
                                         const std::optional<std::string>& want) {
  if (got.ok != want.has_value()) {
    return testing::AssertionFailure() << (got.ok ? "accepted" : "refused");
  }
  if (want && got.text != *want) {
    return testing::AssertionFailure() << "gave " << testing::PrintToString(got.text) << ", glibc "
                                       << testing::PrintToString(*want);
  }
  return testing::AssertionSuccess();
}

TEST(Cp932, DecodesEveryCodeAndEncodesEveryCodePointAsGlibcDoes) {
  Iconv glibc("UTF-8", "CP932");
  ASSERT_TRUE(glibc.ok());
  for (uint32_t code = 0; code < 0x10000; code = code == 0xFF ? 0x8000 : code + 1) {
    ASSERT_TRUE(AgreesWithGlibc(Cp932ToUtf8(Bytes(code)), glibc(Bytes(code))))
        << std::hex << "code 0x" << code;
  }

  Iconv encoder("CP932", "UTF-8");
  ASSERT_TRUE(encoder.ok());
  for (uint32_t u = 0; u < 0x110000; u = u < 0x10000 ? u + 1 : u + 0x3F) {
    if (u >= 0xD800 && u < 0xE000) continue;
    // glibc swallows the tag characters; they have no CP932 form, so the codec refuses them.
    bool tag = u >= 0xE0000 && u <= 0xE007F;
    ASSERT_TRUE(AgreesWithGlibc(Utf8ToCp932(Utf8(u)), tag ? std::nullopt : encoder(Utf8(u))))
        << std::hex << "U+" << u;
  }
  EXPECT_FALSE(Utf8ToCp932(Utf8(0xE0041)).ok);
}

// Either way, strictly (refused at the failure's offset, keeping what came before) or leniently
// (each bad piece replaced: by U+FFFD in UTF-8, by '?' in CP932).
TEST(Cp932, BadTextIsRefusedOrReplacedPerPiece) {
  const std::string fffd = "\xEF\xBF\xBD";
  struct Case {
    bool fromCp932;
    std::string in;
    size_t offset;
    std::string lenient;
  };
  const Case cases[] = {
      {true, "ab\x81", 2, "ab" + fffd},           // lead byte at the end, not over-read
      {true, "a\x81<b>", 1, "a" + fffd + "<b>"},  // an ASCII byte after a broken lead survives
      {true, "\x85\x90z", 0, fffd + "z"},         // unassigned code, high trail taken with it
      {true, "\x95\x5C\x81\x7F", 2, "\xE8\xA1\xA8" + fffd + "\x7F"},  // 0x7F is no trail
      {false, "a\xC0\x80", 1, "a??"},                                 // overlong NUL: two bad bytes
      {false, "\xED\xA0\x80", 0, "???"},                              // surrogate
      {false, "\xF4\x90\x80\x80", 0, "????"},                         // beyond U+10FFFF
      {false, "x\xE3\x81", 1, "x?"},          // truncated at the end: one piece
      {false, "\x80\xBF", 0, "??"},           // stray continuation bytes
      {false, "\xF0\x9F\x98\x80!", 0, "?!"},  // well formed, no CP932 form
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.in));
    const Cp932Conversion strict = c.fromCp932 ? Cp932ToUtf8(c.in) : Utf8ToCp932(c.in);
    EXPECT_FALSE(strict.ok);
    EXPECT_EQ(strict.errorOffset, c.offset);
    const std::string replaced = c.fromCp932 ? fffd : "?";
    EXPECT_EQ(strict.text, c.lenient.substr(0, c.lenient.find(replaced)))
        << "what came before the failure";
    EXPECT_EQ(c.fromCp932 ? Cp932ToUtf8Lenient(c.in) : Utf8ToCp932Lenient(c.in), c.lenient);
  }
  EXPECT_EQ(Cp932ToUtf8Lenient(std::string("a\0b", 3)), std::string("a\0b", 3));
  // Typed text drops what has no form, whole.
  EXPECT_EQ(Utf8ToCp932Lenient("a\xF0\x9F\x98\x80\xE3\x81\x82", Unmappable::kDrop), "a\x82\xA0");
}

using Access = HostFile::Access;
using Origin = HostFile::Origin;

TEST(HostFile, CreateNewRefusesAnExistingFileAndAFailedOpenLeavesNothingOpen) {
  test::TempDir dir;
  auto path = dir.WriteFile("a.txt", "keep");
  HostFile file;
  EXPECT_FALSE(file.Open(path, Access::kCreateNew));
  EXPECT_FALSE(file.IsOpen());
  ASSERT_TRUE(file.Open(path, Access::kRead));
  char buffer[8] = {};
  EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 4u) << "a short read answers the bytes there";
  EXPECT_STREQ(buffer, "keep");

  ASSERT_TRUE(file.Open(path, Access::kCreateAlways));
  EXPECT_EQ(file.Size(), 0u) << "create-always truncates";

  // A handle whose open failed is closed and answers nothing.
  EXPECT_FALSE(file.Open(dir.path() / "missing", Access::kRead));
  EXPECT_FALSE(file.Open(dir.path(), Access::kRead)) << "a folder is not a file";
  char c;
  EXPECT_EQ(file.Read(&c, 1), 0u);
  EXPECT_EQ(file.Write(&c, 1), 0u);
  EXPECT_FALSE(file.Seek(0, Origin::kBegin));
  EXPECT_FALSE(file.Size());
}

TEST(HostFile, RefusesThirtyTwoBitSizesOverFourGigabytes) {
  test::TempDir dir;
  auto path = dir.path() / "big";
  int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  const uint64_t big = uint64_t{1} << 32;  // sparse: takes no space
  bool truncated = ::ftruncate(fd, static_cast<off_t>(big)) == 0;
  ::close(fd);
  if (!truncated) GTEST_SKIP() << "the temporary folder cannot hold a sparse 4 GiB file";
  HostFile file;
  ASSERT_TRUE(file.Open(path, Access::kRead));
  EXPECT_EQ(file.Size64(), big);
  EXPECT_FALSE(file.Size()) << "4 GiB does not fit the engine's size";
}

// The settings are read whole; a folder or an unreadable file where one is expected answers
// false, never an exception, and leaves nothing half read.
TEST(HostFile, ReadWholeFileRefusesFoldersAndOversizedFiles) {
  test::TempDir dir;
  std::vector<uint8_t> bytes{9, 9};
  ASSERT_TRUE(ReadWholeFile(dir.WriteFile("USER.CFG", "abc"), bytes));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{'a', 'b', 'c'}));
  EXPECT_TRUE(ReadWholeFile(dir.WriteFile("empty", ""), bytes));
  EXPECT_TRUE(bytes.empty());

  bytes = {9};
  std::filesystem::create_directory(dir.path() / "APP_CFG.DAT");
  EXPECT_FALSE(ReadWholeFile(dir.path() / "APP_CFG.DAT", bytes)) << "a folder";
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(ReadWholeFile(dir.path() / "missing", bytes));
  EXPECT_FALSE(ReadWholeFile({}, bytes)) << "a path that could not be mapped";
  EXPECT_FALSE(ReadWholeFile(dir.WriteFile("big", "12345"), bytes, 4));
  EXPECT_TRUE(bytes.empty());
}

namespace fs = std::filesystem;

// A link back up the tree, known by its entry, is the folder list's test, which does not enter it.
TEST(FileSystemQuery, TellsFilesFoldersLinksAndProgramsApart) {
  test::TempDir dir;
  fs::path file = dir.WriteFile("a.bin", "12345");
  fs::create_directory(dir.path() / "sub");
  fs::create_symlink(dir.path() / "nowhere", dir.path() / "dangling");

  std::optional<FileStatus> status = QueryFile(file);
  ASSERT_TRUE(status);
  EXPECT_TRUE(status->IsFile());
  EXPECT_EQ(status->size, 5u);
  EXPECT_TRUE(status->ownerWritable);
  ASSERT_TRUE(QueryFile(dir.path() / "sub"));
  EXPECT_TRUE(QueryFile(dir.path() / "sub")->IsFolder());
  EXPECT_FALSE(QueryFile(dir.path() / "missing"));

  EXPECT_FALSE(QueryFile(dir.path() / "dangling")) << "followed, the link leads nowhere";
  ASSERT_TRUE(QueryFile(dir.path() / "dangling", Links::kOwn));
  EXPECT_EQ(QueryFile(dir.path() / "dangling", Links::kOwn)->kind, EntryKind::kOther);

  // Executable means a regular file with the run bit.
  fs::path script = dir.WriteFile("run.sh", "#!/bin/sh\n");
  EXPECT_FALSE(IsExecutableFile(script));
  fs::permissions(script, fs::perms::owner_exec, fs::perm_options::add);
  EXPECT_TRUE(IsExecutableFile(script));
  EXPECT_FALSE(IsExecutableFile(dir.path())) << "a folder has the bit but cannot run";
  EXPECT_FALSE(IsExecutableFile(dir.path() / "missing"));
}

// A lock held elsewhere is what stops a second copy of a game, which the program tests start.
TEST(FileLock, AFileThatCannotBeMadeSaysWhy) {
  test::TempDir dir;
  FileLock lock;
  EXPECT_EQ(lock.TryLock(dir.path() / "missing" / "game.lock"), FileLock::Result::kNoFile);
  EXPECT_FALSE(lock.Held());
  EXPECT_FALSE(lock.Error().empty());
}

}  // namespace
}  // namespace bw::host
