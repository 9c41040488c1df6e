// Label: optimised
// What a scenario leaves behind: a frame ended in a choice gives the window's hit area back, and a
// standing picture's persistent parts animation comes back when the saved game is loaded.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_interpreter.h"
#include "scenario/tgs/tgs_scene_world.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/script_file_source.h"

namespace bw::test {
namespace {

// A parts animation that counts its set-ups and runs until stopped.
class CountedPartsEffect final : public DisplayEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t) {
    return std::make_unique<CountedPartsEffect>();
  }
  uint32_t GetKindId() const override { return kTaskKindLayerEffect; }
  const char* GetKeyword() const override { return "sp_parts"; }
  uint8_t GetType() const override { return kEffectTypeSprite; }
  int Setup(TimerService* timers, EffectTarget, ArgWords args) override {
    hidden = args.Int(4);
    ++made;
    return timers ? 0 : 1;
  }
  int32_t Update(uint32_t) override { return kTaskStepContinue; }
  void Stop() override {}
  static inline int made = 0;
  static inline int32_t hidden = -1;
};

class SceneGuards : public SceneWorld {
 protected:
  SceneGuards() : engine_(&files_, 32u << 20) {
    EXPECT_EQ(effects_.Register(CountedPartsEffect::Create, "sp_parts", kEffectTypeSprite, nullptr,
                                nullptr, 0),
              kRegistered);
    CountedPartsEffect::made = 0;
    LoadPlainEngine(files_, engine_);
    host_.sceneHost = this;
    host_.settings.fastEffects = true;
  }
  std::unique_ptr<TgsFrame> NewFrame() {
    auto frame = std::make_unique<TgsFrame>(&engine_, &files_, &host_);
    frame->SetScriptFolder("SCRIPT");
    EXPECT_EQ(frame->Setup("1\n"), 0);
    return frame;
  }
  // A frame that ran lines until the message waits and the application quits.
  std::unique_ptr<TgsFrame> RunToTheWait(const std::string& lines) {
    auto frame = NewFrame();
    files_.Put("SCRIPT\\RUN.TOB", Tob(".tob1\n" + lines));
    EXPECT_EQ(frame->Start("RUN"), 0);
    host_.turns = 0;
    host_.quitAtTurn = 3;
    EXPECT_EQ(frame->BeginRun(false), 0);
    EXPECT_EQ(TgsRunStep(*frame), -1);
    return frame;
  }

  MemoryScriptFileSource files_;
  ScriptEngine engine_;
  FakeFrameHost host_;
};

TEST_F(SceneGuards, AFrameEndedInAChoiceGivesTheHitAreaBack) {
  auto frame = NewFrame();
  const std::vector<std::string_view> choices = {"a", "b"};
  frame->BeginMessage(0);
  ASSERT_EQ(frame->ShowChoices(choices, 0), 0);
  host_.turns = 0;
  host_.quitAtTurn = 2;
  EXPECT_EQ(frame->ChoiceWait(), -1);
  ASSERT_FALSE(host_.hitArea.empty());
  EXPECT_FALSE(host_.hitArea.back().second) << "the list had the pointer when the game quit";
  EXPECT_EQ(frame->End(), 0);
  EXPECT_TRUE(host_.hitArea.back().second);
}

TEST_F(SceneGuards, APersistentPartsAnimationComesBackWithTheLoadedGame) {
  auto first = RunToTheWait(
      "SpriteLoad 0, \"ANNS\", 0, 0, 0, 0\nSpriteCharacterParts 0, 5, 1, 0, 0\n"
      "MessageBegin 0\n\"A\"\nMessageWait\n.end\n");
  ASSERT_EQ(CountedPartsEffect::made, 1);
  std::vector<uint8_t> saved;
  ASSERT_EQ(first->SaveScene(saved, false), 0);
  first.reset();

  auto second = NewFrame();
  ByteReader in(saved);
  ASSERT_EQ(second->LoadScene(in), 0);
  host_.turns = 0;
  ASSERT_EQ(second->BeginRun(true), 0);
  const TgsSpriteRecord* r = second->Scene().SpriteRecord(0, 0, 0);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(std::pair(r->persistKind, r->persistArg), std::pair(2u, 5u));
  EXPECT_NE(r->effect, nullptr) << "the parts animation did not come back";
  EXPECT_EQ(std::pair(CountedPartsEffect::made, CountedPartsEffect::hidden), std::pair(2, 1));
}

}  // namespace
}  // namespace bw::test
