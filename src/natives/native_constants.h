// Argument words and answers that several native families share.
#pragma once

#include <cstdint>

namespace bw {

// An optional group of argument words left out or switched off (the defaults taken): a 16-bit
// switch word of 65535, or a whole signed word of -1 where the natives read it so.
constexpr uint32_t kDefaultsSwitch = 65535;
constexpr int32_t kDefaultsWord = -1;

// A surface native's object without a picture. The families answer it differently: the GUI part
// natives -1, the object-list ones 1, the image ones (no image to draw on) -2.
constexpr int32_t kPartNoSurface = -1;
constexpr int32_t kListNoSurface = 1;
constexpr int32_t kImageNoSurface = -2;

}  // namespace bw
