#include "effects/builtin_effects.h"

#include "effects/bg_anime_effect.h"
#include "effects/bg_blur_effect.h"
#include "effects/bg_loop_effect.h"
#include "effects/bg_panime_effect.h"
#include "effects/bg_rast_effect.h"
#include "effects/bg_zoom_effect.h"
#include "effects/filter_image_effects.h"
#include "effects/named_transition_effects.h"
#include "effects/overlay_particles.h"
#include "effects/overlay_quake_noise.h"
#include "effects/ripple_effect.h"
#include "effects/sp_fade_effect.h"

namespace bw {

namespace {

// The layer effects on a scene layer's composition layer, in their registration order.
void RegisterLayerEffects(DcpPluginManager& effects) {
  static constexpr struct {
    EffectFactory factory;
    const char* keyword;
    EffectCommand command;
    EffectArgsCommand argsCommand;
    const char* argKinds;
  } kLayer[] = {
      {BgZoomEffect::Create, "bg_zoom", CommandAdapter<BgZoomEffect::ApplyCommand>,
       BgZoomEffect::ApplyCommand, "iitt||wwww|liitwwww"},
      {BgRotEffect::Create, "bg_rot", nullptr, nullptr, "iiitt|||"},
      {BgBlurEffect::Create, "bg_blur", CommandAdapter<BgBlurEffect::ApplyCommand>,
       BgBlurEffect::ApplyCommand, "tiittttiitt|||liiiiiiiwwww"},
      {BgRastEffect::Create, "bg_rast", nullptr, nullptr, nullptr},
      {BgHazeEffect::Create, "bg_haze", nullptr, nullptr, "t|||"},
      {BgLoopEffect::Create, "bg_loop", nullptr, nullptr, nullptr},
      {BgCrossEffect::Create, "bg_cross", nullptr, nullptr, nullptr},
      {BgPanimeEffect::Create, "bg_panime",
       CommandAdapter<BgPanimeEffect::ApplyCommand>, BgPanimeEffect::ApplyCommand,
       "t||ww|ltww"},
      {BgAnimeEffect::Create, "bg_anime", CommandAdapter<BgAnimeEffect::SetStallReset>,
       BgAnimeEffect::SetStallReset, nullptr},
  };
  for (const auto& layer : kLayer) {
    effects.Register(layer.factory, layer.keyword, kEffectTypeLayer, layer.command,
                     layer.argsCommand, 0);
    if (layer.argKinds) effects.DeclareArgKinds(layer.keyword, layer.argKinds);
  }
}

}  // namespace

// The layer effects follow the named transitions; "sp_panime" and "bg_movie" join them in that
// order (after "bg_panime" and after "bg_anime") once their classes exist.
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
    transitions.Register(named.factory, named.keyword, named.kind, 0, nullptr, nullptr);
  // Duration first; the rule's picture, the scroll's exponent text.
  transitions.DeclareArgKinds("rule", "ipi");
  transitions.DeclareArgKinds("scroll", "iiit");
  RegisterLayerEffects(effects);
}

// The sprite effects "sp_cfade", "sp_change", "sp_parts" come before "sp_fade", and "sp_gfade",
// "sp_loop", "sp_movie" after it, each once its class exists.
void RegisterScriptHostKeywords(TcpPluginManager& transitions, DcpPluginManager& effects,
                                SubtractiveRandom* random) {
  transitions.Register(QuakeFilter::Create, "quake", kFilterKindOneLayer, 0, nullptr, nullptr);
  transitions.Register(ZoomflipFilter::Create, "zoomflip", kFilterKindTwoLayerWhole, 0, nullptr,
                       nullptr);
  transitions.Register(RotcenterFilter::Create, "rotcenter", kFilterKindTwoLayerWhole, 0, nullptr,
                       nullptr);
  transitions.Register(AddsubFilter::Create, "addsub", kFilterKindTwoLayerBanded, 0, nullptr,
                       nullptr);
  transitions.Register(HblurFilter::Create, "hblur", kFilterKindTwoLayerWhole, 0, nullptr, nullptr);
  transitions.Register(RippleEffect::Create, "ripple", kFilterKindTwoLayerBanded, 0,
                       RippleEffect::Initialise, RippleEffect::Finalise);
  // The quake's end strength and the ripple's aspect and speed are texts.
  transitions.DeclareArgKinds("quake", "iiiit");
  transitions.DeclareArgKinds("ripple", "iiiitti");

  effects.Register(QuakeOverlay::Create, "quake", kEffectTypeScreen, nullptr, nullptr, 0);
  effects.Register(NoiseOverlay::Create, "noise", kEffectTypeScreen, nullptr, nullptr, 0);
  effects.Register(SpFadeEffect::Create, "sp_fade", kEffectTypeSprite, nullptr, nullptr, 0);
  // A target command names its sprite in its third word.
  effects.DeclareArgKinds("sp_fade", "iii|iisiiiiii||");
  effects.Register(PaperOverlay::Create, "paper", kEffectTypeScreen, nullptr, nullptr, 0);
  effects.Register(LightOverlay::Create, "light", kEffectTypeScreen, nullptr, nullptr, 0);
  effects.Register(SnowOverlay::Create, "snow", kEffectTypeScreen, nullptr, nullptr, 0);
  effects.Register(RainOverlay::Create, "rain", kEffectTypeScreen, nullptr, nullptr, 0);
  // The quake's end strength and the particles' speed factor are texts.
  for (const char* keyword : {"quake", "paper", "light", "snow", "rain"}) {
    effects.DeclareArgKinds(keyword, "iiiit|||");
  }

  QuakeFilter::SetRandom(random);
  ScreenOverlay::SetRandom(random);
}

}  // namespace bw
