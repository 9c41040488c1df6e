#include "effects/sp_movie_effect.h"

#include <new>

#include "common/global.h"
#include "graphics/surface/composition_layer.h"
#include "platform/timer_service.h"

namespace bw {

std::unique_ptr<DisplayEffect> SpMovieEffect::Create(uint32_t) {
  return std::make_unique<SpMovieEffect>();
}

SpMovieEffect::~SpMovieEffect() {
  Close();
}

int SpMovieEffect::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  if (timers == nullptr || args.Text(0) == nullptr) return kSpMovieBadArguments;
  CompositionLayer* layer = target.Composition();
  if (layer == nullptr) return kSpMovieNoLayer;
  Close();
  EffectMovieSource* source = Global<EffectMovieSource>::Get();
  std::unique_ptr<EffectMovie> movie = source ? source->MakeMovie() : nullptr;
  if (!movie || movie->Open(args.Text(0), args.Int(2), args.Int(3)) != kEffectMovieOpened ||
      movie->Display() == nullptr) {
    return kSpMovieNotOpened;
  }
  movie->SetLoop(args.Int(5) != 0);
  attached_ = args.Int(1) != 0;
  if (layer->AttachMovie(movie->Display(), args.Uint(4)) != kAddDone) return kSpMovieRefused;
  layer_ = layer;
  movie_ = std::move(movie);
  // A movie that does not start reads as ended, which ends the effect.
  (void)movie_->Play();
  if (args.Int(6) != 0) NotifyStart();
  return kSpMovieSetUp;
}

int32_t SpMovieEffect::Update(uint32_t) {
  if (!movie_) return kSpMovieEnded;
  const int state = movie_->State();
  if (state < 0) return kSpMovieFailed;
  if (state != kEffectMovieStopped) return kTaskStepContinue;
  Close();
  return kSpMovieEnded;
}

int SpMovieEffect::Command(ArgWords args) {
  if (args.Int(0) != 0) return 1;
  if (movie_) movie_->SetLoop(false);
  return 0;
}

void SpMovieEffect::Close() {
  if (!movie_) return;
  if (layer_ != nullptr) layer_->DetachMovie(movie_->Display(), attached_);
  movie_->Reset();
  movie_.reset();
  attached_ = false;
}

void SpMovieEffect::Unbind(const void* object) {
  if (object != layer_) return;
  // The layer is going and its list lets go of the movie by itself.
  layer_ = nullptr;
}

}  // namespace bw
