#include "effects/builtin_effects.h"

#include "effects/bg_anime_effect.h"
#include "effects/bg_blur_effect.h"
#include "effects/bg_loop_effect.h"
#include "effects/bg_panime_effect.h"
#include "effects/bg_rast_effect.h"
#include "effects/bg_zoom_effect.h"
#include "effects/named_transition_effects.h"
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
      {BgZoomEffect::Create, "bg_zoom", [](ArgList a) { return BgZoomEffect::ApplyCommand(a); },
       BgZoomEffect::ApplyCommand, "iitt||wwww|liitwwww"},
      {BgRotEffect::Create, "bg_rot", nullptr, nullptr, "iiitt|||"},
      {BgBlurEffect::Create, "bg_blur", [](ArgList a) { return BgBlurEffect::ApplyCommand(a); },
       BgBlurEffect::ApplyCommand, "tiittttiitt|||liiiiiiiwwww"},
      {BgRastEffect::Create, "bg_rast", nullptr, nullptr, nullptr},
      {BgHazeEffect::Create, "bg_haze", nullptr, nullptr, "t|||"},
      {BgLoopEffect::Create, "bg_loop", nullptr, nullptr, nullptr},
      {BgCrossEffect::Create, "bg_cross", nullptr, nullptr, nullptr},
      {BgPanimeEffect::Create, "bg_panime",
       [](ArgList a) { return BgPanimeEffect::ApplyCommand(a); }, BgPanimeEffect::ApplyCommand,
       "t||ww|ltww"},
      {BgAnimeEffect::Create, "bg_anime", [](ArgList a) { return BgAnimeEffect::SetStallReset(a); },
       BgAnimeEffect::SetStallReset, nullptr},
  };
  for (const auto& layer : kLayer) {
    effects.Register(layer.factory, layer.keyword, kEffectTypeLayer, layer.command,
                     layer.argsCommand, 0);
    if (layer.argKinds) effects.DeclareArgKinds(layer.keyword, layer.argKinds);
  }
}

}  // namespace

// The layer effects follow in this order, each once its class exists: "bg_zoom", "bg_rot",
// "bg_blur", "bg_rast", "bg_haze", "bg_loop", "bg_cross", "bg_panime", "sp_panime", "bg_anime",
// "bg_movie".
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

// Keywords come in this order, each once its class exists: transitions "quake", "zoomflip",
// "rotcenter", "addsub", "hblur", "ripple"; effects "quake", "noise", "sp_cfade", "sp_change",
// "sp_parts", "sp_fade", "sp_gfade", "sp_loop", "sp_movie", "paper", "light", "snow", "rain".
void RegisterScriptHostKeywords(TcpPluginManager&, DcpPluginManager& effects) {
  effects.Register(SpFadeEffect::Create, "sp_fade", kEffectTypeSprite, nullptr, nullptr, 0);
  // A target command names its sprite in its third word.
  effects.DeclareArgKinds("sp_fade", "iii|iisiiiiii||");
}

}  // namespace bw
