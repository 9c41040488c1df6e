// A game folder made the application folder, with a published file-system manager, and a
// destination that records what a loader asked for.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "resource/images/image_loader.h"
#include "support/game_folder.h"

namespace bw::test {

class GameFolderTest : public ::testing::Test {
 protected:
  void Write(const std::string& relative, const std::vector<uint8_t>& bytes) {
    dir_.WriteFile(relative, std::string(bytes.begin(), bytes.end()));
  }
  // Copies a built plug-in into the game folder under the given name.
  void InstallPlugin(const char* builtPath, const std::string& relative) {
    std::filesystem::create_directories((dir_.path() / relative).parent_path());
    std::filesystem::copy_file(builtPath, dir_.path() / relative);
  }

  GameFolder game_;
  const TempDir& dir_ = game_.dir();
  const std::string& folder_ = game_.folder();  // drive form
  FileSystemManager& files_ = game_.manager();
};

// A destination buffer that keeps what was asked and what was written.
struct RecordingDestination {
  int width = 0, bits = 0;
  int releases = 0;
  std::vector<uint8_t> pixels;
  std::vector<uint32_t> palette = std::vector<uint32_t>(256);
  size_t pitch = 0;

  ImageTarget Target(bool eightBit = false) {
    ImageTarget target;
    target.eightBit = eightBit;
    target.destination = [this](int w, int h, int b, bool, bool wantsPalette) {
      width = w, bits = b;
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
