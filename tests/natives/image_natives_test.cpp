#include "natives/image_natives.h"

#include <gtest/gtest.h>

#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "host/clock.h"
#include "native_rig.h"
#include "platform/timer_service.h"
#include "resource/files/file.h"

namespace bw {
namespace {

constexpr uint32_t kNotGiven = 65535;

TEST(WipeWords, BothSwitchesClearWhatTheyReplace) {
  const uint32_t whole[8] = {kNotGiven, 4, 5, 6, 300, 200, 100, 50};
  const WipeWords w = WipeWordsOf(whole);
  EXPECT_EQ(w.a1, 65535);
  EXPECT_EQ(w.a4, 65535) << "the whole source too";
  EXPECT_EQ(w.a2 | w.a3 | w.a5 | w.a6 | w.a7 | w.a8, 0);
  const uint32_t wholeSource[8] = {3, 4, 5, kNotGiven, 300, 200, 100, 50};
  const WipeWords s = WipeWordsOf(wholeSource);
  EXPECT_EQ(s.a1 + s.a3, 8);
  EXPECT_EQ(s.a5 | s.a6 | s.a7 | s.a8, 0) << "no colour words";
}

class WipeNatives : public testing::Test {
 protected:
  void SetUp() override {
    BuildBlendTables();
    ASSERT_EQ(target_.Create(16, 12, 32, 0), 0);
    target_.Fill(0xFFFFFFFFu, nullptr);
    targetHandle_ =
        rig_.host->Handles().HandleOf(ScriptObjectType::kSurface, static_cast<Surface*>(&target_));
  }
  // Every call gets the twelve words a start reads.
  int32_t Call(uint32_t number, std::initializer_list<uint32_t> words) {
    uint32_t args = rig_.Block(12 * 4), at = args;
    for (uint32_t w : words) rig_.Memory().Write32(at, w), at += 4;
    NativeAnswer answer = rig_.CallAt(number, args);
    EXPECT_FALSE(answer.faulted) << number;
    return answer.result;
  }

  host::VirtualClock clock_{1000};
  ScopedGlobal<host::ClockSource> clockScope_{&clock_};
  TimerService timers_;
  WipeTransitions wipes_{&timers_};
  ScopedGlobal<WipeTransitions> published_{&wipes_};
  NativeRig rig_;
  ImageSurface target_;
  uint32_t targetHandle_ = 0;
};

// The script holds a task handle: running until the wipe ends, gone once the service deletes
// it; the finish and cancel of a gone wipe touch nothing. Images without a surface, a source
// kind without a source and a missing manager start nothing.
TEST_F(WipeNatives, AWipeIsATaskHandleThatGoesWithTheWipe) {
  const uint32_t wipe = Call(386, {10, 100, targetHandle_, 0, kNotGiven, 0, 4, 0, 300, 200});
  ASSERT_NE(wipe, 0u);
  EXPECT_EQ(Call(389, {wipe}), 1);
  EXPECT_EQ(Call(387, {wipe}), kWipeDone);
  EXPECT_EQ(Call(389, {wipe}), 0) << "finished";
  const uint32_t corner = target_.GetPixel(15, 11);
  EXPECT_TRUE((corner & 0xFF) == ((corner >> 16) & 0xFF) && (corner & 0xFF) < 0xFF)
      << std::hex << corner << ": the whole target, without the colour words";
  timers_.RunDue(host::TimeGetTime() + 200);
  EXPECT_EQ(rig_.host->Handles().Get(wipe, ScriptObjectType::kTimedTask), nullptr);
  EXPECT_EQ(Call(387, {wipe}), kWipeDone);
  EXPECT_EQ(Call(388, {wipe}), kWipeDone);

  File file;
  const uint32_t notAnImage = rig_.host->Handles().HandleOf(ScriptObjectType::kFile, &file);
  EXPECT_EQ(Call(386, {0, 100, 0, 0, kNotGiven}), 0);
  EXPECT_EQ(Call(386, {0, 100, notAnImage, 0, kNotGiven}), 0);
  EXPECT_EQ(Call(386, {2, 100, targetHandle_, notAnImage, kNotGiven}), 0);
  EXPECT_EQ(Call(386, {2, 100, targetHandle_, 0, kNotGiven}), 0) << "a source kind needs one";
  EXPECT_EQ(Call(389, {targetHandle_}), 0) << "mistyped";
  EXPECT_EQ(timers_.Count(), 0u);
  ScopedGlobal<WipeTransitions> none{nullptr};
  EXPECT_EQ(Call(386, {0, 100, targetHandle_, 0, kNotGiven}), 0);
  EXPECT_EQ(Call(387, {1}), kWipeNoService);
}

// From a script: the start's answer is the handle the other natives take.
TEST_F(WipeNatives, AScriptStartsPollsAndCancelsAWipe) {
  PutScript(rig_.app.files, "RUN",
            " native native:386, start, host:0\n mov host:0, start\n"
            " native native:389, start, host:1\n native native:388, start, host:2\n ret\n"
            "start: .word 0, 500, " +
                std::to_string(targetHandle_) + ", 0, 65535, 0, 0, 0, 0, 0, 0, 0\n");
  rig_.host->Interpreter().ResetStack();
  ASSERT_EQ(rig_.host->LoadScript("RUN"), 0);
  ASSERT_EQ(rig_.host->Interpreter().Run(), kRunEnded);
  const uint32_t wipe = GuestWord(rig_.Memory(), rig_.host->HostVariableAddress(0));
  EXPECT_NE(wipe, 0u);
  EXPECT_EQ(GuestWord(rig_.Memory(), rig_.host->HostVariableAddress(1)), 1u);
  EXPECT_EQ(GuestWord(rig_.Memory(), rig_.host->HostVariableAddress(2)), uint32_t(kWipeDone));
  EXPECT_EQ(Call(389, {wipe}), 0) << "cancelled";
}

}  // namespace
}  // namespace bw
