// One 32-bit address space per script engine. Scripts hold 32-bit addresses of their code, data,
// variables, stacks and strings; here an address is an offset into a reserved arena, 0 is null
// and the first page never maps. Every access is checked against the arena: a bad one answers
// false and raises the sticky fault flag, which the interpreter turns into the illegal-script
// result, so natives can use the same accessors without reporting faults themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/process/reserved_memory.h"
#include "script/bytecode_jit_table.h"
#include "script/threaded_code_table.h"

namespace bw {

class GuestMemory {
 public:
  static constexpr uint32_t kNullPage = 0x10000;         // addresses below this always fault
  static constexpr uint32_t kDefaultArena = 256u << 20;  // reserved, committed by the kernel on use
  static constexpr uint32_t kMaxArena = 0x40000000;  // above this live native tokens and handles

  explicit GuestMemory(uint32_t arenaBytes = kDefaultArena);
  GuestMemory(const GuestMemory&) = delete;
  GuestMemory& operator=(const GuestMemory&) = delete;

  // A zero-filled block of at least size bytes, 8-byte aligned; 0 when the arena is full.
  [[nodiscard]] uint32_t Allocate(uint32_t size);
  // Gives a block back; 0 and unknown addresses are ignored.
  void Free(uint32_t address);
  // The size asked for when the block at address was allocated, 0 when there is none.
  uint32_t BlockSize(uint32_t address) const;
  // A block holding bytes (and a terminating zero when asked); 0 when the arena is full.
  [[nodiscard]] uint32_t AllocateCopy(std::span<const uint8_t> bytes, bool terminate = false);
  // A block of size bytes whose first keep bytes the caller fills at once (they are not
  // cleared); the rest is zero. 64-byte aligned: a file read lands at the speed of an aligned
  // copy. 0 when the arena is full.
  [[nodiscard]] uint32_t AllocateToFill(uint32_t size, uint32_t keep) {
    return Take(size, keep, 64);
  }

  // True when [address, address + size) lies inside the used arena.
  bool Valid(uint32_t address, uint32_t size) const {
    return address >= kNullPage && address <= top_ && size <= top_ - address;
  }

  // A failed access raises the fault flag, which ends the step with the illegal-script result:
  // the answers of these may go unread.
  bool Read32(uint32_t address, uint32_t& value) {
    if (!Valid(address, 4)) return Fault();
    std::memcpy(&value, base_ + address, 4);
    return true;
  }
  bool Write32(uint32_t address, uint32_t value) {
    if (!Valid(address, 4)) return Fault();
    std::memcpy(base_ + address, &value, 4);
    return true;
  }
  bool Read(uint32_t address, void* out, uint32_t size) {
    if (!Valid(address, size)) return Fault();
    if (size) std::memcpy(out, base_ + address, size);
    return true;
  }
  bool Write(uint32_t address, const void* in, uint32_t size) {
    if (!Valid(address, size)) return Fault();
    if (size) std::memcpy(base_ + address, in, size);
    return true;
  }
  // Copies size bytes inside guest memory; the ranges may overlap.
  bool Copy(uint32_t to, uint32_t from, uint32_t size);
  bool Fill(uint32_t address, uint8_t value, uint32_t size);
  // The zero-terminated text at address, at most max bytes before the zero; false (and a fault)
  // when the text runs out of the arena or is longer.
  [[nodiscard]] bool ReadCString(uint32_t address, std::string& out, size_t max);
  // The same text seen in place, valid until guest memory is next written or allocated.
  [[nodiscard]] bool CStringView(uint32_t address, std::string_view& out, size_t max);

  // A host view of a checked range, for bulk work (copies, streaming); empty on a fault.
  std::span<uint8_t> View(uint32_t address, uint32_t size) {
    if (!Valid(address, size)) {
      Fault();
      return {};
    }
    return {base_ + address, size};
  }

  bool Faulted() const { return faulted_; }

  // For the interpreter's own checked accesses: the arena's host address (fixed for the
  // arena's life) and the end of its used part (it only grows, as blocks are allocated: translated
  // code trusts an address that was good once).
  uint8_t* Base() const { return base_; }
  uint32_t Top() const { return top_; }
  // Answers whether a fault happened since the last call and clears the flag.
  bool TakeFault() {
    bool f = faulted_;
    faulted_ = false;
    return f;
  }
  // The machine-code translations of code in this address space.
  TranslationTable& Translations() { return translations_; }
  // The interpreter's decoded forms of code in this address space.
  ThreadedCodeTable& ThreadedBlocks() { return threaded_; }

 private:
  // Allocate, leaving the first keep bytes for the caller to fill at once; align is a power of
  // two, at least 8.
  [[nodiscard]] uint32_t Take(uint32_t size, uint32_t keep, uint32_t align = 8);
  bool Fault() {
    faulted_ = true;
    return false;
  }

  host::ReservedMemory arena_;
  uint8_t* base_ = nullptr;  // arena_'s, or null when the reservation failed
  uint32_t reserved_ = 0;
  uint32_t top_ = kNullPage;             // end of the used part of the arena
  std::map<uint32_t, uint32_t> blocks_;  // address -> size asked for
  std::map<uint32_t, uint32_t> free_;    // address -> capacity of free ranges below top_
  bool faulted_ = false;
  TranslationTable translations_;
  ThreadedCodeTable threaded_;
};

// Engine objects given to scripts: a 32-bit handle names an entry of a given type. A handle of
// another type, a released entry (its generation moved on) or a made-up number answers null.
class HandleTable {
 public:
  static constexpr uint32_t kIndexBits = 20;
  // Handles sit above the arena so they never read as guest addresses.
  static constexpr uint32_t kHandleBase = 0x80000000;

  [[nodiscard]] uint32_t Add(uint16_t type, void* object);
  void* Get(uint32_t handle, uint16_t type) const;
  // The object and its type (0 and null for a handle that is not live).
  void* Lookup(uint32_t handle, uint16_t* type) const;
  // Frees the entry; false when the handle is not live.
  [[nodiscard]] bool Remove(uint32_t handle);
  size_t LiveCount() const { return live_; }

 private:
  struct Entry {
    void* object = nullptr;
    uint16_t type = 0;
    uint16_t generation = 0;
  };
  const Entry* Find(uint32_t handle) const;

  std::vector<Entry> entries_;
  std::vector<uint32_t> freeIndexes_;
  size_t live_ = 0;
};

// Native entry points as scripts see them: token = kNativeTokenBase + the native's number.
constexpr uint32_t kNativeTokenBase = 0xC0000000;
constexpr uint32_t kNativeTokenLimit = 0x10000;  // numbers a token can carry
inline uint32_t NativeToken(uint32_t number) {
  return kNativeTokenBase + number;
}
inline bool IsNativeToken(uint32_t word) {
  return word - kNativeTokenBase < kNativeTokenLimit;
}
inline uint32_t NativeNumber(uint32_t token) {
  return token - kNativeTokenBase;
}

}  // namespace bw
