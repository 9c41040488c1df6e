#include "effects/overlay_particles.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "effects/arg_cursor.h"
#include "graphics/layers/surface_layer.h"
#include "graphics/surface/composition_layer.h"
#include "platform/subtractive_random.h"
#include "platform/timer_service.h"

namespace bw {

namespace {

constexpr double kDrawScale = 1e-9;
constexpr int kRainKinds = 6;
constexpr uint32_t kRainColor = 0xA0AAEB;
constexpr uint16_t kTwinkleStep = 32;
constexpr uint16_t kTwinkleEnd = 510;

struct KindTable {
  const char* picture;  // printf form of the picture names, or null
  int pictures;         // pictures, or rain kinds
  int frames;
  bool rises;
  double entryChance;
  double axStep;
  double vxLimit;
  double axLimit;
};

const KindTable& TableOf(ParticleKind kind) {
  static constexpr KindTable kTables[] = {
      {"SYS\\PAPER_%d.WGX", 8, 24, false, 0.1, 0.6, 3.0, 0.5},
      {"SYS\\GR_LT%d.WGX", 3, 5, true, 0.1, 0.6, 5.0, 0.5},
      {"SYS\\SNOW_%d.WGX", 5, 1, false, 0.002, 0.3, 1.5, 0.2},
      {nullptr, kRainKinds, 1, false, 0.002, 0, 0, 0},
  };
  return kTables[static_cast<int>(kind)];
}

int32_t Truncate(double v) {
  return static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

}  // namespace

template <ParticleKind Kind>
std::unique_ptr<DisplayEffect> ParticleOverlayOf<Kind>::Create(uint32_t) {
  return std::make_unique<ParticleOverlayOf<Kind>>();
}

template <>
const char* PaperOverlay::GetKeyword() const {
  return "paper";
}
template <>
const char* LightOverlay::GetKeyword() const {
  return "light";
}
template <>
const char* SnowOverlay::GetKeyword() const {
  return "snow";
}
template <>
const char* RainOverlay::GetKeyword() const {
  return "rain";
}

template class ParticleOverlayOf<ParticleKind::kPaper>;
template class ParticleOverlayOf<ParticleKind::kLight>;
template class ParticleOverlayOf<ParticleKind::kSnow>;
template class ParticleOverlayOf<ParticleKind::kRain>;

ParticleOverlay::~ParticleOverlay() {
  particles_.clear();
}

double ParticleOverlay::Draw() {
  return double(Random()->DrawRaw());
}

int ParticleOverlay::LoadPictures() {
  const KindTable& table = TableOf(kind_);
  pictures_.clear();
  if (table.picture == nullptr) return kOverlaySetUp;
  for (int i = 0; i < table.pictures; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, table.picture, i);
    auto picture = std::make_unique<ImageSurface>();
    if (!LoadOverlayPicture(*picture, name) || picture->GetWidth() < table.frames) {
      return kOverlayNoPicture;
    }
    pictures_.push_back(std::move(picture));
  }
  return kOverlaySetUp;
}

int ParticleOverlay::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  const int32_t count = args.Int(0);
  if (Random() == nullptr || count < 1 || timers == nullptr || target.Layer() == nullptr) {
    return kOverlayBadArguments;
  }
  if (!Bind(target) || target_->GetImage() == nullptr) return kOverlayNoLinkedLayer;
  width_ = target_->GetImage()->GetWidth();
  height_ = target_->GetImage()->GetHeight();
  speed_ = DecimalOr(args.Text(4), 0);
  if (speed_ == 0) speed_ = 1.0;
  showInA_ = args.Int(5) != 0;
  showInB_ = args.Int(6) != 0;
  stopRequest_ = false;
  particles_.clear();
  if (int code = LoadPictures(); code != kOverlaySetUp) return code;
  particles_.resize(size_t(count));
  for (Particle& p : particles_) {
    if (!MakeParticle(p) || a_->GetList().Add(p.inA.get(), args.Uint(1), 0) != kAddDone ||
        b_->GetList().Add(p.inB.get(), args.Uint(2), 0) != kAddDone) {
      particles_.clear();
      return kOverlayNoSurface;
    }
  }
  const bool spread = args.Int(3) != 0;
  if (spread) {
    for (Particle& p : particles_) Place(p, true);
  }
  AskSchedule(kParticleStepMs, kParticleStepMs);
  return kOverlaySetUp;
}

bool ParticleOverlay::MakeParticle(Particle& p) {
  const KindTable& table = TableOf(kind_);
  p.picture = int(Random()->DrawRaw() % table.pictures);
  const double pic = p.picture;
  if (kind_ == ParticleKind::kRain) {
    auto streak = [&] {
      auto rect = std::make_unique<ColorRectObject>();
      p.height = Truncate((1.0 - 0.1 * pic) * 200);
      if (rect->Create(1, p.height, kRainColor, 0, 0) != 0)
        return std::unique_ptr<ColorRectObject>();
      rect->SetAlpha(130 - 20 * p.picture);
      return rect;
    };
    p.inA = streak();
    p.inB = streak();
    p.vy = 225 - 30 * pic + Draw() * 1.5e-8;
  } else {
    ImageSurface* picture = pictures_[size_t(p.picture)].get();
    p.frameWidth = picture->GetWidth() / table.frames;
    p.height = picture->GetHeight();
    const Rect first{0, 0, p.frameWidth, p.height};
    for (auto* slot : {&p.inA, &p.inB}) {
      auto sprite = std::make_unique<Sprite>();
      if (sprite->SetImage(picture, &first, 0, 0) != kSpriteDone) return false;
      *slot = std::move(sprite);
    }
    switch (kind_) {
      case ParticleKind::kPaper:
        p.vy = 7.9 + 0.8 * pic + (p.picture >= 4 ? 4.3 : 0) + Draw() * 4e-9;
        break;
      case ParticleKind::kLight:
        p.vy = 1.9 + 0.8 * pic + Draw() * 2e-9;
        p.vx = 1.9 + 0.8 * pic + Draw() * 2e-10;
        if (Random()->DrawRaw() & 1) p.vx = -p.vx;
        break;
      default:
        p.vy = 5.7 + 2.4 * pic + Draw() * 6e-10;
        break;
    }
    p.ax = Draw() * kDrawScale;
  }
  if (!p.inA || !p.inB) return false;
  ShowObjects(p, false);
  p.active = false;
  return true;
}

void ParticleOverlay::Place(Particle& p, bool spread) {
  const KindTable& table = TableOf(kind_);
  p.x = Draw() * width_ * kDrawScale;
  p.y = table.rises ? double(height_) : -double(p.height);
  if (spread) {
    const double along = Draw() * height_ * kDrawScale;
    if (kind_ == ParticleKind::kRain) {
      p.y = -along;
    } else {
      p.y += table.rises ? -along : along;
    }
  }
  p.active = true;
  MoveObjects(p);
  ShowObjects(p, true);
  if (table.frames > 1) {
    p.frame = int32_t(Random()->DrawRaw() % table.frames);
    for (DisplayObject* object : {p.inA.get(), p.inB.get()}) {
      // A sprite that cannot take it is shown as it was.
      (void)static_cast<Sprite*>(object)->ScrollSource(p.frame * p.frameWidth, 0);
    }
  }
}

void ParticleOverlay::MoveObjects(Particle& p) {
  p.inA->SetPos(Truncate(p.x), Truncate(p.y));
  p.inB->SetPos(Truncate(p.x), Truncate(p.y));
}

void ParticleOverlay::ShowObjects(Particle& p, bool shown) {
  p.inA->SetVisible(shown && showInA_);
  p.inB->SetVisible(shown && showInB_);
}

bool ParticleOverlay::StepParticle(Particle& p) {
  const KindTable& table = TableOf(kind_);
  if (!p.active) {
    if (stopRequest_) return false;
    if (Draw() * kDrawScale < table.entryChance) Place(p, false);
    return true;
  }
  p.x += p.vx * speed_;
  const double fall = std::max(p.vy * speed_, 1.0);
  p.y += table.rises ? -fall : fall;
  if (kind_ != ParticleKind::kRain) {
    p.vx = std::clamp(p.vx + p.ax, -table.vxLimit, table.vxLimit);
    p.ax = std::clamp(p.ax + (Draw() * kDrawScale - 0.5) * table.axStep, -table.axLimit,
                      table.axLimit);
  }
  const bool left = table.rises ? p.y + p.height <= 0 : p.y >= height_;
  if (left) {
    if (stopRequest_) {
      p.active = false;
      ShowObjects(p, false);
    } else {
      Place(p, false);
    }
  }
  MoveObjects(p);
  if (stopRequest_) return p.active;
  if (table.frames > 1) {
    p.frame = (p.frame + 1) % table.frames;
    for (DisplayObject* object : {p.inA.get(), p.inB.get()}) {
      // A sprite that cannot take it is shown as it was.
      (void)static_cast<Sprite*>(object)->ScrollSource(p.frame * p.frameWidth, 0);
    }
  }
  if (kind_ == ParticleKind::kLight) {
    p.twinkle = uint16_t(p.twinkle + kTwinkleStep);
    if (p.twinkle >= kTwinkleEnd) p.twinkle = 0;
    p.inA->SetAlpha(kTwinkleEnd - p.twinkle);
    p.inB->SetAlpha(kTwinkleEnd - p.twinkle);
  }
  return true;
}

int32_t ParticleOverlay::Update(uint32_t) {
  if (Random() == nullptr || !Bound()) return kTaskStepFinished;
  size_t gone = 0;
  for (Particle& p : particles_) {
    if (!StepParticle(p)) ++gone;
  }
  return stopRequest_ && gone == particles_.size() ? kTaskStepFinished : kTaskStepContinue;
}

int ParticleOverlay::Command(ArgWords args) {
  if (args.Int(0) == 0) {
    stopRequest_ = true;
    return 0;
  }
  showInA_ = args.Int(1) != 0;
  showInB_ = args.Int(2) != 0;
  for (Particle& p : particles_) {
    if (p.active) ShowObjects(p, true);
  }
  return 0;
}

void ParticleOverlay::Stop() {
  particles_.clear();
}

}  // namespace bw
