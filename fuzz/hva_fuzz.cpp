// HVA files through the reader.
#include <cstdint>

#include "resource/images/hva_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bw::HvaData anim;
  anim.Load({data, size});
  return 0;
}
