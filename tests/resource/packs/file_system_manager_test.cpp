#include "resource/packs/file_system_manager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/sjis.h"
#include "host/trust.h"
#include "lib/vfa/vfa_writer.h"
#include "resource/packs/vfa_decoder.h"
#include "support/image_test_rig.h"

namespace bw {
namespace {

using tools::VfaMemberSource;

void* AllocateString(uint32_t size, void* argument, void*) {
  auto* s = static_cast<std::string*>(argument);
  s->assign(size, '\0');
  return s->data();
}
void ReleaseString(void* argument) {
  static_cast<std::string*>(argument)->assign("released");
}

// A game folder in a temporary folder, made the application folder, with the VFA decoder.
class FileSystemTest : public test::GameFolderTest {
 protected:
  void WritePack(const std::string& relative, const std::vector<VfaMemberSource>& members,
                 const tools::VfaPackOptions& options = {}) {
    ASSERT_TRUE(game_.WritePack(relative, members, options));
  }
  static VfaMemberSource Member(const std::string& name, const std::string& data) {
    return {name, std::vector<uint8_t>(data.begin(), data.end())};
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
  WritePack("PATCH.VFA", {Member("script\\b.sob", "patch1"), Member("script\\c.sob", "patch1")});
  WritePack("PATCH2.VFA", {Member("script\\a.sob", "patch2"), Member("script\\b.sob", "patch2")});
  WritePack("PATCH3.VFA", {Member("script\\a.sob", "patch3"), Member("script\\main.sob", "p3")});
  WritePack("SCRIPT.VFA",
            {Member("c.sob", "script"), Member("d.sob", "script"), Member("main.sob", "script")});
  WritePack("PATCH5.VFA", {Member("script\\a.sob", "patch5")});  // after a gap: never mounted
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
  WritePack("PATCH.VFA", {Member("\x83\x41.txt", "a-kana"), Member("\x83\x61.txt", "ya")});
  ASSERT_EQ(MountStartupPacks(manager_), 1);
  EXPECT_EQ(VfaDecoderAssist(kVfaAssistTables, 0, 0), 0);
  EXPECT_EQ(Load("\x83\x41.TXT"), "a-kana");
  EXPECT_EQ(Load("\x83\x61.Txt"), "ya");
  FileFindData data;
  ASSERT_EQ(manager_.FindFile(nullptr, "\x83\x61.TXT", &data), kFindInPack);
  EXPECT_EQ(data.size, 2u);
  // Full-width letters differ by case: no folding.
  WritePack("SCRIPT.VFA", {Member("\x82\x81.txt", "full-width a")});
  ASSERT_EQ(manager_.Mount("SCRIPT.VFA", kStartupMountId, true, true), 0);
  EXPECT_EQ(Load("script\\\x82\x81.txt"), "full-width a");
  EXPECT_EQ(Load("script\\\x82\x60.txt"), "error 3");
}

TEST_F(FileSystemTest, UnmountKeepsTheRestOfTheGroupReachable) {
  WritePack("PATCH.VFA", {Member("a", "patch1"), Member("b", "patch1")});
  WritePack("PATCH2.VFA", {Member("a", "patch2"), Member("b", "patch2")});
  WritePack("PATCH3.VFA", {Member("a", "patch3")});
  WritePack("SCRIPT.VFA", {Member("s", "script")});
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
  WritePack("DATA.PAK", {Member("m", "member")});
  EXPECT_EQ(manager_.Mount("DATA.PAK", 1, false, true), 0);
  EXPECT_EQ(Load("M"), "member");

  tools::VfaPackOptions options;
  options.pack = true;
  options.faults.cutPackedStreams = 20;
  WritePack("DATA.VFA", {Member("n", std::string(3000, 'm'))}, options);
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
