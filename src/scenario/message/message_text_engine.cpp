#include "scenario/message/message_text_engine.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "common/byte_writer.h"
#include "common/sjis.h"
#include "effects/arg_cursor.h"
#include "script/guest_memory.h"

namespace bw {

namespace {

constexpr uint8_t kReference = '%';
constexpr size_t kReferenceBytes = 6;  // '%', flag, 32-bit reference
constexpr size_t kBlockHeader = 8;     // "[", NUL, four bytes, 16-bit length
constexpr size_t kEntryFixedBytes = 15;

// The text a string reference stands for: with flag 0 the reference is the string's address,
// else the address of a word holding it. Anything unreadable is empty; a reference never faults
// the script that handed the text over.
std::string_view ReferencedString(GuestMemory* memory, uint8_t flag, uint32_t reference) {
  if (!memory) return {};
  uint32_t address = reference;
  if (flag != 0) {
    if (!memory->Valid(reference, 4)) return {};
    std::memcpy(&address, memory->Base() + reference, 4);
  }
  if (!memory->Valid(address, 1)) return {};
  const char* text = reinterpret_cast<const char*>(memory->Base() + address);
  const void* nul = std::memchr(text, 0, memory->Top() - address);
  if (!nul) return {};
  return {text, static_cast<size_t>(static_cast<const char*>(nul) - text)};
}

uint32_t ReadU32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

uint16_t ReadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// The text of a packed record, without its NUL; nullopt when the record holds no NUL.
std::optional<std::string_view> RecordText(std::span<const uint8_t> record) {
  if (record.size() < 3) return std::nullopt;
  const char* text = reinterpret_cast<const char*>(record.data() + 2);
  const void* nul = std::memchr(text, 0, record.size() - 2);
  if (!nul) return std::nullopt;
  return std::string_view(text, static_cast<size_t>(static_cast<const char*>(nul) - text));
}

void WriteText(ByteWriter& out, const std::optional<std::string>& text) {
  out.u32le(text ? static_cast<uint32_t>(text->size()) : 0);
  if (text) out.bytes(*text);
}

bool ReadText(ByteReader& in, std::optional<std::string>& text) {
  uint32_t length;
  if (!in.u32le(length)) return false;
  if (length == 0) {
    text.reset();
    return true;
  }
  auto bytes = in.bytes(length);
  if (!bytes) return false;
  text.emplace(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  return true;
}

bool ReadEntry(ByteReader& in, MessageHistoryEntry& entry) {
  uint32_t listLength;
  if (!ReadText(in, entry.name) || !ReadText(in, entry.body) || !in.u8(entry.keyByte) ||
      !in.u16le(entry.keyNumber) || !in.u32le(listLength)) {
    return false;
  }
  entry.choices.clear();
  if (listLength == 0) return true;
  auto list = in.bytes(listLength);
  if (!list) return false;
  entry.choices.assign(list->begin(), list->end());
  return in.u32le(entry.choiceCount) && in.u8(entry.flag) && in.u8(entry.choiceMode) &&
         in.u16le(entry.choiceValue);
}

}  // namespace

MessageTextEngine::MessageTextEngine(GuestMemory* memory) : memory_(memory) {}

MessageTextEngine::~MessageTextEngine() = default;

std::string MessageTextEngine::ExpandReferences(std::span<const uint8_t> text, bool markup) const {
  std::string out;
  const size_t n = text.size();
  size_t i = 0;
  auto copy = [&](size_t count) {
    count = std::min(count, n - i);
    out.append(reinterpret_cast<const char*>(text.data() + i), count);
    i += count;
  };
  while (i < n && text[i] != 0) {
    const uint8_t c = text[i];
    if (c == kReference) {
      if (n - i < kReferenceBytes) break;  // a reference cut off by the end of the text
      out.append(ReferencedString(memory_, text[i + 1], ReadU32(text.data() + i + 2)));
      i += kReferenceBytes;
    } else if (markup && c == '<' && i + 1 < n && text[i + 1] == '"') {
      // No references inside a quoted tag: copy it to its closing quote.
      copy(2);
      while (i < n && text[i] != 0 && text[i] != '"') copy(sjis::IsLeadByte(text[i]) ? 2 : 1);
      if (i < n && text[i] == '"') copy(1);
    } else if (markup && c == '<' && i + 1 < n && text[i + 1] == '<') {
      copy(2);
    } else if (markup && c == '[' && i + 1 < n && text[i + 1] == 0) {
      // A binary block: its data may hold anything, NULs and '%' included.
      size_t length = kBlockHeader;
      if (n - i >= kBlockHeader) length += ReadU16(text.data() + i + 6);
      copy(length);
    } else if (markup && c == '[') {
      copy(2);
    } else {
      copy(sjis::IsLeadByte(c) ? 2 : 1);
    }
  }
  return out;
}

void MessageTextEngine::ParseMessageText(std::span<const uint8_t> compiled) {
  name_.reset();
  body_.reset();
  size_t i = 0;
  if (!compiled.empty() && compiled[0] == '#') {
    // The name runs to the first '$' or NUL; a reference's four bytes may hold either.
    size_t end = 1;
    while (end < compiled.size() && compiled[end] != 0 && compiled[end] != '$') {
      if (compiled[end] == kReference) {
        end = std::min(end + kReferenceBytes, compiled.size());
      } else {
        end += sjis::IsLeadByte(compiled[end]) ? 2 : 1;
      }
    }
    end = std::min(end, compiled.size());
    name_ = ExpandReferences(compiled.subspan(1, end - 1), false);
    name_->push_back('\0');
    i = end;
    while (i < compiled.size() && (compiled[i] == '$' || compiled[i] == '&')) ++i;
  }
  body_ = ExpandReferences(compiled.subspan(i), true);
  body_->push_back('\0');
}

int32_t MessageTextEngine::SetMessage(std::span<const uint8_t> block) {
  if (!messageSetEnabled_) return -1;
  keyByte_ = block.size() > 0 ? block[0] : 0;
  keyNumber_ = block.size() > 2 ? ReadU16(block.data() + 1) : 0;
  suppressed_ = IsEndHookSuppressed(keyByte_, keyNumber_);
  ParseMessageText(block.size() > 3 ? block.subspan(3) : block.subspan(0, 0));
  // With the history off or without room the message shows all the same, unrecorded.
  (void)StoreChoicesInHistory();
  (void)AddHistoryEntry();
  cursor_ = 0;
  choicesShown_ = true;
  ++serial_;
  OnMessageSet();
  return 0;
}

void MessageTextEngine::Reset() {
  name_.reset();
  body_.reset();
  cursor_ = 0;
  tagText_.reset();
  block_.reset();
  ClearHistory();
  ClearChoices();
}

void MessageTextEngine::ClearHistory() {
  for (auto& entry : ring_) entry.reset();
  writeIndex_ = count_ = shownPosition_ = 0;
}

bool MessageTextEngine::SetHistoryCapacity(int32_t capacity) {
  ClearHistory();
  capacity = std::max(capacity, 0);
  if (static_cast<size_t>(capacity) == ring_.size()) return true;
  try {
    std::vector<std::unique_ptr<MessageHistoryEntry>> ring(static_cast<size_t>(capacity));
    ring_.swap(ring);
  } catch (const std::bad_alloc&) {
    ring_.clear();
    return false;
  }
  return true;
}

int32_t MessageTextEngine::SlotOf(int32_t index) const {
  const int32_t capacity = HistoryCapacity();
  const int32_t oldest = count_ < capacity ? 0 : writeIndex_;
  return capacity == 0 ? -1 : (oldest + index) % capacity;
}

const MessageHistoryEntry* MessageTextEngine::HistoryEntry(int32_t index) const {
  if (index < 0 || index >= count_) return nullptr;
  return ring_[static_cast<size_t>(SlotOf(index))].get();
}

MessageHistoryEntry* MessageTextEngine::Newest() {
  if (count_ == 0 || ring_.empty()) return nullptr;
  return ring_[static_cast<size_t>(SlotOf(count_ - 1))].get();
}

int32_t MessageTextEngine::AddHistoryEntry() {
  if (!historyEnabled_ || ring_.empty()) return -1;
  auto entry = std::make_unique<MessageHistoryEntry>();
  entry->name = name_;
  entry->body = body_;
  entry->keyByte = keyByte_;
  entry->keyNumber = keyNumber_;
  ring_[static_cast<size_t>(writeIndex_)] = std::move(entry);
  writeIndex_ = (writeIndex_ + 1) % HistoryCapacity();
  count_ = std::min(count_ + 1, HistoryCapacity());
  shownPosition_ = count_ - 1;
  return 0;
}

void MessageTextEngine::ClearChoices() {
  for (auto& choice : choices_) choice.reset();
  choiceCount_ = 0;
  choicesShown_ = false;
  choiceMode_ = 2;
  packed_.clear();
}

void MessageTextEngine::SetMaxChoices(int32_t count) {
  ClearChoices();
  choices_.assign(static_cast<size_t>(std::max(count, 0)), std::nullopt);
}

std::span<const uint8_t> MessageTextEngine::Record(std::span<const uint8_t> list, int32_t index) {
  size_t offset = 0;
  for (int32_t i = 0;; ++i) {
    if (offset + 3 > list.size()) return {};
    const size_t length = list[offset];
    if (length < 3 || length > list.size() - offset) return {};
    if (i == index) return list.subspan(offset, length);
    offset += length;
  }
}

int32_t MessageTextEngine::SetChoices(std::span<const uint8_t> block) {
  if (!choicesEnabled_) return -1;
  const MessageHistoryEntry* newest = historyEnabled_ ? Newest() : nullptr;
  if (newest && !newest->choices.empty()) return -2;
  ClearChoices();
  choiceMode_ = block.size() > 0 ? block[0] : 2;
  choiceValue_ = block.size() > 2 ? ReadU16(block.data() + 1) : 0;
  const std::span<const uint8_t> list = block.size() > 3 ? block.subspan(3) : block.subspan(0, 0);
  choiceCountByte_ = list.empty() ? 0 : list[0];
  if (list.size() < 2 || list[1] == 0) return 0;
  packed_.assign(list.begin() + 1, list.end());
  const int32_t wanted = std::min<int32_t>(choiceCountByte_, MaxChoices());
  int32_t read = 0;
  for (; read < wanted; ++read) {
    const std::span<const uint8_t> record = Record(packed_, read);
    if (record.empty()) break;
    if (record[1] != 0) {
      choices_[static_cast<size_t>(read)] = ExpandReferences(record.subspan(2), false);
    }
  }
  choiceCount_ = read;
  return 0;
}

int32_t MessageTextEngine::AddChoice(const char* text) {
  if (!choicesEnabled_) return -1;
  const MessageHistoryEntry* newest = historyEnabled_ ? Newest() : nullptr;
  if (newest && !newest->choices.empty()) return -2;
  if (!text) return 1;
  if (choicesShown_) ClearChoices();
  if (choiceCount_ >= MaxChoices()) return 2;
  const size_t length = std::strlen(text);
  if (length + 1 > kMaxChoiceTextBytes) return 3;
  choices_[static_cast<size_t>(choiceCount_++)] = std::string(text, length);
  return 0;
}

std::optional<std::string_view> MessageTextEngine::GetChoiceText(int32_t index) const {
  if (index < 0 || index >= choiceCount_) return std::nullopt;
  const auto& own = choices_[static_cast<size_t>(index)];
  if (own) return std::string_view(*own);
  return RecordText(Record(packed_, index));
}

int32_t MessageTextEngine::CopyChoiceText(int32_t index, char* buffer, size_t size) const {
  if (index < 0 || index >= choiceCount_) return 1;
  const auto text = RecordText(Record(packed_, index));
  if (!text) return 2;
  if (text->size() + 1 > size || !buffer) return 3;
  std::memcpy(buffer, text->data(), text->size());
  buffer[text->size()] = '\0';
  return 0;
}

uint32_t MessageTextEngine::GetTextPart(int32_t n, char* buffer, size_t size) const {
  if (!name_ || n < 1) return 0;
  const std::string_view name(name_->c_str());
  size_t start = 0;
  for (int32_t part = 1;; ++part) {
    size_t end = start;
    while (end < name.size() && name[end] != '\\') end = sjis::Next(name, end);
    if (part == n) {
      const size_t length = end - start + 1;
      if (buffer && length <= size) {
        std::memcpy(buffer, name.data() + start, length - 1);
        buffer[length - 1] = '\0';
      }
      return static_cast<uint32_t>(length);
    }
    if (end >= name.size()) return 0;
    start = end + 1;
  }
}

int32_t MessageTextEngine::StoreChoicesInHistory() {
  if (choicesShown_ || choiceCount_ == 0) return 0;
  if (!historyEnabled_) return -1;
  if (ring_.empty()) return 1;
  MessageHistoryEntry* newest = Newest();
  if (!newest) return -1;
  if (!newest->choices.empty()) return 0;
  std::vector<uint8_t> list;
  for (int32_t i = 0; i < choiceCount_; ++i) {
    const auto& own = choices_[static_cast<size_t>(i)];
    if (own) {
      // A length byte holds at most 255: the text, its NUL and the record's two bytes.
      const std::string_view text = sjis::Truncate(*own, kMaxChoiceTextBytes - 1);
      list.push_back(static_cast<uint8_t>(text.size() + 3));
      list.push_back(1);
      list.insert(list.end(), text.begin(), text.end());
      list.push_back(0);
    } else {
      const std::span<const uint8_t> record = Record(packed_, i);
      if (record.empty()) return 3;
      list.insert(list.end(), record.begin(), record.end());
    }
  }
  if (list.empty()) return 2;
  newest->choices = std::move(list);
  newest->choiceCount = static_cast<uint32_t>(choiceCount_);
  newest->flag = entryFlag_;
  newest->choiceMode = choiceMode_;
  newest->choiceValue = choiceValue_;
  return 0;
}

void MessageTextEngine::SetLastHistoryFlag(uint8_t flag) {
  MessageHistoryEntry* newest = Newest();
  if (newest && !newest->choices.empty()) {
    newest->flag = flag;
  } else {
    entryFlag_ = flag;
  }
}

int32_t MessageTextEngine::ShowHistoryEntry(int32_t index) {
  // Choices that cannot be stored (history off or full) are left out of it.
  (void)StoreChoicesInHistory();
  choicesShown_ = true;
  for (auto& choice : choices_) choice.reset();
  const MessageHistoryEntry* entry = HistoryEntry(index);
  if (!entry) return 1;
  name_ = entry->name;
  body_ = entry->body;
  cursor_ = 0;
  packed_ = entry->choices;
  choiceCount_ = static_cast<int32_t>(std::min<uint32_t>(
      entry->choiceCount, static_cast<uint32_t>(std::numeric_limits<int32_t>::max())));
  entryFlag_ = entry->flag;
  keyByte_ = entry->keyByte;
  keyNumber_ = entry->keyNumber;
  suppressed_ = IsEndHookSuppressed(keyByte_, keyNumber_);
  choiceMode_ = entry->choiceMode;
  shownPosition_ = index;
  ++serial_;
  return 0;
}

int32_t MessageTextEngine::ShowFirstHistory() {
  if (count_ == 0 || shownPosition_ == 0) return -1;
  return ShowHistoryEntry(0);
}

int32_t MessageTextEngine::ShowLastHistory() {
  if (count_ == 0 || shownPosition_ == count_ - 1) return -1;
  return ShowHistoryEntry(count_ - 1);
}

int32_t MessageTextEngine::ShowPreviousHistory() {
  if (count_ == 0 || shownPosition_ <= 0) return -1;
  return ShowHistoryEntry(shownPosition_ - 1);
}

int32_t MessageTextEngine::ShowNextHistory() {
  if (count_ == 0 || shownPosition_ >= count_ - 1) return -1;
  return ShowHistoryEntry(shownPosition_ + 1);
}

int32_t MessageTextEngine::ShowHistoryAt(int32_t index) {
  if (count_ == 0) return -1;
  return ShowHistoryEntry(std::clamp(index, 0, count_ - 1));
}

int32_t MessageTextEngine::ShowHistoryRelative(int32_t delta) {
  if (count_ == 0) return -1;
  const int64_t to = int64_t{shownPosition_} + delta;
  return ShowHistoryEntry(static_cast<int32_t>(std::clamp<int64_t>(to, 0, count_ - 1)));
}

// Token readers. A body ends at its stored length; the byte there reads as NUL.

uint8_t MessageTextEngine::At(size_t pos) const {
  return body_ && pos < body_->size() ? static_cast<uint8_t>((*body_)[pos]) : 0;
}

void MessageTextEngine::EndHook() {
  if (!suppressed_) OnEndOfText(keyByte_, keyNumber_);
}

void MessageTextEngine::SkipTagBackslash() {
  if (At(cursor_) == '\\' && cursor_ < body_->size()) ++cursor_;
}

int32_t MessageTextEngine::ReadQuotedTag(int32_t kind) {
  size_t p = cursor_ + 2;
  while (At(p) != 0 && At(p) != '"') p += sjis::IsLeadByte(At(p)) ? 2 : 1;
  if (p >= body_->size() || At(p) != '"' || At(p + 1) != '>') return kMalformed;
  if (p == cursor_ + 2) {
    tagText_.reset();
    return kMalformed;
  }
  tagText_ = body_->substr(cursor_ + 2, p - cursor_ - 2);
  cursor_ = p + 2;
  SkipTagBackslash();
  return kind;
}

int32_t MessageTextEngine::ReadIntegerTag(int32_t kind) {
  // c_str() ends the body with a NUL even where a stored body does not.
  const char* begin = body_->c_str();
  ArgCursor reader(begin + cursor_ + 1);
  int32_t value = 0;
  if (reader.ReadInt(&value) == kArgRead) tagValue_ = value;
  if (reader.SkipSeparators() != '>') return kMalformed;
  cursor_ = static_cast<size_t>(reader.Position() - begin) + 1;
  SkipTagBackslash();
  return kind;
}

int32_t MessageTextEngine::ReadBinaryBlock(int32_t kind) {
  const size_t size = body_->size();
  if (size - cursor_ < kBlockHeader) return kMalformed;
  const size_t length = ReadU16(reinterpret_cast<const uint8_t*>(body_->data()) + cursor_ + 6);
  if (length > size - cursor_ - kBlockHeader) return kMalformed;
  block_ = cursor_ + 2;
  cursor_ += kBlockHeader + length;
  SkipTagBackslash();
  return kind;
}

std::optional<std::span<const uint8_t>> MessageTextEngine::GetBlock() const {
  if (!block_ || !body_ || *block_ + 6 > body_->size()) return std::nullopt;
  const auto* data = reinterpret_cast<const uint8_t*>(body_->data());
  return std::span<const uint8_t>(data + *block_, 6 + size_t{ReadU16(data + *block_ + 4)});
}

int32_t MessageTextEngine::NextToken() {
  if (!body_) return kMalformed;
  const uint8_t c = At(cursor_);
  switch (c) {
    case 0:
      EndHook();
      return kEnd;
    case '$': {
      const uint8_t next = At(cursor_ + 1);
      ++cursor_;
      if (next == '&' || next == 0) {
        EndHook();
        return next == '&' ? kWaitBeforeSection : kWaitAtEnd;
      }
      return kWait;
    }
    case '&':
      ++cursor_;
      EndHook();
      return kSectionEnd;
    case '<':
      if (At(cursor_ + 1) == '<') {
        cursor_ += 2;
        return kCharacter;
      }
      return At(cursor_ + 1) == '"' ? ReadQuotedTag(kQuotedTag) : ReadIntegerTag(kIntegerTag);
    case '[':
      if (At(cursor_ + 1) == 0) return ReadBinaryBlock(kBinaryBlock);
      cursor_ += 2;
      return kCharacter;
    default:
      cursor_ = std::min(cursor_ + (sjis::IsLeadByte(c) ? 2 : 1), body_->size());
      return kCharacter;
  }
}

int32_t MessageTextEngine::SkipToNextTag() {
  if (!body_) return kMalformed;
  for (;;) {
    const uint8_t c = At(cursor_);
    switch (c) {
      case 0:
      case '$':
      case '&':
        return NextToken();
      case '<':
        return At(cursor_ + 1) == '"' ? ReadQuotedTag(kQuotedTag) : ReadIntegerTag(kIntegerTag);
      case '[':
        if (At(cursor_ + 1) == 0) return ReadBinaryBlock(kBinaryBlock);
        cursor_ += sjis::IsLeadByte(At(cursor_ + 1)) ? 3 : 2;
        break;
      default:
        cursor_ += sjis::IsLeadByte(c) ? 2 : 1;
        break;
    }
    cursor_ = std::min(cursor_, body_->size());
  }
}

int32_t MessageTextEngine::SeekTag(int32_t n) {
  if (!body_) return kMalformed;
  for (;;) {
    const uint8_t c = At(cursor_);
    if (c == 0) {
      EndHook();
      return 2;
    }
    if (c == '&') {
      ++cursor_;
      EndHook();
      return 1;
    }
    if (c == '<' || (c == '[' && At(cursor_ + 1) == 0)) {
      if (n == 0) {
        if (c == '[') return ReadBinaryBlock(kBinaryBlock);
        return At(cursor_ + 1) == '"' ? ReadQuotedTag(3) : ReadIntegerTag(4);
      }
      if (c == '[') {
        const std::optional<size_t> lastBlock = block_;  // only a block read at n = 0 is kept
        if (ReadBinaryBlock(kBinaryBlock) == kMalformed) return kMalformed;
        block_ = lastBlock;
      } else {
        size_t p = cursor_ + 1;
        while (At(p) != 0 && At(p) != '>') p += sjis::IsLeadByte(At(p)) ? 2 : 1;
        if (At(p) != '>' || p >= body_->size()) return kMalformed;
        cursor_ = p + 1;
        SkipTagBackslash();
      }
      if (n > 0) --n;
      continue;
    }
    if (c == '[') {
      cursor_ += sjis::IsLeadByte(At(cursor_ + 1)) ? 3 : 2;
    } else {
      cursor_ += sjis::IsLeadByte(c) ? 2 : 1;
    }
    cursor_ = std::min(cursor_, body_->size());
  }
}

uint32_t MessageTextEngine::GetHistorySaveSize() const {
  uint64_t size = 4;
  for (int32_t i = 0; i < count_; ++i) {
    const MessageHistoryEntry* entry = HistoryEntry(i);
    if (!entry) continue;
    size += kEntryFixedBytes + (entry->name ? entry->name->size() : 0) +
            (entry->body ? entry->body->size() : 0);
    if (!entry->choices.empty()) size += 8 + entry->choices.size();
  }
  return static_cast<uint32_t>(std::min<uint64_t>(size, std::numeric_limits<uint32_t>::max()));
}

void MessageTextEngine::SaveHistory(std::vector<uint8_t>& out) const {
  ByteWriter w(out);
  int32_t stored = 0;
  for (int32_t i = 0; i < count_; ++i) stored += HistoryEntry(i) ? 1 : 0;
  w.u32le(static_cast<uint32_t>(stored));
  for (int32_t i = 0; i < count_; ++i) {
    const MessageHistoryEntry* entry = HistoryEntry(i);
    if (!entry) continue;
    WriteText(w, entry->name);
    WriteText(w, entry->body);
    w.u8(entry->keyByte);
    w.u16le(entry->keyNumber);
    w.u32le(static_cast<uint32_t>(entry->choices.size()));
    if (entry->choices.empty()) continue;
    w.bytes(entry->choices);
    w.u32le(entry->choiceCount);
    w.u8(entry->flag);
    w.u8(entry->choiceMode);
    w.u16le(entry->choiceValue);
  }
}

int32_t MessageTextEngine::LoadHistory(ByteReader& in, bool restore) {
  uint32_t stored;
  if (!in.u32le(stored)) return 2;
  // Each entry takes at least its fixed bytes: a larger count cannot be real.
  if (uint64_t{stored} * kEntryFixedBytes > in.remaining()) return 2;
  // Read everything aside first, so that a bad block leaves the history as it was.
  const size_t capacity = ring_.size();
  const size_t keep = restore ? std::min<size_t>(stored, capacity) : 0;
  std::vector<std::unique_ptr<MessageHistoryEntry>> loaded;
  loaded.reserve(keep);
  for (uint32_t i = 0; i < stored; ++i) {
    auto entry = std::make_unique<MessageHistoryEntry>();
    if (!ReadEntry(in, *entry)) return 2;
    if (i >= stored - keep) loaded.push_back(std::move(entry));
  }
  ClearHistory();
  for (size_t i = 0; i < loaded.size(); ++i) ring_[i] = std::move(loaded[i]);
  count_ = static_cast<int32_t>(keep);
  writeIndex_ = keep == capacity ? 0 : count_;
  shownPosition_ = std::max(count_ - 1, 0);
  return 0;
}

}  // namespace bw
