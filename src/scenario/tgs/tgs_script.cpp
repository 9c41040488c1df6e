#include "scenario/tgs/tgs_script.h"

#include <cstring>

#include "common/byte_reader.h"
#include "script/guest_memory.h"

namespace bw {

namespace {

constexpr uint32_t kHashStart = 2166136261u;
uint32_t HashStep(uint32_t h, uint8_t c) {
  return (h ^ c) * 16777619u;
}
uint32_t HashName(std::string_view s) {
  uint32_t h = kHashStart;
  for (char c : s) h = HashStep(h, static_cast<uint8_t>(c));
  return h;
}

uint32_t Le32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

}  // namespace

int TgsScript::Load(GuestMemory& memory, std::span<const uint8_t> file, std::string name,
                    std::unique_ptr<TgsScript>& script) {
  if (file.size() >= GuestMemory::kMaxArena) return kTobBadFile;
  std::unique_ptr<TgsScript> s(new TgsScript(memory, std::move(name)));
  s->data_ = memory.AllocateCopy(file, true);
  if (!s->data_) return kTobNoMemory;
  int r = s->Parse(file);
  if (r != kTobDone) return r;
  script = std::move(s);
  return kTobDone;
}

TgsScript::~TgsScript() {
  memory_.Free(data_);
}

int TgsScript::Parse(std::span<const uint8_t> file) {
  ByteReader r(file.data(), file.size());
  uint8_t magic[4];
  if (!r.copy(magic, 4) || std::memcmp(magic, "TOB", 3) != 0 ||
      (magic[3] != '0' && magic[3] != '1')) {
    return kTobBadFile;
  }
  version1_ = magic[3] == '1';
  uint32_t s1 = 0, labelCount = 0;
  if (!r.u32le(s1) || s1 < 8 || !r.has(s1 - 4) || !r.u32le(labelCount)) return kTobBadFile;
  const size_t labelEnd = 4 + size_t{s1};
  ByteReader labels(file.data() + 12, labelEnd - 12);
  r.seek(labelEnd);
  uint32_t s2 = 0, n = 0;
  if (!r.u32le(s2) || !r.u32le(n) || s2 != 8 + uint64_t{n} * 4 || !r.has(s2 - 8))
    return kTobBadFile;
  codeOffset_ = static_cast<uint32_t>(4 + size_t{s1} + s2);
  codeSize_ = static_cast<uint32_t>(file.size() - codeOffset_);
  std::span<uint8_t> block = memory_.View(data_, static_cast<uint32_t>(file.size()) + 1);
  block_ = block.data();
  code_ = block.data() + codeOffset_;
  messages_ = block.data() + labelEnd + 8;
  messageCount_ = n;
  for (uint32_t i = 0; i < n; ++i) {
    if (Le32(messages_ + 4 * size_t{i}) >= codeSize_) return kTobBadFile;
  }

  if (labelCount > labels.remaining() / 6) return kTobBadFile;  // an entry takes 6 bytes at least
  // At most three quarters full, so probes stay short.
  uint32_t capacity = 16;
  while (capacity / 4 * 3 < labelCount) capacity <<= 1;
  slots_.assign(capacity, {});
  for (uint32_t i = 0; i < labelCount; ++i) {
    uint8_t e = 0;
    if (!labels.u8(e) || e < 5 || !labels.has(e)) return kTobBadFile;
    const uint8_t* entry = block_ + 12 + labels.position();
    // The name is hashed in the pass that looks for its end.
    uint32_t h = kHashStart;
    size_t length = 0;
    while (length < e - 4u && entry[length] != 0) h = HashStep(h, entry[length++]);
    if (length == e - 4u) return kTobBadFile;
    uint32_t offset = Le32(entry + e - 4);
    if (offset >= codeSize_) return kTobBadFile;
    IndexLabel({reinterpret_cast<const char*>(entry), length}, h, offset);
    labels.skip(e);
  }
  return kTobDone;
}

std::string_view TgsScript::LabelName(const LabelSlot& slot) const {
  return {reinterpret_cast<const char*>(block_ + slot.name), slot.length};
}

void TgsScript::IndexLabel(std::string_view name, uint32_t h, uint32_t offset) {
  const uint32_t at = static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(name.data()) - block_);
  const uint32_t mask = static_cast<uint32_t>(slots_.size()) - 1;
  for (uint32_t i = h & mask;; i = (i + 1) & mask) {
    LabelSlot& slot = slots_[i];
    if (slot.name == 0) {
      slot = {h, at, offset, static_cast<uint32_t>(name.size())};
      ++labelCount_;
      return;
    }
    if (slot.hash == h && LabelName(slot) == name) return;  // the first one stays
  }
}

int32_t TgsScript::FindLabel(const char* label) const {
  if (!label) return 0;
  if (labelCount_ == 0) return -1;
  const std::string_view name(label);
  const uint32_t h = HashName(name);
  const uint32_t mask = static_cast<uint32_t>(slots_.size()) - 1;
  for (uint32_t i = h & mask;; i = (i + 1) & mask) {
    const LabelSlot& slot = slots_[i];
    if (slot.name == 0) return -1;
    if (slot.hash == h && LabelName(slot) == name) return static_cast<int32_t>(slot.offset);
  }
}

int32_t TgsScript::GetMessageOffset(uint32_t i) const {
  if (i >= messageCount_) return -1;
  return static_cast<int32_t>(Le32(messages_ + 4 * size_t{i}));
}

}  // namespace bw
