#include "natives/object_list_natives.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>

#include "common/global.h"
#include "common/gone_notice.h"
#include "effects/cell_anim_tasks.h"
#include "effects/sprite_anim_task.h"
#include "graphics/device/display_manager.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/sprite.h"
#include "gui/part_manager.h"
#include "gui/ui_control.h"
#include "natives/native_constants.h"
#include "natives/native_families.h"
#include "natives/native_helpers.h"
#include "natives/object_casts.h"
#include "platform/timer_service.h"
#include "script/native_names.h"
#include "sound/direct_sound_buffer.h"

namespace bw {

namespace {

constexpr int32_t kNullObject = -2;       // the load natives' answer for a null handle
constexpr int32_t kDefaultPriority = -1;  // 514
constexpr uint32_t kNoColorKeyWord = 0xFFFFFFFF;

// 516's answers.
constexpr int32_t kQueueNullTask = -1;
constexpr int32_t kQueueGoneTask = -2;
constexpr int32_t kQueueOtherKind = -3;
constexpr int32_t kQueueBadCommand = -4;

constexpr uint32_t kCellTaskKinds[] = {kTaskKindFrameAnimation, kTaskKindAmplitudeCell};

ObjectListNativeState& State(NativeArgs& a) {
  return a.Host().Extension<ObjectListNativeState>();
}

void RemoveBound(uint32_t kind, const void* object) {
  if (TimerService* timers = EffectTimers()) timers->RemoveBoundTo(kind, object);
}
void RemoveKind(uint32_t kind) {
  if (TimerService* timers = EffectTimers()) timers->RemoveById(kind);
}

// Creates a listed object set up by load; the handle, or 0.
template <typename T, typename Load>
[[nodiscard]] int32_t CreateListed(ScriptObjectList<T>& list, Load&& load) {
  uint32_t handle = 0;
  (void)list.Create(handle, std::forward<Load>(load));  // a failure leaves the handle 0
  return static_cast<int32_t>(handle);
}

// The release natives: &var names the script's variable, cleared once its object is released.
// Tasks of the kinds that play the object go before it.
template <typename T, size_t N>
[[nodiscard]] int32_t ReleaseListed(NativeArgs& a, ScriptObjectList<T>& list,
                                    const uint32_t (&kinds)[N]) {
  const uint32_t variable = a.U32(0);
  uint32_t handle = 0;
  if (a.Faulted() || variable == 0) return kObjectListNullObject;
  if (!a.Memory().Read32(variable, handle)) return kObjectListNullObject;
  if (handle == 0) return kObjectListNullObject;
  T* object = list.Find(handle);
  if (!object) return kObjectListNotListed;
  for (uint32_t kind : kinds) RemoveBound(kind, object);
  const int result = list.Release(object);
  a.Memory().Write32(variable, 0);
  return result;
}

template <typename T, size_t N>
[[nodiscard]] int32_t ReleaseAllListed(ScriptObjectList<T>& list, const uint32_t (&kinds)[N]) {
  for (uint32_t kind : kinds) RemoveKind(kind);
  list.ReleaseAll();
  return 0;
}

constexpr uint32_t kSpriteAnimKinds[] = {kTaskKindSpriteAnimation};
constexpr uint32_t kBackgroundAnimKinds[] = {kTaskKindBackgroundAnimation};

// 510
int32_t HvaDataCreate(NativeArgs& a) {
  TextArg name = ReadText(a, 0);
  const bool eightBit = a.U32(1) != 0;
  if (a.Faulted()) return 0;
  return CreateListed(State(a).AnimationData(),
                      [&](HvaData& data) { return data.Load(name.c_str(), eightBit); });
}

// 511, 512
int32_t HvaDataRelease(NativeArgs& a) {
  return ReleaseListed(a, State(a).AnimationData(), kSpriteAnimKinds);
}
int32_t HvaDataReleaseAll(NativeArgs& a) {
  return ReleaseAllListed(State(a).AnimationData(), kSpriteAnimKinds);
}

// 513
int32_t HvaDataLoad(NativeArgs& a) {
  HvaData* data = State(a).AnimationData().Find(a.U32(0));
  TextArg name = ReadText(a, 1);
  const bool eightBit = a.U32(2) != 0;
  if (!data || a.Faulted()) return kNullObject;
  RemoveBound(kTaskKindSpriteAnimation, data);
  return data->Load(name.c_str(), eightBit);
}

// 514: the task's handle, or 0.
int32_t SpriteAnimStart(NativeArgs& a) {
  CompositionLayer* container = GetObjectContainer(a.Host().Handles(), a.U32(0));
  HvaData* data = State(a).AnimationData().Find(a.U32(1));
  const uint32_t sequence = a.U32(2);
  const int32_t loops = a.I32(3);
  const int32_t priority = a.I32(4);
  const int32_t x = a.I32(5), y = a.I32(6);
  const bool catchUp = a.U32(7) != 0, finish = a.U32(8) != 0;
  const uint32_t delay = a.U32(9);
  if (!container || a.Faulted()) return 0;
  auto task = std::make_unique<SpriteAnimTask>();
  int code;
  if (priority != kDefaultPriority) {
    task->SetOffset(x, y);
    code = task->Start(EffectTimers(), container, data, sequence, loops,
                       static_cast<uint32_t>(priority), catchUp, finish, false, delay);
  } else {
    code = task->Start(EffectTimers(), container, data, sequence, loops, 0, true, true, false, 0);
  }
  if (code != kSpriteAnimStarted) return 0;
  return static_cast<int32_t>(TaskHandleOf(a.Host(), EffectTimers()->HandOver(std::move(task))));
}

SpriteAnimTask* SpriteAnimAt(NativeArgs& a, uint32_t k) {
  TimedTask* task = GetScriptTask(a.Host().Handles(), a.U32(k));
  return task && task->GetKindId() == kTaskKindSpriteAnimation ? static_cast<SpriteAnimTask*>(task)
                                                               : nullptr;
}

// 515
int32_t SpriteAnimGetState(NativeArgs& a) {
  SpriteAnimTask* task = SpriteAnimAt(a, 0);
  return task ? task->State() : 0;
}

// 516
int32_t SpriteAnimQueueNext(NativeArgs& a) {
  const uint32_t handle = a.U32(0);
  const uint32_t command = a.U32(1);
  const int32_t loops = a.I32(2);
  if (handle == 0) return kQueueNullTask;
  TimedTask* task = GetScriptTask(a.Host().Handles(), handle);
  if (!task) return kQueueGoneTask;
  if (task->GetKindId() != kTaskKindSpriteAnimation) return kQueueOtherKind;
  if (command != 0) return kQueueBadCommand;
  auto* anim = static_cast<SpriteAnimTask*>(task);
  anim->SetChain(true);
  anim->SetLoopCount(loops);
  return 0;
}

// 517-520
int32_t HvdAnimationCreate(NativeArgs& a) {
  TextArg name = ReadText(a, 0);
  if (a.Faulted()) return 0;
  return CreateListed(State(a).BackgroundAnimations(),
                      [&](HvdAnimation& animation) { return animation.Load(name.c_str()); });
}
int32_t HvdAnimationRelease(NativeArgs& a) {
  return ReleaseListed(a, State(a).BackgroundAnimations(), kBackgroundAnimKinds);
}
int32_t HvdAnimationReleaseAll(NativeArgs& a) {
  return ReleaseAllListed(State(a).BackgroundAnimations(), kBackgroundAnimKinds);
}
int32_t HvdAnimationLoad(NativeArgs& a) {
  HvdAnimation* animation = State(a).BackgroundAnimations().Find(a.U32(0));
  TextArg name = ReadText(a, 1);
  if (!animation || a.Faulted()) return kNullObject;
  RemoveBound(kTaskKindBackgroundAnimation, animation);
  return animation->Load(name.c_str());
}

// 521: header fields are little-endian 16-bit words.
int32_t HvdAnimationGetInfo(NativeArgs& a) {
  HvdAnimation* animation = State(a).BackgroundAnimations().Find(a.U32(0));
  const uint32_t which = a.U32(1);
  if (!animation) return 0;
  const auto& header = animation->GetHeader();
  auto word = [&header](size_t at) { return int32_t(header[at] | header[at + 1] << 8); };
  switch (which) {
    case 0:
      return word(6);
    case 1:
      return static_cast<int32_t>(animation->Frames().size());
    case 2:
      return word(0);
    case 3:
      return word(2);
    default:
      return 0;
  }
}

// The loaders keep a part's width, height and state code; scripts read them as a signed x, y
// and an unsigned flag.
void WriteRecord(NativeArgs& a, uint32_t k, const GmpRecord& record) {
  a.Out32(k, static_cast<uint32_t>(int32_t{static_cast<int16_t>(record.width)}));
  a.Out32(k + 1, static_cast<uint32_t>(int32_t{static_cast<int16_t>(record.height)}));
  a.Out32(k + 2, record.stateCode);
}

uint32_t SurfaceHandle(NativeArgs& a, ImageSurface* surface) {
  return a.Host().Handles().HandleOf(ScriptObjectType::kSurface, static_cast<Surface*>(surface));
}
uint32_t SpriteHandle(NativeArgs& a, Sprite* sprite) {
  return a.Host().Handles().HandleOf(ScriptObjectType::kDisplayObject,
                                     static_cast<DisplayObject*>(sprite));
}
uint32_t PartHandle(NativeArgs& a, UiControl* part) {
  return a.Host().Handles().HandleOf(ScriptObjectType::kGuiPart, part);
}

// 526, 531: the parts from first on, count of them (0: all), cut at the end; every array starts
// at the first part copied. Each array is checked whole before anything is written.
struct PartRange {
  int64_t first = 0;
  int64_t length = 0;  // <= 0: nothing to copy
};
PartRange RangeOf(int32_t first, int32_t count, size_t parts) {
  PartRange r;
  r.first = std::max<int64_t>(first, 0);
  const int64_t total = static_cast<int64_t>(parts);
  r.length = (count == 0 || r.first + count > total) ? total - r.first : count;
  return r;
}
template <typename Word>
[[nodiscard]] bool CopyRange(NativeArgs& a, uint32_t k, const PartRange& range, Word&& word) {
  const uint32_t array = a.U32(k);
  if (a.Faulted()) return false;
  if (array == 0 || range.length <= 0) return true;
  if (!GuestRange(a.Memory(), array, range.length * 4)) return false;
  for (int64_t i = 0; i < range.length; ++i) {
    a.Memory().Write32(array + static_cast<uint32_t>(4 * i),
                       word(static_cast<size_t>(range.first + i)));
  }
  return true;
}
template <typename Loader>
[[nodiscard]] bool CopyRecords(NativeArgs& a, uint32_t k, const PartRange& range,
                               const Loader& loader) {
  return CopyRange(a, k, range,
                   [&](size_t i) {
                     return uint32_t(int32_t{static_cast<int16_t>(loader.GetRecord(i).width)});
                   }) &&
         CopyRange(a, k + 1, range,
                   [&](size_t i) {
                     return uint32_t(int32_t{static_cast<int16_t>(loader.GetRecord(i).height)});
                   }) &&
         CopyRange(a, k + 2, range,
                   [&](size_t i) { return uint32_t{loader.GetRecord(i).stateCode}; });
}

// 522-526
int32_t GmpLayerLoad(NativeArgs& a) {
  CompositionLayer* container = GetObjectContainer(a.Host().Handles(), a.U32(0));
  TextArg name = ReadText(a, 1);
  const uint32_t priority = a.U32(2);
  const bool eightBit = a.U32(3) != 0, withBackground = a.U32(4) != 0;
  if (a.Faulted()) return 0;
  if (!container) return kNullObject;
  return State(a).LayerLoader().Load(container, Global<DisplayManager>::Get(), name.c_str(),
                                     &container->GetList(), priority, eightBit, withBackground);
}
int32_t GmpLayerClear(NativeArgs& a) {
  State(a).LayerLoader().Clear();
  return 0;
}
int32_t GmpLayerGetCount(NativeArgs& a) {
  return static_cast<int32_t>(State(a).LayerLoader().Count());
}
int32_t GmpLayerGetPart(NativeArgs& a) {
  GmpLayerLoader& loader = State(a).LayerLoader();
  const uint32_t index = a.U32(0);
  if (index >= loader.Count()) return 0;
  a.Out32(1, SurfaceHandle(a, loader.GetSurface(index)));
  a.Out32(2, SpriteHandle(a, loader.GetSprite(index)));
  WriteRecord(a, 3, loader.GetRecord(index));
  return 1;
}
int32_t GmpLayerGetParts(NativeArgs& a) {
  GmpLayerLoader& loader = State(a).LayerLoader();
  const PartRange range = RangeOf(a.I32(0), a.I32(1), loader.Count());
  CopyRange(a, 2, range, [&](size_t i) { return SurfaceHandle(a, loader.GetSurface(i)); }) &&
      CopyRange(a, 3, range, [&](size_t i) { return SpriteHandle(a, loader.GetSprite(i)); }) &&
      CopyRecords(a, 4, range, loader);
  return 1;
}

// 527-531: the parts go to the part manager's layer and register with the pointer manager; the
// screen's background is shown when the file names one.
int32_t GmpPartLoad(NativeArgs& a) {
  TextArg name = ReadText(a, 0);
  const int32_t firstId = a.I32(1);
  const int32_t pictureFlags = a.I32(2);
  const bool eightBit = a.U32(3) != 0;
  if (a.Faulted()) return 0;
  ScriptApplication* app = a.Host().Application();
  PartManager* parts = app ? app->ScriptPartManager() : nullptr;
  PointerManager* pointer = app ? app->ScriptPointerManager() : nullptr;
  return State(a).PartLoader().Load(parts ? parts->GetTargetLayer() : nullptr,
                                    Global<DisplayManager>::Get(), parts, pointer, name.c_str(),
                                    firstId, pictureFlags, eightBit, true);
}
int32_t GmpPartClear(NativeArgs& a) {
  State(a).PartLoader().Clear();
  return 0;
}
int32_t GmpPartGetCount(NativeArgs& a) {
  return static_cast<int32_t>(State(a).PartLoader().Count());
}
int32_t GmpPartGetPart(NativeArgs& a) {
  GmpPartLoader& loader = State(a).PartLoader();
  const uint32_t index = a.U32(0);
  if (index >= loader.Count()) return 0;
  a.Out32(1, PartHandle(a, loader.GetPart(index)));
  WriteRecord(a, 2, loader.GetRecord(index));
  return 1;
}
int32_t GmpPartGetParts(NativeArgs& a) {
  GmpPartLoader& loader = State(a).PartLoader();
  const PartRange range = RangeOf(a.I32(0), a.I32(1), loader.Count());
  CopyRange(a, 2, range, [&](size_t i) { return PartHandle(a, loader.GetPart(i)); }) &&
      CopyRecords(a, 3, range, loader);
  return range.length == 0 ? 0 : 1;
}

// 532, 537: (file, cell count, interval, target, surface object, x, y, order mode, draw mode,
// background, alpha, colour key) from word k on; switchWord names the word whose 65535 turns
// background, alpha and key off.
struct CellArgs {
  TextArg file;
  CellLayout layout;
  bool alpha = false;
  uint32_t colorKey = kNoColorKeyWord;
  bool hasSurface = false;
};
CellArgs ReadCellArgs(NativeArgs& a, uint32_t k, uint32_t switchWord) {
  CellArgs c;
  c.file = ReadText(a, k);
  c.layout.cellCount = a.I32(k + 1);
  c.layout.interval = a.I32(k + 2);
  DisplayObject* target = a.Handle<DisplayObject>(k + 3, ScriptObjectType::kDisplayObject);
  c.layout.targetObject =
      target && !target->IsColorRect() ? dynamic_cast<Sprite*>(target) : nullptr;
  c.layout.targetSurface = GetObjectSurface(a.Host().Handles(), a.U32(k + 4));
  c.hasSurface = c.layout.targetSurface != nullptr;
  c.layout.x = a.I32(k + 5);
  c.layout.y = a.I32(k + 6);
  c.layout.orderMode = static_cast<uint8_t>(a.U32(k + 7));
  c.layout.drawMode = a.I32(k + 8);
  if (a.U32(switchWord) == kDefaultsSwitch) return c;
  // 1 blends the cell over the kept background; any higher value copies it.
  c.layout.background = static_cast<uint8_t>(std::min<uint32_t>(a.U32(k + 9), kCellBackgroundCopy));
  c.alpha = a.U32(k + 10) != 0;
  c.colorKey = a.U32(k + 11);
  return c;
}

// 532: the handle, 0 when the image cannot be made, 1 in place of a handle without a surface.
int32_t CellImageCreate(NativeArgs& a) {
  CellArgs c = ReadCellArgs(a, 0, 9);
  if (a.Faulted()) return 0;
  if (!c.hasSurface) return kListNoSurface;
  return CreateListed(State(a).CellImages(), [&](CellImage& image) {
    return image.Load(c.file.c_str(), c.layout, c.alpha, c.colorKey);
  });
}

CellImage* CellImageAt(NativeArgs& a, uint32_t k) {
  return State(a).CellImages().Find(a.U32(k));
}

// 533, 534
int32_t CellImageAttachTarget(NativeArgs& a) {
  CellImage* image = CellImageAt(a, 0);
  DisplayObject* object = a.Handle<DisplayObject>(1, ScriptObjectType::kDisplayObject);
  if (image && object) image->AttachTarget(object);
  return 0;
}
int32_t CellImageDetachTarget(NativeArgs& a) {
  CellImage* image = CellImageAt(a, 0);
  DisplayObject* object = a.Handle<DisplayObject>(1, ScriptObjectType::kDisplayObject);
  if (image && object) image->DetachTarget(object);
  return 0;
}

// 535, 536
int32_t CellImageRelease(NativeArgs& a) {
  return ReleaseListed(a, State(a).CellImages(), kCellTaskKinds);
}
int32_t CellImageReleaseAll(NativeArgs& a) {
  return ReleaseAllListed(State(a).CellImages(), kCellTaskKinds);
}

// 537
int32_t CellImageLoad(NativeArgs& a) {
  CellImage* image = CellImageAt(a, 0);
  CellArgs c = ReadCellArgs(a, 1, 9);
  if (a.Faulted()) return 0;
  if (!image) return kNullObject;
  for (uint32_t kind : kCellTaskKinds) RemoveBound(kind, image);
  if (!c.hasSurface) return kListNoSurface;
  return image->Load(c.file.c_str(), c.layout, c.alpha, c.colorKey);
}

// 538: no separate target; random delays from the host's shared generator.
int32_t FrameAnimStart(NativeArgs& a) {
  CellImage* image = CellImageAt(a, 0);
  const auto loops = static_cast<uint8_t>(a.U32(1));
  const uint32_t interval = a.U32(2), randomRange = a.U32(3);
  const bool waitFirst = a.U32(4) != 0;
  if (!image || a.Faulted()) return 0;
  auto task = std::make_unique<FrameAnimTask>();
  if (task->Setup(EffectTimers(), image, nullptr, loops, interval, randomRange, waitFirst,
                  &a.Host().Random()) != kFrameAnimSetUp) {
    return 0;
  }
  return static_cast<int32_t>(TaskHandleOf(a.Host(), EffectTimers()->HandOver(std::move(task))));
}

// 539: only a sound holding its samples can drive the cells.
int32_t AmplitudeCellStart(NativeArgs& a) {
  CellImage* image = CellImageAt(a, 0);
  auto* sound = a.Handle<SoundBuffer>(1, ScriptObjectType::kSoundBuffer);
  if (!sound || sound->IsStreaming() || !image) return 0;
  auto task = std::make_unique<AmplitudeCellTask>();
  if (task->Start(EffectTimers(), image, static_cast<DirectSoundBuffer*>(sound)) !=
      kAmplitudeStarted) {
    return 0;
  }
  return static_cast<int32_t>(TaskHandleOf(a.Host(), EffectTimers()->HandOver(std::move(task))));
}

// 540
int32_t CellImageGetSurface(NativeArgs& a) {
  CellImage* image = CellImageAt(a, 0);
  return image ? static_cast<int32_t>(SurfaceHandle(a, image->Source())) : 0;
}

constexpr NativeEntry kEntries[] = {
    {Native::kHvaDataCreate, HvaDataCreate},
    {Native::kHvaDataRelease, HvaDataRelease},
    {Native::kHvaDataReleaseAll, HvaDataReleaseAll},
    {Native::kHvaDataLoad, HvaDataLoad},
    {Native::kSpriteAnimStart, SpriteAnimStart},
    {Native::kSpriteAnimGetState, SpriteAnimGetState},
    {Native::kSpriteAnimQueueNext, SpriteAnimQueueNext},
    {Native::kHvdAnimationCreate, HvdAnimationCreate},
    {Native::kHvdAnimationRelease, HvdAnimationRelease},
    {Native::kHvdAnimationReleaseAll, HvdAnimationReleaseAll},
    {Native::kHvdAnimationLoad, HvdAnimationLoad},
    {Native::kHvdAnimationGetInfo, HvdAnimationGetInfo},
    {Native::kGmpLayerLoad, GmpLayerLoad},
    {Native::kGmpLayerClear, GmpLayerClear},
    {Native::kGmpLayerGetCount, GmpLayerGetCount},
    {Native::kGmpLayerGetPart, GmpLayerGetPart},
    {Native::kGmpLayerGetParts, GmpLayerGetParts},
    {Native::kGmpPartLoad, GmpPartLoad},
    {Native::kGmpPartClear, GmpPartClear},
    {Native::kGmpPartGetCount, GmpPartGetCount},
    {Native::kGmpPartGetPart, GmpPartGetPart},
    {Native::kGmpPartGetParts, GmpPartGetParts},
    {Native::kCellImageCreate, CellImageCreate},
    {Native::kCellImageAttachTarget, CellImageAttachTarget},
    {Native::kCellImageDetachTarget, CellImageDetachTarget},
    {Native::kCellImageRelease, CellImageRelease},
    {Native::kCellImageReleaseAll, CellImageReleaseAll},
    {Native::kCellImageLoad, CellImageLoad},
    {Native::kFrameAnimStart, FrameAnimStart},
    {Native::kAmplitudeCellStart, AmplitudeCellStart},
    {Native::kCellImageGetSurface, CellImageGetSurface},
};

constexpr NativeRange kNumbers[] = {{510, 540}};

}  // namespace

ObjectListNativeState::ObjectListNativeState(ScriptHost& host)
    : hva_(host.Handles(), ScriptObjectType::kHvaData),
      hvd_(host.Handles(), ScriptObjectType::kHvdAnimation),
      cells_(host.Handles(), ScriptObjectType::kCellImage) {
  AddGoneListener(&ObjectListNativeState::OnGone, this);
}

ObjectListNativeState::~ObjectListNativeState() {
  RemoveGoneListener(&ObjectListNativeState::OnGone, this);
  for (uint32_t kind : {kTaskKindSpriteAnimation, kTaskKindFrameAnimation, kTaskKindAmplitudeCell,
                        kTaskKindBackgroundAnimation}) {
    RemoveKind(kind);
  }
  // The screens' pictures and sprites go with the loaders: the tasks on them end first, whether
  // or not the host's sweeper of bound tasks is still there.
  TimerService* timers = EffectTimers();
  auto drop = [timers](const void* object) {
    if (timers && object) timers->DropBoundTo(object);
  };
  for (size_t i = 0; i < layerLoader_.Count(); ++i) {
    drop(static_cast<const DisplayObject*>(layerLoader_.GetSprite(i)));
    drop(static_cast<const Surface*>(layerLoader_.GetSurface(i)));
  }
  drop(static_cast<const Surface*>(layerLoader_.Background()));
  drop(static_cast<const Surface*>(partLoader_.Background()));
}

void ObjectListNativeState::OnGone(const void* object, void* self) {
  auto* state = static_cast<ObjectListNativeState*>(self);
  state->cells_.ForEach([object](CellImage& image) { image.Forget(object); });
  state->layerLoader_.Forget(object);
}

const NativeFamily& ObjectListNativeFamily() {
  static const NativeFamily family{"object lists", kEntries, kNumbers};
  return family;
}

}  // namespace bw
