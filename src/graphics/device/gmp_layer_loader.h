// GMP screens as display-manager pictures: the background on the owner layer and each entry a
// surface shown by a sprite. The file-reading steps are shared with the GUI's part loader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resource/images/gmp_file.h"

namespace bw {

class CompositionLayer;
class DisplayManager;
class DisplayObjectList;
class ImageSurface;
class Sprite;

// What a loader keeps of each entry: the size of one state picture and its state code.
struct GmpRecord {
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t stateCode = 0;
};

// Reads and checks the whole table; folder gets the file's folder, in which its pictures are.
[[nodiscard]] int ReadGmpTable(const char* name, bool layerOnlyAllowed, GmpFile* file,
                               std::string* folder);

// The background surface, made through the display manager; kGmpLoaded with none named.
[[nodiscard]] int LoadGmpBackground(DisplayManager* display, const GmpFile& file,
                                    const std::string& folder, bool withBackground, bool eightBit,
                                    ImageSurface** out);

// Shows a loaded background on the owner layer, redrawn at once.
void ShowGmpBackground(CompositionLayer* owner, ImageSurface* background);

class GmpLayerLoader {
 public:
  GmpLayerLoader() = default;
  GmpLayerLoader(const GmpLayerLoader&) = delete;
  GmpLayerLoader& operator=(const GmpLayerLoader&) = delete;
  ~GmpLayerLoader() { Clear(); }

  // list null: the sprites are made but listed nowhere. A failure leaves nothing made.
  [[nodiscard]] int Load(CompositionLayer* owner, DisplayManager* display, const char* name,
                         DisplayObjectList* list, uint32_t priority, bool eightBit,
                         bool withBackground);
  // Destroys what the last load made and still lives.
  void Clear();
  // A surface or sprite destroyed since the load (by a script, or with all of them) is no part
  // of the screen any more: its entry reads null, and Clear leaves it alone.
  void Forget(const void* object);

  ImageSurface* Background() const { return background_; }
  size_t Count() const { return sprites_.size(); }
  ImageSurface* GetSurface(size_t i) const { return surfaces_[i]; }
  Sprite* GetSprite(size_t i) const { return sprites_[i]; }
  const GmpRecord& GetRecord(size_t i) const { return records_[i]; }

 private:
  DisplayManager* display_ = nullptr;
  ImageSurface* background_ = nullptr;
  std::vector<ImageSurface*> surfaces_;
  std::vector<Sprite*> sprites_;
  std::vector<GmpRecord> records_;
};

}  // namespace bw
