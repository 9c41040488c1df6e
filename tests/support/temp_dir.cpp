#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace bw::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "brimwold-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::WriteFile(const std::string& relative,
                                         const std::string& bytes) const {
  auto full = path_ / relative;
  std::filesystem::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return full;
}

ScopedTemporaryFolder::ScopedTemporaryFolder(const std::filesystem::path& folder) {
  if (const char* old = std::getenv("TMPDIR")) previous_ = old;
  std::filesystem::create_directories(folder);
  setenv("TMPDIR", folder.c_str(), 1);
}

ScopedTemporaryFolder::~ScopedTemporaryFolder() {
  if (previous_) {
    setenv("TMPDIR", previous_->c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace bw::test
