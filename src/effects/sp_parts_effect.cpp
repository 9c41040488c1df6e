#include "effects/sp_parts_effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "graphics/surface/composition_layer.h"
#include "graphics/surface/dirty_rect_list.h"
#include "platform/timer_service.h"
#include "resource/files/file.h"

namespace bw {

namespace {

constexpr uint32_t kPieceTimeUnit = 1000;
// Load's answer when a piece refuses its steps (the file itself was sound).
constexpr int kLoadPieceRefused = -1;
constexpr int32_t kSmallestScaledSide = 8;

// The folder part of a name, with its separator.
std::string FolderOf(const char* name) {
  const std::string text(name);
  const size_t cut = text.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
}

std::unique_ptr<ImageSurface> LoadImage(const std::string& name, double scale) {
  auto image = std::make_unique<ImageSurface>();
  if (image->Load(name.c_str(), nullptr, 0, 0) != 0) return nullptr;
  if (image->GetBitsPerPixel() != 32 && image->ConvertDepth(32) != 0) return nullptr;
  if (scale == 1.0) return image;
  const Size size{std::max(kSmallestScaledSide, static_cast<int32_t>(image->GetWidth() * scale)),
                  std::max(kSmallestScaledSide, static_cast<int32_t>(image->GetHeight() * scale))};
  auto scaled = std::make_unique<ImageSurface>();
  if (scaled->Create(size.width, size.height, 32, 0) != 0) return nullptr;
  scaled->SetHasAlpha(image->HasAlpha());
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)scaled->Fill(0, nullptr);
  (void)scaled->StretchBlit(image.get(), &size, 0, 0, nullptr, false);
  scaled->SetWord1(static_cast<uint32_t>(static_cast<int32_t>(image->GetWord1()) * scale));
  scaled->SetWord2(static_cast<uint32_t>(static_cast<int32_t>(image->GetWord2()) * scale));
  return scaled;
}

PathRecord RecordOf(const PartsStep& step) {
  PathRecord r;
  r.kind = step.kind;
  r.value = step.kind == kStepKeyFrame ? int16_t{step.value} : int16_t{0};
  r.x = step.x;
  r.y = step.y;
  r.zoom = step.kind == kStepKeyFrame ? step.zoom : 1.0;
  r.rotation = step.kind == kStepKeyFrame ? step.rotation : 0.0;
  // The "l" values are the swing of the segment that ends at this key frame.
  if (step.kind == kStepKeyFrame) {
    r.swingX = step.lineValues[0];
    r.swingY = step.lineValues[1];
    r.shiftX = step.lineValues[2];
    r.shiftY = step.lineValues[3];
  }
  if (step.kind == kStepEase) {
    r.value = step.value;
    r.rotation = step.zoom;
  }
  r.positionIndex = step.keyIndex;
  return r;
}

}  // namespace

// Draws the list of an intermediate layer in the list it stands for, at its own place there:
// what the parts compose is drawn wherever that list's layer redraws.
class PartsStage final : public DisplayObject {
 public:
  PartsStage(CompositionLayer& parts, const Rect& area) : parts_(parts), area_(area) {}

  // Nothing but the effect moves it.
  bool IsBusy() const override { return true; }
  int32_t GetWidth() const override { return area_.Width(); }
  int32_t GetHeight() const override { return area_.Height(); }
  bool IsColorRect() const override { return false; }
  int SetDrawMode(int) override { return 1; }
  int SetAlpha(int) override { return 0; }
  bool SetPos(int32_t, int32_t) override { return false; }
  bool MoveBy(int32_t, int32_t) override { return false; }
  int SetZoom(int32_t, int32_t) override { return 1; }
  bool SetZoomAndPos(int32_t, int32_t, int32_t, int32_t) override { return false; }
  bool Refresh(const Rect* rect) override { return InvalidateInOwner(rect ? *rect : area_); }
  bool HitTest(int32_t, int32_t, bool) const override { return false; }
  bool Overlaps(const DisplayObject& other) const override {
    Rect both;
    return IntersectRects(&both, area_, *other.GetRectPtr());
  }
  const Rect* GetRectPtr() const override { return &area_; }
  void GetRect(Rect* out) const override { *out = area_; }
  int DrawOver(ImageSurface* target) override {
    Rect ignored;
    return DrawInto(target, &ignored);
  }
  int DrawInto(ImageSurface* target, Rect* out) override {
    out->left = DisplayObjectList::kNoRect;
    if (target == nullptr) return kDrawNoTarget;
    const Rect whole{0, 0, target->GetWidth(), target->GetHeight()};
    if (IntersectRects(out, area_, whole)) return Draw(target, *out);
    out->left = DisplayObjectList::kNoRect;
    return kDrawDone;
  }
  int Draw(ImageSurface* target, const Rect& clip) override {
    if (!visible_) return kDrawDone;
    if (target == nullptr) return kDrawNoTarget;
    Rect inside;
    if (!IntersectRects(&inside, clip, area_)) return kDrawDone;
    // From the back, as a composition layer draws its list.
    const auto& nodes = parts_.GetList().Nodes();
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) {
      DisplayObject* object = it->object;
      // An object that cannot draw leaves its area as it was.
      if (object->IsVisible() && object->GetAlpha() != 0) (void)object->Draw(target, inside);
    }
    return kDrawDone;
  }

 private:
  CompositionLayer& parts_;
  Rect area_;
};

int SpPartsPiece::AttachPiece(Sprite* sprite, uint32_t timeUnit, uint8_t,
                              const std::vector<PartsStep>& steps, int32_t keyFrames, bool show) {
  if (sprite == nullptr || sprite->IsBusy() || timeUnit == 0) return kPieceBadSprite;
  std::vector<PathRecord> records;
  records.reserve(steps.size());
  for (const PartsStep& step : steps) records.push_back(RecordOf(step));
  if (path_.SetRecords(std::move(records), keyFrames, show) != kPathParsed)
    return kPieceStepsRefused;
  Prepare(sprite, kPartsDefaultTimeMs, false);
  PrepareWorkSurface();
  return kPieceAttached;
}

std::unique_ptr<DisplayEffect> SpPartsEffect::Create(uint32_t) {
  return std::make_unique<SpPartsEffect>();
}

SpPartsEffect::SpPartsEffect() = default;

SpPartsEffect::~SpPartsEffect() {
  Stop();
}

int SpPartsEffect::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  CompositionLayer* layer = target.Composition();
  if (timers == nullptr || layer == nullptr || args.Text(0) == nullptr) return kSpPartsBadArguments;
  Stop();
  lists_[0] = &layer->GetList();
  lists_[1] = nullptr;
  listVisible_[0] = listVisible_[1] = true;
  if (args.Int(9) != 0) {
    lists_[1] = layer->GetSecondList();
    if (lists_[1] == nullptr || lists_[1]->GetLayer() == nullptr ||
        lists_[1]->GetLayer()->GetTarget() == nullptr) {
      return kSpPartsNoSecondList;
    }
    listVisible_[0] = args.Int(10) != 0;
    listVisible_[1] = args.Int(11) != 0;
  }
  if (args.Int(8) != 0 && !MakeStages(args.Uint(3))) {
    Stop();
    return kSpPartsBadArguments;
  }
  const uint64_t bits = uint64_t{args.Uint(5)} | uint64_t{args.Uint(6)} << 32;
  double scale = 0;
  std::memcpy(&scale, &bits, sizeof scale);
  if (!(scale > 0) || !std::isfinite(scale)) scale = 1.0;
  readError_ = Load(args.Text(0), args.Int(1), args.Int(2), args.Uint(3), args.Int(4) != 0, scale);
  if (readError_ != kPartsRead) {
    const int rc = readError_ == kLoadPieceRefused ? kSpPartsPieceRefused : kSpPartsFileFailed;
    Stop();
    return rc;
  }
  if (args.Int(7) != 0) NotifyStart();
  return kSpPartsSetUp;
}

bool SpPartsEffect::MakeStages(uint32_t priority) {
  for (int i = 0; i < 2 && lists_[i] != nullptr; ++i) {
    CompositionLayer* replaced = lists_[i]->GetLayer();
    ImageSurface* target = replaced ? replaced->GetTarget() : nullptr;
    if (target == nullptr) return false;
    Stage& stage = stages_[i];
    stage.layer = std::make_unique<CompositionLayer>();
    if (stage.layer->SetTarget(target, false) != 0) return false;
    stage.stage = std::make_unique<PartsStage>(*stage.layer,
                                               Rect{0, 0, target->GetWidth(), target->GetHeight()});
    stage.stage->SetVisible(listVisible_[i]);
    if (lists_[i]->Add(stage.stage.get(), priority, 0) != kAddDone) return false;
    lists_[i] = &stage.layer->GetList();
  }
  return true;
}

void SpPartsEffect::HandOnChanges(Stage& stage) {
  // The list's layer is gone when the list let go of the stage.
  DisplayObjectList* list = stage.stage->GetOwnerList();
  CompositionLayer* replaced = list ? list->GetLayer() : nullptr;
  if (replaced == nullptr || replaced->GetTarget() == nullptr) return;
  // The layer's picture may have been made anew since.
  if (stage.layer->GetTarget() != replaced->GetTarget())
    // A target without pixels leaves the layer unbound, drawing nothing.
    (void)stage.layer->SetTarget(replaced->GetTarget(), false);
  stage.layer->CollectChanges(nullptr, nullptr);
  const Rect& area = *stage.stage->GetRectPtr();
  if (const RectNode* node = stage.layer->Dirty().Head()) {
    do {
      Rect r;
      if (IntersectRects(&r, node->rect, area)) replaced->InvalidateClippedRect(r);
      node = node->next;
    } while (node != stage.layer->Dirty().Head());
  }
  stage.layer->DiscardDirty();
}

int SpPartsEffect::Load(const char* name, int32_t offsetX, int32_t offsetY, uint32_t basePriority,
                        bool readHidden, double scale) {
  File file;
  if (file.Load(name) != 0 || file.GetData() == nullptr) return kPartsNoFile;
  // The text is read once; both passes go over these bytes.
  const std::string text(static_cast<const char*>(file.GetData()), file.GetSize());
  std::vector<PartsPart> definitions;
  if (int rc = CountParts(text, readHidden, &definitions); rc != kPartsRead) return rc;
  SpPanimeEffect::PublishBand(basePriority,
                              basePriority - static_cast<uint32_t>(definitions.size()));
  const std::string folder = FolderOf(name);
  uint32_t priority = basePriority;
  for (PartsPart& definition : definitions) {
    if (int rc = MakePart(definition, folder, priority--, offsetX, offsetY, scale);
        rc != kPartsRead) {
      return rc;
    }
  }
  return kPartsRead;
}

int SpPartsEffect::MakePart(PartsPart& definition, const std::string& folder, uint32_t priority,
                            int32_t offsetX, int32_t offsetY, double scale) {
  auto part = std::make_unique<Part>();
  part->image = LoadImage(folder + definition.image, scale);
  if (!part->image) return kPartsNoImage;
  ImageSurface* image = part->image.get();
  const PartImageInfo info{image->GetWidth(), image->GetHeight(),
                           static_cast<int32_t>(image->GetWord1()),
                           static_cast<int32_t>(image->GetWord2())};
  if (definition.looping) {
    LoopPlacement placement;
    const int32_t* v = definition.loop;
    placement.x = (definition.given[0] ? v[0] : info.anchorX) + offsetX;
    placement.y = (definition.given[1] ? v[1] : info.anchorY) + offsetY;
    placement.view = v[2];
    placement.opacity = static_cast<uint8_t>(std::clamp(v[3], 0, 255));
    placement.priority = priority;
    placement.direction = static_cast<uint8_t>(std::clamp(v[4], 0, 3));
    placement.periodMs = static_cast<uint32_t>(std::max(v[5], 1));
    for (int i = 0; i < 2 && lists_[i] != nullptr; ++i) {
      part->loops[i] = std::make_unique<SpLoopEffect>();
      if (part->loops[i]->SetupOn(image, lists_[i], placement) != kSpLoopSetUp)
        return kPartsNoImage;
      // An effect that refuses it goes on as it was.
      if (!listVisible_[i]) (void)part->loops[i]->Command({1, 0});
    }
    part->state = kPartLooping;
    parts_.push_back(std::move(part));
    return kPartsRead;
  }
  if (int rc = FillPart(definition, info, offsetX, offsetY); rc != kPartsRead) return rc;
  for (int i = 0; i < 2 && lists_[i] != nullptr; ++i) {
    auto& sprite = i == 0 ? part->first : part->second;
    sprite = std::make_unique<Sprite>();
    if (sprite->SetImage(image, nullptr, 0, 0) != kSpriteDone) return kPartsNoImage;
    // A mode out of range keeps the one in force.
    (void)sprite->SetMirrorMode(1);
    // An object already listed stays where it is.
    (void)lists_[i]->Add(sprite.get(), priority, 0);
  }
  const PartsStep& first = definition.first;
  part->first->SetPos(first.x, first.y);
  part->first->SetAnchor(-1, definition.centreX, definition.centreY);
  part->first->SetAlpha(first.value);
  if (part->second) part->second->CopyStateFrom(*part->first);
  ShowPart(*part);
  if (definition.steps.empty()) {
    part->state = kPartStatic;
  } else {
    part->piece = std::make_unique<SpPartsPiece>();
    if (part->piece->AttachPiece(part->first.get(), kPieceTimeUnit, definition.motionMode,
                                 definition.steps, definition.keyFrames,
                                 definition.show) != kPieceAttached) {
      return kLoadPieceRefused;
    }
    part->state = kPartPlaying;
  }
  parts_.push_back(std::move(part));
  return kPartsRead;
}

void SpPartsEffect::ShowPart(Part& part) {
  if (part.first) part.first->SetVisible(part.visible && listVisible_[0]);
  if (part.second) part.second->SetVisible(part.visible && listVisible_[1]);
  for (int i = 0; i < 2; ++i) {
    // An effect that refuses it goes on as it was.
    if (part.loops[i]) (void)part.loops[i]->Command({1, part.visible && listVisible_[i] ? 1 : 0});
  }
}

int32_t SpPartsEffect::Update(uint32_t nowMs) {
  bool ran = false;
  for (auto& owned : parts_) {
    Part& part = *owned;
    switch (part.state) {
      case kPartPlaying:
        ran = true;
        if (part.piece->Update(nowMs) != kTaskStepContinue) {
          part.first->SetVisible(false);
          if (part.second) part.second->SetVisible(false);
          part.state = kPartDone;
        } else if (part.second && part.visible) {
          const Sprite& a = *part.first;
          const Sprite& b = *part.second;
          if (*a.GetRectPtr() != *b.GetRectPtr() || a.GetAlpha() != b.GetAlpha())
            part.second->CopyStateFrom(a);
          part.second->SetVisible(listVisible_[1]);
        }
        break;
      case kPartStatic:
        // Parts that stand still stay until the effect is stopped.
        ran = true;
        break;
      case kPartLooping:
        for (auto& loop : part.loops) {
          if (loop && loop->Update(nowMs) != kTaskStepContinue) loop.reset();
        }
        if (part.loops[0] || part.loops[1])
          ran = true;
        else
          part.state = kPartDone;
        break;
      default:
        break;
    }
  }
  if (!ran) return kTaskStepFinished;
  for (int i = 0; i < 2; ++i) {
    if (stages_[i].stage && listVisible_[i]) HandOnChanges(stages_[i]);
  }
  return kTaskStepContinue;
}

int SpPartsEffect::Command(ArgWords args) {
  switch (args.Int(0)) {
    case 0:
      for (auto& part : parts_) {
        if (part->state == kPartPlaying) {
          part->piece->Finish();
          part->state = kPartStatic;
        }
        for (auto& loop : part->loops) {
          if (loop) loop->Finish();
        }
      }
      return 0;
    case 1:
      if (lists_[1] == nullptr) return 2;
      if (parts_.empty()) return 1;
      listVisible_[0] = args.Int(1) != 0;
      listVisible_[1] = args.Int(2) != 0;
      for (int i = 0; i < 2; ++i) {
        if (stages_[i].stage) stages_[i].stage->SetVisible(listVisible_[i]);
      }
      for (auto& part : parts_) {
        if (part->state != kPartDone) ShowPart(*part);
      }
      return 0;
    case 2: {
      const int32_t index = args.Int(1);
      if (index < 0 || static_cast<size_t>(index) >= parts_.size()) return 1;
      Part& part = *parts_[static_cast<size_t>(index)];
      if (part.state == kPartDone) return 0;
      part.visible = args.Int(2) != 0;
      ShowPart(part);
      return 0;
    }
    default:
      return 1;
  }
}

void SpPartsEffect::Stop() {
  // Pieces and loops let go of the sprites before the sprites and images go.
  for (auto& part : parts_) {
    part->piece.reset();
    part->loops[0].reset();
    part->loops[1].reset();
  }
  parts_.clear();
  // The stage leaves its list, which redraws where the parts were.
  for (Stage& stage : stages_) {
    stage.stage.reset();
    stage.layer.reset();
  }
}

}  // namespace bw
