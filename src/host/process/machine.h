// What the machine under the program is: its memory, processors and system. The program asks
// the system itself; a test installs a fixed machine through the registry (Global<Machine>) so
// that what follows from these answers does not depend on where the test runs.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "common/global.h"

namespace bw::host {

struct MachineFacts {
  uint64_t physicalMemoryBytes = 0;  // 0 when unknown
  uint32_t processorCount = 1;       // processors online, at least 1
  std::string systemName;            // UTF-8 ("Linux"); empty when unknown
  std::string systemRelease;         // UTF-8 ("6.1.0-13-amd64"); empty when unknown
};

class Machine {
 public:
  virtual ~Machine() = default;
  virtual MachineFacts Facts() const = 0;
};

// The installed machine's facts, else the system's.
MachineFacts QueryMachine();
// The system's own answer, whatever is installed.
MachineFacts QuerySystemMachine();

// A machine that answers what it was given.
class FixedMachine : public Machine {
 public:
  explicit FixedMachine(MachineFacts facts) : facts_(std::move(facts)) {}
  MachineFacts Facts() const override { return facts_; }

 private:
  MachineFacts facts_;
};

}  // namespace bw::host
