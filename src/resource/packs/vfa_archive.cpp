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

Archive* OpenVfaPack(const char* path, host::HostFile file, int* error, std::string* why) {
  int code = kArchiveUnexpected;
  std::string problem;
  try {
    auto archive = std::make_unique<VfaArchive>();
    VfaDecoderSettings settings = VfaDecoder::Settings();
    code =
        archive->Load(path, std::move(file), settings.tables, settings.keyWord1, settings.keyWord2);
    if (code == kArchiveOk) {
      if (error) *error = code;
      return archive.release();
    }
    problem = std::move(archive->problem_);
  } catch (const std::bad_alloc&) {
    code = kArchiveOutOfMemory;
  } catch (...) {
    code = kArchiveUnexpected;
  }
  if (error) *error = code;
  if (why) *why = problem.empty() ? DescribeArchiveError(code) : problem;
  return nullptr;
}

int VfaArchive::Refuse(std::string problem) {
  problem_ = std::move(problem);
  return kArchiveBadFormat;
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
  if (file_.Read(header, sizeof(header)) != sizeof(header)) {
    problem_ = "the file is too short for the pack's header";
    return kArchiveReadFailed;
  }
  ByteReader headerReader(header, sizeof(header));
  uint32_t magic = *headerReader.u32le();
  uint32_t sizeWord = *headerReader.u32le();
  if (magic != kVfaMagic) return Refuse("the file is not a VFA pack (no VFA1 at its start)");

  std::string nameKey = VfaNameKey(path ? path : file_.Path().c_str());
  if (nameKey.empty()) return Refuse("the pack's file name has nothing before its extension");
  VfaKeys keys = MakeVfaKeys(nameKey, keyWord1, keyWord2);
  memberKey_ = keys.member;

  uint32_t h = sizeWord ^ keys.index;
  flags_ = static_cast<uint8_t>((h >> 24) & kVfaFlagMask);
  uint64_t indexSize = h & kVfaIndexSizeMask;
  if (flags_ & kVfaSectorMode) {
    uint32_t sectors = h << kVfaSectorShift;
    indexSize = sectors < kVfaHeaderSize ? 0 : sectors - kVfaHeaderSize;
  }
  if (indexSize < 4 || indexSize > fileSize_ - kVfaHeaderSize) {
    return Refuse(
        "the index's size does not fit the file (a damaged pack, or not this title's key)");
  }

  index_.resize(indexSize);
  if (file_.Read(index_.data(), static_cast<uint32_t>(indexSize)) != indexSize) {
    return kArchiveReadFailed;
  }
  ScrambleVfaIndex(index_.data(), indexSize / 4, keys.index);
  int code = ParseIndex(tables);
  if (code == kArchiveOk) code = CheckRecords(kVfaHeaderSize + indexSize);
  if (code == kArchiveOk && (flags_ & kVfaNameTrie)) code = WalkNameTrie();
  if (code != kArchiveOk) return code;
  IndexNames(tables);
  path_ = path ? path : file_.Path().string();
  return kArchiveOk;
}

int VfaArchive::ParseIndex(bool tables) {
  ByteReader reader(index_.data(), index_.size());
  uint8_t prefixLength = 0;
  if (!reader.u32le(count_) || !reader.u8(prefixLength)) {
    return Refuse("the index ends before its entry count");
  }
  auto prefix = reader.bytes(prefixLength);
  if (!prefix) return Refuse("the common prefix runs past the index");
  prefix_ = *prefix;
  if (flags_ & kVfaNameTrie) {
    uint8_t wide = 0;
    uint32_t trieSize = 0;
    if (!reader.u8(wide) || !reader.u32le(trieSize))
      return Refuse("the index ends before its trie");
    auto trie = reader.bytes(trieSize);
    if (!trie) return Refuse("the name trie runs past the index");
    wide_ = wide != 0;
    trie_ = *trie;
  }
  recordSize_ = (flags_ & kVfaUnpackedSizes) ? kVfaWideRecordSize : kVfaRecordSize;
  auto records = reader.bytes(uint64_t{count_} * recordSize_);
  if (!records) {
    return Refuse("the " + std::to_string(count_) + " entry records run past the index");
  }
  records_ = *records;
  if (!tables) return kArchiveOk;
  entries_.reserve(count_);
  for (uint32_t i = 0; i < count_; ++i) {
    Record record = GetRecord(i);
    ArchiveEntry entry{nullptr, {}};
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

// Each member's bytes lie after the index and inside the file, hold at least the common prefix,
// and, packed, claim no more than LZSS can give: a group of at most 17 bytes yields at most 144.
int VfaArchive::CheckRecords(uint64_t dataStart) {
  constexpr uint64_t kMaxUnpackFactor = 9;
  const uint32_t prefixLength = static_cast<uint32_t>(prefix_.size());
  for (uint32_t i = 0; i < count_; ++i) {
    const Record record = GetRecord(i);
    if (record.size == 0 && record.unpackedSize == 0) continue;  // an empty member
    auto member = [i] { return "member " + std::to_string(i); };
    const bool packed = record.size != record.unpackedSize;
    if (record.unpackedSize < prefixLength) {
      return Refuse(member() + " is smaller than the common prefix");
    }
    const uint64_t unpacked = record.unpackedSize - prefixLength;
    const uint64_t stored = packed ? record.size : unpacked;
    if (record.offset < dataStart || record.offset > fileSize_ ||
        stored > fileSize_ - record.offset) {
      return Refuse(member() + "'s bytes lie outside the file (" + std::to_string(stored) +
                    " bytes at " + std::to_string(record.offset) + " of " +
                    std::to_string(fileSize_) + ")");
    }
    if (packed && unpacked > kMaxUnpackFactor * stored) {
      return Refuse(member() + " claims to unpack to more than its bytes can hold");
    }
  }
  return kArchiveOk;
}

int VfaArchive::WalkNameTrie() {
  // Depth first with an explicit stack. A sound trie visits each child once; a damaged one
  // whose links share nodes or loop could take exponential time, so the visits are bounded.
  const uint32_t childSize = wide_ ? 5 : 3;
  uint64_t budget = trie_.size() / childSize + 1;
  names_.Reset(count_);
  struct Frame {
    size_t next;  // the next child's offset
    uint32_t left;
    size_t depth;
  };
  std::vector<Frame> stack;
  std::string name;
  // A node lies inside the trie with all its children, and has some (only an empty pack's root
  // has none); no two of its children carry the same character.
  auto push = [&](size_t node, size_t depth) {
    if (node >= trie_.size()) return false;
    const uint32_t children = trie_[node];
    if (node + 1 + uint64_t{children} * childSize > trie_.size()) return false;
    if (children == 0 && !(depth == 0 && count_ == 0)) return false;
    uint64_t seen[4] = {};
    for (uint32_t c = 0; c < children; ++c) {
      const uint8_t character = trie_[node + 1 + c * childSize];
      const uint64_t bit = uint64_t{1} << (character % 64);
      if (seen[character / 64] & bit) return false;
      seen[character / 64] |= bit;
    }
    stack.push_back({node + 1, children, depth});
    return true;
  };
  if (trie_.empty() && count_ == 0) return kArchiveOk;
  if (!push(0, 0)) return Refuse("the name trie's root is damaged");
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.left == 0) {
      stack.pop_back();
      continue;
    }
    if (budget-- == 0) return Refuse("the name trie's links loop");
    ByteReader child(trie_.data() + frame.next, childSize);
    uint8_t character = *child.u8();
    uint32_t value = wide_ ? *child.u32le() : *child.u16le();
    frame.next += childSize;
    --frame.left;
    size_t depth = frame.depth;
    name.resize(depth);
    if (character == 0) {
      if (value >= count_) {
        return Refuse("the name trie names entry " + std::to_string(value) +
                      ", which the pack does not have");
      }
      if (!names_.Name(value, name)) {
        return Refuse("the name trie names entry " + std::to_string(value) + " twice");
      }
      continue;
    }
    name.push_back(static_cast<char>(character));
    if (!push(frame.next + uint64_t{value}, depth + 1)) {
      return Refuse("a link of the name trie leads to no node");
    }
  }
  if (names_.NamedCount() != count_) {
    return Refuse("the name trie names " + std::to_string(names_.NamedCount()) + " of " +
                  std::to_string(count_) + " entries");
  }
  return kArchiveOk;
}

void VfaArchive::IndexNames(bool tables) {
  if (flags_ & kVfaNameTrie) {
    names_.Build();
  } else if (tables) {
    names_.Reset(count_);
    // Generated names differ by their numbers: none is taken twice.
    for (uint32_t i = 0; i < count_; ++i) (void)names_.Name(i, GeneratedName(i));
  }
  for (ArchiveEntry& entry : entries_) entry.name = names_.NameOf(entry.info.index);
}

VfaArchive::Record VfaArchive::GetRecord(uint32_t index) const {
  ByteReader reader(records_.data() + uint64_t{index} * recordSize_, recordSize_);
  Record record;
  uint32_t offset = 0;
  uint32_t unpacked = 0;
  // The reader spans one whole record, so none of these reads can fail.
  (void)(reader.u8(record.flag) && reader.u32le(offset) && reader.u32le(record.size) &&
         (recordSize_ != kVfaWideRecordSize || reader.u32le(unpacked)));

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
  const uint32_t index = names_.Find(name);
  return index == PackNameIndex::kNone ? -1 : int64_t{index};
}

const ArchiveEntry* VfaArchive::GetEntryTable() {
  return entries_.empty() ? nullptr : entries_.data();
}

bool VfaArchive::Exists(const char* name) {
  return FindName(name) >= 0;
}

// The table's names are the trie's: a generated name ("%06d.DAT") never equals a lower-cased one.
const ArchiveEntryInfo* VfaArchive::FindEntryInfo(const char* name) {
  if (entries_.empty()) return nullptr;
  int64_t index = FindName(name);
  return index < 0 ? nullptr : &entries_[static_cast<size_t>(index)].info;
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
  return ReadMember(static_cast<uint32_t>(index), allocate, argument, progress, progressArgument);
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
    auto stream = std::make_unique<PackMemberStream>(std::move(file), dataOffset, record.size,
                                                     std::move(head), record.flag != 0);
    if (error) *error = kArchiveOk;
    return stream.release();  // a reference-counted stream: the caller's one reference
  } catch (const std::bad_alloc&) {
    return fail(kArchiveOutOfMemory);
  }
}

}  // namespace bw
