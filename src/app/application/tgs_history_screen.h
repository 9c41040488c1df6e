// The text history window on the application's screen: the dark box, the history text view
// (the list's layer), the scroll bar and the 16 voice boxes over the screen canvas, and the scene
// layer that takes the canvas's place while a kept scene is shown.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "graphics/layers/canvas_layer.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/image_surface.h"
#include "gui/color_box_part.h"
#include "gui/scroll_list_part.h"
#include "gui/text_view.h"
#include "scenario/tgs/tgs_history.h"

namespace bw {

class DisplayManager;
class ScenarioScreensHost;
class TimerService;
class OutlineTextRenderer;
class PointerManager;

constexpr uint32_t kHistoryListPriority = 4500;
constexpr uint32_t kHistoryDarkPriority = 5000;
constexpr int32_t kHistoryBoxOrder = 4000;
// The screen overlays' task kind, held while a kept scene is shown.
constexpr uint32_t kScreenOverlayKind = 14003;
// Open: the screen has no composition layer or the view cannot be made.
constexpr int kHistoryScreenMissing = 2;

class TgsHistoryScreen final : public TgsHistoryView, public TgsCallRunner {
 public:
  // pointers: where the scroll bar is listed while the window is open (null: not listed).
  // effectsTimers: the overlays' tasks there are held while a kept scene is shown.
  TgsHistoryScreen(ScenarioScreensHost& app, DisplayManager& display, TimerService& effectsTimers,
                   OutlineTextRenderer& main, OutlineTextRenderer& ruby, PointerManager* pointers);
  ~TgsHistoryScreen() override;
  TgsHistoryScreen(const TgsHistoryScreen&) = delete;
  TgsHistoryScreen& operator=(const TgsHistoryScreen&) = delete;

  [[nodiscard]] int32_t LineHeight() override;
  [[nodiscard]] int32_t MeasureText(std::string_view tokens) override;
  [[nodiscard]] int Open(int32_t total, int32_t position) override;
  void BeginPage() override;
  void DrawName(std::string_view name, int32_t y, uint32_t rgb) override;
  void DrawText(std::string_view tokens, int32_t y, uint32_t rgb) override;
  void DrawChoice(std::string_view text, int32_t y, uint32_t rgb) override;
  void PlaceVoiceBox(int box, int32_t y, int32_t height) override;
  void SetScrollPosition(int32_t position) override;
  [[nodiscard]] int32_t ScrollPosition() override;
  void SetAlpha(uint8_t alpha, uint8_t darkAlpha) override;
  void SetHidden(bool hidden) override;
  [[nodiscard]] int TakeClickedBox() override;
  [[nodiscard]] int HoveredBox() override { return hovered_; }
  void MarkBox(int box) override;
  [[nodiscard]] int32_t Wheel() override;
  ImageSurface* MakeSceneLayer() override;
  void SceneDrawn() override;
  void Close() override;
  [[nodiscard]] bool MenuItemEnabled(int item) override;
  void EnableMenuItem(int item, bool enabled) override;
  void SetTextColor(uint32_t rgb) override;
  void SetShadowColor(uint32_t rgb) override;
  // The frame runs the font calls of the texts laid out.
  [[nodiscard]] int RunCall(std::span<const uint8_t> record) override;
  int MessageState() const override { return 0; }

  bool IsOpen() const { return open_; }
  bool SceneShown() const { return sceneLayer_ != nullptr; }

 private:
  // The history text view, made once on the screen's list (hidden until the window opens).
  [[nodiscard]] bool EnsureView();
  [[nodiscard]] bool MakeView(DisplayObjectList* list);
  DisplayObjectList* List() const;
  void Draw(std::string_view text, int32_t y, uint32_t rgb);
  // Both renderers back to rgb with a black edge.
  void PlainColors(uint32_t rgb);
  // The window's objects onto list (the screen's or the scene layer's).
  void Attach(DisplayObjectList* list);
  void Detach();
  // The bar in the pointer manager, alone there while the window is open.
  void ListBar();
  void UnlistBar();
  void ReleaseBar();

  ScenarioScreensHost& app_;
  DisplayManager& display_;
  TimerService& effectsTimers_;
  OutlineTextRenderer& main_;
  OutlineTextRenderer& ruby_;
  PointerManager* pointers_;
  // Remade on each list it lives on: a destroyed view still names its old list.
  std::unique_ptr<TextView> view_;
  ColorRectObject dark_;
  std::array<ColorBoxPart, kHistoryVoiceBoxes> boxes_;
  std::array<bool, kHistoryVoiceBoxes> boxUsed_{};
  ScrollListPart bar_;
  bool barMade_ = false;
  bool barListed_ = false;
  bool controlsPushed_ = false;         // the controls listed before the window's, put back after
  CanvasLayer* frameCanvas_ = nullptr;  // the screen surface the scene layer stands in for
  std::unique_ptr<CanvasLayer> sceneLayer_;
  ImageSurface scene_;
  DisplayObjectList* attached_ = nullptr;
  bool open_ = false;
  uint32_t rgb_ = kHistoryWhite;  // the colour of the text laid out
  bool hidden_ = false;
  int32_t total_ = 0;
  int32_t position_ = 0;
  int hovered_ = -1;
  int pressed_ = -1;
};

}  // namespace bw
