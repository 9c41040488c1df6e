// HVD files through the reader and its range queries.
#include <cstdint>

#include "resource/images/hvd_animation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bw::HvdAnimation anim;
  (void)anim.Load({data, size});  // any answer: only a crash or a leak fails
  int offset;
  for (int i = -1; i < static_cast<int>(anim.Frames().size()) + 1; ++i) {
    anim.FindRange(i, &offset);
    anim.GetRangeStart(i);
    anim.GetRangeEnd(i);
    anim.FrameData(static_cast<size_t>(i));
  }
  return 0;
}
