// "sp_parts": builds a standing picture from the parts a definition file lists and animates
// them: key-frame paths played by pieces, scrolling loops, or parts that stand still. The parts
// show in a layer's list and, when asked, in its second list at once.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "effects/sp_loop_effect.h"
#include "effects/sp_panime_effect.h"
#include "effects/sp_parts_reader.h"

namespace bw {

// Setup results.
constexpr int kSpPartsSetUp = 0;
constexpr int kSpPartsBadArguments = 1;
constexpr int kSpPartsNoSecondList = 2;
constexpr int kSpPartsFileFailed = 3;  // LastReadError() tells why
constexpr int kSpPartsPieceRefused = 4;
constexpr int kSpPartsRefused = 5;
// AttachPiece results.
constexpr int kPieceAttached = 0;
constexpr int kPieceBadSprite = 1;
constexpr int kPieceStepsRefused = 2;

// Play states of a part.
constexpr uint8_t kPartDone = 0;
constexpr uint8_t kPartPlaying = 1;
constexpr uint8_t kPartStatic = 2;
constexpr uint8_t kPartLooping = 3;

// A part's key-frame path on its sprite, updated by the parts effect.
class SpPartsPiece final : public SpPanimeEffect {
 public:
  const char* GetKeyword() const override { return "sp_parts"; }
  [[nodiscard]] int AttachPiece(Sprite* sprite, uint32_t timeUnit, uint8_t mode,
                                const std::vector<PartsStep>& steps, int32_t keyFrames, bool show);
};

class PartsStage;

class SpPartsEffect final : public DisplayEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);

  SpPartsEffect();
  ~SpPartsEffect() override;

  uint32_t GetKindId() const override { return kTaskKindSpriteEffect; }
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  // Deletes every part: the picture goes.
  void Stop() override;
  const char* GetKeyword() const override { return "sp_parts"; }
  uint8_t GetType() const override { return kEffectTypeSprite; }
  // Target: the composition layer. Words: definition file, x and y offset, base priority,
  // read-hidden-blocks flag, image scale (a double in two words, low first; 0 = 1.0), notify,
  // intermediate layers, second list, visibility of the first and the second list. The parts
  // take the priorities from the base down, one each, and their "f" and "b" steps the band
  // from the base to the base less the part count. With intermediate layers the parts of each
  // list compose in a layer of their own, which the list draws at the base priority.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  using DisplayEffect::Command;
  // 0 stops every path and loop (the parts stand), 1 sets the two lists' visibility, 2 shows
  // (word 2) or hides part word 1.
  [[nodiscard]] int Command(ArgWords args) override;

  int LastReadError() const { return readError_; }
  size_t PartCount() const { return parts_.size(); }
  uint8_t PlayState(size_t i) const { return parts_[i]->state; }
  const Sprite* PartSprite(size_t i, bool second = false) const {
    return second ? parts_[i]->second.get() : parts_[i]->first.get();
  }
  const SpLoopEffect* PartLoop(size_t i) const { return parts_[i]->loops[0].get(); }

 private:
  struct Part {
    std::unique_ptr<ImageSurface> image;
    std::unique_ptr<Sprite> first;
    std::unique_ptr<Sprite> second;
    std::unique_ptr<SpLoopEffect> loops[2];
    std::unique_ptr<SpPartsPiece> piece;
    uint8_t state = kPartDone;
    bool visible = true;
  };

  [[nodiscard]] int Load(const char* name, int32_t offsetX, int32_t offsetY, uint32_t basePriority,
                         bool readHidden, double scale);
  [[nodiscard]] int MakePart(PartsPart& definition, const std::string& folder, uint32_t priority,
                             int32_t offsetX, int32_t offsetY, double scale);
  // An intermediate layer over a list: the parts compose in its list, and a stage in the list
  // it stands for draws them there.
  struct Stage {
    std::unique_ptr<CompositionLayer> layer;
    std::unique_ptr<PartsStage> stage;
  };

  void ShowPart(Part& part);
  [[nodiscard]] bool MakeStages(uint32_t priority);
  // Hands what the parts changed in an intermediate layer on to the list it stands for.
  void HandOnChanges(Stage& stage);

  std::deque<std::unique_ptr<Part>> parts_;
  Stage stages_[2];
  DisplayObjectList* lists_[2] = {nullptr, nullptr};
  bool listVisible_[2] = {true, true};
  int readError_ = 0;
};

}  // namespace bw
