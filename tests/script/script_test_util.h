// Builds script files from their text form for the script tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/sob/sob_assembler.h"
#include "script/script_file_source.h"

namespace bw {

inline std::vector<uint8_t> Sob(const std::string& source, const sob::FaultSwitches& faults = {}) {
  sob::AssembleResult r = sob::Assemble(source, faults);
  EXPECT_TRUE(r.ok) << r.error << "\n" << source;
  return r.bytes;
}

// A script file "SCRIPT\<name>.SOB" of the given code lines.
inline void PutScript(MemoryScriptFileSource& files, const std::string& name, const std::string& body,
                      const sob::FaultSwitches& faults = {}) {
  files.Put("SCRIPT\\" + name + ".SOB", Sob(".sob0\n" + body, faults));
}

}  // namespace bw
