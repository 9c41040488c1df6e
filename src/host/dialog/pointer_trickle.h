// The pointer as the dialogs' frames see it, taken from the window's own pointer events rather
// than from where the pointer stands when a frame starts: a move and the press that follows it,
// or a press and its release, arriving between two frames reach the dialogs in frames of their
// own, so each item sees the pointer come over it before the button goes down on it.
#pragma once

#include <array>
#include <deque>

union SDL_Event;

namespace bw::host {

struct PointerState {
  bool inside = false;  // over the window; x and y mean nothing otherwise
  float x = 0;
  float y = 0;
  std::array<bool, 3> down{};  // left, right, middle
};

class PointerTrickle {
 public:
  // Starts again from state, forgetting every event not yet given out.
  void Reset(const PointerState& state);
  // Takes the window's motion, button and leave events; false for any other event.
  bool Take(const SDL_Event& event);
  // The state for the next frame: the events in order, up to a button change after a move or
  // after another button change, or a move after a button change.
  const PointerState& NextFrame();
  // Every event given out at once, for a stretch no frame is drawn in.
  const PointerState& Settle();
  // Whether events wait for a later frame.
  bool Pending() const { return !events_.empty(); }

 private:
  struct Change {
    enum class Kind { kMove, kLeave, kButton } kind = Kind::kMove;
    float x = 0;
    float y = 0;
    int button = 0;  // an index into PointerState::down
    bool down = false;
  };
  static void Apply(const Change& change, PointerState& state);

  std::deque<Change> events_;
  PointerState state_;
};

}  // namespace bw::host
