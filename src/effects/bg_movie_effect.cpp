#include "effects/bg_movie_effect.h"

#include <algorithm>
#include <new>

#include "common/global.h"
#include "graphics/surface/composition_layer.h"
#include "platform/timer_service.h"
#include "resource/packs/file_system_manager.h"
#include "sound/movie_control.h"

namespace bw {

namespace {

int SetupCodeOf(int openCode) {
  switch (openCode) {
    case kEffectMovieBadExtension:
      return kBgMovieBadExtension;
    case kEffectMovieNotFound:
      return kBgMovieNotFound;
    case kEffectMovieNoLibrary:
    case kEffectMovieBadArgument:
      return kBgMovieNoLibrary;
    default:
      return kBgMovieNoControl;
  }
}

}  // namespace

std::unique_ptr<DisplayEffect> BgMovieEffect::Create(uint32_t) {
  return std::make_unique<BgMovieEffect>();
}

BgMovieEffect::BgMovieEffect() = default;

BgMovieEffect::~BgMovieEffect() {
  StopMovie();
  if (movie_) movie_->Reset();
}

int BgMovieEffect::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  CompositionLayer* layer = target.Composition();
  const char* name = args.Text(0);
  EffectMovieSource* source = Global<EffectMovieSource>::Get();
  if (timers == nullptr || layer == nullptr || name == nullptr || source == nullptr ||
      TheFileSystemManager::Get() == nullptr) {
    return kBgMovieNoLibrary;
  }
  if (movie_) return kBgMovieOpen;
  int32_t type = 0;
  if (!MovieMediaType(name, &type)) return kBgMovieBadExtension;
  std::unique_ptr<EffectMovie> movie = source->MakeMovie();
  if (!movie) return kBgMovieNoControl;
  if (int rc = movie->Open(name, 0, 0); rc != kEffectMovieOpened) return SetupCodeOf(rc);
  auto frame = std::make_unique<ImageSurface>();
  if (frame->Create(std::max(movie->Width(), 1), std::max(movie->Height(), 1), 32, 0) != 0) {
    movie->Reset();
    return kBgMovieNoFrame;
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)frame->Fill(0xFF000000, nullptr);
  movie_ = std::move(movie);
  frame_ = std::move(frame);
  layer_ = layer;
  loop_ = args.Int(1) != 0;
  movie_->SetLoop(false);  // the effect starts the movie again itself
  // An effect that refuses it goes on as it was.
  if (args.Int(2) != 0) (void)Command({1});
  return kBgMovieSetUp;
}

int32_t BgMovieEffect::Update(uint32_t) {
  if (!movie_ || layer_ == nullptr || state_ != kEffectMoviePlaying) return kTaskStepContinue;
  // A layer without a target has nothing to redraw.
  if (movie_->TakeFrame(frame_.get())) (void)layer_->InvalidateAll();
  if (!movie_->AtEnd()) return kTaskStepContinue;
  if (loop_) {
    // A movie that refuses it plays on as it was.
    (void)movie_->Seek(0);
    (void)movie_->Play();  // one that does not start again reads as ended
  } else {
    StopMovie();
  }
  return kTaskStepContinue;
}

int BgMovieEffect::Command(ArgWords args) {
  if (!movie_ || layer_ == nullptr) return kBgMovieNothing;
  switch (args.Int(0)) {
    case 0:
      // A movie that refuses it plays on as it was.
      (void)movie_->Seek(args.Uint(1));
      return kBgMovieDone;
    case 1:
      if (!showing_) {
        layer_->GetBackground(&ownPicture_, &ownX_, &ownY_, nullptr, nullptr, nullptr);
        // A picture without pixels leaves the background as it was.
        (void)layer_->SetBackgroundImage(frame_.get(), 0, 0, true);
        showing_ = true;
      }
      (void)movie_->Play();  // one that does not start reads as ended
      state_ = kEffectMoviePlaying;
      return kBgMovieDone;
    case 2:
      if (state_ != kEffectMoviePlaying) return kBgMovieWrongState;
      // A movie that refuses it plays on as it was.
      (void)movie_->Pause();
      state_ = kEffectMoviePaused;
      return kBgMovieDone;
    case 3:
      if (state_ != kEffectMoviePaused) return kBgMovieWrongState;
      // A movie that refuses it plays on as it was.
      (void)movie_->Resume();
      state_ = kEffectMoviePlaying;
      return kBgMovieDone;
    case 4:
      StopMovie();
      return kBgMovieDone;
    case 5:
      loop_ = false;
      return kBgMovieDone;
    case 6:
      volume_ = std::clamp(args.Int(1), 0, 256);
      // A movie that refuses it plays on as it was.
      (void)movie_->SetVolume(volume_);
      return kBgMovieDone;
    default:
      return kBgMovieUnknown;
  }
}

int BgMovieEffect::Query(ArgWords) {
  return state_;
}

void BgMovieEffect::StopMovie() {
  // A movie that refuses it plays on as it was.
  if (movie_ && state_ != kEffectMovieStopped) (void)movie_->Stop();
  state_ = kEffectMovieStopped;
  Restore();
}

void BgMovieEffect::Restore() {
  if (!showing_ || layer_ == nullptr) return;
  showing_ = false;
  // A picture without pixels leaves the background as it was.
  (void)layer_->SetBackgroundImage(ownPicture_, ownX_, ownY_, true);
}

void BgMovieEffect::Unbind(const void* object) {
  if (object != layer_) return;
  showing_ = false;
  layer_ = nullptr;
}

}  // namespace bw
