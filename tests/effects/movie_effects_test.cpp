// The movie effects on the scripted movie. "bg_movie": the frame surface as the layer's picture,
// the commands and their states, the loop at the end, and the set-up's refusals. "sp_movie": shown
// in the layer until it stops, the loop flag and its command, and the answers without movie
// libraries.
#include "effects/bg_movie_effect.h"
#include "effects/effect_movie_script.h"
#include "effects/sp_movie_effect.h"
#include "support/listed_task.h"

namespace bw {
namespace {

class BgMovie : public test::MovieEffectRig {
 protected:
  void SetUp() override {
    MovieEffectRig::SetUp();
    ASSERT_EQ(own.Create(16, 16, 32, 0), 0);
    (void)layer.SetBackgroundImage(&own, 0, 0, false);
  }
  ImageSurface* Picture() {
    ImageSurface* picture = nullptr;
    layer.GetBackground(&picture, nullptr, nullptr, nullptr, nullptr, nullptr);
    return picture;
  }
  ImageSurface own;
};

TEST_F(BgMovie, PlaysIntoTheLayerPictureLoopsAndTakesCommandsByState) {
  auto* effect = new BgMovieEffect;
  ASSERT_EQ(effect->Start(&timers, &layer, {Word("OP.mpg"), 1, 1}), kBgMovieSetUp)
      << "the extension is compared without regard to case";
  effect = test::HandOver(timers, std::unique_ptr<BgMovieEffect>(effect));
  EXPECT_EQ(effect->Query(ArgWords()), kEffectMoviePlaying);
  EXPECT_EQ(Picture(), effect->Frame());
  script.newFrame = 0xFF123456;
  At(16);
  EXPECT_EQ(test::PixelAt(*effect->Frame(), 3, 3), 0xFF123456u);
  script.atEnd = true;
  At(32);
  EXPECT_EQ(script.calls.back(), "play") << "a looping movie starts again";
  EXPECT_EQ(effect->Command({5}), kBgMovieDone);
  script.atEnd = true;
  At(48);
  EXPECT_EQ(effect->Query(ArgWords()), kEffectMovieStopped);
  EXPECT_EQ(Picture(), &own) << "a stopped movie gives the layer its own picture back";

  // The commands follow the state.
  effect = new BgMovieEffect;
  ASSERT_EQ(effect->Start(&timers, &layer, {Word("OP.AVI"), 0, 0}), kBgMovieSetUp);
  effect = test::HandOver(timers, std::unique_ptr<BgMovieEffect>(effect));
  EXPECT_EQ(effect->Command({2}), kBgMovieWrongState) << "pause while stopped";
  EXPECT_EQ(effect->Command({3}), kBgMovieWrongState);
  EXPECT_EQ(effect->Command({1}), kBgMovieDone);
  EXPECT_EQ(effect->Command({2}), kBgMovieDone);
  EXPECT_EQ(effect->Query(ArgWords()), kEffectMoviePaused);
  EXPECT_EQ(effect->Command({3}), kBgMovieDone);
  EXPECT_EQ(effect->Command({0, 1500}), kBgMovieDone);
  EXPECT_EQ(script.seekMs, 1500u);
  EXPECT_EQ(effect->Command({4}), kBgMovieDone);
  EXPECT_EQ(Picture(), &own);
}

using SpMovie = test::MovieEffectRig;

TEST_F(SpMovie, PlaysInTheLayerUntilTheMovieStopsOrLetsALoopEnd) {
  auto* effect = new SpMovieEffect;
  ASSERT_EQ(effect->Start(&timers, &layer, {Word("OP.MPG"), 1, 30, 40, 7, 0, 0}), kSpMovieSetUp);
  effect = test::HandOver(timers, std::unique_ptr<SpMovieEffect>(effect));
  EXPECT_EQ(std::tuple(script.name, script.state), std::tuple("OP.MPG", kEffectMoviePlaying));
  ASSERT_EQ(layer.GetList().Count(), 1u);
  EXPECT_EQ(layer.GetList().Nodes().front().priority, 7u);
  EXPECT_EQ(layer.GetList().Nodes().front().object->GetX(), 30);
  At(100);
  EXPECT_EQ(timers.Count(), 1u);
  script.state = kEffectMovieStopped;
  At(200);
  EXPECT_EQ(timers.Count(), 0u) << "a stopped movie ends the effect";
  EXPECT_EQ(std::tuple(layer.GetList().Count(), script.calls.back()), std::tuple(0u, "reset"));

  // The loop flag, and the command that lets a looping movie end.
  effect = new SpMovieEffect;
  ASSERT_EQ(effect->Start(&timers, &layer, {Word("OP.MPG"), 0, 0, 0, 0, 1}), kSpMovieSetUp);
  effect = test::HandOver(timers, std::unique_ptr<SpMovieEffect>(effect));
  EXPECT_TRUE(script.loop);
  EXPECT_EQ(effect->Command({0}), 0);
  EXPECT_FALSE(script.loop);
  script.state = -1;
  At(300);
  EXPECT_EQ(timers.Count(), 0u) << "an error ends the effect";
}

TEST_F(SpMovie, BothEffectsRefuseWhatTheyCannotPlay) {
  BgMovieEffect bg;
  SpMovieEffect sp;
  EXPECT_EQ(bg.Start(&timers, &layer, {Word("OP.TXT")}), kBgMovieBadExtension);
  EXPECT_EQ(sp.Start(&timers, &layer, {0}), kSpMovieBadArguments);
  EXPECT_EQ(sp.Start(&timers, nullptr, {Word("OP.MPG")}), kSpMovieNoLayer);
  script.openResult = kEffectMovieNotFound;
  EXPECT_EQ(bg.Start(&timers, &layer, {Word("OP.MPG")}), kBgMovieNotFound);
  EXPECT_EQ(bg.Command({1}), kBgMovieNothing);
  EXPECT_EQ(sp.Start(&timers, &layer, {Word("OP.MPG")}), kSpMovieNotOpened);
  ScopedGlobal<EffectMovieSource> noLibraries{nullptr};
  EXPECT_EQ(bg.Start(&timers, &layer, {Word("OP.MPG")}), kBgMovieNoLibrary);
  EXPECT_EQ(sp.Start(&timers, &layer, {Word("OP.MPG")}), kSpMovieNotOpened);
  EXPECT_EQ(layer.GetList().Count(), 0u);
}

}  // namespace
}  // namespace bw
