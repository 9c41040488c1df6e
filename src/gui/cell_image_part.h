// A picture map: an 8-bit map picture, never shown, whose palette indices split the screen into
// up to 255 clickable cells. Each cell has its own action and tooltip; firing a cell reports the
// part's id plus the cell index, and locks the part until the script unlocks it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/surface/image_surface.h"
#include "gui/click_action.h"
#include "gui/part_sounds.h"

namespace bw {

// Part kinds beyond the GUI core's.
constexpr int kKindTextListView = 8;
constexpr int kKindTextList = 9;
constexpr int kKindCellImage = 10;

// Create and cell operation results.
constexpr int kMapDone = 0;
constexpr int kMapNoCells = 1;  // no cells (or count 0, or not focusable)
constexpr int kMapBadIndex = 2;
constexpr int kMapNotLoaded = 2;
constexpr int kMapCellDisabled = 2;
constexpr int kMapNoMemory = 3;

// The click action's six fields plus the cell's tooltip.
struct CellAction {
  ClickAction click;
  std::string tooltip;
};

struct ImageCell {
  bool enabled = true;
  std::unique_ptr<CellAction> action;
};

class CellImagePart : public UiControl {
 public:
  ~CellImagePart() override;

  int GetKind() const override { return kKindCellImage; }
  int32_t GetX() const override { return x_; }
  int32_t GetY() const override { return y_; }
  int32_t GetWidth() const override { return map_.GetWidth(); }
  int32_t GetHeight() const override { return map_.GetHeight(); }
  [[nodiscard]] int SetPosition(int32_t x, int32_t y) override;
  void SetVisible(bool /*visible*/) override {}
  bool IsVisible() const override { return enabled_; }
  [[nodiscard]] int SetOrder(int32_t, int32_t, bool) override { return 0; }
  int32_t GetOrder() const override { return 0; }
  [[nodiscard]] int SetAlpha(int) override { return 0; }
  int GetAlpha() const override { return 0; }
  const char* GetTooltipText() const override { return currentTooltip_; }
  bool HitTest(int32_t x, int32_t y) const override;
  void OnPointerOver(int32_t x, int32_t y) override;
  void OnPointerLeave() override;
  [[nodiscard]] bool OnPointerInput(int32_t x, int32_t y, Mouse* mouse) override;
  void OnFocusGot(UiControl* previous, bool forward) override;
  void OnFocusLost(UiControl* next) override;
  [[nodiscard]] bool OnKeyInput(InputBindingTable* bindings) override;

  // Only the low byte of count is used.
  [[nodiscard]] int Create(const char* mapFile, int32_t count, int32_t x, int32_t y,
                           bool fireEnabled, int32_t group);
  [[nodiscard]] int SetCellEnabled(uint32_t index, bool enabled);
  void ClearActions();
  // Texts may be null.
  [[nodiscard]] int SetCellAction(uint32_t index, const char* label, int32_t labelValue,
                                  const char* actionName, const char* tooltip, uint32_t clickedVar,
                                  uint32_t hoveredVar, uint32_t notHoveredVar);
  [[nodiscard]] int SetSounds(const char* clickFile, const char* enterFile, const char* leaveFile,
                              int32_t click, int32_t enter, int32_t leave);
  void SetLocked(bool locked) { locked_ = locked; }
  [[nodiscard]] int FocusCellByIndex(uint32_t index);
  [[nodiscard]] bool Fire(int32_t index);
  [[nodiscard]] bool FocusCell(int32_t index);
  [[nodiscard]] bool CellEnter(int32_t index);
  void CellLeave(int32_t index);

  bool IsLocked() const { return locked_; }
  int32_t GetActiveCell() const { return activeCell_; }
  // The map of cell numbers, never shown.
  ImageSurface& Map() { return map_; }
  int32_t GetCellCount() const { return static_cast<int32_t>(cells_.size()); }
  uint8_t GetState() const { return state_; }

 private:
  const CellAction* ActionOf(int32_t index) const;
  bool CellUsable(int32_t index) const;
  // The nearest enabled cell from index stepping by step, or -1.
  int32_t FindCell(int32_t index, int step) const;
  // The shown tooltip goes and its wait starts again.
  void RestartTooltip();

  ImageSurface map_;
  std::vector<ImageCell> cells_;
  int32_t x_ = 0;
  int32_t y_ = 0;
  bool fireEnabled_ = true;
  const char* currentTooltip_ = nullptr;
  bool locked_ = false;
  mutable int32_t hitCell_ = -1;
  int32_t activeCell_ = -1;
  uint8_t state_ = kStateNormal;
  PartSounds sounds_;
};

}  // namespace bw
