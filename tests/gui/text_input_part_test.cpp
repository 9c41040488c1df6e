#include "gui/text_input_part.h"

#include "common/sjis.h"
#include "input/key_codes.h"
#include "support/fuzz_seeds.h"
#include "text_input_fixture.h"

namespace bw::test {
namespace {

TEST_F(TextFieldTest, CapacityAndTypedRunsTakeWholeCharactersOnly) {
  // A two-byte character needs length + 1 < limit.
  for (const auto& [unit, wantBytes] : {std::pair<std::string, size_t>{"a", 255}, {kA, 254}}) {
    TextInputPart field;
    MakeLine(field, font);
    Type(field, Repeat(unit, 300));
    EXPECT_EQ(std::tuple(field.Text().size(), field.Caret()), std::tuple(wantBytes, wantBytes))
        << unit;
    EXPECT_TRUE(sjis::IsCharStart(field.Text(), field.ColumnOffset())) << unit;
  }

  TextInputPart typed;
  MakeLine(typed, font);
  Type(typed, std::string("ab\x82", 3));
  EXPECT_EQ(typed.Text(), "ab") << "the lone lead byte is dropped, never read past";
  Type(typed, std::string("c\0d\x82\0", 5));
  EXPECT_EQ(typed.Text(), "abcd");
  typed.SetFullWidthOnly(true);
  Type(typed, std::string("x") + kA);
  EXPECT_EQ(typed.Text(), std::string("abcd") + kA);
  EXPECT_EQ(typed.SetText(nullptr), kTextInputRefused);
}

TEST_F(TextFieldTest, AClickLandsByACharactersHalvesAndALongLineScrollsToKeepTheCaretShown) {
  TextInputPart field;
  MakeLine(field, font);
  // "\x81\x81" then 'A': the byte two back from the end is a trail byte in the lead range, which
  // must not make 'A' look like the second half of a character.
  Type(field, std::string("\x81\x81") + "A");
  // Text origin x = 1 (margin); the wide character covers 0-16, 'A' 16-24.
  const struct {
    int32_t along;
    size_t caret;
  } cases[] = {{8, 0}, {9, 2}, {20, 2}, {21, 3}, {200, 3}};
  for (const auto& c : cases) {
    services.Button(false);
    services.Button(true);
    ASSERT_TRUE(field.OnPointerInput(1 + c.along, 5, services.GetMouse()));
    EXPECT_EQ(field.Caret(), c.caret) << "click at " << c.along;
  }

  TextInputPart line;
  MakeLine(line, font, 42);  // 40 pixels of text: five one-byte characters
  Type(line, "abcdefgh");
  EXPECT_EQ(line.ColumnOffset(), 4u) << "the view starts so that the caret stays inside";
  (void)line.OnTextKey(0x24);  // Home
  EXPECT_EQ(line.ColumnOffset(), 0u);
  (void)line.OnTextKey(kVkEnd);
  EXPECT_EQ(line.Caret(), 8u);
  // A line narrower than one character cannot show the caret anywhere: the view starts at the
  // last character, not inside it.
  TextInputPart narrow;
  MakeLine(narrow, font, 2);
  Type(narrow, std::string("a") + kA + "b");
  EXPECT_EQ(narrow.ColumnOffset(), 3u);
}

TEST_F(TextFieldTest, MultiLineNewlinesAreLimitedByTheLinesAndVerticalKeysFollowTheWrap) {
  TextInputPart field;
  MakeBlock(field, font, 3, 64);  // 4 wide characters: 8 columns a line
  EXPECT_EQ(std::tuple(field.LineColumns(), field.MaxLength()), std::tuple(8, 27));
  Type(field, "ab\n\n\n");
  EXPECT_EQ(std::tuple(field.Text(), field.CaretLine()), std::tuple("ab\n\n", 2))
      << "two newlines fit three lines, the third does not";
  Type(field, Repeat("x", 20));
  EXPECT_EQ(std::tuple(field.Text(), field.Caret()),
            std::tuple("ab\n\n" + Repeat("x", 8), size_t{12}))
      << "cut where a fourth line would start";

  // Without newlines the capacity is maxLength - lines bytes.
  TextInputPart full;
  MakeBlock(full, font, 3, 64);
  Type(full, Repeat("x", 40));
  EXPECT_EQ(std::tuple(full.Text().size(), full.LineCount()), std::tuple(24u, 3));

  TextInputPart column;
  MakeBlock(column, vertical, 3, 64);
  ASSERT_TRUE(column.IsVertical());
  Type(column, Repeat("a", 20));  // 8 + 8 + 4
  EXPECT_EQ(std::tuple(column.LineCount(), column.CaretLine()), std::tuple(3, 2));
  (void)column.OnTextKey(0x24);  // Home
  (void)column.OnTextKey(kVkLeft);
  EXPECT_EQ(std::pair(column.CaretLine(), column.Caret()), std::pair(1, size_t{8}))
      << "Left goes to the next line, towards the left";
  (void)column.OnTextKey(0x28);  // Down: forward along the line
  EXPECT_EQ(column.Caret(), 9u);
  (void)column.OnTextKey(kVkRight);
  EXPECT_EQ(std::pair(column.CaretLine(), column.Caret()), std::pair(0, size_t{1}));
  // The caret of vertical text stands on the rightmost line first.
  column.ShowCaret();
  EXPECT_EQ(std::pair(column.CaretRect().GetX(), column.CaretRect().GetY()),
            std::pair(column.GetX() + 2 * 18, column.GetY() + 8));
}

TEST_F(TextFieldTest, BadCreatesAnswerOneAndTheCallersBufferIsReadBoundedAndWrittenOnlyByFinish) {
  GuestMemory& memory = services.memory;
  const std::string initial = std::string("abc") + kA + "def";
  const uint32_t address = memory.Allocate(64);
  ASSERT_TRUE(memory.Write(address, initial.c_str(), static_cast<uint32_t>(initial.size() + 1)));
  TextInputPart field;
  ASSERT_EQ(field.SetMaxLength(4), kTextInputDone);
  ASSERT_EQ(field.Create(&list, nullptr, nullptr, {.order = 1, .font = &font, .width = 100},
                         {&memory, address}, 0),
            kTextInputDone);
  EXPECT_EQ(field.Text(), "abc") << "cut before the character the capacity would split";
  std::string stored;
  ASSERT_TRUE(memory.ReadCString(address, stored, 63));
  EXPECT_EQ(stored, initial) << "the create writes nothing into the caller's buffer";
  (void)field.OnTextKey(kVkEnd);
  Type(field, "x");
  EXPECT_EQ(field.Finish(), kTextInputDone);
  ASSERT_TRUE(memory.ReadCString(address, stored, 63));
  EXPECT_EQ(std::tuple(stored, field.IsLocked()), std::tuple("abcx", true));

  // A text that runs to the end of script memory is read up to there.
  const uint32_t tail = memory.Top() - 2;
  ASSERT_TRUE(memory.Write(tail, "zz", 2));
  TextInputPart edge;
  ASSERT_EQ(edge.Create(&list, nullptr, nullptr, {.order = 1, .font = &font, .width = 100},
                        {&memory, tail}, 0),
            kTextInputDone);
  EXPECT_EQ(std::tuple(edge.Text(), memory.Faulted()), std::tuple("zz", false));

  TextInputPart unowned;
  MakeLine(unowned, font);
  EXPECT_EQ(unowned.Finish(), kTextInputRefused) << "no buffer to write to";

  TextInputPart bad;
  EXPECT_EQ(bad.SetMaxLength(0), kTextInputRefused);
  OutlineTextRenderer flat{testing_text::FakeSource(), 16};
  host::LOGFONTA heightless = font.GetLogFont();
  heightless.lfHeight = 0;
  flat.SetLogFont(heightless);
  EXPECT_EQ(bad.CreateMultiLine(&list, nullptr, nullptr,
                                {.order = 1, .font = &flat, .lines = 3, .width = 64}, {}, 0),
            kTextInputBadArguments)
      << "a font of height 0";
  EXPECT_EQ(bad.CreateMultiLine(
                &list, nullptr, nullptr,
                {.order = 1, .font = &font, .lines = 3, .width = 16, .border = true}, {}, 0),
            kTextInputBadArguments)
      << "room for no wide character";
  EXPECT_EQ(bad.Create(&list, nullptr, nullptr, {.order = 1, .font = &font}, {}, 0),
            kTextInputBadArguments);
  EXPECT_FALSE(bad.HasText());
  MakeLine(bad, font);
  EXPECT_EQ(bad.SetMaxLength(10), kTextInputRefused) << "the create fixed the capacity";
}

// Focus and the pointer, through the pointer tip.

TEST_F(TextFieldTest, AFieldTakesTheFocusOnHoverAndEnterInTheLastFieldDropsIt) {
  TextInputPart field;
  MakeLine(field, font);
  EXPECT_EQ(tip.AddControl(&field, -1), kAddControlDone);
  services.x = 30;
  services.y = 25;
  (void)tip.Update(services.now);
  EXPECT_TRUE(tip.IsFocus(&field) && field.CaretRect().IsVisible() && field.IsBlinking());
  EXPECT_EQ(tip.GetCursorState(), kCursorIBeam);
  Type(field, "hi");
  EXPECT_TRUE(field.IsPointerHidden());
  services.x = 31;
  (void)tip.Update(services.now);
  EXPECT_FALSE(field.IsPointerHidden()) << "moving the pointer shows it again";

  field.SetLocked(true);
  EXPECT_FALSE(tip.IsFocus(&field));
  services.x = 32;
  (void)tip.Update(services.now);
  EXPECT_FALSE(tip.IsFocus(&field)) << "a locked field does not take the focus";

  // Enter passes the focus on, and in the last field drops it.
  tip.RemoveControl(&field);
  TextInputPart first, last;
  MakeLine(first, font);
  ASSERT_EQ(last.Create(&list, nullptr, nullptr,
                        {.order = 1, .font = &font, .width = 100, .x = 10, .y = 100}, {}, 0),
            kTextInputDone);
  EXPECT_EQ(tip.AddControl(&first, -1), kAddControlDone);
  EXPECT_EQ(tip.AddControl(&last, -1), kAddControlDone);
  (void)tip.SetFocus(&first);
  Type(first, "a\rb");
  EXPECT_EQ(std::tuple(first.Text(), tip.IsFocus(&last)), std::tuple("a", true))
      << "the rest of the run is dropped";
  tip.RemoveControl(&first);
  Type(last, "\r");
  EXPECT_EQ(tip.GetFocus(), nullptr);
}

// The seed corpus of the text-edit fuzz target: typing, keys and clicks on the three field kinds.
// Options byte, then commands: 0x00-0x3F keys, 0x40 clicks, 0x80 typed runs, 0xC0 SetText.
constexpr uint8_t kSeedMulti = 1;
constexpr uint8_t kSeedVertical = 2;
constexpr uint8_t kSeedFullWidth = 4;
constexpr uint8_t kSeedLeft = 0, kSeedRight = 1, kSeedUp = 2, kSeedDown = 3, kSeedHome = 4,
                  kSeedEnd = 5, kSeedDelete = 6;

std::vector<uint8_t> Typed(const std::string& bytes) {
  std::vector<uint8_t> out{static_cast<uint8_t>(0x80 + bytes.size() - 1)};
  out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

std::vector<uint8_t> Seed(uint8_t options, std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out{options};
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

TEST(TextEditFuzzSeeds, MatchTheCommittedCorpus) {
  FuzzSeeds seeds;
  seeds["single_scroll"] = Seed(0, {Typed("abcdefghijklmnopqrstuvwxyz"),
                                    {kSeedLeft, kSeedLeft, kSeedHome},
                                    {0x40, 30, 5},
                                    Typed("\b\bXY"),
                                    {kSeedEnd, kSeedDelete}});
  seeds["trail_in_lead_range"] = Seed(0, {Typed("\x81\x81"
                                                "A\x88\x81\x82"),
                                          {0x40, 18, 4, 0x40, 21, 4},
                                          Typed("\b\b\b")});
  seeds["multi_newlines"] = Seed(kSeedMulti, {Typed("ab\n\n\n\ncd"),
                                              {kSeedUp, kSeedUp, kSeedDown, kSeedEnd},
                                              Typed("\x82\xA0\x82\xA2\n"),
                                              {0x40, 40, 30}});
  seeds["vertical_lines"] =
      Seed(kSeedMulti | kSeedVertical, {Typed("0123456789abcdefghij"),
                                        {kSeedHome, kSeedLeft, kSeedDown, kSeedRight, kSeedUp},
                                        {0x40, 5, 50}});
  seeds["vertical_single_full_width"] =
      Seed(kSeedVertical | kSeedFullWidth | 0x08, {Typed("a\x82\xA0"
                                                         "b\x82\xA2"),
                                                   {kSeedUp, kSeedDown},
                                                   Typed("\r\t\x1B")});
  seeds["set_text_cut"] =
      Seed(0x18, {{0xC4, 'a', 'b', 0x82, 0xA0, 0x82}, {kSeedEnd}, Typed(std::string("z\0y", 3))});
  CheckOrWriteFuzzSeeds("text_edit", seeds);
}

}  // namespace
}  // namespace bw::test
