#include "natives/object_casts.h"

#include <functional>
#include <thread>

#include "common/global.h"
#include "common/gone_notice.h"
#include "graphics/layers/surface_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/surface.h"
#include "platform/timer_service.h"

namespace bw {
namespace {

// What a handle casts to; every field may be null.
struct Cast {
  ImageSurface* surface = nullptr;
  SurfaceLayer* holder = nullptr;
  CompositionLayer* container = nullptr;
};

Cast FromHolder(SurfaceLayer* holder) {
  Cast c;
  if (!holder) return c;
  c.holder = holder;
  c.surface = holder->GetImage();
  c.container = holder->GetCompositionLayer();
  return c;
}

Cast Resolve(const ScriptHandles& handles, uint32_t handle) {
  auto* surface = handles.Get<Surface>(handle, ScriptObjectType::kSurface);
  if (!surface) return {};
  switch (surface->GetKind() & 0xFF) {
    case kKindDibSurface: {
      Cast c;
      c.surface = dynamic_cast<ImageSurface*>(surface);
      return c;
    }
    case kKindSoftwareSurfaceLayer:
    case kKindCanvasLayer:
    case kKindOffscreenLayer: {
      Cast c = FromHolder(dynamic_cast<SurfaceLayer*>(surface));
      // The layer is its own picture, not the holder's inner one.
      if (c.holder) c.surface = dynamic_cast<ImageSurface*>(surface);
      return c;
    }
    case kKindTextureLayer:
      // The texture is refreshed from the picture the holder keeps.
      return FromHolder(dynamic_cast<SurfaceLayer*>(surface));
    default:
      return {};
  }
}

uint64_t ThisThreadKey() {
  return std::hash<std::thread::id>{}(std::this_thread::get_id());
}

}  // namespace

ImageSurface* GetObjectSurface(const ScriptHandles& handles, uint32_t handle) {
  return Resolve(handles, handle).surface;
}

CompositionLayer* GetObjectContainer(const ScriptHandles& handles, uint32_t handle) {
  return Resolve(handles, handle).container;
}

SurfaceLayer* GetObjectImageHolder(const ScriptHandles& handles, uint32_t handle) {
  return Resolve(handles, handle).holder;
}

SurfaceLayer* GetObjectImageHolderAndContainer(const ScriptHandles& handles, uint32_t handle,
                                               CompositionLayer** container) {
  Cast c = Resolve(handles, handle);
  if (container) *container = c.holder ? c.container : nullptr;
  return c.holder;
}

uint32_t TaskHandleOf(ScriptHost& host, TimedTask* task) {
  if (!task) return 0;
  host.Extension<BoundTaskSweeper>();
  return host.Handles().HandleOf(ScriptObjectType::kTimedTask, task);
}

TimedTask* GetScriptTask(const ScriptHandles& handles, uint32_t handle) {
  auto* task = handles.Get<TimedTask>(handle, ScriptObjectType::kTimedTask);
  // The entry goes when the task is deleted; until then a removed task is only finished.
  if (!task || task->IsFinished()) return nullptr;
  return task;
}

TimerService* EffectTimers() {
  return Global<TimerService>::Get();
}

BoundTaskSweeper::BoundTaskSweeper(ScriptHost&) : threadKey_(ThisThreadKey()) {
  AddGoneListener(&BoundTaskSweeper::OnGone, this);
}

BoundTaskSweeper::~BoundTaskSweeper() {
  RemoveGoneListener(&BoundTaskSweeper::OnGone, this);
}

void BoundTaskSweeper::OnGone(const void* object, void* self) {
  auto* sweeper = static_cast<BoundTaskSweeper*>(self);
  if (ThisThreadKey() != sweeper->threadKey_) return;
  if (TimerService* timers = EffectTimers()) timers->DropBoundTo(object);
}

}  // namespace bw
