#include "app/application/tgs_scene_pages.h"

#include "app/application/scenario_screens.h"
#include "graphics/device/display_manager.h"
#include "scenario/tgs/tgs_frame_host.h"

namespace bw {

TgsScenePages::~TgsScenePages() {
  CanvasLayer* screen = Screen();
  // A null one only unlinks, which cannot fail.
  if (back_ && screen && screen->GetLinkedLayer() == back_.get())
    (void)screen->SetLinkedLayer(nullptr);
}

CanvasLayer* TgsScenePages::Screen() const {
  CanvasLayer* canvas = display_.GetScreenCanvas();
  return canvas && canvas->GetCompositionLayer() ? canvas : nullptr;
}

SurfaceLayer* TgsScenePages::PageLayer(int page) {
  CanvasLayer* screen = Screen();
  if (!screen) return nullptr;
  if (page == 0) return screen;
  if (SurfaceLayer* linked = screen->GetLinkedLayer(); linked && linked->GetCompositionLayer()) {
    return linked;
  }
  // A frame may still hold the page made before: link it again rather than replace it.
  if (back_) return screen->SetLinkedLayer(back_.get()) == kLayerDone ? back_.get() : nullptr;
  auto back = std::make_unique<CanvasLayer>();
  if (back->Create(screen->GetWidth(), screen->GetHeight(), screen->GetBitsPerPixel(),
                   kLayerComposed) != kLayerDone ||
      screen->SetLinkedLayer(back.get()) != kLayerDone) {
    return nullptr;
  }
  back_ = std::move(back);
  return back_.get();
}

bool TgsScenePages::ShowEffects() {
  return user_.showEffects != 0;
}

bool TgsScenePages::LowSpec() {
  TgsAppState* state = app_.TgsState();
  return state && state->lowSpec != 0;
}

}  // namespace bw
