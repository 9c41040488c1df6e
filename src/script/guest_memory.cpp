#include "script/guest_memory.h"

#include <algorithm>

namespace bw {

namespace {
constexpr uint32_t kAlign = 8;
uint64_t RoundUp(uint64_t n) {
  return (n + kAlign - 1) & ~uint64_t{kAlign - 1};
}
}  // namespace

GuestMemory::GuestMemory(uint32_t arenaBytes)
    : arena_(std::clamp<uint32_t>(arenaBytes, kNullPage * 2, kMaxArena)) {
  // Untouched pages cost nothing; the kernel commits them as they are written.
  base_ = arena_.Data();
  reserved_ = base_ ? static_cast<uint32_t>(arena_.Size()) : 0;
}

uint32_t GuestMemory::Allocate(uint32_t size) {
  return Take(size, 0);
}

uint32_t GuestMemory::Take(uint32_t size, uint32_t keep, uint32_t align) {
  if (!base_) return 0;
  uint64_t need = RoundUp(std::max<uint32_t>(size, 1));
  auto alignUp = [align](uint64_t a) { return (a + align - 1) & ~uint64_t{align - 1}; };
  for (auto it = free_.begin(); it != free_.end(); ++it) {
    const uint32_t start = it->first;
    const uint64_t lead = alignUp(start) - start;  // stays free in front of the block
    if (it->second < lead + need) continue;
    uint32_t address = start + static_cast<uint32_t>(lead);
    uint32_t rest = it->second - static_cast<uint32_t>(lead + need);
    free_.erase(it);
    if (lead) free_[start] = static_cast<uint32_t>(lead);
    if (rest) free_[address + static_cast<uint32_t>(need)] = rest;
    std::memset(base_ + address + std::min<uint64_t>(keep, need), 0,
                need - std::min<uint64_t>(keep, need));
    blocks_[address] = size;
    return address;
  }
  const uint64_t address = alignUp(top_);
  if (address + need > reserved_) return 0;
  if (address > top_) free_[top_] = static_cast<uint32_t>(address - top_);
  top_ = static_cast<uint32_t>(address + need);
  blocks_[static_cast<uint32_t>(address)] = size;
  return static_cast<uint32_t>(address);  // fresh pages are already zero
}

void GuestMemory::Free(uint32_t address) {
  auto it = blocks_.find(address);
  if (it == blocks_.end()) return;
  uint32_t capacity = static_cast<uint32_t>(RoundUp(std::max<uint32_t>(it->second, 1)));
  blocks_.erase(it);
  // Merge with free neighbours so large blocks can come back.
  auto next = free_.find(address + capacity);
  if (next != free_.end()) {
    capacity += next->second;
    free_.erase(next);
  }
  auto after = free_.lower_bound(address);
  if (after != free_.begin()) {
    auto prev = std::prev(after);
    if (prev->first + prev->second == address) {
      prev->second += capacity;
      return;
    }
  }
  free_[address] = capacity;
}

uint32_t GuestMemory::BlockSize(uint32_t address) const {
  auto it = blocks_.find(address);
  return it == blocks_.end() ? 0 : it->second;
}

uint32_t GuestMemory::AllocateCopy(std::span<const uint8_t> bytes, bool terminate) {
  uint64_t size = uint64_t{bytes.size()} + (terminate ? 1 : 0);
  if (size > kMaxArena) return 0;
  uint32_t address = Take(static_cast<uint32_t>(size), static_cast<uint32_t>(bytes.size()));
  if (address && !bytes.empty()) std::memcpy(base_ + address, bytes.data(), bytes.size());
  return address;
}

bool GuestMemory::Copy(uint32_t to, uint32_t from, uint32_t size) {
  if (!Valid(to, size) || !Valid(from, size)) return Fault();
  if (size) std::memmove(base_ + to, base_ + from, size);
  return true;
}

bool GuestMemory::Fill(uint32_t address, uint8_t value, uint32_t size) {
  if (!Valid(address, size)) return Fault();
  if (size) std::memset(base_ + address, value, size);
  return true;
}

bool GuestMemory::ReadCString(uint32_t address, std::string& out, size_t max) {
  std::string_view text;
  if (!CStringView(address, text, max)) return false;
  out.assign(text);
  return true;
}

bool GuestMemory::CStringView(uint32_t address, std::string_view& out, size_t max) {
  if (!Valid(address, 1)) return Fault();
  size_t limit = std::min<size_t>(top_ - address, max + 1);
  const void* nul = std::memchr(base_ + address, 0, limit);
  if (!nul) return Fault();
  out = {reinterpret_cast<const char*>(base_ + address),
         static_cast<size_t>(static_cast<const uint8_t*>(nul) - (base_ + address))};
  return true;
}

namespace {
constexpr uint32_t kIndexMask = (1u << HandleTable::kIndexBits) - 1;
constexpr uint32_t kGenerationMask = 0x7FF;  // 11 bits between the index and the base bit
}  // namespace

uint32_t HandleTable::Add(uint16_t type, void* object) {
  if (!object) return 0;
  uint32_t index;
  if (!freeIndexes_.empty()) {
    index = freeIndexes_.back();
    freeIndexes_.pop_back();
  } else {
    if (entries_.size() > kIndexMask) return 0;
    index = static_cast<uint32_t>(entries_.size());
    entries_.push_back({});
  }
  Entry& e = entries_[index];
  e.object = object;
  e.type = type;
  e.generation = static_cast<uint16_t>((e.generation % kGenerationMask) + 1);  // never 0
  ++live_;
  return kHandleBase | (uint32_t{e.generation} << kIndexBits) | index;
}

const HandleTable::Entry* HandleTable::Find(uint32_t handle) const {
  if ((handle & kHandleBase) == 0) return nullptr;
  uint32_t index = handle & kIndexMask;
  uint32_t generation = (handle >> kIndexBits) & kGenerationMask;
  if (index >= entries_.size()) return nullptr;
  const Entry& e = entries_[index];
  if (!e.object || e.generation != generation) return nullptr;
  return &e;
}

void* HandleTable::Get(uint32_t handle, uint16_t type) const {
  const Entry* e = Find(handle);
  return e && e->type == type ? e->object : nullptr;
}

void* HandleTable::Lookup(uint32_t handle, uint16_t* type) const {
  const Entry* e = Find(handle);
  *type = e ? e->type : 0;
  return e ? e->object : nullptr;
}

bool HandleTable::Remove(uint32_t handle) {
  const Entry* e = Find(handle);
  if (!e) return false;
  uint32_t index = handle & kIndexMask;
  entries_[index].object = nullptr;
  freeIndexes_.push_back(index);
  --live_;
  return true;
}

}  // namespace bw
