#include "scenario/tgs/tgs_scene.h"

#include <algorithm>
#include <cstdlib>

#include "common/global.h"
#include "common/sjis.h"
#include "effects/display_effect.h"
#include "effects/effect_registries.h"
#include "effects/filter_effect.h"
#include "graphics/layers/surface_layer.h"
#include "graphics/surface/composition_layer.h"
#include "resource/images/hvd_animation.h"

namespace bw {

namespace {

using sjis::AsciiUpper;
using sjis::EqualsNoCase;
using sjis::StartsWithNoCase;
using sjis::ToUpper;

constexpr uint32_t kGroupStep = TgsSpriteGroup::kStep;
constexpr int kBarHeight = 75;
constexpr uint8_t kToneInvert = 3;
constexpr uint8_t kBackgroundTones = 4;
constexpr uint8_t kSpriteTones = 6;
constexpr int kBrightnessDarker = 150;

}  // namespace

std::string_view LastPathPart(std::string_view name) {
  const size_t cut = sjis::FindLastSeparator(name);
  return cut == sjis::npos ? name : name.substr(cut + 1);
}

TgsSpriteGroup SpriteGroup(int32_t group) {
  if (group == 1) return {10000, 3, 0};
  if (group == 2) return {30000, 3, 8};
  return {20000, 5, 3};
}

void TgsBackgroundRecord::CopySceneFields(const TgsBackgroundRecord& from) {
  name = from.name;
  animName = from.animName;
  timeOfDay = from.timeOfDay;
  color = from.color;
  captured = from.captured;
  tone = from.tone;
  libFilterB = from.libFilterB;
  libFilterA = from.libFilterA;
  bars = from.bars;
  libOp = from.libOp;
  offsetX = from.offsetX;
  offsetY = from.offsetY;
  view = from.view;
  zoom = from.zoom;
  angle = from.angle;
  animState = from.animState;
  animFrame = from.animFrame;
  animArg = from.animArg;
}

void TgsBackgroundRecord::ClearLook() {
  timeOfDay = 0;
  captured = tone = libFilterB = libFilterA = bars = libOp = 0;
  offsetX = offsetY = 0;
  view = {-1, 0, 0, 0};
  zoom = 0;
}

bool TgsBackgroundRecord::Plain() const {
  return tone == 0 && libFilterB == 0 && libFilterA == 0 && bars == 0 && libOp == 0 &&
         offsetX == 0 && offsetY == 0 && view[0] == -1 && zoom == 0;
}

void TgsSpriteRecord::CopySceneFields(const TgsSpriteRecord& from) {
  name = from.name;
  charIndex = from.charIndex;
  x = from.x;
  y = from.y;
  anchorX = from.anchorX;
  anchorY = from.anchorY;
  priority = from.priority;
  tone = from.tone;
  libFilterB = from.libFilterB;
  libFilterA = from.libFilterA;
  libOp = from.libOp;
  alpha = from.alpha;
  scale = from.scale;
  angle = from.angle;
  rotAnchorX = from.rotAnchorX;
  rotAnchorY = from.rotAnchorY;
  persistKind = from.persistKind;
  persistArg = from.persistArg;
  persistName = from.persistName;
}

void TgsSpriteRecord::ResetLook() {
  name.clear();
  charIndex = -1;
  tone = libFilterB = libFilterA = libOp = 0;
  alpha = 255;
  scale = 0;
  persistKind = 0;
}

CompositionLayer* TgsPageLayer::GetCompositionLayer() const {
  return layer_ ? layer_->GetCompositionLayer() : nullptr;
}

int TgsPageLayer::StartTransition(FilterEffect* transition, uint8_t a, bool b, bool notify) {
  if (!layer_) return kAttachNoComposition;
  const int r = layer_->AttachSource(transition, a, b, notify);
  if (r == 0) ++started_;
  return r;
}

bool TgsPageLayer::InTransition() const {
  return layer_ && layer_->HasSource();
}

void TgsPageLayer::FinishTransition() {
  if (layer_) layer_->StopSource();
}

void TgsPageLayer::ExchangeWith(TgsPageLayer& other, int mode) {
  if (!layer_ || !other.layer_) return;
  if (mode == 2) {
    layer_->SwapBackgroundWith(other.layer_);
  } else {
    layer_->SwapCompositionWith(other.layer_);
  }
}

uint32_t TimeOfDay(std::string_view name, const std::vector<int32_t>& table) {
  const std::string stem(LastPathPart(name));
  if (stem.size() < 3 || !StartsWithNoCase(stem, "bg")) return 0;
  const char* start = stem.c_str() + 2;
  char* end = nullptr;
  const long number = std::strtol(start, &end, 10);
  if (end == start) return 0;
  const char letter = AsciiUpper(*end);
  if (letter < 'A' || letter > 'C') return 0;
  const int32_t header = -(letter - 'A' + 1);
  size_t i = 0;
  while (i < table.size() && table[i] != 0 && table[i] != header) ++i;
  if (i >= table.size() || table[i] == 0) return 0;
  ++i;
  // A header followed at once by the next header matches every number of its letter; at the
  // very end of the list it matches nothing.
  if (i < table.size() && table[i] < 0) return letter == 'A' ? 1 : 2;
  for (; i < table.size() && table[i] > 0; ++i) {
    if (table[i] == number) return letter == 'A' ? 1 : 2;
  }
  return 0;
}

bool ApplyTone(ImageSurface& picture, uint8_t tone) {
  switch (tone) {
    case 1:
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)picture.Greyscale(nullptr);
      return true;
    case 2:
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)picture.Greyscale(nullptr);
      (void)picture.ColorTone(152, 128, 107, 24, 0, -4, nullptr);
      return true;
    case kToneInvert:
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)picture.Invert(0, nullptr);
      return true;
    case 4:
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)picture.SetBrightness(kBrightnessDarker, nullptr);
      return true;
    case 5:
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)picture.ColorTone(132, 132, 126, 8, 8, -9, nullptr);
      return true;
    case 6:
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)picture.ColorTone(125, 120, 131, -13, 2, 0, nullptr);
      return true;
    default:
      return false;
  }
}

TgsScene::TgsScene(TgsSceneLinks links) : links_(std::move(links)) {
  for (int page = 0; page < 2; ++page) {
    pages_[page] = TgsPageLayer(links_.host ? links_.host->PageLayer(page) : nullptr);
    backgrounds_[page] = std::make_unique<TgsBackgroundRecord>();
    for (int group : {1, 0, 2}) {
      const TgsSpriteGroup g = SpriteGroup(group);
      for (int32_t slot = 0; slot < g.count; ++slot) {
        auto record = std::make_unique<TgsSpriteRecord>();
        record->priority = g.base + kGroupStep * uint32_t(slot);
        sprites_[page][g.first + slot] = std::move(record);
      }
    }
  }
}

TgsScene::~TgsScene() {
  // Ending the pending transition cannot fail.
  (void)EndPendingTransition();
  for (auto& slot : slots_) ReleaseEffect(&slot.effect);
  ReleaseEffect(&windowEffect_);
  for (int page = 0; page < 2; ++page) {
    TgsBackgroundRecord& bg = Background(page);
    ReleaseEffect(&bg.effect);
    ReleaseEffect(&bg.quakeEffect);
    ReleaseEffect(&bg.animEffect);
    for (int i = 0; i < kTgsSpriteSlots; ++i) ClearSlot(page, i);
    // A picture without pixels leaves the background as it was.
    if (CompositionLayer* c = Composition(page)) (void)c->SetBackgroundImage(nullptr, 0, 0, true);
  }
}

void TgsScene::EndScene() {
  // Each of these ends or clears what there is, and cannot fail.
  (void)EndPendingTransition();
  for (int slot = 0; slot < kTgsScreenSlots; ++slot) (void)StopScreenEffect(slot, 1, 0);
  ReleaseEffect(&windowEffect_);
  for (int page = 0; page < 2; ++page) {
    const uint8_t p = static_cast<uint8_t>(page);
    if (Background(page).captured) (void)CaptureBackground(false, p, false);
    (void)LoadBackgroundAnime(std::nullopt, 0, 0, p);
    (void)ReleaseQuake(p);
    (void)ClearSprites(p, -1);
    (void)LoadBackground(std::nullopt, p);
  }
  rule_.Release();
  ruleNumber_ = -1;
  // The picture kept from the scene's last moment stays on the shown page, alone; one kept
  // before is let go of only once the page no longer shows it.
  CompositionLayer* c = Composition(0);
  if (c) c->SetBackgroundColor(0, true);
  if (c && keepLast_) {
    // A picture without pixels leaves the background as it was.
    (void)c->SetBackgroundImage(&lastPicture_, 0, 0, true);
  } else {
    lastPicture_.Release();
  }
  keepLast_ = false;
}

bool TgsScene::KeepLastPicture(const ImageSurface& picture) {
  keepLast_ = lastPicture_.CopyFrom(&picture, kCopyLikeSource) == 0;
  return keepLast_;
}

CompositionLayer* TgsScene::Composition(int page) const {
  return pages_[page].GetCompositionLayer();
}

TgsSpriteRecord* TgsScene::SpriteRecord(int page, int32_t slot, int32_t group) {
  const TgsSpriteGroup g = SpriteGroup(group);
  if (slot < 0 || slot >= g.count) return nullptr;
  return sprites_[page ? 1 : 0][g.first + slot].get();
}

std::optional<int32_t> TgsScene::SpeakerX(int32_t slot) {
  const TgsSpriteRecord* r = SpriteRecord(0, slot, 0);
  if (!r || !r->sprite) return std::nullopt;
  return r->x;
}

std::array<int32_t, 5> TgsScene::CharacterIds() const {
  const TgsSpriteGroup g = SpriteGroup(0);
  std::array<int32_t, 5> ids{};
  for (int32_t slot = 0; slot < g.count; ++slot) ids[slot] = sprites_[0][g.first + slot]->charIndex;
  return ids;
}

void TgsScene::Redraw(int page) {
  // A layer without a target has nothing to redraw.
  if (CompositionLayer* c = Composition(page)) (void)c->InvalidateAll();
}

int TgsScene::LoadInto(const std::string& name, ImageSurface& into, bool eightBit) {
  if (links_.host) return links_.host->LoadPicture(name, into, eightBit);
  return eightBit ? into.Load8(name.c_str(), nullptr, 0, kImagePlain)
                  : into.Load(name.c_str(), nullptr, 0, kImagePlain);
}

// ---- Background ----------------------------------------------------------------------------

void TgsScene::DropBackgroundPicture(int page) {
  TgsBackgroundRecord& bg = Background(page);
  if (CompositionLayer* c = Composition(page)) {
    ImageSurface* shown = nullptr;
    c->GetBackground(&shown, nullptr, nullptr, nullptr, nullptr, nullptr);
    // A picture without pixels leaves the background as it was.
    if (shown == bg.picture.get()) (void)c->SetBackgroundImage(nullptr, 0, 0, false);
  }
  bg.picture.reset();
}

int32_t TgsScene::LoadBackground(TgsText name, uint8_t page) {
  const int p = P(page);
  // A name that fills the field leaves no room for its terminator.
  if (name && name->size() > kTgsNameMax) return kSceneLoadFailed;
  StopLayerEffects(p, false);
  TgsBackgroundRecord& bg = Background(p);
  const std::string_view given = name.value_or("");
  if (EqualsNoCase(given, bg.name) && bg.Plain()) return 0;
  bg.name = std::string(given);
  bg.ClearLook();
  bg.color = 0;
  if (!bg.name.empty() && links_.backgrounds)
    bg.timeOfDay = TimeOfDay(bg.name, *links_.backgrounds);
  return ApplyBackground(p);
}

int32_t TgsScene::ApplyBackground(int page) {
  TgsBackgroundRecord& bg = Background(page);
  DropBackgroundPicture(page);
  int32_t result = 0;
  if (!bg.name.empty()) {
    auto picture = std::make_shared<ImageSurface>();
    if (LoadInto(bg.name, *picture, false) == 0) {
      bg.picture = std::move(picture);
    } else {
      result = kSceneLoadFailed;
    }
  }
  if (CompositionLayer* c = Composition(page)) {
    // Showing a colour drops the layer's picture, and a picture replaces the colour.
    if (bg.picture) {
      // A picture without pixels leaves the background as it was.
      (void)c->SetBackgroundImage(bg.picture.get(), 0, 0, true);
    } else {
      c->SetBackgroundColor(0, true);
    }
  }
  return result;
}

int32_t TgsScene::ClearBackgroundToColor(int32_t color, uint8_t page) {
  const int p = P(page);
  StopLayerEffects(p, false);
  TgsBackgroundRecord& bg = Background(p);
  bg.color = uint32_t(color);
  bg.name.clear();
  bg.ClearLook();
  bg.capture.Release();
  DropBackgroundPicture(p);
  if (CompositionLayer* c = Composition(p)) {
    c->DropWorkSurface();
    // A picture without pixels leaves the background as it was.
    (void)c->SetBackgroundImage(nullptr, 0, 0, false);
    c->SetBackgroundColor(uint32_t(color), true);
  }
  return 0;
}

int32_t TgsScene::SetLayerColor(int32_t color, uint8_t page) {
  const int p = P(page);
  TgsBackgroundRecord& bg = Background(p);
  bg.color = uint32_t(color);
  CompositionLayer* c = Composition(p);
  if (c && !bg.picture && !bg.captured) c->SetBackgroundColor(uint32_t(color), false);
  return 0;
}

bool TgsScene::MakeBackgroundPrivate(int page) {
  TgsBackgroundRecord& bg = Background(page);
  if (!bg.picture || bg.picture != Background(1 - page).picture) return false;
  auto copy = std::make_shared<ImageSurface>();
  if (copy->CopyFrom(bg.picture.get(), kCopyLikeSource) != 0) return false;
  bg.picture = std::move(copy);
  if (CompositionLayer* c = Composition(page)) {
    // A picture without pixels leaves the background as it was.
    (void)c->SetBackgroundImage(bg.picture.get(), bg.offsetX, bg.offsetY, true);
  }
  return true;
}

int32_t TgsScene::ToneAndFilters(ImageSurface& picture, uint8_t& toneField, uint8_t tone,
                                 uint8_t& filterB, bool b, uint8_t& filterA, bool a) {
  if (tone != 0) {
    if (toneField != 0) {
      if (tone != kToneInvert || toneField != kToneInvert) return kSceneToneConflict;
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)picture.Invert(0, nullptr);
      toneField = 0;
    } else {
      // The tone is one of the table's: checked by the caller.
      (void)ApplyTone(picture, tone);
      toneField = tone;
    }
  }
  if (b) {
    filterB ^= 1;
    picture.LibFilterB(nullptr);
  }
  if (a) {
    filterA ^= 1;
    picture.LibFilterA(nullptr);
  }
  return 0;
}

void TgsScene::FilterLevel(ImageSurface& picture, uint8_t& libOp, int32_t level) {
  if (level == 0) level = 1;
  libOp = uint8_t(level);
  const uint32_t words[4] = {uint32_t(level), uint32_t(level), 0, 0};
  picture.LibOpFour(words);
}

int32_t TgsScene::SetBackgroundTone(uint8_t tone, bool filterB, bool filterA, bool bars,
                                    uint8_t page) {
  const int p = P(page);
  StopLayerEffects(p, false);
  TgsBackgroundRecord& bg = Background(p);
  if (!bg.picture) return kSceneLoadFailed;
  if (tone > kBackgroundTones) return kSceneToneConflict;
  // A picture that cannot be copied stays shared, and both pages take the tone.
  (void)MakeBackgroundPrivate(p);
  int32_t r =
      ToneAndFilters(*bg.picture, bg.tone, tone, bg.libFilterB, filterB, bg.libFilterA, filterA);
  if (r != 0) return r;
  if (bars) {
    bg.bars = 1;
    const Rect upper{0, 0, kTgsScreenWidth, kBarHeight};
    const Rect lower{0, kTgsScreenHeight - kBarHeight, kTgsScreenWidth, kTgsScreenHeight};
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)bg.picture->FillRgb(0, 0, 0, &upper);
    (void)bg.picture->FillRgb(0, 0, 0, &lower);
  }
  Redraw(p);
  return 0;
}

int32_t TgsScene::SetBackgroundFilter(int32_t level, uint8_t page) {
  const int p = P(page);
  StopLayerEffects(p, false);
  TgsBackgroundRecord& bg = Background(p);
  if (!bg.picture) return kSceneLoadFailed;
  if (bg.bars || bg.libOp) return kSceneToneConflict;
  // A picture that cannot be copied stays shared, and both pages take the filter.
  (void)MakeBackgroundPrivate(p);
  FilterLevel(*bg.picture, bg.libOp, level);
  Redraw(p);
  return 0;
}

int32_t TgsScene::SetBackgroundOffset(int32_t x, int32_t y, uint8_t page) {
  const int p = P(page);
  StopLayerEffects(p, false);
  TgsBackgroundRecord& bg = Background(p);
  const bool changed = bg.offsetX != x || bg.offsetY != y || bg.view[0] != -1 || bg.zoom != 0;
  bg.offsetX = x;
  bg.offsetY = y;
  bg.view = {-1, 0, 0, 0};
  bg.zoom = 0;
  if (changed) {
    if (CompositionLayer* c = Composition(p)) {
      c->DropWorkSurface();
      // A picture without pixels leaves the background as it was.
      (void)c->SetBackgroundImage(bg.picture.get(), x, y, true);
    }
  }
  return 0;
}

int32_t TgsScene::CaptureBackground(bool on, uint8_t page, bool withSecondList) {
  const int p = P(page);
  StopLayerEffects(p, true);
  TgsBackgroundRecord& bg = Background(p);
  CompositionLayer* c = Composition(p);
  // A capture taken again renders the scene without the old capture behind it.
  // A picture without pixels leaves the background as it was.
  if (c && bg.captured)
    (void)c->SetBackgroundImage(bg.picture.get(), bg.offsetX, bg.offsetY, false);
  bg.captured = on ? 1 : 0;
  if (on) {
    if (!bg.capture.GetPixels() &&
        bg.capture.Create(kTgsScreenWidth, kTgsScreenHeight, 32, kImagePlain) != kSurfaceDone) {
      return kSceneLoadFailed;
    }
    if (!c) return 0;
    // A capture that cannot be drawn keeps the picture it had.
    (void)c->RenderTo(&bg.capture, kRenderTagDiffers, uint32_t(-1), withSecondList);
    return c->SetBackgroundImage(&bg.capture, 0, 0, true) ? 0 : kSceneLoadFailed;
  }
  // A picture without pixels leaves the background as it was.
  if (c) (void)c->SetBackgroundImage(bg.picture.get(), bg.offsetX, bg.offsetY, true);
  bg.capture.Release();
  return 0;
}

int32_t TgsScene::SetBackgroundView(int32_t x, int32_t y, int32_t width, int32_t height,
                                    uint8_t page) {
  const int p = P(page);
  StopLayerEffects(p, false);
  TgsBackgroundRecord& bg = Background(p);
  bg.view = {x, y, x + width, y + height};
  bg.offsetX = bg.offsetY = 0;
  bg.zoom = 0;
  CompositionLayer* c = Composition(p);
  const Rect source{x, y, x + width, y + height};
  const int r = c ? c->SetBackgroundStretch(0, 0, kTgsScreenWidth, kTgsScreenHeight, &source) : 1;
  if (!c || !c->IsTransformed()) bg.view[0] = -1;
  return r > 0 ? 1 : 0;
}

void TgsScene::ApplyZoomView(int page, int32_t x, int32_t y, int32_t w, int32_t h) {
  TgsBackgroundRecord& bg = Background(page);
  CompositionLayer* c = Composition(page);
  bg.view = {x, y, x + w, y + h};
  if (c && !c->IsTransformed()) bg.view[0] = -1;
  bg.offsetX = bg.offsetY = 0;
  bg.zoom = 0;
}

int32_t TgsScene::SetBackgroundZoomNow(int32_t x, int32_t y, TgsText zoom, uint8_t page) {
  const int p = P(page);
  StopLayerEffects(p, false);
  DcpPluginManager* effects = Global<DcpPluginManager>::Get();
  EffectCommand command = effects ? effects->FindCommand("bg_zoom") : nullptr;
  if (!command) return kNoCommandFunction;
  int32_t vx = 0, vy = 0, vw = 0, vh = 0;
  const std::string zoomText(zoom.value_or(""));
  const ArgWord zoomWord = zoom ? Word(zoomText.c_str()) : ArgWord{0};
  const int r =
      command({Word(LayerOf(p)), x, y, zoomWord, Word(&vx), Word(&vy), Word(&vw), Word(&vh)});
  ApplyZoomView(p, vx, vy, vw, vh);
  return r;
}

int32_t TgsScene::RotateBackground(int32_t angle, TgsText scale, int32_t x, int32_t y,
                                   uint8_t page) {
  const int p = P(page);
  StopLayerEffects(p, false);
  TgsBackgroundRecord& bg = Background(p);
  const double factor = scale ? std::strtod(std::string(*scale).c_str(), nullptr) : 1.0;
  bg.angle = angle;
  bg.zoom = float(factor);
  bg.offsetX = x;
  bg.offsetY = y;
  bg.view = {-1, 0, 0, 0};
  CompositionLayer* c = Composition(p);
  const int r = c ? c->SetBackgroundRotation(x, y, angle, factor) : 1;
  if (!c || !c->IsTransformed()) bg.zoom = 0;
  return r > 0 ? 1 : 0;
}

int32_t TgsScene::LoadBackgroundAnime(TgsText name, int32_t startFrame, uint32_t argument,
                                      uint8_t page) {
  const int p = P(page);
  if (name && name->size() > kTgsNameMax) return kSceneAnimeFailed;
  TgsBackgroundRecord& bg = Background(p);
  bg.animName = std::string(name.value_or(""));
  bg.animState = 0;
  // An animation is placed where it starts (a movie keeps -1): save data brings it back there,
  // and as an animation, not a movie.
  bg.animFrame = name ? std::max(startFrame, 0) : -1;
  bg.animArg = name ? argument : 0;
  StopLayerEffects(p, false);
  ReleaseEffect(&bg.animEffect);
  bg.animData.reset();
  if (!name) return 0;
  auto data = std::make_shared<HvdAnimation>();
  if (int code = data->Load(bg.animName.c_str()); code != 0) return code;
  bg.animData = data;
  const int r =
      CreateEffectByKeyword(&bg.animEffect, "bg_anime", LayerOf(p),
                            {Word(data.get()), Word("ANIME"), std::max(startFrame, 0), argument});
  return r == 0 ? 0 : kEffectSetUpFailed;
}

int32_t TgsScene::LoadBackgroundMovie(TgsText name, uint8_t page, uint8_t flag) {
  const int p = P(page);
  if (name && name->size() > kTgsNameMax) return kSceneAnimeFailed;
  TgsBackgroundRecord& bg = Background(p);
  bg.animName = std::string(name.value_or(""));
  bg.animFrame = -1;
  bg.animState = 0;
  StopLayerEffects(p, false);
  ReleaseEffect(&bg.animEffect);
  bg.animData.reset();
  if (!name) return 0;
  const int r = CreateEffectByKeyword(&bg.animEffect, "bg_movie", Composition(p),
                                      {Word(bg.animName.c_str()), flag, 0});
  return r == 0 ? 0 : kEffectSetUpFailed;
}

int32_t TgsScene::ControlBackgroundAnime(uint8_t page, int32_t op) {
  const int p = P(page);
  // Ending the pending transition cannot fail.
  (void)EndPendingTransition();
  if (op < 0 || op > 6) return kSceneBadOperation;
  TgsBackgroundRecord& bg = Background(p);
  if (!bg.animEffect) return kSceneNoAnime;
  const bool positioned = bg.animFrame >= 0;
  if (op == 1) {
    if (CompositionLayer* c = Composition(p)) c->SetBackgroundColor(0, true);
    bg.animState = 1;
  } else if (op == 3) {
    bg.animState = 1;
  } else if ((op == 0 || op == 2 || op == 4) && (positioned || op == 0)) {
    bg.animState = 0;
  }
  const int frame = 0;
  const int r = bg.animEffect->Command({op, frame, 0});
  if (r == 0 && op == 0 && positioned) {
    bg.animFrame = frame;
    bg.animArg = 0;
  }
  return 0;
}

int32_t TgsScene::WaitBackgroundAnime(uint8_t page) {
  TgsBackgroundRecord& bg = Background(P(page));
  if (!bg.animEffect || bg.animFrame < 0 || bg.animEffect->Query({1}) != 0) return 0;
  const int32_t arg = bg.animEffect->Query({4});
  if (arg < 0) {
    const int32_t frame = bg.animEffect->Query({5});
    if (frame < 0) return 0;
    bg.animFrame = frame;
    bg.animArg = 0;
  } else {
    bg.animArg = uint32_t(arg);
  }
  while (bg.animEffect && bg.animEffect->Query({0}) == 1 && bg.animEffect->Query({1}) == 0) {
    if (!Turn()) return -1;
  }
  return 0;
}

int32_t TgsScene::WaitBackgroundAnimeEnd(uint8_t page, bool skippable) {
  TgsBackgroundRecord& bg = Background(P(page));
  bg.animState = 0;
  while (bg.animEffect && bg.animEffect->Query({0}) == 1) {
    if (skippable && Skipping()) {
      // An effect that refuses it goes on as it was.
      (void)bg.animEffect->Command({4});
      return 1;
    }
    if (!Turn()) return -1;
  }
  return 0;
}

// ---- Standing pictures ------------------------------------------------------------------------

int32_t TgsScene::SetSpriteTint(bool on) {
  tint_ = on;
  return 0;
}

void TgsScene::ReleaseSlotDisplay(int page, int index) {
  TgsSpriteRecord& r = SpriteAt(page, index);
  r.sprite.reset();  // leaves its list on the way out
  r.picture.reset();
}

void TgsScene::ClearSlot(int page, int index) {
  TgsSpriteRecord& r = SpriteAt(page, index);
  if (r.charIndex < 0 && !r.sprite) return;
  ReleaseEffect(&r.effect);
  ReleaseSlotDisplay(page, index);
  r.ResetLook();
  r.x = r.y = 0;
}

void TgsScene::ShiftGroup(int page, const TgsSpriteGroup& g, int index, uint32_t low, uint32_t high,
                          int32_t step) {
  for (int32_t s = 0; s < g.count; ++s) {
    const int i = g.first + s;
    if (i == index) continue;
    TgsSpriteRecord& other = SpriteAt(page, i);
    if (other.priority < low || other.priority > high) continue;
    other.priority = uint32_t(int64_t(other.priority) + step);
    if (!other.sprite) continue;
    DisplayObjectList* list = other.sprite->GetOwnerList();
    const bool visible = other.sprite->IsVisible();
    if (list) list->SetPriority(other.sprite.get(), other.priority, false);
    if (!visible) other.sprite->SetVisible(false);
  }
}

int32_t TgsScene::LoadSprite(int32_t slot, TgsText name, uint8_t page, int32_t group, bool toBack) {
  const int p = P(page);
  const TgsSpriteGroup g = SpriteGroup(group);
  TgsSpriteRecord* record = SpriteRecord(p, slot, group);
  if (!record) return kSceneBadSlot;
  const int index = g.first + slot;
  TgsSpriteRecord& r = *record;
  if (!name) {
    if (r.charIndex < 0) return kSceneEmptySlot;
    // Ending the pending transition cannot fail.
    (void)EndPendingTransition();
    ClearSlot(p, index);
    return 0;
  }
  if (name->size() > kTgsNameMax) return kSceneSpriteLoadFailed;
  if (r.sprite && r.tone == 0 && EqualsNoCase(*name, r.name)) return 0;
  // Ending the pending transition cannot fail.
  (void)EndPendingTransition();
  ReleaseEffect(&r.effect);
  const int32_t keepX = r.x, keepY = r.y;
  r.ResetLook();
  r.name = ToUpper(*name);
  r.charIndex = 1;
  if (!links_.characterName.empty()) {
    const std::string stem(LastPathPart(r.name));
    std::array<char, 3> mine{}, theirs{};
    for (size_t i = 0; i < 3; ++i) {
      if (i < stem.size()) mine[i] = stem[i];
      if (i < links_.characterName.size()) theirs[i] = links_.characterName[i];
    }
    if (mine == theirs) r.charIndex = 0;
  }
  r.x = keepX;
  r.y = keepY;
  ReleaseSlotDisplay(p, index);
  if (toBack) {
    ShiftGroup(p, g, index, 0, r.priority - 1, int32_t(kGroupStep));
    r.priority = g.base;
  }
  auto picture = std::make_shared<ImageSurface>();
  if (LoadInto(r.name, *picture, false) != 0) {
    r.ResetLook();
    r.x = r.y = 0;
    return kSceneSpriteLoadFailed;
  }
  r.picture = std::move(picture);
  r.anchorX = kTgsScreenWidth / 2 - int32_t(r.picture->GetWord1());
  r.anchorY = kTgsScreenHeight - int32_t(r.picture->GetWord2());
  r.sprite = std::make_unique<Sprite>();
  // A sprite that cannot take the picture keeps the one it had.
  (void)r.sprite->SetImage(r.picture.get(), nullptr, r.x - r.anchorX, r.y - r.anchorY);
  // A mode out of range keeps the one in force.
  (void)r.sprite->SetMirrorMode(1);
  // An object already listed stays where it is.
  if (CompositionLayer* c = Composition(p)) (void)c->GetList().Add(r.sprite.get(), r.priority, 0);
  const uint32_t t = Background(p).timeOfDay;
  if (r.charIndex != 1 && tint_ && t != 0) {
    // The sprite was loaded just above: the tint has its picture.
    (void)SetSpriteTone(slot, uint8_t(4 + t), false, false, uint8_t(p), group);
  }
  return 0;
}

void TgsScene::MakeSpritePrivate(int page, int index) {
  TgsSpriteRecord& r = SpriteAt(page, index);
  if (!r.picture || r.picture != SpriteAt(1 - page, index).picture) return;
  auto copy = std::make_shared<ImageSurface>();
  if (copy->CopyFrom(r.picture.get(), kCopyLikeSource) != 0) return;
  auto sprite = std::make_unique<Sprite>();
  if (r.sprite) sprite->CopyStateFrom(*r.sprite);
  // A sprite that cannot take the picture keeps the one it had.
  (void)sprite->SetImage(copy.get(), nullptr, r.x - r.anchorX, r.y - r.anchorY);
  // A mode out of range keeps the one in force.
  (void)sprite->SetMirrorMode(1);
  r.sprite.reset();
  r.picture = std::move(copy);
  r.sprite = std::move(sprite);
  // An object already listed stays where it is.
  if (CompositionLayer* c = Composition(page))
    (void)c->GetList().Add(r.sprite.get(), r.priority, 0);
}

int32_t TgsScene::SetSpriteTone(int32_t slot, uint8_t tone, bool filterB, bool filterA,
                                uint8_t page, int32_t group) {
  const int p = P(page);
  TgsSpriteRecord* r = SpriteRecord(p, slot, group);
  if (!r) return kSceneBadSlot;
  if (!r->picture || tone > kSpriteTones) return kSceneNoPicture;
  MakeSpritePrivate(p, SpriteGroup(group).first + slot);
  const int32_t result =
      ToneAndFilters(*r->picture, r->tone, tone, r->libFilterB, filterB, r->libFilterA, filterA);
  if (r->sprite) r->sprite->Refresh(nullptr);
  return result;
}

int32_t TgsScene::SetSpriteFilter(int32_t slot, int32_t level, uint8_t page, int32_t group) {
  const int p = P(page);
  TgsSpriteRecord* r = SpriteRecord(p, slot, group);
  if (!r) return kSceneBadSlot;
  if (!r->picture || r->libOp) return kSceneNoPicture;
  MakeSpritePrivate(p, SpriteGroup(group).first + slot);
  FilterLevel(*r->picture, r->libOp, level);
  if (r->sprite) r->sprite->Refresh(nullptr);
  return 0;
}

int32_t TgsScene::PlaceInternal(int page, int index, int32_t position, bool offScreen) {
  TgsSpriteRecord& r = SpriteAt(page, index);
  if (!r.picture) return kSceneNoPicture;
  // Ending the pending transition cannot fail.
  (void)EndPendingTransition();
  ReleaseEffect(&r.effect);
  r.persistKind = 0;
  int32_t x = 600, y = kTgsScreenHeight;
  if (position == 0) {
    x = 400;
    if (offScreen) y = r.anchorY + kTgsScreenHeight;
  } else if (position == 1) {
    x = offScreen ? r.anchorX - r.picture->GetWidth() : 200;
  } else if (offScreen) {
    x = r.anchorX + kTgsScreenWidth;
  }
  r.x = x;
  r.y = y;
  if (r.sprite) r.sprite->SetPos(x - r.anchorX, y - r.anchorY);
  return 0;
}

int32_t TgsScene::PlaceSprite(int32_t slot, int32_t position, bool offScreen, uint8_t page,
                              int32_t group) {
  if (!SpriteRecord(P(page), slot, group)) return kSceneBadSlot;
  return PlaceInternal(P(page), SpriteGroup(group).first + slot, position, offScreen);
}

int32_t TgsScene::KeepSpritePlace(int32_t slot, uint8_t page, int32_t group) {
  TgsSpriteRecord* r = SpriteRecord(P(page), slot, group);
  if (!r || !r->picture) return 0;
  if (r->x != 0 || r->y != 0) return 0;
  return PlaceInternal(P(page), SpriteGroup(group).first + slot, 0, false);
}

int32_t TgsScene::MoveSprite(int32_t slot, int32_t x, int32_t y, uint8_t page, int32_t group) {
  TgsSpriteRecord* r = SpriteRecord(P(page), slot, group);
  if (!r) return kSceneBadSlot;
  if (!r->picture) return kSceneNoPicture;
  r->x = r->anchorX + x;
  r->y = r->anchorY + y;
  if (r->sprite) r->sprite->SetPos(x, y);
  return 0;
}

int32_t TgsScene::SpriteOrder(int32_t slot, uint8_t page, int32_t group, bool stop, bool front) {
  const int p = P(page);
  const TgsSpriteGroup g = SpriteGroup(group);
  TgsSpriteRecord* r = SpriteRecord(p, slot, group);
  if (!r) return kSceneBadSlot;
  if (!r->picture) return kSceneNoPicture;
  if (stop) {
    ReleaseEffect(&r->effect);
    r->persistKind = 0;
  }
  const uint32_t top = g.base + kGroupStep * uint32_t(g.count - 1);
  const uint32_t target = front ? top : g.base;
  if (r->priority == target) return 0;
  const int index = g.first + slot;
  if (front) {
    ShiftGroup(p, g, index, r->priority + 1, top, -int32_t(kGroupStep));
  } else {
    ShiftGroup(p, g, index, g.base, r->priority - 1, int32_t(kGroupStep));
  }
  r->priority = target;
  if (stop && r->sprite) {
    if (DisplayObjectList* list = r->sprite->GetOwnerList()) {
      list->SetPriority(r->sprite.get(), target, false);
    }
  }
  return 0;
}

int32_t TgsScene::SpriteToBack(int32_t slot, uint8_t page, int32_t group, bool stop) {
  return SpriteOrder(slot, page, group, stop, false);
}

int32_t TgsScene::SpriteToFront(int32_t slot, uint8_t page, int32_t group, bool stop) {
  return SpriteOrder(slot, page, group, stop, true);
}

int32_t TgsScene::ClearSprites(uint8_t page, int32_t group) {
  const int p = P(page);
  for (int g : {1, 0, 2}) {
    if (group != -1 && SpriteGroup(group).first != SpriteGroup(g).first) continue;
    const TgsSpriteGroup sg = SpriteGroup(g);
    for (int32_t s = 0; s < sg.count; ++s) ClearSlot(p, sg.first + s);
  }
  return 0;
}

}  // namespace bw
