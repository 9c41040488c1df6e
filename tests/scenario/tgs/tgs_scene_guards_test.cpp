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

class SceneGuards : public ScriptedSceneWorld {
 protected:
  SceneGuards() { PartsEffectSpy::Register(effects_); }
};

TEST_F(SceneGuards, AFrameEndedInAChoiceGivesTheHitAreaBack) {
  auto frame = NewFrame();
  const std::vector<std::string_view> choices = {"a", "b"};
  EXPECT_EQ(frame->BeginMessage(0), 0);
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
  ASSERT_EQ(PartsEffectSpy::made, 1);
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
  EXPECT_EQ(std::pair(PartsEffectSpy::made, PartsEffectSpy::hidden), std::pair(2, 1));
}

}  // namespace
}  // namespace bw::test
