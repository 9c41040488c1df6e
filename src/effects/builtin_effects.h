// The keywords built into the engine, registered in two steps: the application's own while it
// starts, and the script host's once the host exists.
#pragma once

#include "effects/effect_registries.h"

namespace bw {

// The named transitions and the layer effects.
void RegisterApplicationKeywords(TcpPluginManager& transitions, DcpPluginManager& effects);
// The image filters, the screen overlays and the sprite effects.
void RegisterScriptHostKeywords(TcpPluginManager& transitions, DcpPluginManager& effects);

}  // namespace bw
