// The main window's movie: the slot the movie natives fill, and whether its picture covers the
// screen (the frame loops then draw nothing of their own). The window thread hands the movie its
// events while the frame thread plays it: a lock guards the slot.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/lock.h"
#include "sound/movie_object.h"

namespace bw {

class MovieSlot {
 public:
  MovieSlot() = default;
  MovieSlot(const MovieSlot&) = delete;
  MovieSlot& operator=(const MovieSlot&) = delete;

  // Taking a movie object hands it over.
  void Set(std::unique_ptr<MovieObject> movie);
  bool Has();
  // The slot emptied, and nothing covers the screen any more.
  void Close();
  // Each loop turn: the showing state follows the movie, which a clock that does not move by
  // itself steps here.
  void Track();
  // The work with the slot under its lock; an emptied slot clears the showing state.
  void Use(const std::function<void(std::unique_ptr<MovieObject>&)>& use);
  // The window thread's part: the display's change and the player's events.
  void OnDisplayChange();
  void HandleEvents();

  // Non-zero while the movie covers the screen.
  uint8_t ShowingState() const { return showing_; }
  void SetShowingState(uint8_t state) { showing_ = state; }
  bool Showing() const { return showing_ != 0; }

 private:
  Lock lock_;
  std::unique_ptr<MovieObject> movie_;  // guarded by lock_
  std::atomic<uint8_t> showing_{0};
};

}  // namespace bw
