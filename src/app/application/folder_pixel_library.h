// The game folder's pixel library as published for the process: a library loaded from the folder
// is owned here. Taken back when this goes.
#pragma once

#include <memory>
#include <string>

#include "graphics/surface/pixel_library.h"

namespace bw {

class FolderPixelLibrary {
 public:
  FolderPixelLibrary() = default;
  ~FolderPixelLibrary();
  FolderPixelLibrary(const FolderPixelLibrary&) = delete;
  FolderPixelLibrary& operator=(const FolderPixelLibrary&) = delete;

  // The library the folder (a Linux path) ships, published; false when it ships none, or none
  // that could be published, and nothing is.
  [[nodiscard]] bool Bind(const std::string& folder);

 private:
  std::unique_ptr<PixelLibrary> loaded_;
  PixelLibrary* published_ = nullptr;
};

}  // namespace bw
