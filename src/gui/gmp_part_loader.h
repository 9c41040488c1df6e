// GMP screens as GUI parts: each entry a file button or a check or radio part made through the
// part manager, registered with a pointer manager once the whole screen is made.
#pragma once

#include <cstdint>
#include <thread>
#include <vector>

#include "graphics/device/gmp_layer_loader.h"

namespace bw {

class CompositionLayer;
class DisplayManager;
class ImageSurface;
class PartManager;
class PointerManager;
class UiControl;

class GmpPartLoader {
 public:
  GmpPartLoader() = default;
  GmpPartLoader(const GmpPartLoader&) = delete;
  GmpPartLoader& operator=(const GmpPartLoader&) = delete;
  ~GmpPartLoader() { Clear(); }

  // firstId 0 or more: the parts get ids counting up from it. A failure leaves nothing made,
  // listed, registered or shown.
  [[nodiscard]] int Load(CompositionLayer* owner, DisplayManager* display, PartManager* parts,
                         PointerManager* manager, const char* name, int32_t firstId,
                         int pictureFlags, bool eightBit, bool withBackground);
  // Forgets the parts (the part manager keeps them) and frees the background.
  void Clear();

  ImageSurface* Background() const { return background_; }
  size_t Count() const { return parts_.size(); }
  UiControl* GetPart(size_t i) const { return parts_[i]; }
  const GmpRecord& GetRecord(size_t i) const { return records_[i]; }

 private:
  // A part destroyed since the load (deleted alone, with its group or with all, by whoever holds
  // the part manager) is no part of the screen any more: its entry reads null. A background
  // destroyed since is not freed again. Heard only on the thread that loaded.
  static void OnGone(const void* object, void* self);
  void Listen(bool on);

  [[nodiscard]] int MakePart(PartManager* parts, const GmpEntry& entry, const std::string& path,
                             UiControl* previous, uint8_t previousKind, int pictureFlags,
                             UiControl** out);

  DisplayManager* display_ = nullptr;
  ImageSurface* background_ = nullptr;
  std::vector<UiControl*> parts_;
  std::vector<GmpRecord> records_;
  std::thread::id loadThread_;
  bool listening_ = false;
};

}  // namespace bw
