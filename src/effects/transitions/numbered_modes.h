// The patterns of the numbered transitions 0 to 86, each a routine of the dispatcher's table.
#pragma once

#include "effects/transitions/transition_dispatch.h"

namespace bw {

// The routine of a mode, null outside 0 to 86.
TransitionRoutine NumberedModeRoutine(int mode);

}  // namespace bw
