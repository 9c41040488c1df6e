// The scenario frame's text window: takes message text with the frame's built-in calls embedded,
// lays it out in a measuring pass that records every line, fits and places the window around it,
// draws it into a hidden surface and reveals it with a soft wipe that runs along the lines. It
// also keeps the speaker's name box, a hanging-indent list, ruby spans and the wait mark.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "gui/message_text_widget.h"

namespace bw {

// What the view needs of the scenario frame: running one embedded call record (from its 0x00
// byte to its end; 0 when the call ran, else the frame's error code) and the frame's message
// state (the wait mark starts only below kMessageStateWaiting).
class TgsCallRunner {
 public:
  virtual ~TgsCallRunner() = default;
  [[nodiscard]] virtual int RunCall(std::span<const uint8_t> record) = 0;
  virtual int MessageState() const = 0;
};

constexpr int kMessageStateWaiting = 2;

// ShowMessage.
constexpr int kShowNoText = 1;
constexpr int kShowBusy = 2;
constexpr int kShowFailed = 3;  // an embedded call failed, or the window could not be fitted
// FitWindow.
constexpr int kFitResizeFailed = 3;
constexpr int kFitHiddenFailed = 2;
// MeasureText.
constexpr int kMeasureNoText = -1;
constexpr int kMeasureCallFailed = -2;
// DrawTextAt.
constexpr int kDrawAtNoText = 1;
constexpr int kDrawAtCallFailed = 2;
// BeginRuby / DrawRuby.
constexpr int kRubyOutsideLayout = 1;
constexpr int kRubyNoRenderer = 2;
constexpr int kRubyEmptySpan = 3;
constexpr int kRubyEmptyColumn = 4;
constexpr int kRubyNoCharacters = 5;
// SetSoftEdge.
constexpr int kSoftEdgeNotListed = 1;
constexpr int kSoftEdgeTooNarrow = 2;
constexpr int kSoftEdgeMaskFailed = 3;
// SetWaitMark.
constexpr int kWaitMarkRefused = 2;

// Layout modes.
constexpr int kLayoutNone = 0;
constexpr int kLayoutMeasuring = 1;
constexpr int kLayoutHidden = 2;
constexpr int kLayoutPage = 3;

// Reveal states.
constexpr uint8_t kRevealIdle = 0;
constexpr uint8_t kRevealStart = 1;
constexpr uint8_t kRevealRunning = 2;
constexpr uint8_t kRevealStop = 3;

// Embedded call records: 0x00, '[', then a u32 size counted from that field, which covers at
// least the size, the function number and the argument count.
constexpr size_t kCallRecordMinSize = 12;

class TextView : public MessageTextWidget {
 public:
  // A measured line: where its pen started and the byte of the text that begins it, and, once
  // fitted, its rectangle on the page.
  struct LineRecord {
    int32_t penX = 0;
    int32_t penY = 0;
    size_t offset = 0;
    int32_t length = 0;     // along the line
    int32_t thickness = 0;  // across it
    Rect box;
  };

  TextView();
  ~TextView() override;

  void SetVisible(bool visible) override;
  [[nodiscard]] int OnTick(uint32_t now) override;
  void Destroy() override;
  [[nodiscard]] int SetBackgroundColor(int kind, uint32_t rgb, int opacity, bool redraw) override;
  void Home(bool clear) override;
  [[nodiscard]] bool NewLine() override;

  [[nodiscard]] int ShowMessage(bool newPage);
  [[nodiscard]] int FitWindow(bool resize, bool reveal);
  [[nodiscard]] int MeasureText(std::string_view text, Rect* out, bool runCalls,
                                bool skipWideSpaces);
  [[nodiscard]] int DrawTextAt(std::string_view text, int32_t x, int32_t y, bool runCalls,
                               bool skipWideSpaces);
  [[nodiscard]] int BeginRuby();
  [[nodiscard]] int DrawRuby(const char* text, ImageSurface* target);
  bool IsIndentChar(const char* c) const;
  // The text may hold embedded calls (and so NULs).
  [[nodiscard]] int SetMessage(const char* text, size_t length);
  void SetName(const char* name, const char* second);
  void SetIndentChars(const char* text);
  void SetPlacement(int alignment, int32_t anchorX, int32_t anchorY, int32_t minX, int32_t minY,
                    int32_t maxX, int32_t maxY);
  [[nodiscard]] int SetSoftEdge(int32_t width);
  [[nodiscard]] int SetWaitMark(CellImage* animation, TimerService* timers, bool enabled);
  [[nodiscard]] bool StopReveal();

  void SetFrame(TgsCallRunner* frame) { frame_ = frame; }
  void SetNameBox(MessageTextWidget* box, uint8_t alignment) {
    nameBox_ = box, nameAlignment_ = alignment;
  }
  void SetRevealTime(uint32_t msPerChar) { revealPerChar_ = msPerChar; }

  int GetLayoutMode() const { return layoutMode_; }
  uint8_t GetRevealState() const { return revealState_; }
  uint32_t GetRevealTotal() const { return revealTotal_; }
  const std::deque<LineRecord>& Lines() const { return lines_; }
  const std::string& GetName() const { return name_; }
  const std::string& GetSecondName() const { return secondName_; }
  int32_t GetIndentValue() const { return indent_; }
  const ImageSurface& Hidden() const { return hidden_; }

 private:
  // A line's share of the reveal: its box less what an earlier line's box already covers, so
  // that no pixel is blended twice. Where the rest would not be a rectangle the box stays whole
  // and the page as it was is put back under it before each blend.
  struct RevealLine : LineRecord {
    bool restore = false;
  };

  // Lays the text out in the current mode; counts the characters placed. 0, or the failing
  // call's code (kMeasureCallFailed for a broken record). measured: the lines were recorded by
  // a measuring pass.
  [[nodiscard]] int LayoutPass(std::string_view text, bool runCalls, bool skipWideSpaces,
                               ImageSurface* target, bool measured, int32_t* count);
  void BeginLayout();
  void CloseLine();
  Rect LinesUnion() const;
  // The main renderer's shadow or edge: how much it widens a line's box, and where it starts.
  int32_t DecorationWidth(int32_t* offsetX, int32_t* offsetY) const;
  void PlaceWindow();
  void DrawName();
  // Puts [from, to) of the text (along the lines, from the first line's start) onto the page:
  // whole, or faded towards front across the soft edge; restore first puts back the page as it
  // was there.
  void RevealRange(int32_t from, int32_t to, int32_t front, bool restore);
  void RevealSolid(int32_t from, int32_t to);
  void BuildRevealLines();
  void KeepRevealBase();
  void PutHiddenOnPage();  // the whole text at once, as the reveal's last step puts it  // the page
                           // as it is, for the blends that put it back first
  ImageSurface* DrawTarget() override;
  void StartReveal(uint32_t now);
  void FinishReveal();
  int32_t SoftEdge() const { return softEdge_ > 0 ? softEdge_ : 0; }

  MessageTextWidget* nameBox_ = nullptr;
  uint8_t nameAlignment_ = 0;
  bool rubySpanOpen_ = false;
  int32_t rubySpanStart_ = 0;
  ImageSurface hidden_;
  ImageSurface revealBase_;  // the page as it was under the revealed text
  int layoutMode_ = kLayoutNone;
  std::deque<LineRecord> lines_;
  std::vector<RevealLine> revealLines_;
  size_t lineIndex_ = 0;
  size_t layoutPos_ = 0;  // the byte of the text being laid out
  TgsCallRunner* frame_ = nullptr;
  uint32_t revealPerChar_ = 0;
  uint32_t revealTotal_ = 0;
  uint8_t revealState_ = kRevealIdle;
  std::string message_;
  std::string name_;
  std::string secondName_;
  int alignment_ = 0;
  int32_t anchorX_ = 0;
  int32_t anchorY_ = 0;
  int32_t minX_ = -1;
  int32_t minY_ = 0;
  int32_t maxX_ = 0;
  int32_t maxY_ = 0;
  std::string indentChars_;
  int32_t softEdge_ = -1;
  ImageSurface mask_;
  uint32_t revealStart_ = 0;
  int32_t revealLength_ = 0;  // the lines' lengths and the soft edge
  int32_t revealedUpTo_ = 0;
  int32_t rampTo_ = 0;  // the end of what earlier ticks blended partly
  bool waitEnabled_ = false;
};

}  // namespace bw
