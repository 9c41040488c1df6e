#include "effects/path_tasks.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "common/sjis.h"
#include "effects/arg_cursor.h"
#include "effects/display_effect.h"
#include "effects/natural_spline.h"
#include "graphics/device/render_item.h"
#include "graphics/device/render_item_texture.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/sprite.h"
#include "platform/rect.h"
#include "platform/timer_service.h"

namespace bw {

namespace {

// The opacity of the render items that have one: the top byte of the first vertex's colour.
bool ItemOpacity(const RenderItem& item, uint8_t* opacity) {
  if (const auto* textured = dynamic_cast<const D3DSpritePrimitive*>(&item)) {
    *opacity = uint8_t(textured->Vertices()[0].diffuse >> 24);
    return true;
  }
  if (const auto* coloured = dynamic_cast<const D3DColorItem*>(&item)) {
    const auto& vertices = coloured->Vertices();
    *opacity = vertices.empty() ? 0 : uint8_t(vertices[0].diffuse >> 24);
    return true;
  }
  return false;
}

void SetItemOpacity(RenderItem& item, int32_t opacity) {
  if (auto* textured = dynamic_cast<D3DSpritePrimitive*>(&item)) {
    textured->SetAlpha(opacity);
  } else if (auto* coloured = dynamic_cast<D3DColorItem*>(&item)) {
    coloured->SetAlpha(opacity);
  }
}

bool InUpperList(const Sprite& sprite) {
  const DisplayObjectList* list = sprite.GetOwnerList();
  const CompositionLayer* layer = list ? list->GetLayer() : nullptr;
  return layer && layer->GetSecondList() == list;
}

}  // namespace

PathTask::PathTask(uint32_t kindId, uint32_t spriteKindId, uint32_t segmentDuration,
                   uint32_t startDelay, bool showWhileRunning, double easing, bool loop,
                   uint8_t priorityState)
    : kindId_(kindId),
      spriteKindId_(spriteKindId),
      segmentDuration_(segmentDuration),
      startDelay_(startDelay),
      easing_(std::isfinite(easing) ? easing : 0.0),
      showWhileRunning_(showWhileRunning),
      loop_(loop),
      // Only the start may hold the priority lowered: any other state given is armed.
      priorityState_(priorityState != kPriorityDisarmed ? kPriorityArmed : kPriorityDisarmed) {}

PathTask::~PathTask() {
  RestoreFramePriority(priorityState_);
}

uint32_t PathTask::GetKindId() const {
  return sprite_ ? spriteKindId_ + (inUpperList_ ? 1 : 0) : kindId_;
}

bool PathTask::IsBoundTo(const void* object) const {
  if (object == nullptr) return false;
  return object == static_cast<const DisplayObject*>(sprite_) ||
         object == static_cast<const RenderItem*>(item_);
}

void PathTask::Unbind(const void* object) {
  if (IsBoundTo(object)) ClearTarget();
}

void PathTask::ClearTarget() {
  sprite_ = nullptr;
  item_ = nullptr;
}

int PathTask::SetPathText(const char* text) {
  if (running_) return kPathTaskRunning;
  if (text == nullptr) return kPathTaskMissing;
  const std::string_view s(text);
  size_t n = 0;
  for (size_t at = sjis::Find(s, '('); at != sjis::npos; at = sjis::Find(s, '(', at + 1)) ++n;
  if (n == 0 || !EnoughPoints(n)) return kPathTaskRefused;
  first_.assign(n + 1, 0.0);
  second_.assign(n + 1, 0.0);
  opacities_.assign(n + 1, 0);
  ArgCursor cursor(text);
  for (size_t i = 1; i <= n && ReadPoint(cursor, i); ++i) {
  }
  return kPathTaskDone;
}

bool PathTask::ReadPoint(ArgCursor& cursor, size_t i) {
  int32_t a = 0, b = 0, opacity = 0;
  const bool complete = cursor.ReadInt(&a) == kArgRead && cursor.ReadInt(&b) == kArgRead &&
                        cursor.ReadInt(&opacity) == kArgRead;
  first_[i] = a;
  second_[i] = b;
  opacities_[i] = uint8_t(opacity);
  return complete;
}

int PathTask::SetPoints(uint32_t count, const int32_t* triples) {
  if (running_) return kPathTaskRunning;
  if (count == 0 || triples == nullptr || !EnoughPoints(count)) return kPathTaskMissing;
  const size_t n = count;
  first_.assign(n + 1, 0.0);
  second_.assign(n + 1, 0.0);
  opacities_.assign(n + 1, 0);
  for (size_t i = 1; i <= n; ++i) {
    first_[i] = triples[3 * (i - 1)];
    second_[i] = triples[3 * (i - 1) + 1];
    opacities_[i] = uint8_t(triples[3 * (i - 1) + 2]);
  }
  return kPathTaskDone;
}

int PathTask::StartOnSprite(TimerService* timers, Sprite* sprite) {
  if (running_) return kPathTaskRunning;
  if (sprite == nullptr) return kPathTaskMissing;
  ClearTarget();
  sprite_ = sprite;
  inUpperList_ = InUpperList(*sprite);
  return Start(timers);
}

int PathTask::StartOnItem(TimerService* timers, RenderItem* item) {
  if (running_) return kPathTaskRunning;
  if (item == nullptr) return kPathTaskMissing;
  ClearTarget();
  item_ = item;
  return Start(timers);
}

int PathTask::Start(TimerService* timers) {
  if (timers == nullptr || first_.empty()) {
    ClearTarget();
    return kPathTaskMissing;
  }
  if (item_ && (item_->GetKind() == kItemRenderState || item_->GetKind() == kItemBlendState)) {
    ClearTarget();
    return kPathTaskRefused;
  }
  if (const int refused = TakeStartState(); refused != kPathTaskDone) {
    ClearTarget();
    return refused;
  }
  if (segmentDuration_ == 0) {
    Finish();
    return kPathTaskJumpedToEnd;
  }
  firstUpdate_ = true;
  totalDuration_ = uint64_t{segmentDuration_} * (first_.size() - 1);
  Prepare();
  running_ = true;
  if (!loop_) LowerFramePriority(priorityState_);
  return kPathTaskDone;
}

int32_t PathTask::Update(uint32_t nowMs) {
  if (!sprite_ && !item_) {
    running_ = false;
    return kTaskStepFinished;
  }
  if (firstUpdate_) {
    startTime_ = nowMs;
    firstUpdate_ = false;
  }
  if (startDelay_ != 0) {
    if (nowMs - startTime_ < startDelay_) return kTaskStepContinue;
    startTime_ = nowMs;
    startDelay_ = 0;
    if (showWhileRunning_) SetTargetShown(true);
  }
  uint32_t elapsed = nowMs - startTime_;
  if (elapsed >= totalDuration_) {
    if (!loop_) {
      Finish();
      return kTaskStepFinished;
    }
    startTime_ += elapsed;
    totalDuration_ = uint64_t{segmentDuration_} * (first_.size() - 1);
    elapsed = 0;
  }
  const double total = double(totalDuration_);
  const double share = elapsed / total;
  double t = elapsed;
  if (easing_ > 0) {
    t = total * std::pow(share, easing_);
  } else if (easing_ < 0) {
    t = total * (1.0 - std::pow(1.0 - share, -easing_));
  }
  // A steep ease-out can reach the end: that is the last point, not a segment past it.
  const uint64_t eased = t <= 0 ? 0 : std::min<uint64_t>(uint64_t(t), totalDuration_);
  size_t i = size_t(eased / segmentDuration_);
  double f = double(eased % segmentDuration_) / segmentDuration_;
  if (i + 1 >= first_.size()) i = first_.size() - 1, f = 0.0;
  Show(i, f);
  return kTaskStepContinue;
}

void PathTask::Finish() {
  if (sprite_ || item_) {
    Show(first_.size() - 1, 0.0);
    if (showWhileRunning_) SetTargetShown(false);
  }
  running_ = false;
}

void PathTask::Stop() {
  if (running_) Finish();
}

uint32_t PathTask::Resume(uint32_t nowMs) {
  const bool last = PauseCount() == 1;
  const uint32_t result = TimedTask::Resume(nowMs);
  if (last) startTime_ += result;
  return result;
}

double PathTask::Between(const std::vector<double>& values, size_t i, double f) {
  return f == 0.0 ? values[i] : values[i] + f * (values[i + 1] - values[i]);
}

int32_t PathTask::OpacityAt(size_t i, double f) const {
  if (f == 0.0) return opacities_[i];
  const int32_t a = opacities_[i], b = opacities_[i + 1];
  return a + TruncateToInt32((b - a) * f);
}

void PathTask::MoveTargetTo(int32_t x, int32_t y) {
  if (sprite_) sprite_->SetPos(x, y);
  if (item_) item_->SetPosition(x, y);
}

void PathTask::ShowOpacity(size_t i, double f) {
  if (!useOpacity_) return;
  const int32_t opacity = OpacityAt(i, f);
  if (sprite_) sprite_->SetAlpha(opacity);
  if (item_) SetItemOpacity(*item_, opacity);
}

void PathTask::SetTargetShown(bool shown) {
  if (sprite_) sprite_->SetVisible(shown);
  if (item_) item_->SetEnabled(shown);
}

bool PathTask::TargetOpacity(uint8_t* opacity) const {
  if (sprite_) {
    *opacity = uint8_t(sprite_->GetAlpha());
    return true;
  }
  return item_ && ItemOpacity(*item_, opacity);
}

MovePathTask::MovePathTask(uint32_t segmentDuration, uint32_t startDelay, bool showWhileRunning,
                           double easing, uint8_t moveMode, bool spline, bool loop,
                           uint8_t priorityState)
    : PathTask(kTaskKindMovePath, kTaskKindSpriteMovePath, segmentDuration, startDelay,
               showWhileRunning, easing, loop, priorityState),
      moveMode_(moveMode),
      spline_(spline) {}

int MovePathTask::TakeStartState() {
  useOpacity_ = TargetOpacity(&opacities_[0]);
  if (sprite_ && moveMode_ == kPathScrollSource) {
    first_[0] = sprite_->GetScrollX();
    second_[0] = sprite_->GetScrollY();
  } else {
    first_[0] = sprite_ ? sprite_->GetX() : item_->GetX();
    second_[0] = sprite_ ? sprite_->GetY() : item_->GetY();
  }
  return kPathTaskDone;
}

void MovePathTask::Prepare() {
  termsX_.clear();
  termsY_.clear();
  if (!spline_ || moveMode_ == kPathMoveNone) return;
  termsX_ = NaturalSplineTerms(first_);
  termsY_ = NaturalSplineTerms(second_);
}

void MovePathTask::Show(size_t i, double f) {
  if (moveMode_ != kPathMoveNone) {
    double x = first_[i], y = second_[i];
    if (f != 0.0 && !termsX_.empty()) {
      x = EvaluateNaturalSpline(first_, termsX_, i, f);
      y = EvaluateNaturalSpline(second_, termsY_, i, f);
    } else if (f != 0.0) {
      x = Between(first_, i, f);
      y = Between(second_, i, f);
    }
    if (sprite_ && moveMode_ == kPathScrollSource) {
      // A sprite that cannot take it is shown as it was.
      (void)sprite_->ScrollSource(TruncateToInt32(x), TruncateToInt32(y));
    } else {
      MoveTargetTo(TruncateToInt32(x), TruncateToInt32(y));
    }
  }
  ShowOpacity(i, f);
}

SizePathTask::SizePathTask(uint32_t segmentDuration, uint32_t startDelay, bool showWhileRunning,
                           double easing, uint8_t horizontalAnchor, uint8_t verticalAnchor,
                           bool fixedBase, bool useOpacity, bool loop, uint8_t priorityState)
    : PathTask(kTaskKindSizePath, kTaskKindSpriteSizePath, segmentDuration, startDelay,
               showWhileRunning, easing, loop, priorityState),
      horizontalAnchor_(horizontalAnchor),
      verticalAnchor_(verticalAnchor),
      fixedBase_(fixedBase) {
  useOpacity_ = useOpacity;
}

int SizePathTask::TakeStartState() {
  if (!sprite_) return kPathTaskRefused;
  first_[0] = sprite_->GetWidth();
  second_[0] = sprite_->GetHeight();
  TargetOpacity(&opacities_[0]);
  baseX_ = sprite_->GetX();
  baseY_ = sprite_->GetY();
  shiftX_ = shiftY_ = 0;
  return kPathTaskDone;
}

namespace {

// How far the place moves so that the anchored edge (or centre) stays where it was.
int64_t AnchorShift(uint8_t anchor, int64_t startSize, int64_t size) {
  if (anchor == kPathAnchorCentre) return (startSize - size) / 2;
  if (anchor == kPathAnchorEnd) return startSize - size;
  return 0;
}

}  // namespace

void SizePathTask::Show(size_t i, double f) {
  const int32_t w = TruncateToInt32(Between(first_, i, f));
  const int32_t h = TruncateToInt32(Between(second_, i, f));
  const int32_t shiftX = ClampToInt32(AnchorShift(horizontalAnchor_, int64_t(first_[0]), w));
  const int32_t shiftY = ClampToInt32(AnchorShift(verticalAnchor_, int64_t(second_[0]), h));
  int64_t x = fixedBase_ ? baseX_ : int64_t{sprite_->GetX()} - shiftX_;
  int64_t y = fixedBase_ ? baseY_ : int64_t{sprite_->GetY()} - shiftY_;
  shiftX_ = shiftX;
  shiftY_ = shiftY;
  sprite_->SetZoomAndPos(w, h, ClampToInt32(x + shiftX), ClampToInt32(y + shiftY));
  ShowOpacity(i, f);
}

RotateZoomPathTask::RotateZoomPathTask(uint32_t segmentDuration, uint32_t startDelay,
                                       bool showWhileRunning, double easing, bool interpolateZoom,
                                       bool useOpacity, bool loop, uint8_t priorityState)
    : PathTask(kTaskKindRotateZoomPath, kTaskKindSpriteRotateZoomPath, segmentDuration, startDelay,
               showWhileRunning, easing, loop, priorityState),
      interpolateZoom_(interpolateZoom) {
  useOpacity_ = useOpacity;
}

bool RotateZoomPathTask::ReadPoint(ArgCursor& cursor, size_t i) {
  int32_t angle = 0, opacity = 0;
  if (cursor.ReadInt(&angle) != kArgRead) return false;
  first_[i] = angle;
  char word[kDecimalTextMax + 1];
  cursor.SkipSeparators();
  if (cursor.ReadWord(word, sizeof word) != kArgRead) return false;
  // A word that is no number zooms by 0, as the decimal reader of the scripts gives.
  const char* at = word;
  double zoom = 0.0;
  second_[i] = ParseSignedDecimal(&at, &zoom) ? zoom : 0.0;
  if (cursor.ReadInt(&opacity) != kArgRead) return false;
  opacities_[i] = uint8_t(opacity);
  return true;
}

int RotateZoomPathTask::TakeStartState() {
  if (!sprite_) return kPathTaskRefused;
  first_[0] = sprite_->GetAngle();
  second_[0] = sprite_->GetScale();
  TargetOpacity(&opacities_[0]);
  const double largest =
      interpolateZoom_ ? *std::max_element(second_.begin(), second_.end()) : second_[0];
  // A zoom whose turned box does not fit 32 bits cannot be drawn at all.
  if (sprite_->CreateRotationWorkSurface(largest) == kSpriteRenderFailed) return kPathTaskRefused;
  return kPathTaskDone;
}

void RotateZoomPathTask::Show(size_t i, double f) {
  const int32_t angle = TruncateToInt32(Between(first_, i, f));
  const double zoom = interpolateZoom_ ? Between(second_, i, f) : second_[0];
  // A sprite that cannot take it is shown as it was.
  (void)sprite_->SetRotation(angle, zoom);
  ShowOpacity(i, f);
}

}  // namespace bw
