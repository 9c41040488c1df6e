#include "natives/effect_movie_wrappers.h"

#include "common/global.h"
#include "effects/effect_movie.h"
#include "host/movie/movie_player.h"
#include "sound/movie_sprite_control.h"

namespace bw {

namespace {

class WrapperMovie final : public EffectMovie {
 public:
  int Open(const char* name, int32_t x, int32_t y) override {
    return control_.Open(name, x, y, nullptr);
  }
  int Play() override {
    played_ = true;
    return control_.Play();
  }
  int Pause() override { return control_.Pause(); }
  int Resume() override { return control_.Resume(); }
  int Stop() override {
    played_ = false;
    return control_.Stop();
  }
  int Seek(uint32_t ms) override {
    return control_.Seek(int64_t{ms} * (host::kMovieUnitsPerSecond / 1000));
  }
  int SetVolume(int32_t volume) override { return control_.SetVolume(volume); }
  void SetLoop(bool loop) override { control_.SetLoop(loop); }
  int State() override {
    int32_t state = kEffectMovieStopped;
    if (control_.GetState(&state) != host::kMovieOk) return kEffectMovieError;
    return state;
  }
  bool AtEnd() override { return played_ && State() == kEffectMovieStopped; }
  int32_t Width() const override { return control_.VideoWidth(); }
  int32_t Height() const override { return control_.VideoHeight(); }
  bool TakeFrame(ImageSurface* into) override {
    if (control_.DrawOver(into) != kDrawDone) return false;
    const int64_t shown = control_.Control() ? control_.Control()->Player().ShownFrameTime() : -1;
    if (shown == lastShown_) return false;
    lastShown_ = shown;
    return true;
  }
  DisplayObject* Display() override { return &control_; }
  void Reset() override {
    control_.Reset();
    played_ = false;
    lastShown_ = -1;
  }

 private:
  MovieSpriteControl control_;
  bool played_ = false;
  int64_t lastShown_ = -1;
};

class WrapperMovieSource final : public EffectMovieSource {
 public:
  std::unique_ptr<EffectMovie> MakeMovie() override { return std::make_unique<WrapperMovie>(); }
};

}  // namespace

void PublishWrapperMovies(bool on) {
  static WrapperMovieSource source;
  Global<EffectMovieSource>::Set(on ? &source : nullptr);
}

}  // namespace bw
