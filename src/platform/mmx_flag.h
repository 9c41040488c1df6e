// The process-wide choice between the plain and the MMX kernel sets. The processor
// identification sets it once at start; every operation with a kernel pair reads it per call.
#pragma once

namespace bw {

bool MmxEnabled();
void SetMmxEnabled(bool on);

// Pins the kernel set for a scope (tests run each operation under both sets).
class ScopedMmxFlag {
 public:
  explicit ScopedMmxFlag(bool on) : previous_(MmxEnabled()) { SetMmxEnabled(on); }
  ~ScopedMmxFlag() { SetMmxEnabled(previous_); }
  ScopedMmxFlag(const ScopedMmxFlag&) = delete;
  ScopedMmxFlag& operator=(const ScopedMmxFlag&) = delete;

 private:
  bool previous_;
};

// Within the MMX set, whether the 256-bit forms run (only where the processor has them).
// The narrower forms give the same bytes; tests switch between them.
bool WideVectorsEnabled();
void SetWideVectorsEnabled(bool on);

class ScopedWideVectors {
 public:
  explicit ScopedWideVectors(bool on) : previous_(WideVectorsEnabled()) {
    SetWideVectorsEnabled(on);
  }
  ~ScopedWideVectors() { SetWideVectorsEnabled(previous_); }
  ScopedWideVectors(const ScopedWideVectors&) = delete;
  ScopedWideVectors& operator=(const ScopedWideVectors&) = delete;

 private:
  bool previous_;
};

}  // namespace bw
