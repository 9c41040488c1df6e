#include "app/application/movie_slot.h"

#include "host/clock.h"

namespace bw {

void MovieSlot::Set(std::unique_ptr<MovieObject> movie) {
  ScopedLock hold(lock_);
  movie_ = std::move(movie);
}

bool MovieSlot::Has() {
  ScopedLock hold(lock_);
  return movie_ != nullptr;
}

void MovieSlot::Close() {
  ScopedLock hold(lock_);
  movie_.reset();
  showing_ = 0;
}

void MovieSlot::Track() {
  ScopedLock hold(lock_);
  if (!movie_) return;
  if (!host::CurrentClock().MovesOnItsOwn()) movie_->Present();
  showing_ = movie_->IsShowing() ? 1 : 0;
}

void MovieSlot::Use(const std::function<void(std::unique_ptr<MovieObject>&)>& use) {
  ScopedLock hold(lock_);
  use(movie_);
  if (!movie_) showing_ = 0;
}

void MovieSlot::OnDisplayChange() {
  ScopedLock hold(lock_);
  if (movie_) movie_->OnDisplayChange();
}

void MovieSlot::HandleEvents() {
  ScopedLock hold(lock_);
  if (movie_) movie_->HandleEvents();
}

}  // namespace bw
