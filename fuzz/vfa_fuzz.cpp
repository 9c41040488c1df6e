// Opening a VFA pack and reading everything in it, with and without the name tables. The
// input is the pack file, stored as SCRIPT.VFA (its name makes the key). Both settings give one
// verdict, and every named member is found under its name at its own index.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/sjis.h"
#include "platform/stream.h"
#include "resource/packs/vfa_archive.h"
#include "resource/packs/vfa_decoder.h"

namespace {

constexpr uint32_t kMaxMember = 1u << 22;
constexpr uint32_t kMaxMembers = 64;

// Refuses what a fuzzed record could ask for beyond reason, as a caller out of memory would.
void* AllocateCapped(uint32_t size, void* argument, void*) {
  if (size > kMaxMember) return nullptr;
  auto* v = static_cast<std::vector<uint8_t>*>(argument);
  v->resize(size);
  return v->data();
}

// One scratch folder per process, removed at exit.
struct ScratchPack {
  ScratchPack() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vfa-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    folder = pattern;
    path = folder / "SCRIPT.VFA";
  }
  ~ScratchPack() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  std::filesystem::path folder;
  std::filesystem::path path;
};

const std::filesystem::path& PackPath() {
  static const ScratchPack scratch;
  return scratch.path;
}

void Exercise(bw::Archive& archive) {
  static const char* names[] = {"main.sob", "script\\main.sob", "a", ""};
  for (const char* name : names) archive.Exists(name);
  std::vector<uint8_t> buffer;
  uint32_t count = archive.GetEntryCount();
  for (uint32_t i = 0; i < count && i < kMaxMembers; ++i) {
    const char* name = nullptr;
    if (archive.GetEntryInfo(i, &name) && name) {
      // Names are found lower-cased: a stored name with an upper-case letter is never found.
      const bw::ArchiveEntryInfo* found = archive.FindEntryInfo(name);
      if (archive.Exists(name) != (found != nullptr)) std::abort();
      if (bw::sjis::ToLower(name) == name && archive.Exists(name) && found->index != i)
        std::abort();
      (void)archive.ReadByName(name, AllocateCapped, &buffer, nullptr, nullptr);
    }
    (void)archive.ReadByIndex(i, AllocateCapped, &buffer, nullptr, nullptr);
    int error = 0;
    bw::StreamRef stream(archive.OpenStreamByIndex(i, &error));
    if (!stream) continue;
    uint8_t chunk[512];
    stream->SeekFromEnd(300);
    (void)stream->Read(chunk, sizeof(chunk));
    stream->Seek(0);
    for (int reads = 0; reads < 64 && stream->Read(chunk, sizeof(chunk)) > 0; ++reads) {
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::ofstream out(PackPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  int verdicts[2] = {};
  for (uint32_t tables : {0u, 1u}) {
    (void)bw::VfaDecoderAssist(bw::kVfaAssistTables, tables, 0);  // a kind the decoder knows
    bw::Archive* archive =
        bw::OpenVfaPack(PackPath().c_str(), bw::host::HostFile(), &verdicts[tables]);
    if (tables == 1 && verdicts[0] != verdicts[1]) std::abort();
    if (!archive) continue;
    Exercise(*archive);
    archive->Release();
  }
  return 0;
}
