#include "scenario/message/message_text_engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "../../script/script_test_util.h"
#include "graphics/surface/image_surface.h"
#include "graphics/text/outline_text_renderer.h"
#include "graphics/text/text_test_support.h"
#include "host/cp932.h"
#include "host/font/fake_glyph_source.h"
#include "scenario/font_list.h"
#include "scenario/message/script_message_text.h"
#include "scenario/message/text_history_log.h"
#include "script/guest_memory.h"
#include "script/script_vm.h"

namespace bw {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Of(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

// A string reference to address with flag.
Bytes Reference(uint8_t flag, uint32_t address) {
  Bytes b{'%', flag};
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(address >> (8 * i)));
  return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Message(const Bytes& text, uint8_t keyByte = 0, uint16_t keyNumber = 0) {
  Bytes b{keyByte, static_cast<uint8_t>(keyNumber), static_cast<uint8_t>(keyNumber >> 8)};
  b.insert(b.end(), text.begin(), text.end());
  b.push_back(0);
  return b;
}

// A compiled choice record: its length, whether the text is its own, the text and its NUL.
Bytes CompiledChoice(const Bytes& text, bool ownText) {
  Bytes b{static_cast<uint8_t>(text.size() + 3), ownText};
  b.insert(b.end(), text.begin(), text.end());
  b.push_back(0);
  return b;
}

// Counts the end-of-text hook.
class CountingEngine : public MessageTextEngine {
 public:
  using MessageTextEngine::MessageTextEngine;
  void OnEndOfText(uint8_t, uint16_t) override { ++hooks; }
  int hooks = 0;
};

// The tokens up to the end or a malformed one, integer tags with their value and quoted ones with
// their text.
std::string Tokens(MessageTextEngine& e) {
  std::string out;
  for (int i = 0; i < 64; ++i) {
    const int kind = e.NextToken();
    out += (out.empty() ? "" : " ") + std::to_string(kind);
    if (kind == 7) out += ":" + std::to_string(e.GetTagValue());
    if (kind == 6) out += ":" + std::string(e.GetTagText().value_or("?"));
    if (kind == MessageTextEngine::kEnd || kind == MessageTextEngine::kMalformed) break;
  }
  return out;
}

TEST(MessageTextEngineTest, MarkupTokens) {
  CountingEngine e;
  ASSERT_EQ(e.SetMessage(Message(Of("a<<<12><0x1F>\\<0b101><(-3)>"))), 0);
  // "<<" is one character; the '\' went with the tag before.
  EXPECT_EQ(Tokens(e), "0 0 7:12 7:31 7:5 7:-3 5");
  EXPECT_EQ(e.hooks, 1);

  // The '\' after '>' is consumed; an empty quoted tag is malformed.
  ASSERT_EQ(e.SetMessage(Message(Of("<\"face\\a.bmp\">\\x<\"\">"))), 0);
  EXPECT_EQ(Tokens(e), "6:face\\a.bmp 0 -1");
  EXPECT_FALSE(e.GetTagText());

  e.hooks = 0;
  ASSERT_EQ(e.SetMessage(Message(Of("x$y$&z$"))), 0);
  EXPECT_EQ(Tokens(e), "0 1 0 2 4 0 3 5");
  EXPECT_EQ(e.hooks, 4);  // "$&" runs it twice, the final "$" and the NUL once each

  // Malformed tags leave the cursor where it was.
  for (const char* bad : {"<\"open", "<\"x\"y", "<12", "<12 3>"}) {
    EXPECT_EQ(e.SetMessage(Message(Of(bad))), 0);
    EXPECT_EQ(e.NextToken(), -1) << bad;
    EXPECT_EQ(e.Cursor(), 0u) << bad;
  }
}

TEST(MessageTextEngineTest, BinaryBlocksAndSeeking) {
  CountingEngine e;
  // "[" NUL, four bytes, length 3, data with a NUL and a '%' inside.
  const Bytes block{'[', 0, 1, 2, 3, 4, 3, 0, 'x', 0, '%'};
  ASSERT_EQ(e.SetMessage(Message(Cat({Of("a"), block, Of("\\b<\"t\">c<7>&d")}))), 0);
  EXPECT_EQ(e.NextToken(), 0);
  EXPECT_EQ(e.NextToken(), 8);
  ASSERT_TRUE(e.GetBlock());
  EXPECT_EQ(Bytes(e.GetBlock()->begin(), e.GetBlock()->end()),
            Bytes(block.begin() + 2, block.end()));
  EXPECT_EQ(e.NextToken(), 0);  // 'b'
  EXPECT_EQ((std::vector{e.SkipToNextTag(), e.SkipToNextTag(), e.SkipToNextTag()}),
            (std::vector{6, 7, 4}));

  e.SetCursor(0);
  EXPECT_EQ(e.SeekTag(2), 4);  // skips the block and the quoted tag, reads the integer
  EXPECT_EQ(e.GetTagValue(), 7);
  e.SetCursor(0);
  EXPECT_EQ(e.SeekTag(1), 3);
  EXPECT_EQ(e.GetTagText(), "t");
  e.SetCursor(0);
  e.hooks = 0;
  EXPECT_EQ(e.SeekTag(-1), 1);  // to the end of the section
  EXPECT_EQ(e.NextToken(), 0);
  EXPECT_EQ(e.SeekTag(-1), 2);
  EXPECT_EQ(e.hooks, 2);

  // A block longer than the body is malformed for every reader.
  ASSERT_EQ(e.SetMessage(Message(Bytes{'[', 0, 1, 2, 3, 4, 0xFF, 0x7F, 'x'})), 0);
  EXPECT_EQ(e.NextToken(), -1);
  EXPECT_EQ(e.SkipToNextTag(), -1);
  EXPECT_EQ(e.SeekTag(1), -1);
}

TEST(MessageTextEngineTest, ParsesNamesAndPutsStringsIn) {
  GuestMemory memory(1 << 20);
  const uint32_t alice = memory.AllocateCopy(Of("Alice"), true);
  const uint32_t word = memory.Allocate(4);
  const uint32_t place = memory.AllocateCopy(Of("the park"), true);
  ASSERT_TRUE(memory.Write32(word, place));
  MessageTextEngine e(&memory);

  const Bytes compiled = Message(
      Cat({Of("#"), Reference(0, alice), Of("\\A$&&Hi, "), Reference(1, word), Of("<\"%\">!")}));
  ASSERT_EQ(e.SetMessage(compiled), 0);
  EXPECT_EQ(e.Name(), std::string_view("Alice\\A\0", 8));
  EXPECT_EQ(e.Body(), std::string_view("Hi, the park<\"%\">!\0", 19));
  // A part copied out is the message natives' to check; its size and a missing part are here.
  char part[8];
  EXPECT_EQ(e.GetTextPart(1, nullptr, 0), 6u);
  EXPECT_EQ(e.GetTextPart(3, part, sizeof part), 0u);

  // The caller's text is left as it was, so the same message shows again with its body.
  const Bytes before = compiled;
  ASSERT_EQ(e.SetMessage(compiled), 0);
  EXPECT_EQ(compiled, before);
  EXPECT_EQ(e.Body()->substr(0, 4), "Hi, ");

  // Unreadable references and a reference cut off by the end read as empty.
  ASSERT_EQ(e.SetMessage(Message(Cat({Of("a"), Reference(0, 0x12345), Reference(1, 8), Of("b")}))),
            0);
  EXPECT_EQ(e.Body(), std::string_view("ab\0", 3));
  ASSERT_EQ(e.SetMessage(Cat({Bytes{0, 0, 0}, Of("x%\1\2")})), 0);
  EXPECT_EQ(e.Body(), std::string_view("x\0", 2));

  ASSERT_EQ(e.SetMessage(Message(Of("plain"))), 0);
  EXPECT_FALSE(e.Name());
  ASSERT_EQ(e.SetMessage(Message(Of("#OnlyName"))), 0);
  EXPECT_EQ(e.Body(), std::string_view("\0", 1));
}

TEST(MessageTextEngineTest, HistoryRingSavesAndLoads) {
  MessageTextEngine e;
  e.SetHistoryEnabled(true);
  ASSERT_TRUE(e.SetHistoryCapacity(3));
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(e.SetMessage(
                  Message(Of("#N" + std::to_string(i) + "$body" + std::to_string(i)), 1, 100 + i)),
              0);
  }
  ASSERT_EQ(e.HistoryCount(), 3);
  EXPECT_EQ(*e.HistoryEntry(0)->body, std::string("body2\0", 6));
  EXPECT_EQ(std::tuple(e.HistoryEntry(2)->keyNumber, e.ShownPosition()), std::tuple(104, 2));
  EXPECT_EQ(e.ShowNextHistory(), -1);
  EXPECT_EQ(e.ShowFirstHistory(), 0);
  EXPECT_EQ(e.Body(), std::string_view("body2\0", 6));
  EXPECT_EQ(e.ShowHistoryRelative(-5), 0);
  EXPECT_EQ(e.ShownPosition(), 0);
  EXPECT_EQ(e.ShowHistoryAt(99), 0);
  EXPECT_EQ(e.KeyNumber(), 104);

  std::vector<uint8_t> saved;
  e.SaveHistory(saved);
  EXPECT_EQ(saved.size(), e.GetHistorySaveSize());

  auto load = [](MessageTextEngine& into, std::span<const uint8_t> bytes) {
    ByteReader reader(bytes.data(), bytes.size());
    return into.LoadHistory(reader, true);
  };
  auto resaved = [](MessageTextEngine& from) {
    std::vector<uint8_t> out;
    from.SaveHistory(out);
    return out;
  };
  MessageTextEngine two;
  ASSERT_TRUE(two.SetHistoryCapacity(2));
  ASSERT_EQ(load(two, saved), 0);
  ASSERT_EQ(two.HistoryCount(), 2);
  EXPECT_EQ(std::tuple(two.HistoryEntry(1)->keyNumber, two.ShownPosition()), std::tuple(104, 1));

  MessageTextEngine same;
  ASSERT_TRUE(same.SetHistoryCapacity(3));
  ASSERT_EQ(load(same, saved), 0);
  EXPECT_EQ(resaved(same), saved);

  // Every truncation fails and keeps what was there; so does a count too large for the bytes.
  for (size_t cut = 0; cut < saved.size(); ++cut) {
    ASSERT_EQ(load(same, std::span(saved).first(cut)), 2) << cut;
  }
  std::vector<uint8_t> huge = saved;
  huge[3] = 0x7F;
  EXPECT_EQ(load(same, huge), 2);
  EXPECT_EQ(resaved(same), saved);

  // Without restore the entries are passed over and the history is empty.
  ByteReader skipped(saved);
  EXPECT_EQ(same.LoadHistory(skipped, false), 0);
  EXPECT_TRUE(skipped.atEnd());
  EXPECT_EQ(same.HistoryCount(), 0);
}

TEST(MessageTextEngineTest, ChoicesTheirHistoryAndTheirPacking) {
  GuestMemory memory(1 << 20);
  const uint32_t town = memory.AllocateCopy(Of("town"), true);
  MessageTextEngine e(&memory);
  e.SetHistoryEnabled(true);
  ASSERT_TRUE(e.SetHistoryCapacity(4));
  ASSERT_EQ(e.SetMessage(Message(Of("Where?"))), 0);

  // A compiled list: count, then records (length, has-text byte, text with NUL).
  const Bytes list = Cat({Bytes{2}, CompiledChoice(Cat({Of("Go "), Reference(0, town)}), true),
                          CompiledChoice(Of("Sta"), false)});
  ASSERT_EQ(e.SetChoices(Cat({Bytes{1, 0x34, 0x12}, list})), 0);
  EXPECT_EQ(e.ChoiceCount(), 2);
  EXPECT_EQ(std::tuple(e.GetChoiceText(0), e.GetChoiceText(1)), std::tuple("Go town", "Sta"));
  char buf[4];
  EXPECT_EQ(e.CopyChoiceText(2, buf, 4), 1) << "no such choice; the copies are the natives'";

  // The next message stores them, own texts packed and compiled records copied.
  e.SetLastHistoryFlag(9);
  ASSERT_EQ(e.SetMessage(Message(Of("Next"))), 0);
  const MessageHistoryEntry* stored = e.HistoryEntry(0);
  EXPECT_EQ(std::tuple(stored->choiceCount, stored->choiceValue, stored->flag),
            std::tuple(2u, 0x1234, 9));
  EXPECT_EQ(stored->choices,
            Cat({Bytes{10, 1}, Of("Go town"), Bytes{0, 6, 0}, Of("Sta"), Bytes{0}}));
  ASSERT_EQ(e.ShowHistoryAt(0), 0);
  EXPECT_EQ(e.GetChoiceText(0), "Go town");
  // The newest entry holds no list yet; once it does, new choices are refused with -2.
  EXPECT_EQ(e.AddChoice("x"), 0);
  ASSERT_EQ(e.ShowHistoryAt(1), 0);
  EXPECT_EQ(e.AddChoice("y"), -2);

  MessageTextEngine own;
  own.SetMaxChoices(2);
  const std::string fits(252, 'a'), over(253, 'a');
  EXPECT_EQ((std::vector{own.AddChoice(nullptr), own.AddChoice(fits.c_str()),
                         own.AddChoice(over.c_str()), own.AddChoice("b"), own.AddChoice("c")}),
            (std::vector{1, 0, 3, 0, 2}));
  own.SetChoicesEnabled(false);
  EXPECT_EQ(own.AddChoice("d"), -1);
  EXPECT_EQ(own.StoreChoicesInHistory(), -1);  // history off

  // Corrupt lists: a record under 3 bytes or past the end ends the walk.
  MessageTextEngine corrupt;
  ASSERT_EQ(corrupt.SetChoices(Bytes{0, 0, 0, 3, 4, 1, 'a', 0, 2, 1, 0}), 0);
  EXPECT_EQ(corrupt.ChoiceCount(), 1);
  ASSERT_EQ(corrupt.SetChoices(Bytes{0, 0, 0, 2, 200, 1, 'a', 0}), 0);
  EXPECT_EQ(corrupt.ChoiceCount(), 0);
  EXPECT_FALSE(corrupt.GetChoiceText(0));

  // A Japanese text that grows a referenced choice past a length byte is cut when packed.
  std::string longText;
  for (int i = 0; i < 200; ++i) longText += "\x82\xA0";
  const uint32_t address = memory.AllocateCopy(Of(longText), true);
  MessageTextEngine packing(&memory);
  packing.SetHistoryEnabled(true);
  ASSERT_TRUE(packing.SetHistoryCapacity(2));
  ASSERT_EQ(packing.SetMessage(Message(Of("Q"))), 0);
  ASSERT_EQ(
      packing.SetChoices(Cat({Bytes{2, 0, 0, 1}, CompiledChoice(Reference(0, address), true)})), 0);
  ASSERT_EQ(packing.StoreChoicesInHistory(), 0);
  const std::vector<uint8_t>& packed = packing.HistoryEntry(0)->choices;
  ASSERT_EQ(packed.size(), packed[0]);
  EXPECT_EQ(packed[0], 252 + 3);  // 126 characters, never half of one
}

Bytes Message(std::string_view text) {
  return Message(Of(text), 1, 5);
}

// A script VM with one loaded script record for the read flags, the fake's 16-pixel font and a
// 32-bit picture to draw on.
class ScriptMessageTextTest : public text_test::TextFixture {
 protected:
  void SetUp() override {
    files_.Put("T", Sob(".table\n.script MAIN 64 64\n"));
    files_.Put("V", Sob(".sob1\nv0: .word 1\n.var 0 0 v0 4\n"));
    vm_ = std::make_unique<ScriptVm>(&files_, 1 << 20);
    ASSERT_EQ(vm_->LoadInitFiles("T", "V", "L", false, false), 0);
    text_ = std::make_unique<ScriptMessageText>(vm_.get(), &vm_->GetMemory());
    ASSERT_EQ(renderer_.SetFont(16, false, false, nullptr), 0);
    renderer_.SetLineSpacing(2);
    ASSERT_EQ(surface_.Create(200, 100, 32, kImageDirtyList), 0);
    ASSERT_EQ(text_->SetOutput(&surface_, nullptr, 10, 20, &renderer_, false, true, 1), 0);
  }

  // Types the whole message out.
  void TypeAll() {
    while (text_->Advance(false) != MessageTextEngine::kEnd) {
    }
  }

  MemoryScriptFileSource files_;
  std::unique_ptr<ScriptVm> vm_;
  std::unique_ptr<ScriptMessageText> text_;
  host::FakeGlyphSource source_;
  OutlineTextRenderer renderer_{source_, 64};
  ImageSurface surface_;
};

TEST_F(ScriptMessageTextTest, PenMovesWithTheText) {
  ASSERT_EQ(text_->SetMessage(Message("<\"tag\">")), 0);
  EXPECT_EQ(text_->Advance(false), MessageTextEngine::kQuotedTag);
  text_->Redraw();
  EXPECT_EQ(std::pair(text_->GetPenX(), text_->GetPenY()), std::pair(10, 20)) << "a tag alone";
  EXPECT_TRUE(text_test::InkBox(surface_).IsEmpty());

  // Single bytes advance 8 and double bytes 16 with spacing 1; "@@" is one '@', a picture
  // without a texture has no width; two line breaks go down two lines of 16 + 2.
  ASSERT_EQ(text_->SetMessage(Message("AB\x82\xA0@@@12\\\\C")), 0);
  // The pen is what this checks.
  (void)text_->SeekTag(-1, true);
  EXPECT_EQ(std::pair(text_->GetPenX(), text_->GetPenY()), std::pair(10 + 8 + 1, 20 + 2 * 18));
  ASSERT_EQ(text_->SetMessage(Message("AB\x82\xA0@@@12")), 0);
  TypeAll();
  EXPECT_EQ(text_->GetPenX(), 10) << "the end resets the pen";
  text_->Redraw();
  EXPECT_EQ(
      std::tuple(text_->GetPenX(), text_test::InkBox(surface_).IsEmpty(), surface_.IsChanged()),
      std::tuple(10 + 9 + 9 + 17 + 9 + 1, false, true));
}

TEST_F(ScriptMessageTextTest, ExtractsThePlainText) {
  const std::string body = std::string("<\"t\">A\\B[\0\1\2\3\4\2\0xy\x82\xA0@12[$C$D", 28);
  ASSERT_EQ(text_->SetMessage(Message(body)), 0);
  EXPECT_EQ(text_->ExtractPlainText(nullptr, 0, true), 8u);  // A CR LF B, two bytes, $ C
  char out[16];
  EXPECT_EQ(text_->ExtractPlainText(out, sizeof out, false), 6u);
  EXPECT_STREQ(out, "AB\x82\xA0$C");
  char small[4];
  text_->ExtractPlainText(small, sizeof small, false);
  EXPECT_STREQ(small, "AB") << "never half a character";
}

TEST_F(ScriptMessageTextTest, MarksMessagesReadAtTheirEndAndKeepsAReadingPositionForItsOwn) {
  ASSERT_EQ(text_->SetMessage(Message("Hi")), 0);
  EXPECT_FALSE(text_->EndHookSuppressed());
  EXPECT_FALSE(vm_->TestReadFlagA(5, true));
  TypeAll();
  EXPECT_TRUE(vm_->TestReadFlagA(5, true));
  ASSERT_EQ(text_->SetMessage(Message("Hi")), 0);
  EXPECT_TRUE(text_->EndHookSuppressed());  // read text is not marked again

  ASSERT_EQ(text_->SetMessage(Message("abc")), 0);
  EXPECT_EQ(text_->NextToken(), MessageTextEngine::kCharacter);
  EXPECT_EQ(text_->SaveReadingPosition(), 1);
  EXPECT_EQ(text_->NextToken(), MessageTextEngine::kCharacter);
  EXPECT_EQ(text_->RestoreReadingPosition(), 1);
  EXPECT_EQ(text_->Cursor(), 1u);
  ASSERT_EQ(text_->SetMessage(Message("abc")), 0);  // the same text, a new message
  EXPECT_EQ(text_->NextToken(), MessageTextEngine::kCharacter);
  EXPECT_EQ(text_->RestoreReadingPosition(), 0);
  EXPECT_EQ(text_->Cursor(), 1u);
}

// A log of capacity entries.
struct Log : TextHistoryLog {
  explicit Log(int32_t capacity) { SetCapacity(capacity); }
};

int AddText(TextHistoryLog& log, const std::string& text, const char* speaker = nullptr,
            const char* voice = nullptr) {
  return log.AddMessage(reinterpret_cast<const uint8_t*>(text.data()),
                        static_cast<uint32_t>(text.size()), 40, speaker, voice, 0);
}

std::string TextOf(const HistoryEntry* entry) {
  const auto& text = std::get<MessageRecord>(entry->record).text;
  return std::string(text.begin(), text.end());
}

std::vector<uint8_t> Saved(const TextHistoryLog& log, uint32_t from = 0, uint32_t to = UINT32_MAX) {
  std::vector<uint8_t> out;
  EXPECT_EQ(log.Save(out, from, to), 0);
  EXPECT_EQ(out.size(), log.GetSaveSize(from, to));
  return out;
}

// A log holding one entry of each kind.
void FillAllKinds(TextHistoryLog& log) {
  AddText(log, "hello", "Ann", "v001");
  ASSERT_EQ(log.BeginChoices(2), 0);
  ASSERT_EQ(log.AddChoice("left", 1), 0);
  ASSERT_EQ(log.AddChoice("right", 0), 0);
  uint32_t serial = 0;
  ASSERT_EQ(log.EndChoices(serial), 0);
  ASSERT_TRUE(log.SetChosenIndex(serial, 1));
  SceneBackgroundValues background{"bg01", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
  std::array<SceneSpriteValues, 5> characters{};
  std::array<SceneSpriteValues, 3> back{}, front{};
  characters[0] = {"girl", 2, 20100, -5, 7, {1, 2, 3, 4, 5, 6, 7}};
  characters[1] = {"boy", 0, 20000, 3, 4, {}};
  characters[2] = {"gone", -1, 0, 0, 0, {}};  // no picture: not kept
  front[0] = {"rain", 0, 30000, 0, 0, {}};
  ASSERT_EQ(log.AddSceneSnapshot(&background, characters, back, front), 0);
}

TEST(TextHistoryLogTest, RingKeepsTheNewest) {
  TextHistoryLog log;
  EXPECT_EQ(AddText(log, "x"), 2);  // no capacity yet
  log.SetCapacity(3);
  for (int i = 1; i <= 5; ++i) ASSERT_EQ(AddText(log, "m" + std::to_string(i)), 0);
  ASSERT_EQ(log.Count(), 3);
  EXPECT_EQ(TextOf(log.GetEntry(0)), "m3");
  EXPECT_EQ(log.GetEntry(3), nullptr);
  EXPECT_EQ(log.AddMessage(nullptr, 0, 0, nullptr, nullptr, 0), 1);

  Log ten{10};
  for (int i = 0; i < 13; ++i) AddText(ten, "m" + std::to_string(i));
  ten.SetCapacity(4);
  ASSERT_EQ(ten.Count(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(TextOf(ten.GetEntry(i)), "m" + std::to_string(9 + i));
  ten.SetCapacity(0);
  EXPECT_EQ(std::tuple(ten.Count(), ten.GetSaveSize(0, UINT32_MAX)), std::tuple(0, 0u));
}

TEST(TextHistoryLogTest, ChoiceListsOpenAndClose) {
  Log log{3};
  uint32_t serial = 0;
  // Nothing to end before a choice is added; an open list refuses another and its third choice.
  EXPECT_EQ((std::vector{log.BeginChoices(0), log.BeginChoices(2), log.EndChoices(serial),
                         log.BeginChoices(1), log.AddChoice(nullptr, 0), log.AddChoice("a", 0),
                         log.AddChoice("b", 0), log.AddChoice("c", 0), log.EndChoices(serial),
                         log.AddChoice("d", 0)}),
            (std::vector{1, 0, 1, 3, 1, 0, 0, 3, 0, 2}));

  // The list leaves the ring before the player chooses: the choice is not written anywhere.
  for (int i = 0; i < 3; ++i) AddText(log, "later");
  EXPECT_FALSE(log.SetChosenIndex(serial, 0));
  // A list pushed out while still open is closed with it.
  ASSERT_EQ(log.BeginChoices(1), 0);
  for (int i = 0; i < 3; ++i) AddText(log, "later");
  EXPECT_EQ(log.AddChoice("e", 0), 2);
  EXPECT_EQ(log.BeginChoices(1), 0);
}

TEST(TextHistoryLogTest, SavesRangesLoadsThemBackAndRefusesBadBlocks) {
  Log log{8};
  FillAllKinds(log);
  AddText(log, "bye");  // no speaker, no voice: two zero length bytes

  const std::vector<uint8_t> all = Saved(log);
  const std::vector<uint8_t> last = Saved(log, 3, 3);
  EXPECT_EQ(last,
            (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 'b', 'y', 'e', 40, 0, 0, 0, 0}));
  EXPECT_EQ(Saved(log, 10, 20), (std::vector<uint8_t>{0, 0, 0, 0}));

  Log loaded{8};
  ByteReader reader(all);
  ASSERT_EQ(loaded.Load(reader, true), 0);
  EXPECT_TRUE(reader.atEnd());
  EXPECT_EQ(Saved(loaded), all);
  const auto& scene = std::get<SceneSnapshot>(loaded.GetEntry(2)->record);
  ASSERT_EQ(scene.sprites.size(), 3u);
  EXPECT_EQ(scene.sprites[0].name + scene.sprites[1].name + scene.sprites[2].name, "rainboygirl")
      << "front, then characters by priority";

  // Fewer slots keep the newest; without restore the block is only stepped over.
  Log two{2};
  ByteReader again(all);
  ASSERT_EQ(two.Load(again, true), 0);
  EXPECT_EQ(two.GetEntry(1)->serial, 3u);
  ByteReader skipped(all);
  ASSERT_EQ(two.Load(skipped, false), 0);
  EXPECT_TRUE(skipped.atEnd());
  EXPECT_EQ(two.Count(), 0);

  // A malformed block keeps what came before it.
  for (size_t cut = 0; cut < all.size(); ++cut) {
    Log cutLog{8};
    ByteReader cutReader(all.data(), cut);
    ASSERT_EQ(cutLog.Load(cutReader, true), 3) << cut;
    ASSERT_LE(cutLog.Count(), 3) << cut;
  }

  std::vector<uint8_t> badKind = all;
  badKind[0] = 5;  // a fifth entry that is not there
  badKind.push_back(7);
  Log partial{8};
  ByteReader badReader(badKind);
  EXPECT_EQ(partial.Load(badReader, true), 2);
  EXPECT_EQ(partial.Count(), 4);

  // A huge choice count fails before anything is made.
  const std::vector<uint8_t> huge{1, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0};
  ByteReader hugeReader(huge);
  EXPECT_EQ(partial.Load(hugeReader, true), 3);
}

TEST(TextHistoryLogTest, CutsLongNamesOnCharacters) {
  Log log{2};
  std::string name;
  for (int i = 0; i < 200; ++i) name += "\x88\x9F";  // 400 bytes of double-byte characters
  AddText(log, "t", name.c_str(), "");
  const auto& m = std::get<MessageRecord>(log.GetEntry(0)->record);
  ASSERT_TRUE(m.speaker);
  EXPECT_EQ(m.speaker->size(), 254u);
  EXPECT_FALSE(m.voice);
  ASSERT_EQ(log.BeginChoices(1), 0);
  ASSERT_EQ(log.AddChoice(name.c_str(), 0), 0);
  EXPECT_EQ(std::get<ChoiceRecord>(log.GetEntry(1)->record).choices[0]->text.size(), 252u);
  const std::vector<uint8_t> saved = Saved(log);
  Log loaded{2};
  ByteReader reader(saved);
  ASSERT_EQ(loaded.Load(reader, true), 0);
  EXPECT_EQ(Saved(loaded), saved);
}

// The edges of the history's stored records: a stored log of one list of two choices keeps only an
// index naming one of them.
TEST(HistoryRecordEdges, AChosenIndexIsKeptOnlyWhenItNamesAChoice) {
  const struct { int32_t stored, loaded; } cases[] = {{-2, -1}, {-1, -1}, {0, 0}, {1, 1}, {2, -1}};
  for (const auto& c : cases) {
    Bytes block{1, 0, 0, 0, 1, 2, 0, 0, 0};
    for (int k = 0; k < 4; ++k) block.push_back(uint8_t(uint32_t(c.stored) >> (8 * k)));
    block.insert(block.end(), {3, 0, 'a', 0, 3, 1, 'b', 0});
    Log log{2};
    ByteReader reader(block);
    ASSERT_EQ(log.Load(reader, true), 0) << c.stored;
    EXPECT_EQ(std::get<ChoiceRecord>(log.GetEntry(0)->record).chosenIndex, c.loaded) << c.stored;
  }
}

// A record of three bytes is a choice whose text is empty; the walk goes on past it.
TEST(HistoryRecordEdges, AThreeBytePackedRecordIsAnEmptyChoice) {
  MessageTextEngine e;
  ASSERT_EQ(e.SetChoices(Bytes{0, 0, 0, 2, 3, 0, 0, 5, 0, 'a', 'b', 0}), 0);
  EXPECT_EQ(e.ChoiceCount(), 2);
  EXPECT_EQ(std::tuple(e.GetChoiceText(0), e.GetChoiceText(1)), std::tuple("", "ab"));
}

// ---- The faces the font list offers ----

using host::LOGFONTA;

struct Reported {
  const char* face;
  uint8_t charSet;
  uint8_t pitch;
  uint32_t type;
};

// What a system with a mix of faces reports, in its order.
const Reported kSystem[] = {
    {"ＭＳ ゴシック", host::SHIFTJIS_CHARSET, host::FIXED_PITCH, host::TRUETYPE_FONTTYPE},
    {"ＭＳ ゴシック", host::ANSI_CHARSET, host::FIXED_PITCH, host::TRUETYPE_FONTTYPE},
    {"@ＭＳ ゴシック", host::SHIFTJIS_CHARSET, host::FIXED_PITCH, host::TRUETYPE_FONTTYPE},
    {"ＭＳ Ｐ明朝", host::SHIFTJIS_CHARSET, host::VARIABLE_PITCH, host::TRUETYPE_FONTTYPE},
    {"Terminal", host::SHIFTJIS_CHARSET, host::FIXED_PITCH, host::RASTER_FONTTYPE},
    {"$Hidden", host::SHIFTJIS_CHARSET, host::FIXED_PITCH, host::TRUETYPE_FONTTYPE},
    {"Courier", host::ANSI_CHARSET, host::FIXED_PITCH, host::RASTER_FONTTYPE},
};

int ReportSystem(const LOGFONTA& filter, host::FONTENUMPROCA proc, host::LPARAM param, uint32_t) {
  EXPECT_EQ(filter.lfCharSet, host::DEFAULT_CHARSET) << "the list asks for every character set";
  EXPECT_EQ(filter.lfFaceName[0], '\0') << "and every face";
  int answer = 1;
  for (const Reported& r : kSystem) {
    host::ENUMLOGFONTEXA font;
    std::string name = host::Utf8ToCp932(r.face).text;
    std::memcpy(font.elfLogFont.lfFaceName, name.data(), name.size());
    font.elfLogFont.lfCharSet = r.charSet;
    font.elfLogFont.lfPitchAndFamily = r.pitch;
    answer = proc(&font, r.type, param);
    EXPECT_NE(answer, 0) << "the list always asks to go on";
  }
  return answer;
}

std::vector<std::string> Names(const FontList& list) {
  std::vector<std::string> names;
  for (int i = 0; i < list.Count(); ++i) {
    const LOGFONTA* lf = list.Get(i);
    names.push_back(host::Cp932ToUtf8(lf->lfFaceName).text + "/" + std::to_string(lf->lfCharSet));
  }
  return names;
}

TEST(FontListTest, FiltersSelectFaces) {
  using V = std::vector<std::string>;
  struct Case {
    uint8_t filter;
    uint8_t charSet;
    V expected;
  };
  // No filter and the Japanese one are the start-up's and the font natives'.
  const Case cases[] = {
      {FontList::kTrueTypeOnly, 0,
       V{"ＭＳ ゴシック/128", "ＭＳ ゴシック/0", "@ＭＳ ゴシック/128", "ＭＳ Ｐ明朝/128"}},
      {FontList::kFixedPitchOnly | FontList::kNoVerticalFaces, 0,
       V{"ＭＳ ゴシック/128", "ＭＳ ゴシック/0", "Terminal/128", "Courier/0"}},
      {FontList::kCharSetOnly, host::ANSI_CHARSET, V{"ＭＳ ゴシック/0", "Courier/0"}},
  };
  for (const Case& c : cases) {
    FontList list(ReportSystem);
    EXPECT_EQ(list.Enumerate(c.filter, c.charSet), static_cast<int>(c.expected.size()));
    EXPECT_EQ(Names(list), c.expected) << "filter " << int(c.filter) << ", set " << int(c.charSet);
  }
}

}  // namespace
}  // namespace bw
