// A game folder holding a test movie, "OP.MPG", with the movie libraries published over it (the
// sprite form) and the virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/global.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "host/clock.h"
#include "sound/movie_control.h"
#include "sound/movie_sprite_control.h"
#include "support/game_folder.h"
#include "support/movie_samples.h"

namespace bw::test {

class MovieGame {
 public:
  MovieGame() {
    EXPECT_FALSE(movie.empty());
    Put("OP.MPG", movie);
    PublishMovieLibraries(&libraries);
  }
  ~MovieGame() { PublishMovieLibraries(nullptr); }
  void Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    game.dir().WriteFile(name, std::string(bytes.begin(), bytes.end()));
  }

  host::VirtualClock clock{1000};
  ScopedGlobal<host::ClockSource> clockScope{&clock};
  GameFolder game;
  ScopedPixelLibrary pixels{&BuiltInPixelLibrary()};
  MovieLibrarySet libraries = MakeMovieLibraries(true, true, &game.manager());
  const std::vector<uint8_t> movie = MakeMovie({});
};

// The colour of the sprite's picture drawn at (0, 0), away from the moving bar.
inline uint32_t SpriteColour(MovieSpriteControl& sprite) {
  ImageSurface target;
  EXPECT_EQ(target.Create(64, 48, 32, 0), 0);
  Rect drawn;
  EXPECT_EQ(sprite.DrawInto(&target, &drawn), kDrawDone);
  return target.GetPixel(32, 16) & 0xFFFFFF;
}

}  // namespace bw::test
