#include "lib/vfa/vfa_writer.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <memory>
#include <set>

#include "common/sjis.h"
#include "host/host_path.h"
#include "lib/file_bytes.h"
#include "lib/le_bytes.h"
#include "resource/packs/lzss_codec.h"
#include "resource/packs/vfa_format.h"

namespace bw::tools {
namespace {

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

// A trie value (a link's distance or an entry's index): two bytes, or four in a wide trie.
void PutTrieValue(std::vector<uint8_t>& bytes, size_t at, uint64_t value, bool wide) {
  SetLe(bytes, at, value, wide ? 4 : 2);
}

struct TrieNode {
  int64_t entry = -1;
  std::map<uint8_t, std::unique_ptr<TrieNode>> children;
};

struct TrieWriter {
  bool wide;
  std::vector<uint8_t> bytes;
  // Where the first link to a child node and the first entry index were written.
  std::optional<size_t> firstLink;
  std::optional<size_t> firstEntry;
  std::string error;

  bool PutValue(size_t at, uint64_t value) {
    if (!wide && value > 0xFFFF) {
      error = "the name trie needs 32-bit links (--wide)";
      return false;
    }
    PutTrieValue(bytes, at, value, wide);
    return true;
  }

  // Pre-order: a node, then the nodes of its children in order, so every link points forward.
  bool Emit(const TrieNode& node) {
    size_t count = node.children.size() + (node.entry >= 0 ? 1 : 0);
    if (count > 255) {
      error = "more than 255 different characters follow one name prefix";
      return false;
    }
    bytes.push_back(static_cast<uint8_t>(count));
    const size_t valueSize = wide ? 4 : 2;
    size_t slot = bytes.size();
    bytes.resize(bytes.size() + count * (1 + valueSize));
    if (node.entry >= 0) {
      bytes[slot] = 0;
      if (!firstEntry) firstEntry = slot + 1;
      if (!PutValue(slot + 1, static_cast<uint64_t>(node.entry))) return false;
      slot += 1 + valueSize;
    }
    for (const auto& [character, child] : node.children) {
      bytes[slot] = character;
      size_t valueEnd = slot + 1 + valueSize;
      if (!firstLink) firstLink = slot + 1;
      if (!PutValue(slot + 1, bytes.size() - valueEnd)) return false;
      if (!Emit(*child)) return false;
      slot = valueEnd;
    }
    return true;
  }
};

uint32_t CommonPrefixLength(const std::vector<VfaMemberSource>& members) {
  if (members.empty()) return 0;
  size_t length = kVfaMaxPrefix;
  for (const auto& m : members) length = std::min(length, m.data.size());
  for (size_t i = 0; i < length; ++i) {
    for (const auto& m : members) {
      if (m.data[i] != members[0].data[i]) return static_cast<uint32_t>(i);
    }
  }
  return static_cast<uint32_t>(length);
}

uint8_t PackFlags(const VfaPackOptions& options) {
  uint8_t flags = 0;
  if (options.sectorMode) flags |= kVfaSectorMode;
  if (options.names) flags |= kVfaNameTrie;
  if (options.keyScramble) flags |= kVfaKeyScramble;
  if (options.unpackedSizes || options.pack) flags |= kVfaUnpackedSizes;
  if (options.storedFlag) flags |= kVfaStoredFlag;
  return flags;
}

// The members' lower-cased names as a trie; the writer keeps where its first link and entry went.
bool BuildNameTrie(const std::vector<VfaMemberSource>& members, TrieWriter& writer,
                   std::string* error) {
  TrieNode root;
  std::set<std::string> seen;
  for (size_t i = 0; i < members.size(); ++i) {
    std::string name = members[i].name;
    sjis::ToLowerInPlace(name);
    if (name.empty() || name.find('\0') != std::string::npos) {
      return Fail(error, "a member has an empty name or one with a NUL");
    }
    if (!seen.insert(name).second) return Fail(error, "two members are named " + name);
    TrieNode* node = &root;
    for (char c : name) {
      auto& child = node->children[static_cast<uint8_t>(c)];
      if (!child) child = std::make_unique<TrieNode>();
      node = child.get();
    }
    node->entry = static_cast<int64_t>(i);
  }
  return writer.Emit(root) || Fail(error, writer.error);
}

struct StoredMember {
  std::vector<uint8_t> bytes;
  uint32_t sizeField;
  uint32_t unpackedField;
};

// Member bodies as stored: without the prefix, key-scrambled, nibble-scrambled, packed.
bool StoreMembers(const std::vector<VfaMemberSource>& members, uint32_t prefixLength,
                  const VfaPackOptions& options, uint32_t memberKey,
                  std::vector<StoredMember>& stored, std::string* error) {
  for (const auto& member : members) {
    if (member.data.size() > 0xFFFFFFFFu) return Fail(error, "a member is larger than 4 GiB");
    std::vector<uint8_t> body(member.data.begin() + prefixLength, member.data.end());
    if (options.keyScramble && body.size() > 3) {
      ScrambleVfaMemberHead(body.data(), std::min<size_t>(body.size() / 4, kVfaMaxScrambledWords),
                            memberKey);
    }
    if (member.nibbles) {
      for (uint8_t& b : body) b = ScrambleVfaNibbles(b);
    }
    StoredMember s{std::move(body), static_cast<uint32_t>(member.data.size()), 0};
    if (options.pack) {
      LzssCodec codec;
      std::vector<uint8_t> packed;
      uint32_t packedSize = 0;
      if (codec.Encode(s.bytes, &packed, &packedSize) == LzssCodec::kPacked) {
        packed.resize(packed.size() -
                      std::min<size_t>(packed.size(), options.faults.cutPackedStreams));
        s.unpackedField = s.sizeField;
        s.sizeField = static_cast<uint32_t>(packed.size());
        s.bytes = std::move(packed);
      }
    }
    stored.push_back(std::move(s));
  }
  return true;
}

// The index as laid out before its records are filled in.
struct IndexLayout {
  std::vector<uint8_t> bytes;
  size_t trieStart = 0;
  size_t recordsStart = 0;
  uint32_t recordSize = 0;
  uint64_t sizeField = 0;  // the header's size word: bytes, or sectors with the header
};

bool LayOutIndex(const std::vector<VfaMemberSource>& members, uint32_t prefixLength,
                 const std::vector<uint8_t>& trie, uint8_t flags, const VfaPackOptions& options,
                 IndexLayout& layout, std::string* error) {
  const VfaFaults& faults = options.faults;
  std::vector<uint8_t>& index = layout.bytes;
  Put32(index, faults.entryCount.value_or(static_cast<uint32_t>(members.size())));
  index.push_back(faults.prefixLength.value_or(static_cast<uint8_t>(prefixLength)));
  if (prefixLength) {
    index.insert(index.end(), members[0].data.begin(), members[0].data.begin() + prefixLength);
  }
  if (options.names) {
    index.push_back(options.wideTrie ? 1 : 0);
    Put32(index, faults.trieSize.value_or(static_cast<uint32_t>(trie.size())));
    layout.trieStart = index.size();
    index.insert(index.end(), trie.begin(), trie.end());
  }
  layout.recordSize = (flags & kVfaUnpackedSizes) ? kVfaWideRecordSize : kVfaRecordSize;
  layout.recordsStart = index.size();
  index.resize(layout.recordsStart + members.size() * layout.recordSize);
  uint64_t indexSize = index.size();
  if (options.sectorMode) {
    indexSize =
        (kVfaHeaderSize + indexSize + kVfaSectorSize - 1) / kVfaSectorSize * kVfaSectorSize -
        kVfaHeaderSize;
    index.resize(indexSize);
  }
  layout.sizeField =
      options.sectorMode ? (kVfaHeaderSize + indexSize) >> kVfaSectorShift : indexSize;
  if (layout.sizeField > (options.sectorMode ? 0x1FFFFFu : kVfaIndexSizeMask)) {
    return Fail(error, "the index is too large");
  }
  return true;
}

// Where each member starts in the file, behind the header and the index.
bool PlaceMembers(const std::vector<StoredMember>& stored, size_t indexSize, bool sectorMode,
                  std::vector<uint64_t>& offsets, std::string* error) {
  uint64_t offset = kVfaHeaderSize + indexSize;
  for (const auto& s : stored) {
    if (sectorMode) offset = (offset + kVfaSectorSize - 1) / kVfaSectorSize * kVfaSectorSize;
    offsets.push_back(offset);
    offset += s.bytes.size();
  }
  return offset <= 0xFFFFFFFFu || Fail(error, "the pack would be larger than 4 GiB");
}

void FillRecords(const std::vector<VfaMemberSource>& members,
                 const std::vector<StoredMember>& stored, const std::vector<uint64_t>& offsets,
                 const VfaPackOptions& options, IndexLayout& layout) {
  const VfaFaults& faults = options.faults;
  for (size_t i = 0; i < stored.size(); ++i) {
    size_t at = layout.recordsStart + i * layout.recordSize;
    uint32_t offsetField =
        static_cast<uint32_t>(options.sectorMode ? offsets[i] >> kVfaSectorShift : offsets[i]);
    uint32_t sizeValue = stored[i].sizeField;
    uint32_t unpackedValue = stored[i].unpackedField;
    if (faults.memberOffset && faults.memberOffset->first == i)
      offsetField = faults.memberOffset->second;
    if (faults.memberSize && faults.memberSize->first == i) sizeValue = faults.memberSize->second;
    if (faults.memberUnpackedSize && faults.memberUnpackedSize->first == i) {
      unpackedValue = faults.memberUnpackedSize->second;
    }
    layout.bytes[at] = members[i].nibbles ? 1 : 0;
    SetLe(layout.bytes, at + 1, offsetField, 4);
    SetLe(layout.bytes, at + 5, sizeValue, 4);
    if (layout.recordSize == kVfaWideRecordSize) SetLe(layout.bytes, at + 9, unpackedValue, 4);
  }
}

void SpoilTrie(const TrieWriter& trie, const VfaPackOptions& options, IndexLayout& layout) {
  auto putTrieValue = [&](size_t at, uint32_t value) {
    PutTrieValue(layout.bytes, layout.trieStart + at, value, options.wideTrie);
  };
  const VfaFaults& faults = options.faults;
  if (faults.firstTrieDistance && trie.firstLink) {
    putTrieValue(*trie.firstLink, *faults.firstTrieDistance);
  }
  if (faults.firstTrieEntryIndex && trie.firstEntry) {
    putTrieValue(*trie.firstEntry, *faults.firstTrieEntryIndex);
  }
}

}  // namespace

bool BuildVfaPack(const std::string& packFileName, const std::vector<VfaMemberSource>& members,
                  const VfaPackOptions& options, std::vector<uint8_t>& out, std::string* error) {
  const VfaFaults& faults = options.faults;
  std::string nameKey = VfaNameKey(packFileName.c_str());
  if (nameKey.empty()) return Fail(error, "the pack's file name has no base name");
  const VfaKeys keys = MakeVfaKeys(nameKey, options.keyWord1, options.keyWord2);
  const uint8_t flags = PackFlags(options);
  const uint32_t prefixLength = options.commonPrefix ? CommonPrefixLength(members) : 0;

  TrieWriter trie{options.wideTrie, {}, {}, {}, {}};
  if (options.names && !BuildNameTrie(members, trie, error)) return false;
  std::vector<StoredMember> stored;
  if (!StoreMembers(members, prefixLength, options, keys.member, stored, error)) return false;
  IndexLayout index;
  if (!LayOutIndex(members, prefixLength, trie.bytes, flags, options, index, error)) return false;
  std::vector<uint64_t> offsets;
  if (!PlaceMembers(stored, index.bytes.size(), options.sectorMode, offsets, error)) return false;
  FillRecords(members, stored, offsets, options, index);
  SpoilTrie(trie, options, index);

  uint32_t h = static_cast<uint32_t>(
                   faults.indexSizeField.value_or(static_cast<uint32_t>(index.sizeField))) |
               uint32_t{flags} << 24;
  ScrambleVfaIndex(index.bytes.data(), index.bytes.size() / 4, keys.index);

  out.clear();
  Put32(out, faults.badMagic ? 0x32414656u : kVfaMagic);
  Put32(out, h ^ keys.index);
  out.insert(out.end(), index.bytes.begin(), index.bytes.end());
  for (size_t i = 0; i < stored.size(); ++i) {
    out.resize(offsets[i], 0);
    out.insert(out.end(), stored[i].bytes.begin(), stored[i].bytes.end());
  }
  if (faults.truncateTo && *faults.truncateTo < out.size()) out.resize(*faults.truncateTo);
  return true;
}

bool CollectVfaMembers(const std::filesystem::path& folder, std::vector<VfaMemberSource>& out,
                       std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, ec), end;
  if (ec) return Fail(error, "cannot read " + folder.string() + ": " + ec.message());
  out.clear();
  for (; it != end; it.increment(ec)) {
    if (ec) return Fail(error, "cannot read " + folder.string() + ": " + ec.message());
    if (!it->is_regular_file()) continue;
    const std::string relative = fs::relative(it->path(), folder, ec).generic_string();
    // The engine's own rule for host names: the CP932 form, refused when there is none.
    std::string name;
    if (host::LinuxPathToEnginePath("/" + relative, name) != host::kPathOk) {
      return Fail(error, "cannot pack " + it->path().string() + ": the name " + relative +
                             " has no CP932 form (or holds a backslash)");
    }
    VfaMemberSource member;
    member.name = name.substr(3);  // without "Z:\"
    if (!ReadFileBytes(it->path(), member.data))
      return Fail(error, "cannot read " + it->path().string());
    out.push_back(std::move(member));
  }
  std::sort(out.begin(), out.end(),
            [](const VfaMemberSource& a, const VfaMemberSource& b) { return a.name < b.name; });
  return true;
}

}  // namespace bw::tools
