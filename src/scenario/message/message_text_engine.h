// The main script's current message: a speaker name and a marked-up body taken from compiled text
// with the script's strings put in, read token by token by the text widgets; the choices offered
// with it; and a ring of past messages with their choices, kept in the game state.
//
// Body markup: "<<" is '<'; "[" and a byte is one two-byte character; "$" waits; "&" ends a
// section; <"text"> is a quoted tag, <integer> an integer tag; "[" NUL, four bytes, a 16-bit
// length N and N bytes is a binary block; a '\' right after a tag or block belongs to it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_reader.h"

namespace bw {

class GuestMemory;

// Texts keep their terminating NUL, so a stored length is the size of its string; binary blocks
// in a body may hold further NULs.
struct MessageHistoryEntry {
  std::optional<std::string> name;
  std::optional<std::string> body;
  std::vector<uint8_t> choices;  // packed choice list; empty when none
  uint32_t choiceCount = 0;
  uint8_t flag = 0;
  uint8_t keyByte = 0;
  uint16_t keyNumber = 0;
  uint8_t choiceMode = 2;
  uint16_t choiceValue = 0;
};

class MessageTextEngine {
 public:
  // Token kinds of NextToken, SkipToNextTag and SeekTag.
  static constexpr int kMalformed = -1;
  static constexpr int kCharacter = 0;
  static constexpr int kWait = 1;
  static constexpr int kWaitBeforeSection = 2;
  static constexpr int kWaitAtEnd = 3;
  static constexpr int kSectionEnd = 4;
  static constexpr int kEnd = 5;
  static constexpr int kQuotedTag = 6;
  static constexpr int kIntegerTag = 7;
  static constexpr int kBinaryBlock = 8;
  // A packed choice record: length byte (text + 3), a byte, the text and its NUL.
  static constexpr size_t kMaxChoiceTextBytes = 253;  // with the NUL

  // String references in compiled text ('%', flag, 32-bit reference) are read from memory; without
  // it every reference reads as empty.
  explicit MessageTextEngine(GuestMemory* memory = nullptr);
  virtual ~MessageTextEngine();
  MessageTextEngine(const MessageTextEngine&) = delete;
  MessageTextEngine& operator=(const MessageTextEngine&) = delete;

  virtual uint8_t IsEndHookSuppressed(uint8_t /*keyByte*/, uint16_t /*keyNumber*/) { return 0; }
  virtual void OnEndOfText(uint8_t /*keyByte*/, uint16_t /*keyNumber*/) {}
  virtual uint32_t GetHistorySaveSize() const;
  virtual void SaveHistory(std::vector<uint8_t>& out) const;
  // 0 loaded (or skipped without restore); 2 a short or malformed block, the history unchanged.
  [[nodiscard]] virtual int32_t LoadHistory(ByteReader& in, bool restore);
  virtual void OnMessageSet() {}

  // block: key byte, key number (u16), compiled text. -1 when setting messages is off, else 0.
  [[nodiscard]] int32_t SetMessage(std::span<const uint8_t> block);
  void ParseMessageText(std::span<const uint8_t> compiled);
  void Reset();
  [[nodiscard]] bool SetHistoryCapacity(int32_t capacity);

  void SetMessageSetEnabled(bool on) { messageSetEnabled_ = on; }
  void SetHistoryEnabled(bool on) { historyEnabled_ = on; }
  void SetChoicesEnabled(bool on) { choicesEnabled_ = on; }

  // block: choice mode, choice value (u16), compiled choice list (count byte, records).
  [[nodiscard]] int32_t SetChoices(std::span<const uint8_t> block);
  [[nodiscard]] int32_t AddChoice(const char* text);
  void ClearChoices();
  // The shown flag, the count byte and the entry flag byte back to 0.
  void ClearChoiceState() { choicesShown_ = false, choiceCountByte_ = 0, entryFlag_ = 0; }
  void SetMaxChoices(int32_t count);
  // The choice's own string or the text of its packed record; nullopt when there is neither.
  std::optional<std::string_view> GetChoiceText(int32_t index) const;
  [[nodiscard]] int32_t CopyChoiceText(int32_t index, char* buffer, size_t size) const;
  // Length (with NUL) of the n-th '\'-separated part of the name, 0 when absent; copied into
  // buffer only when it fits in size.
  uint32_t GetTextPart(int32_t n, char* buffer, size_t size) const;
  [[nodiscard]] int32_t StoreChoicesInHistory();
  void SetLastHistoryFlag(uint8_t flag);

  [[nodiscard]] int32_t ShowHistoryEntry(int32_t index);
  [[nodiscard]] int32_t ShowFirstHistory();
  [[nodiscard]] int32_t ShowLastHistory();
  [[nodiscard]] int32_t ShowPreviousHistory();
  [[nodiscard]] int32_t ShowNextHistory();
  [[nodiscard]] int32_t ShowHistoryAt(int32_t index);
  [[nodiscard]] int32_t ShowHistoryRelative(int32_t delta);

  [[nodiscard]] int32_t NextToken();
  [[nodiscard]] int32_t SkipToNextTag();
  [[nodiscard]] int32_t SeekTag(int32_t n);
  // After a quoted tag, an integer tag, a binary block (from the byte after "[" NUL).
  std::optional<std::string_view> GetTagText() const { return tagText_; }
  int32_t GetTagValue() const { return tagValue_; }
  std::optional<std::span<const uint8_t>> GetBlock() const;

  // The current texts with their NULs; nullopt when absent.
  std::optional<std::string_view> Name() const { return name_; }
  std::optional<std::string_view> Body() const { return body_; }
  size_t Cursor() const { return cursor_; }
  void SetCursor(size_t cursor) { cursor_ = body_ ? std::min(cursor, body_->size()) : 0; }
  uint8_t KeyByte() const { return keyByte_; }
  uint16_t KeyNumber() const { return keyNumber_; }
  bool EndHookSuppressed() const { return suppressed_ != 0; }

  int32_t ChoiceCount() const { return choiceCount_; }
  int32_t MaxChoices() const { return static_cast<int32_t>(choices_.size()); }
  bool ChoicesShown() const { return choicesShown_; }
  uint8_t ChoiceMode() const { return choiceMode_; }
  uint16_t ChoiceValue() const { return choiceValue_; }
  uint8_t ChoiceCountByte() const { return choiceCountByte_; }
  uint8_t EntryFlag() const { return entryFlag_; }
  std::span<const uint8_t> PackedChoices() const { return packed_; }

  int32_t HistoryCapacity() const { return static_cast<int32_t>(ring_.size()); }
  int32_t HistoryCount() const { return count_; }
  int32_t ShownPosition() const { return shownPosition_; }
  // Entry index counted from the oldest; null when absent.
  const MessageHistoryEntry* HistoryEntry(int32_t index) const;
  // Counts every message made current (SetMessage, history shows), so a reader can tell a new
  // message from the old one.
  uint32_t MessageSerial() const { return serial_; }

 protected:
  GuestMemory* Memory() const { return memory_; }
  // The compiled text with its string references put in, up to its NUL (or the end of text);
  // quoted tags and binary blocks are copied as they stand.
  std::string ExpandReferences(std::span<const uint8_t> text, bool markup) const;

 private:
  [[nodiscard]] int32_t AddHistoryEntry();
  MessageHistoryEntry* Newest();
  int32_t SlotOf(int32_t index) const;
  void ClearHistory();
  void EndHook();
  uint8_t At(size_t pos) const;
  [[nodiscard]] int32_t ReadQuotedTag(int32_t kind);
  [[nodiscard]] int32_t ReadIntegerTag(int32_t kind);
  [[nodiscard]] int32_t ReadBinaryBlock(int32_t kind);
  void SkipTagBackslash();
  // The packed record i of list (bounded); empty when the walk leaves the list.
  static std::span<const uint8_t> Record(std::span<const uint8_t> list, int32_t index);

  GuestMemory* memory_;
  std::optional<std::string> name_;
  std::optional<std::string> body_;
  uint8_t suppressed_ = 0;
  uint8_t keyByte_ = 0;
  uint16_t keyNumber_ = 0;
  bool messageSetEnabled_ = true;
  uint32_t serial_ = 0;

  std::vector<std::optional<std::string>> choices_ = std::vector<std::optional<std::string>>(8);
  int32_t choiceCount_ = 0;
  std::vector<uint8_t> packed_;
  bool choicesShown_ = false;
  uint8_t choiceMode_ = 2;
  uint16_t choiceValue_ = 0;
  uint8_t choiceCountByte_ = 0;
  uint8_t entryFlag_ = 0;
  bool choicesEnabled_ = true;

  std::vector<std::unique_ptr<MessageHistoryEntry>> ring_;
  int32_t writeIndex_ = 0;
  int32_t count_ = 0;
  bool historyEnabled_ = false;
  int32_t shownPosition_ = 0;

  size_t cursor_ = 0;
  std::optional<std::string> tagText_;
  int32_t tagValue_ = 0;
  std::optional<size_t> block_;  // offset of the last binary block's contents in the body
};

}  // namespace bw
