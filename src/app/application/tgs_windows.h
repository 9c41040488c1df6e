// The scenario frame's windows on the screen: the message text view with its name box and wait
// mark, the choice list, the bar, the hit area over the window and the ten system buttons. The
// frame keeps the message road's logic; this draws what it decides.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "effects/cell_image.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "graphics/text/outline_text_renderer.h"
#include "gui/gmp_part_loader.h"
#include "gui/hit_area_part.h"
#include "gui/text_view.h"
#include "scenario/tgs/tgs_frame_host.h"

namespace bw {

class ButtonPart;
class CompositionLayer;
class DisplayEffect;
class DisplayManager;
class ImageListPart;
class PartManager;
class PointerTip;
class TimerService;
class UiControl;

// Where the windows go and who keeps their parts.
struct TgsWindowsPlace {
  CompositionLayer* layer = nullptr;  // the screen's composition layer
  // The list the windows draw in: the screen's upper list keeps them above both scene pages
  // through a page exchange. Null: the layer's own list.
  DisplayObjectList* list = nullptr;
  DisplayManager* display = nullptr;
  PartManager* parts = nullptr;
  PointerTip* pointers = nullptr;
  TimerService* timers = nullptr;
  int32_t width = 800;
  int32_t height = 600;

  // The list the windows and the system menu draw in; both must share it to keep their order.
  DisplayObjectList* DrawList() const;
  // Whether that list is the layer's second one, where the part manager files parts on request.
  bool DrawsOnSecondList() const;
};

// Prepare answers this when a picture of the windows cannot be had.
constexpr int kTgsWindowsMissing = 2;

constexpr int32_t kTgsButtonGroup = 1000;
constexpr uint32_t kTgsButtonFadeMs = 200;
constexpr int32_t kTgsWindowPriority = 10000;

// One choice as the list shows it.
struct TgsChoiceLine {
  std::string text;
  bool enabled = true;
};

class TgsWindows : public TgsPresentation, public TgsCallRunner {
 public:
  TgsWindows(const host::GlyphSource& glyphs, const TgsWindowsPlace& place);
  ~TgsWindows() override;
  TgsWindows(const TgsWindows&) = delete;
  TgsWindows& operator=(const TgsWindows&) = delete;

  // Loads the pictures and makes the windows, hidden. A missing picture is named on standard
  // error and in MissingPictures(), and its piece is left out or drawn plainly; 0, or
  // kTgsWindowsMissing with nothing left made when the windows cannot be made at all.
  [[nodiscard]] int PrepareWindows() override;
  void ReleaseWindows() override { Release(); }
  const std::vector<std::string>& MissingPictures() const { return missing_; }
  void Release();
  bool Prepared() const { return prepared_; }
  // The list the windows draw in; it stays with its canvas through a page exchange.
  DisplayObjectList* PlacedList() const { return place_.list; }

  // Steps the reveal and the wait mark at now.
  void Tick(uint32_t now);

  [[nodiscard]] int TakePointerEvent() override;
  void SetMessage(std::string_view text, const std::string& name, uint32_t revealMs) override;
  void ShowPage() override;
  [[nodiscard]] bool Typing() override;
  void FinishTyping() override;
  void NextPage() override;
  void SetWindowVisible(bool visible) override;
  void PlaceWindow(int32_t alignment, int32_t x, int32_t y) override;
  void SetWindowAlpha(uint8_t alpha, bool withButtons) override;
  void SetWaitMarkAuto(bool autoPlay) override;
  void SetButtonState(int button, int state) override;
  // Shown buttons fade in over kTgsButtonFadeMs through the "sp_fade" task; hidden ones go at once.
  void ShowButtons(bool show) override;
  // Shows the lines the choice source gives; disabled ones grey.
  void ShowChoiceList(bool show) override;
  // The entries other than chosen fade out over the choice fade time.
  void FadeOtherChoices(int chosen) override;
  [[nodiscard]] bool ChoiceFadesRunning() override { return fadeChosen_ >= 0; }
  void SetMessageFont(const TgsFontState& font) override;
  void SetMessageLook(const TgsUserSettings& user) override;
  // 0, or 1 when the page has no room for another line.
  [[nodiscard]] int ViewNewLine() override;
  [[nodiscard]] int ViewBeginRuby() override;
  [[nodiscard]] int ViewDrawRuby(std::string_view ruby) override;
  Sprite* WindowSprite() override { return prepared_ ? &view_.PageSprite() : nullptr; }
  void SetHitAreaEnabled(bool enabled) override;
  [[nodiscard]] bool PointerOnControl() override;
  void SetWindowFrame(int kind, uint32_t rgb, uint8_t alpha) override;
  void RelayoutPage() override;
  bool ChoicePoint(int32_t& x, int32_t& y) const override;

  void SetClock(std::function<uint32_t()> clock) { clock_ = std::move(clock); }
  void SetChoiceSource(std::function<std::vector<TgsChoiceLine>()> source) {
    choiceSource_ = std::move(source);
  }

  // Runs the view's embedded call records (the frame's direct mode): 0 when the call ran.
  void SetCallRunner(std::function<int(std::span<const uint8_t>)> runner) {
    runner_ = std::move(runner);
  }
  [[nodiscard]] int RunCall(std::span<const uint8_t> record) override;
  int MessageState() const override;

  TextView& View() { return view_; }
  MessageTextWidget& NameBox() { return name_; }
  CellImage& WaitMark() { return waitMark_; }
  ImageListPart* Choices() const { return choices_.get(); }
  UiControl* Button(int i) const;
  const Sprite& Bar() const { return bar_; }
  const HitAreaPart& HitArea() const { return hitArea_; }
  OutlineTextRenderer& Renderer(size_t i) { return *renderers_[i]; }

 private:
  // Message renderer i at that size and face (empty: the default) in the user's weight.
  void UseFont(size_t i, int32_t size, const std::string& face);
  // Loads name into into; a missing picture is noted and named.
  [[nodiscard]] bool Have(ImageSurface& into, const char* name);
  [[nodiscard]] bool HaveAll(std::initializer_list<const char*> names);
  [[nodiscard]] int MakeMessageWindow();
  [[nodiscard]] int MakeNameBox();
  [[nodiscard]] int MakeChoiceList();
  void MakeWaitMark();
  void MakeBar();
  void MakeButtons();
  void MakeButtonFade();
  void DrawButtonLabel(ButtonPart& button, const std::string& label);

  TgsWindowsPlace place_;
  std::array<std::unique_ptr<OutlineTextRenderer>, 4> renderers_;
  std::unique_ptr<OutlineTextRenderer> labelFont_;  // the buttons' labels
  std::vector<std::string> missing_;
  TextView view_;
  MessageTextWidget name_;
  ImageSurface markNormal_;
  ImageSurface markAuto_;
  CellImage waitMark_;
  ImageSurface barImage_;
  Sprite bar_;
  HitAreaPart hitArea_;
  std::unique_ptr<ImageListPart> choices_;
  GmpPartLoader buttons_;
  DisplayEffect* buttonFade_ = nullptr;  // owned by the timer service while it runs
  std::function<int(std::span<const uint8_t>)> runner_;
  std::function<uint32_t()> clock_;
  std::function<std::vector<TgsChoiceLine>()> choiceSource_;
  std::string message_;
  std::string defaultFace_;
  std::array<bool, 2> bold_{};  // the user's weights of the two message renderers
  int32_t choiceCount_ = 0;
  std::vector<bool> choiceEnabled_;  // of the cells shown
  int32_t fadeChosen_ = -1;
  uint32_t fadeStart_ = 0;
  bool prepared_ = false;
  bool autoMark_ = false;
};

}  // namespace bw
