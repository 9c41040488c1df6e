// A pack-decoder plug-in for the file-system manager's tests, built as a native shared object
// named *.ADL. Its packs (extension TPK) are text: the line "TPK1", then "name=content" lines.
// Members cannot be streamed, so streams fall back to whole reads.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "../test_plugin_text.h"
#include "resource/packs/archive.h"

namespace {

constexpr uint32_t kLinePackType = 77;

class LinePack final : public bw::Archive {
 public:
  explicit LinePack(std::vector<std::pair<std::string, std::string>> entries)
      : entries_(std::move(entries)) {}

  uint32_t GetEntryCount() override { return static_cast<uint32_t>(entries_.size()); }
  const bw::ArchiveEntry* GetEntryTable() override { return nullptr; }
  bool Exists(const char* name) override { return Find(name) < entries_.size(); }
  const bw::ArchiveEntryInfo* FindEntryInfo(const char*) override { return nullptr; }
  const bw::ArchiveEntryInfo* GetEntryInfo(uint32_t, const char**) override { return nullptr; }
  int ReadByName(const char* name, bw::ArchiveAllocateFunc allocate, void* argument,
                 bw::ArchiveProgressFunc progress, void* progressArgument) override {
    return ReadByIndex(static_cast<uint32_t>(Find(name)), allocate, argument, progress,
                       progressArgument);
  }
  int ReadByIndex(uint32_t index, bw::ArchiveAllocateFunc allocate, void* argument,
                  bw::ArchiveProgressFunc, void*) override {
    if (index >= entries_.size()) return bw::kArchiveNotFound;
    const std::string& data = entries_[index].second;
    void* buffer = allocate(static_cast<uint32_t>(data.size()), argument, nullptr);
    if (!buffer) return bw::kArchiveOutOfMemory;
    std::memcpy(buffer, data.data(), data.size());
    return bw::kArchiveOk;
  }
  bw::Stream* OpenStreamByName(const char*, int* error) override {
    *error = bw::kArchiveNotStreamable;
    return nullptr;
  }
  bw::Stream* OpenStreamByIndex(uint32_t, int* error) override {
    *error = bw::kArchiveNotStreamable;
    return nullptr;
  }

 private:
  size_t Find(const char* name) const {
    for (size_t i = 0; name && i < entries_.size(); ++i) {
      if (entries_[i].first == name) return i;
    }
    return entries_.size();
  }

  std::vector<std::pair<std::string, std::string>> entries_;
};

class LinePackLoader final : public bw::ArchiveLoader {
 public:
  bw::Archive* Open(const char*, bw::host::HostFile file, int* error) override {
    auto entries = bw::test::ReadLinePack(file.Path().string(), "TPK1");
    if (entries.empty()) {
      *error = bw::kArchiveBadFormat;
      return nullptr;
    }
    return new LinePack(std::move(entries));
  }
};

}  // namespace

extern "C" {

uint32_t GetAdlType() {
  return kLinePackType;
}
const char* GetAdlTypeString() {
  return "Line pack";
}
const char* GetAdlSupportExt() {
  return "TPK\0";
}
int AdlAssistFunc(uint32_t kind, uint32_t, uint32_t) {
  return kind == 0 ? 0 : 5;
}
int AdlAssistFunc2(const bw::AdlAssistArgs* args) {
  return args ? AdlAssistFunc(args->kind, args->a, args->b) : 5;
}
bw::ArchiveLoader* GetAdlDecodeObject() {
  return new LinePackLoader();
}

}  // extern "C"
