// Builds script files from their text form for the script tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "lib/sob/sob_assembler.h"
#include "script/guest_memory.h"
#include "script/script_file_source.h"

namespace bw {

// The guest arena the script tests run in.
constexpr uint32_t kArena = 1 << 20;

inline std::vector<uint8_t> Sob(const std::string& source, const sob::FaultSwitches& faults = {}) {
  sob::AssembleResult r = sob::Assemble(source, faults);
  EXPECT_TRUE(r.ok) << r.error << "\n" << source;
  return r.bytes;
}

// A script file "SCRIPT\<name>.SOB" of the given code lines.
inline void PutScript(MemoryScriptFileSource& files, const std::string& name,
                      const std::string& body, const sob::FaultSwitches& faults = {}) {
  files.Put("SCRIPT\\" + name + ".SOB", Sob(".sob0\n" + body, faults));
}

// A word of guest memory; an address outside the arena fails the test.
inline uint32_t GuestWord(GuestMemory& memory, uint32_t address) {
  uint32_t v = 0;
  EXPECT_TRUE(memory.Read32(address, v)) << address;
  return v;
}

// A little-endian word of a file; a word past its end fails the test.
inline uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at) {
  ByteReader r(bytes.data(), bytes.size());
  uint32_t v = 0;
  EXPECT_TRUE(r.seek(at) && r.u32le(v)) << at;
  return v;
}

}  // namespace bw
