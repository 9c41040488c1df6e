// The scenario built-in functions 0-131 in number order: 0-11 are placeholders for the
// interpreter's own control instructions (they answer 0), 12-131 unpack their argument slots and
// call the scenario player's operations.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "scenario/tgs/tgs_builtin_call.h"
#include "scenario/tgs/tgs_functions.h"

namespace bw {

// The longest text a built-in reads from a text slot; a longer one reads as absent.
inline constexpr size_t kTgsTextLimit = 4095;

// All 132 entries, index = function number.
std::span<const TgsBuiltin, kTgsBuiltinCount> TgsBuiltinTable();
// The name of function number (e.g. "BgLoad", "Jump"); "" for 15, 50-55 and numbers past the
// table.
std::string_view TgsFunctionName(uint32_t number);
// The number of the built-in (12 and up) with that name, ASCII letters in either case; -1 when
// none.
[[nodiscard]] int32_t TgsFindBuiltin(std::string_view name);

}  // namespace bw
