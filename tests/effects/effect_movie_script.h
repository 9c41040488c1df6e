// A scripted movie for the movie effects: the test sets its state, its frames and its end, and
// reads back what the effect asked of it.
#pragma once

#include <string>
#include <vector>

#include "common/global.h"
#include "effects/effect_movie.h"
#include "effects/sp_effect_rig.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/image_surface.h"

namespace bw::test {

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

}  // namespace bw::test
