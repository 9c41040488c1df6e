// The movie effects "bg_movie" and "sp_movie" on a scripted movie.
#include <string>
#include <vector>

#include "common/global.h"
#include "effects/bg_movie_effect.h"
#include "effects/effect_movie.h"
#include "effects/sp_effect_rig.h"
#include "effects/sp_movie_effect.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/image_surface.h"

namespace bw {
namespace {

// A scripted movie for the movie effects: the test sets its state, its frames and its end, and
// reads back what the effect asked of it.
struct MovieScript {
  int openResult = kEffectMovieOpened;
  int state = kEffectMovieStopped;
  bool loop = false;
  bool atEnd = false;
  uint32_t seekMs = 0;
  uint32_t newFrame = 0;  // a frame colour waiting to be taken; 0 none
  std::vector<std::string> calls;
  std::string name;
};

class ScriptedMovie final : public EffectMovie {
 public:
  explicit ScriptedMovie(MovieScript& script) : s_(script) {
    (void)rect_.Create(8, 6, 0xFF0000FF, 0, 0);
  }
  int Open(const char* name, int32_t x, int32_t y) override {
    s_.name = name;
    rect_.SetPos(x, y);
    return s_.openResult;
  }
  int Play() override { return Call("play", kEffectMoviePlaying); }
  int Pause() override { return Call("pause", kEffectMoviePaused); }
  int Resume() override { return Call("resume", kEffectMoviePlaying); }
  int Stop() override { return Call("stop", kEffectMovieStopped); }
  int Seek(uint32_t ms) override {
    s_.seekMs = ms;
    s_.atEnd = false;
    s_.calls.push_back("seek");
    return 0;
  }
  int SetVolume(int32_t) override { return 0; }
  void SetLoop(bool loop) override { s_.loop = loop; }
  int State() override { return s_.state; }
  bool AtEnd() override { return s_.atEnd; }
  int32_t Width() const override { return 8; }
  int32_t Height() const override { return 6; }
  bool TakeFrame(ImageSurface* into) override {
    if (s_.newFrame == 0) return false;
    (void)into->Fill(s_.newFrame, nullptr);
    s_.newFrame = 0;
    return true;
  }
  DisplayObject* Display() override { return &rect_; }
  void Reset() override { s_.calls.push_back("reset"); }

 private:
  int Call(const char* what, int state) {
    s_.calls.push_back(what);
    s_.state = state;
    return 0;
  }
  MovieScript& s_;
  ColorRectObject rect_;
};

class ScriptedMovieSource final : public EffectMovieSource {
 public:
  explicit ScriptedMovieSource(MovieScript& script) : s_(script) {}
  std::unique_ptr<EffectMovie> MakeMovie() override { return std::make_unique<ScriptedMovie>(s_); }

 private:
  MovieScript& s_;
};

// The sprite effect rig with the scripted movie published.
class MovieEffectRig : public SpriteEffectRig {
 protected:
  // The effects go before the script their movies write to.
  void TearDown() override { timers.Clear(); }
  MovieScript script;
  ScriptedMovieSource source{script};
  ScopedGlobal<EffectMovieSource> published{&source};
};

class BgMovie : public MovieEffectRig {
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
  auto* effect = Started<BgMovieEffect>(&layer, {Word("OP.mpg"), 1, 1}, kBgMovieSetUp);
  ASSERT_NE(effect, nullptr) << "the extension is compared without regard to case";
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
  ASSERT_NE(effect = Started<BgMovieEffect>(&layer, {Word("OP.AVI"), 0, 0}, kBgMovieSetUp),
            nullptr);
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

using SpMovie = MovieEffectRig;

TEST_F(SpMovie, PlaysInTheLayerUntilTheMovieStopsOrLetsALoopEndAndBothEffectsRefuse) {
  auto* effect =
      Started<SpMovieEffect>(&layer, {Word("OP.MPG"), 1, 30, 40, 7, 0, 0}, kSpMovieSetUp);
  ASSERT_NE(effect, nullptr);
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
  effect = Started<SpMovieEffect>(&layer, {Word("OP.MPG"), 0, 0, 0, 0, 1}, kSpMovieSetUp);
  ASSERT_NE(effect, nullptr);
  EXPECT_TRUE(script.loop);
  EXPECT_EQ(effect->Command({0}), 0);
  EXPECT_FALSE(script.loop);
  script.state = -1;
  At(300);
  EXPECT_EQ(timers.Count(), 0u) << "an error ends the effect";

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
