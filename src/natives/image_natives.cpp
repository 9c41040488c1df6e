// The image natives. The wipes are timed tasks of the effects' timer service; a script holds
// a task handle of the host's table, which reads as gone once the service has deleted the wipe.
#include "natives/image_natives.h"

#include "common/global.h"
#include "graphics/surface/image_surface.h"
#include "natives/native_families.h"
#include "natives/object_casts.h"
#include "platform/timed_task.h"
#include "script/script_host.h"

namespace bw {

WipeWords WipeWordsOf(const uint32_t words[8]) {
  constexpr uint32_t kNotGiven = 65535;
  auto w = [&](int k) { return static_cast<int32_t>(words[k]); };
  if (words[0] == kNotGiven) return WipeWords{.a1 = w(0), .a4 = static_cast<int32_t>(kNotGiven)};
  WipeWords out{w(0), w(1), w(2), w(3), w(4), w(5), w(6), w(7)};
  if (words[3] == kNotGiven) out.a5 = out.a6 = out.a7 = out.a8 = 0;
  return out;
}

namespace {

// The picture of an image argument (an image, a layer or a part's image holder); null for 0, a
// stale handle or an object without one.
ImageSurface* ImageOf(NativeArgs& a, uint32_t k) {
  return GetObjectSurface(a.Host().Handles(), a.U32(k));
}

// The timer service's handle of the wipe a script handle names; 0 when it is gone.
uint32_t WipeHandleOf(NativeArgs& a, uint32_t k) {
  const TimedTask* task = a.Handle<TimedTask>(k, ScriptObjectType::kTimedTask);
  return task ? task->Handle() : 0;
}

// 386: (kind, duration, target, source or 0, eight words).
int32_t WipeStart(NativeArgs& a) {
  WipeTransitions* wipes = Global<WipeTransitions>::Get();
  ImageSurface* target = ImageOf(a, 2);
  ImageSurface* source = a.U32(3) ? ImageOf(a, 3) : nullptr;
  if (!wipes || !target || (a.U32(3) && !source)) return 0;
  uint32_t words[8];
  for (uint32_t k = 0; k < 8; ++k) words[k] = a.U32(4 + k);
  if (a.Faulted()) return 0;
  const uint32_t running = wipes->Start(a.I32(0), a.U32(1), target, source, WipeWordsOf(words));
  WipeTransition* wipe = wipes->Find(running);
  if (!wipe) return 0;
  return static_cast<int32_t>(
      a.Host().Handles().HandleOf(ScriptObjectType::kTimedTask, static_cast<TimedTask*>(wipe)));
}

// 387
int32_t WipeFinish(NativeArgs& a) {
  WipeTransitions* wipes = Global<WipeTransitions>::Get();
  return wipes ? wipes->Finish(WipeHandleOf(a, 0)) : kWipeNoService;
}

// 388
int32_t WipeCancel(NativeArgs& a) {
  WipeTransitions* wipes = Global<WipeTransitions>::Get();
  return wipes ? wipes->Cancel(WipeHandleOf(a, 0)) : kWipeNoService;
}

// 389: the low byte of the answer.
int32_t WipeIsRunning(NativeArgs& a) {
  WipeTransitions* wipes = Global<WipeTransitions>::Get();
  return wipes && wipes->IsRunning(WipeHandleOf(a, 0)) ? 1 : 0;
}

constexpr NativeEntry kEntries[] = {
    {386, WipeStart},
    {387, WipeFinish},
    {388, WipeCancel},
    {389, WipeIsRunning},
};

constexpr NativeRange kNumbers[] = {{317, 438}};

}  // namespace

const NativeFamily& ImageNativeFamily() {
  static const NativeFamily family{"image", kEntries, kNumbers};
  return family;
}

}  // namespace bw
