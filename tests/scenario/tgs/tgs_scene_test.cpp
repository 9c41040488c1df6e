// Label: optimised
// The scene pages: standing-picture groups and their priorities, the BG table's time of day, the
// tones, copy-on-write between the pages, and names that would not fit their fields.
#include "scenario/tgs/tgs_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_scene_world.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/script_file_source.h"

namespace bw::test {
namespace {

using SceneTest = SceneWorld;

std::multiset<uint32_t> GroupPriorities(TgsScene& scene, int group) {
  std::multiset<uint32_t> out;
  const TgsSpriteGroup g = SpriteGroup(group);
  for (int32_t s = 0; s < g.count; ++s) out.insert(scene.SpriteRecord(0, s, group)->priority);
  return out;
}

TEST_F(SceneTest, GroupPrioritiesStayUniqueAndMatchTheDisplayList) {
  for (int32_t s = 0; s < 5; ++s) ASSERT_EQ(scene_->LoadSprite(s, "CH_A", 0, 0, false), 0);
  ASSERT_EQ(scene_->LoadSprite(3, "CH_B", 0, 0, true), 0);
  EXPECT_EQ(scene_->SpriteRecord(0, 3, 0)->priority, 20000u) << "toBack takes the base";
  ASSERT_EQ(scene_->SpriteToFront(0, 0, 0, true), 0);
  ASSERT_EQ(scene_->SpriteToBack(4, 0, 0, true), 0);
  ASSERT_EQ(scene_->SpriteToFront(0, 0, 0, true), 0) << "already in front: nothing changes";
  const std::multiset<uint32_t> expected{20000, 20100, 20200, 20300, 20400};
  EXPECT_EQ(GroupPriorities(*scene_, 0), expected);
  for (const auto& node : shown_.GetCompositionLayer()->GetList().Nodes()) {
    bool found = false;
    for (int32_t s = 0; s < 5; ++s) {
      const TgsSpriteRecord* r = scene_->SpriteRecord(0, s, 0);
      if (r->sprite.get() == node.object) found = node.priority == r->priority;
    }
    EXPECT_TRUE(found) << "a display object sits at its record's priority";
  }
  EXPECT_EQ(scene_->SpriteRecord(0, 0, 0)->priority, 20400u);
  EXPECT_EQ(scene_->SpriteRecord(0, 4, 0)->priority, 20000u);

  // Slots and groups: the back group has three slots and clears alone.
  EXPECT_EQ(scene_->LoadSprite(3, "CH_A", 0, 1, false), kSceneBadSlot);
  ASSERT_EQ(scene_->LoadSprite(2, "BACK", 0, 1, false), 0);
  EXPECT_EQ(scene_->SpriteRecord(0, 2, 1)->priority, 10200u);
  EXPECT_EQ(scene_->ClearSprites(0, 1), 0);
  EXPECT_EQ(scene_->SpriteRecord(0, 2, 1)->charIndex, -1);
  EXPECT_GE(scene_->SpriteRecord(0, 0, 0)->charIndex, 0) << "other groups keep their pictures";
  EXPECT_EQ(scene_->LoadSprite(2, std::nullopt, 0, 1, false), kSceneEmptySlot);
}

TEST_F(SceneTest, PlacesAndMovesByTheAnchor) {
  ASSERT_EQ(scene_->LoadSprite(0, "CH_A", 0, 0, false), 0);
  TgsSpriteRecord& r = *scene_->SpriteRecord(0, 0, 0);
  EXPECT_EQ(r.anchorX, 300);  // 400 - origin 100
  EXPECT_EQ(r.anchorY, 200);  // 600 - origin 400
  ASSERT_EQ(scene_->PlaceSprite(0, 1, false, 0, 0), 0);
  EXPECT_EQ(r.sprite->GetX(), 200 - 300);
  EXPECT_EQ(r.sprite->GetY(), 600 - 200);
  ASSERT_EQ(scene_->PlaceSprite(0, 2, true, 0, 0), 0);
  EXPECT_EQ(r.x, 300 + 800);
  ASSERT_EQ(scene_->MoveSprite(0, 50, 60, 0, 0), 0);
  EXPECT_EQ(r.x, 350);
  EXPECT_EQ(r.sprite->GetX(), 50);
  EXPECT_EQ(scene_->MoveSprite(1, 0, 0, 0, 0), kSceneNoPicture);
  EXPECT_EQ(scene_->LoadSprite(1, "MISSING", 0, 0, false), kSceneSpriteLoadFailed);
  EXPECT_EQ(scene_->SpriteRecord(0, 1, 0)->charIndex, -1) << "a failed load leaves the slot empty";
}

TEST(SceneTimeOfDay, ReadsTheBgTableSections) {
  // [A] 1 2, [B] empty (matches every B), [C] 7, and a last empty [A]-less end.
  const std::vector<int32_t> table{-1, 1, 2, -2, -3, 7, 0};
  const std::vector<int32_t> lastEmpty{-1, 5, -3, 0};
  struct Case {
    const char* name;
    const std::vector<int32_t>* table;
    uint32_t expected;
  } cases[] = {
      {"BG001A", &table, 1},     {"bg2a", &table, 1},  {"BG3A", &table, 0},
      {"SYS\\bg44b", &table, 2}, {"BG7C", &table, 2},  {"BG8C", &table, 0},
      {"BG1D", &table, 0},       {"XX1A", &table, 0},  {"BG5A", &lastEmpty, 1},
      {"BG5C", &lastEmpty, 0},   {"BG-1A", &table, 0}, {"BGA", &table, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(TimeOfDay(c.name, *c.table), c.expected) << c.name;
}

TEST(SceneTones, FollowTheirFormulas) {
  BuildBlendTables();
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  const uint32_t source = 0xFF804020;
  auto tone = [](int m, int a, int c) { return std::clamp((c * m >> 7) + a, 0, 255); };
  auto toned = [&](int mr, int mg, int mb, int ar, int ag, int ab) {
    return 0xFF000000u | uint32_t(tone(mr, ar, 0x80)) << 16 | uint32_t(tone(mg, ag, 0x40)) << 8 |
           uint32_t(tone(mb, ab, 0x20));
  };
  struct Case {
    uint8_t tone;
    uint32_t expected;
  } cases[] = {
      {3, 0xFF7FBFDF}, {5, toned(132, 132, 126, 8, 8, -9)}, {6, toned(125, 120, 131, -13, 2, 0)}};
  for (const Case& c : cases) {
    ImageSurface s;
    s.Create(4, 4, 32, kImagePlain);
    s.Fill(source, nullptr);
    ASSERT_TRUE(ApplyTone(s, c.tone));
    uint32_t v;
    std::memcpy(&v, s.GetRowPointer(1) + 4, 4);
    EXPECT_EQ(v, c.expected) << "tone " << int(c.tone);
  }
}

TEST_F(SceneTest, RepeatedInvertUndoesItselfAndOtherTonesConflict) {
  ASSERT_EQ(scene_->LoadBackground("BG1A", 0), 0);
  TgsBackgroundRecord& bg = scene_->Background(0);
  const uint32_t before = Pixel(*bg.picture, 5, 5);
  ASSERT_EQ(scene_->SetBackgroundTone(3, false, false, false, 0), 0);
  EXPECT_NE(Pixel(*bg.picture, 5, 5), before);
  EXPECT_EQ(scene_->SetBackgroundTone(1, false, false, false, 0), kSceneToneConflict);
  ASSERT_EQ(scene_->SetBackgroundTone(3, false, false, false, 0), 0);
  EXPECT_EQ(bg.tone, 0);
  EXPECT_EQ(Pixel(*bg.picture, 5, 5), before);
  EXPECT_EQ(scene_->SetBackgroundTone(7, false, false, false, 0), kSceneToneConflict);
  EXPECT_EQ(scene_->ClearBackgroundToColor(0x123456, 0), 0);
  EXPECT_EQ(scene_->SetBackgroundTone(1, false, false, false, 0), kSceneLoadFailed);
}

TEST_F(SceneTest, SameBackgroundAgainChangesNothing) {
  ASSERT_EQ(scene_->LoadBackground("BG1A", 0), 0);
  ImageSurface* picture = scene_->Background(0).picture.get();
  ASSERT_EQ(scene_->LoadBackground("bg1a", 0), 0);
  EXPECT_EQ(scene_->Background(0).picture.get(), picture);
  EXPECT_EQ(loads_["BG1A"], 1);
  ASSERT_EQ(scene_->SetBackgroundOffset(3, 4, 0), 0);
  ASSERT_EQ(scene_->LoadBackground("BG1A", 0), 0);
  EXPECT_EQ(loads_["BG1A"], 2) << "an offset in force reloads";
  EXPECT_EQ(scene_->Background(0).offsetX, 0);
  EXPECT_EQ(scene_->LoadBackground("MISSING", 0), kSceneLoadFailed);
  EXPECT_EQ(scene_->Background(0).picture, nullptr);
}

TEST_F(SceneTest, CopyOnWriteNeverChangesTheTwinsPixels) {
  ASSERT_EQ(scene_->LoadBackground("BG1A", 0), 0);
  ASSERT_EQ(scene_->LoadSprite(0, "CH_A", 0, 0, false), 0);
  ASSERT_EQ(scene_->CopyShownPageToBack(), 0);
  TgsBackgroundRecord& shown = scene_->Background(0);
  TgsSpriteRecord& shownSprite = *scene_->SpriteRecord(0, 0, 0);
  ASSERT_EQ(scene_->Background(1).picture, shown.picture) << "the copy shares the picture";
  ASSERT_EQ(scene_->SpriteRecord(1, 0, 0)->picture, shownSprite.picture);
  const uint32_t bgBefore = Pixel(*shown.picture, 1, 1);
  const uint32_t spriteBefore = Pixel(*shownSprite.picture, 1, 1);
  ASSERT_EQ(scene_->SetBackgroundTone(3, false, false, false, 1), 0);
  ASSERT_EQ(scene_->SetSpriteTone(0, 3, false, false, 1, 0), 0);
  ASSERT_EQ(scene_->SetSpriteFilter(0, 2, 1, 0), 0);
  EXPECT_EQ(Pixel(*shown.picture, 1, 1), bgBefore);
  EXPECT_EQ(Pixel(*shownSprite.picture, 1, 1), spriteBefore);
  EXPECT_NE(scene_->Background(1).picture, shown.picture);
  const TgsSpriteRecord& back = *scene_->SpriteRecord(1, 0, 0);
  ASSERT_NE(back.sprite, nullptr);
  EXPECT_EQ(back.sprite->GetSource(), back.picture.get()) << "the sprite shows the private copy";
  EXPECT_EQ(back.sprite->GetOwnerList(), &back_.GetCompositionLayer()->GetList());
}

TEST_F(SceneTest, NamesThatFillTheirFieldAreRefusedBeforeAnythingChanges) {
  ASSERT_EQ(scene_->LoadBackground("BG1A", 0), 0);
  ASSERT_EQ(scene_->LoadSprite(0, "CH_A", 0, 0, false), 0);
  const std::string full(32, 'N');
  const std::string fits(31, 'N');
  EXPECT_EQ(scene_->LoadBackground(full, 0), kSceneLoadFailed);
  EXPECT_EQ(scene_->Background(0).name, "BG1A");
  EXPECT_NE(scene_->Background(0).picture, nullptr);
  EXPECT_EQ(scene_->LoadSprite(0, full, 0, 0, false), kSceneSpriteLoadFailed);
  EXPECT_EQ(scene_->SpriteRecord(0, 0, 0)->name, "CH_A");
  EXPECT_EQ(scene_->LoadBackgroundAnime(full, 0, 0, 0), kSceneAnimeFailed);
  EXPECT_EQ(scene_->LoadBackgroundMovie(full, 0, 0), kSceneAnimeFailed);
  EXPECT_EQ(scene_->Background(0).animName, "");
  EXPECT_EQ(scene_->LoadBackground(fits, 0), 0);
  EXPECT_EQ(scene_->Background(0).name, fits);
}

// The frame hands its scene built-ins to the scene and places the face window by a picture.
TEST_F(SceneTest, FrameReachesTheSceneOfItsHost) {
  struct Host : FakeFrameHost {
    TgsSceneHost* scene = nullptr;
    TgsSceneHost* SceneHost() override { return scene; }
  } host;
  host.scene = this;
  MemoryScriptFileSource files;
  TgsFrame frame(nullptr, &files, &host);
  TgsOperations& operations = frame;
  ASSERT_EQ(operations.LoadSprite(1, "CH_A", 0, 0, false), 0);
  ASSERT_EQ(operations.PlaceSprite(1, 1, false, 0, 0), 0);
  EXPECT_EQ(shown_.GetCompositionLayer()->GetList().Count(), 1u);
  ASSERT_EQ(operations.SetFaceWindowPlace(1, 10, -20, 0), 0);
  EXPECT_EQ(frame.WindowX(), 10 + 200 - 300);
  EXPECT_EQ(frame.WindowY(), -20 + 600 - 200);
  const int32_t placedX = frame.WindowX();
  ASSERT_EQ(operations.SetFaceWindowPlace(2, 10, 10, 0), 0);
  EXPECT_EQ(frame.WindowX(), placedX) << "an empty slot places nothing";
}

}  // namespace
}  // namespace bw::test
