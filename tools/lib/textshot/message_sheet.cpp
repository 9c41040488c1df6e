#include "lib/textshot/message_sheet.h"

#include <cstdlib>
#include <memory>

#include "common/global.h"
#include "effects/cell_image.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/display_object.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/text/outline_text_renderer.h"
#include "gui/script_text.h"
#include "gui/text_view.h"
#include "host/clock.h"
#include "host/cp932.h"
#include "host/font/glyph_source.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"
#include "scenario/message/message_text_engine.h"

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
          (void)view_->AddItem({.label = "link", .labelValue = 1}, nullptr, kLinkColor);
        }
        return 0;
      case kCallCloseLink:
        if (drawing) view_->CloseItem();
        return 0;
      case kCallUpright:
        (void)view_->PutUpright("12");
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
      // Inside the surface just made.
      (void)s->SetPixel(x, y, v);
    }
  s->SetHasAlpha(true);
  return s;
}

// Four cells of a down-pointing triangle, growing brighter.
std::unique_ptr<ImageSurface> MarkStrip() {
  auto s = std::make_unique<ImageSurface>();
  if (s->Create(4 * kMarkCell, kMarkCell, 32, kImageDibSection) != 0) return nullptr;
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)s->Fill(0, nullptr);
  for (int32_t cell = 0; cell < 4; ++cell)
    for (int32_t y = 3; y < 13; ++y)
      for (int32_t x = 2; x < 14; ++x) {
        if (std::abs(x - 8) <= (13 - y) * 6 / 10) {
          const uint32_t level = uint32_t(0x90 + 0x20 * cell);
          // Inside the surface just made.
          (void)s->SetPixel(cell * kMarkCell + x, y, 0xFF000000 | level << 16 | level << 8 | 0x40);
        }
      }
  s->SetHasAlpha(true);
  return s;
}

// The display list drawn onto the sheet, farthest first.
void Compose(DisplayObjectList& list, ImageSurface* sheet) {
  for (auto it = list.Nodes().rbegin(); it != list.Nodes().rend(); ++it) {
    // What is not drawn shows as blank in the picture.
    if (it->object->IsVisible()) (void)it->object->DrawOver(sheet);
  }
}

Rect WindowRect(const MessageTextWidget& w) {
  return {w.GetX(), w.GetY(), w.GetX() + w.GetWidth(), w.GetY() + w.GetHeight()};
}

// What the sheet's windows draw with, in the order it is made; it goes in the reverse order.
struct SheetScene {
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  TrigTables trig;
  ScopedGlobal<TrigTables> trigScope{&trig};
  host::VirtualClock clock{0};
  ScopedGlobal<host::ClockSource> clockScope{&clock};
  TimerService timers;
  DisplayObjectList list;
  // The framed window.
  std::unique_ptr<OutlineTextRenderer> main, ruby, boxText;
  std::unique_ptr<ImageSurface> frame, strip;
  MessageTextWidget nameBox;
  TextView window;
  SheetRunner runner{&window};
  CellImage mark;
  // The vertical page.
  std::unique_ptr<OutlineTextRenderer> verticalMain, verticalRuby;
  TextView column;
  SheetRunner columnRunner{&column};
  std::unique_ptr<ImageSurface> columnFrame;
  // The typing.
  std::unique_ptr<OutlineTextRenderer> typingText;
  MessageTextEngine engine;
  SheetTyping typing;
  ScriptText typed{&engine, &timers};
  // The reveal.
  std::unique_ptr<OutlineTextRenderer> revealText;
  std::unique_ptr<ImageSurface> revealFrame;
  TextView reveal;
  SheetRunner revealRunner{&reveal};
};

// Each step answers nullptr, or the name of the window it could not make.
const char* SetUpFramedWindow(SheetScene& s) {
  s.main = Renderer(kMainSize, true);
  s.ruby = Renderer(kRubySize, true);
  s.boxText = Renderer(18, false);
  s.frame = FramePicture();
  s.strip = MarkStrip();
  if (!s.main || !s.ruby || !s.boxText || !s.frame || !s.strip) return "renderers";
  (void)s.nameBox.SetBackgroundColor(1, 0x503070, 230, false);
  if (s.nameBox.Create(&s.list, 20, 140, 34, 24, 12, s.boxText.get(), nullptr, 0) != 0) {
    return "name box";
  }
  TextView& window = s.window;
  if (!window.SetFrameSlices(16, 16, 16, 16) ||
      window.SetBackgroundImages(s.frame.get(), nullptr, nullptr, false) != 0 ||
      window.Create(&s.list, 30, 400, 200, 16, 40, s.main.get(), s.ruby.get(), 0) != 0) {
    return "window";
  }
  (void)window.SetMargins(16, 14, 16, 14, false);
  (void)window.EnableLinks(true, false);
  window.SetFrame(&s.runner);
  window.SetNameBox(&s.nameBox, 0);
  window.SetIndentChars(Cp932Literal("「").c_str());
  window.SetPlacement(1, 16, 48, 0, 0, kMessageSheetWidth - 200, kMessageSheetHeight);
  CellLayout markLayout;
  markLayout.cellCount = 4;
  markLayout.interval = 120;
  markLayout.targetSurface = &window.Page();
  markLayout.background = true;
  if (s.mark.SetImage(s.strip.get(), markLayout) != 0 ||
      window.SetWaitMark(&s.mark, &s.timers, true) != 0) {
    return "wait mark";
  }
  return nullptr;
}

// The name box, paragraph, ruby, link and wait mark, the mark one turn on.
const char* DrawFramedWindow(SheetScene& s) {
  if (const char* failed = SetUpFramedWindow(s)) return failed;
  TextView& window = s.window;
  const std::string paragraph =
      Cp932Literal("「吾輩は") + Call(kCallOpenLink) + Cp932Literal("猫") + Call(kCallCloseLink) +
      Cp932Literal("である。名前はまだ無い。どこで生れたかとんと") + Call(kCallBeginRuby) +
      Cp932Literal("見当") + Call(kCallDrawRuby) + Cp932Literal("がつかぬ。」");
  (void)window.SetMessage(paragraph.data(), paragraph.size());
  window.SetName(Cp932Literal("語り手").c_str(), nullptr);
  if (window.ShowMessage(true) != 0 || window.Lines().size() < 2) return "window";
  (void)window.EnterItem(0);
  s.clock.SetMilliseconds(360);
  s.timers.RunDue(360);
  return nullptr;
}

const char* MarkFramedWindow(const TextView& window, MessageMarks* marks) {
  int32_t x = 0, y = 0;
  window.GetCellOrigin(&x, &y, kMarkCell, kMarkCell);
  marks->waitMark = {window.GetX() + x, window.GetY() + y, window.GetX() + x + kMarkCell,
                     window.GetY() + y + kMarkCell};
  const TextLinkItem* item = window.GetItem(0);
  if (!item || item->area.empty()) return "link";
  const ItemRect& r = item->area.front();
  marks->link = {window.GetX() + r.x, window.GetY() + r.y, window.GetX() + r.x + r.width,
                 window.GetY() + r.y + r.height};
  const TextView::LineRecord& second = window.Lines()[1];
  marks->secondLine = {window.GetX() + 16, window.GetY() + second.box.top,
                       window.GetX() + second.box.right, window.GetY() + second.box.bottom};
  marks->hangX = window.GetX() + second.penX;
  return nullptr;
}

// The vertical page with an upright run.
const char* DrawVerticalPage(SheetScene& s) {
  s.verticalMain = Renderer(kMainSize, true);
  s.verticalRuby = Renderer(kRubySize, true);
  if (!s.verticalMain || !s.verticalRuby) return "renderers";
  TextView& column = s.column;
  s.columnFrame = FramePicture();
  if (!s.columnFrame || !column.SetFrameSlices(16, 16, 16, 16) ||
      column.SetBackgroundImages(s.columnFrame.get(), nullptr, nullptr, false) != 0 ||
      column.Create(&s.list, 40, 200, 300, 440, 40, s.verticalMain.get(), s.verticalRuby.get(),
                    0) != 0 ||
      column.SetVertical(true, true) != 0) {
    return "vertical";
  }
  (void)column.SetMargins(14, 16, 14, 16, false);
  column.SetFrame(&s.columnRunner);
  column.SetPlacement(2, kMessageSheetWidth - 16, 40, -1, 0, 0, 0);
  const std::string vertical = Cp932Literal("縦書きで") + Call(kCallUpright) +
                               Cp932Literal("時に会う。「ー」も、ちゃんと立つ。");
  (void)column.SetMessage(vertical.data(), vertical.size());
  return column.ShowMessage(true) != 0 ? "vertical" : nullptr;
}

// The typing, caught 150 ms after it began at 30 ms a character.
const char* DrawTyping(SheetScene& s) {
  s.typingText = Renderer(kMainSize, true);
  if (!s.typingText) return "renderers";
  ScriptText& typed = s.typed;
  (void)typed.SetBackgroundColor(1, 0x102840, 200, false);
  if (typed.Create(&s.list, 50, 400, 48, 16, 300, s.typingText.get(), nullptr, 0) != 0) {
    return "typing";
  }
  typed.SetEnvironment(&s.typing);
  const std::string message = Cp932Literal("一文字ずつ打たれていく文章。");
  s.engine.ParseMessageText({reinterpret_cast<const uint8_t*>(message.data()), message.size()});
  for (uint32_t t = 1000; t <= 1150; t += 10) {
    s.typing.now = t;
    s.clock.SetMilliseconds(t);
    if (t == 1000) (void)typed.StartDisplay(0);
    s.timers.RunDue(t);
  }
  return nullptr;
}

// The reveal, halfway through, with a soft edge of two characters.
const char* DrawReveal(SheetScene& s) {
  s.revealText = Renderer(kMainSize, true);
  s.revealFrame = FramePicture();
  if (!s.revealText || !s.revealFrame) return "renderers";
  TextView& reveal = s.reveal;
  if (!reveal.SetFrameSlices(16, 16, 16, 16) ||
      reveal.SetBackgroundImages(s.revealFrame.get(), nullptr, nullptr, false) != 0 ||
      reveal.Create(&s.list, 60, 600, 80, 16, 370, s.revealText.get(), nullptr, 0) != 0) {
    return "reveal";
  }
  (void)reveal.SetMargins(16, 14, 16, 14, false);
  reveal.SetFrame(&s.revealRunner);
  reveal.SetRevealTime(20);
  if (reveal.SetSoftEdge(2 * kMainSize) != 0) return "reveal";
  reveal.SetPlacement(1, 16, 370, -1, 0, 0, 0);
  const std::string wipe = Cp932Literal("柔らかな縁で左から右へ現れる文章です。");
  (void)reveal.SetMessage(wipe.data(), wipe.size());
  if (reveal.ShowMessage(true) != 0) return "reveal";
  (void)reveal.OnTick(2000);
  (void)reveal.OnTick(2000 + reveal.GetRevealTotal() / 2);
  return nullptr;
}

}  // namespace

bool DrawMessageSheet(ImageSurface* sheet, std::vector<TextSample>* samples, MessageMarks* marks,
                      std::string* error) {
  samples->clear();
  BuildBlendTables();
  if (sheet->Create(kMessageSheetWidth, kMessageSheetHeight, 32, kImageDibSection) != 0) {
    *error = "sheet";
    return false;
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)sheet->Fill(kSheetBackground, nullptr);
  SheetScene s;
  const char* failed = DrawFramedWindow(s);
  if (!failed) failed = MarkFramedWindow(s.window, marks);
  if (!failed) failed = DrawVerticalPage(s);
  if (!failed) failed = DrawTyping(s);
  if (!failed) failed = DrawReveal(s);
  if (failed) {
    *error = failed;
    return false;
  }
  Compose(s.list, sheet);
  samples->push_back({"window", WindowRect(s.window)});
  samples->push_back({"name box", WindowRect(s.nameBox)});
  samples->push_back({"vertical", WindowRect(s.column)});
  samples->push_back({"typing", WindowRect(s.typed)});
  samples->push_back({"reveal", WindowRect(s.reveal)});
  // The widgets leave the list before it goes.
  s.window.RemoveWaitMark();
  s.timers.Clear();
  return true;
}

}  // namespace bw::tools
