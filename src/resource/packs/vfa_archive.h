// The reader of VFA packs: an 8-byte header, an index scrambled under a key made from the
// pack's name and the title's key words, and the members (plain or LZSS-packed, optionally
// nibble-scrambled, their first words optionally key-scrambled, a common prefix stored once).
// Opening checks the whole index (every record inside the file, every trie link inside the
// trie, every member named once) and refuses a pack that breaks it, saying where; it also
// builds the look-up of the names, so finding a member costs the same in any size of pack.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "resource/packs/archive.h"
#include "resource/packs/pack_name_index.h"
#include "resource/packs/vfa_format.h"

namespace bw {

class VfaArchive final : public Archive {
 public:
  // Case modes of FindInNameTrie: every mode but the first two lower-cases.
  static constexpr int kCaseAsGiven = 0;
  static constexpr int kCaseUpper = 1;
  static constexpr int kCaseLower = 2;

  uint32_t GetEntryCount() override { return count_; }
  const ArchiveEntry* GetEntryTable() override;
  bool Exists(const char* name) override;
  const ArchiveEntryInfo* FindEntryInfo(const char* name) override;
  const ArchiveEntryInfo* GetEntryInfo(uint32_t index, const char** name) override;
  [[nodiscard]] int ReadByName(const char* name, ArchiveAllocateFunc allocate, void* argument,
                               ArchiveProgressFunc progress, void* progressArgument) override;
  [[nodiscard]] int ReadByIndex(uint32_t index, ArchiveAllocateFunc allocate, void* argument,
                                ArchiveProgressFunc progress, void* progressArgument) override;
  Stream* OpenStreamByName(const char* name, int* error) override;
  Stream* OpenStreamByIndex(uint32_t index, int* error) override;

  uint8_t GetFlags() const { return flags_; }
  const std::string& GetPath() const { return path_; }

  // The entry index stored for name in the trie, or -1 (also for a null trie or name, and for
  // a link that leaves the trie).
  static int64_t FindInNameTrie(std::span<const uint8_t> trie, bool wide, const char* name,
                                int caseMode);

 private:
  friend Archive* OpenVfaPack(const char* path, host::HostFile file, int* error, std::string* why);

  struct Record {
    uint8_t flag = 0;
    uint64_t offset = 0;  // bytes
    uint32_t size = 0;
    uint32_t unpackedSize = 0;  // the size when the record has none or 0
    bool hasUnpackedSize = false;
  };

  [[nodiscard]] int Load(const char* path, host::HostFile file, bool tables, uint32_t keyWord1,
                         uint32_t keyWord2);
  [[nodiscard]] int ParseIndex(bool tables);
  [[nodiscard]] int CheckRecords(uint64_t dataStart);
  [[nodiscard]] int WalkNameTrie();
  void IndexNames(bool tables);
  [[nodiscard]] int Refuse(std::string problem);
  Record GetRecord(uint32_t index) const;
  [[nodiscard]] int SeekToEntry(uint32_t index, Record& record);
  int64_t FindName(const char* name) const;
  [[nodiscard]] int ReadMember(uint32_t index, ArchiveAllocateFunc allocate, void* argument,
                               ArchiveProgressFunc progress, void* progressArgument);
  Stream* OpenMemberStream(uint32_t index, int* error);

  // The frame thread and the file-slot pool's worker read one pack at once: each seek and the
  // reads after it go together.
  std::mutex fileLock_;  // guards file_'s position
  host::HostFile file_;
  uint64_t fileSize_ = 0;
  uint8_t flags_ = 0;
  uint32_t memberKey_ = 0;
  uint32_t count_ = 0;
  std::vector<uint8_t> index_;
  std::span<const uint8_t> prefix_;
  std::span<const uint8_t> trie_;
  std::span<const uint8_t> records_;
  uint32_t recordSize_ = kVfaRecordSize;
  bool wide_ = false;
  std::string path_;
  std::string problem_;  // why opening refused the pack
  // The trie's names, looked up; with the tables and no trie, the generated names (which no
  // look-up finds: it asks lower-cased names).
  PackNameIndex names_;
  std::vector<ArchiveEntry> entries_;  // with tables only
};

// Opens the pack at path (whose leaf name makes the key). With an open file the archive reads
// from it and keeps it; with a closed one it opens path itself as a host path. Null with the
// code in error and, when given, words in why for what is wrong with the pack.
Archive* OpenVfaPack(const char* path, host::HostFile file, int* error, std::string* why = nullptr);

}  // namespace bw
