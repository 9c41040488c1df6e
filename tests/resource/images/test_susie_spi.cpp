// Susie plug-ins for the bridge's tests, built as native shared objects named *.SPI. Built with
// TEST_SUSIE_ARCHIVE it is an archive plug-in for text archives (extension SAR: the line
// "SAR1", then "name=content" lines); without, an image plug-in for "SUSI" pictures: u8 width,
// u8 height, a 4-entry palette, then one index byte per pixel, top row first.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "resource/images/susie_plugin.h"

namespace {

int CopyInfo(const char* text, char* buffer, int length) {
  int n = static_cast<int>(std::strlen(text));
  if (n >= length) n = length - 1;
  std::memcpy(buffer, text, static_cast<size_t>(n));
  buffer[n] = '\0';
  return n;
}

#ifdef TEST_SUSIE_ARCHIVE
std::vector<std::pair<std::string, std::string>> ReadArchive(const char* path) {
  std::vector<std::pair<std::string, std::string>> members;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || line != "SAR1") return members;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) members.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return members;
}
#endif

}  // namespace

extern "C" {

#ifdef TEST_SUSIE_ARCHIVE

int GetPluginInfo(int number, char* buffer, int length) {
  switch (number) {
    case 0: return CopyInfo("00AM", buffer, length);
    case 2: return CopyInfo("*.sar;*.Sa2", buffer, length);
    case 3: return CopyInfo("Test archive", buffer, length);
    default: return 0;
  }
}

int GetArchiveInfo(const char* path, intptr_t, unsigned, bw::SusieHandle* list) {
  auto members = ReadArchive(path);
  if (members.empty()) return 1;
  size_t size = (members.size() + 1) * sizeof(bw::SusieFileInfo);
  auto* records = static_cast<bw::SusieFileInfo*>(std::calloc(1, size));
  for (size_t i = 0; i < members.size(); ++i) {
    bw::SusieFileInfo& r = records[i];
    std::memcpy(r.method, "TEST", 4);
    r.position = static_cast<uint32_t>(i);
    r.fileSize = static_cast<uint32_t>(members[i].second.size());
    r.compressedSize = r.fileSize;
    r.crc = 0xC0DE0000u + static_cast<uint32_t>(i);
    std::snprintf(r.fileName, sizeof(r.fileName), "%s", members[i].first.c_str());
  }
  *list = records;
  return 0;
}

int GetFile(const char* path, intptr_t position, char* destination, unsigned flag,
            bw::SusieProgress, intptr_t) {
  auto members = ReadArchive(path);
  if (position < 0 || static_cast<size_t>(position) >= members.size()) return 1;
  const std::string& data = members[static_cast<size_t>(position)].second;
  if (flag & bw::kSusieToMemory) {
    void* block = std::malloc(data.size());
    std::memcpy(block, data.data(), data.size());
    *reinterpret_cast<bw::SusieHandle*>(destination) = block;
    return 0;
  }
  std::ofstream out(std::string(destination) + "/" + members[static_cast<size_t>(position)].first,
                    std::ios::binary);
  out << data;
  return out ? 0 : 1;
}

#else

int GetPluginInfo(int number, char* buffer, int length) {
  switch (number) {
    case 0: return CopyInfo("00IN", buffer, length);
    case 2: return CopyInfo("*.sus;*.Sus2", buffer, length);
    case 3: return CopyInfo("Test picture", buffer, length);
    default: return 0;
  }
}

int IsSupported(const char*, const void* head) {
  return std::memcmp(head, "SUSI", 4) == 0;
}

int GetPicture(const char* data, intptr_t size, unsigned, bw::SusieHandle* info,
               bw::SusieHandle* pixels, bw::SusieProgress progress, intptr_t progressData) {
  if (size < 22 || std::memcmp(data, "SUSI", 4) != 0) return 2;
  if (progress && progress(0, 1, progressData)) return 1;
  const auto* p = reinterpret_cast<const uint8_t*>(data);
  uint32_t width = p[4], height = p[5];
  if (size < 22 + static_cast<intptr_t>(width * height)) return 2;
  uint32_t pitch = (width + 3) & ~3u;
  auto* header = static_cast<uint8_t*>(std::calloc(1, 40 + 16));
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(header + at, &v, 4); };
  put32(0, 40);
  put32(4, width);
  put32(8, height);
  header[12] = 1;
  header[14] = 8;
  put32(32, 4);
  std::memcpy(header + 40, p + 6, 16);
  auto* bits = static_cast<uint8_t*>(std::calloc(1, size_t{pitch} * height));
  for (uint32_t y = 0; y < height; ++y)  // the file is top-down, the DIB bottom-up
    std::memcpy(bits + (height - 1 - y) * pitch, p + 22 + y * width, width);
  *info = header;
  *pixels = bits;
  return 0;
}

#endif

}  // extern "C"
