#include "resource/images/susie_bridge.h"

#include <gtest/gtest.h>

#include "support/image_test_rig.h"

namespace bw {
namespace {

std::string ReadString(Archive& archive, const char* name) {
  GlobalBlock block;
  int rc = archive.ReadByName(name, AllocGlobalBlock, &block, nullptr, nullptr);
  std::string text = rc == kArchiveOk
                         ? std::string(static_cast<const char*>(block.pointer), block.size)
                         : "error " + std::to_string(rc);
  FreeGlobalBlock(&block);
  return text;
}

using SusieBridgeTest = test::GameFolderTest;

TEST_F(SusieBridgeTest, ArchivePluginsServePackMembers) {
  InstallPlugin(BW_TEST_ARCHIVE_SPI, "plugin/TESTARC.SPI");
  ASSERT_EQ(ScanSusiePlugins("plugin", &files_, nullptr), 0);
  dir_.WriteFile("DATA/VOICE.SAR",
                 "SAR1\nA001.OGG=first\nSub\\B.txt=second\nempty.bin=\n\x83\x41.ogg=a-kana\n");
  Archive* archive = nullptr;
  ASSERT_EQ(files_.Mount("DATA\\VOICE.SAR", 7, true, true, &archive), 0);
  ASSERT_NE(archive, nullptr);
  EXPECT_EQ(archive->GetEntryCount(), 4u);
  EXPECT_EQ(ReadString(*archive, "a001.ogg"), "first");
  EXPECT_EQ(ReadString(*archive, "SUB\\b.TXT"), "second");
  EXPECT_EQ(ReadString(*archive, "empty.bin"), "error 2");
  EXPECT_EQ(ReadString(*archive, "none"), "error 3");
  EXPECT_EQ(ReadString(*archive, "\x83\x41.OGG"), "a-kana");
  EXPECT_EQ(ReadString(*archive, "\x83\x4B.ogg"), "error 3") << "ケ is another name";
  EXPECT_EQ(archive->ReadByIndex(0, nullptr, nullptr, nullptr, nullptr), kArchiveNoPath);

  // Members are not streamable: the manager reads them whole.
  std::string path;
  int error = 0;
  Stream* stream = files_.OpenStream("DATA\\VOICE\\A001.OGG", &path, &error);
  ASSERT_NE(stream, nullptr) << error;
  EXPECT_EQ(stream->GetSize(), 5u);
  stream->Release();
  archive->OpenStreamByName("none", &error);
  EXPECT_EQ(error, kArchiveNotFound);

  // The archive keeps the plug-in's code alive after its decoder is gone.
  files_.RemoveAllDecoders();
  EXPECT_EQ(ReadString(*archive, "A001.OGG"), "first");

  dir_.WriteFile("DATA/BAD.SAR", "not an archive");
  ASSERT_EQ(ScanSusiePlugins("plugin", &files_, nullptr), 0);
  EXPECT_EQ(files_.Mount("DATA\\BAD.SAR", 9, true, true, nullptr), kArchiveBadFormat);
}

}  // namespace
}  // namespace bw
