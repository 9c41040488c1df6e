// Cross-fades between the scene's two pages that wait for their end: the one-shot waits of the
// system menu, the scene rebuild and the flash and through-a-colour built-ins.
#pragma once

#include <cstdint>
#include <functional>

#include "scenario/tgs/tgs_operations.h"

namespace bw {

class FilterEffect;
class TgsPageLayer;
class TgsScene;
class TgsSceneHost;

// RunTransition and CrossFade.
constexpr int32_t kFadeFinished = 0;
constexpr int32_t kFadeCutShort = 1;
constexpr int32_t kFadeNoTransition = 2;
constexpr int32_t kFadeNotStarted = 3;
constexpr int32_t kFadeQuit = -1;
// ChangeBackgroundThroughColor: the new background could not be loaded.
constexpr int32_t kFadeNoBackground = 2;

// The skip-test bits of the cross-fades the built-ins run: a click or the skip keys.
constexpr int kFadeSkipAny = 3;

struct TgsCrossFadeLinks {
  TgsSceneHost* host = nullptr;          // the low-spec byte; null: not low-spec
  std::function<bool()> turn;            // one application turn; false when it quits
  std::function<bool(int bits)> skipIf;  // the frame's skip test with those bits
  std::function<bool()> skipping;        // the frame skips: nothing is shown
};

class TgsCrossFade {
 public:
  TgsCrossFade(TgsScene& scene, TgsCrossFadeLinks links)
      : scene_(scene), links_(std::move(links)) {}

  // Runs transition on layer until it ends; mode 0 leaves the pages, 1 exchanges them with their
  // sprites, 2 only their backgrounds. The transition is the layer's once started.
  [[nodiscard]] int32_t RunTransition(FilterEffect* transition, TgsPageLayer& layer, int mode,
                                      int skipMode);
  // A "cross" of time ms on layer (null: the shown page's), run as RunTransition.
  [[nodiscard]] int32_t CrossFade(int32_t time, int mode, int skipMode,
                                  TgsPageLayer* layer = nullptr);
  // Into the colour in four sixths of the time and back in two: 0 or kFadeQuit.
  [[nodiscard]] int32_t FlashColor(int32_t time, int32_t color);
  // Into the colour in five eighths, out onto the new background in three: 0, kFadeNoBackground
  // or kFadeQuit.
  [[nodiscard]] int32_t ChangeBackgroundThroughColor(TgsText name, int32_t time, int32_t color);
  // A "cross" of time ms from black to the shown page as it stands, leaving both pages, their
  // pictures and their records as they were: 0, kFadeNotStarted or kFadeQuit.
  [[nodiscard]] int32_t FadeInFromBlack(int32_t time);

 private:
  bool Skipping() const { return links_.skipping && links_.skipping(); }
  // RunTransition without touching the page records.
  [[nodiscard]] int32_t RunOnLayer(FilterEffect* transition, TgsPageLayer& layer, int mode,
                                   int skipMode);
  FilterEffect* MakeCross(TgsPageLayer& layer, int32_t time);

  TgsScene& scene_;
  TgsCrossFadeLinks links_;
};

}  // namespace bw
