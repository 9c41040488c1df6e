// What the two script fuzz targets share: good start files and natives that read their
// arguments as words and as text, as real ones do.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "lib/sob/sob_assembler.h"
#include "script/script_vm.h"

namespace bw::fuzz {

inline std::vector<uint8_t> AssembleOrDie(const std::string& source) {
  sob::AssembleResult r = sob::Assemble(source);
  if (!r.ok) std::abort();
  return r.bytes;
}

inline const std::vector<uint8_t>& GoodVariableFile() {
  static const std::vector<uint8_t> file = AssembleOrDie(
      ".sob1\na: .word 1\nb: .space 32\nc: .word a\n.var 0 1 a 4\n.var 1 2 b 32\n.var 2 0 c 4\n");
  return file;
}

inline const std::vector<uint8_t>& GoodLibrary() {
  static const std::vector<uint8_t> file =
      AssembleOrDie(".sob2\nlib: add 1, 2, host:0\n ret\ndata: .word 7\n");
  return file;
}

inline void RegisterFuzzNatives(ScriptVm& vm) {
  vm.RegisterNative([](GuestMemory& m, uint32_t args) {
    uint32_t a = 0, b = 0;
    m.Read32(args, a);
    m.Read32(args + 4, b);
    return static_cast<int32_t>(a + b);
  });
  vm.RegisterNative([](GuestMemory& m, uint32_t args) {
    uint32_t address = 0;
    std::string s;
    if (!m.Read32(args, address) || !m.ReadCString(address, s, 259)) return -1;
    return static_cast<int32_t>(s.size());
  });
}

}  // namespace bw::fuzz
