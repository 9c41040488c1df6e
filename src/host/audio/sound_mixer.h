// The state shared by a sound device, its buffers and the audio output, and the mixing of the
// playing buffers into 16-bit stereo. One lock guards all of it; notifications are collected
// under the lock and delivered after it is released.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "host/audio/sound_types.h"

namespace bw::host {

// One buffer's playing state. Duplicates share `samples` and nothing else.
struct Voice {
  bool primary = false;
  uint32_t flags = 0;
  WaveFormat format;
  std::shared_ptr<std::vector<uint8_t>> samples;
  uint32_t frames = 0;  // samples->size() / blockAlign
  // Play position in frames, 32.32 fixed point: the fraction carries the resampling phase.
  uint64_t position = 0;
  bool playing = false;
  bool looping = false;
  bool lost = false;
  int32_t volume = kVolumeMax;
  int32_t pan = 0;
  uint32_t frequency = kFrequencyOriginal;
  float gainLeft = 1.0f;
  float gainRight = 1.0f;
  std::vector<NotifyPosition> notifications;

  uint32_t Bytes() const { return frames * format.blockAlign; }
  uint32_t PlayRate() const { return frequency ? frequency : format.samplesPerSec; }
  uint32_t PlayCursor() const { return static_cast<uint32_t>(position >> 32) * format.blockAlign; }
  uint32_t WriteCursor() const;
  // Recomputes the channel gains from the volume and the pan.
  void UpdateGains();
  // Stops playback and adds the on-stop targets.
  void StopAndCollect(std::vector<NotifyTarget*>& fired);
};

// How far ahead of the play cursor a playing buffer's write cursor runs.
constexpr uint32_t kWriteLeadMs = 10;

// Gain of a level in hundredths of a decibel; 0 at or below kVolumeMin.
float GainOfLevel(int32_t hundredthsDb);

class SoundMixer {
 public:
  // Mixes every playing voice into `frames` interleaved stereo frames at `outputRate`, advances
  // the voices and delivers the notifications they passed.
  void Mix(int16_t* out, size_t frames, uint32_t outputRate);

  // Delivers targets collected under `lock` with the lock released, then takes it again; with
  // awaitServed set it also waits for each target to be served before taking the lock.
  void Deliver(std::unique_lock<std::mutex>& lock, std::vector<NotifyTarget*>& targets,
               bool awaitServed = false);
  // Waits (under `lock`) until no other thread is delivering, so that targets about to be
  // dropped are no longer in use once this returns.
  void WaitForDeliveries(std::unique_lock<std::mutex>& lock);

  std::mutex mutex;  // guards everything below and every registered Voice
  std::vector<Voice*> voices;
  WaveFormat primaryFormat = MakePcmFormat(2, 22050, 8);
  int cooperativeLevel = 0;
  bool priorityRefused = false;
  // The output pulls the mix in step with the frames rather than in real time: a mix waits for
  // the notifications it delivered to be served, so a refill thread cannot fall behind it.
  bool mixesInStep = false;

 private:
  void MixVoice(Voice& voice, float* accum, size_t frames, uint32_t outputRate,
                std::vector<NotifyTarget*>& fired);

  std::condition_variable deliveryDone_;
  std::vector<std::thread::id> deliverers_;  // threads delivering right now, under mutex
  std::vector<float> accum_;                 // mixing scratch, under mutex
};

}  // namespace bw::host
