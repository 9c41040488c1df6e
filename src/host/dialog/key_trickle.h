// The keys as the dialogs' frames see them. The dialogs read whether a key is down when a frame
// starts, so a tap whose press and release both arrive between two frames (any quick tap on a
// real keyboard, Escape or Enter on a box) would never be seen down. A key's next change waits
// for the frame after the one that saw its last; the events keep their order.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>

union SDL_Event;

namespace bw::host {

class KeyTrickle {
 public:
  using Give = std::function<void(const SDL_Event&)>;

  // Takes key presses and releases; false for any other event.
  bool Take(const SDL_Event& event);
  // Gives out the events for the next frame: in order, up to a second change of one key.
  void NextFrame(const Give& give);
  // Gives out every event at once, for a stretch no frame is drawn in.
  void Settle(const Give& give);
  // Whether events wait for a later frame.
  bool Pending() const { return !events_.empty(); }
  void Reset() { events_.clear(); }

 private:
  // What a key event holds, without the platform's headers here.
  struct Change {
    uint32_t type = 0;
    uint32_t windowId = 0;
    int32_t scancode = 0;
    int32_t keycode = 0;
    uint16_t modifiers = 0;
    uint8_t repeat = 0;
  };
  static void GiveOut(const Change& change, const Give& give);

  std::deque<Change> events_;
};

}  // namespace bw::host
