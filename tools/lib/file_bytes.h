// Whole files for the writers and the command-line tools; writes go through
// WriteFileAtomically (common/atomic_file.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace bw::tools {

// The bytes of the file at path; false when it cannot be opened or read.
[[nodiscard]] bool ReadFileBytes(const std::filesystem::path& path, std::vector<uint8_t>& out);
// Writes the bytes to path; on failure says "TOOL: cannot write PATH: REASON" on standard error
// and answers false.
[[nodiscard]] bool WriteFileBytes(const char* tool, const std::filesystem::path& path,
                                  std::span<const uint8_t> bytes);

}  // namespace bw::tools
