// "SYS_LOG.TXT": the support record of one start, written section by section while the start-up
// runs when the log switch is on, and replaced at every start. English apart from the version
// line; CP932 where a text is Japanese; lines end in CR LF. It is written as it goes, so a start
// that dies half-way still leaves what it found.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/sysinfo/machine_facts.h"
#include "app/sysinfo/system_info.h"
#include "host/file/host_file.h"
#include "platform/cpu_info.h"
#include "platform/monitor_list.h"

namespace bw {

constexpr int kStartupLogOk = 0;
constexpr int kStartupLogCreateFailed = 6;  // the start-up's own result for it

struct LocalTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The local wall-clock time from the host clock.
LocalTime LocalTimeNow();

// The version lines. Texts are CP932; an empty notice or address is left out.
struct LogVersion {
  std::string title;
  uint8_t major = 0;
  uint8_t minor = 0;
  uint8_t revision = 0;
  std::string notice;
  std::string webAddress;
};

class StartupLog {
 public:
  using TimeSource = std::function<LocalTime()>;
  static constexpr const char* kFileName = "SYS_LOG.TXT";

  explicit StartupLog(TimeSource now = LocalTimeNow);

  // The folder the log goes in (engine paths): the save folder, unless the save-folder mode is 1
  // or there is none, then the application folder.
  static std::string Folder(uint8_t saveFolderMode, const std::string& saveFolder,
                            const std::string& appFolder);

  // Creates the log in folder (an engine path) and writes the header. With the switch off nothing
  // is created or touched and every later section is left out. kStartupLogOk or
  // kStartupLogCreateFailed.
  [[nodiscard]] int Start(bool logSwitch, const std::string& folder);
  bool IsOpen() const { return file_.IsOpen(); }

  void WriteVersion(const LogVersion& version);
  void WriteSystem(const SystemFacts& system, const MonitorList& monitors,
                   const std::string& modulePath, const std::string& appFolder);
  void WriteProcessor(const CpuRecord& cpu, bool clockSwitch, uint32_t processorCount);
  void WriteInput(const InputFacts& input);
  void WriteSound(const SoundFacts& sound);
  void WriteDisplay(const DisplayFacts& display, bool direct3DReport, bool zBufferOption);
  // A notice of the run (CP932, lines split by '\n'), set off by a blank line; after the start-up
  // it goes at the end of the log this start wrote (none when the switch was off).
  void WriteNote(const std::string& text);
  // The drive, application and process sections and the closing time stamp; closes the file.
  void Finish(const std::vector<DriveFacts>& drives,
              const std::optional<std::vector<ProcessFacts>>& processes);

 private:
  void Write(const std::string& text);
  std::string TimeStamp(const char* utf8Format);
  static void AppendDirect3D(std::string* text, const Direct3DFacts& d3d, bool zBufferOption);

  TimeSource now_;
  host::HostFile file_;
  std::string linuxPath_;  // the log this start created
};

}  // namespace bw
