// "bg_anime": plays an HVD frame table into a frame surface that the layer shows as its picture.
// The table's blocks (its ranges) each use a set of cells, picture files named by the HVD's
// entries (entry i names cell i) and read from the cell folder. Two banks hold the cells: one
// serves the current block while the file-slot pool's worker loads the next block's cells into
// the other; the switch to the next block waits for that load.
//
// HVD fields as played here: header u16 at 0 and 2 the frame width and height; a record's a is
// the cell (negative: a command by b: 0 or less the next block, 1 a loop mark, 2 back to the
// mark), b its time in ms, c its place (low half a signed x, high half a signed y).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "effects/bg_layer_effect.h"

namespace bw {

class FileSlotPool;
class HvdAnimation;

// Set-up results.
constexpr int kBgAnimeBadArguments = 1;  // no timer service, layer, animation or cell folder
constexpr int kBgAnimeNoSurface = 2;     // an animation is already set, or no frame surface
constexpr int kBgAnimeStartFailed = 3;
constexpr int kBgAnimeRefused = 4;
// Control results.
constexpr int kBgAnimeNoAnimation = 1;
constexpr int kBgAnimeUnknown = 2;
constexpr int kBgAnimeNotNow = 3;
constexpr int kBgAnimeFirstFrameFailed = 4;
// States.
constexpr int kBgAnimeStopped = 0;
constexpr int kBgAnimePlaying = 1;
constexpr int kBgAnimePaused = 2;

// Past this a frame counts as stalled when the stall-reset switch is on.
constexpr uint32_t kBgAnimeStallMs = 1000;

class BgAnimeEffect final : public LayerEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);
  // Word 0 non-zero: a stalled frame restarts the timing instead of catching up. Answers 0.
  [[nodiscard]] static int SetStallReset(ArgWords args);
  static bool StallReset();

  BgAnimeEffect();
  ~BgAnimeEffect() override;
  uint32_t GetKindId() const override { return kTaskKindBackgroundAnimation; }
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override;
  const char* GetKeyword() const override { return "bg_anime"; }
  bool IsBoundTo(const void* object) const override;
  void Unbind(const void* object) override;
  // Words: the HvdAnimation, the cell folder text, start block (negative: not prepared), start
  // frame, loop flag, play-at-once flag.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  // Word 0: 0 prepare block word 1 at frame word 2, 1 start, 2 pause, 3 resume, 4 stop, 5 end
  // the loop.
  [[nodiscard]] int Command(ArgWords args) override;
  using DisplayEffect::Command;
  // Word 0: 0 state, 1 loop mark set, 2 block, 3 frame, 4 next loop-mark frame, 5 next block
  // with a loop mark.
  [[nodiscard]] int Query(ArgWords args) override;
  using DisplayEffect::Query;

  const ImageSurface* Frame() const { return frame_.get(); }

 protected:
  void ShiftStartTimes(uint32_t spanMs) override;

 private:
  struct Bank {
    int32_t block = -1;
    std::vector<int32_t> cells;                           // the block's cells in slot order
    std::vector<std::unique_ptr<ImageSurface>> pictures;  // decoded, same order
    bool loading = false;
  };

  [[nodiscard]] int Prepare(int32_t block, int32_t frame);
  [[nodiscard]] int Start();
  void ShowOwnPicture();
  // Loads a block's cells into a bank on the worker.
  [[nodiscard]] bool BeginLoad(Bank& bank, int32_t block);
  // Waits for the bank's load and decodes its cells.
  void FinishLoad(Bank& bank);
  int32_t NextBlock(int32_t block) const;
  // Steps to the next entry that shows a cell, running commands on the way; false when the
  // table ended without a loop or a pass of the table went by.
  bool Step(size_t* budget);
  void DrawCell();
  const ImageSurface* CellPicture(int32_t cell) const;
  int32_t FrameDuration() const;

  HvdAnimation* anim_ = nullptr;
  std::unique_ptr<FileSlotPool> pool_;
  std::unique_ptr<ImageSurface> frame_;
  std::unique_ptr<SurfaceWatch> own_;  // the layer's own picture
  int32_t ownX_ = 0, ownY_ = 0;
  Bank banks_[2];
  int current_ = 0;  // the bank of the current block
  uint32_t slotsPerBank_ = 0;
  int32_t block_ = 0;
  int32_t index_ = 0;  // the current frame-table entry
  int32_t loopMark_ = -1;
  uint32_t frameStart_ = 0;
  int state_ = kBgAnimeStopped;
  bool prepared_ = false;
  bool loop_ = false;
  bool endLoop_ = false;
  bool restartTiming_ = true;
  bool showing_ = false;
};

}  // namespace bw
