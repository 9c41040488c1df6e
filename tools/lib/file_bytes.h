// Whole files for the writers and the command-line tools; writes go through
// WriteFileAtomically (common/atomic_file.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace bw::tools {

// The bytes of the file at path; false when it cannot be opened or read.
bool ReadFileBytes(const std::filesystem::path& path, std::vector<uint8_t>& out);

}  // namespace bw::tools
