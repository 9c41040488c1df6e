// Label: optimised
// The demo game folder as the build leaves it, read through the engine's own readers: the packs
// in their start-up order, the patch over the shipped script, and the loose files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/config/config_block.h"
#include "common/global.h"
#include "host/host_path.h"
#include "platform/app_paths.h"
#include "resource/packs/file_system_manager.h"
#include "script/script_file_source.h"

namespace bw {
namespace {

const std::filesystem::path kGame = BRIMWOLD_DEMO_GAME;

const std::vector<std::string> kScriptPackMembers = {
    "corridor.tob", "func_lib.sob", "main.sob",     "opening.tob",  "qz_app.inf",
    "qz_app.sys",   "sob_init.dat", "sub.sob",      "tgs_init.dat", "user_var.sob",
    "voiceinf.dat", "sound.sob",    "tgs_demo.tob", "story.tob",    "name.sob"};

void* AllocateVector(uint32_t size, void* argument, void*) {
  auto* out = static_cast<std::vector<uint8_t>*>(argument);
  out->resize(size);
  return out->data();
}

class DemoGame : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string folder;
    ASSERT_EQ(host::LinuxPathToEnginePath(kGame.string() + "/", folder), host::kPathOk);
    ASSERT_EQ(RebaseAppFolder(folder), 0) << kGame;
    ASSERT_EQ(RegisterPackDecoders(manager_), 0);
    ASSERT_EQ(MountStartupPacks(manager_), 2) << "PATCH.VFA and SCRIPT.VFA";
    for (int i = 0; i < 2; ++i) {
      std::string name = manager_.GetMountName(kMountById, i);
      (name.ends_with("\\script\\") ? scriptPack_ : patchPack_) =
          manager_.GetMountArchive(kMountById, i);
    }
    ASSERT_NE(scriptPack_, nullptr);
    ASSERT_NE(patchPack_, nullptr);
  }

  std::vector<uint8_t> Member(Archive* pack, const std::string& name) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(pack->ReadByName(name.c_str(), AllocateVector, &bytes, nullptr, nullptr), kArchiveOk)
        << name;
    return bytes;
  }

  std::vector<uint8_t> Load(const std::string& name) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(files_.Load(name, bytes)) << name;
    return bytes;
  }

  FileSystemManager manager_;
  ScopedGlobal<FileSystemManager> published_{&manager_};
  FileSystemScriptFileSource files_;
  Archive* scriptPack_ = nullptr;
  Archive* patchPack_ = nullptr;
};

TEST_F(DemoGame, PacksLooseFilesAndAppFilesReadThroughTheEngine) {
  EXPECT_EQ(scriptPack_->GetEntryCount(), kScriptPackMembers.size());
  for (const auto& name : kScriptPackMembers)
    EXPECT_TRUE(scriptPack_->Exists(name.c_str())) << name;
  EXPECT_EQ(patchPack_->GetEntryCount(), 1u);
  const auto patched = Member(patchPack_, "script\\sub.sob");
  ASSERT_NE(Member(scriptPack_, "sub.sob"), patched) << "the patch must change SUB";
  EXPECT_EQ(Load("SCRIPT\\SUB.SOB"), patched);
  EXPECT_EQ(Load("script\\main.sob"), Member(scriptPack_, "main.sob"));
  for (const char* loose : {"USER.CFG", "CG\\BG.WGX", "CG\\SPRITE.WGX", "BGM\\THEME.OGG"}) {
    std::string path;
    EXPECT_EQ(manager_.FindFile(&path, loose, nullptr), kFindLoose) << loose;
  }
}

}  // namespace
}  // namespace bw
