// Owns the GUI parts the script makes: one list, a factory per kind that hands each new part the
// target display list and the default group, and deletes one by one, by group or all at once.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <thread>
#include <vector>

#include "common/global.h"
#include "gui/button_part.h"
#include "gui/cell_image_part.h"
#include "gui/check_part.h"
#include "gui/color_box_part.h"
#include "gui/hit_area_part.h"
#include "gui/image_list_part.h"
#include "gui/ime_indicator.h"
#include "gui/message_text_widget.h"
#include "gui/scroll_list_part.h"
#include "gui/text_input_part.h"
#include "gui/text_list_part.h"
#include "input/key_codes.h"

namespace bw {

class CompositionLayer;
class DisplayObjectList;
class ImageSurface;
class ImeContext;
class TextRenderer;
class TimerService;
class UiControl;

// Factory results besides the parts' own create codes.
constexpr int kPartNoMemory = -2;
constexpr int kPartNotBuilt = -1;  // a kind this program does not make yet

// DeletePart results.
constexpr int kDeleteDone = 0;
constexpr int kDeleteNull = 1;
constexpr int kDeleteNotListed = 2;

class PartManager {
 public:
  PartManager();
  PartManager(const PartManager&) = delete;
  PartManager& operator=(const PartManager&) = delete;
  virtual ~PartManager();

  void SetTarget(CompositionLayer* layer);
  CompositionLayer* GetTargetLayer() const { return targetLayer_; }
  // The list new parts join.
  DisplayObjectList* GetTargetList() const { return TargetList(); }
  // Answers the old flag.
  bool SetUseAltList(bool use);
  void SetDefaultGroup(int32_t group) { defaultGroup_ = group; }
  int32_t GetDefaultGroup() const { return defaultGroup_; }
  void SetButtonColors(uint32_t face, uint32_t accent) {
    buttonFaceColor_ = face;
    buttonAccentColor_ = accent;
  }

  [[nodiscard]] int CreateDrawnButton(ButtonPart** out, int32_t order, const char* text,
                                      TextRenderer* font, int32_t x, int32_t y, int32_t width,
                                      int32_t height, bool hasDisabledCell);
  [[nodiscard]] virtual int CreateFileButton(ButtonPart** out, const char* fileName,
                                             const ButtonPicture& look);
  [[nodiscard]] int CreateSurfaceButton(ButtonPart** out, ImageSurface* surface,
                                        const ButtonPicture& look);
  // A check or radio part of a GMP screen; linked: the previous radio part of a group, or null.
  [[nodiscard]] virtual int CreateFileCheckButton(UiControl** out, int mode, UiControl* linked,
                                                  int32_t order, const char* fileName,
                                                  bool hasExtraCell, int32_t x, int32_t y,
                                                  int blendMode, int alpha);
  [[nodiscard]] int CreateColorBox(ColorBoxPart** out, int32_t order, int32_t x, int32_t y,
                                   int32_t width, int32_t height, uint32_t normalColor,
                                   uint32_t hoverColor, uint32_t pressedColor);
  [[nodiscard]] int CreateImageList(ImageListPart** out, int32_t order, int32_t valueA,
                                    int32_t valueB, int32_t cellWidth, int32_t cellHeight,
                                    int32_t spacing, TextRenderer* renderer);

  // --- Check and radio parts, hit areas, picture maps, scroll bars and list boxes, with the
  // style settings the script sets before making them (the text fields' are with them below).
  // The page actions of new scroll bars and list boxes.
  void SetScrollArrowBytes(uint8_t back, uint8_t forward) {
    scrollArrowByteA_ = back;
    scrollArrowByteB_ = forward;
  }
  // The track-click mode and the step of new scroll bars (the mode also of list boxes).
  void SetListStyle(uint8_t trackClickMode, int32_t step) {
    listByte_ = trackClickMode;
    listValue_ = step;
  }
  [[nodiscard]] int CreateFileCheckButton(CheckPart** out, const char* fileName,
                                          const CheckPicture& look);
  [[nodiscard]] int CreateSurfaceCheckButton(CheckPart** out, ImageSurface* surface,
                                             const CheckPicture& look);
  [[nodiscard]] int CreateHitArea(HitAreaPart** out, int32_t x, int32_t y, int32_t width,
                                  int32_t height, int32_t centerX, int32_t centerY, bool hitEnabled,
                                  bool fireEnabled);
  [[nodiscard]] int CreateCellImage(CellImagePart** out, const char* mapFile, int32_t count,
                                    int32_t x, int32_t y, bool fireEnabled);
  [[nodiscard]] int CreateScrollList(ScrollListPart** out, const DrawnScrollBar& bar);
  [[nodiscard]] int CreateImageScrollList(ScrollListPart** out, const ScrollBarPictures& bar);
  // The colours and first check flag of new list boxes.
  void SetListColors(uint32_t background, uint32_t hoverFrame, uint32_t selection,
                     uint8_t defaultFlag) {
    listBackground_ = background;
    listHoverFrame_ = hoverFrame;
    listSelection_ = selection;
    listDefaultFlag_ = defaultFlag;
  }
  // A text window; its renderers are set before it is made when either is given.
  [[nodiscard]] int CreateTextWidget(MessageTextWidget** out, int32_t order, int32_t x, int32_t y,
                                     int32_t width, int32_t height, TextRenderer* mainRenderer,
                                     TextRenderer* rubyRenderer);
  [[nodiscard]] int CreateTextList(TextListPart** out, const TextListLayout& layout);

  [[nodiscard]] virtual int DeletePart(UiControl* part);
  void DeleteGroup(int32_t group, bool invert);
  void DeleteAll();
  size_t PartCount() const { return parts_.size(); }
  bool Holds(const UiControl* part) const;

 protected:
  // Lists a made part, or destroys it and answers its create code.
  template <typename Part>
  [[nodiscard]] int Finish(std::unique_ptr<Part> part, int result, Part** out) {
    if (result != 0) return result;
    *out = part.get();
    parts_.push_back(std::move(part));
    return 0;
  }
  DisplayObjectList* TargetList() const { return useAltList_ ? targetListAlt_ : targetList_; }

 private:
  // Destroys the parts, then clears them as the neighbours of the parts left and of the other
  // controls of their pointer managers, so no control keeps a destroyed neighbour.
  void DestroyParts(std::list<std::unique_ptr<UiControl>> doomed);
  // The manager lets go of its target layer, the parts and the mode indicator of a text
  // renderer or display list, as it is destroyed. Heard on the thread that made the manager,
  // which runs the parts.
  static void OnGone(const void* object, void* self);
  std::thread::id listenThread_;
  void ApplyScrollSettings(ScrollContainerBase* bar) const;

  uint8_t scrollArrowByteA_ = kActionBack;
  uint8_t scrollArrowByteB_ = kActionAdvance;
  uint8_t listByte_ = 0;
  int32_t listValue_ = 0;
  uint32_t listBackground_ = kTextListBackground;
  uint32_t listHoverFrame_ = kTextListHoverFrame;
  uint32_t listSelection_ = kTextListSelection;
  uint8_t listDefaultFlag_ = 1;

  std::list<std::unique_ptr<UiControl>> parts_;
  CompositionLayer* targetLayer_ = nullptr;
  DisplayObjectList* targetList_ = nullptr;
  DisplayObjectList* targetListAlt_ = nullptr;
  int32_t defaultGroup_ = 0;
  bool useAltList_ = false;
  uint32_t buttonFaceColor_ = kDefaultFaceColor;
  uint32_t buttonAccentColor_ = kDefaultAccentColor;

  // Text inputs and the IME mode indicator they share.
 public:
  void SetTextInputServices(TimerService* timers, ImeContext* textInputHost) {
    textInputTimers_ = timers;
    textInputHost_ = textInputHost;
  }
  void SetTextInputStyle(int32_t maxLength, uint32_t backColor, uint32_t textColor) {
    textInputStyle_ = maxLength;
    textInputColor_ = backColor;
    textInputValue_ = textColor;
  }
  void SetTextInputFlag(bool useIme) { textInputFlag_ = useIme; }
  void SetTextInputTriple(int32_t chars, uint32_t textColor, uint32_t backColor) {
    textInputTriple_[0] = static_cast<uint32_t>(chars);
    textInputTriple_[1] = textColor;
    textInputTriple_[2] = backColor;
  }
  [[nodiscard]] int CreateTextInput(TextInputPart** out, const TextInputLayout& layout);
  [[nodiscard]] int CreateTextInputEx(TextInputPart** out, const TextInputLayout& layout);
  [[nodiscard]] int CreateImeIndicator(TextRenderer* font, int32_t x, int32_t y);
  void DestroyImeIndicator();
  ImeIndicator* GetImeIndicator() const { return imeIndicator_.get(); }

 private:
  void SetUpTextInput(TextInputPart& part);
  [[nodiscard]] int FinishTextInput(std::unique_ptr<TextInputPart> part, int result,
                                    TextInputPart** out);
  TimerService* textInputTimers_ = nullptr;
  ImeContext* textInputHost_ = nullptr;
  std::unique_ptr<ImeIndicator> imeIndicator_;
  int32_t textInputStyle_ = kTextInputDefaultLength;
  uint32_t textInputColor_ = kTextInputBackColor;
  uint32_t textInputValue_ = 0;
  bool textInputFlag_ = false;
  uint32_t textInputTriple_[3] = {0, 0xFFFFFFFF, 0xFFFFFFFF};
};

// The one part manager the script addresses.
inline PartManager* ThePartManager() {
  return Global<PartManager>::Get();
}

}  // namespace bw
