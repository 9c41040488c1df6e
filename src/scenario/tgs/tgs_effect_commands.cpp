// The scene's effects: handles, the screen-effect slots, the layer and screen effect commands
// with their immediate forms, and the page transitions.
#include "scenario/tgs/tgs_effect_commands.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "common/byte_reader.h"
#include "common/byte_writer.h"
#include "common/global.h"
#include "common/sjis.h"
#include "effects/arg_cursor.h"
#include "effects/bg_blur_effect.h"
#include "effects/display_effect.h"
#include "effects/effect_registries.h"
#include "effects/motion_path.h"
#include "effects/sp_change_effect.h"
#include "graphics/layers/surface_layer.h"
#include "graphics/surface/composition_layer.h"
#include "platform/timer_service.h"
#include "scenario/tgs/tgs_effect_words.h"
#include "scenario/tgs/tgs_scene.h"

namespace bw {

namespace {

using tgs_effects::Effects;
using tgs_effects::PutDouble;
using tgs_effects::TextWord;
using tgs_effects::Timers;

constexpr int32_t kDefaultTransitionMs = 1000;
constexpr int32_t kDefaultVagueness = 32;
constexpr int32_t kNoisePriority = 19900;
constexpr int32_t kWeatherPriority = 19950;

int32_t OrDefault(int32_t time) {
  return time == 0 ? kDefaultTransitionMs : time;
}

// A time-or-slot word: 0, -1 and -2 name slots 0-2, anything below a bad slot, above a time.
int32_t SlotOf(int32_t timeOrSlot) {
  return timeOrSlot > 0 ? -1 : -timeOrSlot;
}

double DecimalOr(const TgsText& text, double fallback) {
  return text ? std::strtod(std::string(*text).c_str(), nullptr) : fallback;
}

void MirrorRule(ImageSurface& rule, bool horizontal, bool vertical) {
  const int32_t w = rule.GetWidth(), h = rule.GetHeight();
  if (!rule.GetPixels()) return;
  if (horizontal) {
    for (int32_t y = 0; y < h; ++y) std::reverse(rule.GetRowPointer(y), rule.GetRowPointer(y) + w);
  }
  if (vertical) {
    for (int32_t y = 0; y < h / 2; ++y) {
      std::swap_ranges(rule.GetRowPointer(y), rule.GetRowPointer(y) + w,
                       rule.GetRowPointer(h - 1 - y));
    }
  }
}

}  // namespace

void SwapSlotPages(TgsScreenSlot& slot) {
  auto& w = slot.words;
  switch (w[0]) {
    case kSlotPathAnime:
    case kSlotRaster:
    case kSlotHaze10:
    case kSlotHaze20:
    case kSlotLoop:
    case kSlotMovie:
      w[1] = w[1] ? 0 : 1;
      break;
    case kSlotParts:
      if (w[4] == 2) {
        std::swap(w[2], w[3]);
      } else {
        w[4] = w[4] ? 0 : 1;
      }
      break;
    case kSlotCross:
      w[2] = w[2] == 1 ? 2 : (w[2] != 0 ? 1 : 0);
      w[3] = w[3] ? 0 : 1;
      break;
    case kSlotQuake:
      std::swap(w[5], w[6]);
      break;
    case kSlotNoise:
    case kSlotWeather:
    case kSlotWeather + 1:
    case kSlotWeather + 2:
    case kSlotWeather + 3:
      std::swap(w[2], w[3]);
      break;
    default:
      break;
  }
}

// ---- Effect handles ---------------------------------------------------------------------------

int TgsScene::CreateEffectByKeyword(DisplayEffect** handle, const char* keyword,
                                    EffectTarget target, ArgWords args) {
  DcpPluginManager* effects = Effects();
  TimerService* timers = Timers();
  std::unique_ptr<DisplayEffect> effect(effects ? effects->Create(keyword) : nullptr);
  if (!effect) return kEffectUnknownKeyword;
  if (LowSpec() && effect->priorityState == kPriorityArmed)
    effect->priorityState = kPriorityDisarmed;
  if (!timers || effect->Setup(timers, target, args) != 0) {
    // A keep count holds the effect for another creator.
    if (effect->keepCount != 0) --effect.release()->keepCount;
    return kEffectSetUpFailed;
  }
  DisplayEffect* running = timers->HandOver(std::move(effect));
  if (!running) return kEffectSetUpFailed;
  *handle = running;
  running->SetOwnerSlot(handle);
  return 0;
}

void TgsScene::ReleaseEffect(DisplayEffect** handle) {
  DisplayEffect* effect = *handle;
  if (!effect) return;
  effect->ClearOwnerSlot();
  *handle = nullptr;
  // A task that ended on its own is gone already.
  if (TimerService* timers = Timers()) (void)timers->RemoveByHandle(effect->Handle());
}

int TgsScene::WaitEffect(DisplayEffect** handle, bool skippable) {
  while (*handle) {
    if (skippable && Skipping()) {
      ReleaseEffect(handle);
      return 1;
    }
    if (!Turn()) return -1;
  }
  return 0;
}

void TgsScene::StopLayerEffects(int page, bool alsoAnime) {
  // Ending the pending transition cannot fail.
  (void)EndPendingTransition();
  TgsBackgroundRecord& bg = Background(page);
  ReleaseEffect(&bg.effect);
  for (int i = 0; i < kTgsScreenSlots; ++i) {
    const int32_t kind = slots_[i].Kind();
    const bool onPage = (kind == kSlotPathAnime || (kind >= kSlotRaster && kind <= kSlotLoop)) &&
                        slots_[i].words[1] == page;
    // An idle slot has nothing to stop.
    if (onPage || kind == kSlotCross) (void)StopScreenEffect(i, 1, 0);
  }
  // An anime that is gone has nothing to stop.
  if (alsoAnime && bg.animState == 1) (void)ControlBackgroundAnime(uint8_t(page), 4);
}

int32_t TgsScene::StopScreenEffect(int32_t slot, int32_t release, int32_t /*extra*/) {
  if (slot < 0 || slot >= kTgsScreenSlots) return kSlotBad;
  TgsScreenSlot& s = slots_[slot];
  const int32_t kind = s.Kind();
  s.words[0] = 0;
  if (release == 0 && kind >= kSlotQuake && !(kind == kSlotQuake && s.words[1] == 0)) {
    TimerService* timers = Timers();
    if (!s.effect || !timers || !timers->Contains(s.effect->Handle())) return kSlotNotRunning;
    return s.effect->Command({0});
  }
  ReleaseEffect(&s.effect);
  return 0;
}

int32_t TgsScene::SetScreenEffectArgs(int32_t slot, bool a, bool b) {
  if (slot < 0 || slot >= kTgsScreenSlots || !slots_[slot].effect) return kSlotNotRunning;
  TgsScreenSlot& s = slots_[slot];
  const int32_t kind = s.Kind();
  if (kind != kSlotNoise && kind != kSlotParts && kind < kSlotWeather) return kSlotRefusesArgs;
  s.words[2] = a;
  s.words[3] = b;
  return kind == kSlotNoise ? s.effect->Command({a, b}) : s.effect->Command({1, a, b});
}

int32_t TgsScene::WaitScreenEffect(int32_t slot, bool skippable) {
  if (slot < 0 || slot >= kTgsScreenSlots || !slots_[slot].effect) {
    return StopScreenEffect(slot, 1, 0);
  }
  return WaitEffect(&slots_[slot].effect, skippable);
}

int32_t TgsScene::RunSlotEffect(int32_t slot, int kind, const char* keyword, TgsScreenSlot words,
                                ArgWords args, int32_t failure, int page, EffectTarget target) {
  // An empty or idle slot has nothing to stop.
  (void)StopScreenEffect(slot, 1, 0);
  TgsScreenSlot& s = slots_[slot];
  s.words = words.words;
  s.words[0] = kind;
  s.name = words.name;
  if (!EffectsShown()) return 0;
  return CreateEffectByKeyword(&s.effect, keyword, target ? target : EffectTarget(LayerOf(page)),
                               args) == 0
             ? 0
             : failure;
}

// ---- Layer and screen effects -----------------------------------------------------------------

int32_t TgsScene::ZoomBackground(uint8_t page, int32_t x, int32_t y, TgsText zoom, TgsText ease,
                                 int32_t time) {
  const int p = P(page);
  StopLayerEffects(p, false);
  TgsBackgroundRecord& bg = Background(p);
  // The effect reads its decimals as texts; a text not given reaches it as null.
  const std::string zoomText(zoom.value_or("")), easeText(ease.value_or(""));
  const ArgWord zoomWord = zoom ? Word(zoomText.c_str()) : ArgWord{0};
  const ArgWord easeWord = ease ? Word(easeText.c_str()) : ArgWord{0};
  int32_t vx = 0, vy = 0, vw = 0, vh = 0;
  if (EffectsShown() && !Skipping()) {
    const int r =
        CreateEffectByKeyword(&bg.effect, "bg_zoom", LayerOf(p), {x, y, zoomWord, easeWord, time});
    if (r != 0) return r;
    // Without an answer the view keeps the zeros it starts from.
    (void)bg.effect->Query({Word(&vx), Word(&vy), Word(&vw), Word(&vh)});
    ApplyZoomView(p, vx, vy, vw, vh);
    return 0;
  }
  EffectCommand command = Effects() ? Effects()->FindCommand("bg_zoom") : nullptr;
  if (!command) return kNoCommandFunction;
  const int r =
      command({Word(LayerOf(p)), x, y, zoomWord, Word(&vx), Word(&vy), Word(&vw), Word(&vh)});
  ApplyZoomView(p, vx, vy, vw, vh);
  return r;
}

int32_t TgsScene::RotateBackgroundEffect(uint8_t page, int32_t angle, TgsText scale, int32_t x,
                                         int32_t y, TgsText ease, int32_t time) {
  const int p = P(page);
  if (!EffectsShown() || Skipping()) return RotateBackground(angle, scale, x, y, page);
  StopLayerEffects(p, false);
  TgsBackgroundRecord& bg = Background(p);
  const std::string text(scale.value_or("1.0"));
  std::string easeText;
  const int r =
      CreateEffectByKeyword(&bg.effect, "bg_rot", LayerOf(p),
                            {x, y, angle, Word(text.c_str()), TextWord(ease, easeText), time});
  if (r != 0) return r;
  bg.angle = angle;
  bg.zoom = float(std::strtod(text.c_str(), nullptr));
  bg.offsetX = x;
  bg.offsetY = y;
  bg.view = {-1, 0, 0, 0};
  return 0;
}

int32_t TgsScene::AnimateBackgroundPath(uint8_t page, TgsText path, int32_t time, bool a, bool b,
                                        bool c, int32_t slot) {
  const int p = P(page);
  if (!path || slot >= kTgsScreenSlots) return 1;
  const bool inSlot = slot >= 0;
  if (inSlot && path->size() > kTgsSlotNameMax) return 2;
  const std::string name(*path);
  if (!EffectsShown() || (!inSlot && Skipping())) {
    StopLayerEffects(p, false);
    if (inSlot) {
      TgsScreenSlot& s = slots_[slot];
      s.words = {kSlotPathAnime, p, time, a, b, 0, 0};
      s.name = name;
    }
    return BackgroundPathNow(p, name);
  }
  const ArgList args{Word(name.c_str()), time, a, b, c, inSlot, !inSlot};
  if (inSlot) {
    TgsScreenSlot words;
    words.words = {0, p, time, a, b};
    words.name = name;
    return RunSlotEffect(slot, kSlotPathAnime, "bg_panime", words, args, 3, p);
  }
  StopLayerEffects(p, false);
  TgsBackgroundRecord& bg = Background(p);
  if (CreateEffectByKeyword(&bg.effect, "bg_panime", LayerOf(p), args) != 0) return 3;
  int32_t x = bg.offsetX, y = bg.offsetY;
  // Without an answer the offset stays where it was.
  (void)bg.effect->Query({Word(&x), Word(&y)});
  bg.offsetX = x;
  bg.offsetY = y;
  return 0;
}

int32_t TgsScene::BackgroundPathNow(int page, const std::string& name) {
  EffectCommand command = Effects() ? Effects()->FindCommand("bg_panime") : nullptr;
  if (!command) return kNoCommandFunction;
  TgsBackgroundRecord& bg = Background(page);
  int32_t x = bg.offsetX, y = bg.offsetY;
  const int r = command({Word(LayerOf(page)), Word(name.c_str()), Word(&x), Word(&y)});
  if (r != 0) return r + 4;
  bg.offsetX = x;
  bg.offsetY = y;
  bg.view = {-1, 0, 0, 0};
  bg.zoom = 0;
  return 0;
}

int32_t TgsScene::EndBackgroundPath(TgsText path, uint8_t page) {
  if (!path) return 1;
  StopLayerEffects(P(page), false);
  return BackgroundPathNow(P(page), std::string(*path));
}

void TgsScene::RecordBlurEnd(int page, const BlurEnd& end) {
  TgsBackgroundRecord& bg = Background(page);
  bg.view = {-1, 0, 0, 0};
  bg.offsetX = bg.offsetY = 0;
  bg.zoom = 0;
  if (end.angle != 0) {
    bg.offsetX = end.x;
    bg.offsetY = end.y;
    bg.angle = int32_t(end.angle);
    bg.zoom = float(end.zoom);
    return;
  }
  Rect view;
  if (BgBlurEffect::ComputeView(end.x, end.y, end.zoom, kTgsScreenWidth, kTgsScreenHeight, &view) ==
      0) {
    bg.view = {view.left, view.top, view.right, view.bottom};
  }
}

int32_t TgsScene::BlurNow(int page, const BlurEnd& end) {
  EffectCommand command = Effects() ? Effects()->FindCommand("bg_blur") : nullptr;
  if (!command) return kNoCommandFunction;
  ArgWord z[2], a[2];
  PutDouble(end.zoom, z);
  PutDouble(end.angle, a);
  const int r = command({Word(LayerOf(page)), end.x, end.y, z[0], z[1], a[0], a[1]});
  if (r == 0) RecordBlurEnd(page, end);
  return r;
}

int32_t TgsScene::RunBlur(int page, ArgWords args, const BlurEnd* readBack, bool wait,
                          bool skippable) {
  TgsBackgroundRecord& bg = Background(page);
  if (CreateEffectByKeyword(&bg.effect, "bg_blur", LayerOf(page), args) != 0) return 1;
  if (readBack) RecordBlurEnd(page, *readBack);
  // The blur runs to its end or is skipped: either way the command is done.
  if (wait) (void)WaitEffect(&bg.effect, skippable);
  return 0;
}

int32_t TgsScene::BlurBackground(uint8_t page, std::span<const int32_t, 15> v,
                                 std::span<const TgsText, 15> texts, bool readBack, bool wait,
                                 bool skippable) {
  const int p = P(page);
  StopLayerEffects(p, false);
  const BlurEnd end{v[0], v[1], DecimalOr(texts[4], 1.0), DecimalOr(texts[5], 0.0)};
  if (!EffectsShown() || Skipping()) return readBack ? BlurNow(p, end) : 0;
  std::array<std::string, 15> keep;
  auto t = [&](size_t i) { return TextWord(texts[i], keep[i]); };
  return RunBlur(p,
                 {0, v[0], v[1], t(2), t(3), t(4), t(5), v[6], uint8_t(v[7]), t(8), t(9),
                  uint8_t(v[10]), uint8_t(v[11]), uint8_t(v[12]), uint8_t(v[13]), v[14], readBack},
                 readBack ? &end : nullptr, wait, skippable);
}

int32_t TgsScene::BlurBackgroundPath(uint8_t page, TgsText path, std::span<const int32_t, 10> v,
                                     std::span<const TgsText, 10> texts, bool readBack, bool wait,
                                     bool skippable) {
  const int p = P(page);
  StopLayerEffects(p, false);
  const std::string text(path.value_or(""));
  // The path's last point is its end state.
  std::vector<double> points;
  const int count = ParsePointTriples(path ? text.c_str() : nullptr, points);
  BlurEnd end{};
  if (count >= 1) {
    const size_t last = size_t(count - 1) * 3;
    end = {int32_t(points[last]), int32_t(points[last + 1]), points[last + 2], 0.0};
  }
  if (!EffectsShown() || Skipping()) {
    if (!readBack) return 0;
    return count < 1 ? 2 : BlurNow(p, end);
  }
  std::string ease, source;
  return RunBlur(p,
                 {Word(text.c_str()), uint8_t(v[0]), v[1], uint8_t(v[2]), TextWord(texts[3], ease),
                  TextWord(texts[4], source), uint8_t(v[5]), uint8_t(v[6]), uint8_t(v[7]),
                  uint8_t(v[8]), v[9], readBack},
                 readBack && count >= 1 ? &end : nullptr, wait, skippable);
}

int32_t TgsScene::SetBackgroundBlurNow(uint8_t page, int32_t x, int32_t y, int32_t a, int32_t b) {
  const int p = P(page);
  StopLayerEffects(p, false);
  return BlurNow(p, {x, y, double(a), double(b)});
}

int32_t TgsScene::WaitLayerEffect(uint8_t page, bool skippable) {
  return WaitEffect(&Background(P(page)).effect, skippable);
}

int32_t TgsScene::StopLayerEffect(uint8_t page) {
  ReleaseEffect(&Background(P(page)).effect);
  return 0;
}

int32_t TgsScene::ScreenNoise(int32_t slot, uint8_t level, bool a, bool b) {
  if (slot < 0 || slot >= kTgsScreenSlots) return kSlotBad;
  TgsScreenSlot words;
  words.words = {0, level, a, b};
  return RunSlotEffect(slot, kSlotNoise, "noise", words, {level, kNoisePriority, a, b}, 2);
}

int32_t TgsScene::WaveBackground(uint8_t page, int32_t type, int32_t a, int32_t b, int32_t c,
                                 int32_t timeOrSlot, int32_t d, int32_t e, bool flag) {
  const int p = P(page);
  const int32_t slot = SlotOf(timeOrSlot);
  if (type < 0 || type > 2 || slot >= kTgsScreenSlots) return 1;
  const char* keyword = type == 0 ? "bg_rast" : "bg_haze";
  const char* haze = type == 1 ? "(1,0,10)" : "(1,0,20)";
  const int32_t failure = type == 0 ? 2 : 3;
  const ArgWord first = type == 0 ? ArgWord{a} : Word(haze);
  const int32_t time = slot >= 0 ? 0 : timeOrSlot;
  const ArgList args{first, b, c, time, d, e, flag, slot < 0};
  if (slot >= 0) {
    TgsScreenSlot words;
    words.words = {0, p, a, b, c, e, flag};
    return RunSlotEffect(slot, kSlotRaster + type, keyword, words, args, failure, p);
  }
  StopLayerEffects(p, false);
  if (!EffectsShown()) return 0;
  return CreateEffectByKeyword(&Background(p).effect, keyword, LayerOf(p), args) == 0 ? 0 : failure;
}

int32_t TgsScene::LoopScrollBackground(uint8_t page, uint8_t mode, int32_t value,
                                       int32_t timeOrSlot) {
  const int p = P(page);
  const int32_t slot = SlotOf(timeOrSlot);
  if (slot >= kTgsScreenSlots) return 1;
  const ArgList args{mode, value, slot >= 0 ? 0 : timeOrSlot, slot < 0};
  if (slot >= 0) {
    TgsScreenSlot words;
    words.words = {0, p, mode, value};
    return RunSlotEffect(slot, kSlotLoop, "bg_loop", words, args, 2, p);
  }
  StopLayerEffects(0, false);
  if (!EffectsShown()) return 0;
  return CreateEffectByKeyword(&Background(0).effect, "bg_loop", LayerOf(p), args) == 0 ? 0 : 2;
}

int32_t TgsScene::SpriteMovie(TgsText name, int32_t slot, uint8_t page, bool flag, int32_t a,
                              int32_t b, int32_t c) {
  const int p = P(page);
  if (!name || slot >= kTgsScreenSlots) return 1;
  if (slot >= 0 && name->size() > kTgsSlotNameMax) return 2;
  const std::string text(*name);
  const ArgList args{Word(text.c_str()), flag, a, b, c, slot >= 0, 0};
  if (slot < 0) {
    TgsBackgroundRecord& bg = Background(p);
    ReleaseEffect(&bg.effect);
    return CreateEffectByKeyword(&bg.effect, "sp_movie", Composition(p), args) == 0 ? 0 : 3;
  }
  // An empty or idle slot has nothing to stop.
  (void)StopScreenEffect(slot, 1, 0);
  TgsScreenSlot& s = slots_[slot];
  s.words = {kSlotMovie, p, flag, a, b, c, 0};
  s.name = text;
  // The movie has no end state of its own: it always runs.
  return CreateEffectByKeyword(&s.effect, "sp_movie", Composition(p), args) == 0 ? 0 : 3;
}

int32_t TgsScene::SpriteParts(TgsText name, int32_t value, uint8_t page, int32_t slot, bool a,
                              bool b, bool c) {
  if (!name || slot >= kTgsScreenSlots) return 1;
  if (name->size() > kTgsSlotNameMax) return 3;
  const bool both = page >= 2;
  const int p = both ? 0 : P(page);
  const std::string text(*name);
  ArgWord scale[2];
  PutDouble(1.0, scale);
  const ArgList args{Word(text.c_str()), 0,        0,          value, slot, scale[0],
                     scale[1],           slot < 0, ArgWord(c), both,  a,    b};
  if (slot < 0) {
    if (!EffectsShown() || Skipping()) return b ? 2 : 0;
    TgsBackgroundRecord& bg = Background(p);
    ReleaseEffect(&bg.effect);
    return CreateEffectByKeyword(&bg.effect, "sp_parts", Composition(p), args) == 0 ? 0 : 4;
  }
  TgsScreenSlot words;
  words.words = {0, value, a, b, both ? 2 : p, c};
  words.name = text;
  return RunSlotEffect(slot, kSlotParts, "sp_parts", words, args, 4, p, Composition(p));
}

int32_t TgsScene::CrossFadeLayer(int32_t value, int32_t timeOrSlot, uint8_t a, uint8_t b) {
  const int32_t slot = SlotOf(timeOrSlot);
  if (slot >= kTgsScreenSlots) return 1;
  const ArgList args{value, slot >= 0 ? 0 : timeOrSlot, a, b, timeOrSlot > 0};
  if (slot >= 0) {
    TgsScreenSlot words;
    words.words = {0, value, a, b};
    return RunSlotEffect(slot, kSlotCross, "bg_cross", words, args, 2);
  }
  StopLayerEffects(0, false);
  if (!EffectsShown()) return 0;
  return CreateEffectByKeyword(&Background(0).effect, "bg_cross", LayerOf(0), args) == 0 ? 0 : 2;
}

int32_t TgsScene::ScreenWeather(int32_t slot, int32_t index, int32_t value, bool flag, TgsText name,
                                bool a, bool b) {
  static constexpr const char* kKeywords[] = {"paper", "light", "snow", "rain"};
  if (slot < 0 || slot >= kTgsScreenSlots || index < 0 || index > 3) return 1;
  if (name && name->size() > kTgsSlotNameMax) return 1;
  TgsScreenSlot words;
  words.words = {0, value, a, b};
  words.name = std::string(name.value_or(""));
  const std::string text = words.name;
  return RunSlotEffect(
      slot, kSlotWeather + index, kKeywords[index], words,
      {value, kWeatherPriority, kTgsScreenHeight, flag, name ? Word(text.c_str()) : 0, a, b}, 2);
}

int32_t TgsScene::Quake(std::span<const int32_t, 3> values, int32_t timeOrSlot, TgsText strength,
                        std::span<const uint8_t, 3> bytes, uint8_t page, uint8_t byte) {
  const int32_t slot = SlotOf(timeOrSlot);
  if (slot >= kTgsScreenSlots) return 1;
  std::string keep;
  const ArgList args{values[0],
                     values[1],
                     values[2],
                     slot >= 0 ? 0 : timeOrSlot,
                     TextWord(strength, keep),
                     bytes[0],
                     bytes[1],
                     bytes[2],
                     byte};
  if (slot >= 0) {
    TgsScreenSlot words;
    words.words = {0, values[0], values[1], values[2], bytes[0], bytes[1], bytes[2]};
    return RunSlotEffect(slot, kSlotQuake, "quake", words, args, 2);
  }
  TgsBackgroundRecord& bg = Background(P(page));
  ReleaseEffect(&bg.quakeEffect);
  if (!EffectsShown()) return 0;
  return CreateEffectByKeyword(&bg.quakeEffect, "quake", LayerOf(0), args) == 0 ? 0 : 2;
}

int32_t TgsScene::WaitQuake(uint8_t page, bool skippable) {
  return WaitEffect(&Background(P(page)).quakeEffect, skippable);
}

int32_t TgsScene::ReleaseQuake(uint8_t page) {
  ReleaseEffect(&Background(P(page)).quakeEffect);
  return 0;
}

// ---- Transitions ------------------------------------------------------------------------------

int TgsScene::CreateTransition(TgsPageLayer& layer, const char* keyword, uint8_t a, bool b,
                               ArgWords args) {
  if (!layer.Layer()) return kTransitionNoLayer;
  TcpPluginManager* transitions = Global<TcpPluginManager>::Get();
  FilterEffect* filter =
      transitions ? transitions->CreateAndSetUpArray(layer.Layer(), keyword, args) : nullptr;
  if (!filter) return kTransitionUnknown;
  if (layer.StartTransition(filter, a, b, !LowSpec()) != 0) {
    ReleaseFilter(filter);
    return kTransitionStartFailed;
  }
  return 0;
}

int32_t TgsScene::EndPendingTransition() {
  if (pending_ && pages_[0].InTransition()) pages_[0].FinishTransition();
  pending_ = false;
  quakeRecorded_ = false;
  quakeRecord_ = {};
  return 0;
}

int32_t TgsScene::WaitTransition(bool skippable) {
  int32_t result = 0;
  while (pages_[0].InTransition()) {
    if (skippable && Skipping()) {
      pages_[0].FinishTransition();
      result = 1;
      break;
    }
    if (!Turn()) {
      result = -1;
      break;
    }
  }
  pending_ = false;
  return result;
}

void TgsScene::SwapPageRecords(int mode) {
  std::swap(backgrounds_[0], backgrounds_[1]);
  if (mode == 1) {
    for (int i = 0; i < kTgsSpriteSlots; ++i) std::swap(sprites_[0][i], sprites_[1][i]);
  }
  for (auto& slot : slots_) SwapSlotPages(slot);
}

void TgsScene::ExchangeNow(int mode) {
  pages_[0].ExchangeWith(pages_[1], mode);
  SwapPageRecords(mode);
}

int32_t TgsScene::RunTransition(const char* keyword, uint8_t a, bool b, ArgWords args) {
  if (Skipping()) {
    ExchangeNow(mode_);
    return 0;
  }
  const int r = CreateTransition(pages_[0], keyword, a, b, args);
  if (r == 0) {
    pending_ = true;
    SwapPageRecords(mode_);
  } else {
    ExchangeNow(mode_);
  }
  return r;
}

int32_t TgsScene::TransCross(int32_t time) {
  // Ending the pending transition cannot fail.
  (void)EndPendingTransition();
  mode_ = 1;
  return RunTransition("cross", 1, true, {OrDefault(time)});
}

bool TgsScene::ReadRule(int32_t number) {
  if (number == ruleNumber_ && rule_.GetPixels()) return true;
  ruleNumber_ = -1;
  char name[32];
  std::snprintf(name, sizeof name, "SYS\\RULE%03d.WGX", int(number));
  rule_.Release();
  if (LoadInto(name, rule_, true) != 0) return false;
  MirrorRule(rule_, ruleFlipH_, ruleFlipV_);
  ruleNumber_ = number;
  return true;
}

int32_t TgsScene::TransRule(int32_t rule, int32_t time, int32_t vagueness) {
  // Ending the pending transition cannot fail.
  (void)EndPendingTransition();
  mode_ = 1;
  if (!ReadRule(rule)) {
    ExchangeNow(mode_);
    return kRuleNotLoaded;
  }
  return RunTransition(
      "rule", 1, true,
      {OrDefault(time), Word(&rule_), vagueness < 1 ? kDefaultVagueness : vagueness});
}

int32_t TgsScene::TransTrans(int32_t value, int32_t time, bool reverse) {
  // Ending the pending transition cannot fail.
  (void)EndPendingTransition();
  mode_ = 1;
  auto exchangeValues = [this] {
    const int32_t shown = pages_[0].GetValue();
    pages_[0].PutValue(pages_[1].GetValue());
    pages_[1].PutValue(shown);
  };
  if (Skipping()) {
    ExchangeNow(mode_);
    return 0;
  }
  if (reverse) exchangeValues();
  const int r =
      CreateTransition(pages_[0], "trans", 1, !reverse, {OrDefault(time), value, reverse});
  if (r == 0) {
    pending_ = true;
    SwapPageRecords(mode_);
    return 0;
  }
  if (reverse) exchangeValues();
  ExchangeNow(mode_);
  return r;
}

int32_t TgsScene::TransFilter(int32_t index, int32_t time, int32_t a, int32_t b, int32_t c) {
  static constexpr const char* kKeywords[] = {"zoomflip",  "wave",   "mosaic", "rotaxis",
                                              "rotcenter", "addsub", "hblur"};
  // Ending the pending transition cannot fail.
  (void)EndPendingTransition();
  mode_ = 1;
  if (Skipping()) {
    ExchangeNow(mode_);
    return 0;
  }
  if (index < 0 || index > 6) return kBadTransitionIndex;
  return RunTransition(kKeywords[index], 1, true, {OrDefault(time), a, b, c, 0, 0});
}

int32_t TgsScene::TransScroll(int32_t time, uint8_t a, uint8_t b, TgsText ease) {
  // Ending the pending transition cannot fail.
  (void)EndPendingTransition();
  mode_ = 1;
  std::string keep;
  return RunTransition("scroll", 1, true, {OrDefault(time), a, b, TextWord(ease, keep)});
}

int32_t TgsScene::TransRipple(std::span<const int32_t, 7> v, TgsText aspect, TgsText speed) {
  // Ending the pending transition cannot fail.
  (void)EndPendingTransition();
  mode_ = 1;
  std::string aspectText, speedText;
  return RunTransition("ripple", 1, true,
                       {OrDefault(v[0]), v[2], v[3], v[4], TextWord(aspect, aspectText),
                        TextWord(speed, speedText), v[5]});
}

int32_t TgsScene::ScreenQuake(std::span<const int32_t, 3> values, int32_t time, TgsText strength,
                              uint8_t a, uint8_t b, uint8_t c) {
  // Ending the pending transition cannot fail.
  (void)EndPendingTransition();
  mode_ = 1;
  ReleaseEffect(&Background(0).quakeEffect);
  ReleaseEffect(&Background(1).quakeEffect);
  if (time != 0 && Skipping()) return 0;
  TcpPluginManager* transitions = Global<TcpPluginManager>::Get();
  SurfaceLayer* layer = LayerOf(0);
  if (!layer) return kTransitionNoLayer;
  std::string keep;
  FilterEffect* filter =
      transitions ? transitions->CreateAndSetUpArray(
                        layer, "quake",
                        {values[0], values[1], values[2], time, TextWord(strength, keep), a})
                  : nullptr;
  if (!filter) return kTransitionUnknown;
  const bool notify = time != 0 && c != 0 && !LowSpec();
  if (pages_[0].StartTransition(filter, b ? 1 : 2, false, notify) != 0) {
    ReleaseFilter(filter);
    return kTransitionStartFailed;
  }
  pending_ = true;
  if (time == 0) {
    quakeRecorded_ = true;
    quakeRecord_ = {1, values[0], values[1], values[2], a, b};
  }
  return 0;
}

int32_t TgsScene::SetRuleFlipH(bool on) {
  ruleFlipH_ = on;
  ruleNumber_ = -1;
  return 0;
}

int32_t TgsScene::SetRuleFlipV(bool on) {
  ruleFlipV_ = on;
  ruleNumber_ = -1;
  return 0;
}

int32_t TgsScene::CopyShownPageToBack() {
  // Ending the transition and clearing the back page cannot fail.
  (void)EndPendingTransition();
  TgsBackgroundRecord& shown = Background(0);
  TgsBackgroundRecord& back = Background(1);
  (void)ClearBackgroundToColor(int32_t(shown.color), 1);
  (void)ClearSprites(1, -1);
  // The scene fields only: the back page keeps its own handles and capture.
  ReleaseEffect(&back.effect);
  ReleaseEffect(&back.quakeEffect);
  ReleaseEffect(&back.animEffect);
  back.animData.reset();
  back.CopySceneFields(shown);
  back.captured = 0;
  back.animName.clear();
  back.animState = 0;
  back.animFrame = -1;
  back.animArg = 0;
  back.picture = shown.picture;
  CompositionLayer* backLayer = Composition(1);
  if (backLayer && back.picture) {
    CompositionLayer* c = backLayer;
    // A picture without pixels leaves the background as it was.
    (void)c->SetBackgroundImage(back.picture.get(), back.offsetX, back.offsetY, true);
    if (back.zoom != 0) {
      // A picture without pixels leaves the background as it was.
      (void)c->SetBackgroundRotation(back.offsetX, back.offsetY, back.angle, back.zoom);
    } else if (back.view[0] != -1) {
      const Rect source{back.view[0], back.view[1], back.view[2], back.view[3]};
      // A picture without pixels leaves the background as it was.
      (void)c->SetBackgroundStretch(0, 0, kTgsScreenWidth, kTgsScreenHeight, &source);
    }
  }
  for (int i = 0; i < kTgsSpriteSlots; ++i) {
    TgsSpriteRecord& from = SpriteAt(0, i);
    TgsSpriteRecord& to = SpriteAt(1, i);
    ReleaseEffect(&from.effect);
    ReleaseEffect(&to.effect);
    to.CopySceneFields(from);
    to.picture = from.picture;
    if (!from.sprite) continue;
    to.sprite = std::make_unique<Sprite>();
    to.sprite->CopyFrom(*from.sprite);
    // An object already listed stays where it is.
    if (backLayer) (void)backLayer->GetList().Add(to.sprite.get(), to.priority, 0);
  }
  return 0;
}

}  // namespace bw
