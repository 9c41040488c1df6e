// The built-in pack decoder for VFA packs, and its process-wide settings: the two per-title
// key words (handed over by the game's scripts before packs are read) and the table setting
// (whether opened packs build their name and entry tables).
#pragma once

#include <cstdint>

#include "resource/packs/archive.h"

namespace bw {

constexpr uint32_t kVfaDecoderTypeId = 1;
constexpr const char kVfaDecoderTypeString[] = "VFA format";
constexpr const char kVfaDecoderExtensions[] = "VFA\0";  // the list ends with an empty entry

// Assist kinds.
constexpr uint32_t kVfaAssistTables = 0;
constexpr uint32_t kVfaAssistKeyWords = 1;
constexpr int kVfaAssistUnknownKind = 5;

struct VfaDecoderSettings {
  uint32_t keyWord1 = 0;
  uint32_t keyWord2 = 0;
  bool tables = false;
};

class VfaDecoder final : public ArchiveLoader {
 public:
  Archive* Open(const char* path, host::HostFile file, int* error) override;
  Archive* OpenExplained(const char* path, host::HostFile file, int* error,
                         std::string* why) override;

  static VfaDecoderSettings Settings();
};

// kind 0: the table setting becomes (a & 0xFF) != 0; kind 1: the key words become a and b.
// 0, or 5 for any other kind.
[[nodiscard]] int VfaDecoderAssist(uint32_t kind, uint32_t a, uint32_t b);
[[nodiscard]] int VfaDecoderAssist2(const AdlAssistArgs* args);

// The decoder record registered at start-up. The record's decode object is a new VfaDecoder
// that whoever keeps the record deletes.
PluginRecord MakeVfaDecoderRecord();

}  // namespace bw
