// Check boxes and radio buttons: a picture button with a checked flag. The cell layout decides
// which it is; radio buttons form groups whose first part (the leader) keeps the others and the
// selection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "gui/click_action.h"
#include "gui/shown_by_object.h"

namespace bw {

class DisplayObjectList;

// Check part states; 3, 4, 5 and 7 are the checked ones.
constexpr uint8_t kCheckNormal = 0;
constexpr uint8_t kCheckHover = 1;
constexpr uint8_t kCheckPressed = 2;
constexpr uint8_t kCheckChecked = 3;
constexpr uint8_t kCheckCheckedHover = 4;
constexpr uint8_t kCheckCheckedPressed = 5;
constexpr uint8_t kCheckDisabled = 6;
constexpr uint8_t kCheckDisabledChecked = 7;

// Cell layouts: 0 and 1 check boxes, 2 and 3 radio buttons.
constexpr int kCheckLayouts = 4;

// Group operation results.
constexpr int kGroupDone = 0;
constexpr int kGroupNone = 1;
constexpr int kGroupBadIndex = 2;

// The two colour-key forms of the part pictures: a key read from a pixel (b 0 or more), a key
// given as 0xRRGGBB (b negative, a not -1), or none. True when the picture got a key.
bool ApplyPictureColorKey(ImageSurface* picture, int32_t a, int32_t b);

class CheckPartBase : public ClickablePart {
 public:
  // Leaves its group.
  ~CheckPartBase() override;

  [[nodiscard]] bool SetEnabled(bool enabled) override;
  bool HitTest(int32_t x, int32_t y) const override;
  void OnPointerOver(int32_t x, int32_t y) override;
  void OnPointerLeave() override;
  [[nodiscard]] bool OnPointerInput(int32_t x, int32_t y, Mouse* mouse) override;
  void OnFocusGot(UiControl* previous, bool forward) override;
  void OnFocusLost(UiControl* next) override;
  [[nodiscard]] bool OnKeyInput(InputBindingTable* bindings) override;

  virtual bool PixelHitTest(int32_t x, int32_t y) const = 0;
  // False when the part already is in that condition.
  [[nodiscard]] bool SetChecked(bool checked);
  [[nodiscard]] int SelectIndex(int32_t index);
  [[nodiscard]] int StoreSelection();
  void SetLocked(bool locked);
  [[nodiscard]] int AddMember(CheckPartBase* part);
  void LeaveGroup();
  void ClearLeader() { leader_ = nullptr; }
  [[nodiscard]] int RemoveMember(CheckPartBase* part);
  bool IsSelected(const CheckPartBase* part) const;
  [[nodiscard]] int Select(CheckPartBase* part);

  bool IsChecked() const;
  bool IsRadio() const { return layout_ >= 2; }
  bool IsLocked() const { return locked_; }
  bool IsLeader() const { return isLeader_; }
  CheckPartBase* GetLeader() const { return leader_; }
  int32_t GetSelectedIndex() const { return selectedIndex_; }
  const std::vector<CheckPartBase*>& Members() const { return members_; }
  void SetStateVar(uint32_t address) { stateVar_ = address; }
  // The cell rectangle decides a hit instead of the pixels.
  void SetBoxHit(bool on) { boxHit_ = on; }
  bool IsBoxHit() const { return boxHit_; }

 protected:
  // The leader of the part's group, the part itself when it leads or stands alone.
  CheckPartBase* Head() { return leader_ ? leader_ : this; }
  // The group's part at an index: 0 the leader, k the k-th member.
  CheckPartBase* PartAt(int32_t index);
  void WriteStateVar();
  // After the picture is made: the group and the first state.
  [[nodiscard]] int JoinGroup(CheckPartBase* groupLeader);
  void CompleteClick(bool fromPointer);
  [[nodiscard]] bool DropHover();
  int32_t CellOf(uint8_t state) const;
  int32_t CellCount() const;

  std::string imageFile_;
  uint8_t layout_ = 0;
  bool hasDisabledCell_ = false;
  bool boxHit_ = false;
  int32_t selectedIndex_ = 0;
  uint32_t stateVar_ = 0;
  bool locked_ = false;
  bool isLeader_ = false;
  std::vector<CheckPartBase*> members_;
  CheckPartBase* leader_ = nullptr;
};

// A check or radio part's cells, word, group and drawing; the colour keys as a button's.
struct CheckPicture {
  int32_t order = 0;
  uint32_t stateVar = 0;  // guest address of the script's word, 0 for none
  int layout = 0;         // 0-3
  bool hasDisabledCell = false;
  CheckPartBase* groupLeader = nullptr;  // any part of the radio group to join, or null
  int32_t x = 0;
  int32_t y = 0;
  int blendMode = 0;
  int alpha = 255;
  int32_t colorKeyA = -1;
  int32_t colorKeyB = -1;
};

class CheckPart : public ShownByObject<CheckPartBase> {
 public:
  ~CheckPart() override;
  void ForgetGone(const void* object) override {
    if (target_ == object) target_ = nullptr;
  }

  int GetKind() const override { return kKindCheckButton; }
  int32_t GetWidth() const override { return width_; }
  int32_t GetHeight() const override { return height_; }
  // A leader takes its members along.
  [[nodiscard]] int SetPosition(int32_t x, int32_t y) override;
  void SetVisible(bool visible) override;
  [[nodiscard]] int SetOrder(int32_t order, int32_t tag, bool keepWhenEqual) override;
  int32_t GetOrder() const override { return order_; }
  [[nodiscard]] int SetState(uint32_t state) override;
  bool PixelHitTest(int32_t x, int32_t y) const override;

  void Release();
  // A layout outside 0-3, a null list or picture answers kCreateBadArguments; a failed load
  // kCreateNoPicture.
  [[nodiscard]] int CreateFromFile(DisplayObjectList* list, const char* fileName,
                                   const CheckPicture& look, int32_t group);
  [[nodiscard]] int CreateFromSurface(DisplayObjectList* list, ImageSurface* surface,
                                      const CheckPicture& look, int32_t group);

  const Sprite& GetSprite() const { return sprite_; }
  Sprite& GetSprite() { return sprite_; }
  // The picture loaded from a file; null for one made from the script's surface.
  ImageSurface* GetPicture() { return picture_.get(); }
  uint8_t GetShownCell() const { return static_cast<uint8_t>(CellOf(state_)); }

 private:
  DisplayObject& ShownBy() override { return sprite_; }
  [[nodiscard]] bool BeginCreate(DisplayObjectList* list, int layout);
  [[nodiscard]] int Finish(ImageSurface& picture, const CheckPicture& look, int32_t group);

  DisplayObjectList* target_ = nullptr;
  int32_t order_ = 0;
  std::unique_ptr<ImageSurface> picture_;
  Sprite sprite_;
};

}  // namespace bw
