// How graphics natives turn a handle into what they work on: a surface handle whose object's
// kind is an image surface (4) is its own picture; a layer built on a surface layer (the
// software surface layer 7, the texture layer 8, the canvas 9 and the offscreen layer 10) is its
// own image holder, with its picture and its container. GUI parts own no image holder: their
// pictures are reached through the part natives. Anything else, a null, stale or mistyped
// handle among them, casts to null.
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
