// Writes VFA packs in every variant the engine reads, and, for tests, with faults switched on.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace bw::tools {

struct VfaMemberSource {
  std::string name;  // CP932 relative name with '\' separators; stored lower-cased
  std::vector<uint8_t> data;
  bool nibbles = false;  // store the bytes nibble-scrambled
};

// Damage done to a pack after it is laid out, so readers can be tried on bad data.
struct VfaFaults {
  bool badMagic = false;
  std::optional<uint64_t> truncateTo;           // cut the file to this many bytes
  std::optional<uint32_t> entryCount;           // stored instead of the real count
  std::optional<uint32_t> indexSizeField;       // the low bits of the size word
  std::optional<uint8_t> prefixLength;          // stored instead of the real one
  std::optional<uint32_t> trieSize;             // stored instead of the real one
  std::optional<uint32_t> firstTrieDistance;    // the first link to a child node
  std::optional<uint32_t> firstTrieEntryIndex;  // the first name's entry index
  // {member, value}: that member's record field.
  std::optional<std::pair<uint32_t, uint32_t>> memberOffset;
  std::optional<std::pair<uint32_t, uint32_t>> memberSize;
  std::optional<std::pair<uint32_t, uint32_t>> memberUnpackedSize;
  // Packed members keep their record but lose this many bytes of their stored stream.
  uint32_t cutPackedStreams = 0;
};

struct VfaPackOptions {
  bool sectorMode = false;
  bool names = true;           // a name trie; without it members are known by number
  bool wideTrie = false;       // 32-bit trie links instead of 16-bit
  bool keyScramble = false;    // scramble the first 64 words of each member
  bool unpackedSizes = false;  // 13-byte records (implied by pack)
  bool commonPrefix = false;   // store the members' common leading bytes once
  bool storedFlag = false;     // flag bit 4, kept by the reader
  bool pack = false;           // LZSS-pack the members that get smaller
  uint32_t keyWord1 = 0;
  uint32_t keyWord2 = 0;
  VfaFaults faults;
};

// Lays out a pack whose file will be named packFileName (its leaf name makes the key).
// False with a message when the members cannot be stored (duplicate names, a trie too large
// for 16-bit links, an index or pack too large).
bool BuildVfaPack(const std::string& packFileName, const std::vector<VfaMemberSource>& members,
                  const VfaPackOptions& options, std::vector<uint8_t>& out, std::string* error);

// Every file below folder as a member named by its relative path ('\' separators), in name
// order. Names are the CP932 forms of the host names; a name without one fails, naming it.
bool CollectVfaMembers(const std::filesystem::path& folder, std::vector<VfaMemberSource>& out,
                       std::string* error);

}  // namespace bw::tools
