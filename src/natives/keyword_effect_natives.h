// The natives that start keyword effects and filters on a script's objects and talk to them
// (218-221, 256); the render natives' table holds them at their numbers.
#pragma once

#include <cstdint>

#include "script/native_args.h"

namespace bw {

// 218: the object, the keyword, the set-up words; the effect's handle, or 0.
[[nodiscard]] int32_t EffectStart(NativeArgs& a);
// 219, 220: the effect, the command's or the query's words.
[[nodiscard]] int32_t EffectCommandA(NativeArgs& a);
[[nodiscard]] int32_t EffectCommandB(NativeArgs& a);
// 221: the keyword, the words of its argument-array command.
[[nodiscard]] int32_t EffectKeywordCommand(NativeArgs& a);
// 256: the object, the keyword, the attach mode byte, the apply flag, the set-up words.
[[nodiscard]] int32_t FilterStart(NativeArgs& a);

}  // namespace bw
