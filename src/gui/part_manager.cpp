#include "gui/part_manager.h"

#include <algorithm>

#include "common/gone_notice.h"
#include "graphics/surface/composition_layer.h"
#include "gui/pointer_manager.h"

namespace bw {

PartManager::PartManager() : listenThread_(std::this_thread::get_id()) {
  AddGoneListener(&PartManager::OnGone, this);
}

PartManager::~PartManager() {
  RemoveGoneListener(&PartManager::OnGone, this);
  DeleteAll();
}

void PartManager::OnGone(const void* object, void* self) {
  auto* manager = static_cast<PartManager*>(self);
  if (std::this_thread::get_id() != manager->listenThread_) return;
  if (object == manager->targetLayer_) manager->SetTarget(nullptr);
  for (const auto& part : manager->parts_) part->ForgetGone(object);
  if (manager->imeIndicator_) manager->imeIndicator_->ForgetGone(object);
}

void PartManager::SetTarget(CompositionLayer* layer) {
  targetLayer_ = layer;
  targetList_ = layer ? &layer->GetList() : nullptr;
  targetListAlt_ = layer ? layer->GetSecondList() : nullptr;
}

bool PartManager::SetUseAltList(bool use) {
  bool old = useAltList_;
  useAltList_ = use;
  return old;
}

int PartManager::CreateDrawnButton(ButtonPart** out, int32_t order, const char* text,
                                   TextRenderer* font, int32_t x, int32_t y, int32_t width,
                                   int32_t height, bool hasDisabledCell) {
  *out = nullptr;
  auto part = std::make_unique<ButtonPart>();
  part->SetFaceColors(buttonFaceColor_, buttonAccentColor_);
  int result = part->CreateDrawn(TargetList(), order, text, font, x, y, width, height,
                                 hasDisabledCell, defaultGroup_);
  return Finish(std::move(part), result, out);
}

int PartManager::CreateFileButton(ButtonPart** out, const char* fileName,
                                  const ButtonPicture& look) {
  *out = nullptr;
  auto part = std::make_unique<ButtonPart>();
  int result = part->CreateFromFile(TargetList(), fileName, look, defaultGroup_);
  return Finish(std::move(part), result, out);
}

int PartManager::CreateSurfaceButton(ButtonPart** out, ImageSurface* surface,
                                     const ButtonPicture& look) {
  *out = nullptr;
  auto part = std::make_unique<ButtonPart>();
  int result = part->CreateFromSurface(TargetList(), surface, look, defaultGroup_);
  return Finish(std::move(part), result, out);
}

int PartManager::CreateFileCheckButton(UiControl** out, int mode, UiControl* linked, int32_t order,
                                       const char* fileName, bool hasExtraCell, int32_t x,
                                       int32_t y, int blendMode, int alpha) {
  CheckPart* part = nullptr;
  int result = CreateFileCheckButton(&part, fileName,
                                     {.order = order,
                                      .layout = mode,
                                      .hasDisabledCell = hasExtraCell,
                                      .groupLeader = dynamic_cast<CheckPartBase*>(linked),
                                      .x = x,
                                      .y = y,
                                      .blendMode = blendMode,
                                      .alpha = alpha});
  *out = part;
  return result;
}

int PartManager::CreateColorBox(ColorBoxPart** out, int32_t order, int32_t x, int32_t y,
                                int32_t width, int32_t height, uint32_t normalColor,
                                uint32_t hoverColor, uint32_t pressedColor) {
  *out = nullptr;
  auto part = std::make_unique<ColorBoxPart>();
  int result = part->Create(TargetList(), order, x, y, width, height, normalColor, hoverColor,
                            pressedColor, defaultGroup_);
  return Finish(std::move(part), result, out);
}

int PartManager::CreateImageList(ImageListPart** out, int32_t order, int32_t valueA, int32_t valueB,
                                 int32_t cellWidth, int32_t cellHeight, int32_t spacing,
                                 TextRenderer* renderer) {
  *out = nullptr;
  auto part = std::make_unique<ImageListPart>();
  int result = part->Setup(TargetList(), order, valueA, valueB, cellWidth, cellHeight, spacing,
                           renderer, defaultGroup_);
  return Finish(std::move(part), result, out);
}

bool PartManager::Holds(const UiControl* part) const {
  return std::any_of(parts_.begin(), parts_.end(),
                     [part](const auto& p) { return p.get() == part; });
}

int PartManager::DeletePart(UiControl* part) {
  if (!part) return kDeleteNull;
  auto it =
      std::find_if(parts_.begin(), parts_.end(), [part](const auto& p) { return p.get() == part; });
  if (it == parts_.end()) return kDeleteNotListed;
  std::list<std::unique_ptr<UiControl>> doomed;
  doomed.splice(doomed.end(), parts_, it);
  DestroyParts(std::move(doomed));
  return kDeleteDone;
}

void PartManager::DeleteGroup(int32_t group, bool invert) {
  std::list<std::unique_ptr<UiControl>> doomed;
  for (auto it = parts_.begin(); it != parts_.end();) {
    auto next = std::next(it);
    if (((*it)->GetGroup() == group) != invert) doomed.splice(doomed.end(), parts_, it);
    it = next;
  }
  DestroyParts(std::move(doomed));
}

void PartManager::DeleteAll() {
  // A part's destructor may reach the manager; take the list out first.
  auto parts = std::move(parts_);
  parts_.clear();
  DestroyParts(std::move(parts));
}

// --- Check and radio parts, hit areas, picture maps, scroll bars and list boxes ------------

void PartManager::DestroyParts(std::list<std::unique_ptr<UiControl>> doomed) {
  if (doomed.empty()) return;
  std::vector<const UiControl*> gone;
  std::vector<PointerManager*> owners;
  for (const auto& part : doomed) {
    gone.push_back(part.get());
    PointerManager* owner = part->GetOwner();
    if (owner && std::find(owners.begin(), owners.end(), owner) == owners.end()) {
      owners.push_back(owner);
    }
  }
  doomed.clear();
  auto forget = [&gone](UiControl* control) {
    UiControl* n[4];
    bool changed = false;
    for (uint32_t a = kNavigateUp; a <= kNavigateRight; ++a) {
      n[a] = control->GetNeighbour(a);
      if (n[a] && std::find(gone.begin(), gone.end(), n[a]) != gone.end()) {
        n[a] = nullptr;
        changed = true;
      }
    }
    if (changed) {
      control->SetNeighbours(n[kNavigateLeft], n[kNavigateRight], n[kNavigateUp], n[kNavigateDown]);
    }
  };
  for (const auto& part : parts_) forget(part.get());
  for (PointerManager* owner : owners) {
    for (UiControl* control : owner->Controls()) forget(control);
  }
}

void PartManager::ApplyScrollSettings(ScrollContainerBase* bar) const {
  bar->SetPageActions(scrollArrowByteA_, scrollArrowByteB_);
  bar->SetTrackClickMode(listByte_);
  bar->SetStep(listValue_);
}

int PartManager::CreateFileCheckButton(CheckPart** out, const char* fileName,
                                       const CheckPicture& look) {
  *out = nullptr;
  auto part = std::make_unique<CheckPart>();
  int result = part->CreateFromFile(TargetList(), fileName, look, defaultGroup_);
  return Finish(std::move(part), result, out);
}

int PartManager::CreateSurfaceCheckButton(CheckPart** out, ImageSurface* surface,
                                          const CheckPicture& look) {
  *out = nullptr;
  auto part = std::make_unique<CheckPart>();
  int result = part->CreateFromSurface(TargetList(), surface, look, defaultGroup_);
  return Finish(std::move(part), result, out);
}

int PartManager::CreateHitArea(HitAreaPart** out, int32_t x, int32_t y, int32_t width,
                               int32_t height, int32_t centerX, int32_t centerY, bool hitEnabled,
                               bool fireEnabled) {
  *out = nullptr;
  auto part = std::make_unique<HitAreaPart>();
  int result =
      part->Create(x, y, width, height, centerX, centerY, hitEnabled, fireEnabled, defaultGroup_);
  return Finish(std::move(part), result, out);
}

int PartManager::CreateCellImage(CellImagePart** out, const char* mapFile, int32_t count, int32_t x,
                                 int32_t y, bool fireEnabled) {
  *out = nullptr;
  auto part = std::make_unique<CellImagePart>();
  int result = part->Create(mapFile, count, x, y, fireEnabled, defaultGroup_);
  return Finish(std::move(part), result, out);
}

int PartManager::CreateScrollList(ScrollListPart** out, const DrawnScrollBar& bar) {
  *out = nullptr;
  auto part = std::make_unique<ScrollListPart>();
  int result = part->CreateDrawn(TargetList(), bar, defaultGroup_);
  result = Finish(std::move(part), result, out);
  if (result == 0) ApplyScrollSettings(*out);
  return result;
}

int PartManager::CreateImageScrollList(ScrollListPart** out, const ScrollBarPictures& bar) {
  *out = nullptr;
  auto part = std::make_unique<ScrollListPart>();
  int result = part->CreateFromImages(TargetList(), bar, defaultGroup_);
  result = Finish(std::move(part), result, out);
  if (result == 0) ApplyScrollSettings(*out);
  return result;
}

int PartManager::CreateTextList(TextListPart** out, const TextListLayout& layout) {
  *out = nullptr;
  auto part = std::make_unique<TextListPart>();
  part->SetColors(listBackground_, listHoverFrame_, listSelection_);
  part->SetDefaultFlag(listDefaultFlag_);
  int result = part->Create(TargetList(), layout, defaultGroup_);
  result = Finish(std::move(part), result, out);
  if (result == 0) {
    (*out)->SetPageActions(scrollArrowByteA_, scrollArrowByteB_);
    (*out)->GetScrollList().SetTrackClickMode(listByte_);
  }
  return result;
}

int PartManager::CreateTextWidget(MessageTextWidget** out, int32_t order, int32_t x, int32_t y,
                                  int32_t width, int32_t height, TextRenderer* mainRenderer,
                                  TextRenderer* rubyRenderer) {
  *out = nullptr;
  auto part = std::make_unique<MessageTextWidget>();
  // Before Create the widget keeps the renderers and answers that it has no page yet.
  if (mainRenderer || rubyRenderer) (void)part->SetRenderers(mainRenderer, rubyRenderer, false);
  int result = part->Create(TargetList(), order, width, height, x, y, mainRenderer, rubyRenderer,
                            defaultGroup_);
  return Finish(std::move(part), result, out);
}

// Text inputs and the IME indicator.

void PartManager::SetUpTextInput(TextInputPart& part) {
  (void)part.SetMaxLength(textInputStyle_);  // a style below 1 leaves the field's own length
  part.SetBackColor(textInputColor_);
  part.SetTextColor(textInputValue_);
  // A style out of range leaves the field's own.
  (void)part.SetCompositionStyle(static_cast<int32_t>(textInputTriple_[0]), textInputTriple_[1],
                                 textInputTriple_[2]);
}

int PartManager::FinishTextInput(std::unique_ptr<TextInputPart> part, int result,
                                 TextInputPart** out) {
  if (result == 0) {
    if (imeIndicator_) part->SetModeIndicator(imeIndicator_.get());
    part->SetUseIme(textInputFlag_);
  }
  return Finish(std::move(part), result, out);
}

int PartManager::CreateTextInput(TextInputPart** out, const TextInputLayout& layout) {
  *out = nullptr;
  auto part = std::make_unique<TextInputPart>();
  SetUpTextInput(*part);
  int result =
      part->Create(TargetList(), textInputTimers_, textInputHost_, layout, {}, defaultGroup_);
  return FinishTextInput(std::move(part), result, out);
}

int PartManager::CreateTextInputEx(TextInputPart** out, const TextInputLayout& layout) {
  *out = nullptr;
  auto part = std::make_unique<TextInputPart>();
  SetUpTextInput(*part);
  int result = part->CreateMultiLine(TargetList(), textInputTimers_, textInputHost_, layout, {},
                                     defaultGroup_);
  return FinishTextInput(std::move(part), result, out);
}

int PartManager::CreateImeIndicator(TextRenderer* font, int32_t x, int32_t y) {
  if (!targetList_) return kIndicatorBadArguments;
  if (imeIndicator_ && font && imeIndicator_->GetFont() == font) return imeIndicator_->Move(x, y);
  DestroyImeIndicator();
  imeIndicator_ = std::make_unique<ImeIndicator>();
  int result = imeIndicator_->Create(TargetList(), textInputHost_, font, x, y, true, defaultGroup_);
  if (result != kIndicatorDone) {
    DestroyImeIndicator();
    return result;
  }
  for (auto& part : parts_) {
    if (auto* field = dynamic_cast<TextEditBase*>(part.get()))
      field->SetModeIndicator(imeIndicator_.get());
  }
  return result;
}

void PartManager::DestroyImeIndicator() {
  if (!imeIndicator_) return;
  for (auto& part : parts_) {
    if (auto* field = dynamic_cast<TextEditBase*>(part.get())) field->SetModeIndicator(nullptr);
  }
  imeIndicator_.reset();
}

}  // namespace bw
