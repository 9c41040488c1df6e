// What the on-screen probes share: shell commands for the virtual X server and ImageMagick, and
// a native window of the SDL backend on the display they run under.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "common/global.h"
#include "host/message_queue.h"
#include "host/presentation_sink.h"
#include "host/sdl/sdl_backend.h"

namespace bw::probe {

inline bool Run(const std::string& command) {
  return std::system(command.c_str()) == 0;
}

inline std::string Quote(const std::filesystem::path& p) {
  std::string quoted;
  quoted.reserve(p.native().size() + 2);
  quoted += '\'';
  quoted += p.native();
  quoted += '\'';
  return quoted;
}

// The SDL backend installed for the window's life and a native window of the given size. Without
// a display (said on standard error) or a window, Sink() is null.
class ProbeWindow {
 public:
  ProbeWindow(const char* title, int32_t width, int32_t height) {
    std::string error;
    backend_ = host::SdlBackend::Create(&error);
    if (!backend_ || !host::SdlBackend::HasDisplay()) {
      std::fprintf(stderr, "no display: %s\n", error.c_str());
      return;
    }
    use_ = std::make_unique<ScopedGlobal<host::Backend>>(backend_.get());
    host::WindowDesc desc;
    desc.proc = host::DefWindowProc;
    desc.native = true;
    desc.nativeDesc = host::NativeWindowDesc{title, width, height, true};
    window_ = host::CreateWindow(desc);
  }
  ~ProbeWindow() {
    if (window_) (void)host::DestroyWindow(window_);  // this thread's window: it goes
  }
  ProbeWindow(const ProbeWindow&) = delete;
  ProbeWindow& operator=(const ProbeWindow&) = delete;

  host::HWND Handle() const { return window_; }
  host::SdlSink* Sink() const {
    return window_ ? static_cast<host::SdlSink*>(host::GetPresentationSink(window_)) : nullptr;
  }
  // Pumps the events and shows the last frame again (the window may not be mapped yet).
  void Refresh() const {
    backend_->PumpEvents();
    if (host::SdlSink* sink = Sink()) sink->Redraw();
  }

 private:
  std::unique_ptr<host::SdlBackend> backend_;
  std::unique_ptr<ScopedGlobal<host::Backend>> use_;
  host::HWND window_{};
};

}  // namespace bw::probe
