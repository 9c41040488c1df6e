// What the three movie wrappers share: the movie library records, finding and opening the movie
// file, the control over the host's movie player (picture, clock, events) and the movie's sound,
// played through a streaming sound buffer as music is.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "host/movie/movie_player.h"
#include "platform/stream.h"
#include "sound/sound_decoder.h"
#include "sound/streaming_sound_buffer.h"

namespace bw {

class FileSystemManager;

// Results of the wrappers' Open.
constexpr int32_t kMovieOpened = 0;
constexpr int32_t kMovieNoLibrary = 1;
constexpr int32_t kMovieBadArgument = 2;  // no file, no file system, no pixel library
constexpr int32_t kMovieBadExtension = 3;
constexpr int32_t kMovieNotFound = 4;
constexpr int32_t kMovieNoFrames = 5;  // the primitive form's frame surfaces
constexpr int32_t kMovieLibraryRefused = 6;
// What every operation answers without a movie.
constexpr int32_t kMovieNone = -1;

// Media types passed to the player, from a packed movie's extension.
constexpr int32_t kMediaMpeg = 0;
constexpr int32_t kMediaMpegVideo = 1;
constexpr int32_t kMediaVideoCd = 2;
constexpr int32_t kMediaAvi = 3;
constexpr int32_t kMediaQuickTime = 4;
constexpr int32_t kMediaAsf = 6;

// The movie libraries: one record per built-in player.
enum class MovieLibraryKind { kSprite, kPrimitive, kWindow };
constexpr uint32_t kSpriteMovieVersion = 0x10000;
constexpr uint32_t kPrimitiveMovieVersion = 0x20000;
constexpr uint32_t kWindowMovieVersion = 0x10000;

struct MovieHelperLibrary {
  MovieLibraryKind kind = MovieLibraryKind::kSprite;
  // The wrappers' default file system.
  FileSystemManager* fileSystem = nullptr;
  uint32_t GetDllVersion() const;
};

// The records the application keeps: the window player always, the sprite player when the
// movie-in-sprite option is on, else the primitive one. None when the libraries are not loaded.
struct MovieLibrarySet {
  std::unique_ptr<MovieHelperLibrary> sprite;
  std::unique_ptr<MovieHelperLibrary> primitive;
  std::unique_ptr<MovieHelperLibrary> window;
};
MovieLibrarySet MakeMovieLibraries(bool load, bool movieInSprite, FileSystemManager* fileSystem);
// The published record of a kind; null when absent.
MovieHelperLibrary* GetMovieLibrary(MovieLibraryKind kind);
void PublishMovieLibraries(const MovieLibrarySet* set);

// The media type of a packed movie's name; false for an extension the players do not take.
bool MovieMediaType(std::string_view name, int32_t* type);

// The engine's stream as the player reads it; the source takes over the caller's reference.
std::unique_ptr<host::MovieSource> MakeMovieSource(Stream* stream);

// The hundredths of a decibel of a wrapper volume 0..256 (clamped; below 1 silent).
int32_t MovieVolumeOf(int32_t volume);
// The player's setting scaling every movie's volume (value x setting / 256).
void SetMovieVolumeSetting(uint32_t setting);
uint32_t MovieVolumeSetting();

// The library control: the player and its sound.
class MovieControl {
 public:
  MovieControl();
  ~MovieControl();
  MovieControl(const MovieControl&) = delete;
  MovieControl& operator=(const MovieControl&) = delete;

  // Finds file through fileSystem and opens it: kMovieOpened or the wrappers' codes (4, 3, 6).
  [[nodiscard]] int32_t Open(const char* file, FileSystemManager* fileSystem);

  [[nodiscard]] int32_t Play();
  [[nodiscard]] int32_t Pause();
  [[nodiscard]] int32_t Resume();
  [[nodiscard]] int32_t Stop();
  [[nodiscard]] int32_t GetLength(int64_t* units);
  [[nodiscard]] int32_t Seek(int64_t units);
  [[nodiscard]] int32_t GetPosition(int64_t* units);
  [[nodiscard]] int32_t GetState(int32_t* state);
  // Hundredths of a decibel, before the settings' movie volume.
  [[nodiscard]] int32_t SetVolume(int32_t hundredths);
  [[nodiscard]] int32_t SetBalance(double balance);
  [[nodiscard]] int32_t SetRate(double rate);
  int32_t VideoWidth() const { return player_.VideoWidth(); }
  int32_t VideoHeight() const { return player_.VideoHeight(); }
  void SetLoop(bool loop) { player_.SetLoop(loop); }
  // Whether the player stops by itself at the end (the sprite and primitive forms loop there).
  host::MoviePlayer& Player() { return player_; }
  // The buffer the sound plays in; null for a movie without sound or without a sound device.
  StreamingSoundBuffer* Sound() { return sound_.get(); }
  int32_t MediaType() const { return player_.MediaType(); }

 private:
  // Starts the sound at the movie clock's position.
  void StartSound();
  void StopSound();

  host::MoviePlayer player_;
  DecoderRef soundStream_;
  std::unique_ptr<StreamingSoundBuffer> sound_;
  bool soundRunning_ = false;  // started and not stopped since
};

// The operations the three wrappers share, each answering kMovieNone without a movie.
class MovieWrapper {
 public:
  virtual ~MovieWrapper();

  [[nodiscard]] virtual int32_t Play();
  [[nodiscard]] int32_t Pause();
  [[nodiscard]] virtual int32_t Resume();
  [[nodiscard]] virtual int32_t Stop();
  [[nodiscard]] int32_t GetLength(int64_t* units);
  [[nodiscard]] int32_t Seek(int64_t units);
  [[nodiscard]] int32_t GetPosition(int64_t* units);
  [[nodiscard]] int32_t GetState(int32_t* state);
  // 0..256, stored clamped; the sound gets the movie volume formula.
  [[nodiscard]] int32_t SetVolume(int32_t volume);
  [[nodiscard]] int32_t SetBalance(double balance);
  [[nodiscard]] int32_t SetRate(double rate);
  void SetLoop(bool loop);
  bool Loop() const { return loop_; }
  int32_t GetVolume() const { return volume_; }
  MovieControl* Control() const { return control_.get(); }

 protected:
  // loopInPlayer: the player wraps by itself (sprite and primitive forms).
  explicit MovieWrapper(bool loopInPlayer) : loopInPlayer_(loopInPlayer) {}
  // A fresh control with file open: kMovieOpened or the open's code, which leaves none.
  [[nodiscard]] int32_t OpenControl(const char* file, FileSystemManager* fileSystem);
  // The control goes; volume 256, no loop.
  void ResetControl();

  std::unique_ptr<MovieControl> control_;

 private:
  bool loopInPlayer_;
  bool loop_ = false;
  int32_t volume_ = 256;
};

}  // namespace bw
