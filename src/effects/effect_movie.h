// The movies the effects play ("sp_movie" shows one as a display object of a layer, "bg_movie"
// as a layer's picture), through this interface: the application installs a source over the
// movie wrappers when the movie libraries are there; tests install a scripted one.
#pragma once

#include <cstdint>
#include <memory>

namespace bw {

class DisplayObject;
class ImageSurface;

// Open results (the wrappers' codes).
constexpr int kEffectMovieOpened = 0;
constexpr int kEffectMovieNoLibrary = 1;
constexpr int kEffectMovieBadArgument = 2;
constexpr int kEffectMovieBadExtension = 3;
constexpr int kEffectMovieNotFound = 4;
constexpr int kEffectMovieRefused = 6;

// States; an error answers below 0.
constexpr int kEffectMovieStopped = 0;
constexpr int kEffectMoviePlaying = 1;
constexpr int kEffectMoviePaused = 2;
constexpr int kEffectMovieError = -1;

class EffectMovie {
 public:
  virtual ~EffectMovie() = default;

  // By name through the file system, which hands a pack member over as data; the display
  // object (when the movie has one) stands at (x, y).
  [[nodiscard]] virtual int Open(const char* name, int32_t x, int32_t y) = 0;
  [[nodiscard]] virtual int Play() = 0;
  [[nodiscard]] virtual int Pause() = 0;
  [[nodiscard]] virtual int Resume() = 0;
  [[nodiscard]] virtual int Stop() = 0;
  [[nodiscard]] virtual int Seek(uint32_t ms) = 0;
  // 0..256.
  [[nodiscard]] virtual int SetVolume(int32_t volume) = 0;
  virtual void SetLoop(bool loop) = 0;
  virtual int State() = 0;
  // True once a movie that plays without a loop has run to its end.
  virtual bool AtEnd() = 0;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // Copies a frame not yet taken into a 32-bit surface of the movie's size; false when there is
  // none.
  [[nodiscard]] virtual bool TakeFrame(ImageSurface* into) = 0;
  // The display object that shows the movie.
  virtual DisplayObject* Display() = 0;
  // Closes the movie.
  virtual void Reset() = 0;
};

class EffectMovieSource {
 public:
  virtual ~EffectMovieSource() = default;
  virtual std::unique_ptr<EffectMovie> MakeMovie() = 0;
};

}  // namespace bw
