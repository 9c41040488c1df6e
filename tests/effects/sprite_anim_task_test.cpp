// HVA sequences on a sprite, on a virtual clock: once, held, for ever, chained, caught up,
// delayed and paused; frame offsets as the signed halves of the third word.
#include "effects/sprite_anim_task.h"

#include "effects/sp_effect_rig.h"
#include "graphics/surface/hva_data.h"
#include "lib/hva/hv_writer.h"
#include "support/listed_task.h"

namespace bw {
namespace {

uint32_t Place(int16_t x, int16_t y) {
  return uint32_t(uint16_t(y)) << 16 | uint16_t(x);
}

// Three pictures 1 to 3 pixels wide; the records name them by index.
std::unique_ptr<HvaData> Data(std::vector<HvaFrame> frames, uint16_t ranges = 1) {
  tools::HvaFile file{0, 0, ranges, {}, std::move(frames), {}};
  for (uint32_t w = 1; w <= 3; ++w) {
    const tools::WgxPicture picture{24, w, 1, std::vector<uint32_t>(w, 0x123456), {}, 0, 0, {}};
    file.pictures.push_back({tools::WriteWgx(picture), 0, 0});
  }
  auto data = std::make_unique<HvaData>();
  EXPECT_EQ(data->Load(tools::WriteHva(file)), kHvaLoaded);
  return data;
}

// Tasks fall due from the clock's time when added; updates pass their own times.
class SpriteAnim : public SpriteEffectRig {
 protected:
  SpriteAnim() { RegisterBuiltinLoaders(manager); }

  // Starts a task on data (kept by the test) and answers it.
  SpriteAnimTask* Start(HvaData* data, int32_t loops, bool catchUp = false, uint32_t sequence = 0,
                        uint32_t delay = 0) {
    auto task = std::make_unique<SpriteAnimTask>();
    task->SetOffset(100, 200);
    EXPECT_EQ(task->Start(&timers, &layer, data, sequence, loops, 5, catchUp, false, false, delay),
              kSpriteAnimStarted);
    return test::HandOver(timers, std::move(task));
  }
  int32_t Width(SpriteAnimTask* task) { return task->GetSprite().GetWidth(); }

  ImageLoaderManager manager;
  ScopedGlobal<ImageLoaderManager> published{&manager};
};

TEST_F(SpriteAnim, PlaysOnceHoldsOrLoops) {
  auto data = Data({{0, 100, Place(-5, 7), 0}, {1, 100, 0, 0}, {2, 100, 0, 0}, {-1, 0, 0, 0}});
  SpriteAnimTask* once = Start(data.get(), 1);
  EXPECT_EQ(Width(once), 1);
  EXPECT_EQ(std::pair(once->GetSprite().GetX(), once->GetSprite().GetY()), std::pair(95, 207))
      << "the low half is a signed x, the high half a signed y";
  SpriteAnimTask* held = Start(data.get(), 0);
  SpriteAnimTask* endless = Start(data.get(), -1);

  timers.RunDue(1000);  // the first update only starts the clock
  timers.RunDue(1099);
  EXPECT_EQ(Width(once), 1);
  timers.RunDue(1100);
  EXPECT_EQ(Width(once), 2);
  timers.RunDue(1200);
  EXPECT_EQ(std::tuple(Width(held), timers.Count()), std::tuple(3, 3u));
  timers.RunDue(1300);
  EXPECT_EQ(timers.Count(), 2u) << "loop count 1 ends after one play";
  EXPECT_EQ(layer.GetList().Count(), 2u) << "and its sprite leaves the container";
  EXPECT_EQ(held->State(), SpriteAnimTask::kHolding);
  EXPECT_EQ(Width(held), 3) << "loop count 0 holds the last frame";
  EXPECT_EQ(Width(endless), 1) << "a negative count starts again";
}

TEST_F(SpriteAnim, ChainsGoOnWithTheNextSequenceUntilTheLast) {
  auto data = Data({{0, 10, 0, 0}, {-1, 0, 0, 0}, {1, 10, 0, 0}, {-1, 0, 0, 0}, {2, 10, 0, 0}}, 3);
  SpriteAnimTask* task = Start(data.get(), 1);
  task->SetChain(true);
  timers.RunDue(1000);
  timers.RunDue(1010);
  EXPECT_EQ(std::pair(task->Sequence(), Width(task)), std::pair(1u, 2));
  task->SetChain(true);
  timers.RunDue(1020);
  EXPECT_EQ(std::pair(task->Sequence(), Width(task)), std::pair(2u, 3));
  task->SetChain(true);
  timers.RunDue(1030);
  EXPECT_EQ(timers.Count(), 0u) << "no sequence after the last: the task ends";
}

TEST_F(SpriteAnim, CatchUpStepsByElapsedTimeAndStopsOnZeroDurations) {
  auto data = Data({{0, 100, 0, 0},
                    {1, 100, 0, 0},
                    {2, 100, 0, 0},
                    {-1, 0, 0, 0},  //
                    {0, 0, 0, 0},
                    {1, 0, 0, 0},
                    {-1, 0, 0, 0}},
                   2);
  SpriteAnimTask* slow = Start(data.get(), -1, false);
  SpriteAnimTask* fast = Start(data.get(), -1, true);
  SpriteAnimTask* zero = Start(data.get(), -1, true, 1);
  timers.RunDue(1000);
  timers.RunDue(1250);
  EXPECT_EQ(Width(slow), 2) << "one step per update without catch-up";
  EXPECT_EQ(Width(fast), 3) << "two whole frames passed";
  timers.RunDue(1300);
  EXPECT_EQ(Width(fast), 1) << "the remainder was kept: the third frame ended at 1300";
  EXPECT_EQ(zero->State(), SpriteAnimTask::kRunning) << "zero durations end the catch-up";
}

}  // namespace
}  // namespace bw
