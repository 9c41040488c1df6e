// Label: optimised
// The scene pages: standing-picture groups and their priorities, the BG table's time of day, the
// tones, copy-on-write between the pages, and names that would not fit their fields. The scene
// saved and loaded: its block byte for byte, the rebuild, and what comes back on the frame: a
// background animation a control held comes back held where it was, a load inside a running
// scene ends the animation the saved page does not hold, a standing picture's persistent parts
// animation returns, and a frame ended in a choice gives the window's hit area back.
#include "scenario/tgs/tgs_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "effects/bg_anime_effect.h"
#include "lib/bmp/bmp_builder.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "scenario/message/text_history_log.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_scene_state.h"
#include "scenario/tgs/tgs_scene_world.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/script_file_source.h"
#include "support/cell_animation.h"
#include "support/fuzz_seeds.h"
#include "support/game_folder.h"

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
  EXPECT_EQ(std::tuple(r.sprite->GetX(), r.sprite->GetY()), std::tuple(200 - 300, 600 - 200));
  ASSERT_EQ(scene_->PlaceSprite(0, 2, true, 0, 0), 0);
  EXPECT_EQ(r.x, 300 + 800);
  ASSERT_EQ(scene_->MoveSprite(0, 50, 60, 0, 0), 0);
  EXPECT_EQ(std::tuple(r.x, r.sprite->GetX()), std::tuple(350, 50));
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

TEST_F(SceneTest, RepeatedInvertUndoesItselfAndOtherTonesConflict) {
  ASSERT_EQ(scene_->LoadBackground("BG1A", 0), 0);
  TgsBackgroundRecord& bg = scene_->Background(0);
  const uint32_t before = PixelAt(*bg.picture, 5, 5);
  ASSERT_EQ(scene_->SetBackgroundTone(3, false, false, false, 0), 0);
  EXPECT_EQ(PixelAt(*bg.picture, 5, 5), before ^ 0xFFFFFFu) << "the colours inverted";
  EXPECT_EQ(scene_->SetBackgroundTone(1, false, false, false, 0), kSceneToneConflict);
  ASSERT_EQ(scene_->SetBackgroundTone(3, false, false, false, 0), 0);
  EXPECT_EQ(std::tuple(bg.tone, PixelAt(*bg.picture, 5, 5)), std::tuple(0, before));
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
  const uint32_t bgBefore = PixelAt(*shown.picture, 1, 1);
  const uint32_t spriteBefore = PixelAt(*shownSprite.picture, 1, 1);
  ASSERT_EQ(scene_->SetBackgroundTone(3, false, false, false, 1), 0);
  ASSERT_EQ(scene_->SetSpriteTone(0, 3, false, false, 1, 0), 0);
  ASSERT_EQ(scene_->SetSpriteFilter(0, 2, 1, 0), 0);
  EXPECT_EQ(PixelAt(*shown.picture, 1, 1), bgBefore);
  EXPECT_EQ(PixelAt(*shownSprite.picture, 1, 1), spriteBefore);
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
  FakeFrameHost host;
  host.sceneHost = this;
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

// The scene block of save data: written and read back byte for byte, every short or bad block
// refused with the frame left as it was, and the rebuild's steps and closing fade.
// A block with something in every part (blocks hold records that do not move).
std::unique_ptr<TgsSceneBlock> FullBlock() {
  auto block = std::make_unique<TgsSceneBlock>();
  TgsSceneBlock& b = *block;
  b.messageIndex = 1;
  b.switches = {1, 0, 1, 0};
  b.quake = {1, 4, 5, 6, 1, 0};
  b.music = 3;
  b.placeX = 400;
  b.placeY = 561;
  b.shown = 1;
  b.slots[0].words = {kSlotWeather + 2, 30, 1, 0, 0, 0, 0};
  b.slots[0].name = "SYS\\SNOW";
  b.slots[2].words = {kSlotParts, 7, 0, 0, 2, 1, 0};
  b.backgrounds[0].name = "BG01";
  b.backgrounds[0].tone = 2;
  b.backgrounds[0].zoom = 1.5f;
  b.backgrounds[1].color = 0xFFFFFF;
  b.sprites[6].name = "CH\\ANN";  // characters, page 0 slot 0
  b.sprites[6].charIndex = 0;
  b.sprites[6].priority = 20000;
  b.sprites[6].scale = 0.5f;
  b.sprites[6].persistKind = 1;
  b.sprites[6].persistName = "PATH";
  b.sprites[17].name = "FX";  // front group, page 0 slot 1
  b.sprites[17].charIndex = 1;
  b.sprites[17].priority = 30100;
  b.transform[32] = 0;
  b.replay[1] = {"SE\\RAIN.OGG", 1};
  b.label = "Scene";
  b.tail.listValue = 3;
  b.tail.choices = {{0, 1, "Left"}, {0, 3, "Right"}};
  b.tail.message = std::string("Hi\0[x", 5);
  b.tail.speaker = "Ann";
  return block;
}

std::vector<uint8_t> HistoryRange() {
  TextHistoryLog log;
  log.SetCapacity(8);
  const std::string text = "line";
  EXPECT_EQ(log.AddMessage(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), 20,
                           "Ann", "V01", 0),
            0);
  std::vector<uint8_t> out;
  EXPECT_EQ(log.Save(out, 0, log.NextSerial()), 0);
  return out;
}

std::vector<uint8_t> Write(const TgsSceneBlock& b) {
  std::vector<uint8_t> out;
  WriteSceneBlock(b, out);
  EXPECT_EQ(out.size(), SceneBlockSize(b)) << "the announced size is the written size";
  return out;
}

TEST(SceneBlock, EveryTruncationIsRefused) {
  auto b = FullBlock();
  b->hasHistory = true;
  b->history = HistoryRange();
  const std::vector<uint8_t> bytes = Write(*b);
  for (size_t n = 0; n < bytes.size(); ++n) {
    ByteReader in(bytes.data(), n);
    TgsSceneBlock read;
    EXPECT_NE(ReadSceneBlock(in, read), 0) << n;
    EXPECT_EQ(in.position(), 0u) << n;
  }
}

TEST(SceneBlock, BadFieldsAreRefused) {
  const std::vector<uint8_t> good = Write(*FullBlock());
  const float nan = std::numeric_limits<float>::quiet_NaN();
  auto f32 = [](float v) {
    std::vector<uint8_t> b(4);
    std::memcpy(b.data(), &v, 4);
    return b;
  };
  const size_t sprite6 = 532 + 6 * 140, sprite17 = 532 + 17 * 140;
  auto noTail = FullBlock();
  noTail->tail = {};
  const size_t tail = SceneBlockSize(*noTail) - 5;  // an empty tail: no choices, no message
  struct Case {
    const char* what;
    size_t at;
    std::vector<uint8_t> bytes;
    int code;
  };
  const std::vector<Case> cases = {
      {"slot kind 15", 56, {15}, kSceneLoadBad},
      {"slot name fills its field", 56 + 28, std::vector<uint8_t>(48, 'A'), kSceneLoadBad},
      {"background name fills its field", 284, std::vector<uint8_t>(32, 'B'), kSceneLoadBad},
      {"background tone 7", 284 + 73, {7}, kSceneLoadBad},
      {"background zoom NaN", 284 + 104, f32(nan), kSceneLoadBad},
      {"background zoom 65", 284 + 104, f32(65), kSceneLoadBad},
      {"sprite tone 9", sprite6 + 56, {9}, kSceneLoadBad},
      {"sprite priority of another group", sprite6 + 52, {0x30, 0x75, 0, 0}, kSceneLoadBad},
      {"sprite scale -1e30", sprite6 + 68, f32(-1e30f), kSceneLoadBad},
      {"persistent name fills its field", sprite17 + 92, std::vector<uint8_t>(48, 'P'),
       kSceneLoadBad},
      {"persist kind 3", sprite17 + 84, {3}, kSceneLoadBad},
      {"window scale NaN", 3612 + 32, f32(nan), kSceneLoadBad},
      {"history flag 2", 3660, {2}, kSceneLoadBad},
      {"history that does not read", 3660, {1, 1, 0, 0, 0, 9}, kSceneLoadHistoryFailed},
      {"replay length 1", 3661, {1}, kSceneLoadBad},
      {"tail length past the end", tail - 4, {0xFF, 0xFF, 0, 0}, kSceneLoadBad},
      {"nine choices", tail, {9}, kSceneLoadBad},
      {"message of 4096 bytes", tail + 1 + 4 + 11 + 12, {0x00, 0x10, 0, 0}, kSceneLoadBad},
      {"choice text without its NUL", tail + 1 + 4 + 4 + 1, {4}, kSceneLoadBad},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + std::ptrdiff_t(c.at));
    ByteReader in(bad);
    TgsSceneBlock read;
    EXPECT_EQ(ReadSceneBlock(in, read), c.code) << c.what;
    EXPECT_EQ(in.position(), 0u) << c.what;
  }
  std::vector<uint8_t> longer = good;  // a byte the tail does not account for
  longer.push_back(0);
  longer[tail - 4] += 1;
  ByteReader in(longer);
  TgsSceneBlock read;
  EXPECT_EQ(ReadSceneBlock(in, read), kSceneLoadBad);
}

// ---- On the frame ----

class SceneStateFrame : public ::testing::Test, protected EngineFrames {
 protected:
  SceneStateFrame() { PutRun("MessageBegin 0\n\"A\"\nMessageBegin 1\n\"B\"\nMessageWait\n.end\n"); }
  std::unique_ptr<TgsFrame> NewFrame(const char* setup = nullptr) {
    auto frame = EngineFrames::NewFrame(setup);
    frame->History().SetCapacity(16);
    return frame;
  }
};

// The blocks saved here seed the fuzz target of the block reader.
TEST_F(SceneStateFrame, SaveLoadSaveGivesTheSameBytes) {
  test::FuzzSeeds seeds;
  seeds["full_block"] = Write(*FullBlock());
  host.settings.effectSoundOn = false;
  auto first = NewFrame();
  ASSERT_EQ(first->Start("RUN"), 0);
  EXPECT_EQ(first->BeginMessage(1), 0);
  first->SetPosition(uint32_t(first->CurrentScript()->GetMessageOffset(1)));
  first->Scene().Background(0).name = "BG02";
  first->Scene().ScreenSlot(1).words = {kSlotNoise, 3, 1, 0, 0, 0, 0};
  EXPECT_EQ(first->Sound().PlayEffect("SE\\LOOP.OGG", 2, 0, true), 0);
  const std::string text = "said";
  EXPECT_EQ(
      first->History().AddMessage(reinterpret_cast<const uint8_t*>(text.data()), 4, 20, "", "", 0),
      0);
  for (bool history : {false, true}) {
    const std::vector<uint8_t> saved = Save(*first, history);
    auto second = NewFrame();
    ByteReader in(saved);
    ASSERT_EQ(second->LoadScene(in), 0) << history;
    EXPECT_TRUE(in.atEnd());
    EXPECT_TRUE(second->RebuildPending());
    EXPECT_EQ(second->MessageIndex(), 1);
    EXPECT_EQ(second->Position(), uint32_t(second->CurrentScript()->GetMessageOffset(1)));
    EXPECT_EQ(Save(*second, history), saved) << history;
    seeds[history ? "scene_with_history" : "scene"] =
        std::vector<uint8_t>(saved.begin() + std::ptrdiff_t(first->GetStateSize()), saved.end());
  }
  test::CheckOrWriteFuzzSeeds("scene_block", seeds);
}

// A game saved while its first message waits, with one looping effect still looping and one
// stopped: the load brings back the loop that still played, shows the saved message once, and
// the message after it stands alone in the window; the scene keeps its name.
TEST_F(SceneStateFrame, ALoadResumesWithTheLoopsThatPlayedAndTheMessageShownOnce) {
  files.Put("SCRIPT\\TWO.TOB",
            Tob(".tob1\nSetSpeakerName \"HILL\"\nMessageBegin 0\n\"A\"\nMessageWait\n"
                "MessageBegin 1\n"
                "\"B\"\nMessageWait\n.end\n"));
  host.settings.effectSoundOn = false;
  auto first = NewFrame("1\n");
  ASSERT_EQ(first->Start("TWO"), 0);
  EXPECT_EQ(first->Sound().PlayEffect("SE\\KEPT.OGG", 0, 0, true), 0);
  EXPECT_EQ(first->Sound().PlayEffect("SE\\GONE.OGG", 1, 1, true), 0);
  // What comes back after the load is checked here, not what the stop answers.
  (void)first->Sound().StopEffect(1);
  host.quitAtTurn = 3;  // the save is taken while "A" waits
  ASSERT_EQ(first->BeginRun(false), 0);
  ASSERT_EQ(TgsRunStep(*first), -1);
  const std::vector<uint8_t> saved = Save(*first, false);

  host.quitAtTurn = -1, host.turns = 0, host.clickTurns = {2, 4};
  host.shown.clear();
  auto second = NewFrame("1\n");
  ByteReader in(saved);
  ASSERT_EQ(second->LoadScene(in), 0);
  EXPECT_EQ(second->ViewText(), "A") << "a save taken before the run goes on would lose it";
  const auto& replay = second->Sound().ReplayRecords();
  EXPECT_EQ(std::tuple(replay[0].name, replay[1].name), std::tuple("SE\\KEPT.OGG", ""));
  ASSERT_EQ(second->BeginRun(true), 0);
  EXPECT_EQ(TgsRunStep(*second), kTgsStepEnded);
  EXPECT_EQ(host.shown, (std::vector<std::string>{"|A", "|B"}));
  EXPECT_EQ(second->SceneLabel(), "HILL");
}

TEST_F(SceneStateFrame, ARefusedLoadLeavesTheFrameAsItWas) {
  auto source = NewFrame();
  ASSERT_EQ(source->Start("RUN"), 0);
  EXPECT_EQ(source->BeginMessage(0), 0);
  const std::vector<uint8_t> saved = Save(*source, true);
  auto frame = NewFrame();
  ASSERT_EQ(frame->Start("RUN"), 0);
  frame->Scene().Background(0).name = "MINE";
  const std::vector<uint8_t> before = Save(*frame, true);
  auto expectUnchanged = [&](const std::vector<uint8_t>& bytes, int code, const char* what) {
    ByteReader in(bytes);
    EXPECT_EQ(frame->LoadScene(in), code) << what;
    EXPECT_EQ(in.position(), 0u) << what;
    EXPECT_FALSE(frame->RebuildPending()) << what;
    EXPECT_EQ(Save(*frame, true), before) << what;
  };
  for (size_t n : {size_t{0}, size_t{10}, saved.size() / 2, saved.size() - 1}) {
    expectUnchanged({saved.begin(), saved.begin() + std::ptrdiff_t(n)}, n < 30 ? 1 : 4, "short");
  }
  // The block's own bad fields are the block tests'; the message index is the frame's to check.
  std::vector<uint8_t> bad = saved;
  bad[source->GetStateSize()] = 9;  // message 9 is not in the script
  expectUnchanged(bad, kSceneLoadNoMessage, "message index");
}

// ---- The rebuild ----

class RecordingRebuild : public TgsRebuildTarget {
 public:
  std::vector<std::string> steps;
  int fadeResult = 0;

  void RestoreSprite(const TgsStoredSprite& at, const TgsSpriteRecord& s) override {
    Note("sprite " + std::to_string(at.group) + "/" + std::to_string(at.page) + " " + s.name);
  }
  void RestoreBackground(int page, const TgsBackgroundRecord&) override {
    Note("background " + std::to_string(page));
  }
  void RestoreScreenSlot(int slot, const TgsScreenSlot&) override {
    Note("slot " + std::to_string(slot));
  }
  void ReplayLoopingEffects() override { Note("effects"); }
  void RestorePreviousChoice() override { Note("control 2"); }
  void RestoreScreenQuake(const std::array<int32_t, 6>&) override { Note("quake"); }
  void RestoreTail(const TgsSceneBlock&) override { Note("tail"); }
  void PlayMusic(int32_t n, uint32_t ms) override {
    Note("music " + std::to_string(n) + " " + std::to_string(ms));
  }
  void ShowMessageWindow() override { Note("window"); }
  int ClosingFade(uint32_t ms) override { return Note("fade " + std::to_string(ms)), fadeResult; }

 private:
  void Note(std::string step) { steps.push_back(std::move(step)); }
};

TEST(SceneRebuild, ClosingFadeRunsOnlyOnAStillScene) {
  // A plain picture on page 0 and nothing moving: the fade, and the music fades in with it.
  auto fades = [](const std::function<void(TgsSceneBlock&)>& change, bool fast = false) {
    auto b = std::make_unique<TgsSceneBlock>();
    b->backgrounds[0].name = "BG01";
    b->music = 2;
    change(*b);
    RecordingRebuild r;
    r.fadeResult = -1;
    const bool faded = RebuildScene(*b, r, fast, true) == -1;
    const std::string music = faded ? "music 2 1000" : "music 2 0";
    EXPECT_NE(std::find(r.steps.begin(), r.steps.end(), music), r.steps.end());
    EXPECT_EQ(r.steps.back() == "fade 500", faded);
    return faded;
  };
  EXPECT_TRUE(fades([](TgsSceneBlock&) {}));
  EXPECT_FALSE(fades([](TgsSceneBlock&) {}, true)) << "fast effects";
  EXPECT_FALSE(fades([](TgsSceneBlock& b) {
    b.sprites[6].charIndex = 0, b.sprites[6].priority = 20000, b.sprites[6].persistKind = 2;
  })) << "a persistent sprite effect";
  EXPECT_FALSE(fades([](TgsSceneBlock& b) { b.backgrounds[0].animState = 1; }));
  EXPECT_FALSE(fades([](TgsSceneBlock& b) { b.backgrounds[0].name.clear(); })) << "black";
  EXPECT_TRUE(
      fades([](TgsSceneBlock& b) { b.backgrounds[0].name.clear(), b.backgrounds[0].color = 5; }));
  EXPECT_FALSE(fades([](TgsSceneBlock& b) { b.quake[0] = 1; }));
  const std::vector<std::pair<std::array<int32_t, 7>, bool>> slots = {
      {{13, 0, 1}, false},  // snow with its first byte set
      {{13, 0, 0}, true},
      {{kSlotNoise, 3, 0}, true},
      {{kSlotPathAnime, 0}, false},
      {{kSlotPathAnime, 1}, true},
      {{kSlotQuake, 0, 0, 0, 0, 1}, false},
      {{kSlotParts, 0, 1, 0, 2}, false},  // both pages
      {{kSlotParts, 0, 1, 0, 1}, true},
      {{kSlotCross, 0, 0, 0}, false},
      {{kSlotCross, 0, 0, 1}, true},
  };
  for (const auto& [words, still] : slots) {
    EXPECT_EQ(fades([&w = words](TgsSceneBlock& b) { b.slots[1].words = w; }), still) << words[0];
  }
}

// ---- Replayed on load ----

// The scenarios run on the frame with the real "bg_anime" over cells read from a game folder.
// The picture, an animation of two cells started and held, and the message the save waits in.
constexpr char kAnimated[] =
    "BgLoad \"BG1\", 0\nBgAnime \"OPEN.HVD\", 0, 0\nBgAnimeStop 0\n"
    "MessageBegin 0\n\"A\"\nMessageWait\n.end\n";
constexpr char kStill[] = "BgLoad \"BG2\", 0\nMessageBegin 0\n\"A\"\nMessageWait\n.end\n";

std::vector<uint8_t> Cell(uint8_t red) {
  tools::BmpFields bmp;
  bmp.width = 2;
  bmp.height = 2;
  for (int row = 0; row < 2; ++row) bmp.data.insert(bmp.data.end(), {0, 0, red, 0, 0, red, 0, 0});
  return tools::BuildBmp(bmp);
}

class SceneReplay : public ScriptedSceneWorld {
 protected:
  SceneReplay() {
    RegisterBuiltinLoaders(images_);
    game_.dir().WriteFile("ANIME/c0.bmp", Cell(0x40));
    game_.dir().WriteFile("ANIME/c1.bmp", Cell(0x80));
    game_.dir().WriteFile("OPEN.HVD", test::TwoCellAnimation());
  }

  static int AnimeState(const TgsBackgroundRecord& bg) {
    return bg.animEffect ? bg.animEffect->Query({0}) : -1;
  }

  GameFolder game_;
  ImageLoaderManager images_;
  ScopedGlobal<ImageLoaderManager> publishedImages_{&images_};
};

TEST_F(SceneReplay, AHeldAnimationComesBackHeldWhereItWas) {
  auto first = RunToTheWait(kAnimated);
  const TgsBackgroundRecord& before = first->Scene().Background(0);
  ASSERT_EQ(AnimeState(before), kBgAnimePlaying);
  const std::vector<uint8_t> saved = Save(*first);
  const uint32_t state = before.animState, frame = uint32_t(before.animFrame), arg = before.animArg;
  first.reset();

  auto second = NewFrame();
  LoadInto(*second, saved);
  const TgsBackgroundRecord& after = second->Scene().Background(0);
  EXPECT_EQ(after.animName, "OPEN.HVD");
  EXPECT_EQ(AnimeState(after), kBgAnimePlaying) << "the animation came back as it was not";
  EXPECT_EQ(std::tuple(after.animState, uint32_t(after.animFrame), after.animArg),
            std::tuple(state, frame, arg));
  EXPECT_EQ(BackgroundOf(shown_), static_cast<BgAnimeEffect*>(after.animEffect)->Frame())
      << "the page does not show the animation";
}

TEST_F(SceneReplay, ALoadInsideARunEndsTheAnimationTheSavedPageLacks) {
  const std::vector<uint8_t> saved = Save(*RunToTheWait(kStill));
  auto running = RunToTheWait(kAnimated);
  ASSERT_NE(running->Scene().Background(0).animEffect, nullptr);
  LoadInto(*running, saved);
  const TgsBackgroundRecord& bg = running->Scene().Background(0);
  EXPECT_EQ(bg.animEffect, nullptr);
  EXPECT_EQ(timers_.FindById(kTaskKindBackgroundAnimation), nullptr)
      << "the running animation plays over the loaded scene";
  EXPECT_EQ(BackgroundOf(shown_), bg.picture.get());
}

class SceneGuards : public ScriptedSceneWorld {
 protected:
  SceneGuards() { PartsEffectSpy::Register(effects_); }
};

TEST_F(SceneGuards, AFrameEndedInAChoiceGivesTheHitAreaBack) {
  auto frame = NewFrame();
  const std::vector<std::string_view> choices = {"a", "b"};
  EXPECT_EQ(frame->BeginMessage(0), 0);
  ASSERT_EQ(frame->ShowChoices(choices, 0), 0);
  host.turns = 0;
  host.quitAtTurn = 2;
  EXPECT_EQ(frame->ChoiceWait(), -1);
  ASSERT_FALSE(host.hitArea.empty());
  EXPECT_FALSE(host.hitArea.back().second) << "the list had the pointer when the game quit";
  EXPECT_EQ(frame->End(), 0);
  EXPECT_TRUE(host.hitArea.back().second);
}

TEST_F(SceneGuards, APersistentPartsAnimationComesBackWithTheLoadedGame) {
  auto first = RunToTheWait(
      "SpriteLoad 0, \"ANNS\", 0, 0, 0, 0\nSpriteCharacterParts 0, 5, 1, 0, 0\n"
      "MessageBegin 0\n\"A\"\nMessageWait\n.end\n");
  ASSERT_EQ(PartsEffectSpy::made, 1);
  const std::vector<uint8_t> saved = Save(*first);
  first.reset();

  auto second = NewFrame();
  LoadInto(*second, saved);
  const TgsSpriteRecord* r = second->Scene().SpriteRecord(0, 0, 0);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(std::pair(r->persistKind, r->persistArg), std::pair(2u, 5u));
  EXPECT_NE(r->effect, nullptr) << "the parts animation did not come back";
  EXPECT_EQ(std::pair(PartsEffectSpy::made, PartsEffectSpy::hidden), std::pair(2, 1));
}

}  // namespace
}  // namespace bw::test
