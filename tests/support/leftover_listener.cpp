#include "support/leftover_listener.h"

#include <iterator>

#include "common/global.h"
#include "graphics/device/direct_draw_device.h"
#include "graphics/layers/software_surface_layer.h"
#include "graphics/surface/composition_layer.h"
#include "host/input/cursor.h"
#include "host/message_queue.h"
#include "host/process/executable_memory.h"
#include "platform/mmx_flag.h"
#include "sound/movie_control.h"

namespace bw::test {

namespace {

// The process-wide switches a test may turn; each is put back after a test that left it turned.
struct Switch {
  const char* name;
  int64_t (*get)();
  void (*set)(int64_t value);
};
const Switch kSwitches[] = {
    {"MmxEnabled", [] { return int64_t{MmxEnabled()}; }, [](int64_t v) { SetMmxEnabled(v != 0); }},
    {"WideVectorsEnabled", [] { return int64_t{WideVectorsEnabled()}; },
     [](int64_t v) { SetWideVectorsEnabled(v != 0); }},
    {"ExecutableMemory::Refused", [] { return int64_t{host::ExecutableMemory::Refused()}; },
     [](int64_t v) { host::ExecutableMemory::SetRefused(v != 0); }},
    {"IsKeyboardGrabbed", [] { return int64_t{host::IsKeyboardGrabbed()}; },
     [](int64_t v) { host::SetKeyboardGrab(v != 0); }},
    {"ExclusiveModeLatched", [] { return int64_t{ExclusiveModeLatched()}; },
     [](int64_t v) { SetExclusiveModeLatched(v != 0); }},
    {"BandedRedraw", [] { return int64_t{BandedRedraw()}; },
     [](int64_t v) { SetBandedRedraw(v != 0); }},
    {"CoalesceDirty", [] { return int64_t{CoalesceDirty()}; },
     [](int64_t v) { SetCoalesceDirty(v != 0); }},
    {"LayerDcImages", [] { return int64_t{LayerDcImages()}; },
     [](int64_t v) { SetLayerDcImages(v != 0); }},
    {"MovieVolumeSetting", [] { return int64_t{MovieVolumeSetting()}; },
     [](int64_t v) { SetMovieVolumeSetting(static_cast<uint32_t>(v)); }},
};

// Takes what the test left queued on its thread, so that the next test starts with an empty queue.
void DrainQueue() {
  host::MSG msg;
  while (host::PeekMessage(&msg, host::HWND{}, 0, 0, host::PM_REMOVE)) {
  }
}

}  // namespace

LeftoverListener::Snapshot LeftoverListener::Take() {
  Snapshot now;
  for (const HeldGlobal& held : HeldGlobals()) now.globals[held.type] = held.object;
  for (const Switch& s : kSwitches) now.switches.push_back(s.get());
  const host::QueueLeftovers queues = host::LeftoverMessages();
  now.windows = queues.windows;
  now.otherThreads = queues.otherThreads;
  return now;
}

void LeftoverListener::OnTestStart(const testing::TestInfo&) {
  before_ = Take();
}

void LeftoverListener::OnTestEnd(const testing::TestInfo&) {
  const Snapshot after = Take();
  for (const auto& [type, object] : after.globals) {
    auto was = before_.globals.find(type);
    const void* before = was == before_.globals.end() ? nullptr : was->second;
    // A registry cleared here held what an earlier test left: that test was told.
    if (object != nullptr && object != before) {
      ADD_FAILURE() << "the test left Global<" << type << "> holding " << object;
    }
  }
  for (size_t i = 0; i < std::size(kSwitches); ++i) {
    if (after.switches[i] == before_.switches[i]) continue;
    ADD_FAILURE() << "the test left " << kSwitches[i].name << " at " << after.switches[i]
                  << ", not " << before_.switches[i];
    kSwitches[i].set(before_.switches[i]);
  }
  if (after.windows != before_.windows) {
    ADD_FAILURE() << "the test left " << after.windows << " windows (" << before_.windows
                  << " when it began)";
  }
  if (after.otherThreads != before_.otherThreads) {
    ADD_FAILURE() << "the test left " << after.otherThreads
                  << " other threads with a message queue (" << before_.otherThreads
                  << " when it began)";
  }
  const host::QueueLeftovers queue = host::LeftoverMessages();
  if (queue.posted != 0 || queue.quitPending) {
    ADD_FAILURE() << "the test left " << queue.posted << " posted messages"
                  << (queue.quitPending ? " and a quit" : "") << " in its thread's queue";
    DrainQueue();
  }
}

}  // namespace bw::test
