// The cursor's shapes as SDL cursors, made on first use; shapes SDL lacks (help, up arrow) are
// drawn here. Event thread only.
#pragma once

#include <array>

#include "host/backend.h"
#include "host/input/cursor.h"

struct SDL_Cursor;

namespace bw::host {

class SdlCursors {
 public:
  SdlCursors() = default;
  ~SdlCursors();
  SdlCursors(const SdlCursors&) = delete;
  SdlCursors& operator=(const SdlCursors&) = delete;

  void Apply(const CursorState& state);

 private:
  std::array<SDL_Cursor*, kCursorTableSize> cursors_{};
};

}  // namespace bw::host
