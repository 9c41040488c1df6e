// The text history window of the scenario player: a half-dark overlay that lists the history log
// (names, texts, choice lists) page by page, replays the voice of a voiced line when it is
// clicked and shows the scene kept with that line behind the list. The window's logic lives here;
// the application draws it through TgsHistoryView.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scenario/message/text_history_log.h"

namespace bw {

class ImageSurface;
class TgsFrameHost;
class TgsScene;
class TgsSceneHost;

constexpr int32_t kHistoryPageHeight = 600;
constexpr int32_t kHistoryGap = 12;
constexpr int kHistoryVoiceBoxes = 16;
constexpr int32_t kHistoryBoxX = 32;
constexpr int32_t kHistoryBoxWidth = 728;
constexpr uint32_t kHistoryBoxHover = 0x400080FF;
constexpr uint32_t kHistoryBoxPressed = 0x4040B0FF;
constexpr uint32_t kHistoryDarkColor = 0x8C000000;
constexpr uint8_t kHistoryDarkAlpha = 140;
constexpr uint32_t kHistoryFadeMs = 200;
// A loaded log may claim any heights: the list is never taller than this.
constexpr int64_t kHistoryHeightCap = INT32_MAX - kHistoryPageHeight;

// Text colours (0xRRGGBB).
constexpr uint32_t kHistoryWhite = 0xFFFFFF;
constexpr uint32_t kHistoryVoiced = 0xFFB74C;  // (255, 183, 76)
constexpr uint32_t kHistoryChoiceOff = 0xA0A0A0;
constexpr uint32_t kHistoryChosen = 0xEEE000;  // (238, 224, 0)

// The application's menu items the window holds disabled.
constexpr int kHistoryMenuItems[] = {0, 1, 2};  // settings, save, load

// What the window needs of the screen. The application implements it over its display list, the
// pointer manager and the history text view; tests record it.
class TgsHistoryView {
 public:
  virtual ~TgsHistoryView() = default;

  // The history text view's line height (font height + line spacing), the unit of scrolling.
  virtual int32_t LineHeight() = 0;
  // Lays text (the message token form) out in the history text view: its height in pixels, or
  // -1 when it gives no line.
  virtual int32_t MeasureText(std::string_view tokens) = 0;

  // Makes the dark box, the history layer, the scroll bar for total and the 16 voice boxes
  // (hidden), at opacity 0: 0, or a failure code with nothing left made.
  [[nodiscard]] virtual int Open(int32_t total, int32_t position) = 0;
  // Page drawing: the layer is cleared, then names, texts and choices drawn at y.
  virtual void BeginPage() = 0;
  virtual void DrawName(std::string_view name, int32_t y, uint32_t rgb) = 0;
  virtual void DrawText(std::string_view tokens, int32_t y, uint32_t rgb) = 0;
  virtual void DrawChoice(std::string_view text, int32_t y, uint32_t rgb) = 0;
  // A height of 0 hides the box.
  virtual void PlaceVoiceBox(int box, int32_t y, int32_t height) = 0;
  virtual void SetScrollPosition(int32_t position) = 0;
  // The bar's position (the player may drag it).
  virtual int32_t ScrollPosition() = 0;
  virtual void SetAlpha(uint8_t alpha, uint8_t darkAlpha) = 0;
  virtual void SetHidden(bool hidden) = 0;

  // Input of the last turn: the voice box clicked (-1 none; cleared), the one under the pointer,
  // and the wheel (positive up, negative down).
  virtual int TakeClickedBox() = 0;
  virtual int HoveredBox() { return -1; }
  virtual void MarkBox(int /*box*/) {}
  virtual int32_t Wheel() = 0;

  // Holds the screen overlays' tasks, makes an 800 x 600 32-bit layer the screen surface and
  // moves the window onto it; null when it cannot be made (nothing changed then).
  virtual ImageSurface* MakeSceneLayer() = 0;
  // The scene layer's picture was drawn anew.
  virtual void SceneDrawn() {}
  // Puts the frame's screen surface back (releasing the overlays' tasks) when a scene layer was
  // made, removes the layers and releases the parts.
  virtual void Close() = 0;

  virtual bool MenuItemEnabled(int item) = 0;
  virtual void EnableMenuItem(int item, bool enabled) = 0;

  // Font calls met in a text while the history lays it out colour its renderers (0xRRGGBB).
  virtual void SetTextColor(uint32_t /*rgb*/) {}
  virtual void SetShadowColor(uint32_t /*rgb*/) {}
};

// Room an entry takes in the list: a message (L with a speaker) + its display height + the gap, a
// choice list one line per choice + the gap, a snapshot none.
int64_t HistoryEntryHeight(const HistoryEntry& entry, int32_t lineHeight);
// The list's height: every entry's, less the last gap; capped.
int32_t HistoryTotalHeight(const TextHistoryLog& log, int32_t lineHeight);

// One page of the list, as drawn.
struct HistoryPageLine {
  enum Kind : uint8_t { kName, kText, kChoice };
  Kind kind = kText;
  int32_t y = 0;
  uint32_t rgb = kHistoryWhite;
  std::string_view text;  // into the log
};
struct HistoryVoiceBox {
  int32_t y = 0;
  int32_t height = 0;
  std::string voice;
  const SceneSnapshot* scene = nullptr;
};
struct HistoryPage {
  std::vector<HistoryPageLine> lines;
  std::vector<HistoryVoiceBox> boxes;  // at most kHistoryVoiceBoxes
};
// The part of the log in [position, position + 600).
HistoryPage LayoutHistoryPage(const TextHistoryLog& log, int32_t lineHeight, int32_t position);

// Adds a snapshot of the shown page's background and standing pictures to the log: its answer.
[[nodiscard]] int32_t AddSceneSnapshot(TextHistoryLog& log, TgsScene& scene);

// Renders a snapshot into an 800 x 600 32-bit surface: the background with its tone, filters,
// bars, offset, zoom and angle, then each picture back to front. Pictures that cannot be loaded
// leave their part empty. 0, or 1 when the surface cannot be made.
[[nodiscard]] int DrawSceneSnapshot(const SceneSnapshot& snapshot, ImageSurface& surface,
                                    TgsSceneHost* pictures);

// Answers of OpenTextHistory besides 0 (closed by the player).
constexpr int kHistoryQuit = -1;
constexpr int kHistoryNoView = 1;  // the screen offers no history view

// Runs the window until the player closes it.
class TgsHistoryWindow {
 public:
  TgsHistoryWindow(const TextHistoryLog& log, TgsFrameHost& host, TgsHistoryView& view)
      : log_(log), host_(host), view_(view) {}

  // 0 closed, kHistoryQuit when the application quit (everything restored all the same), or the
  // view's failure to open.
  [[nodiscard]] int Run();
  // Over durationMs by the clock: opacity t x 255 / d, the dark box t x 140 / d; reversed when
  // fading out. 0, or 1 when the application quit.
  [[nodiscard]] int FadeObjects(uint32_t durationMs, bool fadeOut);
  void DrawHistoryPage(int32_t position);

  int32_t Position() const { return position_; }
  int32_t Total() const { return total_; }
  bool SceneShown() const { return scene_ != nullptr; }

 private:
  // One turn's keys and wheel: true when the position moved; close is set when the wheel closes
  // the window at the bottom.
  bool Scroll(bool& close);
  void ClickBox(int box);
  // Fades out when asked, then puts the screen and the menu back: true when the application quit
  // during the fade.
  [[nodiscard]] bool Restore(bool fade);

  const TextHistoryLog& log_;
  TgsFrameHost& host_;
  TgsHistoryView& view_;
  int32_t lineHeight_ = 0;
  int32_t total_ = 0;
  int32_t position_ = 0;
  std::vector<HistoryVoiceBox> boxes_;
  std::array<bool, std::size(kHistoryMenuItems)> menuWasEnabled_{};
  ImageSurface* scene_ = nullptr;
};

}  // namespace bw
