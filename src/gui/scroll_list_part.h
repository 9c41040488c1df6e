// The in-game scroll bar: a track with a thumb and an optional arrow button at each end. It holds
// no content; its owner says how long the content is and how much shows, and the bar reports
// every change of the position to its event sink.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "gui/click_action.h"
#include "gui/part_sounds.h"
#include "gui/scroll_button_part.h"

namespace bw {

class ControlEventSink;
class DisplayObjectList;

// Results of the position operations and SetRange besides 0 (done).
constexpr int kScrollUnchanged = -1;
constexpr int kScrollNothing = 1;  // nothing to scroll, no target, or a bad range
constexpr int kScrollNoTrack = 2;
constexpr int kScrollNoThumb = 3;
// Create results besides kCreateDone and kCreateBadArguments.
constexpr int kScrollCreateThumb = 2;
constexpr int kScrollCreateTrack = 3;
constexpr int kScrollCreateBack = 4;
constexpr int kScrollCreateForward = 5;
constexpr int kScrollCreateFailed = -1;

// AddToPointerManager: the part is registered already.
constexpr int kPartRegistered = -1;

// Bar looks.
constexpr uint8_t kBarNormal = 0;
constexpr uint8_t kBarHover = 1;
constexpr uint8_t kBarPressed = 2;
constexpr uint8_t kBarDisabled = 3;

// A bar drawn in colours (0xAARRGGBB): a thumb, a track strip and two arrow buttons.
struct DrawnScrollBar {
  int32_t order = 0;
  int32_t x = 0;
  int32_t y = 0;
  bool vertical = true;
  int32_t size = 16;
  uint32_t faceColor = kDefaultFaceColor;
  uint32_t trackColor = 0xE2DFDA;
  uint32_t hoverColor = kDefaultAccentColor;
  uint32_t pressedColor = 0x4000FF80;
  uint32_t arrowColor = 0;
};

// A bar drawn from picture files. Null track, back and forward files leave those pieces out; the
// edges of a picture are the lengths kept unstretched at its two ends.
struct ScrollBarPictures {
  int32_t order = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t insetX = 0;  // the thumb's offset from the bar's corner
  int32_t insetY = 0;
  const char* thumbFile = nullptr;
  int32_t thumbStartEdge = 0;
  int32_t thumbEndEdge = 0;
  const char* trackFile = nullptr;
  int32_t trackStartEdge = 0;
  int32_t trackEndEdge = 0;
  const char* backFile = nullptr;
  const char* forwardFile = nullptr;
  bool hasDisabledCell = false;  // four cells to a picture instead of three
  bool vertical = false;
  int blendMode = 0;
  int alpha = 255;
  // A colour 0xRRGGBB, or with keyValue2 >= 0 the pixel (keyValue, keyValue2); -1: no key.
  int32_t keyValue = -1;
  int32_t keyValue2 = -1;
};

// The pointer, wheel, key and focus behaviour of a bar, its scroll arithmetic and sounds, and its
// registration together with its buttons.
class ScrollContainerBase : public UiControl {
 public:
  ~ScrollContainerBase() override;
  // Its arrows borrow what it borrows.
  void ForgetGone(const void* object) override;

  int GetKind() const override { return kKindScrollList; }
  int32_t GetX() const override { return x_; }
  int32_t GetY() const override { return y_; }
  int32_t GetWidth() const override { return trackWidth_; }
  int32_t GetHeight() const override { return trackHeight_; }
  [[nodiscard]] bool SetEnabled(bool enabled) override;
  bool HitTest(int32_t x, int32_t y) const override { return HitTestTrack(x, y); }
  void OnPointerOver(int32_t x, int32_t y) override;
  void OnPointerLeave() override;
  [[nodiscard]] bool OnPointerInput(int32_t x, int32_t y, Mouse* mouse) override;
  void OnFocusGot(UiControl* previous, bool forward) override;
  void OnFocusLost(UiControl* next) override;
  [[nodiscard]] bool OnKeyInput(InputBindingTable* bindings) override;

  virtual void Release() = 0;
  [[nodiscard]] virtual int SetScrollPosition(int64_t position) = 0;
  [[nodiscard]] virtual int SetThumbPosition(int64_t pixels) = 0;
  [[nodiscard]] virtual int Step(bool forward) = 0;
  [[nodiscard]] virtual int SetRange(int32_t length, int32_t total, int32_t visible,
                                     int32_t position, int32_t endInset, int32_t minThumb) = 0;
  [[nodiscard]] virtual int SetPartState(int which, uint8_t state) = 0;
  virtual bool HitTestTrack(int32_t x, int32_t y) const = 0;

  void SetEventSink(ControlEventSink* sink) { eventSink_ = sink; }
  // Texts may be null; a given file makes its sound number 0.
  void SetSounds(const char* clickFile, const char* enterFile, const char* leaveFile, int32_t click,
                 int32_t enter, int32_t leave) {
    sounds_.Set(clickFile, enterFile, leaveFile, click, enter, leave);
  }
  [[nodiscard]] int AddToPointerManager(PointerManager* manager, int32_t position);
  [[nodiscard]] bool RemoveFromPointerManager();
  // One step of the wheel, the arrow keys and the arrow buttons.
  [[nodiscard]] int StepBy(bool forward);

  void SetTrackClickMode(uint8_t mode) { trackClickMode_ = mode; }
  void SetPageActions(uint8_t back, uint8_t forward) {
    pageBackAction_ = back;
    pageForwardAction_ = forward;
  }
  void SetStep(int32_t step) { step_ = step; }
  void SetRectHitTest(bool rect) { rectHitTest_ = rect; }

  int32_t GetScrollPos() const { return scrollPos_; }
  int32_t GetScrollMax() const { return scrollMax_; }
  int32_t GetThumbPos() const { return thumbPos_; }
  int32_t GetThumbMax() const { return thumbMax_; }
  int32_t GetThumbLength() const { return thumbLength_; }
  uint8_t GetBarState() const { return barState_; }
  uint8_t GetTrackClickMode() const { return trackClickMode_; }
  int32_t GetStep() const { return step_; }
  bool IsVertical() const { return vertical_; }
  ScrollButtonPart* GetBackButton() const { return backButton_.get(); }
  ScrollButtonPart* GetForwardButton() const { return forwardButton_.get(); }

 protected:
  int32_t Axis(int32_t x, int32_t y) const { return vertical_ ? y : x; }
  int32_t ThumbOffsetAlong() const { return Axis(thumbOffsetX_, thumbOffsetY_); }
  int32_t BackLength() const;
  void GiveCaptureBack();
  void ReturnToHoverTest();
  void UpdateArrows();

  ControlEventSink* eventSink_ = nullptr;
  std::string thumbImageName_;
  int32_t thumbStartEdge_ = 0;
  int32_t thumbEndEdge_ = 0;
  std::string trackImageName_;
  int32_t trackStartEdge_ = 0;
  int32_t trackEndEdge_ = 0;
  std::unique_ptr<ScrollButtonPart> backButton_;
  std::unique_ptr<ScrollButtonPart> forwardButton_;
  int32_t trackWidth_ = 0;
  int32_t trackHeight_ = 0;
  bool vertical_ = true;
  uint8_t barState_ = kBarNormal;
  int32_t x_ = 0;
  int32_t y_ = 0;
  int32_t thumbPos_ = -1;
  int32_t thumbMax_ = -1;
  int32_t thumbLength_ = 0;
  int32_t trackInset_ = 0;
  int32_t thumbOffsetX_ = 0;
  int32_t thumbOffsetY_ = 0;
  int32_t dragCoord_ = 0;
  int32_t scrollMax_ = 0;
  int32_t scrollPos_ = -1;
  uint8_t trackClickMode_ = 0;
  uint32_t repeatAt_ = 0;
  int8_t pageDirection_ = 0;
  bool capturing_ = false;
  bool rectHitTest_ = true;
  uint8_t pageBackAction_ = 0;
  uint8_t pageForwardAction_ = 0;
  int32_t step_ = 0;
  PartSounds sounds_;
  PointerManager* manager_ = nullptr;
};

class ScrollListPart : public ScrollContainerBase {
 public:
  ScrollListPart();
  ~ScrollListPart() override;
  void ForgetGone(const void* object) override {
    ScrollContainerBase::ForgetGone(object);
    if (target_ == object) target_ = nullptr;
  }

  [[nodiscard]] int SetPosition(int32_t x, int32_t y) override;
  void SetVisible(bool visible) override;
  bool IsVisible() const override { return thumbSprite_.IsVisible(); }
  [[nodiscard]] int SetOrder(int32_t order, int32_t tag, bool keepWhenEqual) override;
  int32_t GetOrder() const override { return order_; }
  [[nodiscard]] int SetAlpha(int alpha) override;
  int GetAlpha() const override { return thumbSprite_.GetAlpha(); }

  void Release() override;
  [[nodiscard]] int SetScrollPosition(int64_t position) override;
  [[nodiscard]] int SetThumbPosition(int64_t pixels) override;
  [[nodiscard]] int Step(bool forward) override;
  [[nodiscard]] int SetRange(int32_t length, int32_t total, int32_t visible, int32_t position,
                             int32_t endInset, int32_t minThumb) override;
  [[nodiscard]] int SetPartState(int which, uint8_t state) override;
  bool HitTestTrack(int32_t x, int32_t y) const override;

  [[nodiscard]] int AttachToTarget(DisplayObjectList* target);
  [[nodiscard]] int CreateDrawn(DisplayObjectList* target, const DrawnScrollBar& bar,
                                int32_t group);
  [[nodiscard]] int CreateFromImages(DisplayObjectList* target, const ScrollBarPictures& bar,
                                     int32_t group);

  const Sprite& GetThumbSprite() const { return thumbSprite_; }
  const Sprite* GetTrackSprite() const { return trackSprite_.get(); }
  const ImageSurface& GetThumbSurface() const { return thumbSurface_; }

 private:
  // Forgets the target when it is the one given, so Release leaves the sprites in it.
  void BeginCreate(DisplayObjectList* target);
  void PlaceThumb();
  void ShowCell(Sprite* sprite, int32_t stride, int32_t cell);
  [[nodiscard]] int FinishCreate(int result);

  DisplayObjectList* target_ = nullptr;
  int32_t order_ = 0;
  int32_t thumbCellStride_ = 0;
  int32_t trackCellStride_ = 0;
  ImageSurface thumbSurface_;
  Sprite thumbSprite_;
  std::unique_ptr<ImageSurface> thumbSource_;
  std::unique_ptr<ImageSurface> trackSurface_;
  std::unique_ptr<Sprite> trackSprite_;
  std::unique_ptr<ImageSurface> trackSource_;
  int32_t cellCount_ = 3;
  bool visible_ = true;
  bool drawn_ = false;
};

}  // namespace bw
