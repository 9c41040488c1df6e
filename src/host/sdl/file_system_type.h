// The file-system type of a folder, from the kernel's magic number.
#pragma once

#include <cstdint>
#include <string>

namespace bw::host {

// "ext4", "iso9660", "vfat", ...; "unknown" for a magic not in the table; empty when the folder
// cannot be asked.
std::string FileSystemTypeOf(const std::string& folder);
// The name of a magic number, or "unknown".
std::string FileSystemTypeName(uint64_t magic);

}  // namespace bw::host
