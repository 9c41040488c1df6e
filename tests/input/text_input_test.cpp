// Label: threads
// Typed text on its way to a text field: the 32-byte buffer, whole characters, the input
// method's composition, and Japanese text from the platform arriving as CP932.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "headless_input_fixture.h"
#include "input/engine_input.h"
#include "support/recording_field.h"

namespace bw {
namespace {

using test::RecordingField;

class TextBuffer : public testing::Test {
 protected:
  void Type(const std::string& bytes) {
    for (unsigned char b : bytes) input_.OnTextInputMessage(window_, host::WM_CHAR, b, 0);
  }
  host::HWND window_{7};
  EngineInput input_;
  RecordingField field_;
};

TEST_F(TextBuffer, EachRunIsHandedOverOnceAndHalfACharacterWaits) {
  Type("ab");
  EXPECT_EQ(input_.PollTextInput(&field_), 2);
  EXPECT_EQ(input_.PollTextInput(&field_), 0);
  Type("c");
  input_.PollTextInput(&field_);
  Type("\x82");
  input_.PollTextInput(&field_);
  EXPECT_EQ(field_.texts, (std::vector<std::string>{"ab", "c"}));
  Type("\xA0");
  input_.PollTextInput(&field_);
  EXPECT_EQ(field_.texts, (std::vector<std::string>{"ab", "c", "\x82\xA0"}));
}

TEST_F(TextBuffer, FullBufferDropsTheExcessAndNeverEndsInHalfACharacter) {
  Type(std::string(31, 'a') + "\x88");
  Type("\x9F");  // the 33rd byte: dropped, and the lead before it too
  input_.PollTextInput(&field_);
  ASSERT_EQ(field_.texts.size(), 1u);
  EXPECT_EQ(field_.texts[0], std::string(31, 'a'));
  Type(std::string(40, 'b'));
  input_.PollTextInput(&field_);
  EXPECT_EQ(field_.texts[1], std::string(32, 'b'));
}

TEST_F(TextBuffer, CompositionIsAnsweredOnlyWhenItChanges) {
  host::ResetTextInput();
  ImeContext& ime = input_.Ime();
  ime.Attach(window_);
  host::SetComposition("\x82\xA9\x82\xC8");  // かな
  EXPECT_STREQ(ime.GetCompositionString(), "\x82\xA9\x82\xC8");
  EXPECT_EQ(ime.GetCompositionString(), nullptr);
  EXPECT_EQ(ime.GetClauseEnd(), 4);
  // Cut at 127 bytes on a character boundary.
  host::SetComposition(std::string(1, 'a') + std::string(200, '\x82'));
  const char* cut = ime.GetCompositionString();
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(std::strlen(cut), 127u);
  host::SetComposition("");
  EXPECT_EQ(ime.GetCompositionString(), nullptr);
  host::ResetTextInput();
}

// The window thread's messages, through the backend.
class TypedText : public HeadlessInputTest {
 protected:
  void SetUp() override {
    HeadlessInputTest::SetUp();
    input_.SetMainWindow(window_);
  }
  void Deliver() {
    for (const host::MSG& msg : Drain()) {
      if (msg.hwnd == input_.AttachedWindow())
        input_.OnTextInputMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    }
  }
  void Text(const char* utf8) { backend_.QueueTypedText(utf8); }
  void Editing(const char* utf8) { backend_.QueueComposition(utf8); }
  EngineInput input_;
  RecordingField field_;
};

TEST_F(TypedText, JapaneseArrivesAsCp932WithItsComposition) {
  ASSERT_EQ(input_.AttachTextInput(window_), 0u);
  Drain();
  input_.EnableIme(true);
  input_.Ime().SetOpenStatus(true);

  // A composition longer than a 32-byte event text.
  std::string longReading;
  for (int i = 0; i < 20; ++i) longReading += "にほんご";
  Editing(longReading.c_str());
  Deliver();
  const char* composition = input_.Ime().GetCompositionString();
  ASSERT_NE(composition, nullptr);
  EXPECT_EQ(std::string(composition, 8), "\x82\xC9\x82\xD9\x82\xF1\x82\xB2");
  EXPECT_TRUE(input_.Ime().IsOpen());

  Text("日本");
  Deliver();
  EXPECT_EQ(input_.Ime().GetCompositionString(), nullptr) << "committing ends the composition";
  input_.PollTextInput(&field_);
  EXPECT_EQ(field_.texts, std::vector<std::string>{"\x93\xFA\x96\x7B"});
}

TEST_F(TypedText, CharactersWithoutACp932FormAreDroppedWhole) {
  input_.AttachTextInput(window_);
  Drain();
  Text(
      "a\xF0\x9F\x98\x80"
      "b");  // an emoji between two letters
  Deliver();
  input_.PollTextInput(&field_);
  EXPECT_EQ(field_.texts, std::vector<std::string>{"ab"});
}

TEST_F(TypedText, AttachingClearsAndDestroyingDetaches) {
  input_.AttachTextInput(window_);
  Drain();
  Text("q");
  Deliver();
  input_.OnTextInputMessage(window_, host::WM_KEYDOWN, 39, 0);
  input_.AttachTextInput(window_);
  EXPECT_EQ(input_.PollTextInput(&field_), 0) << "nothing survives a new attach";
  EXPECT_TRUE(input_.SendTextInputMessage(0));
  input_.OnTextInputMessage(window_, host::WM_DESTROY, 0, 0);
  EXPECT_FALSE(input_.AttachedWindow());
  EXPECT_FALSE(input_.SendTextInputMessage(1));
}

// The frame thread attaches while the window thread types: the send to the window thread must not
// be made while holding the lock that every character takes.
EngineInput* typingInput = nullptr;

host::LRESULT TypingWindow(host::HWND hwnd, uint32_t message, host::WPARAM wParam,
                           host::LPARAM lParam) {
  if (message == host::WM_APP_IME) {
    // A character arrives while the frame thread waits on this very send.
    typingInput->OnTextInputMessage(hwnd, host::WM_CHAR, 'k', 0);
    typingInput->EnableIme(wParam != 0);
    return 0;
  }
  return host::DefWindowProc(hwnd, message, wParam, lParam);
}

TEST(TextInputLock, AttachFromTheFrameThreadWhileTheWindowTypes) {
  EngineInput input;
  typingInput = &input;
  host::WindowDesc desc;
  desc.proc = TypingWindow;
  host::HWND window = host::CreateWindow(desc);
  ASSERT_TRUE(window);
  std::thread frame([&] {
    input.AttachTextInput(window);
    host::PostMessage(window, host::WM_USER, 0, 0);
  });
  host::MSG msg;
  while (host::GetMessage(&msg, host::HWND{}, 0, 0) > 0 && msg.message != host::WM_USER) {
    host::DispatchMessage(msg);
  }
  frame.join();
  EXPECT_TRUE(input.IsImeEnabled());
  EXPECT_EQ(input.AttachedWindow(), window);
  host::DestroyWindow(window);
  typingInput = nullptr;
}

}  // namespace
}  // namespace bw
