#include "graphics/device/display_manager.h"

namespace bw {

namespace {

constexpr const char* kPrimarySuffix = " (Primary)";

}  // namespace

int DisplayManager::EnumerateDisplayDevices(const MonitorList* monitors, int32_t canvasWidth,
                                            int32_t canvasHeight) {
  if (!monitors) return kDisplayFailed;
  monitors_ = monitors;
  devices_.clear();
  selected_ = nullptr;
  // The host's display offers the game's own size; the canvas that would tell it comes later.
  host::SetDisplayModeSize(canvasWidth, canvasHeight);
  // A load that fails leaves the list empty, which the lines below check.
  (void)LoadDirectDrawLibrary(false, true);
  const std::vector<DirectDrawDeviceInfo>& drivers = DirectDrawDeviceList();
  if (monitors->GetCount() == 0) return kDisplayNoMonitors;
  const bool several = monitors->GetCount() >= 2;
  for (const MonitorRecord& monitor : monitors->Records()) {
    const int32_t mw = monitor.bounds.Width(), mh = monitor.bounds.Height();
    const int32_t aspectHeight = mw > 0 ? int32_t(int64_t{mh} * canvasWidth / mw) : 0;
    const DirectDrawDeviceInfo* driver = nullptr;
    for (const DirectDrawDeviceInfo& d : drivers) {
      if (d.monitor == monitor.handle) driver = &d;
    }
    if (!driver && drivers.size() == 1) driver = &drivers.front();
    if (!driver) {
      devices_.clear();
      return kDisplayNoDevice;
    }
    auto record = std::make_unique<DisplayDeviceRecord>();
    record->monitor = monitor.handle;
    record->desktopDepth = monitor.bitsPerPixel;
    record->deviceName = monitor.deviceName;
    record->description = monitor.description;
    if (monitor.primary && several) record->description += kPrimarySuffix;
    record->directDrawGuid = driver->guid;
    for (const Direct3DDeviceEntry& d3d : driver->direct3dDevices) {
      if (!d3d.hardware) continue;
      record->direct3dGuid = d3d.guid;
      record->renderDepths = d3d.desc.renderDepths;
      break;
    }
    record->canRenderWindowed = driver->canRenderWindowed;
    // The height that keeps the monitor's aspect wins at once; else the canvas height; else the
    // last one seen.
    int32_t height = 0;
    bool canvasHeightSeen = false;
    for (const host::DdDisplayMode& mode : driver->modes) {
      if (mode.width != canvasWidth) continue;
      if (mode.height == aspectHeight) {
        height = aspectHeight;
        canvasHeightSeen = false;
        break;
      }
      if (mode.height == canvasHeight) canvasHeightSeen = true;
      height = mode.height;
    }
    if (canvasHeightSeen) height = canvasHeight;
    uint32_t depths = 0;
    for (const host::DdDisplayMode& mode : driver->modes) {
      if (mode.width != canvasWidth || mode.height != height || height == 0) continue;
      depths |= DepthBit(mode.bitsPerPixel);
      if (mode.refreshRate == 60) record->has60Hz = true;
    }
    record->depthFlags = depths << 8;
    if (height != 0 && depths != 0) {
      record->modeWidth = canvasWidth;
      record->modeHeight = height;
      record->exactSize = height == canvasHeight;
    }
    devices_.push_back(std::move(record));
  }
  return kDisplayDone;
}

int DisplayManager::SelectDisplayDevice(bool fullScreen, MonitorHandle monitor, int index, int bits,
                                        MonitorHandle* outMonitor) {
  if (devices_.empty()) return kDisplayFailed;
  DisplayDeviceRecord* record = nullptr;
  for (auto& d : devices_) {
    if (monitor != kNoMonitor && d->monitor == monitor) record = d.get();
  }
  if (!record) {
    if (index < 0) index = 0;
    // An index past the end names no record.
    if (size_t(index) >= devices_.size()) return kDisplayFailed;
    record = devices_[size_t(index)].get();
  }
  if (record != selected_) {
    selected_ = record;
    allowedDepthMask_ = uint8_t(record->depthFlags >> 8);
    has60Hz_ = record->has60Hz;
  }
  fullScreenWanted_ = fullScreen && record->modeWidth != 0;
  if (bits != 0) {
    if (!(allowedDepthMask_ & DepthBit(bits))) {
      bits = 0;
      for (int candidate : {32, 24, 16}) {
        if (allowedDepthMask_ & DepthBit(candidate)) {
          bits = candidate;
          break;
        }
      }
      if (bits == 0) return kSelectNoDepth;
    }
  } else {
    bits = record->desktopDepth;
    if (bits == 0) {
      host::DesktopInfo desktop;
      if (host::Backend* backend = host::CurrentBackend()) desktop = backend->Desktop();
      bits = desktop.bitsPerPixel;
    }
  }
  depth_ = bits;
  int32_t width = 0, height = 0;
  if (fullScreenWanted_) {
    if (record->exactSize) {
      ResetDisplayRect();
      return kDisplayDone;
    }
    width = record->modeWidth;
    height = record->modeHeight;
  } else {
    host::Rect bounds;
    if (outMonitor && monitors_ &&
        monitors_->GetMonitorRect(&bounds, record->monitor) == kMonitorRectFound) {
      *outMonitor = record->monitor;
    } else {
      host::DesktopInfo desktop;
      if (host::Backend* backend = host::CurrentBackend()) desktop = backend->Desktop();
      bounds = {0, 0, desktop.width, desktop.height};
    }
    width = bounds.Width();
    height = bounds.Height();
  }
  return ComputeDisplayRect(width, height, true) > 0 ? kSelectBadDisplaySize : kDisplayDone;
}

int DisplayManager::ComputeDisplayRect(int32_t dw, int32_t dh, bool keepWhenSameAspect) {
  const int32_t w = canvasWidth_, h = canvasHeight_;
  if (dw < 1 || dh < 1 || w < 1 || h < 1) return kDisplayFailed;
  const double displayAspect = double(dw) / dh, canvasAspect = double(w) / h;
  hasBars_ = false;
  bars_[0] = bars_[1] = {};
  if (displayAspect == canvasAspect) {
    if (dw == w) {
      ResetDisplayRect();
      return kRectSameAsCanvas;
    }
    if (keepWhenSameAspect) {
      ResetDisplayRect();
      return kDisplayDone;
    }
    displayRect_ = {0, 0, dw, dh};
  } else if (displayAspect <= canvasAspect) {
    const int32_t shown = int32_t(int64_t{h} * dw / w);
    const int32_t y = (dh - shown) >> 1;
    displayRect_ = {0, y, dw, y + shown};
    bars_[0] = {0, 0, dw, y};
    bars_[1] = {0, y + shown, dw, dh};
    hasBars_ = true;
  } else {
    const int32_t shown = int32_t(int64_t{w} * dh / h);
    const int32_t x = (dw - shown) >> 1;
    displayRect_ = {x, 0, x + shown, dh};
    bars_[0] = {0, 0, x, dh};
    bars_[1] = {x + shown, 0, dw, dh};
    hasBars_ = true;
  }
  displayWidth_ = dw;
  displayHeight_ = dh;
  scaled_ = true;
  return kDisplayDone;
}

void DisplayManager::ResetDisplayRect() {
  scaled_ = false;
  hasBars_ = false;
  displayWidth_ = canvasWidth_;
  displayHeight_ = canvasHeight_;
  displayRect_ = canvasRect_;
}

}  // namespace bw
