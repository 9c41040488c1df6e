// The input method around the text fields: opening and closing it with the focus, the
// composition box at the caret, and the mode indicator.
#include "graphics/surface/composition_layer.h"
#include "gui/ime_indicator.h"
#include "gui/part_manager.h"
#include "host/input/text_input.h"
#include "input/ime_context.h"
#include "text_input_fixture.h"
#include "text_widget_fixture.h"

namespace bw::test {
namespace {

constexpr char kBuri[] = "\x82\xD4\x82\xE8\x82\xDE";  // ぶりむ
constexpr char kAlnum[] = "\x89\x70\x90\x94";         // 英数

// A pointer tip that keeps the open and close requests it passes to the window thread.
class ImeRequestTip : public RecordingPointerTip {
 public:
  bool SendTextInputMessage(uint32_t value) override {
    requests.push_back(value);
    return true;
  }
  std::vector<uint32_t> requests;
};

class ImeTest : public TextFieldTest {
 protected:
  void SetUp() override {
    TextFieldTest::SetUp();
    host::ResetTextInput();
    EXPECT_TRUE(ime.Attach(host::HWND{7}));
    requestTip.SetServices(&services);
  }
  void TearDown() override {
    host::ResetTextInput();
    TextFieldTest::TearDown();
  }
  ImeContext ime;
  ImeRequestTip requestTip;
};

TEST_F(ImeTest, OpenedOnFocusAndClosedOnLossOnlyForFieldsThatAskAndAnIndicatorMadeLaterServesThem) {
  const struct {
    bool useIme, fullWidthOnly, wantRequests;
  } cases[] = {{false, false, false}, {true, false, true}, {false, true, true}};
  for (const auto& c : cases) {
    requestTip.requests.clear();
    TextInputPart field;
    MakeLine(field, font, 200, &ime);
    field.SetUseIme(c.useIme);
    field.SetFullWidthOnly(c.fullWidthOnly);
    EXPECT_EQ(requestTip.AddControl(&field, -1), kAddControlDone);
    (void)requestTip.SetFocus(&field);
    host::StartTextInput();  // what the window thread does with the request
    (void)requestTip.SetFocus(nullptr);
    host::StopTextInput();
    const std::vector<uint32_t> want =
        c.wantRequests ? std::vector<uint32_t>{1, 0} : std::vector<uint32_t>{};
    EXPECT_EQ(requestTip.requests, want) << c.useIme << c.fullWidthOnly;
    requestTip.RemoveAll();
  }

  // The part manager's indicator serves the fields made before it as well as those made after,
  // and no field keeps it once it is taken down (checked by the sanitizer build).
  ImageSurface screen;
  ASSERT_EQ(screen.Create(400, 100, 32, kImageDibSection), 0);
  CompositionLayer layer;
  (void)layer.SetTarget(&screen, true);
  PartManager parts;
  parts.SetTarget(&layer);
  parts.SetTextInputServices(&timers, &ime);
  TextInputPart* field = nullptr;
  ASSERT_EQ(parts.CreateTextInput(&field, {.order = 1, .font = &font, .width = 100, .margin = 1}),
            kTextInputDone);
  EXPECT_EQ(requestTip.AddControl(field, -1), kAddControlDone);
  ASSERT_EQ(parts.CreateImeIndicator(&font, 300, 5), kIndicatorDone);
  (void)requestTip.SetFocus(field);
  EXPECT_TRUE(parts.GetImeIndicator()->IsVisible()) << "the field shows it while focused";
  (void)requestTip.SetFocus(nullptr);
  EXPECT_FALSE(parts.GetImeIndicator()->IsVisible());
  parts.DestroyImeIndicator();
  (void)requestTip.SetFocus(field);
  requestTip.RemoveAll();
}

TEST_F(ImeTest, TheCompositionBoxStandsAtTheCaretAndTheCandidatesOpenBelowOrRightOfIt) {
  TextInputPart field;
  MakeLine(field, font, 200, &ime);
  Type(field, "ab");
  const Sprite& box = *field.CompositionSprite();

  // The cursor at the end: nothing converted, plain colours.
  host::SetComposition(kBuri);
  (void)field.OnKeyInput(nullptr);
  ASSERT_TRUE(box.IsVisible());
  EXPECT_EQ(std::pair(box.GetX(), box.GetY()), std::pair(10 + 1 + 16, 20 + 1))
      << "at the caret, after two one-byte characters";
  EXPECT_EQ(std::pair(ime.CaretX(), ime.CaretY()), std::pair(box.GetX(), box.GetY() + 16))
      << "the candidates open below the box";
  ImageSurface plain;
  ASSERT_EQ(plain.CopyFrom(field.CompositionSurface(), 2), 0);
  EXPECT_EQ(box.GetSourceRect().right, 48);

  // Converting: the cursor at 0 highlights the first clause, the colours swapped pixel by pixel.
  host::SetComposition(kBuri, 0);
  (void)field.OnKeyInput(nullptr);
  const ImageSurface& lit = *field.CompositionSurface();
  const uint32_t text = 0xFF0000FF, back = 0xFFFFFFFF;
  int textPixels = 0;
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 48; ++x) {
      const uint32_t was = plain.GetPixel(x, y);
      ASSERT_TRUE(was == text || was == back) << x << "," << y;
      textPixels += was == text;
      ASSERT_EQ(lit.GetPixel(x, y), was == text ? back : text) << x << "," << y;
    }
  }
  EXPECT_GT(textPixels, 0);

  // Committing hides the box and inserts the text.
  host::SetComposition("");
  Type(field, kBuri);
  (void)field.OnKeyInput(nullptr);
  EXPECT_EQ(std::tuple(box.IsVisible(), field.Text()),
            std::tuple(false, std::string("ab") + kBuri));

  // Vertical text: the candidates open right of the box.
  TextInputPart column;
  MakeLine(column, vertical, 200, &ime);
  host::SetComposition(kBuri);
  (void)column.OnKeyInput(nullptr);
  const Sprite& columnBox = *column.CompositionSprite();
  EXPECT_EQ(
      std::tuple(columnBox.GetX(), ime.CaretX(), ime.CaretY(), columnBox.GetSourceRect().bottom),
      std::tuple(11, 11 + 16, 21, 48));
  EXPECT_EQ(requestTip.AddControl(&column, -1), kAddControlDone);
  (void)requestTip.SetFocus(&column);
  (void)requestTip.SetFocus(nullptr);
  EXPECT_FALSE(columnBox.IsVisible()) << "losing the focus hides the box";
}

TEST(ImeModeLabels, EachModeWordGivesItsString) {
  const struct {
    bool open;
    uint32_t conversion, sentence;
    std::string want;
  } cases[] = {
      {false, 0x19, 0x08, kAlnum},
      {true, 0x119, 0x08, kAlnum},
      {true, 0x19, 0x08, "\x82\x71\x91\x53\x82\xD0\x98\x41"},  // Ｒ全ひ連
      {true, 0x00, 0x02, "\x94\xBC\x89\x70\x92\x50"},          // 半英単
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ImeModeLabel(c.open, c.conversion, c.sentence), c.want)
        << std::hex << c.conversion << " " << c.sentence;
  }
}

TEST_F(ImeTest, TheIndicatorKeepsItsRightEdgeAndRedrawsOnAColourChange) {
  ImeIndicator indicator;
  ASSERT_EQ(indicator.Create(&list, &ime, &font, 300, 5, true, 0), kIndicatorDone);
  const int32_t closedWidth = indicator.GetSprite().GetSourceRect().right;
  EXPECT_EQ(indicator.GetX() + closedWidth, 300);

  host::StartTextInput();
  indicator.Refresh();
  const int32_t openWidth = indicator.GetSprite().GetSourceRect().right;
  EXPECT_GT(openWidth, closedWidth) << "four glyphs are wider than two";
  EXPECT_EQ(indicator.GetX() + openWidth, 300);
  const uint32_t drawn = indicator.DrawCount();
  (void)indicator.SetColors(0xFFFFFFFF, 0x112233);
  indicator.Refresh();
  EXPECT_EQ(indicator.DrawCount(), drawn + 1) << "a colour change redraws";

  EXPECT_EQ(indicator.Create(&list, nullptr, &font, 0, 0, true, 0), kIndicatorBadArguments);
}

}  // namespace
}  // namespace bw::test
