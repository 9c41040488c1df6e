// The fuzz targets' seed files are made by the writers. A test hands over what the writers make
// now and fails where a committed file differs; with BW_WRITE_FUZZ_SEEDS=1 it writes them instead.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace bw::test {

using SeedFiles = std::map<std::string, std::vector<uint8_t>>;

inline void CheckOrWriteSeeds(const std::string& target, const SeedFiles& seeds) {
  const std::filesystem::path folder =
      std::filesystem::path(__FILE__).lexically_normal().parent_path().parent_path().parent_path() /
      "fuzz" / "corpus" / target;
  const bool write = std::getenv("BW_WRITE_FUZZ_SEEDS") != nullptr;
  if (write) std::filesystem::create_directories(folder);
  for (const auto& [name, bytes] : seeds) {
    const std::filesystem::path path = folder / name;
    if (write) {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
      ASSERT_TRUE(out.flush()) << path;
      continue;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path << " is missing: run with BW_WRITE_FUZZ_SEEDS=1";
    std::vector<uint8_t> stored((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
    EXPECT_EQ(stored, bytes) << path << " is stale: run with BW_WRITE_FUZZ_SEEDS=1";
  }
}

}  // namespace bw::test
