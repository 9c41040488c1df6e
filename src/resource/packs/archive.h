// What the file-system manager expects of a pack: the archive interface, the loader that opens
// one, the record kept per decoder, and the allocation callbacks that members are read through.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "host/file/host_file.h"
#include "platform/stream.h"

namespace bw {

// Result codes of the pack readers (the decoder plug-ins' error codes share the numbers).
constexpr int kArchiveOk = 0;
constexpr int kArchiveBadFormat = 1;
constexpr int kArchiveEmptyMember = 2;  // a member of size 0, or smaller than its prefix
constexpr int kArchiveNotFound = 3;     // cannot open, no names, no such name or index
constexpr int kArchiveNoPath = 5;       // no path, or no allocate callback
constexpr int kArchiveSeekFailed = 6;
constexpr int kArchiveReadFailed = 7;
constexpr int kArchiveOutOfMemory = 8;
constexpr int kArchiveUnpackFailed = 12;
constexpr int kArchiveUnexpected = 14;
constexpr int kArchiveNotSupported = -2;
constexpr int kArchiveNotStreamable = -3;  // stored packed: read it whole instead

// A reader's code in words, for a message that names the pack or member.
std::string DescribeArchiveError(int code);

// allocate(size, argument, preallocated or null) -> buffer of size bytes, or null.
using ArchiveAllocateFunc = void* (*)(uint32_t size, void* argument, void* preallocated);
// release(argument): undoes an allocation after a failed read.
using ArchiveReleaseFunc = void (*)(void* argument);
// progress(done, total, argument).
using ArchiveProgressFunc = void (*)(uint32_t done, uint32_t total, void* argument);

// A block handed out by AllocGlobalBlock; freed with FreeGlobalMemory by whoever keeps it.
struct GlobalBlock {
  void* pointer = nullptr;
  uint32_t size = 0;
};
// Allocation callbacks for callers that want blocks of the global pair: the argument is a
// GlobalBlock. A size of 0 gives null; a preallocated buffer is used as it is.
void* AllocGlobalBlock(uint32_t size, void* block, void* preallocated);
void FreeGlobalBlock(void* block);

#pragma pack(push, 1)
struct ArchiveEntryInfo {
  uint32_t index = 0;
  uint32_t size = 0;
  uint32_t unpackedSize = 0;
  uint32_t timeStamp = 0;
  uint32_t crc = 0;
  uint32_t offset = 0;  // bytes
  uint32_t reserved = 0;
  uint8_t method = 8;
  uint8_t flag = 0;     // the record's nibble-scramble flag
  uint16_t packed = 0;  // 1 when the record carried a non-zero unpacked size
};
#pragma pack(pop)

struct ArchiveEntry {
  const char* name;
  ArchiveEntryInfo info;
};

class Archive : public RefCounted {
 public:
  virtual uint32_t GetEntryCount() = 0;
  // Null when the pack was opened without tables.
  virtual const ArchiveEntry* GetEntryTable() = 0;
  virtual bool Exists(const char* name) = 0;
  virtual const ArchiveEntryInfo* FindEntryInfo(const char* name) = 0;
  virtual const ArchiveEntryInfo* GetEntryInfo(uint32_t index, const char** name) = 0;
  [[nodiscard]] virtual int ReadByName(const char* name, ArchiveAllocateFunc allocate,
                                       void* argument, ArchiveProgressFunc progress,
                                       void* progressArgument) = 0;
  [[nodiscard]] virtual int ReadByIndex(uint32_t index, ArchiveAllocateFunc allocate,
                                        void* argument, ArchiveProgressFunc progress,
                                        void* progressArgument) = 0;
  [[nodiscard]] virtual int ExtractByName(const char* /*name*/, const char* /*folder*/,
                                          ArchiveProgressFunc /*progress*/,
                                          void* /*progressArgument*/) {
    return kArchiveNotSupported;
  }
  [[nodiscard]] virtual int ExtractByIndex(uint32_t /*index*/, const char* /*folder*/,
                                           ArchiveProgressFunc /*progress*/,
                                           void* /*progressArgument*/) {
    return kArchiveNotSupported;
  }
  // A stream with one holder, or null with the code in error.
  virtual Stream* OpenStreamByName(const char* name, int* error) = 0;
  virtual Stream* OpenStreamByIndex(uint32_t index, int* error) = 0;
};

class ArchiveLoader {
 public:
  virtual ~ArchiveLoader() = default;
  // Opens the pack at path. With an open file the archive reads from it and keeps it on
  // success; with a closed one the loader opens path itself. Null with the code in error.
  virtual Archive* Open(const char* path, host::HostFile file, int* error) = 0;
  // As Open, with words for a refusal in why; a loader that has none leaves why empty. (Kept
  // in the header: plug-in loaders link none of the engine's libraries.)
  virtual Archive* OpenExplained(const char* path, host::HostFile file, int* error,
                                 std::string* why) {
    if (why) why->clear();
    return Open(path, std::move(file), error);
  }
  [[nodiscard]] virtual int Assist() { return kArchiveNotSupported; }
};

using AdlAssistFunc = int (*)(uint32_t kind, uint32_t a, uint32_t b);
struct AdlAssistArgs {
  uint32_t kind;
  uint32_t a;
  uint32_t b;
};
using AdlAssistFunc2 = int (*)(const AdlAssistArgs* args);
using AdlConfigDlg = int (*)(void* parentWindow);

// Kept per pack decoder (and per image loader and sound decoder), built in or plug-in.
struct PluginRecord {
  uint32_t typeId = 0;
  const char* typeString = nullptr;
  // Upper-case extensions without dot, each NUL-terminated, the list ended by an empty one.
  const char* extensions = nullptr;
  std::unique_ptr<ArchiveLoader> decodeObject;  // a plug-in's too: freed before its module
  void* module = nullptr;                       // null for a built-in decoder
  AdlAssistFunc assist = nullptr;
  AdlAssistFunc2 assist2 = nullptr;
  AdlConfigDlg configDialog = nullptr;
};

}  // namespace bw
