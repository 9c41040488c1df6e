// The scenario player's scene: a shown page (0) and a back page (1), each a background record and
// eleven standing-picture records over the page's layer, the commands that build a scene on
// either page, and the effects and transitions that bring it on screen (tgs_effect_commands.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "effects/effect_args.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "scenario/tgs/tgs_effect_commands.h"
#include "scenario/tgs/tgs_operations.h"
#include "scenario/tgs/tgs_scene_host.h"

namespace bw {

class CompositionLayer;
class DisplayEffect;
class FilterEffect;
class HvdAnimation;
class SurfaceLayer;

constexpr int kTgsScreenWidth = 800;
constexpr int kTgsScreenHeight = 600;
// A name field holds at most this many bytes before its terminator.
constexpr size_t kTgsNameMax = 31;

// Scene command results.
constexpr int32_t kSceneBadSlot = 1;
constexpr int32_t kSceneNoPicture = 2;  // sprites; the background answers kSceneLoadFailed
constexpr int32_t kSceneLoadFailed = 1;
constexpr int32_t kSceneToneConflict = 2;
constexpr int32_t kSceneSpriteLoadFailed = 2;
constexpr int32_t kSceneEmptySlot = -1;  // clearing a slot that holds nothing
constexpr int32_t kSceneAnimeFailed = 4;
constexpr int32_t kSceneBadOperation = 1;
constexpr int32_t kSceneNoAnime = 2;

// Sprite groups: 1 back, 0 characters, 2 front.
struct TgsSpriteGroup {
  uint32_t base;
  int32_t count;
  int32_t first;  // index of its slot 0 among a page's eleven records

  static constexpr uint32_t kStep = 100;  // between the priorities of neighbouring slots
  uint32_t Top() const { return base + kStep * uint32_t(count - 1); }
};
TgsSpriteGroup SpriteGroup(int32_t group);
constexpr int kTgsSpriteSlots = 11;

struct TgsBackgroundRecord {
  std::string name;  // "" = colour only
  std::string animName;
  uint32_t timeOfDay = 0;
  uint32_t color = 0;
  uint8_t captured = 0;
  uint8_t tone = 0;
  uint8_t libFilterB = 0;
  uint8_t libFilterA = 0;
  uint8_t bars = 0;
  uint8_t libOp = 0;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  std::array<int32_t, 4> view{-1, 0, 0, 0};
  float zoom = 0;
  int32_t angle = 0;
  uint32_t animState = 0;
  int32_t animFrame = -1;
  uint32_t animArg = 0;
  std::shared_ptr<ImageSurface> picture;  // both pages may share one
  ImageSurface capture;                   // owned: never shared with the twin
  DisplayEffect* effect = nullptr;
  DisplayEffect* quakeEffect = nullptr;
  DisplayEffect* animEffect = nullptr;
  std::shared_ptr<HvdAnimation> animData;  // what animEffect plays

  // The scene fields (everything but the picture, the capture and the handles).
  void CopySceneFields(const TgsBackgroundRecord& from);
  // Time of day, capture, tone, filters, bars, level, offsets, view and zoom back to none.
  void ClearLook();
  // No tone, filter, bars, level, offset, view or zoom in force.
  bool Plain() const;
};

struct TgsSpriteRecord {
  std::string name;        // upper-cased
  int32_t charIndex = -1;  // -1 = empty
  int32_t x = 0;
  int32_t y = 0;
  int32_t anchorX = 0;
  int32_t anchorY = 0;
  uint32_t priority = 0;
  uint8_t tone = 0;
  uint8_t libFilterB = 0;
  uint8_t libFilterA = 0;
  uint8_t libOp = 0;
  uint8_t alpha = 255;
  float scale = 0;
  int32_t angle = 0;
  int32_t rotAnchorX = 0;
  int32_t rotAnchorY = 0;
  uint32_t persistKind = 0;
  uint32_t persistArg = 0;
  std::string persistName;
  std::shared_ptr<ImageSurface> picture;
  std::unique_ptr<Sprite> sprite;
  DisplayEffect* effect = nullptr;

  // The fields before the picture.
  void CopySceneFields(const TgsSpriteRecord& from);
  // Name, charIndex, tone, filters, alpha, scale and persistKind back to an empty slot's.
  void ResetLook();
};

// The message window's transform as save data keeps it: the geometry words of a standing picture's
// record, for the window's display object. A priority of 0 means no transform is recorded.
struct TgsWindowTransform {
  static constexpr size_t kBytes = 48;

  int32_t x = 0;  // the window's corner
  int32_t y = 0;
  int32_t anchorX = 0;
  int32_t anchorY = 0;
  uint32_t priority = 0;
  uint8_t tone = 0;  // three reserved bytes follow
  uint8_t libFilterB = 0;
  uint8_t libFilterA = 0;
  uint8_t libOp = 0;    // one reserved byte follows
  uint8_t alpha = 255;  // three reserved bytes follow
  float scale = 0;      // 0 = not turned
  int32_t angle = 0;
  int32_t rotAnchorX = 0;
  int32_t rotAnchorY = 0;

  bool Recorded() const { return priority != 0; }
  std::array<uint8_t, kBytes> ToBytes() const;
  static TgsWindowTransform FromBytes(const std::array<uint8_t, kBytes>& bytes);
  // Puts the window's display object where the record says.
  void ApplyTo(Sprite& window) const;
};

// The layer of one page: what the scene asks of it.
class TgsPageLayer {
 public:
  TgsPageLayer() = default;
  explicit TgsPageLayer(SurfaceLayer* layer) : layer_(layer) {}
  SurfaceLayer* Layer() const { return layer_; }
  CompositionLayer* GetCompositionLayer() const;
  // Attaches the transition (a: the exchange mode, b: apply on finish); 0 or the layer's code.
  [[nodiscard]] int StartTransition(FilterEffect* transition, uint8_t a, bool b, bool notify);
  // How many transitions have started on the page: each new one counts, wherever it lies.
  uint32_t TransitionsStarted() const { return started_; }
  bool InTransition() const;
  // Finishes at once, applying as the start asked.
  void FinishTransition();
  // Exchanges the pages' contents at once: mode 1 everything, 2 the backgrounds.
  void ExchangeWith(TgsPageLayer& other, int mode);
  // The word the reversed "trans" exchanges between the two pages.
  int32_t GetValue() const { return value_; }
  void PutValue(int32_t value) { value_ = value; }

 private:
  SurfaceLayer* layer_ = nullptr;
  int32_t value_ = 0;
  uint32_t started_ = 0;
};

// What the scene reads of the frame.
struct TgsSceneLinks {
  TgsSceneHost* host = nullptr;
  std::function<bool()> turn;                         // one application turn; false when it quits
  std::function<bool()> skipping;                     // the skip test or a skip byte
  const std::vector<int32_t>* backgrounds = nullptr;  // the BG table, null when not loaded
  std::string characterName;  // the first entry of the character-name table, "" none
};

// The text after a name's last path separator.
std::string_view LastPathPart(std::string_view name);
// The time of day of a background name by the BG table: 0, 1 (letter A) or 2 (B, C).
uint32_t TimeOfDay(std::string_view name, const std::vector<int32_t>& table);
// Applies tone kind 1-6 to the whole picture; false for another kind.
[[nodiscard]] bool ApplyTone(ImageSurface& picture, uint8_t tone);

class TgsScene {
 public:
  explicit TgsScene(TgsSceneLinks links);
  ~TgsScene();
  TgsScene(const TgsScene&) = delete;
  TgsScene& operator=(const TgsScene&) = delete;

#define BW_TGS_SCENE_DECLARE(name, params, args) [[nodiscard]] int32_t name params;
  BW_TGS_SCENE_OPERATIONS(BW_TGS_SCENE_DECLARE)
#undef BW_TGS_SCENE_DECLARE

  // Ends everything the scene shows on both pages: the pending transition, the screen-effect
  // slots, captures, backgrounds and their animations, quakes and sprites; the rule picture goes.
  // A picture kept by KeepLastPicture stays on the shown page.
  void EndScene();
  // A copy of picture that the next EndScene leaves on the shown page; false when it cannot be
  // made.
  [[nodiscard]] bool KeepLastPicture(const ImageSurface& picture);

  TgsBackgroundRecord& Background(int page) {
    return *backgrounds_[page ? 1 : 0];
  }
  // Null for a slot outside its group.
  TgsSpriteRecord* SpriteRecord(int page, int32_t slot, int32_t group);
  TgsSpriteRecord& SpriteAt(int page, int index) {
    return *sprites_[page ? 1 : 0][index];
  }
  TgsPageLayer& Page(int page) {
    return pages_[page ? 1 : 0];
  }
  // The reference x of the shown character picture in that slot (the voice's speaker).
  std::optional<int32_t> SpeakerX(int32_t slot);
  // The character ids of the shown page's character group, slot by slot (-1 for an empty slot):
  // the voice player answers which of them speaks.
  std::array<int32_t, 5> CharacterIds() const;
  void SetCharacterName(std::string name) {
    links_.characterName = std::move(name);
  }
  bool SpriteTint() const {
    return tint_;
  }

  [[nodiscard]] int32_t ApplyBackground(int page);
  [[nodiscard]] bool MakeBackgroundPrivate(int page);

  // Effects (tgs_effect_commands.cpp).
  [[nodiscard]] int CreateEffectByKeyword(DisplayEffect** handle, const char* keyword,
                                          EffectTarget target, ArgWords args);
  void ReleaseEffect(DisplayEffect** handle);
  [[nodiscard]] int WaitEffect(DisplayEffect** handle, bool skippable);
  void StopLayerEffects(int page, bool alsoAnime);
  [[nodiscard]] int CreateTransition(TgsPageLayer& layer, const char* keyword, uint8_t a, bool b,
                                     ArgWords args);
  // The message window's face animation: "sp_panime" along path on the window's display object
  // (null: the window is not ready), its end state read into out. immediate: the end state at
  // once. 0 or a failure code.
  [[nodiscard]] int32_t AnimateWindow(Sprite* window, TgsText path, int32_t time, bool immediate,
                                      TgsWindowTransform& out);
  [[nodiscard]] int32_t WaitWindowAnimation(bool skippable) {
    return WaitEffect(&windowEffect_, skippable);
  }
  void ReleaseWindowAnimation() {
    ReleaseEffect(&windowEffect_);
  }
  bool WindowAnimationRunning() const {
    return windowEffect_ != nullptr;
  }
  void SwapPageRecords(int mode);
  TgsScreenSlot& ScreenSlot(int slot) {
    return slots_[slot];
  }
  bool TransitionPending() const {
    return pending_;
  }
  int32_t LoadedRule() const {
    return ruleNumber_;
  }
  // The frame's two picture-filter switches for rule pictures (set by the flip built-ins; kept in
  // save data): filter B mirrors left-right, filter A upside down.
  bool RuleFlippedH() const {
    return ruleFlipH_;
  }
  bool RuleFlippedV() const {
    return ruleFlipV_;
  }
  // The screen quake as the scene state saves it: active, three values, two flags.
  std::array<int32_t, 6>& QuakeRecord() {
    return quakeRecord_;
  }

 private:
  int P(uint8_t page) const {
    return page ? 1 : 0;
  }
  CompositionLayer* Composition(int page) const;
  SurfaceLayer* LayerOf(int page) const {
    return pages_[page].Layer();
  }
  bool Skipping() const {
    return links_.skipping && links_.skipping();
  }
  bool Turn() const {
    return !links_.turn || links_.turn();
  }
  bool EffectsShown() const {
    return !links_.host || links_.host->ShowEffects();
  }
  bool LowSpec() const {
    return links_.host && links_.host->LowSpec();
  }
  void Redraw(int page);
  void DropBackgroundPicture(int page);
  [[nodiscard]] int LoadInto(const std::string& name, ImageSurface& into, bool eightBit);
  // Gives the sprite a private picture when it shares one with its twin.
  void MakeSpritePrivate(int page, int index);
  void ClearSlot(int page, int index);
  void ReleaseSlotDisplay(int page, int index);
  // Shifts the group's other sprites between from and to (exclusive of the moving one) by step.
  void ShiftGroup(int page, const TgsSpriteGroup& g, int index, uint32_t low, uint32_t high,
                  int32_t step);
  [[nodiscard]] int32_t ToneAndFilters(ImageSurface& picture, uint8_t& toneField, uint8_t tone,
                                       uint8_t& filterB, bool b, uint8_t& filterA, bool a);
  void FilterLevel(ImageSurface& picture, uint8_t& libOp, int32_t level);
  [[nodiscard]] int32_t PlaceInternal(int page, int index, int32_t position, bool offScreen);
  [[nodiscard]] int32_t SpriteOrder(int32_t slot, uint8_t page, int32_t group, bool stop,
                                    bool front);

  // Effect commands' steps.
  struct OldSprite {
    std::unique_ptr<Sprite> sprite;
    std::shared_ptr<ImageSurface> picture;
  };
  // Loads name into the slot keeping the old display object aside; 0 or 4 when the load failed.
  [[nodiscard]] int32_t ReplaceSprite(int32_t slot, TgsText name, int32_t position, bool toBack,
                                      uint8_t page, int32_t group, OldSprite& old);
  // Hands the old sprite to the effect that replaces it: 0, or 5 when the effect failed.
  // target: what the effect is set up on (null: the page's layer).
  [[nodiscard]] int32_t StartReplaceEffect(TgsSpriteRecord& r, OldSprite& old, const char* keyword,
                                           uint8_t page, std::initializer_list<ArgWord> after,
                                           EffectTarget target = nullptr);
  // Reads a sprite path's end state (the effect's Query or the command's out words) into the
  // record and moves the sprite to the front (order 1) or back (2) of its group.
  struct SpritePathEnd {
    int32_t x = 0, y = 0;  // the picture's corner
    int32_t opacity = -1;  // -1: no point reached
    int32_t order = 0;
    float zoom = 1, rotation = 0;
    int32_t originX = 0, originY = 0;
    bool turned = false;
  };
  // The end state of a sprite path read from its text for sprite, as the effect would reach it.
  static void ReadPathEnd(const std::string& path, const Sprite& sprite, SpritePathEnd& end);
  void TakeSpritePathEnd(TgsSpriteRecord& r, int32_t slot, uint8_t page, int32_t group,
                         const SpritePathEnd& end);
  // Hands the group's priority band to the sprite paths' "F" and "B".
  void PublishPathBand(int32_t group);
  void PublishPathBand(uint32_t front, uint32_t back);
  void ExchangeNow(int mode);
  [[nodiscard]] int32_t RunTransition(const char* keyword, uint8_t a, bool b, ArgWords args);
  // Stops and records the slot; the effect (on target, or the page's layer) is made only while
  // effects are shown.
  [[nodiscard]] int32_t RunSlotEffect(int32_t slot, int kind, const char* keyword,
                                      TgsScreenSlot words, ArgWords args, int32_t failure,
                                      int page = 0, EffectTarget target = nullptr);
  [[nodiscard]] bool ReadRule(int32_t number);
  struct BlurEnd {
    int32_t x = 0, y = 0;
    double zoom = 1, angle = 0;
  };
  // The blur's end state into the record: turned (offset, angle, zoom) or as the view it shows.
  void RecordBlurEnd(int page, const BlurEnd& end);
  // The blur's end state at once through the command function.
  [[nodiscard]] int32_t BlurNow(int page, const BlurEnd& end);
  // Creates the page's "bg_blur", recording readBack when given: 0, or 1 when it cannot be made.
  [[nodiscard]] int32_t RunBlur(int page, ArgWords args, const BlurEnd* readBack, bool wait,
                                bool skippable);
  // The background path's end state through the command function: 0, -2 or its failure + 4.
  [[nodiscard]] int32_t BackgroundPathNow(int page, const std::string& name);
  void ApplyZoomView(int page, int32_t x, int32_t y, int32_t w, int32_t h);

  TgsSceneLinks links_;
  std::array<TgsPageLayer, 2> pages_;
  std::array<std::unique_ptr<TgsBackgroundRecord>, 2> backgrounds_;
  std::array<std::array<std::unique_ptr<TgsSpriteRecord>, kTgsSpriteSlots>, 2> sprites_;
  std::array<TgsScreenSlot, kTgsScreenSlots> slots_{};
  bool tint_ = false;
  bool pending_ = false;
  int mode_ = 1;
  std::array<int32_t, 6> quakeRecord_{};
  bool quakeRecorded_ = false;
  ImageSurface rule_;
  int32_t ruleNumber_ = -1;
  ImageSurface lastPicture_;  // the scene's last moment, shown after the scene ended
  bool keepLast_ = false;
  bool ruleFlipH_ = false;
  bool ruleFlipV_ = false;
  bool forceImmediate_ = false;            // the sprite path's end state asked for directly
  DisplayEffect* windowEffect_ = nullptr;  // the message window's face animation
};

// The scenario player's operations with the scene's handed to its scene; the player itself does
// the others, each one: every operation is pure in the base, so a new one must be built to compile.
class TgsSceneOperations : public TgsOperations {
 public:
  TgsScene& Scene() { return *scene_; }

  // clang-format off
#define BW_TGS_SCENE_FORWARD(name, params, args) \
  [[nodiscard]] int32_t name params override { return scene_->name args; }
  BW_TGS_SCENE_OPERATIONS(BW_TGS_SCENE_FORWARD)
#undef BW_TGS_SCENE_FORWARD
  // clang-format on

 protected:
  std::unique_ptr<TgsScene> scene_;
};

}  // namespace bw
