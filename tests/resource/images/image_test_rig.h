// A game folder in a temporary folder, made the application folder, with a file-system manager
// published for the File class, and a destination that records what a loader asked for.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/host_path.h"
#include "resource/images/image_loader.h"
#include "resource/packs/app_paths.h"
#include "resource/packs/file_system_manager.h"
#include "support/temp_dir.h"

namespace bw::test {

class GameFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(host::LinuxPathToEnginePath(dir_.path().string() + "/", folder_), host::kPathOk);
    ASSERT_EQ(RebaseAppFolder(folder_), 0);
  }
  void Write(const std::string& relative, const std::vector<uint8_t>& bytes) {
    dir_.WriteFile(relative, std::string(bytes.begin(), bytes.end()));
  }
  // Copies a built plug-in into the game folder under the given name.
  void InstallPlugin(const char* builtPath, const std::string& relative) {
    std::filesystem::create_directories((dir_.path() / relative).parent_path());
    std::filesystem::copy_file(builtPath, dir_.path() / relative);
  }

  TempDir dir_;
  std::string folder_;  // the application folder, drive form
  FileSystemManager files_;
  ScopedGlobal<FileSystemManager> publishFiles_{&files_};
};

// A destination buffer that keeps what was asked and what was written.
struct RecordingDestination {
  int width = 0, height = 0, bits = 0;
  bool hasAlpha = false, wantedPalette = false;
  int calls = 0;
  int releases = 0;
  bool refuse = false;
  std::vector<uint8_t> pixels;
  std::vector<uint32_t> palette = std::vector<uint32_t>(256);
  size_t pitch = 0;

  ImageTarget Target(bool eightBit = false) {
    ImageTarget target;
    target.eightBit = eightBit;
    target.destination = [this](int w, int h, int b, bool alpha, bool wantsPalette) {
      ++calls;
      width = w, height = h, bits = b, hasAlpha = alpha, wantedPalette = wantsPalette;
      if (refuse) return ImageDestination{};
      pitch = static_cast<size_t>(w) * (b / 8);
      pixels.assign(pitch * static_cast<size_t>(h), 0xEE);
      return ImageDestination{pixels, pitch, wantsPalette ? palette.data() : nullptr};
    };
    target.release = [this] { ++releases; };
    return target;
  }
  uint32_t Pixel32(int x, int y) const {
    uint32_t v;
    std::memcpy(&v, pixels.data() + static_cast<size_t>(y) * pitch + 4 * x, 4);
    return v;
  }
};

}  // namespace bw::test
