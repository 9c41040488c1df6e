#include "app/application/folder_pixel_library.h"

#include "platform/cpu_info.h"

namespace bw {

FolderPixelLibrary::~FolderPixelLibrary() {
  // Taking it back is always accepted.
  if (published_ && GetPixelLibrary() == published_) (void)SetPixelLibrary(nullptr);
}

bool FolderPixelLibrary::Bind(const std::string& folder) {
  PixelLibrary* library = BindFolderPixelLibrary(folder, &TheCpuRecord(), loaded_);
  if (!library || !SetPixelLibrary(library)) return false;
  published_ = library;
  return true;
}

}  // namespace bw
