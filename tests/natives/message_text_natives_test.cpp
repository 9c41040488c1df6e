#include "natives/message_text_natives.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/display_object.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "gui/image_list_part.h"
#include "native_rig.h"
#include "natives/native_names.h"
#include "scenario/message/script_message_text.h"
#include "support/text_renderers.h"

namespace bw {
namespace {

// The rig's host restarted over a script table with one record, with the message text object the
// application makes.
class MessageNatives : public ::testing::Test, public testing_text::FakeFaceRenderers {
 protected:
  void SetUp() override {
    BuildBlendTables();
    rig.app.files.Put("SCRIPT\\SOB_INIT.DAT", Sob(".table\n.script MAIN 64 64\n"));
    ASSERT_EQ(StartScriptHost(rig.app, rig.host), 0);
    rig.host->SetMessageText(std::make_unique<ScriptMessageText>(rig.host.get(), &Mem()));
    ASSERT_EQ(picture.Create(200, 60, 32, 0), 0);
  }
  GuestMemory& Mem() { return rig.Memory(); }
  int32_t Call(uint32_t n, std::initializer_list<uint32_t> w) { return rig.Answer(n, w); }
  // A compiled block: three head bytes, then the text and its terminator.
  uint32_t Block(std::initializer_list<uint8_t> head, const std::string& text) {
    std::string bytes(head.begin(), head.end());
    return rig.Text(bytes + text);
  }
  ScriptMessageText& Text() { return *static_cast<ScriptMessageText*>(rig.host->MessageText()); }

  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  NativeRig rig;
  ImageSurface picture;
};

// The picture must be an image, a software layer or the canvas, the renderer an outline one;
// stale and mistyped handles count as missing, and nothing is drawn before the checks pass.
TEST_F(MessageNatives, OutputAndDrawsCheckTheirPictureAndRenderer) {
  Sprite sprite;
  const uint32_t image = rig.Give(ScriptObjectType::kSurface, static_cast<Surface*>(&picture));
  const uint32_t outlineFont = rig.Give(ScriptObjectType::kTextRenderer, &outline);
  const uint32_t gdiFont = rig.Give(ScriptObjectType::kTextRenderer, &gdi);
  const uint32_t notPicture =
      rig.Give(ScriptObjectType::kDisplayObject, static_cast<DisplayObject*>(&sprite));
  struct Case {
    uint32_t image, renderer;
    int32_t output, draw;
  } cases[] = {{image, outlineFont, 0, 0},
               {notPicture, outlineFont, kOutputBadImage, kDrawBadImage},
               {image, gdiFont, kOutputBadRenderer, kDrawBadRenderer},
               {image, 0, kOutputBadRenderer, 0}};
  ASSERT_EQ(Call(Native::kMessageSet, {Block({0, 5, 0}, "#Ann$Hello")}), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.image << "/" << c.renderer);
    EXPECT_EQ(Call(Native::kMessageSetOutput, {c.image, 0, 4, 4, c.renderer, 0, 0, 0}), c.output);
    EXPECT_EQ(Call(Native::kMessageDrawTextPart, {0, 0, 0, c.image, 0, c.renderer}), c.draw);
    EXPECT_EQ(Call(Native::kMessageDrawChoice, {0, 0, 0, c.image, 0, c.renderer}),
              c.draw == 0 ? 2 : c.draw)
        << "no choice 0";
  }
  EXPECT_EQ(Call(Native::kMessageGetRenderer, {}), static_cast<int32_t>(outlineFont));

  // A renderer the script destroyed is forgotten, not drawn with.
  auto doomed = std::make_unique<OutlineTextRenderer>(testing_text::FakeSource(), 16);
  doomed->SetFont(16, false, false, nullptr);
  const uint32_t doomedFont = rig.Give(ScriptObjectType::kTextRenderer, doomed.get());
  ASSERT_EQ(Call(Native::kMessageSetOutput, {image, 0, 4, 4, doomedFont, 0, 0, 0}), 0);
  doomed.reset();
  EXPECT_EQ(Call(Native::kMessageDrawTextPart, {0, 0, 0, 0, 255, 0}), 1)
      << "the stored output is gone";
  EXPECT_EQ(Call(Native::kMessageDrawAll, {}), 0);
  EXPECT_EQ(Call(Native::kMessageGetRenderer, {}), 0);
}

// Texts go into the script's buffers with their terminators; sizes and addresses the script
// gives are checked; a choice's text comes back as a guest copy.
TEST_F(MessageNatives, TextsReachTheScriptsBuffers) {
  ASSERT_EQ(Call(Native::kMessageSet, {Block({0, 1, 0}, "#Dee\\Eve$th\\ree<\"tag\">")}), 0);
  const uint32_t buffer = rig.Block(32);
  EXPECT_EQ(Call(Native::kMessageGetTextPart, {2, buffer}), 4);
  EXPECT_EQ(rig.Read(buffer), "Eve");
  EXPECT_EQ(Call(Native::kMessageGetPlainText, {buffer}), 7);
  EXPECT_EQ(rig.Read(buffer), "th\r\nree");
  int32_t token = 0;
  for (int i = 0; i < 8 && token != MessageTextEngine::kQuotedTag; ++i)
    token = Call(Native::kMessageAdvance, {0});
  EXPECT_EQ(Call(Native::kMessageGetTagText, {buffer}), 1);
  EXPECT_EQ(rig.Read(buffer), "tag");
  EXPECT_TRUE(rig.Call(Native::kMessageSet, {PastTheArena(Mem())}).faulted);

  const std::string list{'\x02', '\x04', '\x01', 'a', '\0', '\x05', '\x01', 'b', 'c', '\0'};
  ASSERT_EQ(Call(Native::kMessageSetChoices, {Block({1, 10, 0}, list)}), 0);
  EXPECT_EQ(Call(Native::kMessageCopyChoiceText, {1, buffer, 3}), 0);
  EXPECT_EQ(rig.Read(buffer), "bc");
  EXPECT_EQ(Call(Native::kMessageCopyChoiceText, {1, buffer, 2}), 3);
  EXPECT_TRUE(rig.Call(Native::kMessageCopyChoiceText, {1, PastTheArena(Mem()), 8}).faulted)
      << "a buffer outside the arena";
  EXPECT_EQ(rig.Read(static_cast<uint32_t>(Call(Native::kMessageGetChoiceText, {0}))), "a");
  EXPECT_EQ(Call(Native::kMessageSetMaxChoices, {0x7FFFFFFF}), 1);
  EXPECT_EQ(Text().MaxChoices(), kMostChoices) << "bounded, not billions of slots";
}

// The current choice list reads the message's choice flags after the choices or the shown
// message change, forgets them when the choices are cleared, and is forgotten when deleted.
TEST_F(MessageNatives, ChoiceListIsRefreshed) {
  DisplayObjectList list;
  auto menu = std::make_unique<ImageListPart>();
  ASSERT_EQ(menu->Setup(&list, 0, 0, 0, 60, 20, 0, &gdi, 0), 0);
  for (const char* label : {"a", "b"})
    ASSERT_EQ(menu->AddCell(label, nullptr, false, -1, nullptr, -1, nullptr, 0, 0, 0), 0);
  CurrentChoiceList& current = rig.host->Extension<CurrentChoiceList>();
  EXPECT_EQ(current.Set(nullptr), 1);
  ASSERT_EQ(current.Set(menu.get()), 0);

  Call(Native::kMessageSetHistoryEnabled, {1});
  Call(Native::kMessageSetHistoryCapacity, {4});
  const std::string two{'\x02', '\x04', '\x01', 'a', '\0', '\x04', '\x01', 'b', '\0'};
  ASSERT_EQ(Call(Native::kMessageSet, {Block({0, 1, 0}, "Q")}), 0);
  ASSERT_EQ(Call(Native::kMessageSetChoices, {Block({1, 10, 0}, two)}), 0);
  menu->Choose(1);
  EXPECT_EQ(Call(Native::kMessageIsChoiceRead, {1}), 1)
      << "the list marked the choice read at the message's bits";
  EXPECT_EQ(Call(Native::kMessageIsChoiceRead, {0}), 0);

  Call(Native::kMessageClearChoiceState, {});
  menu->Choose(0);
  EXPECT_EQ(Call(Native::kMessageIsChoiceRead, {0}), 0) << "a cleared selection marks nothing";
  ASSERT_EQ(Call(Native::kMessageSet, {Block({0, 2, 0}, "R")}),
            0);  // the choices go into the history
  ASSERT_EQ(Call(Native::kMessageShowPrevious, {}), 0);
  menu->Choose(0);
  EXPECT_TRUE(rig.host->TestReadFlagB(10, true)) << "the shown message's choices again";

  // Mode 2 keeps no flags: the list is given none.
  ASSERT_EQ(Call(Native::kMessageClearChoices, {}), 0);
  ASSERT_EQ(Call(Native::kMessageSetChoices, {Block({2, 20, 0}, two)}), 0);
  menu->Choose(0);
  EXPECT_FALSE(rig.host->TestReadFlagB(20, true));
  menu.reset();
  EXPECT_EQ(current.Get(), nullptr);
  EXPECT_EQ(Call(Native::kMessageSetChoices, {Block({1, 30, 0}, two)}), 0)
      << "a deleted list is not refreshed";
}

}  // namespace
}  // namespace bw
