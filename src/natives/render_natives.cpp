#include "natives/render_natives.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "common/global.h"
#include "effects/transitions/transition_dispatch.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/layers/software_surface_layer.h"
#include "graphics/layers/text_layer.h"
#include "graphics/layers/texture_layer.h"
#include "graphics/layers/wgx_picture_layer.h"
#include "graphics/surface/direct_draw_surface.h"
#include "graphics/surface/directdraw_image_surface.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "natives/keyword_effect_natives.h"
#include "natives/native_families.h"
#include "natives/object_casts.h"
#include "natives/render_native_support.h"
#include "platform/rect.h"
#include "platform/timer_service.h"
#include "resource/images/image_loader_manager.h"
#include "script/native_names.h"

namespace bw {

TextRenderer* RenderNativeState::DefaultRenderer() const {
  return host_.Handles().Get<TextRenderer>(defaultRenderer_, ScriptObjectType::kTextRenderer);
}

namespace {

using namespace render_support;

// Picture data a script hands over: false (and a fault) when it does not lie in guest memory.
bool GuestBytes(NativeArgs& a, uint32_t addressWord, uint32_t sizeWord, std::vector<uint8_t>& out) {
  uint32_t at = a.U32(addressWord);
  int64_t size = a.I32(sizeWord);
  if (a.Faulted() || !GuestRange(a.Memory(), at, size)) return false;
  out.resize(static_cast<size_t>(size));
  return a.Memory().Read(at, out.data(), static_cast<uint32_t>(size));
}

// ---- Display settings, loader settings, timer service (196-217) ----

int32_t DisplaySetOption(NativeArgs& a) {
  State(a).displayOption = a.U32(0);
  return 0;
}

int32_t DisplayGetOption(NativeArgs& a) {
  return static_cast<int32_t>(State(a).displayOption);
}

// 198: the bytes the back buffer is cleared with.
int32_t DisplaySetColorBytes(NativeArgs& a) {
  const auto b1 = uint8_t(a.U32(0)), b2 = uint8_t(a.U32(1)), b3 = uint8_t(a.U32(2));
  if (DisplayManager* d = Display(); d && !a.Faulted()) d->SetBorderColor(b1, b2, b3);
  return 0;
}

// 199: whether each frame of the render list starts from a cleared back buffer.
int32_t AppSetDrawFlag(NativeArgs& a) {
  const bool on = (a.U32(0) & 1) != 0;
  ScriptApplication* app = a.Host().Application();
  if (app && !a.Faulted()) app->SetClearBackBuffer(on);
  return 0;
}

int32_t DisplayDestroyAll(NativeArgs&) {
  if (DisplayManager* d = Display()) d->DestroyAllLayers();
  return 0;
}

int32_t DisplaySetOwner(NativeArgs& a) {
  DisplayManager* d = Display();
  if (!d) return 0;
  d->SetSpriteOwner(a.U32(0));
  return static_cast<int32_t>(d->SetLayerOwner(a.U32(0)));
}

int32_t DisplayDestroyOwned(NativeArgs& a) {
  if (DisplayManager* d = Display()) d->DestroyObjectsOfOwner(a.U32(0), a.I32(1));
  return 0;
}

int32_t ImageLoaderCallA(NativeArgs& a) {
  State(a).loaderValueA = a.U32(0);
  return 0;
}

int32_t ImageLoaderCallB(NativeArgs& a) {
  State(a).loaderValueB = a.U32(0);
  return 0;
}

int32_t ImageLoaderSelect(NativeArgs& a) {
  State(a).loaderSelection = a.I32(0) == kDefaultsWord ? -1 : a.I32(0);
  return 0;
}

int32_t DisplayGetMode(NativeArgs&) {
  DisplayManager* d = Display();
  return d ? d->GetBackend() : 0;
}

int32_t DisplayGetScreenRect(NativeArgs& a) {
  DisplayManager* d = Display();
  if (!d || !d->GetScreenCanvas()) return 0;
  const Rect& r = d->CanvasRect();
  a.Out32(0, uint32_t(r.left)) && a.Out32(1, uint32_t(r.top)) && a.Out32(2, uint32_t(r.right)) &&
      a.Out32(3, uint32_t(r.bottom));
  return 1;
}

int32_t TaskIsAlive(NativeArgs& a) {
  return GetScriptTask(Handles(a), a.U32(0)) != nullptr;
}

int32_t TaskRemove(NativeArgs& a) {
  const uint32_t address = a.U32(0);
  uint32_t handle = 0;
  if (address) a.Memory().Read32(address, handle);
  if (a.Faulted() || address == 0) return 0;
  TimedTask* task = GetScriptTask(Handles(a), handle);
  a.Memory().Write32(address, 0);
  TimerService* timers = EffectTimers();
  return task && timers && timers->RemoveByHandle(task->Handle());
}

int32_t TaskRemoveKind(NativeArgs& a) {
  if (TimerService* timers = EffectTimers()) timers->RemoveById(a.U32(0));
  return 0;
}

template <bool (TimerService::*Op)(uint32_t)>
int32_t TaskOne(NativeArgs& a) {
  TimedTask* task = GetScriptTask(Handles(a), a.U32(0));
  TimerService* timers = EffectTimers();
  return task && timers && (timers->*Op)(task->Handle());
}

template <void (TimerService::*Op)(int32_t)>
int32_t TaskKind(NativeArgs& a) {
  if (TimerService* timers = EffectTimers()) (timers->*Op)(a.I32(0));
  return 0;
}

// ---- Factories and surfaces (222-259) ----

int32_t CreateDirectDrawImage(NativeArgs& a) {
  DisplayManager* d = Display();
  DirectDrawImageSurface* s = nullptr;
  return d ? Made(a, d->CreateDirectDrawImage(&s, a.I32(0), a.I32(1), false), s) : 0;
}

int32_t CreateDirectDrawImageFromFile(NativeArgs& a) {
  std::string name;
  DisplayManager* d = Display();
  if (!a.Text(0, name) || !d) return 0;
  DirectDrawImageSurface* s = nullptr;
  return Made(a, d->CreateDirectDrawImageFromFile(&s, name.c_str(), nullptr, 0, 0), s);
}

int32_t CreateDirectDrawImageFromMemory(NativeArgs& a) {
  std::vector<uint8_t> data;
  DisplayManager* d = Display();
  if (!GuestBytes(a, 0, 1, data) || !d) return 0;
  DirectDrawImageSurface* s = nullptr;
  return Made(a, d->CreateDirectDrawImageFromFile(&s, nullptr, data.data(), data.size(), 0), s);
}

int32_t CreateDirectDrawSurface(NativeArgs& a) {
  std::string text;
  DisplayManager* d = Display();
  if (!a.Text(0, text) || !d) return 0;
  DirectDrawSurface* s = nullptr;
  return Made(a, d->CreateDirectDrawSurface(&s, text.c_str(), Renderer(a, 1)), s);
}

int32_t CreateSoftwareSurfaceLayer(NativeArgs& a) {
  DisplayManager* d = Display();
  SoftwareSurfaceLayer* s = nullptr;
  if (!d) return 0;
  return Made(a, d->CreateSoftwareSurfaceLayer(&s, a.I32(0), a.I32(1), a.I32(2), a.I32(3)), s);
}

int32_t CreateWgxPictureLayer(NativeArgs& a) {
  std::string name;
  DisplayManager* d = Display();
  if (!a.Text(0, name) || !d) return 0;
  WgxPictureLayer* s = nullptr;
  return Made(a, d->CreateWgxPictureLayer(&s, a.I32(1), name.c_str(), nullptr, 0, false), s);
}

int32_t CreateWgxPictureLayerFromMemory(NativeArgs& a) {
  std::vector<uint8_t> data;
  DisplayManager* d = Display();
  if (!GuestBytes(a, 1, 2, data) || !d) return 0;
  WgxPictureLayer* s = nullptr;
  return Made(a, d->CreateWgxPictureLayer(&s, a.I32(0), nullptr, data.data(), data.size(), false),
              s);
}

int32_t CreateTextLayer(NativeArgs& a) {
  std::string text;
  DisplayManager* d = Display();
  if (!a.Text(1, text) || !d) return 0;
  TextLayer* s = nullptr;
  return Made(a, d->CreateTextLayer(&s, a.I32(0), text.c_str(), Renderer(a, 2)), s);
}

int32_t CreateTextureLayer(NativeArgs& a) {
  DisplayManager* d = Display();
  TextureLayer* s = nullptr;
  if (!d) return 0;
  return Made(a, d->CreateTextureLayer(&s, a.I32(0), a.I32(1), a.I32(2), a.I32(3), a.I32(4), false),
              s);
}

int32_t CreateImage(NativeArgs& a) {
  DisplayManager* d = Display();
  ImageSurface* s = nullptr;
  if (!d) return 0;
  return Made(a, d->CreateImageSurface(&s, a.I32(0), a.I32(1), a.I32(2), a.I32(3)), s);
}

template <bool kEightBit>
int32_t CreateImageFromFile(NativeArgs& a) {
  std::string name;
  DisplayManager* d = Display();
  if (!a.Text(0, name) || !d) return 0;
  ImageSurface* s = nullptr;
  int code = kEightBit ? d->CreateImageSurfaceFromFile8(&s, name.c_str(), nullptr, 0, a.I32(1))
                       : d->CreateImageSurfaceFromFile(&s, name.c_str(), nullptr, 0, a.I32(1));
  return Made(a, code, s);
}

template <bool kEightBit>
int32_t CreateImageFromMemory(NativeArgs& a) {
  std::vector<uint8_t> data;
  DisplayManager* d = Display();
  if (!GuestBytes(a, 0, 1, data) || !d) return 0;
  ImageSurface* s = nullptr;
  int flags = a.I32(2);
  int code = kEightBit
                 ? d->CreateImageSurfaceFromFile8(&s, nullptr, data.data(), data.size(), flags)
                 : d->CreateImageSurfaceFromFile(&s, nullptr, data.data(), data.size(), flags);
  return Made(a, code, s);
}

int32_t CreateTextImage(NativeArgs& a) {
  std::string text;
  DisplayManager* d = Display();
  if (!a.Text(0, text) || !d) return 0;
  ImageSurface* s = nullptr;
  return Made(a, d->CreateTextImageSurface(&s, text.c_str(), Renderer(a, 1), a.I32(2)), s);
}

int32_t CreateImageCopy(NativeArgs& a) {
  DisplayManager* d = Display();
  ImageSurface* source = GetObjectSurface(Handles(a), a.U32(0));
  if (!d || !source) return 0;
  ImageSurface* s = nullptr;
  return Made(a, d->CreateImageSurfaceCopy(&s, source, a.I32(1)), s);
}

int32_t CreateCanvasLayer(NativeArgs& a) {
  DisplayManager* d = Display();
  CanvasLayer* s = nullptr;
  if (!d) return 0;
  return Made(a, d->CreateCanvasLayer(&s, a.I32(0), a.I32(1), a.I32(2), a.I32(3)), s);
}

int32_t CreateOffscreenLayer(NativeArgs& a) {
  DisplayManager* d = Display();
  OffscreenLayer* s = nullptr;
  if (!d) return 0;
  return Made(a, d->CreateOffscreenLayer(&s, a.I32(0), a.I32(1), a.I32(2), a.U32(3) != 0), s);
}

int32_t DisplayGetScreen(NativeArgs& a) {
  DisplayManager* d = Display();
  CanvasLayer* canvas = d ? d->GetScreenCanvas() : nullptr;
  return canvas ? Made(a, 0, canvas) : 0;
}

// 242: only a canvas layer can be the screen.
int32_t DisplaySetScreen(NativeArgs& a) {
  DisplayManager* d = Display();
  Surface* s = AnySurface(a, 0);
  auto* canvas = s && s->GetKind() == kKindCanvasLayer ? dynamic_cast<CanvasLayer*>(s) : nullptr;
  if (!d || !canvas) return kRenderNativeNull;
  return d->SetScreenSurface(canvas);
}

int32_t DisplayDestroyLayer(NativeArgs& a) {
  return Release<Surface>(a, ScriptObjectType::kSurface, [](Surface* s) {
    DisplayManager* d = Display();
    return d ? d->DestroyLayer(s) : kDestroyNotListed;
  });
}

int32_t SurfaceGetWidth(NativeArgs& a) {
  Surface* s = AnySurface(a, 0);
  return s ? s->GetWidth() : 0;
}

int32_t SurfaceGetHeight(NativeArgs& a) {
  Surface* s = AnySurface(a, 0);
  return s ? s->GetHeight() : 0;
}

int32_t SurfaceSetColorKey(NativeArgs& a) {
  Surface* s = AnySurface(a, 0);
  return s ? s->SetColorKeyFromPixel(a.I32(1), a.I32(2)) : kRenderNativeNull;
}

int32_t SurfaceSetColorKeyRgb(NativeArgs& a) {
  Surface* s = AnySurface(a, 0);
  return s ? s->SetColorKeyRgb(a.I32(1), a.I32(2), a.I32(3)) : kRenderNativeNull;
}

int32_t SurfaceClearColorKey(NativeArgs& a) {
  Surface* s = AnySurface(a, 0);
  return s ? s->ClearColorKey() : kRenderNativeNull;
}

int32_t SurfaceGetValueA(NativeArgs& a) {
  Surface* s = AnySurface(a, 0);
  return s ? static_cast<int32_t>(s->GetWord1()) : 0;
}

int32_t SurfaceGetValueB(NativeArgs& a) {
  Surface* s = AnySurface(a, 0);
  return s ? static_cast<int32_t>(s->GetWord2()) : 0;
}

int32_t ObjectFill(NativeArgs& a) {
  int r = a.I32(1), g = a.I32(2), b = a.I32(3);
  Surface* s = AnySurface(a, 0);
  if (s && s->GetKind() == kKindDirectDrawImageSurface) {
    auto* image = dynamic_cast<DirectDrawImageSurface*>(s);
    return image ? image->FillColor(r, g, b) : kRenderNativeNull;
  }
  ImageSurface* image = GetObjectSurface(Handles(a), a.U32(0));
  if (!image) return kRenderNativeNull;
  return image->FillRgb(r, g, b, nullptr) ? 1 : 0;
}

// 203: below -1 the budget the settings give.
int32_t ImageCacheSetBudget(NativeArgs& a) {
  int64_t megabytes = a.I32(0);
  ImageLoaderManager* images = Global<ImageLoaderManager>::Get();
  ScriptApplication* app = a.Host().Application();
  if (megabytes < -1) megabytes = app ? app->ConfiguredImageCacheBudget() : -1;
  if (images) images->SetCacheBudget(megabytes);
  return 0;
}

int32_t ImageCacheRelease(NativeArgs& a) {
  std::string name;
  ImageLoaderManager* images = Global<ImageLoaderManager>::Get();
  if (!a.Text(0, name) || !images) return 0;
  return images->ReleaseImage(name);
}

// 208: the plug-in's second assist entry takes its three words as one record.
int32_t ImageLoaderAssist(NativeArgs& a) {
  ImageLoaderManager* images = Global<ImageLoaderManager>::Get();
  GllAssistFunc2 assist = images ? images->GetLoaderAssistFunc2(a.U32(0)) : nullptr;
  if (!assist) return kRenderNativeWrongKind;
  const AdlAssistArgs args{a.U32(1), a.U32(2), a.U32(3)};
  if (a.Faulted()) return 0;
  return assist(&args);
}

// 252: a DirectDraw target is drawn into without a source; other targets and sources resolve to
// pictures as the casts do.
int32_t TransitionDraw(NativeArgs& a) {
  int mode = a.I32(0);
  int32_t progress = a.I32(3), x = a.I32(4), y = a.I32(5);
  int kind = a.I32(6);
  Surface* target = AnySurface(a, 2);
  if (IsDirectDraw(target)) {
    return NumberedTransitionDispatch(mode, target, nullptr, progress, x, y, kind, nullptr);
  }
  ImageSurface* source = GetObjectSurface(Handles(a), a.U32(1));
  ImageSurface* destination = GetObjectSurface(Handles(a), a.U32(2));
  if (!source || !destination) return kRenderNativeNull;
  return NumberedTransitionDispatch(mode, destination, source, progress, x, y, kind, nullptr);
}

int32_t ImageHolderLink(NativeArgs& a) {
  SurfaceLayer* holder = GetObjectImageHolder(Handles(a), a.U32(0));
  SurfaceLayer* other = GetObjectImageHolder(Handles(a), a.U32(1));
  if (!holder || !other) return kRenderNativeNull;
  return holder->SetLinkedLayer(other);
}

// 240
int32_t LayerSetSourceLink(NativeArgs& a) {
  SurfaceLayer* holder = GetObjectImageHolder(Handles(a), a.U32(0));
  if (!holder) return kRenderNativeNull;
  holder->EnableLink(a.U32(1) != 0);
  return 1;
}

// 254: the part whose picture is the holder's linked layer. Parts draw into plain pictures and
// own no layer, so a holder's linked layer is never a part's.
int32_t ImageHolderGetLinkedPart(NativeArgs&) {
  return 0;
}

int32_t ImageHolderApplyLinked(NativeArgs& a) {
  SurfaceLayer* holder = GetObjectImageHolder(Handles(a), a.U32(0));
  SurfaceLayer* linked = holder ? holder->GetLinkedLayer() : nullptr;
  if (!linked) return 1;
  int32_t mode = a.I32(1);
  if (mode != 1) holder->SwapCompositionWith(linked);
  if (mode == 1 || mode == 2) holder->SwapBackgroundWith(linked);
  return 1;
}

int32_t FilterStop(NativeArgs& a) {
  SurfaceLayer* holder = GetObjectImageHolder(Handles(a), a.U32(0));
  if (!holder) return 1;
  holder->StopSource();
  holder->Invalidate(nullptr);
  return 1;
}

int32_t FilterIsAttached(NativeArgs& a) {
  SurfaceLayer* holder = GetObjectImageHolder(Handles(a), a.U32(0));
  return holder && holder->HasSource();
}

// 259: the owner word the display manager gave the holder's layer, as 319 reads an image's.
int32_t ImageHolderGetValue(NativeArgs& a) {
  auto* layer = dynamic_cast<Surface*>(GetObjectImageHolder(Handles(a), a.U32(0)));
  return layer ? static_cast<int32_t>(layer->GetWord3()) : 0;
}

constexpr NativeEntry kEntries[] = {
    {Native::kDisplaySetOption, DisplaySetOption},
    {Native::kDisplayGetOption, DisplayGetOption},
    {Native::kDisplaySetColorBytes, DisplaySetColorBytes},
    {Native::kAppSetDrawFlag, AppSetDrawFlag},
    {Native::kDisplayDestroyAll, DisplayDestroyAll},
    {Native::kDisplaySetOwner, DisplaySetOwner},
    {Native::kDisplayDestroyOwned, DisplayDestroyOwned},
    {Native::kImageCacheSetBudget, ImageCacheSetBudget},
    {Native::kImageCacheRelease, ImageCacheRelease},
    {Native::kImageLoaderCallA, ImageLoaderCallA},
    {Native::kImageLoaderCallB, ImageLoaderCallB},
    {Native::kImageLoaderSelect, ImageLoaderSelect},
    {Native::kImageLoaderAssist, ImageLoaderAssist},
    {Native::kDisplayGetMode, DisplayGetMode},
    {Native::kDisplayGetScreenRect, DisplayGetScreenRect},
    {Native::kTaskIsAlive, TaskIsAlive},
    {Native::kTaskRemove, TaskRemove},
    {Native::kTaskRemoveKind, TaskRemoveKind},
    {Native::kTaskPause, TaskOne<&TimerService::PauseTask>},
    {Native::kTaskPauseKind, TaskKind<&TimerService::PauseAll>},
    {Native::kTaskResume, TaskOne<&TimerService::ResumeTask>},
    {Native::kTaskResumeKind, TaskKind<&TimerService::ResumeAll>},
    {Native::kEffectStart, EffectStart},
    {Native::kEffectCommandA, EffectCommandA},
    {Native::kEffectCommandB, EffectCommandB},
    {Native::kEffectCommand, EffectKeywordCommand},
    {Native::kCreateDirectDrawImage, CreateDirectDrawImage},
    {Native::kCreateDirectDrawImageFromFile, CreateDirectDrawImageFromFile},
    {Native::kCreateDirectDrawImageFromMemory, CreateDirectDrawImageFromMemory},
    {Native::kCreateDirectDrawSurface, CreateDirectDrawSurface},
    {Native::kCreateSoftwareSurfaceLayer, CreateSoftwareSurfaceLayer},
    {Native::kCreateWgxPictureLayer, CreateWgxPictureLayer},
    {Native::kCreateWgxPictureLayerFromMemory, CreateWgxPictureLayerFromMemory},
    {Native::kCreateTextLayer, CreateTextLayer},
    {Native::kCreateTextureLayer, CreateTextureLayer},
    {Native::kCreateImage, CreateImage},
    {Native::kCreateImageFromFile, CreateImageFromFile<false>},
    {Native::kCreateImageFromFile8, CreateImageFromFile<true>},
    {Native::kCreateImageFromMemory, CreateImageFromMemory<false>},
    {Native::kCreateImageFromMemory8, CreateImageFromMemory<true>},
    {Native::kCreateTextImage, CreateTextImage},
    {Native::kCreateImageCopy, CreateImageCopy},
    {Native::kCreateCanvasLayer, CreateCanvasLayer},
    {Native::kCreateOffscreenLayer, CreateOffscreenLayer},
    {Native::kLayerSetSourceLink, LayerSetSourceLink},
    {Native::kDisplayGetScreen, DisplayGetScreen},
    {Native::kDisplaySetScreen, DisplaySetScreen},
    {Native::kDisplayDestroyLayer, DisplayDestroyLayer},
    {Native::kSurfaceGetWidth, SurfaceGetWidth},
    {Native::kSurfaceGetHeight, SurfaceGetHeight},
    {Native::kSurfaceSetColorKey, SurfaceSetColorKey},
    {Native::kSurfaceSetColorKeyRgb, SurfaceSetColorKeyRgb},
    {Native::kSurfaceClearColorKey, SurfaceClearColorKey},
    {Native::kSurfaceGetValueA, SurfaceGetValueA},
    {Native::kSurfaceGetValueB, SurfaceGetValueB},
    {Native::kObjectFill, ObjectFill},
    {Native::kTransitionDraw, TransitionDraw},
    {Native::kImageHolderLink, ImageHolderLink},
    {Native::kImageHolderGetLinkedPart, ImageHolderGetLinkedPart},
    {Native::kImageHolderApplyLinked, ImageHolderApplyLinked},
    {Native::kFilterStart, FilterStart},
    {Native::kFilterStop, FilterStop},
    {Native::kFilterIsAttached, FilterIsAttached},
    {Native::kImageHolderGetValue, ImageHolderGetValue},
};

constexpr NativeRange kNumbers[] = {{166, 259}};

}  // namespace

const NativeFamily& RenderNativeFamily() {
  // The family's rows come in parts: the text renderers' (166-195), then this table.
  static const std::vector<NativeEntry> entries = [] {
    std::span<const NativeEntry> text = TextRendererNativeEntries();
    std::vector<NativeEntry> all(text.begin(), text.end());
    all.insert(all.end(), std::begin(kEntries), std::end(kEntries));
    return all;
  }();
  static const NativeFamily family{"render", entries, kNumbers};
  return family;
}

}  // namespace bw
