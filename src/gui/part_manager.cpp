#include "gui/part_manager.h"

#include <algorithm>

#include "graphics/surface/composition_layer.h"

namespace bw {

PartManager::~PartManager() {
  DeleteAll();
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

int PartManager::CreateFileButton(ButtonPart** out, int32_t order, const char* fileName,
                                  bool hasDisabledCell, bool hasPressedCell, int32_t x, int32_t y,
                                  int blendMode, int alpha, int32_t colorKeyA, int32_t colorKeyB) {
  *out = nullptr;
  auto part = std::make_unique<ButtonPart>();
  int result = part->CreateFromFile(TargetList(), order, fileName, hasDisabledCell, hasPressedCell,
                                    x, y, blendMode, alpha, colorKeyA, colorKeyB, defaultGroup_);
  return Finish(std::move(part), result, out);
}

int PartManager::CreateSurfaceButton(ButtonPart** out, int32_t order, ImageSurface* surface,
                                     bool hasDisabledCell, bool hasPressedCell, int32_t x,
                                     int32_t y, int blendMode, int alpha) {
  *out = nullptr;
  auto part = std::make_unique<ButtonPart>();
  int result = part->CreateFromSurface(TargetList(), order, surface, hasDisabledCell,
                                       hasPressedCell, x, y, blendMode, alpha, defaultGroup_);
  return Finish(std::move(part), result, out);
}

int PartManager::CreateFileCheckButton(UiControl** out, int /*mode*/, UiControl* /*linked*/,
                                       int32_t /*order*/, const char* /*fileName*/,
                                       bool /*hasExtraCell*/, int32_t /*x*/, int32_t /*y*/,
                                       int /*blendMode*/, int /*alpha*/) {
  *out = nullptr;
  return kPartNotBuilt;
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
  parts_.erase(it);
  return kDeleteDone;
}

void PartManager::DeleteGroup(int32_t group, bool invert) {
  parts_.remove_if([group, invert](const auto& p) { return (p->GetGroup() == group) != invert; });
}

void PartManager::DeleteAll() {
  // A part's destructor may reach the manager; take the list out first.
  auto parts = std::move(parts_);
  parts_.clear();
  parts.clear();
}

// Text inputs and the IME indicator.

void PartManager::SetUpTextInput(TextInputPart& part) {
  part.SetMaxLength(textInputStyle_);
  part.SetBackColor(textInputColor_);
  part.SetTextColor(textInputValue_);
  part.SetCompositionStyle(static_cast<int32_t>(textInputTriple_[0]), textInputTriple_[1],
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

int PartManager::CreateTextInput(TextInputPart** out, int32_t order, TextRenderer* font,
                                 int32_t width, int32_t x, int32_t y, int32_t margin, bool border) {
  *out = nullptr;
  auto part = std::make_unique<TextInputPart>();
  SetUpTextInput(*part);
  int result = part->Create(TargetList(), order, textInputTimers_, textInputHost_, font, width, {},
                            x, y, margin, border, defaultGroup_);
  return FinishTextInput(std::move(part), result, out);
}

int PartManager::CreateTextInputEx(TextInputPart** out, int32_t order, TextRenderer* font,
                                   int32_t lines, int32_t width, int32_t x, int32_t y,
                                   int32_t margin, int32_t lineSpacing, bool border) {
  *out = nullptr;
  auto part = std::make_unique<TextInputPart>();
  SetUpTextInput(*part);
  int result =
      part->CreateMultiLine(TargetList(), order, textInputTimers_, textInputHost_, font, lines,
                            width, {}, x, y, margin, lineSpacing, border, defaultGroup_);
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
