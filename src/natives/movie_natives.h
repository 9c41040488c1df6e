// The movie natives: one movie at a time, as a render item, a sprite or over the window.
#pragma once

#include <cstdint>
#include <memory>

#include "script/script_host.h"

namespace bw {

class MoviePrimControl;
class MovieSpriteControl;

// 632 when a movie object cannot be made or placed (no application, no movie slot).
constexpr int32_t kMovieNotCreated = 8;

// The player's 100-ns units of a script's milliseconds: 64 bits wide, a negative time is 0.
int64_t MovieUnitsOfMs(int32_t ms);

// The render-item and sprite movies the natives opened; the window-level one is the
// application's. At most one of the three is open.
class MovieNativeState : public ScriptHostExtension {
 public:
  explicit MovieNativeState(ScriptHost& host);
  ~MovieNativeState() override;

  std::unique_ptr<MoviePrimControl> prim;
  std::unique_ptr<MovieSpriteControl> sprite;
};

}  // namespace bw
