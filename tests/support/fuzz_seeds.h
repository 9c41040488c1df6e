// Seed corpora of fuzz targets are written by the project's own writers. A test builds the seeds
// and checks that the committed files match; with BW_WRITE_FUZZ_SEEDS=1 set it writes them again.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bw::test {

using FuzzSeeds = std::map<std::string, std::vector<uint8_t>>;

// Checks (or writes) fuzz/corpus/target/NAME for every seed.
void CheckOrWriteFuzzSeeds(const std::string& target, const FuzzSeeds& seeds);

}  // namespace bw::test
