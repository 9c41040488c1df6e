// The decoded code blocks of one guest address space, so that every interpreter running there
// finds the decoded form of the code it reaches. Each block announces itself while it lives.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace bw {

class ThreadedCode;

class ThreadedCodeTable {
 public:
  void Add(ThreadedCode* code, uint32_t start, uint32_t bytes) {
    blocks_.push_back({start, bytes, code});
  }
  void Remove(const ThreadedCode* code) {
    std::erase_if(blocks_, [code](const Block& b) { return b.code == code; });
  }
  // The block whose instructions hold ip, or null.
  ThreadedCode* Find(uint32_t ip) const {
    for (const Block& b : blocks_) {
      if (ip - b.start < b.bytes) return b.code;
    }
    return nullptr;
  }

 private:
  struct Block {
    uint32_t start;
    uint32_t bytes;
    ThreadedCode* code;
  };
  std::vector<Block> blocks_;
};

}  // namespace bw
