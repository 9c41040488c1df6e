// The process-wide text panel: the host's three text renderers, the short caption line that slides
// in near the bottom left of the screen and fades, the pointer move onto a part, and the factory
// of the script's text objects.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "gui/script_text.h"

namespace bw {
namespace host {
class GlyphSource;
}

class CompositionLayer;
class DisplayObjectList;
class GdiTextRenderer;
class MessageTextEngine;
class OutlineTextRenderer;
class PointerTip;
class TimedTask;
class TimerService;
class UiControl;

// What the panel needs of the application.
class TextPanelHost {
 public:
  virtual ~TextPanelHost() = default;
  // The timer service the caption runs on (null: no caption).
  virtual TimerService* CaptionTimers() = 0;
  // Where the caption is shown (null: nowhere, and no caption is made).
  virtual CompositionLayer* CaptionLayer() = 0;
  virtual int32_t CanvasWidth() = 0;
  virtual int32_t CanvasHeight() = 0;
  // Sound channel 0, which announces a caption.
  virtual void PlayCaptionSound() {}
  // Starts the timed pointer move to (x, y) over ms; false when nothing moves.
  [[nodiscard]] virtual bool StartPointerMove(int32_t x, int32_t y, uint32_t ms) = 0;
  virtual bool PointerMoving() = 0;
  // One turn of the frame loop; false when the application asks to stop.
  [[nodiscard]] virtual bool FrameStep() = 0;
  // The player's tooltip settings.
  virtual bool TooltipsOn() { return true; }
  virtual uint32_t TooltipDelay() { return 500; }
  // The player's settings and keys the script texts type by (null: their defaults).
  virtual TypingEnvironment* TextEnvironment() { return nullptr; }
};

// ShowCaption.
constexpr int32_t kCaptionDone = 0;
constexpr int32_t kCaptionNotRendered = 1;
constexpr int32_t kCaptionPathRefused = 2;
constexpr int32_t kCaptionNotStarted = 3;

// MovePointerToPart.
constexpr int32_t kPointerMoveStarted = 0;
constexpr int32_t kPointerFocusedInstead = 1;
constexpr int32_t kPointerMoveStopped = -1;
constexpr int32_t kPointerNoPart = -2;

// The time the pointer takes to reach the part.
constexpr uint32_t kPointerMoveMs = 140;
// The caption's left edge and how far above the bottom its lower edge rests: clear of the
// scenario frame's bar along the bottom.
constexpr int32_t kCaptionX = 12;
constexpr int32_t kCaptionRise = 25;

class TextPanel {
 public:
  explicit TextPanel(const host::GlyphSource& glyphs);
  ~TextPanel();
  TextPanel(const TextPanel&) = delete;
  TextPanel& operator=(const TextPanel&) = delete;

  // Once per script host: the renderers' faces, the pointer manager's tooltips and its font.
  void Setup(TextPanelHost* host, PointerTip* pointer);
  // When the script host goes: the caption task and the script texts.
  void Clear();

  // A null text only takes the running caption away. duration is each step of the path.
  [[nodiscard]] int32_t ShowCaption(const char* text, uint32_t duration);
  // The running caption task; null once its timer service let it go.
  TimedTask* GetCaptionTask() const;
  // The five path points (x, y, opacity) of a caption captionHeight high on a canvas of height
  // height: from below the bottom edge up to its rest, and back down as it fades.
  static void CaptionPoints(int32_t height, int32_t captionHeight, int32_t (&points)[15]);

  [[nodiscard]] int32_t MovePointerToPart(UiControl* part, UiControl** outPart, bool wait);

  // The factory's renderer choice: the first renderer, or the second when set.
  void SetScriptTextFont(bool second) { secondFont_ = second; }
  // A script text on the first or second renderer, created and kept here; kPartNoMemory or the
  // set-up's code on failure (nothing kept).
  [[nodiscard]] int CreateScriptText(ScriptText** out, MessageTextEngine* engine,
                                     TimerService* timers, DisplayObjectList* list,
                                     const ScriptTextLayout& layout, const uint32_t (&colors)[3],
                                     int32_t group);
  // 0, 1 for null, 2 when the text is not one of the factory's.
  [[nodiscard]] int DeleteScriptText(ScriptText* text);
  size_t ScriptTextCount() const { return scriptTexts_.size(); }

  OutlineTextRenderer* FirstRenderer() const { return first_.get(); }
  GdiTextRenderer* CaptionRenderer() const { return caption_.get(); }
  OutlineTextRenderer* SecondRenderer() const { return second_.get(); }
  const Sprite& CaptionSprite() const { return captionSprite_; }
  const ImageSurface& CaptionImage() const { return captionImage_; }

 private:
  void RemoveCaptionTask();

  std::unique_ptr<OutlineTextRenderer> first_;
  std::unique_ptr<GdiTextRenderer> caption_;
  std::unique_ptr<OutlineTextRenderer> second_;
  ImageSurface captionImage_;
  Sprite captionSprite_;
  TimedTask* captionTask_ = nullptr;  // owned by the caption's timer service
  TimerService* captionTimers_ = nullptr;
  PointerTip* pointer_ = nullptr;
  TextPanelHost* host_ = nullptr;
  bool secondFont_ = false;
  std::vector<std::unique_ptr<ScriptText>> scriptTexts_;
};

}  // namespace bw
