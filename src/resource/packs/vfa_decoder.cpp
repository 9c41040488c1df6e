#include "resource/packs/vfa_decoder.h"

#include <atomic>
#include <utility>

#include "resource/packs/vfa_archive.h"

namespace bw {
namespace {

// Set by the scripts on the frame thread, read on whichever thread opens a pack; atomic.
std::atomic<uint32_t> keyWord1{0};
std::atomic<uint32_t> keyWord2{0};
std::atomic<bool> tables{false};

}  // namespace

Archive* VfaDecoder::Open(const char* path, host::HostFile file, int* error) {
  return OpenVfaPack(path, std::move(file), error);
}

Archive* VfaDecoder::OpenExplained(const char* path, host::HostFile file, int* error,
                                   std::string* why) {
  return OpenVfaPack(path, std::move(file), error, why);
}

VfaDecoderSettings VfaDecoder::Settings() {
  return {keyWord1.load(), keyWord2.load(), tables.load()};
}

int VfaDecoderAssist(uint32_t kind, uint32_t a, uint32_t b) {
  switch (kind) {
    case kVfaAssistTables:
      tables = (a & 0xFF) != 0;
      return 0;
    case kVfaAssistKeyWords:
      keyWord1 = a;
      keyWord2 = b;
      return 0;
    default:
      return kVfaAssistUnknownKind;
  }
}

int VfaDecoderAssist2(const AdlAssistArgs* args) {
  if (!args) return kVfaAssistUnknownKind;
  return VfaDecoderAssist(args->kind, args->a, args->b);
}

PluginRecord MakeVfaDecoderRecord() {
  PluginRecord record;
  record.typeId = kVfaDecoderTypeId;
  record.typeString = kVfaDecoderTypeString;
  record.extensions = kVfaDecoderExtensions;
  record.decodeObject = std::make_unique<VfaDecoder>();
  record.assist = VfaDecoderAssist;
  record.assist2 = VfaDecoderAssist2;
  return record;
}

}  // namespace bw
