#include "host/input/text_input.h"

#include <SDL.h>

#include <atomic>
#include <mutex>

namespace bw::host {

namespace {

std::atomic<bool> active{false};
std::atomic<bool> inputMethodSeen{false};
std::mutex compositionLock;
std::string composition;  // guarded by compositionLock

bool VideoUp() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

}  // namespace

void StartTextInput() {
  if (VideoUp()) SDL_StartTextInput();
  active = true;
}

void StopTextInput() {
  if (VideoUp()) SDL_StopTextInput();
  active = false;
  SetComposition({});
}

bool IsTextInputActive() { return active; }

void SetComposition(std::string_view cp932) {
  std::lock_guard<std::mutex> hold(compositionLock);
  composition.assign(cp932);
  if (!cp932.empty()) inputMethodSeen = true;
}

std::string Composition() {
  std::lock_guard<std::mutex> hold(compositionLock);
  return composition;
}

bool HasInputMethod() { return inputMethodSeen; }

void ResetTextInput() {
  std::lock_guard<std::mutex> hold(compositionLock);
  composition.clear();
  inputMethodSeen = false;
  active = false;
}

}  // namespace bw::host
