// A Susie archive plug-in for the bridge's tests, built as a native shared object named *.SPI:
// text archives (extension SAR: the line "SAR1", then "name=content" lines).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "../test_plugin_text.h"
#include "resource/images/susie_plugin.h"

extern "C" {

int GetPluginInfo(int number, char* buffer, int length) {
  return bw::test::PluginInfo(number, buffer, length, "00AM", "*.sar;*.Sa2", "Test archive");
}

int GetArchiveInfo(const char* path, intptr_t, unsigned, bw::SusieHandle* list) {
  auto members = bw::test::ReadLinePack(path, "SAR1");
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

// Calls the progress callback without asking whether there is one, as many plug-ins do.
int GetFile(const char* path, intptr_t position, char* destination, unsigned flag,
            bw::SusieProgress progress, intptr_t progressData) {
  progress(0, 1, progressData);
  auto members = bw::test::ReadLinePack(path, "SAR1");
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

}  // extern "C"
