#include "lib/file_bytes.h"

#include <cstdio>

#include "common/atomic_file.h"
#include "host/file/host_file.h"

namespace bw::tools {

bool ReadFileBytes(const std::filesystem::path& path, std::vector<uint8_t>& out) {
  return host::ReadWholeFile(path, out);
}

bool WriteFileBytes(const char* tool, const std::filesystem::path& path,
                    std::span<const uint8_t> bytes) {
  std::error_code error;
  if (!WriteFileAtomically(path, bytes, &error)) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", tool, path.c_str(), error.message().c_str());
    return false;
  }
  return true;
}

}  // namespace bw::tools
