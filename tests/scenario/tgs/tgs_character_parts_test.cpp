// Label: optimised
// Parts animations on standing pictures: the file each picture's name and character choose, the
// effect made over the picture, and what persists for a loaded game.
#include <gtest/gtest.h>

#include <string>

#include "scenario/tgs/tgs_effect_commands.h"
#include "scenario/tgs/tgs_scene_world.h"

namespace bw::test {
namespace {

class CharacterParts : public SceneWorld {
 protected:
  CharacterParts() { PartsEffectSpy::Register(effects_); }
};

// The stem's last letter picks the file's size band (S 20, X 80, others 40) plus the character;
// the effect lies over the picture at its place and takes the value as its hidden-blocks flag.
TEST_F(CharacterParts, EachNameAnimatesItsOwnFileOverThePicture) {
  const struct {
    const char* name;
    int32_t value;
    const char* file;
  } cases[] = {{"CH\\ANNS", 5, "SYS\\CA021.TXT"},
               {"CH\\ANNX.BMP", 0, "SYS\\CA081.TXT"},
               {"CH\\ANNM", 1, "SYS\\CA041.TXT"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(scene_->LoadSprite(0, c.name, 0, 0, false), 0);
    TgsSpriteRecord* r = scene_->SpriteRecord(0, 0, 0);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->charIndex, 1);
    const int before = PartsEffectSpy::made;
    EXPECT_EQ(scene_->AnimateCharacterParts(0, c.value, 0, 0, true), 0);
    EXPECT_EQ(PartsEffectSpy::made, before + 1);
    EXPECT_NE(r->effect, nullptr);
    EXPECT_EQ(PartsEffectSpy::file, c.file);
    EXPECT_EQ(std::pair(PartsEffectSpy::x, PartsEffectSpy::y),
              std::pair(r->sprite->GetX(), r->sprite->GetY()));
    EXPECT_LT(PartsEffectSpy::priority, int32_t(r->priority)) << "under the slot drawn over it";
    EXPECT_EQ(PartsEffectSpy::hidden, c.value != 0);
    EXPECT_EQ(std::pair(r->persistKind, r->persistArg), std::pair(2u, uint32_t(c.value)));
  }
}

// Without persist nothing is kept for a loaded game; with effects off nothing is made, but what
// persists is still kept.
TEST_F(CharacterParts, PersistKeepsTheValueAndEffectsOffMakeNothing) {
  ASSERT_EQ(scene_->LoadSprite(0, "CH\\BEN", 0, 0, false), 0);
  TgsSpriteRecord* r = scene_->SpriteRecord(0, 0, 0);
  EXPECT_EQ(scene_->AnimateCharacterParts(0, 3, 0, 0, false), 0);
  EXPECT_EQ(std::tuple(r->persistKind, PartsEffectSpy::made), std::tuple(0u, 1));
  showEffects_ = false;
  EXPECT_EQ(scene_->AnimateCharacterParts(0, 4, 0, 0, true), 0);
  EXPECT_EQ(PartsEffectSpy::made, 1);
  EXPECT_EQ(r->effect, nullptr) << "the running one was released";
  EXPECT_EQ(std::pair(r->persistKind, r->persistArg), std::pair(2u, 4u));
}

}  // namespace
}  // namespace bw::test
