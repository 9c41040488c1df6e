#include "script/bytecode_jit_table.h"

namespace bw {

int64_t TranslationTable::Reserve(uint32_t count) {
  if (count == 0) return 0;
  uint32_t run = 0;
  for (uint32_t i = 0; i < used_.size(); ++i) {
    run = used_[i] ? 0 : run + 1;
    if (run == count) {
      for (uint32_t k = i + 1 - count; k <= i; ++k) used_[k] = true;
      return i + 1 - count;
    }
  }
  // Free entries at the end count towards the run; the rest is appended.
  uint64_t first = used_.size() - run;
  if (first + count > kTranslatedOpcodeLimit) return -1;
  entries_.resize(first + count);
  used_.resize(first + count);
  for (uint64_t k = first; k < first + count; ++k) used_[k] = true;
  return static_cast<int64_t>(first);
}

void TranslationTable::Free(uint32_t first, uint32_t count) {
  for (uint64_t k = first; k < uint64_t{first} + count && k < entries_.size(); ++k) {
    entries_[k] = TranslationEntry{};
    used_[k] = false;
  }
  while (!used_.empty() && !used_.back()) {
    used_.pop_back();
    entries_.pop_back();
  }
}

}  // namespace bw
