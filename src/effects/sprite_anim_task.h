// Plays one sequence of an HVA animation on a sprite of the task's own: each frame record names
// a picture of the data, how long it shows and where. Loops, holds the last frame, or goes on
// with the following sequences.
#pragma once

#include <cstddef>
#include <cstdint>

#include "effects/anim_task.h"
#include "graphics/surface/sprite.h"

namespace bw {

class CompositionLayer;
class HvaData;
class TimerService;

// Results of SpriteAnimTask::Start.
constexpr int kSpriteAnimStarted = 0;
constexpr int kSpriteAnimBadArgument = 1;
constexpr int kSpriteAnimNoSequence = 2;
constexpr int kSpriteAnimEmptySequence = 3;
constexpr int kSpriteAnimRefused = 4;

// Update's answer when a chain runs out of sequences.
constexpr int32_t kSpriteAnimChainEnded = 2;

// The x and y offsets of a frame record: the signed halves of its third word.
int16_t HvaFrameX(uint32_t word);
int16_t HvaFrameY(uint32_t word);

class SpriteAnimTask final : public AnimTask {
 public:
  static constexpr uint8_t kNotStarted = 0;
  static constexpr uint8_t kRunning = 1;
  static constexpr uint8_t kHolding = 2;

  SpriteAnimTask();
  // Lets go of the data when the task was given it.
  ~SpriteAnimTask() override;

  uint32_t GetKindId() const override { return kTaskKindSpriteAnimation; }
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  // Lets go of the data and takes the sprite off the container.
  void Stop() override;
  // The last level also moves the time of the last frame change on by the paused span.
  uint32_t Resume(uint32_t nowMs) override;
  bool IsBoundTo(const void* object) const override {
    return object && (object == container_ || object == data_);
  }
  void Unbind(const void* object) override {
    if (object == container_) container_ = nullptr;
  }

  // loopCount: negative loops for ever, 0 plays once and holds the last frame, n plays n times
  // and ends. The offsets set before are added to every frame's. On success the service owns
  // the task; with releaseData the task also holds one reference to data.
  [[nodiscard]] int Start(TimerService* timers, CompositionLayer* container, HvaData* data,
                          uint32_t sequence, int32_t loopCount, uint32_t priority, bool catchUp,
                          bool finishWhenEnded, bool releaseData, uint32_t delayMs);
  void SetOffset(int32_t x, int32_t y) { xOffset_ = x, yOffset_ = y; }
  // Goes on with the next sequence when this one ends, once.
  void SetChain(bool chain) { chain_ = chain; }
  void SetLoopCount(int32_t loopCount) { loopCount_ = loopCount; }

  Sprite& GetSprite() { return sprite_; }
  uint8_t State() const { return state_; }
  size_t CurrentFrame() const { return current_; }
  uint32_t Sequence() const { return sequence_; }
  int32_t LoopCount() const { return loopCount_; }

 private:
  // What a step onto the next record did.
  enum class Step { kMoved, kHold, kFinished, kChainEnded };

  Step Advance();
  void ShowFrame();
  void ReleaseData();
  // The frames of the current sequence, without the record that ends it.
  size_t SequenceLength() const;

  HvaData* data_ = nullptr;
  size_t first_ = 0;
  size_t current_ = 0;
  int32_t loopCount_ = 0;
  Sprite sprite_;
  uint32_t lastChange_ = 0;
  uint8_t state_ = kNotStarted;
  bool catchUp_ = false;
  bool finishWhenEnded_ = false;
  bool releaseData_ = false;
  int32_t xOffset_ = 0;
  int32_t yOffset_ = 0;
  uint32_t delay_ = 0;
  CompositionLayer* container_ = nullptr;
  uint32_t sequence_ = 0;
  bool chain_ = false;
};

}  // namespace bw
