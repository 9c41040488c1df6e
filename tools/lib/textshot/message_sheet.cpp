#include "lib/textshot/message_sheet.h"

#include <cstdlib>
#include <memory>

#include "common/global.h"
#include "effects/cell_image.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/display_object.h"
#include "graphics/surface/pixel_library.h"
#include "gui/script_text.h"
#include "gui/text_view.h"
#include "host/clock.h"
#include "host/cp932.h"
#include "host/font/glyph_source.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"
#include "scenario/message/message_text_engine.h"
#include "scenario/text/outline_text_renderer.h"

namespace bw::tools {
namespace {

using host::Cp932Literal;

constexpr uint32_t kCacheCapacity = 512;
constexpr int32_t kMainSize = 22;
constexpr int32_t kRubySize = 11;
constexpr int32_t kMarkCell = 16;
constexpr uint32_t kLinkColor = 0x7040A0FF;

// The calls the sheet's text embeds.
constexpr uint32_t kCallBeginRuby = 1;
constexpr uint32_t kCallDrawRuby = 2;
constexpr uint32_t kCallOpenLink = 3;
constexpr uint32_t kCallCloseLink = 4;
constexpr uint32_t kCallUpright = 5;

std::string Call(uint32_t number) {
  std::string s("\0[", 2);
  for (uint32_t v : {12u, number, 0u}) {
    for (int i = 0; i < 4; ++i) s += char(v >> (8 * i));
  }
  return s;
}

// The scenario frame's part: the ruby, link and upright calls run on the view.
class SheetRunner : public TgsCallRunner {
 public:
  explicit SheetRunner(TextView* view) : view_(view) {}
  int RunCall(std::span<const uint8_t> record) override {
    const uint32_t number = record[6];
    const bool drawing = view_->GetLayoutMode() != kLayoutMeasuring;
    switch (number) {
      case kCallBeginRuby:
        return view_->BeginRuby();
      case kCallDrawRuby:
        return view_->DrawRuby(Cp932Literal("けんとう").c_str(), nullptr);
      case kCallOpenLink:
        // Items belong to the drawn page, not to the measuring.
        if (drawing) {
          view_->AddItem("link", 1, nullptr, nullptr, 0, 0, 0, kLinkColor, nullptr, nullptr,
                         nullptr, -1, -1, -1);
        }
        return 0;
      case kCallCloseLink:
        if (drawing) view_->CloseItem();
        return 0;
      case kCallUpright:
        view_->PutUpright("12");
        return 0;
      default:
        return 1;
    }
  }
  int MessageState() const override { return 0; }

 private:
  TextView* view_;
};

class SheetTyping : public TypingEnvironment {
 public:
  TextSpeedSettings GetTextSpeeds() const override { return {}; }
  bool IsSkipModifierDown() const override { return false; }
  bool IsSkipForbidden() const override { return false; }
  uint32_t Now() const override { return now; }
  uint32_t now = 0;
};

std::unique_ptr<OutlineTextRenderer> Renderer(int32_t size, bool edged) {
  auto r = std::make_unique<OutlineTextRenderer>(host::FreeTypeGlyphSource(), kCacheCapacity);
  if (r->SetFont(size, false, false, Cp932Literal("ＭＳ ゴシック").c_str()) != 0) return nullptr;
  if (edged) {
    r->SetStyle(kTextEdge);
    r->SetDecorationColor(30, 40, 90);
  }
  return r;
}

// A 48-pixel frame: a light rim, a dark border shading inwards, a translucent middle; cut into
// 16-pixel corners and 16-pixel tiles.
std::unique_ptr<ImageSurface> FramePicture() {
  auto s = std::make_unique<ImageSurface>();
  if (s->Create(48, 48, 32, kImageDibSection) != 0) return nullptr;
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 48; ++x) {
      const int32_t d = std::min(std::min(x, y), std::min(47 - x, 47 - y));
      uint32_t v = 0xD0182440;
      if (d < 2) {
        v = 0xFFE8D8A8;
      } else if (d < 10) {
        const uint32_t level = uint32_t(0x50 - 5 * d);
        v = 0xF0000000 | level << 16 | (level + 0x10) << 8 | (level + 0x40);
      }
      s->SetPixel(x, y, v);
    }
  s->SetHasAlpha(true);
  return s;
}

// Four cells of a down-pointing triangle, growing brighter.
std::unique_ptr<ImageSurface> MarkStrip() {
  auto s = std::make_unique<ImageSurface>();
  if (s->Create(4 * kMarkCell, kMarkCell, 32, kImageDibSection) != 0) return nullptr;
  s->Fill(0, nullptr);
  for (int32_t cell = 0; cell < 4; ++cell)
    for (int32_t y = 3; y < 13; ++y)
      for (int32_t x = 2; x < 14; ++x) {
        if (std::abs(x - 8) <= (13 - y) * 6 / 10) {
          const uint32_t level = uint32_t(0x90 + 0x20 * cell);
          s->SetPixel(cell * kMarkCell + x, y, 0xFF000000 | level << 16 | level << 8 | 0x40);
        }
      }
  s->SetHasAlpha(true);
  return s;
}

// The display list drawn onto the sheet, farthest first.
void Compose(DisplayObjectList& list, ImageSurface* sheet) {
  for (auto it = list.Nodes().rbegin(); it != list.Nodes().rend(); ++it) {
    if (it->object->IsVisible()) it->object->DrawOver(sheet);
  }
}

Rect WindowRect(const MessageTextWidget& w) {
  return {w.GetX(), w.GetY(), w.GetX() + w.GetWidth(), w.GetY() + w.GetHeight()};
}

}  // namespace

bool DrawMessageSheet(ImageSurface* sheet, std::vector<TextSample>* samples, MessageMarks* marks,
                      std::string* error) {
  samples->clear();
  const auto fail = [&](const char* name) {
    *error = name;
    return false;
  };
  BuildBlendTables();
  if (sheet->Create(kMessageSheetWidth, kMessageSheetHeight, 32, kImageDibSection) != 0) {
    return fail("sheet");
  }
  sheet->Fill(kSheetBackground, nullptr);
  ScopedPixelLibrary library(&BuiltInPixelLibrary());
  TrigTables trig;
  ScopedGlobal<TrigTables> trigScope(&trig);
  host::VirtualClock clock(0);
  ScopedGlobal<host::ClockSource> clockScope(&clock);
  TimerService timers;
  DisplayObjectList list;

  // The framed window: name box, paragraph, ruby, link and wait mark.
  auto main = Renderer(kMainSize, true);
  auto ruby = Renderer(kRubySize, true);
  auto boxText = Renderer(18, false);
  std::unique_ptr<ImageSurface> frame = FramePicture();
  std::unique_ptr<ImageSurface> strip = MarkStrip();
  if (!main || !ruby || !boxText || !frame || !strip) return fail("renderers");
  MessageTextWidget nameBox;
  nameBox.SetBackgroundColor(1, 0x503070, 230, false);
  if (nameBox.Create(&list, 20, 140, 34, 24, 12, boxText.get(), nullptr, 0) != 0) {
    return fail("name box");
  }
  TextView window;
  SheetRunner runner(&window);
  if (!window.SetFrameSlices(16, 16, 16, 16) ||
      window.SetBackgroundImages(frame.get(), nullptr, nullptr, false) != 0 ||
      window.Create(&list, 30, 400, 200, 16, 40, main.get(), ruby.get(), 0) != 0) {
    return fail("window");
  }
  window.SetMargins(16, 14, 16, 14, false);
  window.EnableLinks(true, false);
  window.SetFrame(&runner);
  window.SetNameBox(&nameBox, 0);
  window.SetIndentChars(Cp932Literal("「").c_str());
  window.SetPlacement(1, 16, 48, 0, 0, kMessageSheetWidth - 200, kMessageSheetHeight);
  CellImage mark;
  CellLayout markLayout;
  markLayout.cellCount = 4;
  markLayout.interval = 120;
  markLayout.targetSurface = &window.Page();
  markLayout.background = true;
  if (mark.SetImage(strip.get(), markLayout) != 0 ||
      window.SetWaitMark(&mark, &timers, true) != 0) {
    return fail("wait mark");
  }
  const std::string paragraph =
      Cp932Literal("「吾輩は") + Call(kCallOpenLink) + Cp932Literal("猫") + Call(kCallCloseLink) +
      Cp932Literal("である。名前はまだ無い。どこで生れたかとんと") + Call(kCallBeginRuby) +
      Cp932Literal("見当") + Call(kCallDrawRuby) + Cp932Literal("がつかぬ。」");
  window.SetMessage(paragraph.data(), paragraph.size());
  window.SetName(Cp932Literal("語り手").c_str(), nullptr);
  if (window.ShowMessage(true) != 0 || window.Lines().size() < 2) return fail("window");
  window.EnterItem(0);
  clock.SetMilliseconds(360);
  timers.RunDue(360);
  {
    int32_t x = 0, y = 0;
    window.GetCellOrigin(&x, &y, kMarkCell, kMarkCell);
    marks->waitMark = {window.GetX() + x, window.GetY() + y, window.GetX() + x + kMarkCell,
                       window.GetY() + y + kMarkCell};
    const TextLinkItem* item = window.GetItem(0);
    if (!item || item->area.empty()) return fail("link");
    const ItemRect& r = item->area.front();
    marks->link = {window.GetX() + r.x, window.GetY() + r.y, window.GetX() + r.x + r.width,
                   window.GetY() + r.y + r.height};
    const TextView::LineRecord& second = window.Lines()[1];
    marks->secondLine = {window.GetX() + 16, window.GetY() + second.box.top,
                         window.GetX() + second.box.right, window.GetY() + second.box.bottom};
    marks->hangX = window.GetX() + second.penX;
  }

  // The vertical page with an upright run.
  auto vmain = Renderer(kMainSize, true);
  auto vruby = Renderer(kRubySize, true);
  if (!vmain || !vruby) return fail("renderers");
  TextView column;
  SheetRunner columnRunner(&column);
  auto plain = FramePicture();
  if (!plain || !column.SetFrameSlices(16, 16, 16, 16) ||
      column.SetBackgroundImages(plain.get(), nullptr, nullptr, false) != 0 ||
      column.Create(&list, 40, 200, 300, 440, 40, vmain.get(), vruby.get(), 0) != 0 ||
      column.SetVertical(true, true) != 0) {
    return fail("vertical");
  }
  column.SetMargins(14, 16, 14, 16, false);
  column.SetFrame(&columnRunner);
  column.SetPlacement(2, kMessageSheetWidth - 16, 40, -1, 0, 0, 0);
  const std::string vertical = Cp932Literal("縦書きで") + Call(kCallUpright) +
                               Cp932Literal("時に会う。「ー」も、ちゃんと立つ。");
  column.SetMessage(vertical.data(), vertical.size());
  if (column.ShowMessage(true) != 0) return fail("vertical");

  // The typing, caught 150 ms after it began at 30 ms a character.
  auto typingText = Renderer(kMainSize, true);
  if (!typingText) return fail("renderers");
  MessageTextEngine engine;
  SheetTyping typing;
  ScriptText typed(&engine, &timers);
  typed.SetBackgroundColor(1, 0x102840, 200, false);
  if (typed.Create(&list, 50, 400, 48, 16, 300, typingText.get(), nullptr, 0) != 0) {
    return fail("typing");
  }
  typed.SetEnvironment(&typing);
  const std::string message = Cp932Literal("一文字ずつ打たれていく文章。");
  engine.ParseMessageText({reinterpret_cast<const uint8_t*>(message.data()), message.size()});
  for (uint32_t t = 1000; t <= 1150; t += 10) {
    typing.now = t;
    clock.SetMilliseconds(t);
    if (t == 1000) typed.StartDisplay(0);
    timers.RunDue(t);
  }

  // The reveal, halfway through, with a soft edge of two characters.
  auto revealText = Renderer(kMainSize, true);
  auto revealFrame = FramePicture();
  if (!revealText || !revealFrame) return fail("renderers");
  TextView reveal;
  SheetRunner revealRunner(&reveal);
  if (!reveal.SetFrameSlices(16, 16, 16, 16) ||
      reveal.SetBackgroundImages(revealFrame.get(), nullptr, nullptr, false) != 0 ||
      reveal.Create(&list, 60, 600, 80, 16, 370, revealText.get(), nullptr, 0) != 0) {
    return fail("reveal");
  }
  reveal.SetMargins(16, 14, 16, 14, false);
  reveal.SetFrame(&revealRunner);
  reveal.SetRevealTime(20);
  if (reveal.SetSoftEdge(2 * kMainSize) != 0) return fail("reveal");
  reveal.SetPlacement(1, 16, 370, -1, 0, 0, 0);
  const std::string wipe = Cp932Literal("柔らかな縁で左から右へ現れる文章です。");
  reveal.SetMessage(wipe.data(), wipe.size());
  if (reveal.ShowMessage(true) != 0) return fail("reveal");
  reveal.OnTick(2000);
  reveal.OnTick(2000 + reveal.GetRevealTotal() / 2);

  Compose(list, sheet);
  samples->push_back({"window", WindowRect(window)});
  samples->push_back({"name box", WindowRect(nameBox)});
  samples->push_back({"vertical", WindowRect(column)});
  samples->push_back({"typing", WindowRect(typed)});
  samples->push_back({"reveal", WindowRect(reveal)});
  // The widgets leave the list before it goes.
  window.RemoveWaitMark();
  timers.Clear();
  return true;
}

}  // namespace bw::tools
