// The keywords built into the engine, registered in two steps: the application's own while it
// starts, and the script host's once the host exists.
#pragma once

#include "effects/effect_registries.h"

namespace bw {

class SubtractiveRandom;

// The named transitions and the layer effects.
void RegisterApplicationKeywords(TcpPluginManager& transitions, DcpPluginManager& effects);
// The image filters, the screen overlays and the sprite effects. random is the script host's
// generator, which the quake filter and the six screen overlays draw from (null: they refuse to
// start).
void RegisterScriptHostKeywords(TcpPluginManager& transitions, DcpPluginManager& effects,
                                SubtractiveRandom* random = nullptr);

// The variadic form of a keyword's argument-array command: the scenario's scene commands call
// this one, and it hands its arguments on as words.
template <EffectArgsCommand Command>
[[nodiscard]] int CommandAdapter(ArgList args) {
  return Command(ArgWords(args));
}

}  // namespace bw
