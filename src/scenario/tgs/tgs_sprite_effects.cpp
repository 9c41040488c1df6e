// The scene's sprite effects: pictures replaced through an effect, sprite paths, the parts
// animation of a standing picture, and the message window's face animation.
#include <bit>
#include <cstdio>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "common/byte_writer.h"
#include "common/sjis.h"
#include "effects/display_effect.h"
#include "effects/effect_registries.h"
#include "effects/motion_path.h"
#include "effects/sp_change_effect.h"
#include "graphics/surface/composition_layer.h"
#include "scenario/tgs/tgs_effect_commands.h"
#include "scenario/tgs/tgs_effect_words.h"
#include "scenario/tgs/tgs_scene.h"

namespace bw {

namespace {

using tgs_effects::Effects;
using tgs_effects::PutDouble;
using tgs_effects::TextWord;

constexpr uint32_t kWindowPriority = 10000;
constexpr int32_t kLastPartsCharacter = 6;
constexpr uint32_t kPersistParts = 2;
// A list draws its lower priorities over its higher ones: the parts take the numbers just below
// the picture's, over it and under the slot drawn over it.
constexpr uint32_t kPartsOverPicture = 1;

}  // namespace

// ---- Sprite effects ---------------------------------------------------------------------------

int32_t TgsScene::ReplaceSprite(int32_t slot, TgsText name, int32_t position, bool toBack,
                                uint8_t page, int32_t group, OldSprite& old) {
  const int p = P(page);
  TgsSpriteRecord& r = *SpriteRecord(p, slot, group);
  ReleaseEffect(&r.effect);
  old.sprite = std::move(r.sprite);
  old.picture = std::move(r.picture);
  if (LoadSprite(slot, name, page, group, toBack) > 0) return 4;
  // The picture was loaded just above: it has its place.
  if (name && position >= 0)
    (void)PlaceInternal(p, SpriteGroup(group).first + slot, position, false);
  return 0;
}

// The effect owns the old sprite from a successful set-up on, and deletes its picture with it:
// it gets a picture of its own, so the twin page's shared one stays.
int32_t TgsScene::StartReplaceEffect(TgsSpriteRecord& r, OldSprite& old, const char* keyword,
                                     uint8_t page, std::initializer_list<ArgWord> after,
                                     EffectTarget target) {
  if (!old.sprite || !EffectsShown() || Skipping()) return 0;
  auto picture = std::make_unique<ImageSurface>();
  if (!old.picture || picture->CopyFrom(old.picture.get(), kCopyLikeSource) != 0 ||
      old.sprite->ReplaceSurface(picture.get()) != 0) {
    return 0;
  }
  std::vector<ArgWord> words{Word(r.sprite.get()), Word(old.sprite.get())};
  words.insert(words.end(), after.begin(), after.end());
  if (CreateEffectByKeyword(&r.effect, keyword, target ? target : EffectTarget(LayerOf(P(page))),
                            ArgWords(words.data(), words.size())) != 0) {
    old.sprite.reset();
    return 5;
  }
  old.sprite.release();
  picture.release();
  return 0;
}

int32_t TgsScene::CrossFadeSprite(int32_t slot, TgsText name, int32_t position, int32_t time,
                                  bool toBack, uint8_t page, int32_t group) {
  TgsSpriteRecord* r = SpriteRecord(P(page), slot, group);
  if (!r) return kSceneBadSlot;
  if (!name && r->charIndex < 0) return 2;
  if (name && r->sprite && r->tone == 0 && position < 0 && sjis::EqualsNoCase(*name, r->name)) {
    return 0;
  }
  OldSprite old;
  if (int32_t failed = ReplaceSprite(slot, name, position, toBack, page, group, old)) {
    return failed;
  }
  // The cross-fade clips to the composition's surface, which the page's layer is not.
  return StartReplaceEffect(*r, old, "sp_cfade", page, {ArgWord(r->priority), time, 1},
                            Composition(P(page)));
}

void TgsScene::PublishPathBand(int32_t group) {
  const TgsSpriteGroup g = SpriteGroup(group);
  PublishPathBand(g.Top(), g.base);
}

void TgsScene::PublishPathBand(uint32_t front, uint32_t back) {
  EffectCommand command = Effects() ? Effects()->FindCommand("sp_panime") : nullptr;
  if (command) command({0, ArgWord(front), ArgWord(back)});
}

void TgsScene::ReadPathEnd(const std::string& path, const Sprite& sprite, SpritePathEnd& end) {
  DisplayObjectList* list = sprite.GetOwnerList();
  double zoom = 1, rotation = 0;
  if (ReadPathEndState(path.c_str(), &end.x, &end.y, &sprite, list ? list->GetLayer() : nullptr,
                       &end.opacity, &end.order, &zoom, &rotation, &end.originX,
                       &end.originY) != kPathParsed) {
    return;
  }
  end.zoom = float(zoom);
  end.rotation = float(rotation);
  end.turned = zoom != 1 || rotation != 0;
}

void TgsScene::TakeSpritePathEnd(TgsSpriteRecord& r, int32_t slot, uint8_t page, int32_t group,
                                 const SpritePathEnd& end) {
  r.x = end.x + r.anchorX;
  r.y = end.y + r.anchorY;
  r.alpha = uint8_t(end.opacity >= 0 ? end.opacity : r.sprite->GetAlpha());
  if (end.turned) {
    r.scale = end.zoom;
    r.angle = int32_t(end.rotation * 512);
    r.rotAnchorX = end.originX;
    r.rotAnchorY = end.originY;
  }
  // The paths' "F" is order 1, "B" order 2.
  // The record and its picture were found above: the order is taken.
  if (end.order == 1 || end.order == 2) (void)SpriteOrder(slot, page, group, false, end.order == 1);
}

int32_t TgsScene::AnimateSpritePath(int32_t slot, TgsText path, int32_t time, uint8_t page,
                                    int32_t group, bool persist) {
  TgsSpriteRecord* r = SpriteRecord(P(page), slot, group);
  if (!r) return kSceneBadSlot;
  if (!r->sprite || !path) return kSceneNoPicture;
  ReleaseEffect(&r->effect);
  const std::string name(*path);
  const bool immediate = forceImmediate_ || !EffectsShown() || Skipping();
  SpritePathEnd end;
  end.x = r->x - r->anchorX;
  end.y = r->y - r->anchorY;
  PublishPathBand(group);
  if (immediate) {
    EffectCommand command = Effects() ? Effects()->FindCommand("sp_panime") : nullptr;
    if (!command) return kNoCommandFunction;
    const int c = command({1, Word(r->sprite.get()), Word(name.c_str()), Word(&end.x), Word(&end.y),
                           Word(&end.opacity), Word(&end.order), Word(&end.zoom),
                           Word(&end.rotation), Word(&end.originX), Word(&end.originY)});
    if (c != 0) return c + 4;
    end.turned = end.zoom != 1 || end.rotation != 0;
  } else {
    // The effect reports where it is, not where it ends: the end is read from the path as the
    // effect reads it, before the effect moves the sprite.
    ReadPathEnd(name, *r->sprite, end);
    if (CreateEffectByKeyword(
            &r->effect, "sp_panime", LayerOf(P(page)),
            {Word(r->sprite.get()), Word(name.c_str()), time, persist, !persist}) != 0) {
      return kEffectSetUpFailed;
    }
  }
  TakeSpritePathEnd(*r, slot, page, group, end);
  if (persist) {
    r->persistKind = 1;
    r->persistName = std::string(sjis::Truncate(name, kTgsSlotNameMax));
    r->persistArg = uint32_t(time);
  }
  return 0;
}

int32_t TgsScene::EndSpritePath(int32_t slot, TgsText path, uint8_t page, int32_t group) {
  forceImmediate_ = true;
  const int32_t r = AnimateSpritePath(slot, path, 0, page, group, false);
  forceImmediate_ = false;
  return r;
}

namespace {

// The last letter of a file name's stem: "S" 2, "M" 3, "X" 4, other 0.
int32_t SizeCode(std::string_view name) {
  std::string_view stem = LastPathPart(name);
  stem = stem.substr(0, sjis::Find(stem, '.'));
  const char last = stem.empty() ? 0 : sjis::AsciiUpper(stem.back());
  return last == 'S' ? 2 : last == 'M' ? 3 : last == 'X' ? 4 : 0;
}

// The parts file of a standing picture: 20, 40 or 80 plus its character for a name whose stem
// ends in "S", another letter, or "X".
int32_t CharacterPartsFile(std::string_view name, int32_t character) {
  const int32_t size = SizeCode(name);
  return (size == 2 ? 20 : size == 4 ? 80 : 40) + character;
}

}  // namespace

int32_t TgsScene::ChangeSprite(int32_t slot, TgsText name, TgsText path, uint8_t b, int32_t time,
                               bool toBack, int32_t style, uint8_t page, int32_t group) {
  TgsSpriteRecord* r = SpriteRecord(P(page), slot, group);
  if (!r || b > 2) return kSceneBadSlot;
  if (!name && r->charIndex < 0) return 2;
  if (name && r->sprite && r->tone == 0 && sjis::EqualsNoCase(*name, r->name)) return 3;
  const std::string oldName = r->name;
  const int32_t oldCharIndex = r->charIndex;
  OldSprite old;
  if (int32_t failed = ReplaceSprite(slot, name, -1, toBack, page, group, old)) return failed;
  int32_t changed = style == 2 ? 0 : style;
  if (style == 2) {
    const int32_t before = SizeCode(oldName), after = SizeCode(r->name);
    changed = oldCharIndex == r->charIndex && oldName.substr(0, 3) == r->name.substr(0, 3) &&
              after != 0 && after != before;
  }
  // The effect takes its style byte, the priority and the zoom flag as a block of their own.
  SpChangeParams params;
  params.style = b;
  params.priority = r->priority;
  params.zoom = changed;
  std::string pathText;
  const int32_t started = StartReplaceEffect(
      *r, old, "sp_change", page,
      {TextWord(path, pathText), b, ArgWord(r->priority), changed, time, 1}, &params);
  if (started != 0 || !r->effect || !r->sprite || !path) return started;
  // Style 0 moves the new sprite itself, from where the set-up put it; the other styles move the
  // old or a combined picture, and the finish puts the new one where that one's path ends, kept
  // at the distance the set-up found between them.
  const Sprite* moving = r->sprite.get();
  if (const auto* change = dynamic_cast<const SpChangeEffect*>(r->effect);
      change && change->Moving())
    moving = change->Moving();
  SpritePathEnd end;
  end.x = moving->GetX();
  end.y = moving->GetY();
  ReadPathEnd(std::string(*path), *moving, end);
  end.x += r->sprite->GetX() - moving->GetX();
  end.y += r->sprite->GetY() - moving->GetY();
  TakeSpritePathEnd(*r, slot, page, group, end);
  return 0;
}

// ---- The message window's face animation ------------------------------------------------------

std::array<uint8_t, TgsWindowTransform::kBytes> TgsWindowTransform::ToBytes() const {
  std::vector<uint8_t> out;
  ByteWriter w(out);
  w.i32le(x);
  w.i32le(y);
  w.i32le(anchorX);
  w.i32le(anchorY);
  w.u32le(priority);
  w.u32le(tone);
  w.u32le(uint32_t(libFilterB) | uint32_t(libFilterA) << 8 | uint32_t(libOp) << 16);
  w.u32le(alpha);
  w.u32le(std::bit_cast<uint32_t>(scale));
  w.i32le(angle);
  w.i32le(rotAnchorX);
  w.i32le(rotAnchorY);
  std::array<uint8_t, kBytes> bytes{};
  std::copy(out.begin(), out.end(), bytes.begin());
  return bytes;
}

TgsWindowTransform TgsWindowTransform::FromBytes(const std::array<uint8_t, kBytes>& bytes) {
  ByteReader r(bytes.data(), bytes.size());
  TgsWindowTransform t;
  uint32_t word = 0;
  // The array holds every field, so no read below can fail.
  (void)r.i32le(t.x);
  (void)r.i32le(t.y);
  (void)r.i32le(t.anchorX);
  (void)r.i32le(t.anchorY);
  (void)r.u32le(t.priority);
  (void)r.u32le(word);
  t.tone = uint8_t(word);
  (void)r.u32le(word);
  t.libFilterB = uint8_t(word);
  t.libFilterA = uint8_t(word >> 8);
  t.libOp = uint8_t(word >> 16);
  (void)r.u32le(word);
  t.alpha = uint8_t(word);
  (void)r.u32le(word);
  t.scale = std::bit_cast<float>(word);
  (void)r.i32le(t.angle);
  (void)r.i32le(t.rotAnchorX);
  (void)r.i32le(t.rotAnchorY);
  return t;
}

void TgsWindowTransform::ApplyTo(Sprite& window) const {
  if (!Recorded()) return;
  window.SetPos(x, y);
  window.SetAlpha(alpha);
  if (scale != 0) {
    window.SetAnchor(-1, rotAnchorX, rotAnchorY);
    // A sprite that cannot take it is shown as it was.
    (void)window.SetRotation(angle, scale);
  }
}

int32_t TgsScene::AnimateWindow(Sprite* window, TgsText path, int32_t time, bool immediate,
                                TgsWindowTransform& out) {
  ReleaseEffect(&windowEffect_);
  if (!window) return kWindowNotReady;
  if (!path) return kSceneNoPicture;
  const std::string name(*path);
  SpritePathEnd end;
  end.x = window->GetX();
  end.y = window->GetY();
  // The window's band is its own priority alone: "F" and "B" leave it where it is.
  PublishPathBand(kWindowPriority, kWindowPriority);
  if (immediate || !EffectsShown() || Skipping()) {
    EffectCommand command = Effects() ? Effects()->FindCommand("sp_panime") : nullptr;
    if (!command) return kNoCommandFunction;
    const int c = command({1, Word(window), Word(name.c_str()), Word(&end.x), Word(&end.y),
                           Word(&end.opacity), Word(&end.order), Word(&end.zoom),
                           Word(&end.rotation), Word(&end.originX), Word(&end.originY)});
    if (c != 0) return c + 3;
    end.turned = end.zoom != 1 || end.rotation != 0;
  } else {
    ReadPathEnd(name, *window, end);
    if (int r = CreateEffectByKeyword(&windowEffect_, "sp_panime", LayerOf(0),
                                      {Word(window), Word(name.c_str()), time, 0, 1});
        r != 0) {
      return r;
    }
  }
  out = TgsWindowTransform{};
  out.x = end.x;
  out.y = end.y;
  out.priority = kWindowPriority;
  out.alpha = uint8_t(end.opacity >= 0 ? end.opacity : window->GetAlpha());
  if (end.turned) {
    out.scale = end.zoom;
    out.angle = int32_t(end.rotation * 512);
    out.rotAnchorX = end.originX;
    out.rotAnchorY = end.originY;
  }
  return 0;
}

// The parts file's places count from the picture's corner on the page, so that one file serves
// the picture wherever it stands; the parts lie over the picture, under the slot drawn over it.
// The value asks for the file's hidden blocks too.
int32_t TgsScene::AnimateCharacterParts(int32_t slot, int32_t value, uint8_t page, int32_t group,
                                        bool persist) {
  const int p = P(page);
  TgsSpriteRecord* r = SpriteRecord(p, slot, group);
  if (!r) return kSceneBadSlot;
  if (r->charIndex < 0 || r->charIndex > kLastPartsCharacter) return kPartsBadCharacter;
  if (!r->sprite) return kSceneNoPicture;
  ReleaseEffect(&r->effect);
  if (persist) {
    r->persistKind = kPersistParts;
    r->persistArg = static_cast<uint32_t>(value);
    r->persistName.clear();
  }
  // Its end state is the picture as it stands: nothing to make.
  if (!EffectsShown() || Skipping()) return 0;
  // Room for any int, though the character bounds keep the number to three digits.
  char file[24];
  std::snprintf(file, sizeof file, "SYS\\CA0%02d.TXT", CharacterPartsFile(r->name, r->charIndex));
  ArgWord scale[2];
  PutDouble(1.0, scale);
  const ArgList args{Word(file),
                     r->sprite->GetX(),
                     r->sprite->GetY(),
                     ArgWord(r->priority - kPartsOverPicture),
                     value != 0,
                     scale[0],
                     scale[1],
                     0,
                     0,
                     0,
                     1,
                     1};
  return CreateEffectByKeyword(&r->effect, "sp_parts", Composition(p), args) == 0
             ? 0
             : kEffectSetUpFailed;
}

int32_t TgsScene::WaitSpriteEffect(int32_t slot, bool skippable, uint8_t page, int32_t group) {
  TgsSpriteRecord* r = SpriteRecord(P(page), slot, group);
  if (!r) return kSceneBadSlot;
  if (r->persistKind != 0) {
    ReleaseEffect(&r->effect);
    return 2;
  }
  return WaitEffect(&r->effect, skippable);
}

int32_t TgsScene::ReleaseSpriteEffect(int32_t slot, uint8_t page, int32_t group) {
  TgsSpriteRecord* r = SpriteRecord(P(page), slot, group);
  if (!r) return kSceneBadSlot;
  ReleaseEffect(&r->effect);
  r->persistKind = 0;
  return 0;
}

}  // namespace bw
