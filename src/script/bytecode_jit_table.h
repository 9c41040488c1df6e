// The translation entries of one guest address space. A translated instruction's opcode word
// holds a tagged index into this table; the entry names the instruction's address, its original
// opcode and where its machine code begins. Translated code and the interpreter both trust a
// tagged word only when its entry names the very address the word was read from, so a copied,
// stale or forged tag is an ordinary bad opcode.
#pragma once

#include <cstdint>
#include <vector>

namespace bw {

struct TranslationEntry {
  const uint8_t* code = nullptr;         // the plain templates
  const uint8_t* countedCode = nullptr;  // the templates that spend the instruction limit
  uint32_t guest = 0;                    // the instruction's address; 0 when the entry is free
  uint32_t opcode = 0;
  uint64_t unused = 0;  // entries are 32 bytes, so translated code indexes them with one shift
};
static_assert(sizeof(TranslationEntry) == 32);

constexpr uint32_t kTranslatedOpcodeBase = 0xA0000000;
constexpr uint32_t kTranslatedOpcodeLimit = 0x01000000;

class TranslationTable {
 public:
  // The index of a run of count free entries (grown when there is none); -1 when the tags run
  // out.
  [[nodiscard]] int64_t Reserve(uint32_t count);
  // Frees count entries from first on.
  void Free(uint32_t first, uint32_t count);

  // The original opcode of the tagged word read at address, false when the word names no entry
  // for that address.
  bool Opcode(uint32_t address, uint32_t word, uint32_t& opcode) const {
    uint32_t index = word - kTranslatedOpcodeBase;
    if (index >= entries_.size() || entries_[index].guest != address || address == 0) return false;
    opcode = entries_[index].opcode;
    return true;
  }

  std::vector<TranslationEntry>& Entries() { return entries_; }
  const TranslationEntry* Data() const { return entries_.data(); }
  uint32_t Count() const { return static_cast<uint32_t>(entries_.size()); }

 private:
  std::vector<TranslationEntry> entries_;
  std::vector<bool> used_;
};

}  // namespace bw
