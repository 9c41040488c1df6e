// Composes one frame through the display manager into a window, headless and on a virtual X
// screen, and checks that the screenshot's window area holds the headless frame's pixels.
//   --check DIR  writes DIR/headless.rgb, then runs --show under xvfb-run
//   --show DIR   shows the frame in an SDL window, captures DIR/screen.png and compares
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "host/headless/headless_backend.h"
#include "host/message_queue.h"
#include "host/presentation_sink.h"
#include "host/sdl/sdl_backend.h"
#include "lib/probe/probe_window.h"

namespace bw {
namespace {

constexpr int32_t kWidth = 160;
constexpr int32_t kHeight = 120;
constexpr int kCaptureAttempts = 20;
constexpr int kPassed = 0;
constexpr int kFailed = 1;

// Everything the frame is made of: a gradient backdrop and a translucent, zoomed (mode 1)
// sprite; the display manager owns the canvas.
struct Scene {
  DisplayManager manager;
  ImageSurface backdrop;
  ImageSurface picture;
  Sprite sprite;
};

bool Compose(Scene& scene, host::HWND window) {
  CanvasLayer* canvas = nullptr;
  if (scene.manager.CreateCanvasLayer(&canvas, kWidth, kHeight, 32, kLayerComposed) != 0)
    return false;
  // A null one only unlinks, which cannot fail.
  (void)scene.manager.SetScreenSurface(canvas);
  if (scene.manager.SetMode(window, true, false) != 0) return false;
  if (scene.backdrop.Create(kWidth, kHeight, 32, 0) != 0 ||
      scene.picture.Create(24, 16, 32, 0) != 0) {
    return false;
  }
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      // Inside the surface just made.
      (void)scene.backdrop.SetPixel(
          x, y,
          0xFF000000u | uint32_t(x * 255 / kWidth) << 16 | uint32_t(y * 255 / kHeight) << 8 | 0x40);
      if (x < 24 && y < 16) {
        // Inside the surface just made.
        (void)scene.picture.SetPixel(
            x, y, uint32_t((x * 10) & 0xFF) << 24 | ((x + y) % 2 ? 0xFFFFFF : 0x202020));
      }
    }
  }
  scene.picture.SetHasAlpha(true);
  CompositionLayer* layer = canvas->GetCompositionLayer();
  // A picture without pixels leaves the background as it was.
  (void)layer->SetBackgroundImage(&scene.backdrop, 0, 0, true);
  if (scene.sprite.SetImage(&scene.picture, nullptr, 70, 50) != 0) return false;
  // A mode out of range keeps the one in force.
  (void)scene.sprite.SetMirrorMode(1);
  // Values fixed here, which it takes.
  (void)scene.sprite.SetZoom(72, 48);
  (void)layer->GetList().Add(&scene.sprite, 1, 0);
  return scene.manager.UpdateBackBuffer() == 0;
}

std::vector<uint8_t> ToRgb(const host::Frame& frame) {
  std::vector<uint8_t> rgb;
  rgb.reserve(frame.bgra.size() / 4 * 3);
  for (size_t i = 0; i + 3 < frame.bgra.size(); i += 4) {
    rgb.push_back(frame.bgra[i + 2]);
    rgb.push_back(frame.bgra[i + 1]);
    rgb.push_back(frame.bgra[i]);
  }
  return rgb;
}

using probe::Quote;
using probe::Run;

int Check(const std::filesystem::path& dir, const char* self) {
  std::filesystem::create_directories(dir);
  host::HeadlessBackend backend;
  ScopedGlobal<host::Backend> use(&backend);
  host::WindowDesc desc;
  desc.proc = host::DefWindowProc;
  desc.native = true;
  desc.nativeDesc = host::NativeWindowDesc{"frame", kWidth, kHeight, true};
  host::HWND window = host::CreateWindow(desc);
  auto scene = std::make_unique<Scene>();
  if (!Compose(*scene, window)) {
    std::fprintf(stderr, "the headless frame could not be composed\n");
    return kFailed;
  }
  auto* sink = static_cast<host::HeadlessSink*>(host::GetPresentationSink(window));
  sink->PresentPending();
  const std::vector<uint8_t> rgb = ToRgb(sink->LastFrame());
  std::ofstream(dir / "headless.rgb", std::ios::binary)
      .write(reinterpret_cast<const char*>(rgb.data()), std::streamsize(rgb.size()));
  scene.reset();
  (void)host::DestroyWindow(window);  // this thread's window: it goes

  const std::string xvfb = "xvfb-run -a -s '-screen 0 1024x768x24' ";
  if (!Run("command -v import >/dev/null 2>&1 && command -v convert >/dev/null 2>&1 && " + xvfb +
           "true")) {
    std::printf("skipped: xvfb-run, Xvfb or ImageMagick is missing, or no X server started\n");
    return kPassed;
  }
  // The X and D-Bus client libraries keep allocations until exit; they are not ours to free.
  const std::string show =
      "env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 " + Quote(self) +
      " --show " + Quote(dir);
  return Run(xvfb + show) ? kPassed : kFailed;
}

// Where the frame lies in a w x h RGB screenshot, searching every position.
bool FindFrame(const std::vector<uint8_t>& screen, int w, int h, const std::vector<uint8_t>& frame,
               int* outX, int* outY) {
  const size_t row = size_t(kWidth) * 3;
  for (int y = 0; y + kHeight <= h; ++y) {
    for (int x = 0; x + kWidth <= w; ++x) {
      bool match = true;
      for (int j = 0; j < kHeight && match; ++j) {
        match = std::memcmp(screen.data() + (size_t(y + j) * size_t(w) + size_t(x)) * 3,
                            frame.data() + size_t(j) * row, row) == 0;
      }
      if (match) {
        *outX = x, *outY = y;
        return true;
      }
    }
  }
  return false;
}

int Show(const std::filesystem::path& dir) {
  std::ifstream in(dir / "headless.rgb", std::ios::binary);
  const std::vector<uint8_t> expected((std::istreambuf_iterator<char>(in)), {});
  if (expected.size() != size_t(kWidth) * kHeight * 3) {
    std::fprintf(stderr, "no headless frame in %s\n", dir.string().c_str());
    return kFailed;
  }
  probe::ProbeWindow window("frame", kWidth, kHeight);
  if (!window.Sink()) return kFailed;
  auto scene = std::make_unique<Scene>();
  if (!Compose(*scene, window.Handle())) {
    std::fprintf(stderr, "the frame could not be composed in a window\n");
    return kFailed;
  }
  const int w = 1024, h = 768;
  for (int attempt = 0; attempt < kCaptureAttempts; ++attempt) {
    window.Refresh();
    if (!Run("import -window root " + Quote(dir / "screen.png"))) continue;
    if (!Run("convert " + Quote(dir / "screen.png") +
             " -depth 8 rgb:" + Quote(dir / "screen.rgb"))) {
      continue;
    }
    std::ifstream shot(dir / "screen.rgb", std::ios::binary);
    const std::vector<uint8_t> screen((std::istreambuf_iterator<char>(shot)), {});
    if (screen.size() != size_t(w) * h * 3) continue;
    int x = 0, y = 0;
    if (FindFrame(screen, w, h, expected, &x, &y)) {
      std::printf("the window at %d,%d shows the headless frame exactly\n", x, y);
      return kPassed;
    }
  }
  std::fprintf(stderr, "the screenshot does not hold the headless frame\n");
  return kFailed;
}

}  // namespace
}  // namespace bw

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s --check DIR | --show DIR\n", argv[0]);
    return 2;
  }
  bw::BuildBlendTables();
  bw::ScopedPixelLibrary library(&bw::BuiltInPixelLibrary());
  const std::string mode = argv[1];
  if (mode == "--check") return bw::Check(argv[2], argv[0]);
  if (mode == "--show") return bw::Show(argv[2]);
  std::fprintf(stderr, "unknown mode %s\n", argv[1]);
  return 2;
}
