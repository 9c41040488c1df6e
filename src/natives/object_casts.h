// How graphics natives turn a handle into what they work on. The handle's type decides first:
// a surface handle names a picture or a layer, a GUI-part handle a part whose image holder
// stands in for it. Then the object's kind: an image surface (4) is its own picture; a software
// surface, canvas or offscreen layer (7, 9, 10) is its own picture, image holder and container;
// a texture layer (8) gives its container only. Anything else, a null, stale or mistyped handle
// among them, casts to null.
#pragma once

#include <cstdint>

#include "script/script_handles.h"
#include "script/script_host.h"

namespace bw {

class CompositionLayer;
class ImageSurface;
class Surface;
class SurfaceLayer;
class TimedTask;
class TimerService;

ImageSurface* GetObjectSurface(const ScriptHandles& handles, uint32_t handle);
CompositionLayer* GetObjectContainer(const ScriptHandles& handles, uint32_t handle);
SurfaceLayer* GetObjectImageHolder(const ScriptHandles& handles, uint32_t handle);
// The image holder, with its container through container (null when there is no holder).
SurfaceLayer* GetObjectImageHolderAndContainer(const ScriptHandles& handles, uint32_t handle,
                                               CompositionLayer** container);

// A task the script may hold: the handle names the timer service's task while it runs; a
// finished or removed task reads as gone. Handing one out also sets the host's sweeper of
// bound tasks going.
uint32_t TaskHandleOf(ScriptHost& host, TimedTask* task);
TimedTask* GetScriptTask(const ScriptHandles& handles, uint32_t handle);

// The effects' timer service (null before the application publishes it).
TimerService* EffectTimers();

// Ends the tasks of the effects' timer service that are bound to an object as it dies, before
// anything can step them onto freed memory. Made with the first task handle a script gets; it
// hears only the thread that made it, the one that runs the tasks.
class BoundTaskSweeper : public ScriptHostExtension {
 public:
  explicit BoundTaskSweeper(ScriptHost& host);
  ~BoundTaskSweeper() override;

 private:
  static void OnGone(const void* object, void* self);
  uint64_t threadKey_;
};

}  // namespace bw
