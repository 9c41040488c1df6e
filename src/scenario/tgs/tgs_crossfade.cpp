#include "scenario/tgs/tgs_crossfade.h"

#include "common/global.h"
#include "effects/effect_registries.h"
#include "graphics/layers/layer_filter.h"
#include "graphics/layers/surface_layer.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_scene.h"

namespace bw {

namespace {

constexpr int32_t kFlashDefaultMs = 600;
constexpr int32_t kThroughDefaultMs = 800;

}  // namespace

int32_t TgsCrossFade::RunTransition(FilterEffect* transition, TgsPageLayer& layer, int mode,
                                    int skipMode) {
  const int32_t result = RunOnLayer(transition, layer, mode, skipMode);
  if (mode != 0 && result != kFadeNoTransition && result != kFadeNotStarted) {
    scene_.SwapPageRecords(mode);
  }
  return result;
}

int32_t TgsCrossFade::RunOnLayer(FilterEffect* transition, TgsPageLayer& layer, int mode,
                                 int skipMode) {
  if (!transition) return kFadeNoTransition;
  const bool lowSpec = links_.host && links_.host->LowSpec();
  if (layer.StartTransition(transition, static_cast<uint8_t>(mode), true, !lowSpec) != 0) {
    ReleaseFilter(transition);
    return kFadeNotStarted;
  }
  int32_t result = kFadeFinished;
  for (;;) {
    if (links_.turn && !links_.turn()) {
      // The layer exchanges its pages when the transition goes; the records follow below.
      layer.FinishTransition();
      result = kFadeQuit;
      break;
    }
    if (!layer.InTransition()) break;
    if (skipMode != 0 && links_.skipIf && links_.skipIf(skipMode)) {
      layer.FinishTransition();
      result = kFadeCutShort;
      break;
    }
  }
  return result;
}

FilterEffect* TgsCrossFade::MakeCross(TgsPageLayer& layer, int32_t time) {
  TcpPluginManager* transitions = Global<TcpPluginManager>::Get();
  return transitions && layer.Layer()
             ? transitions->CreateAndSetUpArray(layer.Layer(), "cross", {time})
             : nullptr;
}

int32_t TgsCrossFade::CrossFade(int32_t time, int mode, int skipMode, TgsPageLayer* layer) {
  TgsPageLayer& on = layer ? *layer : scene_.Page(0);
  return RunTransition(MakeCross(on, time), on, mode, skipMode);
}

int32_t TgsCrossFade::FadeInFromBlack(int32_t time) {
  TgsPageLayer& shown = scene_.Page(0);
  SurfaceLayer* front = shown.Layer();
  SurfaceLayer* back = scene_.Page(1).Layer();
  CompositionLayer* frontList = front ? front->GetCompositionLayer() : nullptr;
  CompositionLayer* backList = back ? back->GetCompositionLayer() : nullptr;
  if (!frontList || !backList) return kFadeNotStarted;
  const ImageSurface* picture = front->GetImage();
  const int32_t width = picture->GetWidth(), height = picture->GetHeight();
  const int bits = picture->GetBitsPerPixel();
  // The exchange of backgrounds fades from the shown page's to the back page's: the scene as it
  // stands goes behind, black in front, and each page's own background waits aside meanwhile.
  ImageSurface scene, black;
  if (scene.Create(width, height, bits, kImagePlain) != kSurfaceDone ||
      black.Create(width, height, bits, kImagePlain) != kSurfaceDone ||
      frontList->RenderTo(&scene, kRenderAll, 0, false) != kComposeDone) {
    return kFadeNotStarted;
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)black.Fill(0xFF000000u, nullptr);
  CompositionLayer frontAside, backAside;
  // A picture without pixels leaves the background as it was.
  (void)frontAside.SetBackgroundImage(&black, 0, 0, false);
  (void)backAside.SetBackgroundImage(&scene, 0, 0, false);
  (void)frontList->SwapBackground(&frontAside, true);
  (void)backList->SwapBackground(&backAside, true);
  // The pictures are in the rendered scene already.
  frontList->SetSkipOwn(true);
  const int32_t result = RunOnLayer(MakeCross(shown, time), shown, 2, 0);
  frontList->SetSkipOwn(false);
  // Exchanged or not, each page takes its own background back from its stand-in.
  // A picture without pixels leaves the background as it was.
  (void)frontList->SwapBackground(&frontAside, true);
  (void)backList->SwapBackground(&backAside, true);
  return result == kFadeNoTransition ? kFadeNotStarted : result;
}

int32_t TgsCrossFade::FlashColor(int32_t time, int32_t color) {
  // Clearing the back page cannot fail.
  (void)scene_.ClearBackgroundToColor(color, 1);
  (void)scene_.ClearSprites(1, -1);
  if (Skipping()) return 0;
  const int32_t t = (time < 6 ? kFlashDefaultMs : time) / 6;
  if (CrossFade(4 * t, 1, kFadeSkipAny) == kFadeQuit) return kFadeQuit;
  if (CrossFade(2 * t, 1, kFadeSkipAny) == kFadeQuit) return kFadeQuit;
  return 0;
}

int32_t TgsCrossFade::ChangeBackgroundThroughColor(TgsText name, int32_t time, int32_t color) {
  // Clearing a page cannot fail.
  (void)scene_.ClearBackgroundToColor(color, 1);
  (void)scene_.ClearSprites(1, -1);
  if (Skipping()) {
    (void)scene_.ClearSprites(0, -1);
    const bool loaded = scene_.LoadBackground(name, 1) == 0;
    scene_.Page(0).ExchangeWith(scene_.Page(1), 1);
    scene_.SwapPageRecords(1);
    return loaded ? 0 : kFadeNoBackground;
  }
  const int32_t t = (time < 8 ? kThroughDefaultMs : time) / 8;
  if (CrossFade(5 * t, 1, kFadeSkipAny) == kFadeQuit) return kFadeQuit;
  const bool loaded = scene_.LoadBackground(name, 1) == 0;
  // Clearing the back page cannot fail.
  (void)scene_.ClearSprites(1, -1);
  if (CrossFade(3 * t, 1, kFadeSkipAny) == kFadeQuit) return kFadeQuit;
  return loaded ? 0 : kFadeNoBackground;
}

// The frame's side: its turn, skip test and skip state.

TgsCrossFade TgsFrame::CrossFades() {
  TgsCrossFadeLinks links;
  links.host = host_ ? host_->SceneHost() : nullptr;
  links.turn = [this] { return host_ && Turn(); };
  links.skipIf = [this](int bits) { return IsSkipping(bits); };
  links.skipping = [this] { return IsSkipping(2) || systemSkip_; };
  return TgsCrossFade(Scene(), std::move(links));
}

int32_t TgsFrame::CrossFade(int32_t time, int mode, int skipMode) {
  return CrossFades().CrossFade(time, mode, skipMode);
}

int32_t TgsFrame::FlashColor(int32_t time, int32_t color) {
  return CrossFades().FlashColor(time, color);
}

int32_t TgsFrame::ChangeBackgroundThroughColor(TgsText name, int32_t time, int32_t color) {
  return CrossFades().ChangeBackgroundThroughColor(name, time, color);
}

}  // namespace bw
