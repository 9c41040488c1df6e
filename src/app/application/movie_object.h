// The movie player as the window thread sees it. The player itself belongs to the sound and
// movie subsystem; until it exists the application's slot stays empty and every window-thread
// request for it does nothing.
#pragma once

namespace bw {

class MovieObject {
 public:
  virtual ~MovieObject() = default;
  // The player's own window-thread events (0x9006).
  virtual void HandleEvents() = 0;
  // The desktop's mode changed under a window-mode movie.
  virtual void OnDisplayChange() = 0;
};

}  // namespace bw
