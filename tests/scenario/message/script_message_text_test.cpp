#include "scenario/message/script_message_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../../script/script_test_util.h"
#include "graphics/surface/image_surface.h"
#include "graphics/text/outline_text_renderer.h"
#include "graphics/text/text_test_support.h"
#include "host/font/fake_glyph_source.h"
#include "script/script_vm.h"

namespace bw {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Message(std::string_view text, uint8_t keyByte = 1, uint16_t keyNumber = 5) {
  Bytes b{keyByte, static_cast<uint8_t>(keyNumber), static_cast<uint8_t>(keyNumber >> 8)};
  b.insert(b.end(), text.begin(), text.end());
  b.push_back(0);
  return b;
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

TEST_F(ScriptMessageTextTest, MarksMessagesReadAtTheirEnd) {
  ASSERT_EQ(text_->SetMessage(Message("Hi")), 0);
  EXPECT_FALSE(text_->EndHookSuppressed());
  EXPECT_FALSE(vm_->TestReadFlagA(5, true));
  TypeAll();
  EXPECT_TRUE(vm_->TestReadFlagA(5, true));
  ASSERT_EQ(text_->SetMessage(Message("Hi")), 0);
  EXPECT_TRUE(text_->EndHookSuppressed());  // read text is not marked again
}

TEST_F(ScriptMessageTextTest, PenMovesWithTheText) {
  ASSERT_EQ(text_->SetMessage(Message("<\"tag\">")), 0);
  EXPECT_EQ(text_->Advance(false), MessageTextEngine::kQuotedTag);
  EXPECT_EQ(text_->Redraw(), 1);
  EXPECT_EQ(std::pair(text_->GetPenX(), text_->GetPenY()), std::pair(10, 20)) << "a tag alone";
  EXPECT_TRUE(text_test::InkBox(surface_).IsEmpty());

  // Single bytes advance 8 and double bytes 16 with spacing 1; "@@" is one '@', a picture
  // without a texture has no width; two line breaks go down two lines of 16 + 2.
  ASSERT_EQ(text_->SetMessage(Message("AB\x82\xA0@@@12\\\\C")), 0);
  text_->SeekTag(-1, true);
  EXPECT_EQ(std::pair(text_->GetPenX(), text_->GetPenY()), std::pair(10 + 8 + 1, 20 + 2 * 18));
  ASSERT_EQ(text_->SetMessage(Message("AB\x82\xA0@@@12")), 0);
  TypeAll();
  EXPECT_EQ(text_->GetPenX(), 10) << "the end resets the pen";
  text_->Redraw();
  EXPECT_EQ(text_->GetPenX(), 10 + 9 + 9 + 17 + 9 + 1);
  EXPECT_FALSE(text_test::InkBox(surface_).IsEmpty());
  EXPECT_TRUE(surface_.IsChanged());
}

TEST_F(ScriptMessageTextTest, DrawsNamePartsAndChoices) {
  ASSERT_EQ(text_->SetMessage(Message("#Ann\\Anne$Hello")), 0);
  EXPECT_EQ(text_->DrawTextPart(0, 0, 2, nullptr, nullptr, ScriptMessageText::kStoredOutline), 0);
  EXPECT_EQ(text_->DrawTextPart(0, 0, 3, nullptr, nullptr, 0), 2);
  EXPECT_EQ(text_->DrawChoice(0, 0, 0, nullptr, nullptr, 0), 2);
  ScriptMessageText bare(vm_.get(), &vm_->GetMemory());
  EXPECT_EQ(bare.DrawTextPart(0, 0, 0, nullptr, nullptr, 0), 1);
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

TEST_F(ScriptMessageTextTest, ChoiceReadBitsAndReadingPosition) {
  ASSERT_EQ(text_->SetMessage(Message("Q")), 0);
  const Bytes choices{1, 10, 0, 2, 4, 1, 'a', 0, 4, 1, 'b', 0};
  ASSERT_EQ(text_->SetChoices(choices), 0);
  EXPECT_FALSE(text_->IsChoiceRead(1));
  EXPECT_EQ(text_->SetChoiceRead(1), 1);
  EXPECT_TRUE(vm_->TestReadFlagB(11, true));  // mode 1: the last script record
  EXPECT_TRUE(text_->IsChoiceRead(1) && !text_->IsChoiceRead(2));
  Bytes unread = choices;
  unread[0] = 2;
  ASSERT_EQ(text_->SetChoices(unread), 0);
  EXPECT_FALSE(text_->IsChoiceRead(1)) << "mode 2 keeps no bits";

  ASSERT_EQ(text_->SetMessage(Message("abc")), 0);
  text_->NextToken();
  EXPECT_EQ(text_->SaveReadingPosition(), 1);
  text_->NextToken();
  EXPECT_EQ(text_->RestoreReadingPosition(), 1);
  EXPECT_EQ(text_->Cursor(), 1u);
  ASSERT_EQ(text_->SetMessage(Message("abc")), 0);  // the same text, a new message
  text_->NextToken();
  EXPECT_EQ(text_->RestoreReadingPosition(), 0);
  EXPECT_EQ(text_->Cursor(), 1u);
}

}  // namespace
}  // namespace bw
