#include "effects/builtin_effects.h"

#include "effects/filter_image_effects.h"
#include "effects/named_transition_effects.h"
#include "effects/overlay_particles.h"
#include "effects/overlay_quake_noise.h"
#include "effects/ripple_effect.h"
#include "effects/sp_fade_effect.h"

namespace bw {

// The layer effects follow the named transitions in this order, each once its class exists:
// "bg_zoom", "bg_rot", "bg_blur", "bg_rast", "bg_haze", "bg_loop", "bg_cross", "bg_panime",
// "sp_panime", "bg_anime", "bg_movie". The five with commands ("bg_zoom", "bg_blur",
// "bg_panime", "sp_panime", "bg_anime") register CommandAdapter<C> beside their command C.
void RegisterApplicationKeywords(TcpPluginManager& transitions, DcpPluginManager&) {
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
