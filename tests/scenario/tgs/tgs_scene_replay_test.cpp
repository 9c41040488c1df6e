// Label: optimised
// A scene with a background animation saved while its message waits and loaded again: the
// animation a control held comes back held where it was, and a load inside a running scene ends
// the animation the saved page does not hold. The scenarios run on the frame with the real
// "bg_anime" over cells read from a game folder.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "effects/bg_anime_effect.h"
#include "lib/bmp/bmp_builder.h"
#include "lib/hva/hv_writer.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_interpreter.h"
#include "scenario/tgs/tgs_scene_world.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/script_file_source.h"
#include "support/game_folder.h"

namespace bw::test {
namespace {

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
    tools::HvdFile hvd;
    hvd.header[0] = 8;
    hvd.header[2] = 4;
    hvd.rangeCount = 1;
    hvd.frames = {{0, 100, 0, 0}, {1, 100, 0, 0}, {-1, 0, 0, 0}};
    hvd.entries = {{"c0.bmp", 0, 0}, {"c1.bmp", 0, 0}};
    game_.dir().WriteFile("OPEN.HVD", tools::WriteHvd(hvd));
  }

  std::vector<uint8_t> Save(TgsFrame& frame) {
    std::vector<uint8_t> out;
    EXPECT_EQ(frame.SaveScene(out, false), 0);
    return out;
  }
  // The saved game loaded into frame and rebuilt, as the step native resumes it.
  void LoadInto(TgsFrame& frame, const std::vector<uint8_t>& saved) {
    ByteReader in(saved);
    ASSERT_EQ(frame.LoadScene(in), 0);
    host_.turns = 0;
    ASSERT_EQ(frame.BeginRun(true), 0);
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

  auto second = std::make_unique<TgsFrame>(&engine_, &files_, &host_);
  EXPECT_EQ(second->SetScriptFolder("SCRIPT"), 0);
  ASSERT_EQ(second->Setup("1\n"), 0);
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

}  // namespace
}  // namespace bw::test
