// HVA files through the reader, pictures decoded by the built-in loaders.
#include <cstdint>

#include "graphics/surface/hva_data.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bw::ImageLoaderManager* const manager = [] {
    auto* m = new bw::ImageLoaderManager();
    bw::RegisterBuiltinLoaders(*m);
    bw::TheImageLoaderManager::Set(m);
    return m;
  }();
  (void)manager;
  bw::HvaData anim;
  (void)anim.Load({data, size});  // any answer: only a crash or a leak fails
  return 0;
}
