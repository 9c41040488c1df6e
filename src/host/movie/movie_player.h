// The movie player under the movie wrappers: FFmpeg demuxes and decodes, reading only through the
// engine's source, so pack members and loose files go one way and FFmpeg opens no name itself.
// The picture is converted straight into the caller's two frame buffers; the sound is pulled as
// 16-bit stereo PCM from a second reader over the same source, so it seeks on its own.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace bw::host {

// Where the player reads from. The player holds it until it is reset; reads and seeks come under
// the player's own lock.
class MovieSource {
 public:
  virtual ~MovieSource() = default;
  // Bytes read into buffer, 0 at the end.
  [[nodiscard]] virtual uint32_t Read(uint8_t* buffer, uint32_t size) = 0;
  // False when position lies outside the source.
  [[nodiscard]] virtual bool Seek(uint64_t position) = 0;
  virtual uint64_t Size() = 0;
};

// Layouts of frame memory, as little-endian words.
enum class MovieFrameFormat { kRgb555, kRgb565, kRgb888, kXrgb8888 };

struct MovieFrameMemory {
  uint8_t* pixels = nullptr;
  int32_t pitch = 0;
  int32_t width = 0;
  int32_t height = 0;
  MovieFrameFormat format = MovieFrameFormat::kXrgb8888;
  // Changes whenever the memory may have lost what was written into it (made again, restored),
  // also where its address stays the same.
  uint64_t generation = 0;
};

// A frame buffer the decoder writes into: its memory is valid from LockFrame to UnlockFrame.
class MovieFrameBuffer {
 public:
  virtual ~MovieFrameBuffer() = default;
  // False when the buffer has no memory now (lost, not made); then no unlock follows.
  [[nodiscard]] virtual bool LockFrame(MovieFrameMemory* memory) = 0;
  virtual void UnlockFrame() = 0;
  // True when only the player writes the pixels and they outlive the locks (while the memory and
  // its generation stay the same): parts of a picture that did not change since the frame last
  // converted into this buffer are then left as they are.
  virtual bool KeepsPixels() const { return false; }
};

// Results.
constexpr int32_t kMovieOk = 0;
constexpr int32_t kMovieNotOpen = -1;
constexpr int32_t kMovieRefused = 6;  // not a movie, neither stream, or a picture too large
constexpr int32_t kMovieSeekFailed = 7;

// States.
constexpr int32_t kMovieStopped = 0;
constexpr int32_t kMoviePlaying = 1;
constexpr int32_t kMoviePaused = 2;

// Events.
constexpr int32_t kMovieEventComplete = 1;
constexpr int32_t kMovieEventError = 2;

constexpr int32_t kMovieMaxSide = 4096;
// Units of times: 100 ns.
constexpr int64_t kMovieUnitsPerSecond = 10000000;
// The PCM the player delivers: 16-bit stereo.
constexpr int kMovieSoundChannels = 2;
constexpr int kMovieSoundBytesPerFrame = 4;

class MoviePlayer {
 public:
  MoviePlayer();
  ~MoviePlayer();
  MoviePlayer(const MoviePlayer&) = delete;
  MoviePlayer& operator=(const MoviePlayer&) = delete;

  // Opens the movie in source (the player keeps it); mediaType is the caller's hint and the
  // container is probed. soundRate is the rate of the PCM delivered. 0 or kMovieRefused, which
  // leaves nothing open.
  [[nodiscard]] int32_t Open(std::unique_ptr<MovieSource> source, int32_t mediaType,
                             uint32_t soundRate);
  // Releases everything, the source too.
  void Reset();
  bool IsOpen() const;
  int32_t MediaType() const { return mediaType_; }

  [[nodiscard]] int32_t Play();
  [[nodiscard]] int32_t Pause();
  [[nodiscard]] int32_t Resume();
  [[nodiscard]] int32_t Stop();
  [[nodiscard]] int32_t GetLength(int64_t* units);
  // A time below 0 seeks to 0.
  [[nodiscard]] int32_t Seek(int64_t units);
  [[nodiscard]] int32_t GetPosition(int64_t* units);
  [[nodiscard]] int32_t GetState(int32_t* state);
  // Sprite and primitive forms loop inside the player.
  void SetLoop(bool loop);
  // Whether the end stops the player (state 0) or only tells it by the event, leaving the owner
  // to stop or loop (the window form).
  void SetStopAtEnd(bool stop);
  [[nodiscard]] int32_t SetRate(double rate);
  double Rate() const;
  int32_t VideoWidth() const;
  int32_t VideoHeight() const;
  bool HasPicture() const;
  bool HasSound() const;

  // The two buffers frames are converted into (null detaches them). The caller keeps them alive
  // until they are detached or the player is reset.
  void SetFrameBuffers(MovieFrameBuffer* first, MovieFrameBuffer* second);
  // Brings the picture up to the movie clock and answers the buffer that holds the frame to
  // show (0 or 1); that buffer is not written until DoneWithFrame.
  [[nodiscard]] int32_t PrepareFrame();
  [[nodiscard]] int32_t DoneWithFrame();
  // Times shown frames, for tests: the presentation time of the frame in the shown buffer, -1
  // before the first.
  int64_t ShownFrameTime() const;

  // The next event; false when none is queued.
  [[nodiscard]] bool NextEvent(int32_t* code);
  bool HasEvents();

  // The sound, pulled at the device's pace. Bytes written (a multiple of 4), 0 at the end.
  [[nodiscard]] uint32_t ReadSound(uint8_t* buffer, uint32_t size);
  [[nodiscard]] int32_t SeekSoundMs(uint32_t ms);
  uint32_t SoundPositionMs() const;
  bool SoundAtEnd() const;
  uint32_t SoundRate() const;
  uint32_t LengthMs();

  struct Impl;

 private:
  mutable std::mutex lock_;  // guards everything below and the source
  std::unique_ptr<Impl> impl_;
  int32_t mediaType_ = 0;
};

}  // namespace bw::host
