// A GUI screen through the display manager and the message input path on SDL: a GMP screen with
// three file buttons and a choice list, driven by pointer moves, clicks, the wheel and keys pushed
// as SDL events (the headless backend's run of the same parts is the demo's GUI scene).
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/pixel_library.h"
#include "gui/gmp_part_loader.h"
#include "gui/part_fixture.h"
#include "gui/part_manager.h"
#include "gui/pointer_tip.h"
#include "host/message_queue.h"
#include "host/presentation_sink.h"
#include "host/sdl/sdl_backend.h"
#include "host/take_messages.h"
#include "input/input_binding_table.h"
#include "input/input_manager.h"
#include "lib/bmp/bmp_builder.h"
#include "lib/gmp/gmp_writer.h"
#include "platform/bit_set.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "script/guest_memory.h"
#include "support/game_folder.h"
#include "support/text_renderers.h"

namespace bw {
namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;

class GuiScreen : public testing::Test {
 protected:
  void SetUp() override {
    BuildBlendTables();
    RegisterBuiltinLoaders(images_);
    std::string error;
    sdl_ = host::SdlBackend::Create(&error);
    ASSERT_NE(sdl_, nullptr) << error;
    useBackend_.emplace(sdl_.get());
    host::WindowDesc desc;
    desc.proc = host::DefWindowProc;
    desc.native = true;
    desc.nativeDesc = host::NativeWindowDesc{"gui", kWidth, kHeight, true};
    window_ = host::CreateWindow(desc);
    ASSERT_TRUE(window_);
    // What the window shows, read back just before it is presented.
    sdl_->SdlSinkOf(window_)->SetOverlay([this] {
      SDL_Renderer* renderer = sdl_->SdlRendererOf(window_);
      int w = 0, h = 0;
      if (SDL_GetRendererOutputSize(renderer, &w, &h) != 0) return;
      shown_.width = w;
      shown_.height = h;
      shown_.bgra.resize(size_t(w) * h * 4);
      if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, shown_.bgra.data(),
                               w * 4) != 0)
        shown_.bgra.clear();
    });
    CanvasLayer* canvas = nullptr;
    ASSERT_EQ(display_.CreateCanvasLayer(&canvas, kWidth, kHeight, 32, kLayerComposed), 0);
    (void)display_.SetScreenSurface(canvas);
    ASSERT_EQ(display_.SetMode(window_, true, false), 0);
    layer_ = canvas->GetCompositionLayer();

    services_.x = services_.y = -1;
    services_.now = 0;
    tip_.SetServices(&services_);
    tip_.SetTargetLayer(layer_);
    parts_.SetTarget(layer_);
    (void)font_.SetFont(16, false, false, nullptr);
  }
  void TearDown() override {
    parts_.DeleteAll();
    if (window_) {
      EXPECT_TRUE(host::DestroyWindow(window_));
    }
    host::test::TakeMessages();
    useBackend_.reset();
    sdl_.reset();
  }

  void Queue(host::InputEventKind kind, int32_t x = 0, int32_t y = 0, uint32_t key = 0,
             int notches = 0) {
    SDL_Event event{};
    const uint32_t id = sdl_->SdlWindowId(window_);
    const bool down =
        kind == host::InputEventKind::kMouseButtonDown || kind == host::InputEventKind::kKeyDown;
    const Uint8 state = down ? SDL_PRESSED : SDL_RELEASED;
    switch (kind) {
      case host::InputEventKind::kMouseMove:
        event.type = SDL_MOUSEMOTION;
        event.motion = {SDL_MOUSEMOTION, 0, id, 0, 0, x, y, 0, 0};
        break;
      case host::InputEventKind::kMouseButtonDown:
      case host::InputEventKind::kMouseButtonUp: {
        const Uint32 type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        event.button = {type, 0, id, 0, SDL_BUTTON_LEFT, state, 1, 0, x, y};
        break;
      }
      case host::InputEventKind::kMouseWheel:
        event.type = SDL_MOUSEWHEEL;
        event.wheel.windowID = id;
        event.wheel.y = notches;
        event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
        break;
      case host::InputEventKind::kKeyDown:
      case host::InputEventKind::kKeyUp: {
        const SDL_Scancode code = key == 0x0D ? SDL_SCANCODE_RETURN : SDL_SCANCODE_DOWN;
        const Uint32 type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key = {type, 0, id, state, 0, 0, 0, {code, SDL_GetKeyFromScancode(code), 0, 0}};
        break;
      }
      default:
        FAIL() << "no SDL event for this kind";
    }
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
  }
  // The event queued and a frame run on it.
  int Send(host::InputEventKind kind, int32_t x = 0, int32_t y = 0, uint32_t key = 0,
           int notches = 0) {
    Queue(kind, x, y, key, notches);
    return Frame();
  }
  // One frame: the window's messages feed the devices, the pointer tip steps, the frame shows.
  int Frame() {
    services_.now += 16;
    host::MSG msg;
    while (host::PeekMessage(&msg, host::HWND{}, 0, 0, host::PM_REMOVE)) {
      const int32_t px = static_cast<int16_t>(msg.lParam & 0xFFFF);
      const int32_t py = static_cast<int16_t>((msg.lParam >> 16) & 0xFFFF);
      switch (msg.message) {
        case host::WM_MOUSEMOVE:
          services_.x = px, services_.y = py;
          break;
        case host::WM_LBUTTONDOWN:
        case host::WM_LBUTTONUP:
          services_.x = px, services_.y = py;
          services_.input.OnMouseButton(msg.message);
          break;
        case host::WM_MOUSEWHEEL:
          services_.input.OnMouseWheel(msg.wParam);
          break;
        case host::WM_KEYDOWN:
          services_.input.OnKeyDown(static_cast<uint32_t>(msg.wParam), msg.lParam);
          break;
        case host::WM_KEYUP:
          services_.input.OnKeyUp(static_cast<uint32_t>(msg.wParam), msg.lParam);
          break;
        default:
          break;
      }
    }
    services_.input.Poll();
    wheel_ += services_.input.GetMouse()->GetWheel();
    int result = tip_.Update(services_.now);
    EXPECT_EQ(display_.UpdateBackBuffer(), 0);
    (void)display_.Present();
    return result;
  }
  // A pixel of the frame the window shows now.
  uint32_t Pixel(int32_t x, int32_t y) {
    host::GetPresentationSink(window_)->PresentPending();
    const host::Frame& frame = shown_;
    if (frame.bgra.size() != size_t(kWidth) * kHeight * 4) return 0xFFFFFFFFu;
    const size_t at = (static_cast<size_t>(y) * frame.width + x) * 4;
    return uint32_t(frame.bgra[at]) | uint32_t(frame.bgra[at + 1]) << 8 |
           uint32_t(frame.bgra[at + 2]) << 16;
  }
  int32_t Word(uint32_t address) {
    uint32_t v = 0;
    services_.memory.Read32(address, v);
    return static_cast<int32_t>(v);
  }

  ScopedPixelLibrary library_{&BuiltInPixelLibrary()};
  test::GameFolder game_;
  ImageLoaderManager images_;
  ScopedGlobal<ImageLoaderManager> publishImages_{&images_};
  std::unique_ptr<host::SdlBackend> sdl_;
  std::optional<ScopedGlobal<host::Backend>> useBackend_;
  host::HWND window_{};
  host::Frame shown_;  // read back from the window
  DisplayManager display_;
  CompositionLayer* layer_ = nullptr;
  GdiTextRenderer font_{testing_text::FakeSource()};
  // The pointer comes from the window's mouse messages; the devices are fed by the messages.
  test::FakeGuiServices services_;
  int32_t wheel_ = 0;
  PointerTip tip_;
  ScopedGlobal<PointerTip> publishTip_{&tip_};
  PartManager parts_;
  GmpPartLoader screen_;
};

TEST_F(GuiScreen, ButtonsAndTheChoiceListAnswerThePointerTheWheelAndKeys) {
  // The GMP screen: a background and three file buttons of four cells.
  game_.dir().WriteFile("CG/BG.BMP",
                        test::Cells(kWidth / 4, kHeight, {0x203040, 0x304050, 0x405060, 0x506070}));
  game_.dir().WriteFile("CG/BTN.BMP",
                        test::Cells(40, 20, {0x2060C0, 0x40A0FF, 0x103060, 0x808080}));
  GmpFile gmp;
  gmp.background = "BG.BMP";
  for (int16_t i = 0; i < 3; ++i) {
    gmp.entries.push_back(
        {"BTN.BMP", 1, static_cast<int16_t>(20 + 50 * i), 20, 255, true, 40, 20, 4});
  }
  game_.dir().WriteFile("CG/SCREEN.GMP", tools::WriteGmp(gmp));
  ASSERT_EQ(screen_.Load(layer_, &display_, &parts_, &tip_, "cg\\screen.gmp", 10, 0, false, true),
            kGmpLoaded);

  // A choice list.
  BitSet read;
  ASSERT_EQ(read.Allocate(32), kBitSetDone);
  ASSERT_EQ(read.Set(0, true), kBitSetDone);

  const uint32_t result = services_.memory.Allocate(4);
  ImageListPart* menu = nullptr;
  ASSERT_EQ(parts_.CreateImageList(&menu, 2, 0, 0, 100, 20, 0, &font_), 0);
  (void)menu->SetPosition(180, 60);
  (void)menu->SetReadFlags(&read, 0, result);
  (void)menu->AddCell("Read", nullptr, false, -1, nullptr, -1, nullptr, 0, 0, 0);
  (void)menu->AddCell("Off", nullptr, true, -1, nullptr, -1, nullptr, 0, 0, 0);
  (void)menu->AddCell("Go", nullptr, false, -1, nullptr, -1, nullptr, 0, 0, 0);
  menu->SetId(30);
  EXPECT_EQ(tip_.AddControl(menu, -1), kAddControlDone);

  Frame();
  EXPECT_EQ(Pixel(30, 30), 0x2060C0u) << "the first button shows its normal cell";
  Send(host::InputEventKind::kMouseMove, 25, 25);
  EXPECT_EQ(Pixel(30, 30), 0x40A0FFu) << "the first button shows its hover cell";
  EXPECT_EQ(Send(host::InputEventKind::kMouseButtonDown, 25, 25), kUpdatePointerTaken);
  EXPECT_EQ(Pixel(30, 30), 0x103060u) << "the pressed cell";
  Send(host::InputEventKind::kMouseButtonUp, 25, 25);
  EXPECT_EQ(tip_.TakeFiredId(), 10);

  Send(host::InputEventKind::kMouseWheel, 25, 25, 0, -2);
  EXPECT_NE(wheel_, 0) << "the wheel reached the mouse";

  // The choice list by keys: focus goes round to it, down skips the disabled item, decide chooses.
  ASSERT_EQ(tip_.SetFocus(menu), kFocusDone);
  EXPECT_EQ(menu->Cursor(), 0);
  EXPECT_EQ(Send(host::InputEventKind::kKeyDown, 0, 0, 0x28), kUpdateKeyTaken);
  Send(host::InputEventKind::kKeyUp, 0, 0, 0x28);
  EXPECT_EQ(menu->Cursor(), 2);
  Send(host::InputEventKind::kKeyDown, 0, 0, 0x0D);
  Send(host::InputEventKind::kKeyUp, 0, 0, 0x0D);
  EXPECT_EQ(tip_.TakeFiredId(), 32);
  EXPECT_EQ(Word(result), 2);
  EXPECT_TRUE(read.Test(2));
  EXPECT_TRUE(menu->IsLocked());
}

}  // namespace
}  // namespace bw
