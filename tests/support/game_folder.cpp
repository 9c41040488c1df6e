#include "support/game_folder.h"

#include <filesystem>

#include "host/host_path.h"
#include "platform/app_paths.h"
#include "resource/packs/vfa_decoder.h"

namespace bw::test {

GameFolder::GameFolder() {
  if (host::LinuxPathToEnginePath(dir_.path().string() + "/", folder_) != host::kPathOk ||
      RebaseAppFolder(folder_) != 0) {
    ADD_FAILURE() << "the temporary folder cannot be the application folder: " << dir_.path();
  }
  PluginRecord vfa = MakeVfaDecoderRecord();
  EXPECT_EQ(manager_.AddDecoder(std::move(vfa.decodeObject), vfa.extensions, vfa.typeString,
                                vfa.typeId, vfa.assist, vfa.assist2, vfa.configDialog),
            0);
}

::testing::AssertionResult GameFolder::WritePack(const std::string& relative,
                                                 const std::vector<tools::VfaMemberSource>& members,
                                                 const tools::VfaPackOptions& options) const {
  std::vector<uint8_t> pack;
  std::string error;
  const std::string leaf = std::filesystem::path(relative).filename().string();
  if (!tools::BuildVfaPack(leaf, members, options, pack, &error)) {
    return ::testing::AssertionFailure() << "the pack cannot be built: " << error;
  }
  dir_.WriteFile(relative, pack);
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult GameFolder::MountPack(const std::string& packName,
                                                 const std::vector<tools::VfaMemberSource>& members,
                                                 int32_t mountId) {
  if (auto written = WritePack(packName, members); !written) return written;
  int code = manager_.Mount(packName, mountId, false, true);
  if (code != 0) return ::testing::AssertionFailure() << packName << " does not mount: " << code;
  return ::testing::AssertionSuccess();
}

}  // namespace bw::test
