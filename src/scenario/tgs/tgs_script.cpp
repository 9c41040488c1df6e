#include "scenario/tgs/tgs_script.h"

#include <algorithm>
#include <cstring>

#include "common/byte_reader.h"
#include "scenario/tgs/tgs_loop.h"
#include "script/guest_memory.h"
#include "script/script_file_source.h"

namespace bw {

namespace {

// Names compare byte for byte; the hash takes eight bytes a step.
constexpr uint64_t kHashMultiplier = 0x9E3779B97F4A7C15ull;
constexpr uint64_t kOnes = 0x0101010101010101ull;
uint64_t HashMix(uint64_t h, uint64_t w) {
  h = (h ^ w) * kHashMultiplier;
  return h ^ (h >> 29);
}
uint32_t HashEnd(uint64_t h, size_t length) {
  h = (h ^ length) * kHashMultiplier;
  return static_cast<uint32_t>(h ^ (h >> 32));
}
uint64_t Le64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
uint32_t HashName(const uint8_t* p, size_t length) {
  uint64_t h = 0;
  size_t i = 0;
  for (; length - i >= 8; i += 8) h = HashMix(h, Le64(p + i));
  uint64_t tail = 0;
  for (size_t k = 0; i + k < length; ++k) tail |= uint64_t{p[i + k]} << (8 * k);
  return HashEnd(HashMix(h, tail), length);
}
// The length of the NUL-terminated name at p (NUL within area bytes) and its hash, reading whole
// words: up to 7 bytes past the area are read, which the caller has. False without a NUL.
bool ScanName(const uint8_t* p, size_t area, uint32_t& length, uint32_t& hash) {
  uint64_t h = 0;
  for (size_t i = 0; i < area; i += 8) {
    const uint64_t w = Le64(p + i);
    const uint64_t zero = (w - kOnes) & ~w & (kOnes << 7);
    if (zero) {
      const size_t k = static_cast<size_t>(__builtin_ctzll(zero)) / 8;
      if (i + k >= area) return false;
      length = static_cast<uint32_t>(i + k);
      hash = HashEnd(HashMix(h, k ? w & (~uint64_t{0} >> (64 - 8 * k)) : 0), length);
      return true;
    }
    h = HashMix(h, w);
  }
  return false;
}

uint32_t Le32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

}  // namespace

int TgsScript::Load(GuestMemory& memory, ScriptFileSource& files, const std::string& path,
                    std::string name, std::unique_ptr<TgsScript>& script) {
  auto s = std::make_unique<TgsScript>(Key{}, memory, std::move(name));
  GuestFile file;
  if (!files.LoadToGuest(path, memory, 1, file)) return kTobNotFound;
  s->data_ = file.address;
  if (file.size >= GuestMemory::kMaxArena) return kTobBadFile;
  if (!s->data_) return kTobNoMemory;
  int r = s->Parse(static_cast<uint32_t>(file.size));
  if (r != kTobDone) return r;
  script = std::move(s);
  return kTobDone;
}

std::atomic<uint32_t> TgsScript::releases_{0};

TgsScript::TgsScript(Key, GuestMemory& memory, std::string name)
    : memory_(memory), name_(std::move(name)) {}

TgsScript::~TgsScript() {
  memory_.Free(data_);
  releases_.fetch_add(1, std::memory_order_relaxed);
}

int TgsScript::Parse(uint32_t fileSize) {
  std::span<uint8_t> block = memory_.View(data_, fileSize + 1);
  block_ = block.data();
  ByteReader r(block_, fileSize);
  uint8_t magic[4];
  if (!r.copy(magic, 4) || std::memcmp(magic, "TOB", 3) != 0 ||
      (magic[3] != '0' && magic[3] != '1')) {
    return kTobBadFile;
  }
  version1_ = magic[3] == '1';
  uint32_t s1 = 0, labelCount = 0;
  if (!r.u32le(s1) || s1 < 8 || !r.has(s1 - 4) || !r.u32le(labelCount)) return kTobBadFile;
  const size_t labelEnd = 4 + size_t{s1};
  ByteReader labels(block_ + 12, labelEnd - 12);
  (void)r.seek(labelEnd);  // within: s1 was checked against the bytes left
  uint32_t s2 = 0, n = 0;
  if (!r.u32le(s2) || !r.u32le(n) || s2 != 8 + uint64_t{n} * 4 || !r.has(s2 - 8))
    return kTobBadFile;
  codeOffset_ = static_cast<uint32_t>(4 + size_t{s1} + s2);
  codeSize_ = static_cast<uint32_t>(fileSize - codeOffset_);
  code_ = block_ + codeOffset_;
  messages_ = block_ + labelEnd + 8;
  messageCount_ = n;
  // One test of the highest offset, so the walk over them vectorises.
  uint32_t highest = 0;
  for (uint32_t i = 0; i < n; ++i) highest = std::max(highest, Le32(messages_ + 4 * size_t{i}));
  if (n && highest >= codeSize_) return kTobBadFile;

  if (labelCount > labels.remaining() / 6) return kTobBadFile;  // an entry takes 6 bytes at least
  // At most three quarters full, so probes stay short.
  uint32_t capacity = 16;
  while (capacity / 4 * 3 < labelCount) capacity <<= 1;
  slots_.assign(capacity, LabelSlot{});
  labels_ = std::make_unique_for_overwrite<Label[]>(labelCount);  // each is written below
  // A large table misses the cache at every insert: each label's slot is fetched ahead while the
  // next few names are read, and the label goes in some entries later.
  constexpr uint32_t kAhead = 16;
  uint32_t pending[kAhead];  // their hashes
  const uint32_t mask = capacity - 1;
  for (uint32_t i = 0; i < labelCount; ++i) {
    uint8_t e = 0;
    if (!labels.u8(e) || e < 5 || !labels.has(e)) return kTobBadFile;
    const uint8_t* entry = block_ + 12 + labels.position();
    // The entry ends by labelEnd, and the message table's two header words follow it.
    uint32_t length = 0, h = 0;
    if (!ScanName(entry, e - 4u, length, h)) return kTobBadFile;
    const uint32_t offset = Le32(entry + e - 4);
    if (offset >= codeSize_) return kTobBadFile;
    __builtin_prefetch(&slots_[h & mask]);
    uint32_t& next = pending[i % kAhead];
    if (i >= kAhead) IndexLabel(next, i - kAhead);
    next = h;
    labels_[i] = {static_cast<uint32_t>(entry - block_), length, offset};
    (void)labels.skip(e);  // has(e) was checked above
  }
  for (uint32_t i = labelCount > kAhead ? labelCount - kAhead : 0; i < labelCount; ++i)
    IndexLabel(pending[i % kAhead], i);
  return kTobDone;
}

std::string_view TgsScript::LabelName(const Label& label) const {
  return {reinterpret_cast<const char*>(block_ + label.name), label.length};
}

void TgsScript::IndexLabel(uint32_t hash, uint32_t index) {
  const std::string_view name = LabelName(labels_[index]);
  const uint32_t mask = static_cast<uint32_t>(slots_.size()) - 1;
  for (uint32_t i = hash & mask;; i = (i + 1) & mask) {
    LabelSlot& slot = slots_[i];
    if (slot.label == 0) {
      slot = {hash, index + 1};
      ++labelCount_;
      return;
    }
    if (slot.hash == hash && LabelName(labels_[slot.label - 1]) == name)
      return;  // the first of a name wins
  }
}

int32_t TgsScript::FindLabel(const char* label) const {
  if (!label) return 0;
  if (labelCount_ == 0) return -1;
  const std::string_view name(label);
  const uint32_t h = HashName(reinterpret_cast<const uint8_t*>(label), name.size());
  const uint32_t mask = static_cast<uint32_t>(slots_.size()) - 1;
  for (uint32_t i = h & mask;; i = (i + 1) & mask) {
    const LabelSlot& slot = slots_[i];
    if (slot.label == 0) return -1;
    if (slot.hash != h) continue;
    const Label& found = labels_[slot.label - 1];
    if (LabelName(found) == name) return static_cast<int32_t>(found.offset);
  }
}

void TgsScript::KeepDecoded(const TgsDecodedStep& step) {
  if (!stepSlots_.empty()) {
    StepSlot& slot = Slot(step.position);
    if (slot.step) {
      const TgsDecodedStep* follower = slot.step->follower;
      *slot.step = step;
      slot.step->follower = follower;
      return;
    }
  }
  if (steps_.size() >= codeSize_ / 8 + 64) return;  // an instruction takes 12 bytes at least
  steps_.push_back(std::make_unique<TgsDecodedStep>(step));
  if (steps_.size() * 4 <= stepSlots_.size() * 3) {
    Slot(step.position) = {step.position, steps_.back().get()};
    return;
  }
  stepSlots_.assign(std::max<size_t>(16, stepSlots_.size() * 2), StepSlot{0, nullptr});
  for (const auto& kept : steps_) Slot(kept->position) = {kept->position, kept.get()};
}

const TgsLoop* TgsScript::KeepLoop(std::unique_ptr<TgsLoop> loop) {
  if (loops_.size() >= codeSize_ / 64 + 16) return nullptr;
  loops_.push_back(std::move(loop));
  return loops_.back().get();
}

void TgsScript::Guard(uint64_t address, uint64_t bytes) {
  ++guardVersion_;
  const uint64_t from = uint64_t{CodeStart()} - kGuardFront;
  const uint64_t span = uint64_t{codeSize_} + 2 * kGuardFront;
  if (address < from || address - from > span || bytes > span - (address - from)) {
    guardedAll_ = true;
    return;
  }
  if (guarded_.empty()) guarded_.assign((span + 63) / 64, 0);
  for (uint64_t i = address - from; i < address - from + bytes; ++i)
    guarded_[i / 64] |= uint64_t{1} << (i % 64);
}

bool TgsScript::Guarded(uint64_t address, uint64_t bytes) const {
  if (guardedAll_) return true;
  if (guarded_.empty()) return false;
  const uint64_t from = uint64_t{CodeStart()} - kGuardFront;
  const uint64_t span = uint64_t{codeSize_} + 2 * kGuardFront;
  for (uint64_t a = std::max(address, from); a < address + bytes && a - from < span; ++a) {
    if (guarded_[(a - from) / 64] >> ((a - from) % 64) & 1) return true;
  }
  return false;
}

TgsScript::StepSlot& TgsScript::Slot(uint32_t position) {
  const uint32_t mask = static_cast<uint32_t>(stepSlots_.size()) - 1;
  for (uint32_t i = StepHash(position) & mask;; i = (i + 1) & mask) {
    if (!stepSlots_[i].step || stepSlots_[i].position == position) return stepSlots_[i];
  }
}

int32_t TgsScript::GetMessageOffset(uint32_t i) const {
  if (i >= messageCount_) return -1;
  return static_cast<int32_t>(Le32(messages_ + 4 * size_t{i}));
}

}  // namespace bw
