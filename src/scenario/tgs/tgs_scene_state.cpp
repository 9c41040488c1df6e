#include "scenario/tgs/tgs_scene_state.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/byte_writer.h"
#include "common/sjis.h"
#include "graphics/layers/surface_layer.h"
#include "graphics/surface/composition_layer.h"
#include "scenario/message/text_history_log.h"
#include "scenario/tgs/tgs_frame.h"

namespace bw {
namespace {

constexpr size_t kNameField = 32;
constexpr size_t kLongNameField = 48;
constexpr uint32_t kPriorityStep = 100;
constexpr uint32_t kPersistKindMax = 2;

void PutName(ByteWriter& w, std::string_view name, size_t field) {
  name = sjis::Truncate(name, field - 1);
  w.bytes(name);
  for (size_t i = name.size(); i < field; ++i) w.u8(0);
}

void PutFloat(ByteWriter& w, float v) {
  w.u32le(std::bit_cast<uint32_t>(v));
}

void PutZeros(ByteWriter& w, size_t n) {
  for (size_t i = 0; i < n; ++i) w.u8(0);
}

// u8 (length + 1) and the text with its NUL, or u8 0 for none.
void PutShortText(ByteWriter& w, std::string_view text) {
  if (text.empty()) {
    w.u8(0);
    return;
  }
  text = sjis::Truncate(text, kSceneShortTextMax);
  w.u8(static_cast<uint8_t>(text.size() + 1));
  w.bytes(text);
  w.u8(0);
}

// The reader of one block: every failure is a bad block.
class BlockReader {
 public:
  explicit BlockReader(ByteReader& in) : in_(in) {}

  bool U8(uint8_t& v) { return ok_ = ok_ && in_.u8(v); }
  bool U32(uint32_t& v) { return ok_ = ok_ && in_.u32le(v); }
  bool I32(int32_t& v) { return ok_ = ok_ && in_.i32le(v); }
  bool Float(float& v) {
    uint32_t bits = 0;
    if (!U32(bits)) return false;
    v = std::bit_cast<float>(bits);
    return true;
  }
  bool Skip(size_t n) { return ok_ = ok_ && in_.skip(n); }
  // A name that fills its field has no terminator and is refused.
  bool Name(std::string& out, size_t field) {
    auto bytes = ok_ ? in_.bytes(field) : std::nullopt;
    const void* nul = bytes ? std::memchr(bytes->data(), 0, field) : nullptr;
    if (!nul) return ok_ = false;
    out.assign(reinterpret_cast<const char*>(bytes->data()),
               static_cast<const uint8_t*>(nul) - bytes->data());
    return true;
  }
  // u8 n, then n bytes ending in the only NUL; n = 0 gives none. With extra, the length byte
  // counts itself too.
  bool ShortText(std::string& out, bool countsItself = false) {
    uint8_t n = 0;
    if (!U8(n)) return false;
    out.clear();
    if (n == 0) return true;
    const size_t length = countsItself ? size_t{n} - 1 : n;
    auto bytes = length >= 2 ? in_.bytes(length) : std::nullopt;
    if (!bytes || std::memchr(bytes->data(), 0, length) != bytes->data() + length - 1) {
      return ok_ = false;
    }
    out.assign(reinterpret_cast<const char*>(bytes->data()), length - 1);
    return true;
  }
  bool Check(bool condition) { return ok_ = ok_ && condition; }
  bool Ok() const { return ok_; }
  ByteReader& In() { return in_; }

 private:
  ByteReader& in_;
  bool ok_ = true;
};

bool ScaleFits(float v) {
  return std::isfinite(v) && std::fabs(v) <= kSceneScaleMax;
}

// The writer's side of the field lists: the reader's calls, taking the values.
class BlockWriter {
 public:
  explicit BlockWriter(ByteWriter& out) : w_(out) {}

  void U8(uint8_t v) { w_.u8(v); }
  void U32(uint32_t v) { w_.u32le(v); }
  void I32(int32_t v) { w_.i32le(v); }
  void Float(float v) { PutFloat(w_, v); }
  void Skip(size_t n) { PutZeros(w_, n); }
  void Name(std::string_view name, size_t field) { PutName(w_, name, field); }
  void ShortText(std::string_view text) { PutShortText(w_, text); }

 private:
  ByteWriter& w_;
};

// Each record's fields in their stored order, walked alike by BlockWriter (over a const record)
// and BlockReader.
template <class Record, class V>
void BackgroundFields(Record& b, V& v) {
  v.Name(b.name, kNameField);
  v.Name(b.animName, kNameField);
  v.U32(b.timeOfDay);
  v.U32(b.color);
  v.U8(b.captured);
  v.U8(b.tone);
  v.Skip(2);
  v.U8(b.libFilterB);
  v.U8(b.libFilterA);
  v.U8(b.bars);
  v.U8(b.libOp);
  v.I32(b.offsetX);
  v.I32(b.offsetY);
  for (auto& word : b.view) v.I32(word);
  v.Float(b.zoom);
  v.I32(b.angle);
  v.U32(b.animState);
  v.I32(b.animFrame);
  v.U32(b.animArg);
}

template <class Record, class V>
void SpriteFields(Record& s, V& v) {
  v.Name(s.name, kNameField);
  v.I32(s.charIndex);
  v.I32(s.x);
  v.I32(s.y);
  v.I32(s.anchorX);
  v.I32(s.anchorY);
  v.U32(s.priority);
  v.U8(s.tone);
  v.Skip(3);
  v.U8(s.libFilterB);
  v.U8(s.libFilterA);
  v.U8(s.libOp);
  v.Skip(1);
  v.U8(s.alpha);
  v.Skip(3);
  v.Float(s.scale);
  v.I32(s.angle);
  v.I32(s.rotAnchorX);
  v.I32(s.rotAnchorY);
  v.U32(s.persistKind);
  v.U32(s.persistArg);
  v.Name(s.persistName, kLongNameField);
}

// The block's opening words, up to its screen slots.
template <class Block, class V>
void SceneHeadFields(Block& b, V& v) {
  v.I32(b.messageIndex);
  for (auto& flag : b.switches) v.U8(flag);
  for (auto& word : b.quake) v.I32(word);
  v.I32(b.window);
  v.I32(b.music);
  v.I32(b.placeX);
  v.I32(b.placeY);
  v.U8(b.alignment);
  v.U8(b.shown);
  v.U8(b.styleGiven);
  v.U8(b.frameOpacity);
  v.I32(b.frameStyle);
}

template <class Slot, class V>
void SlotFields(Slot& s, V& v) {
  for (auto& word : s.words) v.I32(word);
  v.Name(s.name, kLongNameField);
}

template <class Choice, class V>
void ChoiceFields(Choice& c, V& v) {
  v.U32(c.value);
  v.U8(c.flag);
  v.ShortText(c.text);
}

void ReadBackground(BlockReader& r, TgsBackgroundRecord& b) {
  BackgroundFields(b, r);
  r.Check(b.tone <= kSceneToneMax && ScaleFits(b.zoom));
}

void ReadSprite(BlockReader& r, TgsSpriteRecord& s, int32_t group) {
  SpriteFields(s, r);
  const TgsSpriteGroup g = SpriteGroup(group);
  const bool priorityFits =
      s.charIndex < 0 || (s.priority >= g.base && s.priority < g.base + kPriorityStep * g.count);
  r.Check(s.charIndex >= -1 && s.tone <= kSceneToneMax && ScaleFits(s.scale) && priorityFits &&
          s.persistKind <= kPersistKindMax);
}

uint32_t TailSize(const TgsSceneTail& t) {
  uint32_t size = 1 + 4 + static_cast<uint32_t>(t.message.size());
  auto shortText = [](std::string_view s) {
    return s.empty() ? 1u : static_cast<uint32_t>(sjis::Truncate(s, kSceneShortTextMax).size() + 2);
  };
  if (!t.choices.empty()) {
    size += 4;
    for (const TgsSavedChoice& c : t.choices) size += 4 + 1 + shortText(c.text);
  }
  if (!t.message.empty()) size += shortText(t.speaker) + shortText(t.secondName);
  return size;
}

bool ReadTail(ByteReader& in, TgsSceneTail& t) {
  BlockReader r(in);
  uint8_t n = 0;
  r.U8(n);
  if (!r.Check(n <= kSceneChoicesMax)) return false;
  t.choices.assign(n, {});
  if (n > 0) r.U32(t.listValue);
  for (TgsSavedChoice& c : t.choices) ChoiceFields(c, r);
  uint32_t m = 0;
  r.U32(m);
  if (!r.Check(m <= kSceneMessageMax && in.has(m))) return false;
  auto message = in.bytes(m);
  t.message.assign(reinterpret_cast<const char*>(message->data()), m);
  t.speaker.clear();
  t.secondName.clear();
  if (m > 0) {
    r.ShortText(t.speaker);
    r.ShortText(t.secondName);
  }
  return r.Ok() && in.atEnd();
}

}  // namespace

TgsStoredSprite StoredSprite(int i) {
  if (i < 6) return {i / 3, SpriteGroup(1).first + i % 3, 1};
  if (i < 16) return {(i - 6) / 5, SpriteGroup(0).first + (i - 6) % 5, 0};
  return {(i - 16) / 3, SpriteGroup(2).first + (i - 16) % 3, 2};
}

std::string_view StoredChoiceText(std::string_view text) {
  return sjis::Truncate(text, kSceneShortTextMax);
}

uint32_t SceneBlockSize(const TgsSceneBlock& b) {
  uint32_t size = kSceneFixedBytes;
  if (b.hasHistory) size += static_cast<uint32_t>(b.history.size());
  for (const TgsReplayRecord& r : b.replay) {
    size += r.name.empty() ? 1 : static_cast<uint32_t>(r.name.size()) + 3;
  }
  size += b.label.empty()
              ? 1
              : static_cast<uint32_t>(sjis::Truncate(b.label, kSceneShortTextMax).size()) + 2;
  return size + 4 + TailSize(b.tail);
}

void WriteSceneBlock(const TgsSceneBlock& b, std::vector<uint8_t>& out) {
  ByteWriter w(out);
  BlockWriter fields(w);
  SceneHeadFields(b, fields);
  for (const TgsScreenSlot& s : b.slots) SlotFields(s, fields);
  for (const TgsBackgroundRecord& bg : b.backgrounds) BackgroundFields(bg, fields);
  for (const TgsSpriteRecord& s : b.sprites) SpriteFields(s, fields);
  w.bytes(b.transform);
  w.u8(b.hasHistory ? 1 : 0);
  if (b.hasHistory) w.bytes(b.history);
  for (const TgsReplayRecord& r : b.replay) {
    if (r.name.empty()) {
      w.u8(0);
      continue;
    }
    w.u8(static_cast<uint8_t>(r.name.size() + 2));
    w.bytes(r.name);
    w.u8(0);
    w.u8(r.streamMode);
  }
  PutShortText(w, b.label);
  w.u32le(TailSize(b.tail));
  const TgsSceneTail& t = b.tail;
  w.u8(static_cast<uint8_t>(t.choices.size()));
  if (!t.choices.empty()) {
    w.u32le(t.listValue);
    for (const TgsSavedChoice& c : t.choices) ChoiceFields(c, fields);
  }
  w.u32le(static_cast<uint32_t>(t.message.size()));
  w.bytes(t.message);
  if (!t.message.empty()) {
    PutShortText(w, t.speaker);
    PutShortText(w, t.secondName);
  }
}

int ReadSceneBlock(ByteReader& cursor, TgsSceneBlock& b) {
  ByteReader in = cursor;
  BlockReader r(in);
  SceneHeadFields(b, r);
  for (TgsScreenSlot& s : b.slots) {
    SlotFields(s, r);
    r.Check(s.Kind() >= 0 && s.Kind() <= kSceneSlotKindMax);
  }
  for (TgsBackgroundRecord& bg : b.backgrounds) ReadBackground(r, bg);
  for (int i = 0; i < kSceneSprites; ++i) ReadSprite(r, b.sprites[i], StoredSprite(i).group);
  r.Check(in.copy(b.transform.data(), b.transform.size()));
  float scale = 0;
  std::memcpy(&scale, b.transform.data() + 32, sizeof scale);
  r.Check(ScaleFits(scale));
  uint8_t historyFlag = 0;
  r.U8(historyFlag);
  if (!r.Check(historyFlag <= 1)) return kSceneLoadBad;
  b.hasHistory = historyFlag == 1;
  b.history.clear();
  if (b.hasHistory) {
    const size_t start = in.position();
    TextHistoryLog scratch;
    if (scratch.Load(in, false) != 0) return kSceneLoadHistoryFailed;
    b.history.assign(in.data() + start, in.data() + in.position());
  }
  for (TgsReplayRecord& rec : b.replay) {
    r.ShortText(rec.name, true);
    rec.streamMode = 0;
    if (!rec.name.empty()) r.U8(rec.streamMode);
  }
  r.ShortText(b.label);
  uint32_t tailBytes = 0;
  r.U32(tailBytes);
  if (!r.Check(in.has(tailBytes))) return kSceneLoadBad;
  ByteReader tail = *in.sub(tailBytes);
  if (!ReadTail(tail, b.tail)) return kSceneLoadBad;
  cursor = in;
  return 0;
}

}  // namespace bw

// ---- The rebuild --------------------------------------------------------------------------------

namespace bw {

bool SlotAnimated(const TgsScreenSlot& slot) {
  const auto& w = slot.words;
  switch (slot.Kind()) {
    case kSlotNoise:
      return w[2] != 0;
    case kSlotQuake:
      return w[5] != 0;
    case kSlotParts:
      return w[4] == 0 || (w[4] == 2 && w[2] != 0);
    case kSlotCross:
      return w[3] == 0;
    case kSlotPathAnime:
    case kSlotRaster:
    case kSlotHaze10:
    case kSlotHaze20:
    case kSlotLoop:
    case kSlotMovie:
      return w[1] == 0;
    default:
      return slot.Kind() >= kSlotWeather && slot.Kind() <= kSceneSlotKindMax && w[2] != 0;
  }
}

int RebuildScene(const TgsSceneBlock& saved, TgsRebuildTarget& target, bool fastEffects,
                 bool keepWindowHidden) {
  bool animated = false;
  bool page0Sprite = false;
  // Characters, then the back group, then the front group; each page 0 then page 1.
  for (auto [first, count] : {std::pair{6, 10}, std::pair{0, 6}, std::pair{16, 6}}) {
    for (int i = first; i < first + count; ++i) {
      const TgsSpriteRecord& s = saved.sprites[i];
      if (s.charIndex < 0) continue;
      const TgsStoredSprite at = StoredSprite(i);
      target.RestoreSprite(at, s);
      animated |= s.persistKind != 0;
      page0Sprite |= at.page == 0;
    }
  }
  for (int page = 0; page < 2; ++page) target.RestoreBackground(page, saved.backgrounds[page]);
  const TgsBackgroundRecord& shown = saved.backgrounds[0];
  animated |= shown.animState != 0;
  animated |= shown.name.empty() && shown.animName.empty() && shown.color == 0 && !page0Sprite;
  for (int i = 0; i < kTgsScreenSlots; ++i) {
    if (saved.slots[i].Kind() == 0) continue;
    target.RestoreScreenSlot(i, saved.slots[i]);
    animated |= SlotAnimated(saved.slots[i]);
  }
  target.ReplayLoopingEffects();
  target.RestorePreviousChoice();
  if (saved.quake[0] == 1) {
    target.RestoreScreenQuake(saved.quake);
    animated = true;
  }
  target.RestoreTail(saved);
  const bool fade = !fastEffects && !animated;
  target.PlayMusic(saved.music, fade ? kRebuildMusicFadeMs : 0);
  if (!keepWindowHidden) target.ShowMessageWindow();
  return fade ? target.ClosingFade(kRebuildFadeMs) : 0;
}

// ---- The frame's scene state --------------------------------------------------------------------

namespace {

constexpr uint32_t kNoSceneTag = 0xFFFFFFFF;

std::string DecimalText(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
  return text;
}

}  // namespace

// The rebuild on the frame's own scene, through the commands the built-ins use.
class TgsFrameRebuild : public TgsRebuildTarget {
 public:
  explicit TgsFrameRebuild(TgsFrame& frame) : f_(frame), scene_(frame.Scene()) {}

  void RestoreSprite(const TgsStoredSprite& at, const TgsSpriteRecord& saved) override {
    const bool tint = scene_.SpriteTint();
    // Turning the tint off and on cannot fail.
    (void)scene_.SetSpriteTint(false);
    const uint8_t page = static_cast<uint8_t>(at.page);
    const int32_t slot = at.index - SpriteGroup(at.group).first;
    TgsSpriteRecord& r = scene_.SpriteAt(at.page, at.index);
    r.CopySceneFields(saved);
    r.charIndex = -1;  // loads afresh
    if (scene_.LoadSprite(slot, std::string_view(saved.name), page, at.group, false) == 0) {
      if (saved.tone || saved.libFilterB || saved.libFilterA) {
        // A look or effect that cannot be put back leaves the picture plain: the rest rebuilds.
        (void)scene_.SetSpriteTone(slot, saved.tone, saved.libFilterB, saved.libFilterA, page,
                                   at.group);
      }
      if (saved.libOp) (void)scene_.SetSpriteFilter(slot, saved.libOp, page, at.group);
      r.charIndex = saved.charIndex;
      r.alpha = saved.alpha;
      if (r.sprite) {
        r.sprite->SetAlpha(saved.alpha);
        if (saved.scale != 0) {
          r.sprite->SetAnchor(-1, saved.rotAnchorX, saved.rotAnchorY);
          // A sprite that cannot take it is shown as it was.
          (void)r.sprite->SetRotation(saved.angle, saved.scale);
        }
      }
      r.scale = saved.scale;
      r.angle = saved.angle;
      r.rotAnchorX = saved.rotAnchorX;
      r.rotAnchorY = saved.rotAnchorY;
      if (saved.persistKind == 1) {
        (void)scene_.AnimateSpritePath(slot, std::string_view(saved.persistName),
                                       static_cast<int32_t>(saved.persistArg), page, at.group,
                                       true);
      } else if (saved.persistKind == 2) {
        (void)scene_.AnimateCharacterParts(slot, static_cast<int32_t>(saved.persistArg), page,
                                           at.group, true);
      }
    }
    // Turning the tint off and on cannot fail.
    (void)scene_.SetSpriteTint(tint);
  }

  void RestoreBackground(int p, const TgsBackgroundRecord& saved) override {
    const uint8_t page = static_cast<uint8_t>(p);
    TgsBackgroundRecord& bg = scene_.Background(p);
    const bool animated = !saved.animName.empty();
    if (!animated && saved.name.empty()) {
      // A background part that cannot be put back leaves the page plainer: the rest rebuilds.
      (void)scene_.ClearBackgroundToColor(static_cast<int32_t>(saved.color), page);
      if (saved.captured) (void)scene_.CaptureBackground(true, page, false);
      return;
    }
    // The record already names what comes back: it is loaded afresh, and its look comes below.
    bg.name = saved.name;
    bg.ClearLook();
    bg.color = 0;
    bg.timeOfDay = saved.timeOfDay;
    if (animated) {
      if (saved.animFrame < 0) {
        (void)scene_.LoadBackgroundMovie(std::string_view(saved.animName), page, 1);
      } else {
        (void)scene_.LoadBackgroundAnime(std::string_view(saved.animName), saved.animFrame,
                                         saved.animArg, page);
      }
    }
    if (!saved.name.empty()) (void)scene_.ApplyBackground(p);
    // An animation a control held comes back held, at the place it was saved at.
    if (saved.animState) (void)scene_.ControlBackgroundAnime(page, 1);
    bg.animFrame = saved.animFrame;
    bg.animArg = saved.animArg;
    if (saved.libOp) (void)scene_.SetBackgroundFilter(saved.libOp, page);
    if (saved.tone || saved.libFilterB || saved.libFilterA || saved.bars) {
      (void)scene_.SetBackgroundTone(saved.tone, saved.libFilterB, saved.libFilterA, saved.bars,
                                     page);
    }
    if (saved.captured) (void)scene_.CaptureBackground(true, page, false);
    if (saved.view[0] != -1) {
      (void)scene_.SetBackgroundView(saved.view[0], saved.view[1], saved.view[2], saved.view[3],
                                     page);
    } else if (saved.zoom != 0) {
      const std::string zoom = DecimalText(saved.zoom);
      (void)scene_.RotateBackground(saved.angle, std::string_view(zoom), saved.offsetX,
                                    saved.offsetY, page);
    } else if (saved.offsetX != bg.offsetX || saved.offsetY != bg.offsetY) {
      (void)scene_.SetBackgroundOffset(saved.offsetX, saved.offsetY, page);
    }
  }

  void RestoreScreenSlot(int slot, const TgsScreenSlot& saved) override {
    const auto& w = saved.words;
    const TgsText name = std::string_view(saved.name);
    auto b = [](int32_t v) { return v != 0; };
    auto u8 = [](int32_t v) { return static_cast<uint8_t>(v); };
    const int32_t timeOrSlot = -slot;
    switch (saved.Kind()) {
      case kSlotNoise:
        // A slot whose effect cannot be made again stays empty: the rest rebuilds.
        (void)scene_.ScreenNoise(slot, u8(w[1]), b(w[2]), b(w[3]));
        break;
      case kSlotPathAnime:
        (void)scene_.AnimateBackgroundPath(u8(w[1]), name, w[2], b(w[3]), b(w[4]), false, slot);
        break;
      case kSlotQuake: {
        const std::array<int32_t, 3> values{w[1], w[2], w[3]};
        const std::array<uint8_t, 3> bytes{u8(w[4]), u8(w[5]), u8(w[6])};
        (void)scene_.Quake(values, timeOrSlot, std::nullopt, bytes, 0, 0);
        break;
      }
      case kSlotRaster:
      case kSlotHaze10:
      case kSlotHaze20:
        (void)scene_.WaveBackground(u8(w[1]), saved.Kind() - kSlotRaster, w[2], w[3], w[4],
                                    timeOrSlot, 0, w[5], b(w[6]));
        break;
      case kSlotLoop:
        (void)scene_.LoopScrollBackground(u8(w[1]), u8(w[2]), w[3], timeOrSlot);
        break;
      case kSlotMovie:
        (void)scene_.SpriteMovie(name, slot, u8(w[1]), b(w[2]), w[3], w[4], w[5]);
        break;
      case kSlotParts:
        (void)scene_.SpriteParts(name, w[1], u8(w[4]), slot, b(w[2]), b(w[3]), b(w[5]));
        break;
      case kSlotCross:
        (void)scene_.CrossFadeLayer(w[1], timeOrSlot, u8(w[2]), u8(w[3]));
        break;
      default:
        (void)scene_.ScreenWeather(slot, saved.Kind() - kSlotWeather, w[1], true, name, b(w[2]),
                                   b(w[3]));
        break;
    }
  }

  void ReplayLoopingEffects() override { f_.sound_.ReplayLoopingEffects(); }

  void RestorePreviousChoice() override {
    // A fixed button number is never refused.
    if (f_.H().SnapshotKept()) (void)f_.SetButtonState(2, 1);
  }

  void RestoreScreenQuake(const std::array<int32_t, 6>& q) override {
    const std::array<int32_t, 3> values{q[1], q[2], q[3]};
    // A quake that cannot be made again leaves the screen still.
    (void)scene_.ScreenQuake(values, 0, std::nullopt, static_cast<uint8_t>(q[4]),
                             static_cast<uint8_t>(q[5]), 0);
  }

  void RestoreTail(const TgsSceneBlock& saved) override {
    const TgsSceneTail& t = saved.tail;
    f_.choices_.clear();
    f_.choicesPending_ = false;
    f_.H().ShowChoiceList(false);
    if (!t.choices.empty()) {
      f_.choiceFirstBit_ = static_cast<int32_t>(t.listValue);
      for (const TgsSavedChoice& c : t.choices) {
        TgsFrame::Choice choice;
        choice.text = c.text;
        choice.enabled = (c.flag & 1) != 0;
        choice.taken = (c.flag & 2) != 0;
        f_.choices_.push_back(std::move(choice));
      }
      f_.choicesPending_ = true;
      f_.H().ShowChoiceList(true);
    }
    f_.viewText_ = t.message;
    f_.viewName_ = t.speaker;
    f_.voiceName_ = t.secondName;
    // The window is cleared first: a load inside a run finds the page of its last message.
    f_.H().NextPage();
    if (!t.message.empty()) {
      // Shown whole; the wait the script resumes in takes it as the message on show.
      f_.H().SetMessage(f_.viewText_, f_.viewName_, 0);
      f_.H().ShowPage();
      f_.H().FinishTyping();
      f_.windowShown_ = true;
      f_.H().SetWindowVisible(true);
      f_.showing_ = true;
    }
    f_.windowTransform_ = saved.transform;
    f_.ApplyWindowTransform();
  }

  void PlayMusic(int32_t number, uint32_t fadeMs) override {
    f_.sound_.SetMusicNumber(number);
    // Music that cannot play leaves the restored scene silent, as it did when first played.
    (void)f_.H().PlayBgmNumber(number, fadeMs, true);
  }

  // Showing the window cannot fail.
  void ShowMessageWindow() override { (void)f_.ShowMessageWindow(true, 0); }

  [[nodiscard]] int ClosingFade(uint32_t ms) override {
    return f_.CrossFades().FadeInFromBlack(static_cast<int32_t>(ms)) == kFadeQuit ? -1 : 0;
  }

 private:
  TgsFrame& f_;
  TgsScene& scene_;
};

int TgsFrame::CaptureScene(TgsSceneBlock& b, bool withHistory) {
  TgsScene& scene = Scene();
  b.messageIndex = messageIndex_;
  b.switches = sceneSwitches_;
  b.switches[0] = scene.RuleFlippedH() ? 1 : 0;
  b.switches[1] = scene.RuleFlippedV() ? 1 : 0;
  b.switches[2] = scene.SpriteTint() ? 1 : 0;
  b.quake = scene.QuakeRecord();
  b.window = currentWindow_;
  b.music = sound_.MusicNumber();
  b.placeX = placeX_;
  b.placeY = placeY_;
  b.alignment = static_cast<uint8_t>(placeAlignment_);
  b.shown = windowShown_ ? 1 : 0;
  b.styleGiven = styleGiven_;
  b.frameOpacity = frameOpacity_;
  b.frameStyle = frameStyle_;
  for (int i = 0; i < kTgsScreenSlots; ++i) {
    b.slots[i].words = scene.ScreenSlot(i).words;
    b.slots[i].name = scene.ScreenSlot(i).name;
  }
  for (int p = 0; p < 2; ++p) b.backgrounds[p].CopySceneFields(scene.Background(p));
  for (int i = 0; i < kSceneSprites; ++i) {
    const TgsStoredSprite at = StoredSprite(i);
    b.sprites[i].CopySceneFields(scene.SpriteAt(at.page, at.index));
  }
  b.transform = windowTransform_;
  b.hasHistory = withHistory;
  b.history.clear();
  if (b.hasHistory) {
    // The log's first to last entry.
    const int32_t n = history_.Count();
    const uint32_t first = n ? history_.GetEntry(0)->serial : 1;
    const uint32_t last = n ? history_.GetEntry(n - 1)->serial : 0;
    if (history_.Save(b.history, first, last) != 0) return kSceneSaveHistoryFailed;
  }
  // A channel that no longer loops (stopped, faded out, unloaded) does not come back.
  b.replay = sound_.ReplayRecords();
  for (int i = 0; i < kTgsEffectChannels; ++i) {
    if (!sound_.Looping(kTgsFirstEffectChannel + i)) b.replay[size_t(i)] = {};
  }
  b.label = speaker_;
  b.tail = {};
  if (choicesPending_ && !choices_.empty()) {
    b.tail.listValue = static_cast<uint32_t>(choiceFirstBit_);
    for (const Choice& c : choices_) {
      if (b.tail.choices.size() == kSceneChoicesMax) break;
      b.tail.choices.push_back({0, static_cast<uint8_t>((c.enabled ? 1 : 0) | (c.taken ? 2 : 0)),
                                std::string(StoredChoiceText(c.text))});
    }
  }
  if (!viewText_.empty()) {
    b.tail.message = viewText_.substr(0, kSceneMessageMax);
    b.tail.speaker = sjis::Truncate(viewName_, kSceneShortTextMax);
    b.tail.secondName = sjis::Truncate(voiceName_, kSceneShortTextMax);
  }
  return 0;
}

uint32_t TgsFrame::GetSceneSaveSize(bool withHistory) {
  auto block = std::make_unique<TgsSceneBlock>();
  // A history that cannot be kept fails the save itself: the size then counts the rest.
  (void)CaptureScene(*block, withHistory);
  return GetStateSize() + SceneBlockSize(*block);
}

int TgsFrame::SaveScene(std::vector<uint8_t>& out, bool withHistory) {
  auto block = std::make_unique<TgsSceneBlock>();
  if (CaptureScene(*block, withHistory) != 0) return kSceneSaveHistoryFailed;
  if (SaveState(&out) != 0) return kSceneSaveBaseFailed;
  WriteSceneBlock(*block, out);
  return 0;
}

int TgsFrame::LoadScene(ByteReader& cursor, bool restoreHistory) {
  ByteReader in = cursor;
  TgsStateRecord base;
  if (ReadStateRecord(in, base) != 0) return kSceneLoadBaseFailed;
  auto block = std::make_unique<TgsSceneBlock>();
  if (int code = ReadSceneBlock(in, *block); code != 0) return code;
  // The script state now: what runs stays should the message not be found.
  std::vector<uint8_t> running;
  const bool keep = SaveState(&running) == 0;
  ByteReader scripts = cursor;
  if (LoadState(&scripts) != 0) return kSceneLoadBaseFailed;
  if (block->messageIndex >= 0) {
    const int32_t offset =
        CurrentScript() ? CurrentScript()->GetMessageOffset(uint32_t(block->messageIndex)) : -1;
    if (offset < 0) {
      if (keep) {
        ByteReader back(running);
        // The state written just above reads back.
        (void)LoadState(&back);
      }
      return kSceneLoadNoMessage;
    }
    SetPosition(static_cast<uint32_t>(offset));
  }
  if (block->hasHistory && restoreHistory) {
    ByteReader history(block->history);
    (void)history_.Load(history, true);  // a bad entry keeps the ones read before it
  } else {
    // What the log holds now was read after the save: it is not the loaded game's.
    history_.Clear();
  }
  ApplyScene(*block);
  loadedScene_ = std::move(block);
  cursor = in;
  return 0;
}

void TgsFrame::ApplyScene(const TgsSceneBlock& b) {
  TgsScene& scene = Scene();
  messageIndex_ = b.messageIndex;
  sceneSwitches_ = b.switches;
  // Setting the switches cannot fail.
  (void)scene.SetRuleFlipH(b.switches[0] != 0);
  (void)scene.SetRuleFlipV(b.switches[1] != 0);
  (void)scene.SetSpriteTint(b.switches[2] != 0);
  scene.QuakeRecord() = b.quake;
  currentWindow_ = b.window;
  sound_.SetMusicNumber(b.music);
  placeX_ = b.placeX;
  placeY_ = b.placeY;
  placeAlignment_ = b.alignment;
  windowShown_ = b.shown != 0;
  styleGiven_ = b.styleGiven;
  frameOpacity_ = b.frameOpacity;
  frameStyle_ = b.frameStyle;
  for (int i = 0; i < kTgsScreenSlots; ++i) {
    scene.ScreenSlot(i).words = b.slots[i].words;
    scene.ScreenSlot(i).name = b.slots[i].name;
  }
  for (int p = 0; p < 2; ++p) scene.Background(p).CopySceneFields(b.backgrounds[p]);
  for (int i = 0; i < kSceneSprites; ++i) {
    const TgsStoredSprite at = StoredSprite(i);
    scene.SpriteAt(at.page, at.index).CopySceneFields(b.sprites[i]);
  }
  windowTransform_ = b.transform;
  sound_.SetReplayRecords(b.replay);
  speaker_ = b.label;
  choices_.clear();
  choicesPending_ = false;
  for (const TgsSavedChoice& c : b.tail.choices) {
    choices_.push_back({c.text, (c.flag & 1) != 0, (c.flag & 2) != 0});
  }
  choicesPending_ = !choices_.empty();
  choiceFirstBit_ = static_cast<int32_t>(b.tail.listValue);
  viewText_ = b.tail.message;
  viewName_ = b.tail.speaker;
  voiceName_ = b.tail.secondName;
}

int TgsFrame::RenderSceneToHost() {
  TgsSceneHost* pages = H().SceneHost();
  SurfaceLayer* screen = pages ? pages->PageLayer(0) : nullptr;
  CompositionLayer* layer = screen ? screen->GetCompositionLayer() : nullptr;
  ImageSurface* own = screen ? screen->GetImage() : nullptr;
  if (!layer || !own) return 1;
  // The scene alone: the windows are going with the frame's end.
  H().SetWindowVisible(false);
  H().ShowChoiceList(false);
  H().ShowButtons(false);
  if (layer->RenderTo(own, kRenderTagDiffers, kNoSceneTag, true) != 0) return 1;
  // The end tears the scene down: the picture stays as the shown page's background.
  // Without the memory for a copy the end shows the cleared page: nothing more is lost.
  (void)scene_->KeepLastPicture(*own);
  return 0;
}

int TgsFrame::RebuildScene() {
  if (!loadedScene_) return 0;
  std::unique_ptr<TgsSceneBlock> saved = std::move(loadedScene_);
  TgsScene& scene = Scene();
  // What the running scene showed goes first: the loaded records name what comes back. Stopping
  // and clearing take what there is and cannot fail.
  for (int i = 0; i < kTgsScreenSlots; ++i) (void)scene.StopScreenEffect(i, 1, 0);
  (void)sound_.UnloadAllEffects();
  for (int p = 0; p < 2; ++p) {
    (void)scene.ClearSprites(static_cast<uint8_t>(p), -1);
    scene.StopLayerEffects(p, true);
    // A load inside a run finds the running animation and quake: the saved page names its own.
    TgsBackgroundRecord& bg = scene.Background(p);
    scene.ReleaseEffect(&bg.animEffect);
    bg.animData.reset();
    (void)scene.ReleaseQuake(static_cast<uint8_t>(p));
  }
  TgsFrameRebuild target(*this);
  rebuilding_ = true;
  const int r = bw::RebuildScene(*saved, target, S().fastEffects, S().hideButtonsUnlessLow);
  rebuilding_ = false;
  return r;
}

}  // namespace bw
