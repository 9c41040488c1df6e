// The base of every in-game control: its rectangle, enabled flag, tooltip, keyboard neighbours,
// group and id, and the calls through which its pointer manager hands it the pointer and keys.
#pragma once

#include <cstdint>
#include <string>

#include "input/key_codes.h"
#include "input/text_input_target.h"

namespace bw {

class InputBindingTable;
class Mouse;
class PointerManager;

// Part kinds.
constexpr int kKindPushButton = 0;
constexpr int kKindCheckButton = 1;
constexpr int kKindColorBox = 2;
constexpr int kKindTextInput = 3;
constexpr int kKindScrollList = 4;
constexpr int kKindTextWindow = 5;
constexpr int kKindImageList = 6;
constexpr int kKindHitArea = 7;

// Navigation actions of the binding table, which are also the neighbour slots.
constexpr uint32_t kNavigateUp = 0;
constexpr uint32_t kNavigateDown = 1;
constexpr uint32_t kNavigateLeft = 2;
constexpr uint32_t kNavigateRight = 3;

class UiControl : public TextInputTarget {
 public:
  UiControl() = default;
  UiControl(const UiControl&) = delete;
  UiControl& operator=(const UiControl&) = delete;
  // Leaves its manager, so the manager never holds a destroyed control.
  ~UiControl() override;

  virtual int GetKind() const = 0;
  virtual int32_t GetX() const = 0;
  virtual int32_t GetY() const = 0;
  virtual int32_t GetWidth() const = 0;
  virtual int32_t GetHeight() const = 0;
  [[nodiscard]] virtual int SetPosition(int32_t x, int32_t y) = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool IsVisible() const = 0;
  [[nodiscard]] virtual int SetOrder(int32_t order, int32_t tag, bool keepWhenEqual) = 0;
  virtual int32_t GetOrder() const = 0;
  [[nodiscard]] virtual int SetAlpha(int alpha) = 0;
  virtual int GetAlpha() const = 0;
  // False when the flag does not change.
  [[nodiscard]] virtual bool SetEnabled(bool enabled);
  // Null or empty clears the tooltip.
  virtual void SetTooltipText(const char* text);
  virtual bool HitTest(int32_t x, int32_t y) const = 0;
  // Pointer calls take coordinates relative to the control's corner.
  virtual void OnPointerOver(int32_t /*x*/, int32_t /*y*/) {}
  virtual void OnPointerEnter() {}
  virtual void OnPointerLeave() {}
  [[nodiscard]] virtual bool OnPointerInput(int32_t /*x*/, int32_t /*y*/, Mouse* /*mouse*/) {
    return false;
  }
  virtual void OnFocusGot(UiControl* /*previous*/, bool /*forward*/) {}
  virtual void OnFocusLost(UiControl* /*next*/) {}
  [[nodiscard]] virtual bool OnKeyInput(InputBindingTable* /*bindings*/) { return false; }
  [[nodiscard]] uint8_t OnTextKey(uint32_t /*virtualKey*/) override { return 0; }
  [[nodiscard]] uint8_t OnTextInput(const char* /*text*/, int32_t /*length*/) override { return 0; }
  [[nodiscard]] virtual int OnTick(uint32_t /*now*/) { return 0; }
  // An object the control borrows is being destroyed (the text renderer it draws with, the
  // display list its pictures are shown in): the control lets go of it.
  virtual void ForgetGone(const void* /*object*/) {}

  bool IsEnabled() const { return enabled_; }
  // Null when there is none.
  virtual const char* GetTooltipText() const {
    return tooltip_.empty() ? nullptr : tooltip_.c_str();
  }
  int32_t GetGroup() const { return group_; }
  void SetGroup(int32_t group) { group_ = group; }
  int32_t GetId() const { return id_; }
  void SetId(int32_t id) { id_ = id; }

  PointerManager* GetOwner() const { return owner_; }
  // Up, down, left, right: the navigation actions' order.
  UiControl* GetNeighbour(uint32_t action) const {
    return action < 4 ? neighbours_[action] : nullptr;
  }
  void SetNeighbours(UiControl* left, UiControl* right, UiControl* up, UiControl* down);

 protected:
  // Before showing or hiding: hiding gives up the focus, and either gives up the hover.
  void ReleaseFocusAndHover(bool visible);

  bool enabled_ = true;
  int32_t group_ = 0;

 private:
  friend class PointerManager;
  std::string tooltip_;
  PointerManager* owner_ = nullptr;
  UiControl* neighbours_[4] = {};
  int32_t id_ = -1;
};

}  // namespace bw
