#include "support/fuzz_seeds.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace bw::test {

void CheckOrWriteFuzzSeeds(const std::string& target, const FuzzSeeds& seeds) {
  namespace fs = std::filesystem;
  // From the build, not __FILE__: a compiler cache may make that relative to another folder.
  const fs::path folder = fs::path(BW_SOURCE_DIR) / "fuzz" / "corpus" / target;
  const bool write = std::getenv("BW_WRITE_FUZZ_SEEDS") != nullptr;
  if (write) fs::create_directories(folder);
  for (const auto& [name, bytes] : seeds) {
    const fs::path path = folder / name;
    if (write) {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
      ASSERT_TRUE(out.flush()) << path;
      continue;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path << " is missing: run with BW_WRITE_FUZZ_SEEDS=1";
    const std::vector<uint8_t> stored{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(stored, bytes) << path << " is stale: run with BW_WRITE_FUZZ_SEEDS=1";
  }
}

}  // namespace bw::test
