#include "gui/cell_image_part.h"

#include "gui/pointer_manager.h"
#include "input/input_binding_table.h"
#include "input/mouse.h"

namespace bw {

CellImagePart::~CellImagePart() {
  ClearActions();
}

int CellImagePart::SetPosition(int32_t x, int32_t y) {
  x_ = x;
  y_ = y;
  return 0;
}

int CellImagePart::Create(const char* mapFile, int32_t count, int32_t x, int32_t y,
                          bool fireEnabled, int32_t group) {
  const uint32_t cellCount = static_cast<uint32_t>(count) & 0xFF;
  if (cellCount == 0 || !mapFile) return kMapNoCells;
  if (map_.Load8(mapFile, nullptr, 0, kImagePlain) != 0 || map_.GetBitsPerPixel() != 8) {
    map_.Release();
    return kMapNotLoaded;
  }
  ClearActions();
  try {
    std::vector<ImageCell> cells(cellCount);
    cells_ = std::move(cells);
  } catch (const std::bad_alloc&) {
    cells_.clear();
    return kMapNoMemory;
  }
  // Cells of an earlier map mean nothing now.
  hitCell_ = -1;
  activeCell_ = -1;
  state_ = kStateNormal;
  x_ = x;
  y_ = y;
  fireEnabled_ = fireEnabled;
  group_ = group;
  return kMapDone;
}

int CellImagePart::SetCellEnabled(uint32_t index, bool enabled) {
  if (cells_.empty()) return kMapNoCells;
  if (index >= cells_.size()) return kMapBadIndex;
  cells_[index].enabled = enabled;
  return kMapDone;
}

void CellImagePart::ClearActions() {
  if (PointerManager* owner = GetOwner()) owner->HideTooltipOf(this);
  currentTooltip_ = nullptr;
  for (ImageCell& cell : cells_) cell.action.reset();
}

int CellImagePart::SetCellAction(uint32_t index, const char* label, int32_t labelValue,
                                 const char* actionName, const char* tooltip, uint32_t clickedVar,
                                 uint32_t hoveredVar, uint32_t notHoveredVar) {
  if (cells_.empty()) return kMapNoCells;
  if (index >= cells_.size()) return kMapBadIndex;
  auto action = std::make_unique<CellAction>();
  action->click = {.label = TextOrEmpty(label),
                   .labelValue = labelValue,
                   .actionName = TextOrEmpty(actionName),
                   .clickedVar = clickedVar,
                   .hoveredVar = hoveredVar,
                   .notHoveredVar = notHoveredVar};
  action->tooltip = tooltip ? tooltip : "";
  // The entered cell's tooltip belongs to the action being replaced.
  if (static_cast<int32_t>(index) == activeCell_) {
    currentTooltip_ = action->tooltip.empty() ? nullptr : action->tooltip.c_str();
  }
  cells_[index].action = std::move(action);
  return kMapDone;
}

int CellImagePart::SetSounds(const char* clickFile, const char* enterFile, const char* leaveFile,
                             int32_t click, int32_t enter, int32_t leave) {
  sounds_.Set(clickFile, enterFile, leaveFile, click, enter, leave);
  return kMapDone;
}

const CellAction* CellImagePart::ActionOf(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= cells_.size()) return nullptr;
  return cells_[static_cast<size_t>(index)].action.get();
}

bool CellImagePart::CellUsable(int32_t index) const {
  return index >= 0 && static_cast<size_t>(index) < cells_.size() &&
         cells_[static_cast<size_t>(index)].enabled;
}

int32_t CellImagePart::FindCell(int32_t index, int step) const {
  for (; index >= 0 && static_cast<size_t>(index) < cells_.size(); index += step) {
    if (CellUsable(index)) return index;
  }
  return -1;
}

bool CellImagePart::HitTest(int32_t x, int32_t y) const {
  hitCell_ = -1;
  if (cells_.empty() || !map_.GetPixels()) return false;
  const uint32_t dx = static_cast<uint32_t>(x - x_);
  const uint32_t dy = static_cast<uint32_t>(y - y_);
  if (dx >= static_cast<uint32_t>(map_.GetWidth()) || dy >= static_cast<uint32_t>(map_.GetHeight()))
    return false;
  const int32_t index = map_.GetRowPointer(static_cast<int32_t>(dy))[dx];
  // Indices past the cells and disabled cells are holes: the pointer falls through.
  if (!CellUsable(index)) return false;
  hitCell_ = index;
  return true;
}

bool CellImagePart::CellEnter(int32_t index) {
  state_ = kStateHover;
  sounds_.PlayEnter(GetOwner());
  if (const CellAction* action = ActionOf(index)) {
    SetHoverWords(GetOwner(), &action->click, true);
    if (!action->tooltip.empty()) currentTooltip_ = action->tooltip.c_str();
  }
  return true;
}

void CellImagePart::CellLeave(int32_t index) {
  state_ = kStateNormal;
  sounds_.PlayLeave(GetOwner());
  if (const CellAction* action = ActionOf(index)) SetHoverWords(GetOwner(), &action->click, false);
  currentTooltip_ = nullptr;
}

void CellImagePart::RestartTooltip() {
  if (PointerManager* owner = GetOwner()) {
    owner->HideTooltip();
    owner->RestartTooltipTimer();
  }
}

void CellImagePart::OnPointerOver(int32_t /*x*/, int32_t /*y*/) {
  if (locked_ || hitCell_ == activeCell_) return;
  // Each cell waits for its own tooltip.
  RestartTooltip();
  if (activeCell_ >= 0) CellLeave(activeCell_);
  if (hitCell_ >= 0) (void)CellEnter(hitCell_);  // false only when the cell is already entered
  activeCell_ = hitCell_;
}

void CellImagePart::OnPointerLeave() {
  if (locked_ || activeCell_ < 0) return;
  CellLeave(activeCell_);
  activeCell_ = -1;
}

void CellImagePart::OnFocusLost(UiControl* /*next*/) {
  OnPointerLeave();
}

bool CellImagePart::OnPointerInput(int32_t /*x*/, int32_t /*y*/, Mouse* mouse) {
  if (!mouse) return false;
  if (state_ == kStateHover && !locked_ && activeCell_ >= 0 &&
      mouse->IsButtonPressed(kButtonLeft)) {
    state_ = kStatePressed;
    return true;
  }
  if (state_ == kStatePressed && !mouse->IsButtonDown(kButtonLeft)) {
    state_ = kStateHover;
    (void)Fire(activeCell_);  // a cell that does not fire has nothing more to do
    return true;
  }
  return false;
}

bool CellImagePart::Fire(int32_t index) {
  if (!fireEnabled_) return false;
  PointerManager* owner = GetOwner();
  if (owner && GetId() >= 0) owner->SetFiredId(index >= 0 ? GetId() + index : GetId());
  SetLocked(true);
  sounds_.PlayClick(owner);
  const CellAction* action = ActionOf(index);
  if (action && owner) {
    const ClickAction& click = action->click;
    if (click.clickedVar) owner->WriteScriptWord(click.clickedVar, 1);
    if (!click.actionName.empty() || !click.label.empty() || click.labelValue != 0) {
      owner->RunAction(click.actionName.empty() ? nullptr : click.actionName.c_str(),
                       click.label.empty() ? nullptr : click.label.c_str(), click.labelValue);
    }
  }
  return true;
}

int CellImagePart::FocusCellByIndex(uint32_t index) {
  PointerManager* owner = GetOwner();
  if (!owner || cells_.empty() || locked_ || index >= cells_.size()) return kMapNoCells;
  if (!cells_[index].enabled) return kMapCellDisabled;
  if (!owner->IsFocus(this)) {
    (void)owner->SetFocus(this);  // a part the manager does not list leaves the focus where it was
    if (!owner->IsFocus(this)) return kMapNoCells;
  }
  (void)FocusCell(static_cast<int32_t>(index));  // false only when the focus does not move
  return kMapDone;
}

bool CellImagePart::FocusCell(int32_t index) {
  PointerManager* owner = GetOwner();
  const int mode = owner ? owner->GetFocusPointerMode() : kFocusPointerStays;
  if (owner) owner->LetGo(this, false);
  if (mode == kFocusPointerParks && activeCell_ >= 0) {
    RestartTooltip();
    CellLeave(activeCell_);
  }
  (void)CellEnter(index);  // false only when the cell is already entered
  activeCell_ = index;
  if (mode == kFocusPointerParks) owner->ParkPointer();
  return true;
}

void CellImagePart::OnFocusGot(UiControl* /*previous*/, bool forward) {
  PointerManager* owner = GetOwner();
  if (!owner) return;
  if (!locked_ && !cells_.empty()) {
    int32_t cell = forward ? FindCell(0, 1) : FindCell(static_cast<int32_t>(cells_.size()) - 1, -1);
    if (cell >= 0) {
      (void)FocusCell(cell);  // false only when the focus does not move
      return;
    }
  }
  owner->PassFocusOn(forward);
}

bool CellImagePart::OnKeyInput(InputBindingTable* bindings) {
  PointerManager* owner = GetOwner();
  if (locked_ || !owner) return false;
  const int k = owner->ClassifyNavigationKey(bindings);
  if (k == kNavigateBack) {
    int32_t cell = activeCell_ >= 1 ? FindCell(activeCell_ - 1, -1) : -1;
    if (cell >= 0) {
      (void)FocusCell(cell);  // false only when the focus does not move
    } else if (owner->FocusPrevious() != kFocusDone) {
      // Nothing else takes the focus: come round from the end.
      OnFocusGot(nullptr, false);
    }
    return true;
  }
  if (k == kNavigateOn) {
    int32_t cell = activeCell_ >= 0 ? FindCell(activeCell_ + 1, 1) : -1;
    if (cell >= 0) {
      (void)FocusCell(cell);
    } else if (owner->FocusNext() != kFocusDone) {
      OnFocusGot(nullptr, true);
    }
    return true;
  }
  if (activeCell_ >= 0 && state_ == kStateHover && bindings &&
      bindings->IsActionPressed(kActionDecide)) {
    (void)Fire(activeCell_);  // a cell that does not fire has nothing more to do
    return true;
  }
  return false;
}

}  // namespace bw
