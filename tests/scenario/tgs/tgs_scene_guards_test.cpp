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

class SceneGuards : public ScriptedSceneWorld {
 protected:
  SceneGuards() {
    EXPECT_EQ(effects_.Register(CountedPartsEffect::Create, "sp_parts", kEffectTypeSprite, nullptr,
                                nullptr, 0),
              kRegistered);
    CountedPartsEffect::made = 0;
  }
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
