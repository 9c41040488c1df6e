#include "natives/system_file_natives.h"

#include <filesystem>
#include <string>
#include <tuple>

#include "host/drop_files.h"
#include "host/trust.h"
#include "native_rig.h"
#include "resource/files/file_utils.h"
#include "resource/packs/file_system_manager.h"
#include "resource/packs/vfa_decoder.h"
#include "support/file_size_limit.h"
#include "support/game_folder.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

// A rig over a temporary game folder (the application folder) with a published manager.
class FileNativesTest : public ::testing::Test {
 protected:
  test::GameFolder game;
  NativeRig rig;

  uint32_t NewFile() {
    auto h = rig.Made(Native::kFileCreate, {});
    EXPECT_NE(h, 0u);
    return h;
  }
  uint32_t Bytes(const std::string& bytes) {
    return rig.Memory().AllocateCopy(
        {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  }
  std::string Disk(const std::string& name) { return test::ReadFile(game.dir().path() / name); }
  // Names in the folder, to see that no temporary is left behind.
  size_t Entries() {
    return size_t(
        std::distance(fs::directory_iterator(game.dir().path()), fs::directory_iterator()));
  }
};

TEST_F(FileNativesTest, AWrittenFileReplacesTheOldOneOnlyWhenClosed) {
  game.dir().WriteFile("OUT.TXT", "old");
  uint32_t f = NewFile();
  ASSERT_EQ(rig.Answer(Native::kFileCreateOnDisk, {f, rig.Text("out.txt"), 1}), 0);
  EXPECT_EQ(rig.Answer(Native::kFileWrite, {f, Bytes("line one\r\n"), 10}), 10);
  EXPECT_EQ(rig.Answer(Native::kFileWriteFormat, {f, rig.Text("%s=%03d\r\n"), rig.Text("n"), 7}),
            7);
  EXPECT_EQ(Disk("OUT.TXT"), "old") << "the target waits for the close";
  EXPECT_EQ(rig.Answer(Native::kFileClose, {f}), 0);
  EXPECT_EQ(Disk("OUT.TXT"), "line one\r\nn=007\r\n");
  EXPECT_EQ(Entries(), 1u);
}

// Loaded whole: the content is a guest copy with a terminator, freed with the close.
TEST_F(FileNativesTest, ALoadedFileIsAGuestCopyReadByLinesAndFreedWithTheClose) {
  game.dir().WriteFile("OUT.TXT", "line one\r\nn=007\r\n");
  uint32_t f = NewFile(), line = rig.Block(256);
  ASSERT_EQ(rig.Answer(Native::kFileLoad, {f, rig.Text("out.txt")}), 0);
  auto data = rig.Made(Native::kFileGetData, {f});
  EXPECT_EQ(rig.Read(data), "line one\r\nn=007\r\n");
  EXPECT_EQ(rig.Answer(Native::kFileReadLine, {f, 0, 0}), 9) << "a null buffer asks for the size";
  EXPECT_EQ(rig.Answer(Native::kFileReadLine, {f, line, 0}), 10);
  EXPECT_EQ(rig.Read(line), "line one");
  EXPECT_EQ(rig.Answer(Native::kFileClose, {f}), 0);
  EXPECT_EQ(rig.Memory().BlockSize(data), 0u) << "the copy goes with its source";
}

// Opened for writing: the old bytes are there to change, and a release settles the file.
TEST_F(FileNativesTest, AFileOpenedForWritingIsSettledByItsRelease) {
  game.dir().WriteFile("OUT.TXT", "line one\r\nn=007\r\n");
  uint32_t f = NewFile();
  ASSERT_EQ(rig.Answer(Native::kFileOpenReadWrite, {f, rig.Text("out.txt")}), 0);
  EXPECT_EQ(rig.Answer(Native::kFileSeek, {f, 5}), 0);
  EXPECT_EQ(rig.Answer(Native::kFileWrite, {f, Bytes("ONE"), 3}), 3);
  EXPECT_EQ(rig.Answer(Native::kFileRelease, {rig.Var(f)}), 0);
  EXPECT_EQ(Disk("OUT.TXT"), "line ONE\r\nn=007\r\n");
  EXPECT_EQ(Entries(), 1u);
}

// A write the disk refuses (here: past the file-size limit), or a target that cannot be replaced,
// leaves the old file as it was, and the close tells the script so.
TEST_F(FileNativesTest, AFailedWriteKeepsTheOldFile) {
  game.dir().WriteFile("KEEP.DAT", "precious");
  uint32_t f = NewFile();
  ASSERT_EQ(rig.Answer(Native::kFileCreateOnDisk, {f, rig.Text("KEEP.DAT"), 1}), 0);
  {
    test::FileSizeLimit limit(4);
    ASSERT_TRUE(limit.set);
    EXPECT_LT(rig.Answer(Native::kFileWrite, {f, Bytes("0123456789"), 10}), 10);
  }
  EXPECT_EQ(rig.Answer(Native::kFileClose, {f}), int32_t(kFileNotWritten));
  EXPECT_EQ(Disk("KEEP.DAT"), "precious");
  EXPECT_EQ(Entries(), 1u) << "the temporary is gone";

  ASSERT_EQ(rig.Answer(Native::kFileCreateOnDisk, {f, rig.Text("GONE.DAT"), 1}), 0);
  EXPECT_EQ(rig.Answer(Native::kFileWrite, {f, Bytes("0123456789"), 10}), 10);
  game.dir().WriteFile("GONE.DAT/inside", "a folder took its place");
  EXPECT_EQ(rig.Answer(Native::kFileClose, {f}), int32_t(kFileNotWritten));
  EXPECT_EQ(Disk("GONE.DAT/inside"), "a folder took its place");
  EXPECT_EQ(Entries(), 2u) << "the temporary is gone";
}

// Bad buffers end the step; the format line is cut at 511 bytes on a character boundary.
TEST_F(FileNativesTest, BuffersAreCheckedAndFormatLinesCut) {
  uint32_t f = NewFile();
  ASSERT_EQ(rig.Answer(Native::kFileCreateOnDisk, {f, rig.Text("F.TXT"), 1}), 0);
  EXPECT_TRUE(rig.Call(Native::kFileWrite, {f, PastTheArena(rig.Memory()), 4}).faulted);
  EXPECT_TRUE(rig.Call(Native::kFileWrite, {f, rig.Block(4), 0x7FFFFFFF}).faulted);
  EXPECT_EQ(rig.Answer(Native::kFileWrite, {f, rig.Block(4), uint32_t(-1)}), 0)
      << "nothing to write";

  std::string wide(510, 'a');
  wide += "\x82\xa0";  // a double-byte character across byte 511
  EXPECT_EQ(rig.Answer(Native::kFileWriteFormat, {f, rig.Text(wide + "zz")}), 510);
  EXPECT_EQ(
      rig.Answer(Native::kFileWriteFormat, {f, rig.Text("%s"), rig.Text(std::string(600, 'b'))}),
      511);
  EXPECT_EQ(rig.Answer(Native::kFileClose, {f}), 0);
  EXPECT_EQ(Disk("F.TXT"), std::string(510, 'a') + std::string(511, 'b'));
}

// Pack 7 mounted with its name tables kept (the decoder is told so through its assist words),
// beside a loose file.
class PackNativesTest : public FileNativesTest {
 protected:
  void SetUp() override {
    const uint32_t assist[] = {kVfaDecoderTypeId, kVfaAssistTables, 1, 0};
    ASSERT_EQ(rig.Answer(Native::kFileSystemCallDecoderAssist, assist), 0);
    bool mounted = game.MountPack("DATA.VFA", {{"note.txt", {'h', 'i'}}, {"b.bin", {1, 2, 3}}}, 7);
    rig.Call(Native::kFileSystemCallDecoderAssist, {kVfaDecoderTypeId, kVfaAssistTables, 0, 0});
    ASSERT_TRUE(mounted);
    game.dir().WriteFile("LOOSE.TXT", "abcd");
  }
};

TEST_F(PackNativesTest, MembersAnswerTheirCountNameAndSize) {
  EXPECT_EQ(rig.Answer(Native::kFileSystemPackMemberCount, {7}), 2);
  auto name = rig.Made(Native::kFileSystemPackMemberName, {7, 0});
  ASSERT_NE(name, 0u);
  EXPECT_EQ(rig.Read(name), "note.txt");
  uint32_t outs = rig.Block(8);
  EXPECT_EQ(rig.Answer(Native::kFileSystemPackMemberInfo, {7, 1, outs, outs + 4}), 0);
  EXPECT_EQ(rig.Word(outs + 4), 3u);
  EXPECT_EQ(rig.Answer(Native::kFileSystemUnmountPack, {0, 7}), 0);
  EXPECT_EQ(rig.Memory().BlockSize(name), 0u) << "the name goes with its pack";
}

TEST_F(PackNativesTest, AMemberLoadsIntoAFile) {
  uint32_t f = NewFile();
  EXPECT_EQ(rig.Answer(Native::kFileLoadPackMember, {f, 7, 1, 0}), 0);
  EXPECT_EQ(rig.Answer(Native::kFileGetSize, {f}), 3);
}

// Names are found in packs before loose files; a resource goes whole to disk through a temporary.
TEST_F(PackNativesTest, FindsTellPackFromLooseAndExtractsCopyWhole) {
  uint32_t path = rig.Block(300), size = rig.Block(4);
  EXPECT_EQ(rig.Answer(Native::kFileSystemFindFile, {rig.Text("NOTE.TXT"), path}), kFindInPack);
  EXPECT_EQ(rig.Answer(Native::kFileSystemFindFile, {rig.Text("LOOSE.TXT"), path}), kFindLoose);
  EXPECT_EQ(rig.Read(path), game.folder() + "LOOSE.TXT");
  EXPECT_EQ(rig.Answer(Native::kGetFileSize, {rig.Text("note.txt"), size}), 1);
  EXPECT_EQ(rig.Word(size), 2u);
  EXPECT_EQ(rig.Answer(Native::kExtractFile, {rig.Text("LOOSE.TXT"), rig.Text("COPY.TXT")}), 0);
  EXPECT_EQ(Disk("COPY.TXT"), "abcd");
}

TEST_F(FileNativesTest, SearchFoldersAreAddedCountedAndRemoved) {
  rig.Expect({{"added", Native::kFileSystemAddSearchFolder, {rig.Text("SUB"), 1}, 0},
              {"-1 drops the last", Native::kFileSystemSearchFolderCount, {uint32_t(-1)}, 0},
              {"none left", Native::kFileSystemRemoveSearchFolder, {0, 0}, kFolderNone}});
}

TEST_F(FileNativesTest, SlotsLoadInTheBackgroundAndTheirCopiesCloseWithThem) {
  game.dir().WriteFile("A.DAT", "alpha");
  game.dir().WriteFile("B.DAT", "beta");
  EXPECT_EQ(rig.Answer(Native::kSlotPoolAllocate, {0x10003}), 0) << "the count's low 16 bits";
  EXPECT_EQ(rig.Answer(Native::kSlotPoolStartLoading, {1, 2, rig.Text("A.DAT"), rig.Text("B.DAT")}),
            0);
  rig.Call(Native::kSlotPoolWaitIdle, {});  // the batch may have ended already
  EXPECT_EQ(rig.Answer(Native::kSlotPoolWaitIdle, {}), 0) << "nothing runs now";
  auto data = rig.Made(Native::kSlotGetData, {2});
  EXPECT_EQ(rig.Read(data), "beta");
  EXPECT_EQ(rig.Answer(Native::kSlotGetSize, {1}), 5);
  EXPECT_EQ(rig.Answer(Native::kSlotPoolStartLoading, {2, 2, 0, 0}), kSlotBadBatch)
      << "past the last slot";
  EXPECT_EQ(rig.Answer(Native::kSlotPoolClose, {2, 5}), 0);
  EXPECT_EQ(rig.Memory().BlockSize(data), 0u);
  EXPECT_EQ(rig.Answer(Native::kSlotPoolClose, {0, 0}), 0) << "count 0 frees the pool";
  EXPECT_EQ(rig.Answer(Native::kSlotPoolClose, {0, 1}), kSlotNoSlots);
  rig.Call(Native::kSlotPoolAllocate, {2});
}

TEST_F(FileNativesTest, ScansHandOutNamesFreedWithTheClear) {
  game.dir().WriteFile("S/ONE.TXT", "1");
  game.dir().WriteFile("S/TWO.BIN", "22");
  EXPECT_EQ(rig.Answer(Native::kScanFolder, {rig.Text("S"), rig.Text("*.TXT"), 0, 0}), 1);
  EXPECT_EQ(rig.Answer(Native::kScanFolder, {rig.Text("S"), 0, 0, 0}), 2);
  auto first = rig.Made(Native::kScanGetName, {0});
  EXPECT_EQ(rig.Read(first), "ONE.TXT");
  EXPECT_EQ(rig.Answer(Native::kScanGetName, {2}), 0);
  EXPECT_EQ(rig.Answer(Native::kScanGetAttribute, {1}), kEntryArchive);
  EXPECT_EQ(rig.Answer(Native::kScanClear, {}), 0);
  EXPECT_EQ(rig.Memory().BlockSize(first), 0u);
}

TEST_F(FileNativesTest, DropsAreTakenWhenOnAndTheirNamesFreedWithTheClear) {
  game.dir().WriteFile("S/ONE.TXT", "1");
  std::string dropped = (game.dir().path() / "S" / "ONE.TXT").string();
  EXPECT_EQ(rig.app.drops.OnDropFiles(host::CreateDrop({dropped})), kDropRefused) << "off";
  EXPECT_EQ(rig.Answer(Native::kSetDropTarget, {1}), 0);
  EXPECT_EQ(rig.app.drops.OnDropFiles(host::CreateDrop({dropped})), kDropTaken);
  auto name = rig.Made(Native::kGetDroppedFile, {0});
  EXPECT_EQ(rig.Read(name), game.folder() + "S\\ONE.TXT");
  EXPECT_EQ(rig.Answer(Native::kClearDroppedFiles, {}), 0);
  EXPECT_EQ(rig.Memory().BlockSize(name), 0u);
}

// Texts in, the choice and the result word out; the window never sees addresses.
TEST_F(FileNativesTest, FileDialogsTakeTextsAndHandBackTheChoice) {
  uint32_t path = rig.Block(260), title = rig.Block(256);
  rig.Memory().Write(path, "OLD.SAV", 8);
  uint32_t folder = rig.Made(Native::kGetTextBuffer, {});
  rig.Memory().Write(folder, "Z:\\START", 9);
  EXPECT_EQ(rig.Answer(Native::kOpenFileDialog, {rig.Text("T"), 0, title, 0, 0}), 0)
      << "no path buffer";
  rig.app.dialogAnswer = 2;
  rig.app.dialogChoice = "Z:\\SAVE\\NEW.SAV";
  const uint32_t words[] = {rig.Text("Save"),       path,           title, 0,
                            rig.Text("All\t*.*\t"), rig.Text("SAV")};
  const uint32_t args = rig.Words(words);
  EXPECT_EQ(rig.CallAt(Native::kSaveFileDialog, args).result, 2);
  EXPECT_EQ(rig.Word(args), 2u) << "the result replaces word 0";
  EXPECT_EQ(rig.app.fileDialog.path, "OLD.SAV") << "saving proposes the buffer's name";
  EXPECT_EQ(rig.app.fileDialog.initialFolder, "Z:\\START");
  EXPECT_EQ(rig.Read(path), "Z:\\SAVE\\NEW.SAV");
  rig.app.dialogAnswer = 0;
  EXPECT_EQ(
      rig.Answer(Native::kOpenFileDialog, {rig.Text("Open"), path, title, rig.Text("C:\\"), 0}), 0);
  EXPECT_EQ(rig.app.fileDialog.path, "") << "opening starts empty";
}

TEST_F(FileNativesTest, AFolderDialogHandsBackAtMost260Bytes) {
  uint32_t path = rig.Block(260);
  rig.app.dialogAnswer = 1;
  rig.app.dialogChoice = std::string(300, 'x');
  EXPECT_EQ(rig.Answer(Native::kFolderDialog, {rig.Text("Folder"), 0, path}), 1);
  EXPECT_EQ(rig.Read(path), std::string(259, 'x')) << "at most 260 bytes come back";
  EXPECT_TRUE(rig.Call(Native::kFolderDialog, {0, 0, PastTheArena(rig.Memory())}).faulted);
}

TEST_F(FileNativesTest, DiskOperations) {
  game.dir().WriteFile("SRC.TXT", "source");
  // 164 takes the destination second; a copy keeps the source's time, so a second is not newer.
  const uint32_t source = rig.Text("SRC.TXT"), copy = rig.Text("NEW\\DST.TXT");
  const uint32_t outside = rig.Text("..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\x");
  rig.Expect({{"new", Native::kCreateFolder, {rig.Text("NEW")}, 0},
              {"outside", Native::kCreateFolder, {outside}, 1},
              {"copied", Native::kCopyFile, {source, copy, 0}, kCopyDone},
              {"again", Native::kCopyFile, {source, copy, 0}, kCopyNotNewer},
              {"no replace", Native::kMoveFile, {source, copy}, 3},
              {"moved", Native::kMoveFile, {source, rig.Text("MOVED.TXT")}, 0}});
  EXPECT_EQ(Disk("NEW/DST.TXT"), "source");
  EXPECT_EQ(Disk("MOVED.TXT"), "source");

  // The time of a file set to a known instant, in the fields local time gives it.
  timespec when{1700000000, 0};
  std::string linuxPath = (game.dir().path() / "MOVED.TXT").string();
  ASSERT_TRUE(host::SetFileTimes(linuxPath, when, when));
  FileTimeFields expected;
  ASSERT_TRUE(ToLocalFields(when, expected));
  uint32_t t = rig.Block(28);
  EXPECT_EQ(rig.Answer(Native::kGetFileTime,
                       {rig.Text("MOVED.TXT"), t, t + 4, t + 8, t + 12, t + 16, t + 20, t + 24}),
            0);
  EXPECT_EQ(
      std::tuple(rig.Word(t), rig.Word(t + 8), rig.Word(t + 24)),
      (std::tuple<uint32_t, uint32_t, uint32_t>(expected.year, expected.day, expected.dayOfWeek)));

  // A program runs only for a game the player trusts.
  const std::string made = (game.dir().path() / "RAN").string();
  for (bool trusted : {false, true}) {
    host::ScopedGameTrust trust(trusted);
    EXPECT_EQ(rig.Answer(Native::kRunProcess, {rig.Text("touch " + made), 1}), trusted ? 0 : 1);
    EXPECT_EQ(fs::exists(made), trusted);
  }

  std::string before = host::CurrentFolder();
  EXPECT_EQ(rig.Answer(Native::kSetCurrentDirectory, {rig.Text("NEW")}), 1);
  EXPECT_EQ(fs::path(host::CurrentFolder()), fs::canonical(game.dir().path() / "NEW"));
  EXPECT_TRUE(host::SetCurrentFolder(before));
}

}  // namespace
}  // namespace bw
