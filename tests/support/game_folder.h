// A temporary application folder with a published file-system manager that reads VFA packs, for
// tests that load through the engine's own file layer.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/global.h"
#include "lib/vfa/vfa_writer.h"
#include "resource/packs/file_system_manager.h"
#include "support/temp_dir.h"

namespace bw::test {

class GameFolder {
 public:
  GameFolder();
  GameFolder(const GameFolder&) = delete;
  GameFolder& operator=(const GameFolder&) = delete;

  const TempDir& dir() const { return dir_; }
  // The folder in engine form, ending with '\'.
  const std::string& folder() const { return folder_; }
  FileSystemManager& manager() { return manager_; }

  // Writes a pack of members at relative (its leaf names the pack's key) inside the folder.
  ::testing::AssertionResult WritePack(const std::string& relative,
                                       const std::vector<tools::VfaMemberSource>& members,
                                       const tools::VfaPackOptions& options = {}) const;
  // Writes a pack of members into the folder and mounts it with mountId.
  ::testing::AssertionResult MountPack(const std::string& packName,
                                       const std::vector<tools::VfaMemberSource>& members,
                                       int32_t mountId);

 private:
  TempDir dir_;
  std::string folder_;
  FileSystemManager manager_;
  ScopedGlobal<FileSystemManager> published_{&manager_};
};

}  // namespace bw::test
