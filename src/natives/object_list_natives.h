// The objects scripts load and hold by handle (animation data, background animations, cell
// images), the two GMP loaders whose parts scripts read back, and the animation tasks that play
// them.
#pragma once

#include "effects/cell_image.h"
#include "graphics/device/gmp_layer_loader.h"
#include "graphics/surface/hva_data.h"
#include "gui/gmp_part_loader.h"
#include "natives/script_object_list.h"
#include "resource/images/hvd_animation.h"
#include "script/native_args.h"
#include "script/script_host.h"

namespace bw {

class ObjectListNativeState : public ScriptHostExtension {
 public:
  explicit ObjectListNativeState(ScriptHost& host);
  // The tasks that play the objects go first.
  ~ObjectListNativeState() override;

  ScriptObjectList<HvaData>& AnimationData() { return hva_; }
  ScriptObjectList<HvdAnimation>& BackgroundAnimations() { return hvd_; }
  ScriptObjectList<CellImage>& CellImages() { return cells_; }
  GmpLayerLoader& LayerLoader() { return layerLoader_; }
  GmpPartLoader& PartLoader() { return partLoader_; }

 private:
  // A listed cell image lets go of a sprite or picture as it dies, the GMP screens of their
  // pictures, sprites and parts.
  static void OnGone(const void* object, void* self);

  ScriptObjectList<HvaData> hva_;
  ScriptObjectList<HvdAnimation> hvd_;
  ScriptObjectList<CellImage> cells_;
  GmpLayerLoader layerLoader_;
  GmpPartLoader partLoader_;
};

const NativeFamily& ObjectListNativeFamily();

}  // namespace bw
