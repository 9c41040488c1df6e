// Point texts as scripts hand them to the move, size and rotate-and-zoom paths: each task reads
// the text, starts on a sprite (or the move also on a render item) and is stepped through its
// path, past its end and with a steep easing. Nothing may crash or read outside the points.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <type_traits>

#include "common/global.h"
#include "effects/path_tasks.h"
#include "graphics/device/render_item.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "host/clock.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Sizes and zooms stay small enough that the sprite's work surface is quick to make: large
// ones are the surface's concern, not the parser's.
constexpr double kLargestSide = 256;
constexpr double kLargestZoom = 8;

// Reads the text into the task and, when it takes it, runs the task on the target to its end.
template <typename Task, typename Target>
void Run(std::unique_ptr<Task> task, const std::string& text, Target* target,
         bw::host::VirtualClock& clock, double firstLimit = 0, double secondLimit = 0) {
  const int read = task->SetPathText(text.c_str());
  Check(read == bw::kPathTaskDone || read == bw::kPathTaskRefused);
  if (read != bw::kPathTaskDone) return;
  Check(task->PointCount() >= 2);
  for (size_t i = 1; i < task->PointCount(); ++i) {
    if (firstLimit != 0 && std::abs(task->PointA(i)) > firstLimit) return;
    if (secondLimit != 0 && std::abs(task->PointB(i)) > secondLimit) return;
  }
  bw::TimerService timers;
  int started = bw::kPathTaskMissing;
  if constexpr (std::is_same_v<Target, bw::Sprite>) {
    started = task->StartOnSprite(&timers, target);
  } else {
    started = task->StartOnItem(&timers, target);
  }
  Check(started == bw::kPathTaskDone || started == bw::kPathTaskRefused ||
        started == bw::kPathTaskJumpedToEnd);
  if (started == bw::kPathTaskDone) {
    Check(timers.HandOver(std::move(task)) != nullptr);
    for (uint32_t ms = 1000; ms <= 1000 + 40 * 12 && timers.Count() != 0; ms += 37) {
      clock.SetMilliseconds(ms);
      timers.RunDue(0);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  static bw::host::VirtualClock clock{1000};
  static bw::TrigTables trig;
  static bw::ImageSurface picture;
  static const bool ready = [] {
    bw::Global<bw::host::ClockSource>::Set(&clock);
    bw::Global<bw::TrigTables>::Set(&trig);
    // Any input may be refused; the run goes on.
    (void)bw::SetPixelLibrary(&bw::BuiltInPixelLibrary());
    return picture.Create(16, 12, 32, bw::kImagePlain) == bw::kSurfaceDone;
  }();
  Check(ready);
  bw::Sprite sprite;
  Check(sprite.SetImage(&picture, nullptr, 3, 4) == bw::kSpriteDone);
  bw::D3DRectPrimitive item;
  // Any input may be refused; the run goes on.
  (void)item.Set(8, 8, 0x80FFFFFF, 0, 0);
  // Easing and spline vary with the text's length, so every text meets a few of them.
  const double easing = size % 3 == 0 ? 0.0 : size % 3 == 1 ? 2.5 : -1000.0;
  const bool spline = size % 2 == 0;
  clock.SetMilliseconds(1000);
  Run(std::make_unique<bw::MovePathTask>(40, size % 5, true, easing, bw::kPathMoveTarget, spline,
                                         false, 1),
      text, &sprite, clock);
  Run(std::make_unique<bw::MovePathTask>(40, 0, false, easing, bw::kPathScrollSource, spline, false,
                                         1),
      text, &sprite, clock);
  Run(std::make_unique<bw::MovePathTask>(40, 0, false, easing, bw::kPathMoveTarget, spline, false,
                                         1),
      text, &item, clock);
  Run(std::make_unique<bw::SizePathTask>(40, 0, false, easing, uint8_t(size % 3), 1, spline, true,
                                         false, 1),
      text, &sprite, clock, kLargestSide, kLargestSide);
  Run(std::make_unique<bw::RotateZoomPathTask>(size % 7 == 0 ? 0 : 40, 0, false, easing, true, true,
                                               false, 1),
      text, &sprite, clock, 0, kLargestZoom);
  return 0;
}
