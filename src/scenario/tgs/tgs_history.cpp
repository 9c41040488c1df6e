#include "scenario/tgs/tgs_history.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>
#include <optional>

#include "graphics/surface/image_surface.h"
#include "graphics/surface/quad_mapper.h"
#include "graphics/surface/rotated_bounds.h"
#include "input/key_codes.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_frame_host.h"
#include "scenario/tgs/tgs_scene.h"
#include "scenario/tgs/tgs_scene_host.h"

namespace bw {
namespace {

// System sound channels.
constexpr int kSoundOpen = 1;
constexpr int kSoundClose = 2;
constexpr int kSoundHide = 3;

constexpr int32_t kVoiceChannelPan = 0;
constexpr float kMaxZoom = 64.0f;
// Backgrounds take tones 1-4 of the tone table.
constexpr uint8_t kBackgroundToneCount = 4;

uint8_t ByteOf(uint32_t word, int i) {
  return static_cast<uint8_t>(word >> (8 * i));
}

// A picture by name through the scene's loader; false when it cannot be had.
bool LoadPicture(TgsSceneHost* pictures, const std::string& name, ImageSurface& into) {
  if (name.empty()) return false;
  const int r = pictures ? pictures->LoadPicture(name, into, false)
                         : into.Load(name.c_str(), nullptr, 0, kImagePlain);
  return r == 0 && into.GetPixels() && into.GetBitsPerPixel() == 32;
}

// The corners (top left, top right, bottom left, bottom right) of a w x h picture at (x, y),
// scaled by scale and turned by angle (512ths) about (ax, ay) in picture pixels.
void TurnedQuad(int32_t x, int32_t y, int32_t w, int32_t h, double scale, int angle, double ax,
                double ay, Point out[4]) {
  const double turn = NegatedTurn(angle) * (2.0 * std::numbers::pi / 512.0);
  const double c = std::cos(turn), s = std::sin(turn);
  const double px[4] = {0, double(w), 0, double(w)}, py[4] = {0, 0, double(h), double(h)};
  for (int i = 0; i < 4; ++i) {
    const double dx = (px[i] - ax) * scale, dy = (py[i] - ay) * scale;
    const double tx = c * dx - s * dy + ax + x, ty = s * dx + c * dy + ay + y;
    out[i] = {int32_t(std::clamp(std::lround(tx), -(1L << 24), 1L << 24)),
              int32_t(std::clamp(std::lround(ty), -(1L << 24), 1L << 24))};
  }
}

// A float of the snapshot that can scale a picture: finite, above 0 and at most 64.
std::optional<double> UsableScale(uint32_t bits) {
  const float f = std::bit_cast<float>(bits);
  if (!std::isfinite(f) || f <= 0 || f > kMaxZoom) return std::nullopt;
  return f;
}

void DrawBackground(const SceneSnapshot& snapshot, ImageSurface& surface, TgsSceneHost* pictures) {
  const auto& w = snapshot.backgroundWords;
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)surface.Fill(0xFF000000 | (w[0] & 0xFFFFFF), nullptr);
  ImageSurface picture;
  if (!snapshot.backgroundName || !LoadPicture(pictures, *snapshot.backgroundName, picture)) {
    return;
  }
  const uint8_t tone = ByteOf(w[1], 1);
  if (tone <= kBackgroundToneCount)
    (void)ApplyTone(picture, tone);  // tones past the table are ignored
  if (ByteOf(w[2], 0)) picture.LibFilterB(nullptr);
  if (ByteOf(w[2], 1)) picture.LibFilterA(nullptr);
  if (ByteOf(w[2], 2)) {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)picture.FillRectXYWH(0, 0, kTgsScreenWidth, 75, 0xFF000000);
    (void)picture.FillRectXYWH(0, 525, kTgsScreenWidth, 75, 0xFF000000);
  }
  const int32_t offsetX = int32_t(w[3]), offsetY = int32_t(w[4]);
  const std::array<int32_t, 4> view{int32_t(w[5]), int32_t(w[6]), int32_t(w[7]), int32_t(w[8])};
  if (view[0] != -1) {
    // The view's part of the picture stretched over the screen.
    if (view[2] <= 0 || view[3] <= 0) return;
    const Rect from{view[0], view[1], view[0] + view[2], view[1] + view[3]};
    const Point to[4] = {
        {0, 0}, {kTgsScreenWidth, 0}, {0, kTgsScreenHeight}, {kTgsScreenWidth, kTgsScreenHeight}};
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)surface.QuadBlit(&picture, to, &from, nullptr);
  } else if (auto zoom = UsableScale(w[9])) {
    // Turned and zoomed about the picture's centre, which the offset places.
    Point to[4];
    const int32_t pw = picture.GetWidth(), ph = picture.GetHeight();
    TurnedQuad(offsetX - pw / 2, offsetY - ph / 2, pw, ph, *zoom, int(w[10]), pw / 2, ph / 2, to);
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)surface.QuadBlit(&picture, to, nullptr, nullptr);
  } else {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)surface.Blit(&picture, -offsetX, -offsetY, nullptr, false);
  }
}

void DrawSprite(const SceneSprite& sprite, ImageSurface& surface, TgsSceneHost* pictures) {
  ImageSurface picture;
  if (!LoadPicture(pictures, sprite.name, picture)) return;
  const auto& w = sprite.words;
  const uint8_t tone = ByteOf(w[0], 0);
  if (tone != 0) (void)ApplyTone(picture, tone);  // false past the table: ignored
  if (ByteOf(w[1], 0)) picture.LibFilterB(nullptr);
  if (ByteOf(w[1], 1)) picture.LibFilterA(nullptr);
  // A scale turns the picture about its rotation anchor; one that cannot be used is ignored.
  const std::optional<double> scale = UsableScale(w[3]);
  Point to[4];
  TurnedQuad(sprite.x, sprite.y, picture.GetWidth(), picture.GetHeight(), scale.value_or(1.0),
             scale ? int(w[4]) : 0, int32_t(w[5]), int32_t(w[6]), to);
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)surface.QuadOpacityBlit(&picture, to, ByteOf(w[2], 0), nullptr, nullptr);
}

uint32_t Bytes(uint8_t b0, uint8_t b1, uint8_t b2) {
  return uint32_t{b0} | uint32_t{b1} << 8 | uint32_t{b2} << 16;
}

SceneSpriteValues SpriteValues(const TgsSpriteRecord& r) {
  SceneSpriteValues v;
  v.name = r.name;
  v.characterIndex = r.charIndex;
  v.priority = static_cast<int32_t>(r.priority);
  v.x = r.x - r.anchorX;
  v.y = r.y - r.anchorY;
  v.words = {r.tone,
             Bytes(r.libFilterB, r.libFilterA, r.libOp),
             r.alpha,
             std::bit_cast<uint32_t>(r.scale),
             uint32_t(r.angle),
             uint32_t(r.rotAnchorX),
             uint32_t(r.rotAnchorY)};
  return v;
}

}  // namespace

int32_t AddSceneSnapshot(TextHistoryLog& log, TgsScene& scene) {
  const TgsBackgroundRecord& bg = scene.Background(0);
  SceneBackgroundValues background;
  background.name = bg.name;
  background.words = {bg.color,
                      Bytes(bg.captured, bg.tone, 0),
                      Bytes(bg.libFilterB, bg.libFilterA, bg.bars) | uint32_t{bg.libOp} << 24,
                      uint32_t(bg.offsetX),
                      uint32_t(bg.offsetY),
                      uint32_t(bg.view[0]),
                      uint32_t(bg.view[1]),
                      uint32_t(bg.view[2]),
                      uint32_t(bg.view[3]),
                      std::bit_cast<uint32_t>(bg.zoom),
                      uint32_t(bg.angle)};
  std::array<SceneSpriteValues, 5> characters;
  std::array<SceneSpriteValues, 3> back, front;
  auto fill = [&](std::span<SceneSpriteValues> out, int32_t group) {
    const TgsSpriteGroup g = SpriteGroup(group);
    for (int32_t i = 0; i < g.count; ++i)
      out[size_t(i)] = SpriteValues(scene.SpriteAt(0, g.first + i));
  };
  fill(characters, 0);
  fill(back, 1);
  fill(front, 2);
  return log.AddSceneSnapshot(&background, characters, back, front);
}

int64_t HistoryEntryHeight(const HistoryEntry& entry, int32_t lineHeight) {
  const int64_t line = std::max(lineHeight, 0);
  if (const auto* m = std::get_if<MessageRecord>(&entry.record)) {
    return (m->speaker ? line : 0) + int64_t{m->displayHeight} + kHistoryGap;
  }
  if (const auto* c = std::get_if<ChoiceRecord>(&entry.record)) {
    return static_cast<int64_t>(c->choices.size()) * line + kHistoryGap;
  }
  return 0;
}

int32_t HistoryTotalHeight(const TextHistoryLog& log, int32_t lineHeight) {
  int64_t total = 0;
  bool any = false;
  for (int32_t i = 0; i < log.Count(); ++i) {
    const int64_t h = HistoryEntryHeight(*log.GetEntry(i), lineHeight);
    if (h == 0) continue;
    any = true;
    total = std::min(total + h, kHistoryHeightCap + kHistoryGap);
  }
  return static_cast<int32_t>(std::min(any ? total - kHistoryGap : 0, kHistoryHeightCap));
}

HistoryPage LayoutHistoryPage(const TextHistoryLog& log, int32_t lineHeight, int32_t position) {
  HistoryPage page;
  const int64_t line = std::max(lineHeight, 0);
  const int64_t pageTop = position, pageEnd = int64_t{position} + kHistoryPageHeight;
  // The open group of messages: its top, mark and voice.
  struct Group {
    int64_t top = 0;
    uint8_t mark = 0;
    const std::string* voice = nullptr;
  };
  std::optional<Group> group;
  auto closeGroup = [&](int64_t bottom, const SceneSnapshot* scene) {
    if (group && group->voice && bottom > pageTop &&
        page.boxes.size() < size_t(kHistoryVoiceBoxes)) {
      const int64_t top = std::max(group->top - pageTop, int64_t{0});
      const int64_t end = std::min(bottom - pageTop, int64_t{kHistoryPageHeight});
      if (end > top) {
        page.boxes.push_back({int32_t(top), int32_t(end - top), *group->voice, scene});
      }
    }
    group.reset();
  };

  int64_t top = 0;
  const int32_t count = log.Count();
  for (int32_t i = 0; i < count; ++i) {
    const HistoryEntry& entry = *log.GetEntry(i);
    if (top >= pageEnd) break;
    const int64_t height = HistoryEntryHeight(entry, lineHeight);
    const auto* m = std::get_if<MessageRecord>(&entry.record);
    if (m) {
      if (!group || m->mark == 0 || group->mark != m->mark) {
        closeGroup(top, nullptr);
        group = Group{top, m->mark, nullptr};
      }
      if (!group->voice && m->voice) group->voice = &*m->voice;
    }
    if (height > 0 && top + height > pageTop) {
      int64_t y = top - pageTop;
      auto add = [&](HistoryPageLine::Kind kind, std::string_view text, uint32_t rgb) {
        if (y < kHistoryPageHeight) page.lines.push_back({kind, int32_t(y), rgb, text});
      };
      if (m) {
        const uint32_t rgb = group->voice ? kHistoryVoiced : kHistoryWhite;
        if (m->speaker) {
          add(HistoryPageLine::kName, *m->speaker, rgb);
          y += line;
        }
        add(HistoryPageLine::kText, {reinterpret_cast<const char*>(m->text.data()), m->text.size()},
            rgb);
      } else if (const auto* c = std::get_if<ChoiceRecord>(&entry.record)) {
        for (size_t k = 0; k < c->choices.size(); ++k, y += line) {
          const auto& choice = c->choices[k];
          if (!choice) continue;
          const uint32_t rgb = int32_t(k) == c->chosenIndex ? kHistoryChosen
                               : choice->flag == 0          ? kHistoryChoiceOff
                                                            : kHistoryWhite;
          add(HistoryPageLine::kChoice, choice->text, rgb);
        }
      }
    }
    top += height;
    // A group ends where the next entry is no message of its mark; a snapshot right after it
    // goes with its voice and takes no room.
    if (!m || !group) continue;
    const HistoryEntry* next = log.GetEntry(i + 1);
    const auto* nextMessage = next ? std::get_if<MessageRecord>(&next->record) : nullptr;
    if (nextMessage && group->mark != 0 && nextMessage->mark == group->mark) continue;
    const SceneSnapshot* scene = next ? std::get_if<SceneSnapshot>(&next->record) : nullptr;
    closeGroup(top, group->voice ? scene : nullptr);
    if (scene && !nextMessage) ++i;
  }
  closeGroup(top, nullptr);
  return page;
}

int DrawSceneSnapshot(const SceneSnapshot& snapshot, ImageSurface& surface,
                      TgsSceneHost* pictures) {
  if (surface.GetWidth() != kTgsScreenWidth || surface.GetHeight() != kTgsScreenHeight ||
      surface.GetBitsPerPixel() != 32 || !surface.GetPixels()) {
    if (surface.Create(kTgsScreenWidth, kTgsScreenHeight, 32, kImagePlain) != 0) return 1;
  }
  DrawBackground(snapshot, surface, pictures);
  // Stored front group first, each group by priority (the lowest in front): drawn the other way
  // round, so the back pictures lie under the front ones.
  for (auto it = snapshot.sprites.rbegin(); it != snapshot.sprites.rend(); ++it) {
    DrawSprite(*it, surface, pictures);
  }
  return 0;
}

// The window.

int TgsFrame::OpenTextHistory() {
  TgsHistoryView* view = H().HistoryView();
  if (!view) return kHistoryNoView;
  TgsHistoryWindow window(history_, H(), *view);
  return window.Run();
}

int TgsHistoryWindow::FadeObjects(uint32_t durationMs, bool fadeOut) {
  const uint32_t d = std::max(durationMs, 1u);
  const uint32_t start = host_.Clock();
  for (;;) {
    const uint32_t t = std::min<uint32_t>(host_.Clock() - start, d);
    const uint32_t shown = fadeOut ? d - t : t;
    view_.SetAlpha(uint8_t(uint64_t{shown} * 255 / d), uint8_t(uint64_t{shown} * 140 / d));
    if (t >= d) return 0;
    if (host_.FrameTurn() == 0) return 1;
  }
}

void TgsHistoryWindow::DrawHistoryPage(int32_t position) {
  const HistoryPage page = LayoutHistoryPage(log_, lineHeight_, position);
  view_.BeginPage();
  for (const HistoryPageLine& line : page.lines) {
    switch (line.kind) {
      case HistoryPageLine::kName:
        view_.DrawName("\x81\x79" + std::string(line.text) + "\x81\x7A", line.y, line.rgb);
        break;
      case HistoryPageLine::kText:
        view_.DrawText(line.text, line.y, line.rgb);
        break;
      case HistoryPageLine::kChoice:
        view_.DrawChoice(line.text, line.y, line.rgb);
        break;
    }
  }
  for (int i = 0; i < kHistoryVoiceBoxes; ++i) {
    const bool used = size_t(i) < page.boxes.size();
    view_.PlaceVoiceBox(i, used ? page.boxes[i].y : 0, used ? page.boxes[i].height : 0);
  }
  boxes_ = page.boxes;
}

void TgsHistoryWindow::ClickBox(int box) {
  if (box < 0 || size_t(box) >= boxes_.size()) return;
  const HistoryVoiceBox& b = boxes_[box];
  // Centred whatever pan the line had; set once the voice is loaded into its channel.
  if (host_.PlayVoice(b.voice) >= -1) {
    host_.SetVoicePan(kVoiceChannelPan);
    if (host_.Settings().duckMusic && host_.MusicPlaying()) host_.DuckMusicForVoice();
  }
  if (!b.scene) return;
  const SceneSnapshot* scene = b.scene;  // the page drawn again below replaces boxes_
  if (!scene_) {
    scene_ = view_.MakeSceneLayer();
    // The list and its boxes moved onto the new layer.
    if (scene_) DrawHistoryPage(position_);
  }
  if (!scene_) return;
  // A snapshot that cannot be drawn leaves the scene layer empty.
  (void)DrawSceneSnapshot(*scene, *scene_, host_.SceneHost());
  view_.SceneDrawn();
}

bool TgsHistoryWindow::Scroll(bool& close) {
  const int32_t wheel = view_.Wheel();
  const int32_t bottom = std::max(total_ - kHistoryPageHeight, 0);
  if (wheel < 0 && position_ >= bottom) {
    close = true;
    return false;
  }
  if (total_ <= kHistoryPageHeight) return false;
  int64_t p = view_.ScrollPosition();
  // The line actions may sit on the page keys themselves: a page key pressed takes the turn.
  const bool pageUp = host_.KeyPressed(kKeyPageUp), pageDown = host_.KeyPressed(kKeyPageDown);
  if (pageUp) p -= kHistoryPageHeight;
  if (pageDown) p += kHistoryPageHeight;
  if (wheel > 0 || (!pageUp && !pageDown && host_.ActionPressed(kActionBack))) p -= lineHeight_;
  if (wheel < 0 || (!pageUp && !pageDown && host_.ActionPressed(kActionAdvance))) {
    p += lineHeight_;
  }
  if (host_.KeyPressed(kKeyHome)) p = 0;
  if (host_.KeyPressed(kKeyEnd)) p = bottom;
  p = std::clamp<int64_t>(p, 0, bottom);
  if (p == position_) return false;
  position_ = int32_t(p);
  view_.SetScrollPosition(position_);
  return true;
}

bool TgsHistoryWindow::Restore(bool fade) {
  bool quit = false;
  if (fade) {
    view_.MarkBox(view_.HoveredBox());
    quit = FadeObjects(kHistoryFadeMs, true) != 0;
  }
  view_.Close();
  scene_ = nullptr;
  for (size_t i = 0; i < std::size(kHistoryMenuItems); ++i) {
    if (menuWasEnabled_[i]) view_.EnableMenuItem(kHistoryMenuItems[i], true);
  }
  return quit;
}

int TgsHistoryWindow::Run() {
  for (size_t i = 0; i < std::size(kHistoryMenuItems); ++i) {
    menuWasEnabled_[i] = view_.MenuItemEnabled(kHistoryMenuItems[i]);
    if (menuWasEnabled_[i]) view_.EnableMenuItem(kHistoryMenuItems[i], false);
  }
  lineHeight_ = std::max(view_.LineHeight(), 1);
  total_ = HistoryTotalHeight(log_, lineHeight_);
  position_ = std::max(total_ - kHistoryPageHeight, 0);
  if (int r = view_.Open(total_, position_); r != 0) {
    for (size_t i = 0; i < std::size(kHistoryMenuItems); ++i) {
      if (menuWasEnabled_[i]) view_.EnableMenuItem(kHistoryMenuItems[i], true);
    }
    return r;
  }
  DrawHistoryPage(position_);
  host_.PlaySystemSound(kSoundOpen);
  // A quit ends the window at once, without its fade, but never leaves it on the screen.
  if (FadeObjects(kHistoryFadeMs, false) != 0) {
    // Quitting already: the answer is the quit.
    (void)Restore(false);
    return kHistoryQuit;
  }
  bool hidden = false;
  for (;;) {
    if (host_.FrameTurn() == 0) {
      // Quitting already: the answer is the quit.
      (void)Restore(false);
      return kHistoryQuit;
    }
    const bool cancel = host_.ActionPressed(kActionCancel) || host_.RightClicked();
    if (hidden) {
      if (cancel) break;
      if (host_.ActionPressed(kActionHideWindow)) {
        host_.PlaySystemSound(kSoundHide);
        view_.SetHidden(false);
        hidden = false;
      }
      continue;
    }
    ClickBox(view_.TakeClickedBox());
    if (cancel) break;
    if (host_.ActionPressed(kActionHideWindow)) {
      host_.PlaySystemSound(kSoundHide);
      view_.SetHidden(true);
      hidden = true;
      continue;
    }
    bool close = false;
    if (Scroll(close)) DrawHistoryPage(position_);
    if (close) break;
  }
  host_.PlaySystemSound(kSoundClose);
  return Restore(true) ? kHistoryQuit : 0;
}

}  // namespace bw
