// GMP screen files through the table reader, as both loaders read them.
#include <cstdint>

#include "resource/images/gmp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (bool layerOnlyAllowed : {false, true}) {
    bw::GmpFile file;
    if (bw::ParseGmp({data, size}, layerOnlyAllowed, &file) != bw::kGmpLoaded) continue;
    for (const bw::GmpEntry& e : file.entries) {
      if (e.kind != bw::kGmpLayerOnly) bw::GmpPartFailure(e.kind), bw::GmpFullStateCode(e.kind);
    }
  }
  return 0;
}
