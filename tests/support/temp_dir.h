// A fresh folder under the system's temporary folder, removed with everything in it at the end.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace bw::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes bytes to path()/relative, making folders on the way; answers the full path.
  std::filesystem::path WriteFile(const std::string& relative, const std::string& bytes) const;
  std::filesystem::path WriteFile(const std::string& relative,
                                  std::span<const uint8_t> bytes) const {
    return WriteFile(relative, std::string(bytes.begin(), bytes.end()));
  }

 private:
  std::filesystem::path path_;
};

// Makes folder the system's temporary folder (TMPDIR) for the scope.
class ScopedTemporaryFolder {
 public:
  explicit ScopedTemporaryFolder(const std::filesystem::path& folder);
  ~ScopedTemporaryFolder();
  ScopedTemporaryFolder(const ScopedTemporaryFolder&) = delete;
  ScopedTemporaryFolder& operator=(const ScopedTemporaryFolder&) = delete;

 private:
  std::optional<std::string> previous_;
};

// The whole file's bytes; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace bw::test
