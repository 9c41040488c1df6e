#include "effects/overlay_quake_noise.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "graphics/layers/surface_layer.h"
#include "graphics/surface/composition_layer.h"
#include "platform/subtractive_random.h"
#include "platform/timer_service.h"

namespace bw {

namespace {

constexpr uint32_t kNoiseIntervalMs = 100;
constexpr const char* kNoisePicture = "SYS\\NOISE.WGX";

}  // namespace

SubtractiveRandom* ScreenOverlay::random_ = nullptr;

bool LoadOverlayPicture(ImageSurface& into, const char* name) {
  if (into.Load(name, nullptr, 0, kImagePlain) != 0 || !into.GetPixels()) return false;
  if (into.GetWidth() <= 0 || into.GetHeight() <= 0) return false;
  return into.GetBitsPerPixel() == 32 || into.ConvertDepth(32) == 0;
}

bool ScreenOverlay::Bind(EffectTarget target) {
  target_ = target.Layer();
  linked_ = target_ ? target_->GetLinkedLayer() : nullptr;
  a_ = target_ ? target_->GetCompositionLayer() : nullptr;
  b_ = linked_ ? linked_->GetCompositionLayer() : nullptr;
  return a_ && b_;
}

bool ScreenOverlay::IsBoundTo(const void* object) const {
  return object && (object == target_ || object == linked_ || object == a_ || object == b_);
}

void ScreenOverlay::Unbind(const void*) {
  target_ = linked_ = nullptr;
  a_ = b_ = nullptr;
}

std::unique_ptr<DisplayEffect> QuakeOverlay::Create(uint32_t) {
  return std::make_unique<QuakeOverlay>();
}

// One that no service took puts the layers back: they would show its work surfaces unfilled.
QuakeOverlay::~QuakeOverlay() {
  if (Handle() == 0) Restore();
}

int QuakeOverlay::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  if (Random() == nullptr) return kOverlayRefused;
  if (timers == nullptr || args.Empty() || !Bind(target)) return kOverlayBadArguments;
  shake_.Read(args);
  useWork_ = args.Int(5) != 0;
  applyToA_ = args.Int(6) != 0;
  applyToB_ = args.Int(7) != 0;
  auto base = [](CompositionLayer& layer) {
    ImageSurface* picture = nullptr;
    Base b;
    int r, g, bl;
    layer.GetBackground(&picture, &b.x, &b.y, &r, &g, &bl);
    b.picture = picture != nullptr;
    return b;
  };
  baseA_ = base(*a_);
  baseB_ = base(*b_);
  // The work surfaces this set-up makes go again when it fails: the layer would show them
  // unfilled.
  const bool madeA = useWork_ && applyToA_ && a_->GetWorkSurface() == nullptr;
  const bool madeB = useWork_ && applyToB_ && b_->GetWorkSurface() == nullptr;
  auto refuse = [&](int code) {
    if (madeA) a_->DropWorkSurface();
    if (madeB) b_->DropWorkSurface();
    return code;
  };
  if (useWork_) {
    if ((applyToA_ && a_->CreateWorkSurface(false) != 0) ||
        (applyToB_ && b_->CreateWorkSurface(false) != 0)) {
      return refuse(kOverlayNoSurface);
    }
  }
  running_ = true;
  if (args.Int(8) != 0) NotifyStart();
  return kOverlaySetUp;
}

int QuakeOverlay::Command(ArgWords args) {
  if (args.Int(0) == 0) shake_.stopRequest = kShakeStopAtPeriodEnd;
  return 0;
}

int32_t QuakeOverlay::Update(uint32_t nowMs) {
  int32_t dx = 0, dy = 0;
  if (!Bound() || Random() == nullptr || !shake_.Step(nowMs, *Random(), &dx, &dy)) {
    Restore();
    return kTaskStepFinished;
  }
  if (applyToA_) Apply(*a_, baseA_, dx, dy);
  if (applyToB_) Apply(*b_, baseB_, dx, dy);
  return kTaskStepContinue;
}

void QuakeOverlay::Apply(CompositionLayer& layer, const Base& base, int32_t dx, int32_t dy) {
  ImageSurface* picture = nullptr;
  int32_t x = 0, y = 0;
  int r, g, b;
  layer.GetBackground(&picture, &x, &y, &r, &g, &b);
  if (picture == nullptr) return;
  const int32_t ox = int32_t(int64_t{base.x} - dx), oy = int32_t(int64_t{base.y} - dy);
  if (useWork_) {
    // The picture is drawn shifted into the work surface; what it leaves bare takes the
    // background colour.
    // A picture without pixels leaves the background as it was.
    (void)layer.SetBackgroundStretch(ox, oy, picture->GetWidth(), picture->GetHeight(), nullptr);
  } else if (x != ox || y != oy) {
    // A picture without pixels leaves the background as it was.
    (void)layer.SetBackgroundImage(picture, ox, oy, true);
  }
}

void QuakeOverlay::Restore() {
  if (!running_) return;
  running_ = false;
  if (!Bound()) return;
  auto putBack = [this](CompositionLayer& layer, const Base& base, bool used) {
    if (useWork_ && used) {
      layer.DropWorkSurface();
      // A layer without a target has nothing to redraw.
      (void)layer.InvalidateAll();
    }
    ImageSurface* picture = nullptr;
    int32_t x = 0, y = 0;
    int r, g, b;
    layer.GetBackground(&picture, &x, &y, &r, &g, &b);
    // A picture without pixels leaves the background as it was.
    if (base.picture && picture) (void)layer.SetBackgroundImage(picture, base.x, base.y, true);
  };
  putBack(*a_, baseA_, applyToA_);
  putBack(*b_, baseB_, applyToB_);
}

std::unique_ptr<DisplayEffect> NoiseOverlay::Create(uint32_t) {
  return std::make_unique<NoiseOverlay>();
}

int NoiseOverlay::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  if (Random() == nullptr || timers == nullptr || target.Layer() == nullptr) {
    return kOverlayBadArguments;
  }
  if (!Bind(target) || target_->GetImage() == nullptr) return kOverlayNoLinkedLayer;
  // A picture without pixels would leave nothing to start from; an 8-bit one is widened.
  if (!LoadOverlayPicture(noise_, kNoisePicture)) return kOverlayNoPicture;
  const ImageSurface& picture = *target_->GetImage();
  if (output_.Create(picture.GetWidth(), picture.GetHeight(), 32, kImagePlain) != 0) {
    return kOverlayNoSurface;
  }
  const int opacity = args.Int(0) & 0xFF;
  const uint32_t priority = args.Uint(1);
  for (Sprite* sprite : {&spriteA_, &spriteB_}) {
    if (sprite->SetImage(&output_, nullptr, 0, 0) != kSpriteDone) return kOverlayNoSurface;
    sprite->SetAlpha(opacity);
  }
  if (a_->GetList().Add(&spriteA_, priority, 0) != kAddDone ||
      b_->GetList().Add(&spriteB_, priority, 0) != kAddDone) {
    return kOverlayNoSurface;
  }
  Show(args.Int(2) != 0, args.Int(3) != 0);
  AskSchedule(kNoiseIntervalMs, kNoiseIntervalMs);
  return kOverlaySetUp;
}

int NoiseOverlay::Command(ArgWords args) {
  Show(args.Int(0) != 0, args.Int(1) != 0);
  return 0;
}

void NoiseOverlay::Show(bool inA, bool inB) {
  spriteA_.SetVisible(inA);
  spriteB_.SetVisible(inB);
}

void NoiseOverlay::Stop() {
  Show(false, false);
}

int32_t NoiseOverlay::Update(uint32_t) {
  if (Random() == nullptr || !Bound()) return kTaskStepFinished;
  const int64_t w = noise_.GetWidth(), count = w * noise_.GetHeight();
  int64_t at = int64_t(uint32_t(Random()->DrawRaw())) % count;
  const int32_t width = output_.GetWidth();
  for (int32_t y = 0; y < output_.GetHeight(); ++y) {
    auto* out = reinterpret_cast<uint32_t*>(output_.GetRowPointer(y));
    for (int32_t x = 0; x < width;) {
      // One run up to the end of the noise row or of the output row.
      const auto* from = reinterpret_cast<const uint32_t*>(noise_.GetRowPointer(int32_t(at / w)));
      const int64_t column = at % w;
      const int32_t run = int32_t(std::min<int64_t>(w - column, width - x));
      std::memcpy(out + x, from + column, size_t(run) * 4);
      x += run;
      at = (at + run) % count;
    }
  }
  for (Sprite* sprite : {&spriteA_, &spriteB_}) {
    if (sprite->IsVisible()) sprite->SetChanged(true);
  }
  return kTaskStepContinue;
}

}  // namespace bw
