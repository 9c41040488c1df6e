// The image natives: pictures worked on directly, and the numbered wipes run over them.
#pragma once

#include <cstdint>

#include "effects/transitions/wipe_transitions.h"

namespace bw {

// The eight words a wipe start passes on, from the script's words with both of its switches:
// an x of 65535 asks for the whole target (every other word 0 but a source x of 65535), and a
// source x of 65535 leaves the colour words 0.
WipeWords WipeWordsOf(const uint32_t words[8]);

}  // namespace bw
