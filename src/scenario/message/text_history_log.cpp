#include "scenario/message/text_history_log.h"

#include <algorithm>
#include <cstring>

#include "common/byte_writer.h"
#include "common/sjis.h"

namespace bw {

namespace {

constexpr size_t kBackgroundWordBytes = 11 * 4;
constexpr size_t kSpriteFixedBytes = 9 * 4;

// A name to keep: cut to fit its length byte, nothing when empty.
std::optional<std::string> KeptName(const char* name, size_t max) {
  if (!name || !*name) return std::nullopt;
  return std::string(sjis::Truncate(name, max));
}

size_t NameBytes(const std::optional<std::string>& name) {
  return name ? name->size() + 1 : 0;
}

void WriteName(ByteWriter& out, const std::optional<std::string>& name) {
  out.u8(static_cast<uint8_t>(NameBytes(name)));
  if (!name) return;
  out.bytes(*name);
  out.u8(0);
}

// A stored string ends at its length, or at a NUL before it.
std::optional<std::string> ReadName(ByteReader& in, bool& ok) {
  uint8_t length = 0;
  if (!in.u8(length)) {
    ok = false;
    return std::nullopt;
  }
  auto bytes = in.bytes(length);
  if (!bytes) {
    ok = false;
    return std::nullopt;
  }
  std::string name(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  name.resize(sjis::FitLength(name.c_str(), TextHistoryLog::kMaxNameBytes));
  if (name.empty()) return std::nullopt;
  return name;
}

void WriteWords(ByteWriter& out, std::span<const uint32_t> words) {
  for (uint32_t w : words) out.u32le(w);
}

bool ReadWords(ByteReader& in, std::span<uint32_t> words) {
  for (uint32_t& w : words) {
    if (!in.u32le(w)) return false;
  }
  return true;
}

std::optional<MessageRecord> ReadMessage(ByteReader& in) {
  MessageRecord m;
  bool ok = true;
  m.speaker = ReadName(in, ok);
  m.voice = ReadName(in, ok);
  uint32_t length = 0;
  if (!ok || !in.u32le(length)) return std::nullopt;
  auto text = in.bytes(length);
  if (!text || !in.u32le(m.displayHeight) || !in.u8(m.mark)) return std::nullopt;
  m.text.assign(text->begin(), text->end());
  return m;
}

std::optional<ChoiceRecord> ReadChoices(ByteReader& in) {
  int32_t count = 0;
  ChoiceRecord c;
  // Each choice takes at least its length, flag and NUL bytes.
  if (!in.i32le(count) || !in.i32le(c.chosenIndex) || count < 0 ||
      uint64_t(count) * 3 > in.remaining()) {
    return std::nullopt;
  }
  if (c.chosenIndex < -1 || c.chosenIndex >= count) c.chosenIndex = -1;
  c.choices.resize(static_cast<size_t>(count));
  for (auto& choice : c.choices) {
    uint8_t length = 0;
    if (!in.u8(length) || length < 2) return std::nullopt;
    auto bytes = in.bytes(length);
    if (!bytes) return std::nullopt;
    std::string text(reinterpret_cast<const char*>(bytes->data()) + 1, length - 1);
    text.resize(sjis::FitLength(text.c_str(), TextHistoryLog::kMaxChoiceBytes));
    choice = ChoiceRecord::Choice{(*bytes)[0], std::move(text)};
  }
  return c;
}

std::optional<SceneSnapshot> ReadScene(ByteReader& in) {
  SceneSnapshot s;
  bool ok = true;
  s.backgroundName = ReadName(in, ok);
  uint8_t sprites = 0;
  if (!ok || !ReadWords(in, s.backgroundWords) || !in.u8(sprites)) return std::nullopt;
  s.sprites.resize(sprites);
  for (SceneSprite& sprite : s.sprites) {
    auto name = ReadName(in, ok);
    uint32_t x = 0, y = 0;
    if (!ok || !in.u32le(x) || !in.u32le(y) || !ReadWords(in, sprite.words)) return std::nullopt;
    sprite.name = name.value_or("");
    sprite.x = static_cast<int32_t>(x);
    sprite.y = static_cast<int32_t>(y);
  }
  return s;
}

size_t SaveSize(const HistoryEntry& entry) {
  size_t size = 1;
  if (const auto* m = std::get_if<MessageRecord>(&entry.record)) {
    size += 1 + NameBytes(m->speaker) + 1 + NameBytes(m->voice) + 4 + m->text.size() + 4 + 1;
  } else if (const auto* c = std::get_if<ChoiceRecord>(&entry.record)) {
    size += 8;
    for (const auto& choice : c->choices) size += (choice ? choice->text.size() : 0) + 3;
  } else if (const auto* s = std::get_if<SceneSnapshot>(&entry.record)) {
    size += 1 + NameBytes(s->backgroundName) + kBackgroundWordBytes + 1;
    for (const SceneSprite& sprite : s->sprites) {
      size += 1 + NameBytes(std::optional<std::string>(sprite.name)) + kSpriteFixedBytes;
    }
  }
  return size;
}

void SaveEntry(ByteWriter& out, const HistoryEntry& entry) {
  out.u8(entry.kind);
  if (const auto* m = std::get_if<MessageRecord>(&entry.record)) {
    WriteName(out, m->speaker);
    WriteName(out, m->voice);
    out.u32le(static_cast<uint32_t>(m->text.size()));
    out.bytes(m->text);
    out.u32le(m->displayHeight);
    out.u8(m->mark);
  } else if (const auto* c = std::get_if<ChoiceRecord>(&entry.record)) {
    out.i32le(static_cast<int32_t>(c->choices.size()));
    out.i32le(c->chosenIndex);
    for (const auto& choice : c->choices) {
      const std::string_view text = choice ? std::string_view(choice->text) : std::string_view();
      out.u8(static_cast<uint8_t>(text.size() + 2));
      out.u8(choice ? choice->flag : 0);
      out.bytes(text);
      out.u8(0);
    }
  } else if (const auto* s = std::get_if<SceneSnapshot>(&entry.record)) {
    WriteName(out, s->backgroundName);
    WriteWords(out, s->backgroundWords);
    out.u8(static_cast<uint8_t>(s->sprites.size()));
    for (const SceneSprite& sprite : s->sprites) {
      WriteName(out, std::optional<std::string>(sprite.name));
      out.i32le(sprite.x);
      out.i32le(sprite.y);
      WriteWords(out, sprite.words);
    }
  }
}

}  // namespace

void TextHistoryLog::SetCapacity(int32_t capacity) {
  if (capacity == Capacity()) return;
  if (capacity < 1) {
    slots_.clear();
    count_ = oldest_ = 0;
    choiceCursor_ = -1;
    openSerial_.reset();
    return;
  }
  std::vector<std::unique_ptr<HistoryEntry>> slots(static_cast<size_t>(capacity));
  const int32_t keep = std::min(count_, capacity);
  for (int32_t i = 0; i < keep; ++i) {
    slots[static_cast<size_t>(i)] =
        std::move(slots_[static_cast<size_t>((oldest_ + count_ - keep + i) % Capacity())]);
  }
  slots_.swap(slots);
  count_ = keep;
  oldest_ = 0;
  choiceCursor_ = -1;
  openSerial_.reset();
}

void TextHistoryLog::Clear() {
  for (auto& slot : slots_) slot.reset();
  count_ = oldest_ = 0;
  choiceCursor_ = -1;
  openSerial_.reset();
}

const HistoryEntry* TextHistoryLog::GetEntry(int32_t index) const {
  if (index < 0 || index >= count_) return nullptr;
  return slots_[static_cast<size_t>((oldest_ + index) % Capacity())].get();
}

HistoryEntry* TextHistoryLog::EntryBySerial(uint32_t serial) {
  if (count_ == 0) return nullptr;
  const uint32_t first = GetEntry(0)->serial;
  if (serial - first >= static_cast<uint32_t>(count_)) return nullptr;
  HistoryEntry* entry = slots_[(oldest_ + (serial - first)) % slots_.size()].get();
  return entry->serial == serial ? entry : nullptr;
}

HistoryEntry& TextHistoryLog::TakeSlot(HistoryEntry::Kind kind) {
  size_t slot;
  if (count_ < Capacity()) {
    slot = static_cast<size_t>(count_++);
  } else {
    slot = static_cast<size_t>(oldest_);
    oldest_ = (oldest_ + 1) % Capacity();
  }
  slots_[slot] = std::make_unique<HistoryEntry>();
  HistoryEntry& entry = *slots_[slot];
  entry.kind = kind;
  entry.serial = nextSerial_++;
  return entry;
}

int32_t TextHistoryLog::AddMessage(const uint8_t* text, uint32_t length, uint32_t displayHeight,
                                   const char* speaker, const char* voice, uint8_t mark) {
  if (!text) return 1;
  if (Capacity() < 1) return 2;
  MessageRecord m;
  m.speaker = KeptName(speaker, kMaxNameBytes);
  m.voice = KeptName(voice, kMaxNameBytes);
  m.text.assign(text, text + length);
  m.displayHeight = displayHeight;
  m.mark = mark;
  TakeSlot(HistoryEntry::kMessage).record = std::move(m);
  return 0;
}

int32_t TextHistoryLog::BeginChoices(int32_t count) {
  if (count < 1) return 1;
  if (Capacity() < 1) return 2;
  if (openSerial_ && EntryBySerial(*openSerial_)) return 3;
  ChoiceRecord c;
  c.choices.resize(static_cast<size_t>(count));
  HistoryEntry& entry = TakeSlot(HistoryEntry::kChoices);
  entry.record = std::move(c);
  openSerial_ = entry.serial;
  choiceCursor_ = 0;
  return 0;
}

int32_t TextHistoryLog::AddChoice(const char* text, uint8_t flag) {
  if (!text) return 1;
  // A list that newer entries pushed out of the ring is no longer open.
  HistoryEntry* entry = openSerial_ ? EntryBySerial(*openSerial_) : nullptr;
  if (!entry) return 2;
  auto& choices = std::get<ChoiceRecord>(entry->record).choices;
  if (choiceCursor_ >= static_cast<int32_t>(choices.size())) return 3;
  choices[static_cast<size_t>(choiceCursor_++)] =
      ChoiceRecord::Choice{flag, std::string(sjis::Truncate(text, kMaxChoiceBytes))};
  return 0;
}

int32_t TextHistoryLog::EndChoices(uint32_t& serial) {
  if (!openSerial_ || choiceCursor_ < 1) return 1;
  serial = *openSerial_;
  openSerial_.reset();
  choiceCursor_ = -1;
  return 0;
}

bool TextHistoryLog::SetChosenIndex(uint32_t serial, int32_t index) {
  HistoryEntry* entry = EntryBySerial(serial);
  if (!entry || entry->kind != HistoryEntry::kChoices) return false;
  std::get<ChoiceRecord>(entry->record).chosenIndex = index;
  return true;
}

int32_t TextHistoryLog::AddSceneSnapshot(const SceneBackgroundValues* background,
                                         std::span<const SceneSpriteValues, 5> characters,
                                         std::span<const SceneSpriteValues, 3> back,
                                         std::span<const SceneSpriteValues, 3> front) {
  if (!background) return 1;
  if (Capacity() < 1) return 2;
  SceneSnapshot s;
  s.backgroundName = KeptName(background->name.c_str(), kMaxNameBytes);
  s.backgroundWords = background->words;
  for (std::span<const SceneSpriteValues> group :
       {std::span<const SceneSpriteValues>(front), std::span<const SceneSpriteValues>(characters),
        std::span<const SceneSpriteValues>(back)}) {
    std::vector<const SceneSpriteValues*> active;
    for (const SceneSpriteValues& sprite : group) {
      if (sprite.characterIndex >= 0 && !sprite.name.empty()) active.push_back(&sprite);
    }
    std::stable_sort(active.begin(), active.end(),
                     [](auto* a, auto* b) { return a->priority < b->priority; });
    for (const SceneSpriteValues* sprite : active) {
      s.sprites.push_back(SceneSprite{std::string(sjis::Truncate(sprite->name, kMaxNameBytes)),
                                      sprite->x, sprite->y, sprite->words});
    }
  }
  TakeSlot(HistoryEntry::kScene).record = std::move(s);
  return 0;
}

template <typename Visit>
void TextHistoryLog::ForRange(uint32_t fromSerial, uint32_t toSerial, Visit visit) const {
  for (int32_t i = 0; i < count_; ++i) {
    const HistoryEntry& entry = *GetEntry(i);
    if (entry.serial >= fromSerial && entry.serial <= toSerial) visit(entry);
    if (entry.serial == toSerial) break;
  }
}

uint32_t TextHistoryLog::GetSaveSize(uint32_t fromSerial, uint32_t toSerial) const {
  if (slots_.empty()) return 0;
  size_t size = 4;
  ForRange(fromSerial, toSerial, [&](const HistoryEntry& entry) { size += SaveSize(entry); });
  return static_cast<uint32_t>(size);
}

int32_t TextHistoryLog::Save(std::vector<uint8_t>& out, uint32_t fromSerial,
                             uint32_t toSerial) const {
  if (slots_.empty()) return 1;
  const size_t countAt = out.size();
  ByteWriter w(out);
  w.u32le(0);
  uint32_t written = 0;
  ForRange(fromSerial, toSerial, [&](const HistoryEntry& entry) {
    SaveEntry(w, entry);
    ++written;
  });
  for (int i = 0; i < 4; ++i) out[countAt + size_t(i)] = static_cast<uint8_t>(written >> (8 * i));
  return 0;
}

int32_t TextHistoryLog::Load(ByteReader& in, bool restore) {
  Clear();
  nextSerial_ = 0;
  uint32_t count = 0;
  if (!in.u32le(count)) return 3;
  const bool keep = restore && Capacity() > 0;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t kind = 0;
    if (!in.u8(kind)) return 3;
    if (kind == HistoryEntry::kMessage) {
      auto m = ReadMessage(in);
      if (!m) return 3;
      if (keep) TakeSlot(HistoryEntry::kMessage).record = std::move(*m);
    } else if (kind == HistoryEntry::kChoices) {
      auto c = ReadChoices(in);
      if (!c) return 3;
      if (keep) TakeSlot(HistoryEntry::kChoices).record = std::move(*c);
    } else if (kind == HistoryEntry::kScene) {
      auto s = ReadScene(in);
      if (!s) return 3;
      if (keep) TakeSlot(HistoryEntry::kScene).record = std::move(*s);
    } else {
      return 2;
    }
  }
  return 0;
}

}  // namespace bw
