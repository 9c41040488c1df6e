// The Japanese system report of the version dialog: shown there, copied to the clipboard and
// saved as a text file. Built from facts only, so the same facts give the same bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/sysinfo/machine_facts.h"
#include "app/sysinfo/system_info.h"
#include "platform/cpu_info.h"
#include "platform/monitor_list.h"

namespace bw {

// What the dialog asks for. Texts are CP932.
struct ReportRecord {
  std::string title;
  uint8_t versionMajor = 0;
  uint8_t versionMinor = 0;
  uint8_t versionRevision = 0;
  std::string extraLine1;  // empty: left out
  std::string extraLine2;
  bool showProcessor = true;
  bool longForm = false;
};

// The facts of the devices and the program at the time of the report.
struct ReportFacts {
  CpuRecord processor;
  DisplayFacts display;
  SoundFacts sound;
  InputFacts input;
  std::string programPath;  // CP932
  std::string workingFolder;
  bool highResTimer = false;
  bool frameSkip = false;
  std::vector<DriveFacts> drives;
  std::optional<std::vector<ProcessFacts>> processes;  // nothing: no snapshot
};

// The facts the system itself can tell: the processor's identification, the program's path and
// working folder (engine paths), the drives and the processes. The device owners add theirs.
ReportFacts GatherReportFacts();

// The report as CP932 text with CR LF line ends. monitors may be null.
std::string BuildSystemReport(const ReportRecord& record, const SystemInfo& system,
                              const MonitorList* monitors, const ReportFacts& facts);

}  // namespace bw
