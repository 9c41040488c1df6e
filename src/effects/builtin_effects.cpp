#include "effects/builtin_effects.h"

#include "effects/bg_anime_effect.h"
#include "effects/bg_blur_effect.h"
#include "effects/bg_loop_effect.h"
#include "effects/bg_movie_effect.h"
#include "effects/bg_panime_effect.h"
#include "effects/bg_rast_effect.h"
#include "effects/bg_zoom_effect.h"
#include "effects/filter_image_effects.h"
#include "effects/named_transition_effects.h"
#include "effects/overlay_particles.h"
#include "effects/overlay_quake_noise.h"
#include "effects/ripple_effect.h"
#include "effects/sp_cfade_effect.h"
#include "effects/sp_change_effect.h"
#include "effects/sp_fade_effect.h"
#include "effects/sp_gfade_effect.h"
#include "effects/sp_loop_effect.h"
#include "effects/sp_movie_effect.h"
#include "effects/sp_panime_effect.h"
#include "effects/sp_parts_effect.h"

namespace bw {

namespace {

// The layer effects (and the sprite path among them), in their registration order.
void RegisterLayerEffects(DcpPluginManager& effects) {
  static constexpr struct {
    EffectFactory factory;
    const char* keyword;
    uint8_t type;
    EffectCommand command;
    EffectArgsCommand argsCommand;
    const char* argKinds;
  } kLayer[] = {
      {BgZoomEffect::Create, "bg_zoom", kEffectTypeLayer,
       CommandAdapter<BgZoomEffect::ApplyCommand>, BgZoomEffect::ApplyCommand,
       "iitt||wwww|liitwwww"},
      {BgRotEffect::Create, "bg_rot", kEffectTypeLayer, nullptr, nullptr, "iiitt|||"},
      // The zoom form (word 0 null) and the point form; the command's zoom and angle are doubles
      // in two words each.
      {BgBlurEffect::Create, "bg_blur", kEffectTypeLayer,
       CommandAdapter<BgBlurEffect::ApplyCommand>, BgBlurEffect::ApplyCommand,
       "tiittttiitt/tiiitt|||liiiiiiwwww"},
      {BgRastEffect::Create, "bg_rast", kEffectTypeLayer, nullptr, nullptr, nullptr},
      {BgHazeEffect::Create, "bg_haze", kEffectTypeLayer, nullptr, nullptr, "t|||"},
      {BgLoopEffect::Create, "bg_loop", kEffectTypeLayer, nullptr, nullptr, nullptr},
      {BgCrossEffect::Create, "bg_cross", kEffectTypeLayer, nullptr, nullptr, nullptr},
      {BgPanimeEffect::Create, "bg_panime", kEffectTypeLayer,
       CommandAdapter<BgPanimeEffect::ApplyCommand>, BgPanimeEffect::ApplyCommand, "t||ww|ltww"},
      // The sprite path: its command's mode 0 sets the "F"/"B" priorities, the others read a path.
      {SpPanimeEffect::Create, "sp_panime", kEffectTypeSprite,
       CommandAdapter<SpPanimeEffect::PathCommand>, SpPanimeEffect::PathCommand,
       "stiii||wwwwwwwww|iii/istwwwwwwww"},
      {BgAnimeEffect::Create, "bg_anime", kEffectTypeLayer,
       CommandAdapter<BgAnimeEffect::SetStallReset>, BgAnimeEffect::SetStallReset, "at|||"},
      {BgMovieEffect::Create, "bg_movie", kEffectTypeLayer, nullptr, nullptr, "tii|||"},
  };
  for (const auto& layer : kLayer) {
    // Every built-in record names a factory and a keyword, so registering cannot fail.
    (void)effects.Register(layer.factory, layer.keyword, layer.type, layer.command,
                           layer.argsCommand, 0);
    // The keyword was registered just above.
    if (layer.argKinds) (void)effects.DeclareArgKinds(layer.keyword, layer.argKinds);
  }
}

}  // namespace

// The named transitions, then the layer effects.
void RegisterApplicationKeywords(TcpPluginManager& transitions, DcpPluginManager& effects) {
  static constexpr struct {
    FilterFactory factory;
    const char* keyword;
    uint8_t kind;
  } kNamed[] = {
      {CrossTransition::Create, "cross", kFilterKindTwoLayerBanded},
      {RuleTransition::Create, "rule", kFilterKindTwoLayerBanded},
      {ScrollTransition::Create, "scroll", kFilterKindTwoLayerBanded},
      {WaveTransition::Create, "wave", kFilterKindTwoLayerBanded},
      {MosaicTransition::Create, "mosaic", kFilterKindTwoLayerWhole},
      {RotaxisTransition::Create, "rotaxis", kFilterKindTwoLayerWhole},
      {TransTransition::Create, "trans", kFilterKindTwoLayerWhole},
      {ToneTransition::Create, "tone", kFilterKindOneLayer},
  };
  for (const auto& named : kNamed)
    (void)transitions.Register(named.factory, named.keyword, named.kind, 0, nullptr, nullptr);
  // Duration first; the rule's picture, the scroll's exponent text.
  // The keyword was registered just above.
  (void)transitions.DeclareArgKinds("rule", "ipi");
  (void)transitions.DeclareArgKinds("scroll", "iiit");
  RegisterLayerEffects(effects);
}

// The screen filters and ripple; then the screen overlays and sprite effects in their order.
void RegisterScriptHostKeywords(TcpPluginManager& transitions, DcpPluginManager& effects,
                                SubtractiveRandom* random) {
  (void)transitions.Register(QuakeFilter::Create, "quake", kFilterKindOneLayer, 0, nullptr,
                             nullptr);
  (void)transitions.Register(ZoomflipFilter::Create, "zoomflip", kFilterKindTwoLayerWhole, 0,
                             nullptr, nullptr);
  (void)transitions.Register(RotcenterFilter::Create, "rotcenter", kFilterKindTwoLayerWhole, 0,
                             nullptr, nullptr);
  (void)transitions.Register(AddsubFilter::Create, "addsub", kFilterKindTwoLayerBanded, 0, nullptr,
                             nullptr);
  (void)transitions.Register(HblurFilter::Create, "hblur", kFilterKindTwoLayerWhole, 0, nullptr,
                             nullptr);
  (void)transitions.Register(RippleEffect::Create, "ripple", kFilterKindTwoLayerBanded, 0,
                             RippleEffect::Initialise, RippleEffect::Finalise);
  // The quake's end strength and the ripple's aspect and speed are texts.
  // The keyword was registered just above.
  (void)transitions.DeclareArgKinds("quake", "iiiit");
  (void)transitions.DeclareArgKinds("ripple", "iiiitti");

  (void)effects.Register(QuakeOverlay::Create, "quake", kEffectTypeScreen, nullptr, nullptr, 0);
  (void)effects.Register(NoiseOverlay::Create, "noise", kEffectTypeScreen, nullptr, nullptr, 0);
  (void)effects.Register(SpCfadeEffect::Create, "sp_cfade", kEffectTypeSprite, nullptr, nullptr, 0);
  // The keyword was registered just above.
  (void)effects.DeclareArgKinds("sp_cfade", "ssii|||");
  (void)effects.Register(SpChangeEffect::Create, "sp_change", kEffectTypeSprite, nullptr, nullptr,
                         0);
  // The keyword was registered just above.
  (void)effects.DeclareArgKinds("sp_change", "sstiiiii||wwwwwwwww|");
  (void)effects.Register(SpPartsEffect::Create, "sp_parts", kEffectTypeSprite, nullptr, nullptr, 0);
  (void)effects.DeclareArgKinds("sp_parts", "t|||");
  (void)effects.Register(SpFadeEffect::Create, "sp_fade", kEffectTypeSprite, nullptr, nullptr, 0);
  // A target command names its sprite in its third word.
  // The keyword was registered just above.
  (void)effects.DeclareArgKinds("sp_fade", "iii|iisiiiiii||");
  (void)effects.Register(SpGfadeEffect::Create, "sp_gfade", kEffectTypeSprite, nullptr, nullptr, 0);
  (void)effects.DeclareArgKinds("sp_gfade", "siiit|||");
  (void)effects.Register(SpLoopEffect::Create, "sp_loop", kEffectTypeSprite, nullptr, nullptr, 0);
  // The keyword was registered just above.
  (void)effects.DeclareArgKinds("sp_loop", "t|iii||");
  (void)effects.Register(SpMovieEffect::Create, "sp_movie", kEffectTypeSprite, nullptr, nullptr, 0);
  (void)effects.DeclareArgKinds("sp_movie", "t|||");
  (void)effects.Register(PaperOverlay::Create, "paper", kEffectTypeScreen, nullptr, nullptr, 0);
  (void)effects.Register(LightOverlay::Create, "light", kEffectTypeScreen, nullptr, nullptr, 0);
  (void)effects.Register(SnowOverlay::Create, "snow", kEffectTypeScreen, nullptr, nullptr, 0);
  (void)effects.Register(RainOverlay::Create, "rain", kEffectTypeScreen, nullptr, nullptr, 0);
  // The quake's end strength and the particles' speed factor are texts.
  for (const char* keyword : {"quake", "paper", "light", "snow", "rain"}) {
    // The keyword was registered just above.
    (void)effects.DeclareArgKinds(keyword, "iiiit|||");
  }

  QuakeFilter::SetRandom(random);
  ScreenOverlay::SetRandom(random);
}

}  // namespace bw
