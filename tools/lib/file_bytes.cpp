#include "lib/file_bytes.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "common/atomic_file.h"

namespace bw::tools {

bool ReadFileBytes(const std::filesystem::path& path, std::vector<uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteFileBytes(const char* tool, const std::filesystem::path& path,
                    std::span<const uint8_t> bytes) {
  if (std::error_code ec = WriteFileAtomically(path, bytes)) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", tool, path.c_str(), ec.message().c_str());
    return false;
  }
  return true;
}

}  // namespace bw::tools
