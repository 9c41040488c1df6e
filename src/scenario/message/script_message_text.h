// The main script's message text: the message text engine drawing its text straight onto a
// picture with a pen that moves character by character, the read flags of messages and choices
// kept in the script table, plain-text extraction and the reading position.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/rect.h"
#include "scenario/message/message_text_engine.h"
#include "script/script_host.h"

namespace bw {

class ImageSurface;
class ScriptVm;
class TextRenderer;

// Told of the box of every character drawn.
class MessageTextOwner {
 public:
  virtual ~MessageTextOwner() = default;
  virtual void OnCharacterDrawn(const Rect& rect) = 0;
};

class ScriptMessageText : public MessageTextEngine, public ScriptHostMessageText {
 public:
  static constexpr uint8_t kStoredOutline = 255;

  // vm keeps the read flags; memory holds the strings compiled texts refer to.
  ScriptMessageText(ScriptVm* vm, GuestMemory* memory);

  // A message whose end was read is marked in the script table, and read text is not marked
  // again.
  bool TestMessageRead(uint32_t bit, bool inLast) const;
  [[nodiscard]] int SetMessageRead(uint32_t bit, bool inLast);
  uint8_t IsEndHookSuppressed(uint8_t keyByte, uint16_t keyNumber) override;
  void OnEndOfText(uint8_t keyByte, uint16_t keyNumber) override;
  void OnMessageSet() override { ResetPen(); }
  // Without the history, or without room in it, the choices go unrecorded.
  void StorePendingChoices() override { (void)StoreChoicesInHistory(); }

  // Forgets the stored picture, owner and renderer (their objects are going).
  void DropOutput() { surface_ = nullptr, owner_ = nullptr, renderer_ = nullptr; }
  [[nodiscard]] int32_t SetOutput(ImageSurface* surface, MessageTextOwner* owner, int32_t x,
                                  int32_t y, TextRenderer* renderer, bool outline, bool fixedPitch,
                                  int32_t spacing);
  // part 0: the whole name; else its '\'-separated part. Null surface or renderer: the stored
  // ones; outline kStoredOutline: the stored flag.
  [[nodiscard]] int32_t DrawTextPart(int32_t x, int32_t y, int32_t part, ImageSurface* surface,
                                     TextRenderer* renderer, uint8_t outline);
  [[nodiscard]] int32_t DrawChoice(int32_t index, int32_t x, int32_t y, ImageSurface* surface,
                                   TextRenderer* renderer, uint8_t outline);
  [[nodiscard]] int32_t Advance(bool skipToTag);
  [[nodiscard]] int32_t SeekTag(int32_t tag, bool draw);
  void Redraw();
  // The visible text of the message (CR LF for line breaks when asked); the count of its bytes.
  // Up to size - 1 of them go to out with a NUL; a null out only counts.
  uint32_t ExtractPlainText(char* out, size_t size, bool withLineBreaks) const;
  void SetChoiceRead(int32_t choice);
  bool IsChoiceRead(int32_t choice) const;
  uint8_t GetChoiceMode() const;
  [[nodiscard]] int32_t SaveReadingPosition();
  [[nodiscard]] int32_t RestoreReadingPosition();

  void ResetPen() { penX_ = originX_, penY_ = originY_; }
  int32_t GetPenX() const { return penX_; }
  int32_t GetPenY() const { return penY_; }

 private:
  struct Output {
    ImageSurface* surface;
    TextRenderer* renderer;
    bool outline;
  };
  // Draws text[from, to) at the pen, which moves on; a line break returns it to lineStart.
  [[nodiscard]] int32_t DrawRun(std::string_view text, size_t from, size_t to, const Output& out,
                                int32_t lineStart, int32_t& penX, int32_t& penY);
  [[nodiscard]] int32_t DrawUnit(std::string_view unit, const Output& out, int32_t& penX,
                                 int32_t penY);
  Output Resolve(ImageSurface* surface, TextRenderer* renderer, uint8_t outline) const;
  [[nodiscard]] int32_t DrawString(std::string_view text, int32_t x, int32_t y, const Output& out);
  bool ChoiceBitInLast() const { return ChoiceMode() != 0; }

  ScriptVm* vm_;
  ImageSurface* surface_ = nullptr;
  MessageTextOwner* owner_ = nullptr;
  TextRenderer* renderer_ = nullptr;
  bool outline_ = false;
  bool fixedPitch_ = false;
  int32_t spacing_ = 0;
  int32_t originX_ = 0, originY_ = 0;
  int32_t penX_ = 0, penY_ = 0;
  bool hasReadingPosition_ = false;
  uint32_t savedSerial_ = 0;
  size_t savedOffset_ = 0;
};

}  // namespace bw
