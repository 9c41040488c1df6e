#include "host/process/machine.h"

#include <sys/utsname.h>
#include <unistd.h>

namespace bw::host {

MachineFacts QuerySystemMachine() {
  MachineFacts facts;
  long pages = ::sysconf(_SC_PHYS_PAGES);
  long pageSize = ::sysconf(_SC_PAGE_SIZE);
  if (pages > 0 && pageSize > 0) {
    facts.physicalMemoryBytes = static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
  }
  long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
  facts.processorCount = processors > 0 ? static_cast<uint32_t>(processors) : 1;
  utsname names{};
  if (::uname(&names) == 0) {
    facts.systemName = names.sysname;
    facts.systemRelease = names.release;
  }
  return facts;
}

MachineFacts QueryMachine() {
  const Machine* machine = Global<Machine>::Get();
  return machine ? machine->Facts() : QuerySystemMachine();
}

}  // namespace bw::host
