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

}  // namespace bw
