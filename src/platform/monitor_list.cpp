#include "platform/monitor_list.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "common/sjis.h"

namespace bw {
namespace {

std::string Bounded(std::string_view text, size_t size) {
  return std::string(sjis::Truncate(text, size - 1));
}

int64_t Overlap(int32_t lo1, int32_t hi1, int32_t lo2, int32_t hi2) {
  return std::max<int64_t>(0, int64_t{std::min(hi1, hi2)} - std::max(lo1, lo2));
}

// How far apart two spans are along one axis; 0 when they touch or overlap.
int64_t Gap(int32_t lo1, int32_t hi1, int32_t lo2, int32_t hi2) {
  if (hi1 < lo2) return int64_t{lo2} - hi1;
  if (hi2 < lo1) return int64_t{lo1} - hi2;
  return 0;
}

}  // namespace

std::vector<MonitorFacts> MonitorFactsFromDesktop(const host::DesktopInfo& desktop) {
  std::vector<MonitorFacts> facts;
  for (size_t i = 0; i < desktop.monitors.size(); ++i) {
    MonitorFacts f;
    f.bounds = desktop.monitors[i].bounds;
    f.workArea = desktop.monitors[i].workArea;
    f.bitsPerPixel = static_cast<uint8_t>(std::clamp(desktop.bitsPerPixel, 0, 255));
    f.deviceName = "\\\\.\\DISPLAY" + std::to_string(i + 1);
    f.description = "Unknown";
    f.primary = i == 0;
    facts.push_back(std::move(f));
  }
  return facts;
}

namespace {

std::vector<MonitorFacts> CurrentDesktopFacts() {
  host::Backend* backend = host::CurrentBackend();
  return backend != nullptr ? MonitorFactsFromDesktop(backend->Desktop())
                            : std::vector<MonitorFacts>{};
}

}  // namespace

MonitorList::MonitorList() : MonitorList(CurrentDesktopFacts()) {}

MonitorList::MonitorList(const std::vector<MonitorFacts>& monitors) {
  for (const MonitorFacts& f : monitors) {
    MonitorRecord r;
    r.handle = static_cast<MonitorHandle>(records_.size() + 1);
    r.bitsPerPixel = f.bitsPerPixel;
    r.refreshHz =
        f.refreshHz < 2 ? 0 : static_cast<uint16_t>(std::min<uint32_t>(f.refreshHz, 0xFFFF));
    r.bounds = f.bounds;
    r.workArea = f.workArea;
    r.deviceName = Bounded(f.deviceName, MonitorRecord::kDeviceNameSize);
    r.description = Bounded(f.description, MonitorRecord::kDescriptionSize);
    r.primary = f.primary;
    r.modesPruned = f.modesPruned;
    records_.push_back(std::move(r));
  }
  NumberDuplicates();
}

// Identical descriptions get "[1]", "[2]", ... in list order. The number is written in decimal
// and the description cut short where needed so that it always fits with its number.
void MonitorList::NumberDuplicates() {
  auto append = [](MonitorRecord& r, unsigned number) {
    char text[16];
    const std::string_view suffix(text, std::snprintf(text, sizeof text, "[%u]", number));
    r.description = Bounded(r.description, MonitorRecord::kDescriptionSize - suffix.size());
    r.description += suffix;
    r.duplicateNumber = static_cast<uint8_t>(number);
  };
  for (size_t i = 0; i < records_.size(); ++i) {
    if (records_[i].duplicateNumber != MonitorRecord::kNotNumbered) continue;
    const std::string base = records_[i].description;
    unsigned next = 2;
    for (size_t j = i + 1; j < records_.size(); ++j) {
      // Numbers stop below the "not numbered" mark; later twins stay plain.
      if (next >= MonitorRecord::kNotNumbered) break;
      MonitorRecord& other = records_[j];
      if (other.duplicateNumber == MonitorRecord::kNotNumbered && other.description == base) {
        append(other, next++);
      }
    }
    if (next > 2) append(records_[i], 1);
  }
}

const MonitorRecord* MonitorList::Find(MonitorHandle handle) const {
  if (handle == kNoMonitor || handle > records_.size()) return nullptr;
  return &records_[handle - 1];
}

uint32_t MonitorList::GetMonitorRect(host::Rect* rect, MonitorHandle handle) const {
  if (const MonitorRecord* r = Find(handle)) {
    *rect = r->bounds;
    return kMonitorRectFound;
  }
  host::DesktopInfo desktop;
  if (host::Backend* backend = host::CurrentBackend()) desktop = backend->Desktop();
  *rect = host::Rect{0, 0, desktop.width, desktop.height};
  return kMonitorRectDesktop;
}

MonitorHandle MonitorList::MonitorFromRect(const host::Rect& rect) const {
  MonitorHandle best = kNoMonitor;
  int64_t bestArea = 0;
  for (const MonitorRecord& r : records_) {
    int64_t area = Overlap(rect.left, rect.right, r.bounds.left, r.bounds.right) *
                   Overlap(rect.top, rect.bottom, r.bounds.top, r.bounds.bottom);
    if (area > bestArea) {
      bestArea = area;
      best = r.handle;
    }
  }
  if (best != kNoMonitor) return best;
  // Gaps reach 2^32 on the coordinate range: their squares are summed as doubles.
  double bestDistance = std::numeric_limits<double>::max();
  for (const MonitorRecord& r : records_) {
    const double dx = double(Gap(rect.left, rect.right, r.bounds.left, r.bounds.right));
    const double dy = double(Gap(rect.top, rect.bottom, r.bounds.top, r.bounds.bottom));
    const double distance = dx * dx + dy * dy;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = r.handle;
    }
  }
  return best;
}

int32_t MonitorList::PlaceWindow(int32_t* x, int32_t* y, int32_t width, int32_t height, bool force,
                                 bool centre) const {
  if (records_.empty() || width < 1 || height < 1) return kPlacementRefused;
  if (!force) {
    for (const MonitorRecord& r : records_) {
      const host::Rect& a = r.workArea;
      if (a.left <= *x && int64_t{*x} <= int64_t{a.right} - width && a.top <= *y &&
          int64_t{*y} <= int64_t{a.bottom} - height) {
        return kPlacementKept;
      }
    }
  }
  const host::Rect window{*x, *y,
                          static_cast<int32_t>(std::min<int64_t>(int64_t{*x} + width, INT32_MAX)),
                          static_cast<int32_t>(std::min<int64_t>(int64_t{*y} + height, INT32_MAX))};
  const MonitorRecord* nearest = Find(MonitorFromRect(window));
  host::Rect area = (nearest != nullptr ? *nearest : records_.front()).workArea;
  if (width > area.Width() || height > area.Height()) {
    if (const MonitorRecord* big = Find(FindMonitorFitting(width, height))) {
      area = big->workArea;
    } else {
      centre = false;
    }
  }
  *x = area.left;
  *y = area.top;
  if (centre) {
    int32_t dx = area.Width() / 2 - width / 2;
    int32_t dy = area.Height() / 2 - height / 2;
    if (dx >= 0 && dy >= 0) {
      *x += dx;
      *y += dy;
    }
  }
  return kPlacementMoved;
}

MonitorHandle MonitorList::FindMonitorFitting(int32_t width, int32_t height) const {
  if (width < 1 || height < 1) return kNoMonitor;
  for (const MonitorRecord& r : records_) {
    if (r.bounds.Width() >= width && r.bounds.Height() >= height) return r.handle;
  }
  return kNoMonitor;
}

}  // namespace bw
