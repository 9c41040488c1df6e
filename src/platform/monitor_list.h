// The display monitors, read once at start: where the window may go, which monitor can hold the
// game's screen, and a description that tells identical monitors apart by a number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/backend.h"

namespace bw {

// A monitor as the list knows it: its 1-based place in the list; 0 is no monitor.
using MonitorHandle = uint32_t;
constexpr MonitorHandle kNoMonitor = 0;

// GetMonitorRect results.
constexpr uint32_t kMonitorRectFound = 0;
constexpr uint32_t kMonitorRectDesktop = 1;  // an unknown handle: the primary screen's size
// PlaceWindow results.
constexpr int32_t kPlacementKept = 0;
constexpr int32_t kPlacementMoved = 1;
constexpr int32_t kPlacementRefused = -1;  // no monitors or an empty size

// What the platform tells of one monitor, before numbering.
struct MonitorFacts {
  host::Rect bounds;
  host::Rect workArea;
  uint8_t bitsPerPixel = 0;
  uint32_t refreshHz = 0;   // 0 and 1 stand for the device default
  std::string deviceName;   // CP932
  std::string description;  // CP932
  bool primary = false;
  bool modesPruned = false;
};

// The facts of the host's desktop: monitors in the host's order, the first one primary. The host
// names no adapter, so each description is "Unknown" and identical monitors come out numbered.
std::vector<MonitorFacts> MonitorFactsFromDesktop(const host::DesktopInfo& desktop);

struct MonitorRecord {
  static constexpr size_t kDeviceNameSize = 32;    // bytes with the terminator
  static constexpr size_t kDescriptionSize = 128;  // bytes with the terminator
  static constexpr uint8_t kNotNumbered = 255;

  MonitorHandle handle = kNoMonitor;
  uint8_t bitsPerPixel = 0;
  uint16_t refreshHz = 0;  // 0 when the device reports less than 2
  host::Rect bounds;
  host::Rect workArea;
  std::string deviceName;
  std::string description;  // with the duplicate number appended
  bool primary = false;
  bool modesPruned = false;
  uint8_t duplicateNumber = kNotNumbered;
};

class MonitorList {
 public:
  // The monitors of the installed backend's desktop (none without a backend).
  MonitorList();
  explicit MonitorList(const std::vector<MonitorFacts>& monitors);
  virtual ~MonitorList() = default;

  uint32_t GetCount() const { return static_cast<uint32_t>(records_.size()); }
  const std::vector<MonitorRecord>& Records() const { return records_; }
  const MonitorRecord* Find(MonitorHandle handle) const;

  // kMonitorRectFound with the monitor's rectangle; kMonitorRectDesktop with the primary screen's
  // size for an unknown handle.
  [[nodiscard]] uint32_t GetMonitorRect(host::Rect* rect, MonitorHandle handle) const;
  // kPlacementKept when the window lies wholly in some monitor's work area (unless forced) and
  // stays; kPlacementMoved when it was moved onto a monitor; kPlacementRefused with no monitors
  // or an empty size.
  [[nodiscard]] int32_t PlaceWindow(int32_t* x, int32_t* y, int32_t width, int32_t height,
                                    bool force, bool centre) const;
  // The first monitor at least width by height, or kNoMonitor.
  MonitorHandle FindMonitorFitting(int32_t width, int32_t height) const;
  // The monitor sharing most area with rect, else the one closest to it; kNoMonitor when empty.
  MonitorHandle MonitorFromRect(const host::Rect& rect) const;

 private:
  void NumberDuplicates();

  std::vector<MonitorRecord> records_;
};

}  // namespace bw
