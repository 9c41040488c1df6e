// An SDL backend on the dummy video driver with one native window; the messages left at the end
// are dropped before the window and the backend go.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/message_queue.h"
#include "host/sdl/sdl_backend.h"
#include "host/take_messages.h"

namespace bw::host {

class SdlWindowFixture : public testing::Test {
 protected:
  SdlWindowFixture(WindowProc proc, const char* title, int32_t width = 320, int32_t height = 240)
      : proc_(proc), title_(title), width_(width), height_(height) {}

  void SetUp() override {
    std::string error;
    backend_ = SdlBackend::Create(&error);
    ASSERT_NE(backend_, nullptr) << error;
    use_ = std::make_unique<ScopedGlobal<Backend>>(backend_.get());
    WindowDesc desc;
    desc.proc = proc_;
    desc.native = true;
    desc.nativeDesc = NativeWindowDesc{title_, width_, height_, true};
    window_ = CreateWindow(desc);
    ASSERT_TRUE(window_);
    Drain();  // what the window's opening produced
  }
  void TearDown() override {
    if (IsWindow(window_)) {
      EXPECT_TRUE(DestroyWindow(window_));
    }
    Drain();
    use_.reset();
    backend_.reset();
  }

  static std::vector<MSG> Drain() { return test::TakeMessages(); }

  std::unique_ptr<SdlBackend> backend_;
  std::unique_ptr<ScopedGlobal<Backend>> use_;
  HWND window_;

 private:
  WindowProc proc_;
  const char* title_;
  int32_t width_;
  int32_t height_;
};

}  // namespace bw::host
