#include "host/dialog/pointer_trickle.h"

#include <SDL.h>

namespace bw::host {

namespace {

// The state's button index for an SDL button; -1 for the others.
int ButtonIndex(uint8_t button) {
  switch (button) {
    case SDL_BUTTON_LEFT:
      return 0;
    case SDL_BUTTON_RIGHT:
      return 1;
    case SDL_BUTTON_MIDDLE:
      return 2;
    default:
      return -1;
  }
}

}  // namespace

void PointerTrickle::Apply(const Change& change, PointerState& state) {
  state.inside = change.kind != Change::Kind::kLeave;
  if (!state.inside) return;
  state.x = change.x;
  state.y = change.y;
  if (change.kind == Change::Kind::kButton)
    state.down[static_cast<size_t>(change.button)] = change.down;
}

void PointerTrickle::Reset(const PointerState& state) {
  events_.clear();
  state_ = state;
}

bool PointerTrickle::Take(const SDL_Event& event) {
  Change change;
  switch (event.type) {
    case SDL_MOUSEMOTION:
      change.x = static_cast<float>(event.motion.x);
      change.y = static_cast<float>(event.motion.y);
      // Only the last of several moves in a row matters.
      if (!events_.empty() && events_.back().kind == Change::Kind::kMove) events_.pop_back();
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      change.kind = Change::Kind::kButton;
      change.x = static_cast<float>(event.button.x);
      change.y = static_cast<float>(event.button.y);
      change.button = ButtonIndex(event.button.button);
      change.down = event.type == SDL_MOUSEBUTTONDOWN;
      // Other buttons are no pointer's business here.
      if (change.button < 0) return true;
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event != SDL_WINDOWEVENT_LEAVE) return false;
      change.kind = Change::Kind::kLeave;
      break;
    default:
      return false;
  }
  events_.push_back(change);
  return true;
}

const PointerState& PointerTrickle::NextFrame() {
  bool moved = false;
  bool pressed = false;
  while (!events_.empty()) {
    const Change& change = events_.front();
    PointerState after = state_;
    Apply(change, after);
    const bool moves = after.inside != state_.inside || after.x != state_.x || after.y != state_.y;
    if (change.kind != Change::Kind::kButton) {
      if (pressed) break;
      moved = moved || moves;
    } else if (pressed || moved) {
      break;
    } else if (moves) {
      // A button that changes elsewhere than the pointer was seen moves it there first.
      state_.inside = true;
      state_.x = change.x;
      state_.y = change.y;
      break;
    } else {
      pressed = true;
    }
    state_ = after;
    events_.pop_front();
  }
  return state_;
}

const PointerState& PointerTrickle::Settle() {
  for (const Change& change : events_) Apply(change, state_);
  events_.clear();
  return state_;
}

}  // namespace bw::host
