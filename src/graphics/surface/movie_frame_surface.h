// A system-memory DirectDraw surface whose address and pitch are handed to a movie decoder that
// writes frames into it directly, possibly from another thread. Re-creation happens under the
// surface's own lock; a writer reads the address and pitch under the same lock.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/surface/keyless_directdraw_surface.h"
#include "host/surface/memory_surface.h"
#include "platform/lock.h"

namespace bw {

class DirectDrawDevice;

// Results of Create.
constexpr int kFrameNoDevice = 1;  // also a size below 1
constexpr int kFrameNoDirectDraw = 2;
constexpr int kFrameCreateFailed = 3;
constexpr int kFrameLockFailed = 4;
// Result of Restore.
constexpr int kFrameRestoreFailed = 1;

class MovieFrameSurface : public KeylessDirectDrawSurface {
 public:
  // A device given here becomes the process-wide one; null uses it as it is.
  explicit MovieFrameSurface(DirectDrawDevice* device = nullptr);
  ~MovieFrameSurface() override;
  MovieFrameSurface(const MovieFrameSurface&) = delete;
  MovieFrameSurface& operator=(const MovieFrameSurface&) = delete;

  int GetKind() const override { return kKindMovieFrameSurface; }
  [[nodiscard]] int Restore(int check) override;

  [[nodiscard]] int Create(int32_t width, int32_t height);
  void Release();

  host::MemorySurface* GetDirectDrawSurface() const { return surface_.get(); }
  // Valid only while the lock is held, or on the thread that creates and restores.
  uint8_t* GetMemory() const { return memory_; }
  int GetFormatCode() const { return formatCode_; }
  // Counts the memories the surface has had: each Create gives a new, blank one.
  uint64_t GetGeneration() const { return generation_; }
  Lock& GetLock() { return lock_; }

 private:
  DirectDrawDevice* device_;
  std::unique_ptr<host::MemorySurface> surface_;
  uint8_t* memory_ = nullptr;
  int formatCode_ = 0;
  uint64_t generation_ = 0;
  Lock lock_;
};

}  // namespace bw
