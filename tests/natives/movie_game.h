// A game folder holding a test movie, "OP.MPG", with the movie libraries published over it (the
// sprite form) and the virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/global.h"
#include "graphics/surface/pixel_library.h"
#include "host/clock.h"
#include "sound/movie_control.h"
#include "support/game_folder.h"
#include "support/movie_samples.h"

namespace bw::test {

class MovieGame {
 public:
  MovieGame() {
    std::vector<uint8_t> movie = MakeMovie({});
    EXPECT_FALSE(movie.empty());
    game.dir().WriteFile("OP.MPG", std::string(movie.begin(), movie.end()));
    PublishMovieLibraries(&libraries);
  }
  ~MovieGame() { PublishMovieLibraries(nullptr); }

  host::VirtualClock clock{1000};
  ScopedGlobal<host::ClockSource> clockScope{&clock};
  GameFolder game;
  ScopedPixelLibrary pixels{&BuiltInPixelLibrary()};
  MovieLibrarySet libraries = MakeMovieLibraries(true, true, &game.manager());
};

}  // namespace bw::test
