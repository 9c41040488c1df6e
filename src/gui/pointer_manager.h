// The ordered list of registered controls and the per-frame step that finds the hovered control,
// moves the keyboard focus, times the tooltip and hands pointer and key input to the controls.
// Where the pointer is, the clock, the devices and the tooltip's look come from a derived class.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <vector>

namespace bw {

class InputBindingTable;
class KeyboardDevice;
class Mouse;
class UiControl;

// AddControl results.
constexpr int kAddControlDone = 0;
constexpr int kAddControlNull = 1;
constexpr int kAddControlOwned = 2;

// SetFocus results.
constexpr int kFocusDone = 0;
constexpr int kFocusEmptyList = 1;
constexpr int kFocusNotListed = 2;
constexpr int kFocusNotEligible = 3;
// FocusNext and FocusPrevious besides those.
constexpr int kFocusNoneQualifies = 2;
constexpr int kFocusWrapped = -1;

// PushControls and PopControls.
constexpr int kStackDone = 0;
constexpr int kStackNothing = 1;

// ClassifyNavigationKey.
constexpr int kNavigateNone = 0;
constexpr int kNavigateBack = 1;
constexpr int kNavigateOn = 2;

// Update results.
constexpr int kUpdateIdle = 0;
constexpr int kUpdatePointerTaken = 1;
constexpr int kUpdateKeyTaken = 2;
constexpr int kUpdateTextTaken = 3;
constexpr int kUpdateFocusMoved = 4;
constexpr int kUpdateInactive = -1;

// GetFocusPointerMode.
constexpr int kFocusPointerStays = 0;
constexpr int kFocusPointerCentre = 1;
constexpr int kFocusPointerParks = 2;

// Keyboard codes the Tab classification reads.
constexpr int kCodeTab = 0x0F;
constexpr int kCodeLeftShift = 0x2A;
constexpr int kCodeRightShift = 0x36;

class PointerManager {
 public:
  PointerManager() = default;
  PointerManager(const PointerManager&) = delete;
  PointerManager& operator=(const PointerManager&) = delete;
  virtual ~PointerManager();

  [[nodiscard]] virtual int SetFocus(UiControl* control);
  [[nodiscard]] virtual int FocusNext();
  [[nodiscard]] virtual int FocusPrevious();
  virtual void RemoveAll();
  [[nodiscard]] virtual int PushControls();
  [[nodiscard]] virtual int PopControls();
  // A negative position, or one past the end, appends.
  [[nodiscard]] virtual int AddControl(UiControl* control, int32_t position);
  virtual void RemoveControl(UiControl* control);

  virtual void SetPointerPosition(int32_t /*x*/, int32_t /*y*/) {}
  virtual void GetPointerPosition(int32_t* x, int32_t* y) = 0;
  [[nodiscard]] virtual bool SetCursorState(int /*state*/) { return false; }
  virtual int GetCursorState() const { return 0; }
  virtual void SetCursorVisible(bool /*visible*/) {}
  virtual void RestartTooltipTimer() {}
  virtual int32_t GetScreenWidth() { return 0; }
  virtual int32_t GetScreenHeight() { return 0; }
  virtual int GetFocusPointerMode() { return kFocusPointerStays; }
  virtual void ParkPointer() { SetPointerPosition(GetScreenWidth() + 1, GetScreenHeight()); }
  [[nodiscard]] virtual int32_t PlaySound(const char* /*file*/, int32_t /*soundId*/,
                                          int32_t /*value1*/, int32_t /*value2*/) {
    return 0;
  }
  virtual void RunAction(const char* /*text2*/, const char* /*text1*/, int32_t /*value*/) {}
  virtual void SetFiredId(int32_t /*id*/) {}
  [[nodiscard]] virtual bool SendTextInputMessage(uint32_t /*value*/) { return false; }
  virtual InputBindingTable* GetInputBindings() = 0;
  virtual KeyboardDevice* GetKeyboard() = 0;
  virtual Mouse* GetMouse() = 0;
  // The clock the controls time key presses with, in milliseconds.
  virtual uint32_t GetTime() = 0;
  // A script word a control sets (a guest address); a bad address is skipped.
  virtual void WriteScriptWord(uint32_t /*address*/, int32_t /*value*/) {}

  virtual void ResetState();
  virtual void SetActive(bool active);
  virtual int ClassifyNavigationKey(InputBindingTable* bindings);
  [[nodiscard]] virtual int Update(uint32_t now);
  virtual void ShowTooltip(const char* /*text*/, int32_t /*x*/, int32_t /*y*/) {}
  [[nodiscard]] virtual int HideTooltipBox() { return 0; }
  [[nodiscard]] virtual bool PreUpdate(uint32_t /*now*/, bool* /*moved*/, int32_t /*x*/,
                                       int32_t /*y*/) {
    return true;
  }
  [[nodiscard]] virtual bool PollTextInput(UiControl* /*focused*/) { return false; }
  [[nodiscard]] virtual bool MoveFocusByKey(UiControl* focused, int classification);

  // The hovered control, if any, is left, and the tooltip goes with it.
  void ReleaseHover();
  void HideTooltip();
  // What a control that hides or stops taking input gives up: the hover when it holds it, and
  // with withFocus the focus when it holds that.
  void LetGo(const UiControl* control, bool withFocus);
  // The tooltip goes when the pointer rests on control.
  void HideTooltipOf(const UiControl* control);
  // From a control that will not keep the focus, the next control on (or the one before) takes
  // it; when none does, no control holds it.
  void PassFocusOn(bool forward);
  bool IsHover(const UiControl* control) const { return control && control == hover_; }
  bool IsFocus(const UiControl* control) const { return control && control == focus_; }
  UiControl* GetHover() const { return hover_; }
  UiControl* GetFocus() const { return focus_; }
  void SetTooltipOptions(bool enabled, uint32_t delay, uint32_t duration);
  bool IsTooltipShown() const { return tooltipShown_; }
  // A dragging control holds the hover; letting go forgets the pointer position.
  void SetCaptured(bool captured);
  bool IsCaptured() const { return captured_; }
  void ForgetPointer() { lastX_ = lastY_ = -1; }
  int LastResult() const { return lastResult_; }
  const std::list<UiControl*>& Controls() const { return controls_; }
  size_t SavedListCount() const { return saved_.size(); }

 protected:
  void ChangeFocus(UiControl* control, bool forward);
  void StartHoverWait(uint32_t now) {
    hoverStart_ = now;
    hoverWaiting_ = true;
  }

  bool tooltipShown_ = false;

 private:
  std::list<UiControl*>::iterator Find(UiControl* control);
  static bool Qualifies(const UiControl* control);
  template <typename It>
  [[nodiscard]] int FocusWalk(It begin, It end, It afterFocus, bool forward);
  void ShowOrHideTooltip(uint32_t now, int32_t x, int32_t y);

  std::list<UiControl*> controls_;
  std::vector<std::list<UiControl*>> saved_;
  int32_t lastX_ = -1;
  int32_t lastY_ = -1;
  bool captured_ = false;
  bool active_ = true;
  int lastResult_ = kUpdateIdle;
  // The wait is a state of its own: a hover may start at clock 0.
  uint32_t hoverStart_ = 0;
  bool hoverWaiting_ = false;
  bool tooltipsEnabled_ = false;
  uint32_t tooltipDelay_ = 0;
  uint32_t tooltipDuration_ = 0;
  UiControl* hover_ = nullptr;
  UiControl* focus_ = nullptr;
  // Controls whose OnFocusGot is running: one that passes the focus back to a control already
  // passing it would loop without end.
  std::vector<UiControl*> passing_;
};

}  // namespace bw
