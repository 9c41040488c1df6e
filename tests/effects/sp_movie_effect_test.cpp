// "sp_movie" on the scripted movie: shown in the layer until it stops, the loop flag and its
// command, the layer's movie mark, and the answers without movie libraries.
#include "effects/sp_movie_effect.h"

#include "effects/effect_movie_script.h"

namespace bw {
namespace {

using SpMovie = test::MovieEffectRig;

TEST_F(SpMovie, PlaysInTheLayerUntilTheMovieStops) {
  auto* effect = new SpMovieEffect;
  ASSERT_EQ(effect->Start(&timers, &layer, {Word("OP.MPG"), 1, 30, 40, 7, 0, 0}), kSpMovieSetUp);
  EXPECT_EQ(script.name, "OP.MPG");
  EXPECT_EQ(script.state, kEffectMoviePlaying);
  ASSERT_EQ(layer.GetList().Count(), 1u);
  EXPECT_EQ(layer.GetList().Nodes().front().priority, 7u);
  EXPECT_EQ(layer.GetList().Nodes().front().object->GetX(), 30);
  EXPECT_TRUE(layer.ShowsMovie());
  At(100);
  EXPECT_EQ(timers.Count(), 1u);
  script.state = kEffectMovieStopped;
  At(200);
  EXPECT_EQ(timers.Count(), 0u) << "a stopped movie ends the effect";
  EXPECT_EQ(layer.GetList().Count(), 0u);
  EXPECT_FALSE(layer.ShowsMovie());
  EXPECT_EQ(script.calls.back(), "reset");
}

TEST_F(SpMovie, TheLoopCommandLetsALoopingMovieEnd) {
  auto* effect = new SpMovieEffect;
  ASSERT_EQ(effect->Start(&timers, &layer, {Word("OP.MPG"), 0, 0, 0, 0, 1}), kSpMovieSetUp);
  EXPECT_TRUE(script.loop);
  EXPECT_FALSE(layer.ShowsMovie()) << "not attached";
  EXPECT_EQ(effect->Command({1}), 1);
  EXPECT_EQ(effect->Command({0}), 0);
  EXPECT_FALSE(script.loop);
  script.state = -1;
  At(50);
  EXPECT_EQ(timers.Count(), 0u) << "an error ends the effect";
}

TEST_F(SpMovie, Refusals) {
  SpMovieEffect effect;
  EXPECT_EQ(effect.Start(&timers, &layer, {0}), kSpMovieBadArguments);
  EXPECT_EQ(effect.Start(&timers, nullptr, {Word("OP.MPG")}), kSpMovieNoLayer);
  script.openResult = kEffectMovieNotFound;
  EXPECT_EQ(effect.Start(&timers, &layer, {Word("OP.MPG")}), kSpMovieNotOpened);
  ScopedGlobal<EffectMovieSource> noLibraries{nullptr};
  EXPECT_EQ(effect.Start(&timers, &layer, {Word("OP.MPG")}), kSpMovieNotOpened);
  EXPECT_EQ(layer.GetList().Count(), 0u);
}

}  // namespace
}  // namespace bw
