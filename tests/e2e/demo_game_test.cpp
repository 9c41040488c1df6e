// Label: optimised
// The demo game folder as the build leaves it, read through the engine's own readers: the packs
// in their start-up order, the patch over the shipped script, the application files, and the
// scripts stepped by a script host the way the frame loop steps them.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/config/config_block.h"
#include "common/global.h"
#include "host/host_path.h"
#include "platform/app_paths.h"
#include "resource/images/wgx_loader.h"
#include "resource/packs/file_system_manager.h"
#include "script/script_host.h"
#include "sound/ogg_vorbis_decoder.h"

namespace bw {
namespace {

const std::filesystem::path kGame = BRIMWOLD_DEMO_GAME;

const std::vector<std::string> kScriptPackMembers = {
    "corridor.tob", "func_lib.sob", "main.sob",     "opening.tob",  "qz_app.inf",   "qz_app.sys",
    "sob_init.dat", "sub.sob",      "tgs_init.dat", "user_var.sob", "voiceinf.dat", "sound.sob"};

// The demo's variables (USER_VAR.SOB).
constexpr uint32_t kVarRuns = 0;
constexpr uint32_t kVarTotal = 1;
constexpr uint32_t kVarFrames = 2;
constexpr uint32_t kSum1To10 = 55;

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

  struct Picture {
    const char* name;
    uint32_t width, height;
    uint16_t bits;
  };
  for (const Picture& p :
       {Picture{"CG\\BG.WGX", 640, 480, 24}, Picture{"CG\\SPRITE.WGX", 96, 96, 32}}) {
    DibImage dib;
    EXPECT_EQ(WgxLoader().LoadToBuffers(Load(p.name), dib), 0) << p.name;
    EXPECT_EQ(std::tuple(uint32_t(dib.width), dib.Rows(), dib.bits),
              std::tuple(p.width, p.height, p.bits))
        << p.name << ": the sprite keeps its alpha";
  }
  int error = 0;
  StreamRef file(manager_.OpenStream("BGM\\THEME.OGG", nullptr, &error));
  ASSERT_TRUE(file.get()) << error;
  int32_t decodeError = -1;
  DecoderRef tune(OggVorbisDecoderFactory().CreateDecoder(file.get(), &decodeError));
  ASSERT_TRUE(tune) << decodeError;
  EXPECT_EQ(tune->GetLengthMs(), 4000u);
}

// The options natives 4 and 5 reach, kept by index.
class OptionsApp : public ScriptApplication {
 public:
  explicit OptionsApp(ScriptFileSource* files) : files_(files) {}
  ScriptFileSource* ScriptFiles() override { return files_; }
  std::string SaveFolder() override { return {}; }
  bool TranslationOption() override { return false; }
  uint32_t Clock() override { return 0; }
  void ShowMessage(const std::string&) override {}
  void SetAppOption(uint32_t index, uint32_t value) override { options[index] = value; }
  uint32_t GetAppOption(uint32_t index) override { return options[index]; }

  std::map<uint32_t, uint32_t> options;

 private:
  ScriptFileSource* files_;
};

constexpr uint32_t kOptionRuns = 5;         // the setting the demo keeps its start count in
// The steps SOUND adds before MAIN's idle frames: its 600 waits, the first one in place of MAIN's.
constexpr int kSoundSceneSteps = 599;

class DemoScripts : public DemoGame {
 protected:
  void SetUp() override {
    DemoGame::SetUp();
    if (HasFatalFailure()) return;
    host_ = std::make_unique<ScriptHost>(&files_, 1);
    host_->SetApplication(&app_);
    ASSERT_EQ(host_->Start(), 0) << "the start files and MAIN load";
  }

  uint32_t Var(uint32_t index) {
    uint32_t value = 0;
    EXPECT_TRUE(host_->GetMemory().Read32(host_->VariableValueAddress(index), value)) << index;
    return value;
  }

  OptionsApp app_{&files_};
  std::unique_ptr<ScriptHost> host_;
};

TEST_F(DemoScripts, ReturnToTitleKeepsTheVariablesAndEndsThroughSub) {
  for (int i = 0; i < 10 + kSoundSceneSteps; ++i) ASSERT_EQ(host_->Step(), kStepWaiting);
  ASSERT_EQ(host_->ServeInterrupt(1), 0);
  EXPECT_EQ(host_->Step(), kStepEnded) << "MAIN jumps to SUB, whose end ends the game";
  EXPECT_EQ(Var(kVarRuns), 2u);
  EXPECT_EQ(app_.options[kOptionRuns], 2u) << "the count the player's settings keep";
  EXPECT_EQ(Var(kVarTotal), 4 * kSum1To10) << "the first run's total, doubled again";
  EXPECT_EQ(Var(kVarFrames), 9u);
}

}  // namespace
}  // namespace bw
