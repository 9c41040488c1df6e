// A native window on SDL's dummy driver: tests push SDL events and read what the host made of them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/input/key_state.h"
#include "host/input/text_input.h"
#include "host/message_queue.h"
#include "host/sdl/sdl_backend.h"
#include "host/sdl/sdl_keys.h"

namespace bw {

class SdlInputTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    backend_ = host::SdlBackend::Create(&error);
    ASSERT_NE(backend_, nullptr) << error;
    use_ = std::make_unique<ScopedGlobal<host::Backend>>(backend_.get());
    host::WindowDesc desc;
    desc.proc = host::DefWindowProc;
    desc.native = true;
    desc.nativeDesc = host::NativeWindowDesc{"input", 320, 240, true};
    window_ = host::CreateWindow(desc);
    ASSERT_TRUE(window_);
    Drain();
    host::ResetKeyState();
    host::ResetTextInput();
  }
  void TearDown() override {
    if (host::IsWindow(window_)) host::DestroyWindow(window_);
    Drain();
    use_.reset();
    backend_.reset();
    host::ResetKeyState();
  }

  // Pumps SDL and answers the messages it made.
  std::vector<host::MSG> Drain() {
    std::vector<host::MSG> got;
    host::MSG msg;
    while (host::PeekMessage(&msg, host::HWND{}, 0, 0, host::PM_REMOVE)) got.push_back(msg);
    return got;
  }

  void Push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }

  void Key(SDL_Scancode scancode, bool down) {
    SDL_Event e;
    SDL_zero(e);
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = backend_->SdlWindowId(window_);
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = scancode;
    Push(e);
  }

  void Button(uint8_t button, bool down, int32_t x = 10, int32_t y = 10) {
    SDL_Event e;
    SDL_zero(e);
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = backend_->SdlWindowId(window_);
    e.button.button = button;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.x = x;
    e.button.y = y;
    Push(e);
  }

  void Wheel(int32_t notches) {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = backend_->SdlWindowId(window_);
    e.wheel.y = notches;
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    Push(e);
  }

  std::unique_ptr<host::SdlBackend> backend_;
  std::unique_ptr<ScopedGlobal<host::Backend>> use_;
  host::HWND window_;
};

}  // namespace bw
