#include "effects/builtin_effects.h"

#include "effects/sp_fade_effect.h"

namespace bw {

// Keywords come in this order, each once its class exists: transitions "cross", "rule",
// "scroll", "wave", "mosaic", "rotaxis", "trans", "tone"; effects "bg_zoom", "bg_rot",
// "bg_blur", "bg_rast", "bg_haze", "bg_loop", "bg_cross", "bg_panime", "sp_panime", "bg_anime",
// "bg_movie".
void RegisterApplicationKeywords(TcpPluginManager&, DcpPluginManager&) {}

// Keywords come in this order, each once its class exists: transitions "quake", "zoomflip",
// "rotcenter", "addsub", "hblur", "ripple"; effects "quake", "noise", "sp_cfade", "sp_change",
// "sp_parts", "sp_fade", "sp_gfade", "sp_loop", "sp_movie", "paper", "light", "snow", "rain".
void RegisterScriptHostKeywords(TcpPluginManager&, DcpPluginManager& effects) {
  effects.Register(SpFadeEffect::Create, "sp_fade", kEffectTypeSprite, nullptr, nullptr, 0);
}

}  // namespace bw
