#include "savedata/save_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/sav/sav_text.h"

namespace bw {
namespace {

const std::string kA = "\x82\xA0";  // a double-byte character

std::string Title(std::string_view text) {
  uint8_t field[kTitleFieldBytes];
  PutTitle(field, text);
  return FieldText(field);
}

std::string Comment(std::string_view text) {
  uint8_t field[kCommentFieldBytes] = {};
  PutComment(field, text);
  return FieldText(field);
}

TEST(SaveFileText, TitleAndCommentCopiesStopAtWholeCharacters) {
  struct Case {
    const char* what;
    std::string got, want;
  };
  const Case cases[] = {
      {"a 60-byte title keeps 40", Title(std::string(60, 't')), std::string(40, 't')},
      {"a title cut before a split character", Title(std::string(39, 't') + kA),
       std::string(39, 't')},
      {"the character that would spend the budget", Comment(std::string(247, 'c') + kA),
       std::string(247, 'c')},
      {"a double-byte character that fits", Comment(std::string(246, 'c') + kA),
       std::string(246, 'c') + kA},
      {"a lone lead byte before the NUL ends the copy", Comment(std::string("ab\x82\0zz", 6)),
       "ab"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(SaveFileText, FieldsWithoutNulEndAtACharacter) {
  std::vector<uint8_t> field(kTitleFieldBytes, 'x');
  EXPECT_EQ(FieldText(field), std::string(44, 'x'));
  field.back() = 0x82;  // a lead byte with its trail outside the field
  EXPECT_EQ(FieldText(field), std::string(43, 'x'));
  field[1] = 0;
  EXPECT_EQ(FieldText(field), "x");
}

TEST(SaveFileText, FoldLaysTheCommentOutInFourLines) {
  EXPECT_EQ(FoldComment(std::string(200, 'x')),
            std::string(82, 'x') + "\n" + std::string(82, 'x') + "\n" + std::string(36, 'x'));
  EXPECT_EQ(FoldComment("1\n2\n3\n4\n5\n6"), "1\n2\n3\n4");
  // A double-byte character that would straddle the 82nd byte moves down whole.
  EXPECT_EQ(FoldComment(std::string(81, 'x') + kA + "y"), std::string(81, 'x') + "\n" + kA + "y");
  EXPECT_EQ(FoldComment(std::string(82 * 5, 'x')).size(), 82u * 4 + 3);
}

TEST(SaveFileText, DatesCaptionsAndLimits) {
  const std::string date = FormatSaveDate({2026, 12, 7, 1, 9, 5});
  EXPECT_EQ(date, "2026/12/07(\x8C\x8E) 09:05");
  EXPECT_EQ(FormatSaveCaption("T", "D", 1),
            "\x81\x77T\x81\x78\n\x81\x79\x8B\x4C\x98\x5E\x93\xFA\x8E\x9E D\x81\x7A");
  EXPECT_NE(FormatSaveCaption("T", "D", 7).find("\x81\x78\r\n\x81\x79"), std::string::npos);
  EXPECT_EQ(FitField(std::string(10, 'a') + kA, 12), std::string(10, 'a'));
}

TEST(SaveFileReader, ShortStatesAreStoredAsTheyAre) {
  sav::SaveDescription d;
  d.state.assign(8, 'S');
  SaveFileContents contents;
  ASSERT_EQ(ReadSaveFile(sav::MakeSaveFile(d), contents), 0);
  EXPECT_EQ(contents.unpackedSize, 0u);
  EXPECT_EQ(contents.storedSize, 8u);
}

}  // namespace
}  // namespace bw
