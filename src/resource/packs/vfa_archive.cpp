#include "resource/packs/vfa_archive.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "common/byte_reader.h"
#include "common/sjis.h"
#include "resource/packs/lzss_codec.h"
#include "resource/packs/pack_member_stream.h"
#include "resource/packs/vfa_decoder.h"

namespace bw {
namespace {

std::string GeneratedName(uint32_t index) {
  char buffer[16];
  std::snprintf(buffer, sizeof(buffer), "%06u.DAT", index);
  return buffer;
}

}  // namespace

int64_t VfaArchive::FindInNameTrie(std::span<const uint8_t> trie, bool wide, const char* name,
                                   int caseMode) {
  if (trie.empty() || !name) return -1;
  std::string key(name);
  if (caseMode == kCaseUpper) {
    sjis::ToUpperInPlace(key);
  } else if (caseMode != kCaseAsGiven) {
    sjis::ToLowerInPlace(key);
  }
  ByteReader reader(trie);
  // The terminating NUL is looked up like any other character.
  for (size_t depth = 0; depth <= key.size(); ++depth) {
    auto c = static_cast<uint8_t>(depth < key.size() ? key[depth] : 0);
    auto count = reader.u8();
    if (!count) return -1;
    bool found = false;
    for (uint32_t child = 0; child < *count; ++child) {
      auto character = reader.u8();
      uint32_t value = 0;
      if (!character) return -1;
      if (wide) {
        if (!reader.u32le(value)) return -1;
      } else {
        auto narrow = reader.u16le();
        if (!narrow) return -1;
        value = *narrow;
      }
      if (*character != c) continue;
      if (c == 0) return value;
      // A distance from the end of this value field to the next node.
      if (!reader.skip(value)) return -1;
      found = true;
      break;
    }
    if (!found) return -1;
  }
  return -1;
}

Archive* OpenVfaPack(const char* path, host::HostFile file, int* error) {
  int code = kArchiveUnexpected;
  try {
    auto archive = std::make_unique<VfaArchive>();
    VfaDecoderSettings settings = VfaDecoder::Settings();
    code = archive->Load(path, std::move(file), settings.tables, settings.keyWord1,
                         settings.keyWord2);
    if (error) *error = code;
    return code == kArchiveOk ? archive.release() : nullptr;
  } catch (const std::bad_alloc&) {
    code = kArchiveOutOfMemory;
  } catch (...) {
    code = kArchiveUnexpected;
  }
  if (error) *error = code;
  return nullptr;
}

int VfaArchive::Load(const char* path, host::HostFile file, bool tables, uint32_t keyWord1,
                     uint32_t keyWord2) {
  if (!file.IsOpen()) {
    if (!path) return kArchiveNoPath;
    if (!file.Open(path, host::HostFile::Access::kRead)) return kArchiveNotFound;
  }
  file_ = std::move(file);
  auto fileSize = file_.Size64();
  if (!fileSize) return kArchiveReadFailed;
  fileSize_ = *fileSize;

  uint8_t header[kVfaHeaderSize];
  if (!file_.Seek(0, host::HostFile::Origin::kBegin)) return kArchiveSeekFailed;
  if (file_.Read(header, sizeof(header)) != sizeof(header)) return kArchiveReadFailed;
  ByteReader headerReader(header, sizeof(header));
  uint32_t magic = *headerReader.u32le();
  uint32_t sizeWord = *headerReader.u32le();
  if (magic != kVfaMagic) return kArchiveBadFormat;

  std::string nameKey = VfaNameKey(path ? path : file_.Path().c_str());
  if (nameKey.empty()) return kArchiveBadFormat;  // the key loop needs a name
  VfaKeys keys = MakeVfaKeys(nameKey, keyWord1, keyWord2);
  memberKey_ = keys.member;

  uint32_t h = sizeWord ^ keys.index;
  flags_ = static_cast<uint8_t>((h >> 24) & kVfaFlagMask);
  uint64_t indexSize = h & kVfaIndexSizeMask;
  if (flags_ & kVfaSectorMode) {
    uint32_t sectors = h << kVfaSectorShift;
    if (sectors < kVfaHeaderSize) return kArchiveBadFormat;
    indexSize = sectors - kVfaHeaderSize;
  }
  if (indexSize < 4 || indexSize > fileSize_ - kVfaHeaderSize) return kArchiveBadFormat;

  index_.resize(indexSize);
  if (file_.Read(index_.data(), static_cast<uint32_t>(indexSize)) != indexSize) {
    return kArchiveReadFailed;
  }
  ScrambleVfaIndex(index_.data(), indexSize / 4, keys.index);
  int code = ParseIndex(tables);
  if (code != kArchiveOk) return code;
  path_ = path ? path : file_.Path().string();
  return kArchiveOk;
}

int VfaArchive::ParseIndex(bool tables) {
  ByteReader reader(index_.data(), index_.size());
  uint8_t prefixLength = 0;
  if (!reader.u32le(count_) || !reader.u8(prefixLength)) return kArchiveBadFormat;
  auto prefix = reader.bytes(prefixLength);
  if (!prefix) return kArchiveBadFormat;
  prefix_ = *prefix;
  if (flags_ & kVfaNameTrie) {
    uint8_t wide = 0;
    uint32_t trieSize = 0;
    if (!reader.u8(wide) || !reader.u32le(trieSize)) return kArchiveBadFormat;
    auto trie = reader.bytes(trieSize);
    if (!trie) return kArchiveBadFormat;
    wide_ = wide != 0;
    trie_ = *trie;
  }
  recordSize_ = (flags_ & kVfaUnpackedSizes) ? kVfaWideRecordSize : kVfaRecordSize;
  auto records = reader.bytes(uint64_t{count_} * recordSize_);
  if (!records) return kArchiveBadFormat;
  records_ = *records;
  if (!tables) return kArchiveOk;

  if (flags_ & kVfaNameTrie) {
    names_.assign(count_, std::string());
    int code = WalkNameTrie();
    if (code != kArchiveOk) return code;
  } else {
    names_.reserve(count_);
    for (uint32_t i = 0; i < count_; ++i) names_.push_back(GeneratedName(i));
  }
  entries_.reserve(count_);
  for (uint32_t i = 0; i < count_; ++i) {
    Record record = GetRecord(i);
    ArchiveEntry entry{names_[i].c_str(), {}};
    entry.info.index = i;
    entry.info.size = record.size;
    entry.info.unpackedSize = record.unpackedSize;
    entry.info.offset = static_cast<uint32_t>(record.offset);
    entry.info.flag = record.flag;
    entry.info.packed = record.hasUnpackedSize ? 1 : 0;
    entries_.push_back(entry);
  }
  return kArchiveOk;
}

int VfaArchive::WalkNameTrie() {
  // Depth first with an explicit stack. A sound trie visits each child once; a damaged one
  // whose links share nodes could take exponential time, so the visits are bounded.
  const uint32_t childSize = wide_ ? 5 : 3;
  uint64_t budget = trie_.size() / childSize + 1;
  struct Frame {
    size_t next;  // the next child's offset
    uint32_t left;
    size_t depth;
  };
  std::vector<Frame> stack;
  std::string name;
  auto push = [&](size_t node, size_t depth) {
    if (node >= trie_.size()) return;  // a link out of the trie leads nowhere
    stack.push_back({node + 1, trie_[node], depth});
  };
  push(0, 0);
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.left == 0 || frame.next + childSize > trie_.size()) {
      stack.pop_back();
      continue;
    }
    if (budget-- == 0) return kArchiveBadFormat;
    ByteReader child(trie_.data() + frame.next, childSize);
    uint8_t character = *child.u8();
    uint32_t value = wide_ ? *child.u32le() : *child.u16le();
    frame.next += childSize;
    --frame.left;
    size_t depth = frame.depth;
    name.resize(depth);
    if (character == 0) {
      if (value < count_) names_[value] = name;
      continue;
    }
    name.push_back(static_cast<char>(character));
    push(frame.next + uint64_t{value}, depth + 1);
  }
  return kArchiveOk;
}

VfaArchive::Record VfaArchive::GetRecord(uint32_t index) const {
  ByteReader reader(records_.data() + uint64_t{index} * recordSize_, recordSize_);
  Record record;
  uint32_t offset = 0;
  reader.u8(record.flag);
  reader.u32le(offset);
  reader.u32le(record.size);
  uint32_t unpacked = 0;
  if (recordSize_ == kVfaWideRecordSize) reader.u32le(unpacked);
  record.hasUnpackedSize = unpacked != 0;
  record.unpackedSize = unpacked ? unpacked : record.size;
  record.offset = (flags_ & kVfaSectorMode) ? uint64_t{offset} << kVfaSectorShift : offset;
  return record;
}

int VfaArchive::SeekToEntry(uint32_t index, Record& record) {
  record = GetRecord(index);
  if (!file_.Seek(static_cast<int64_t>(record.offset), host::HostFile::Origin::kBegin)) {
    return kArchiveSeekFailed;
  }
  return kArchiveOk;
}

int64_t VfaArchive::FindName(const char* name) const {
  if (!(flags_ & kVfaNameTrie)) return -1;
  int64_t index = FindInNameTrie(trie_, wide_, name, kCaseLower);
  return index >= 0 && index < count_ ? index : -1;
}

const ArchiveEntry* VfaArchive::GetEntryTable() {
  return entries_.empty() ? nullptr : entries_.data();
}

bool VfaArchive::Exists(const char* name) { return FindName(name) >= 0; }

const ArchiveEntryInfo* VfaArchive::FindEntryInfo(const char* name) {
  if (entries_.empty() || !name) return nullptr;
  std::string key(name);
  sjis::ToLowerInPlace(key);
  for (const ArchiveEntry& entry : entries_) {
    if (key == entry.name) return &entry.info;
  }
  return nullptr;
}

const ArchiveEntryInfo* VfaArchive::GetEntryInfo(uint32_t index, const char** name) {
  if (entries_.empty() || index >= count_) return nullptr;
  if (name) *name = entries_[index].name;
  return &entries_[index].info;
}

int VfaArchive::ReadByName(const char* name, ArchiveAllocateFunc allocate, void* argument,
                           ArchiveProgressFunc progress, void* progressArgument) {
  int64_t index = FindName(name);
  if (index < 0) return kArchiveNotFound;
  return ReadMember(static_cast<uint32_t>(index), allocate, argument, progress,
                    progressArgument);
}

int VfaArchive::ReadByIndex(uint32_t index, ArchiveAllocateFunc allocate, void* argument,
                            ArchiveProgressFunc progress, void* progressArgument) {
  if (index >= count_) return kArchiveNotFound;
  return ReadMember(index, allocate, argument, progress, progressArgument);
}

int VfaArchive::ReadMember(uint32_t index, ArchiveAllocateFunc allocate, void* argument,
                           ArchiveProgressFunc progress, void* progressArgument) {
  try {
    if (!allocate) return kArchiveNoPath;
    std::unique_lock hold(fileLock_);
    Record record;
    int code = SeekToEntry(index, record);
    if (code != kArchiveOk) return code;
    if (record.unpackedSize == 0 || record.unpackedSize < prefix_.size()) {
      return kArchiveEmptyMember;
    }
    const uint32_t unpackedLength = record.unpackedSize - static_cast<uint32_t>(prefix_.size());
    const bool packed = record.size != record.unpackedSize;
    const uint64_t stored = packed ? record.size : unpackedLength;
    if (record.offset > fileSize_ || stored > fileSize_ - record.offset) {
      return kArchiveReadFailed;
    }

    auto* buffer = static_cast<uint8_t*>(allocate(record.unpackedSize, argument, nullptr));
    if (!buffer) return kArchiveOutOfMemory;
    if (progress) progress(0, 1, progressArgument);
    uint8_t* data = buffer + prefix_.size();
    if (packed) {
      std::vector<uint8_t> source(record.size);
      if (file_.Read(source.data(), record.size) != record.size) return kArchiveReadFailed;
      if (unpackedLength != 0 &&
          LzssCodec::Decode(source, data, unpackedLength) != LzssCodec::kDecoded) {
        return kArchiveUnpackFailed;
      }
    } else if (file_.Read(data, unpackedLength) != unpackedLength) {
      return kArchiveReadFailed;
    }
    hold.unlock();
    if (record.flag) UnscrambleVfaNibbles(data, unpackedLength);
    if ((flags_ & kVfaKeyScramble) && unpackedLength > 3) {
      uint32_t words = unpackedLength / 4;
      ScrambleVfaMemberHead(data, words < kVfaMaxScrambledWords ? words : kVfaMaxScrambledWords,
                            memberKey_);
    }
    if (!prefix_.empty()) std::memcpy(buffer, prefix_.data(), prefix_.size());
    if (progress) progress(1, 1, progressArgument);
    return kArchiveOk;
  } catch (const std::bad_alloc&) {
    return kArchiveOutOfMemory;
  }
}

Stream* VfaArchive::OpenStreamByName(const char* name, int* error) {
  int64_t index = FindName(name);
  if (index < 0) {
    if (error) *error = kArchiveNotFound;
    return nullptr;
  }
  return OpenMemberStream(static_cast<uint32_t>(index), error);
}

Stream* VfaArchive::OpenStreamByIndex(uint32_t index, int* error) {
  if (index >= count_) {
    if (error) *error = kArchiveNotFound;
    return nullptr;
  }
  return OpenMemberStream(index, error);
}

Stream* VfaArchive::OpenMemberStream(uint32_t index, int* error) {
  auto fail = [error](int code) -> Stream* {
    if (error) *error = code;
    return nullptr;
  };
  try {
    std::unique_lock hold(fileLock_);
    Record record;
    int code = SeekToEntry(index, record);
    if (code != kArchiveOk) return fail(code);
    if (record.size != record.unpackedSize || record.size == 0) {
      return fail(kArchiveNotStreamable);
    }
    const uint32_t prefixLength = static_cast<uint32_t>(prefix_.size());
    if (record.size < prefixLength) return fail(kArchiveEmptyMember);

    host::HostFile file;
    if (!file.Open(file_.Path(), host::HostFile::Access::kRead)) return fail(kArchiveNotFound);

    uint32_t headLength = prefixLength;
    if (flags_ & kVfaKeyScramble) {
      headLength = prefixLength + kVfaMaxScrambledWords * 4;
      if (headLength > record.size) headLength = record.size;
    }
    const uint32_t scrambled = headLength - prefixLength;
    std::vector<uint8_t> head(headLength);
    if (prefixLength) std::memcpy(head.data(), prefix_.data(), prefixLength);
    // A head that cannot be read answers 8, as the reader always has.
    if (file_.Read(head.data() + prefixLength, scrambled) != scrambled) {
      return fail(kArchiveOutOfMemory);
    }
    hold.unlock();
    // The rest would read short: a member cut off by the end of the pack is refused whole.
    const uint64_t stored = record.size - prefixLength;
    if (record.offset > fileSize_ || stored > fileSize_ - record.offset) {
      return fail(kArchiveReadFailed);
    }
    if (record.flag) UnscrambleVfaNibbles(head.data() + prefixLength, scrambled);
    if (flags_ & kVfaKeyScramble) {
      ScrambleVfaMemberHead(head.data() + prefixLength, scrambled / 4, memberKey_);
    }
    const uint64_t dataOffset = record.offset + scrambled;
    if (!file.Seek(static_cast<int64_t>(dataOffset), host::HostFile::Origin::kBegin)) {
      return fail(kArchiveSeekFailed);
    }
    auto* stream = new PackMemberStream(std::move(file), dataOffset, record.size, std::move(head),
                                        record.flag != 0);
    if (error) *error = kArchiveOk;
    return stream;
  } catch (const std::bad_alloc&) {
    return fail(kArchiveOutOfMemory);
  }
}

}  // namespace bw
