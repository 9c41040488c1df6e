// The scene pages of the scenario frame on the application's screen: page 0 is the screen canvas,
// page 1 the layer linked to it (made here when the canvas has none), so the canvas shows page 0
// and draws the transitions from it to page 1.
#pragma once

#include <memory>

#include "graphics/layers/canvas_layer.h"
#include "scenario/tgs/tgs_scene_host.h"

namespace bw {

class DisplayManager;
class ScenarioScreensHost;
struct UserConfig;

class TgsScenePages final : public TgsSceneHost {
 public:
  TgsScenePages(ScenarioScreensHost& app, DisplayManager& display, const UserConfig& user)
      : app_(app), display_(display), user_(user) {}
  ~TgsScenePages() override;
  TgsScenePages(const TgsScenePages&) = delete;
  TgsScenePages& operator=(const TgsScenePages&) = delete;

  SurfaceLayer* PageLayer(int page) override;
  [[nodiscard]] bool ShowEffects() override;
  [[nodiscard]] bool LowSpec() override;

 private:
  CanvasLayer* Screen() const;

  ScenarioScreensHost& app_;
  DisplayManager& display_;
  const UserConfig& user_;
  std::unique_ptr<CanvasLayer> back_;  // page 1 when the screen canvas had no link
};

}  // namespace bw
