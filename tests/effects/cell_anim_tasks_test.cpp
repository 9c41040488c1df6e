// Cell images and their tasks, a mouth that follows a voice, and HVA sequences on a sprite, on a
// virtual clock.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <tuple>

#include "effects/cell_anim_tasks.h"
#include "effects/cell_image.h"
#include "effects/sp_effect_rig.h"
#include "effects/sprite_anim_task.h"
#include "graphics/surface/hva_data.h"
#include "graphics/surface/sprite.h"
#include "lib/hva/hv_writer.h"
#include "sound/direct_sound_buffer.h"
#include "sound/sound_world.h"
#include "support/bg_effect_rig.h"
#include "support/listed_task.h"

namespace bw {
namespace {

constexpr uint32_t kBack = 0xFF102030;
constexpr int kCellW = 10;

uint32_t CellColour(int cell) {
  return 0xFF000000u | uint32_t(0x40 * (cell + 1)) << 16 | 0x55;
}

using test::PixelAt;

// Writes whole pixels, alpha and all.
void Paint(ImageSurface& s, int x0, int y0, int w, int h, uint32_t argb) {
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) std::memcpy(s.GetRowPointer(y) + 4 * x, &argb, 4);
}

// A strip of count cells, each kCellW x 4 of one colour; cells listed in clear are transparent.
std::unique_ptr<ImageSurface> Strip(int count, std::set<int> clear = {}) {
  auto s = std::make_unique<ImageSurface>();
  EXPECT_EQ(s->Create(count * kCellW, 4, 32, kImagePlain), kSurfaceDone);
  for (int c = 0; c < count; ++c) {
    const uint32_t colour = clear.count(c) ? 0 : CellColour(c);
    Paint(*s, c * kCellW, 0, kCellW, 4, colour);
  }
  s->SetHasAlpha(!clear.empty());
  return s;
}

// On the sprite-effect rig's clock from 1000. A task left in the service at the end is deleted
// without being stopped, so it never draws after its image and target have gone.
class CellTest : public SpriteEffectRig {
 protected:
  CellTest() {
    clock.SetMilliseconds(1000);
    (void)target.Create(64, 16, 32, kImagePlain);
    Paint(target, 0, 0, 64, 16, kBack);
  }
  CellLayout Layout(int32_t count, int32_t interval, uint8_t order = kCellOrderForward) {
    CellLayout l;
    l.cellCount = count;
    l.interval = interval;
    l.targetSurface = &target;
    l.x = 20;
    l.y = 6;
    l.orderMode = order;
    return l;
  }
  // The cell shown at the strip's place: its colour's index, -1 for the background.
  int Shown() const {
    const uint32_t v = PixelAt(target, 21, 7) | 0xFF000000u;
    for (int c = 0; c < 8; ++c) {
      if (v == CellColour(c)) return c;
    }
    EXPECT_EQ(v, kBack) << "neither a cell nor the background";
    return -1;
  }
  // A frame task on the image, listed.
  FrameAnimTask* Animate(int32_t loops, uint32_t wait) {
    auto task = std::make_unique<FrameAnimTask>();
    EXPECT_EQ(task->Setup(&timers, &image, nullptr, loops, wait, 0, false, nullptr),
              kFrameAnimSetUp);
    return test::HandOver(timers, std::move(task));
  }
  // A mouth on sound, listed.
  AmplitudeCellTask* Mouth(DirectSoundBuffer* sound) {
    auto task = std::make_unique<AmplitudeCellTask>();
    EXPECT_EQ(task->Start(&timers, &image, sound), kAmplitudeStarted);
    return test::HandOver(timers, std::move(task));
  }
  ImageSurface target;
  CellImage image;
};

TEST_F(CellTest, RefusalsAnswerTheirOwnCodesASwitchKeepsTheShapeAndSetUpCutsTheStrip) {
  // Each refusal answers its own code, and a switch takes only a picture of the strip's shape.
  auto strip = Strip(3), same = Strip(3), narrower = Strip(2);
  ImageSurface shallow;
  ASSERT_EQ(shallow.Create(3 * kCellW, 4, 8, kImagePlain), kSurfaceDone);
  Sprite bare;
  CellLayout onBare = Layout(3, 100);
  onBare.targetObject = &bare;
  const struct {
    const char* what;
    std::function<int()> call;
    int want;
  } cases[] = {
      {"switch before any strip", [&] { return image.SwitchImage(same.get()); }, kCellNoImage},
      {"load of no name", [&] { return image.Load(nullptr, Layout(3, 100), false, kNoColorKey); },
       kCellBadArgument},
      {"load every 0 ms", [&] { return image.Load("CELLS.BMP", Layout(3, 0), false, kNoColorKey); },
       kCellBadArgument},
      {"load of a missing file",
       [&] { return image.Load("NONE.BMP", Layout(3, 100), false, kNoColorKey); }, kCellLoadFailed},
      {"a target sprite without picture", [&] { return image.SetImage(strip.get(), onBare); },
       kCellTargetNoSurface},
      {"strip", [&] { return image.SetImage(strip.get(), Layout(3, 100)); }, kCellDone},
      {"switch to nothing", [&] { return image.SwitchImage(nullptr); }, kCellNoImage},
      {"switch to a narrower picture", [&] { return image.SwitchImage(narrower.get()); },
       kCellImageDiffers},
      {"switch to another depth", [&] { return image.SwitchImage(&shallow); }, kCellImageDiffers},
      {"switch to the same shape", [&] { return image.SwitchImage(same.get()); }, kCellDone},
  };
  for (const auto& c : cases) EXPECT_EQ(c.call(), c.want) << c.what;
  Paint(*same, kCellW, 0, kCellW, 4, CellColour(3));
  image.DrawCell(1, nullptr, nullptr);
  EXPECT_EQ(Shown(), 3) << "cells come from the picture switched to";

  auto wide = std::make_unique<ImageSurface>();
  (void)wide->Create(100, 4, 32, kImagePlain);
  EXPECT_EQ(image.SetImage(wide.get(), Layout(3, 50)), kCellDone);
  EXPECT_EQ(image.CellWidth(), 33) << "the remainder column is never shown";

  EXPECT_EQ(image.Setup(Layout(0, 50)), kCellBadArgument) << "no cells would divide by zero";
  EXPECT_EQ(image.Setup(Layout(3, 0)), kCellBadArgument) << "nor may the interval be 0";
  EXPECT_EQ(image.CellWidth(), 33) << "a refused set-up keeps the strip as it was";
  (void)wide->SetColorKeyRgb(1, 2, 3);
  CellLayout keyed = Layout(4, 50);
  keyed.background = kCellBackgroundBlend;
  ASSERT_EQ(image.SetImage(wide.get(), keyed), kCellDone);
  EXPECT_EQ(image.BackgroundMode(), kCellBackgroundCopy) << "a key copies whatever the flag";
  EXPECT_NE(image.Backing(), nullptr);
}

TEST_F(CellTest, CellsReplaceEachOtherOverTheKeptBackground) {
  auto strip = Strip(3, {1});
  CellLayout layout = Layout(3, 100);
  layout.background = kCellBackgroundBlend;
  ASSERT_EQ(image.SetImage(strip.get(), layout), kCellDone);
  ASSERT_EQ(image.BackgroundMode(), kCellBackgroundBlend);
  image.SaveBackground(nullptr);
  image.DrawCell(0, nullptr, nullptr);
  EXPECT_EQ(std::tuple(Shown(), PixelAt(target, 19, 6)), std::tuple(0, kBack))
      << "nothing left of the place";
  EXPECT_EQ(PixelAt(target, 30, 6), kBack) << "nothing right of the cell";
  image.DrawCell(1, nullptr, nullptr);
  EXPECT_EQ(Shown(), -1) << "a clear cell shows the background, not the cell before";
  image.DrawCell(2, nullptr, nullptr);
  EXPECT_EQ(Shown(), 2);
}

TEST_F(CellTest, ForwardCyclesHoldTheLastCellThroughTheWait) {
  auto strip = Strip(4);
  ASSERT_EQ(image.SetImage(strip.get(), Layout(4, 100)), kCellDone);
  FrameAnimTask* task = Animate(0, 250);
  const std::pair<uint32_t, int> steps[] = {{1000, 0}, {1099, 0}, {1100, 1}, {1200, 2},
                                            {1300, 3}, {1400, 3}, {1649, 3}, {1650, 0}};
  for (auto [ms, cell] : steps) {
    At(ms);
    EXPECT_EQ(task->CurrentCell(), cell) << "at " << ms;
    EXPECT_EQ(Shown(), cell) << "pixels at " << ms;
  }
  EXPECT_EQ(timers.Count(), 1u) << "loop count 0 never ends";
}

TEST_F(CellTest, BackAndForthAndLoopsEndOnTheFirstCell) {
  auto strip = Strip(4);
  ASSERT_EQ(image.SetImage(strip.get(), Layout(4, 100, kCellOrderBackAndForth)), kCellDone);
  FrameAnimTask* task = Animate(2, 0);
  std::vector<int> seen;
  for (uint32_t ms = 1000; ms < 1700; ms += 100) {
    At(ms);
    seen.push_back(task->CurrentCell());
  }
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 2, 1, 0}));
  for (uint32_t ms = 1700; ms <= 2400; ms += 100) At(ms);
  EXPECT_EQ(std::pair(timers.Count(), Shown()), std::pair(size_t{0}, 0))
      << "loop count 2 ends after the second cycle";
}

TEST_F(CellTest, PausesHoldThePlaceInTheCycle) {
  auto strip = Strip(4);
  ASSERT_EQ(image.SetImage(strip.get(), Layout(4, 100)), kCellDone);
  FrameAnimTask* task = Animate(0, 0);
  task->RequestPause();
  At(1000, 1500);
  EXPECT_EQ(task->CurrentCell(), -1) << "a pause before the first update holds the start";
  task->RequestResume();
  At(1600);
  EXPECT_EQ(task->CurrentCell(), 0) << "the animation starts from its beginning";
  task->RequestPause();
  At(1660, 3000);
  task->RequestResume();
  At(5000, 5040);
  EXPECT_EQ(task->CurrentCell(), 1) << "60 ms before the pause and 40 after";
}

// A mouth on the voice's loudness: quiet, loud, quiet, then the end.
TEST_F(CellTest, AMouthFollowsTheVoiceAndLetsGoOfASoundDestroyedUnderIt) {
  soundtest::SoundWorld world;
  std::vector<int16_t> voice(192, 0);
  for (int i = 32; i < 64; ++i) voice[i] = static_cast<int16_t>(i % 2 ? -8000 : 8000);
  world.files.Put("VOICE.PCMT", soundtest::MakePcmt(1, 8000, 16, soundtest::Bytes16(voice)));
  DirectSoundBuffer sound;
  ASSERT_EQ(sound.Load("VOICE.PCMT", kLipSyncEnvelope), kLoaded);

  auto strip = Strip(4);
  ASSERT_EQ(image.SetImage(strip.get(), Layout(4, 10)), kCellDone);
  ASSERT_EQ(sound.Play(), kSoundBufferOk);
  AmplitudeCellTask* task = Mouth(&sound);
  At(1000);
  EXPECT_EQ(task->CurrentCell(), 0) << "silence";
  world.Pull(40);
  At(1010);
  EXPECT_EQ(std::pair(task->CurrentCell(), Shown()), std::pair(3, 3))
      << "the loudest block shows the widest mouth";
  world.Pull(60);
  At(1020);
  EXPECT_EQ(task->CurrentCell(), 0) << "quiet again";
  world.Pull(200);
  At(1030);
  EXPECT_EQ(std::pair(timers.Count(), Shown()), std::pair(size_t{0}, 0)) << "the voice ended";

  // The voice looped from the sound list and destroyed under the mouth (the list deletes it):
  // the task lets it go at once and ends on its next update, showing the closed mouth, without
  // reading the freed samples.
  SoundBuffer* made = nullptr;
  ASSERT_EQ(world.device.CreateBuffer(&made, "VOICE.PCMT", kLipSyncEnvelope), kListOk);
  auto* looped = static_cast<DirectSoundBuffer*>(made);
  ASSERT_EQ(looped->PlayLoop(), kSoundBufferOk);
  Mouth(looped);
  world.Pull(40);
  At(1040);
  EXPECT_EQ(Shown(), 3);
  ASSERT_EQ(world.device.RemoveBuffer(looped), kListOk);
  At(1050);
  EXPECT_EQ(std::pair(timers.Count(), Shown()), std::pair(size_t{0}, 0))
      << "the task ended with its sound";
}

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
