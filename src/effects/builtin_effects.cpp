#include "effects/builtin_effects.h"

#include "effects/bg_movie_effect.h"
#include "effects/named_transition_effects.h"
#include "effects/sp_cfade_effect.h"
#include "effects/sp_change_effect.h"
#include "effects/sp_fade_effect.h"
#include "effects/sp_gfade_effect.h"
#include "effects/sp_loop_effect.h"
#include "effects/sp_movie_effect.h"
#include "effects/sp_panime_effect.h"
#include "effects/sp_parts_effect.h"

namespace bw {

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
  // Sprite path effect: the command's mode 0 sets the "F"/"B" priorities, the others read a path.
  effects.Register(SpPanimeEffect::Create, "sp_panime", kEffectTypeSprite,
                   SpPanimeEffect::PathCommandList, SpPanimeEffect::PathCommand, 0);
  effects.DeclareArgKinds("sp_panime", "stiii||wwwwwwwww|");
  effects.Register(BgMovieEffect::Create, "bg_movie", kEffectTypeLayer, nullptr, nullptr, 0);
  effects.DeclareArgKinds("bg_movie", "tii|||");
}

// Keywords come in this order, each once its class exists: transitions "quake", "zoomflip",
// "rotcenter", "addsub", "hblur", "ripple"; effects "quake", "noise", "sp_cfade", "sp_change",
// "sp_parts", "sp_fade", "sp_gfade", "sp_loop", "sp_movie", "paper", "light", "snow", "rain".
void RegisterScriptHostKeywords(TcpPluginManager&, DcpPluginManager& effects) {
  effects.Register(SpCfadeEffect::Create, "sp_cfade", kEffectTypeSprite, nullptr, nullptr, 0);
  effects.DeclareArgKinds("sp_cfade", "ssii|||");
  effects.Register(SpChangeEffect::Create, "sp_change", kEffectTypeSprite, nullptr, nullptr, 0);
  effects.DeclareArgKinds("sp_change", "sstiiiii||wwwwwwwww|");
  effects.Register(SpPartsEffect::Create, "sp_parts", kEffectTypeSprite, nullptr, nullptr, 0);
  effects.DeclareArgKinds("sp_parts", "t|||");
  effects.Register(SpFadeEffect::Create, "sp_fade", kEffectTypeSprite, nullptr, nullptr, 0);
  // A target command names its sprite in its third word.
  effects.DeclareArgKinds("sp_fade", "iii|iisiiiiii||");
  // Sprite effects after "sp_fade".
  effects.Register(SpGfadeEffect::Create, "sp_gfade", kEffectTypeSprite, nullptr, nullptr, 0);
  effects.DeclareArgKinds("sp_gfade", "siiit|||");
  effects.Register(SpLoopEffect::Create, "sp_loop", kEffectTypeSprite, nullptr, nullptr, 0);
  effects.DeclareArgKinds("sp_loop", "t|iii||");
  effects.Register(SpMovieEffect::Create, "sp_movie", kEffectTypeSprite, nullptr, nullptr, 0);
  effects.DeclareArgKinds("sp_movie", "t|||");
}

}  // namespace bw
