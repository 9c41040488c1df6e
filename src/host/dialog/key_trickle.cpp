#include "host/dialog/key_trickle.h"

#include <SDL.h>

#include <bitset>

namespace bw::host {

bool KeyTrickle::Take(const SDL_Event& event) {
  if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP) return false;
  events_.push_back({event.type, event.key.windowID, event.key.keysym.scancode,
                     event.key.keysym.sym, event.key.keysym.mod, event.key.repeat});
  return true;
}

void KeyTrickle::GiveOut(const Change& change, const Give& give) {
  SDL_Event event{};
  event.key.type = change.type;
  event.key.windowID = change.windowId;
  event.key.state = change.type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.key.repeat = change.repeat;
  event.key.keysym.scancode = static_cast<SDL_Scancode>(change.scancode);
  event.key.keysym.sym = change.keycode;
  event.key.keysym.mod = change.modifiers;
  give(event);
}

void KeyTrickle::NextFrame(const Give& give) {
  std::bitset<SDL_NUM_SCANCODES> changed;
  while (!events_.empty()) {
    const Change change = events_.front();
    const auto scancode = static_cast<size_t>(change.scancode);
    if (scancode < changed.size()) {
      if (changed[scancode]) break;
      changed[scancode] = true;
    }
    events_.pop_front();
    GiveOut(change, give);
  }
}

void KeyTrickle::Settle(const Give& give) {
  while (!events_.empty()) {
    const Change change = events_.front();
    events_.pop_front();
    GiveOut(change, give);
  }
}

}  // namespace bw::host
