// What a clickable part does when the pointer enters, leaves or clicks it, and the normal ->
// hover -> pressed -> fire behaviour the colour boxes and push buttons share.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "gui/ui_control.h"

namespace bw {

class DisplayObject;
class DisplayObjectList;

// The sound numbers that name the pointer manager's default sounds.
constexpr int32_t kDefaultClickSound = -4;
constexpr int32_t kDefaultEnterSound = -3;
constexpr int32_t kDefaultLeaveSound = -2;
constexpr int32_t kNoSound = -1;

// Part states.
constexpr uint8_t kStateNormal = 0;
constexpr uint8_t kStateHover = 1;
constexpr uint8_t kStatePressed = 2;
constexpr uint8_t kStateDisabled = 3;

// How long a key press shows the pressed look before firing.
constexpr uint32_t kKeyPressMs = 100;

// Empty texts are none. A sound file given stands for its sound number (see WithFileSounds).
struct ClickAction {
  std::string label{};
  int32_t labelValue = 0;
  std::string actionName{};
  // Guest addresses of script words, 0 for none.
  uint32_t clickedVar = 0;
  uint32_t hoveredVar = 0;
  uint32_t notHoveredVar = 0;
  std::string clickSoundFile{};
  std::string enterSoundFile{};
  std::string leaveSoundFile{};
  int32_t clickSound = kNoSound;
  int32_t enterSound = kNoSound;
  int32_t leaveSound = kNoSound;
};

// A control event's sound: the part's own (a file, or a channel number from 0), else the
// pointer manager's default for the event.
void PlayPartSound(PointerManager* owner, const std::string& file, int32_t soundId,
                   int32_t defaultId);

// A null text as an empty one.
inline std::string TextOrEmpty(const char* text) {
  return text ? text : "";
}
// The action with the sound number of each given sound file made 0.
ClickAction WithFileSounds(ClickAction action);
// The chosen effects of an action: the click sound, the clicked word, and the action notice
// when the action has a name, label or value. Null plays the default click sound only.
void RunClickAction(PointerManager* owner, const ClickAction* action);
// The hovered and not-hovered words on entering (true) or leaving.
void SetHoverWords(PointerManager* owner, const ClickAction* action, bool hovered);

// Puts a part's picture into its list at the priority, with the tag as its user value, or moves
// it to the priority when it is listed already. True when it was added.
bool PlaceInList(DisplayObjectList* list, DisplayObject* object, int32_t order, int32_t tag,
                 bool keepWhenEqual);

// The click behaviour over a width x height box; the derived part shows the state.
class ClickablePart : public UiControl {
 public:
  [[nodiscard]] bool SetEnabled(bool enabled) override;
  bool HitTest(int32_t x, int32_t y) const override;
  void OnPointerOver(int32_t x, int32_t y) override;
  void OnPointerLeave() override;
  [[nodiscard]] bool OnPointerInput(int32_t x, int32_t y, Mouse* mouse) override;
  void OnFocusGot(UiControl* previous, bool forward) override;
  void OnFocusLost(UiControl* next) override;
  [[nodiscard]] bool OnKeyInput(InputBindingTable* bindings) override;

  [[nodiscard]] virtual int SetState(uint32_t state) = 0;
  void ReleaseAction() { action_.reset(); }
  void SetAction(ClickAction action);
  const ClickAction* GetAction() const { return action_.get(); }
  [[nodiscard]] virtual bool FireAction();
  uint8_t GetState() const { return state_; }

 protected:
  void EnterEffects();
  void LeaveEffects(bool withSound);
  // A key press shows the pressed look, then fires once the time is up.
  void ArmKeyRelease(uint32_t now) {
    keyReleaseTime_ = now + kKeyPressMs;
    keyArmed_ = true;
  }
  void DisarmKey() { keyArmed_ = false; }
  bool KeyReleaseDue(uint32_t now) const {
    return keyArmed_ && static_cast<int32_t>(now - keyReleaseTime_) > 0;
  }
  bool IsKeyArmed() const { return keyArmed_; }

  int32_t width_ = 0;
  int32_t height_ = 0;
  uint8_t state_ = kStateNormal;
  std::unique_ptr<ClickAction> action_;

 private:
  void SetWords(bool hovered);

  uint32_t keyReleaseTime_ = 0;
  bool keyArmed_ = false;
};

}  // namespace bw
