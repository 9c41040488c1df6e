// Owns the GUI parts the script makes: one list, a factory per kind that hands each new part the
// target display list and the default group, and deletes one by one, by group or all at once.
#pragma once

#include <cstdint>
#include <list>
#include <memory>

#include "common/global.h"
#include "gui/button_part.h"
#include "gui/color_box_part.h"
#include "gui/image_list_part.h"
#include "gui/ime_indicator.h"
#include "gui/text_input_part.h"

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
  PartManager() = default;
  PartManager(const PartManager&) = delete;
  PartManager& operator=(const PartManager&) = delete;
  virtual ~PartManager();

  void SetTarget(CompositionLayer* layer);
  CompositionLayer* GetTargetLayer() const { return targetLayer_; }
  // Answers the old flag.
  bool SetUseAltList(bool use);
  void SetDefaultGroup(int32_t group) { defaultGroup_ = group; }
  int32_t GetDefaultGroup() const { return defaultGroup_; }
  void SetButtonColors(uint32_t face, uint32_t accent) {
    buttonFaceColor_ = face;
    buttonAccentColor_ = accent;
  }

  int CreateDrawnButton(ButtonPart** out, int32_t order, const char* text, TextRenderer* font,
                        int32_t x, int32_t y, int32_t width, int32_t height, bool hasDisabledCell);
  virtual int CreateFileButton(ButtonPart** out, int32_t order, const char* fileName,
                               bool hasDisabledCell, bool hasPressedCell, int32_t x, int32_t y,
                               int blendMode, int alpha, int32_t colorKeyA, int32_t colorKeyB);
  int CreateSurfaceButton(ButtonPart** out, int32_t order, ImageSurface* surface,
                          bool hasDisabledCell, bool hasPressedCell, int32_t x, int32_t y,
                          int blendMode, int alpha);
  // Check and radio parts are not made yet: kPartNotBuilt. linked: the previous radio part of a
  // group, or null.
  virtual int CreateFileCheckButton(UiControl** out, int mode, UiControl* linked, int32_t order,
                                    const char* fileName, bool hasExtraCell, int32_t x, int32_t y,
                                    int blendMode, int alpha);
  int CreateColorBox(ColorBoxPart** out, int32_t order, int32_t x, int32_t y, int32_t width,
                     int32_t height, uint32_t normalColor, uint32_t hoverColor,
                     uint32_t pressedColor);
  int CreateImageList(ImageListPart** out, int32_t order, int32_t valueA, int32_t valueB,
                      int32_t cellWidth, int32_t cellHeight, int32_t spacing,
                      TextRenderer* renderer);

  virtual int DeletePart(UiControl* part);
  void DeleteGroup(int32_t group, bool invert);
  void DeleteAll();
  size_t PartCount() const { return parts_.size(); }
  // The first part that match accepts, or null.
  template <typename Match>
  UiControl* FindPart(Match&& match) const {
    for (const auto& part : parts_) {
      if (match(*part)) return part.get();
    }
    return nullptr;
  }
  bool Holds(const UiControl* part) const;

 protected:
  // Lists a made part, or destroys it and answers its create code.
  template <typename Part>
  int Finish(std::unique_ptr<Part> part, int result, Part** out) {
    if (result != 0) return result;
    *out = part.get();
    parts_.push_back(std::move(part));
    return 0;
  }
  DisplayObjectList* TargetList() const { return useAltList_ ? targetListAlt_ : targetList_; }

 private:
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
  int CreateTextInput(TextInputPart** out, int32_t order, TextRenderer* font, int32_t width,
                      int32_t x, int32_t y, int32_t margin, bool border);
  int CreateTextInputEx(TextInputPart** out, int32_t order, TextRenderer* font, int32_t lines,
                        int32_t width, int32_t x, int32_t y, int32_t margin, int32_t lineSpacing,
                        bool border);
  int CreateImeIndicator(TextRenderer* font, int32_t x, int32_t y);
  void DestroyImeIndicator();
  ImeIndicator* GetImeIndicator() const { return imeIndicator_.get(); }

 private:
  void SetUpTextInput(TextInputPart& part);
  int FinishTextInput(std::unique_ptr<TextInputPart> part, int result, TextInputPart** out);
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
