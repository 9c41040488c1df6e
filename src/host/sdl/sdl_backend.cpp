#include "host/sdl/sdl_backend.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/cp932.h"
#include "host/input/cursor.h"
#include "host/input/key_state.h"
#include "host/input/text_input.h"
#include "host/message_queue.h"
#include "host/sdl/file_system_type.h"
#include "host/sdl/native_window_size.h"
#include "host/sdl/sdl_audio_output.h"
#include "host/sdl/sdl_cursors.h"
#include "host/sdl/sdl_joysticks.h"
#include "host/sdl/sdl_keys.h"

namespace bw::host {

namespace {

constexpr int32_t kBytesPerPixel = 4;

uint32_t MessageBoxIconFlag(uint32_t style) {
  switch (style & MB_ICONMASK) {
    case MB_ICONHAND:
      return SDL_MESSAGEBOX_ERROR;
    case MB_ICONEXCLAMATION:
      return SDL_MESSAGEBOX_WARNING;
    case MB_ICONQUESTION:
    case MB_ICONASTERISK:
      return SDL_MESSAGEBOX_INFORMATION;
    default:
      return 0;
  }
}

const char* ButtonText(int answer) {
  switch (answer) {
    case IDCANCEL:
      return "Cancel";
    case IDYES:
      return "Yes";
    case IDNO:
      return "No";
    default:
      return "OK";
  }
}

}  // namespace

bool SdlBackend::HasDisplay() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver != nullptr && std::strcmp(driver, "dummy") != 0 &&
         std::strcmp(driver, "offscreen") != 0;
}

SdlSink::~SdlSink() {
  Detach();
}

void SdlSink::Detach() {
  if (texture_) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  textureWidth_ = textureHeight_ = 0;
  overlay_ = nullptr;
  renderer_ = nullptr;
  window_ = nullptr;
}

void SdlSink::Show(const FrameView& frame) {
  if (!renderer_) return;
  // The texture holds the frame shown before: only what changed since goes up.
  Rect changed{std::max(frame.changed.left, 0), std::max(frame.changed.top, 0),
               std::min(frame.changed.right, frame.width),
               std::min(frame.changed.bottom, frame.height)};
  if (!texture_ || textureWidth_ != frame.width || textureHeight_ != frame.height) {
    changed = Rect{0, 0, frame.width, frame.height};
    if (texture_) SDL_DestroyTexture(texture_);
    // ARGB8888 is the word 0xAARRGGBB: bytes B, G, R, A on this little-endian machine.
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                 frame.width, frame.height);
    if (!texture_) {
      // Once: the same failure would otherwise repeat every frame.
      if (!failureReported_)
        std::fprintf(stderr, "brimwold: cannot make the frame texture: %s\n", SDL_GetError());
      failureReported_ = true;
      textureWidth_ = textureHeight_ = 0;
      return;
    }
    textureWidth_ = frame.width;
    textureHeight_ = frame.height;
  }
  filter_ = frame.filter;
  SDL_SetTextureScaleMode(
      texture_, filter_ == ScaleFilter::kLinear ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
  if (changed.left < changed.right && changed.top < changed.bottom) {
    // The rows go straight into the texture's memory: no staging copy on our side.
    const SDL_Rect area{changed.left, changed.top, changed.Width(), changed.Height()};
    const uint8_t* from = frame.bgra + size_t(frame.pitch) * size_t(changed.top) +
                          size_t(changed.left) * kBytesPerPixel;
    void* texels = nullptr;
    int texturePitch = 0;
    if (SDL_LockTexture(texture_, &area, &texels, &texturePitch) == 0) {
      const size_t row = size_t(area.w) * kBytesPerPixel;
      for (int32_t y = 0; y < area.h; ++y) {
        std::memcpy(static_cast<uint8_t*>(texels) + size_t(texturePitch) * size_t(y),
                    from + size_t(frame.pitch) * size_t(y), row);
      }
      SDL_UnlockTexture(texture_);
    } else {
      SDL_UpdateTexture(texture_, &area, from, frame.pitch);
    }
  }
  Redraw();
}

void SdlSink::Redraw() {
  if (!renderer_) return;
  int outputWidth = 0;
  int outputHeight = 0;
  if (SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight) != 0) return;
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  if (texture_) {
    const Rect box = Target(outputWidth, outputHeight);
    SDL_Rect target{box.left, box.top, box.Width(), box.Height()};
    SDL_RenderCopy(renderer_, texture_, nullptr, &target);
  }
  if (overlay_) overlay_();
  SDL_RenderPresent(renderer_);
}

Rect SdlSink::Target(int32_t outputWidth, int32_t outputHeight) const {
  const int32_t inset = topInset_ < outputHeight ? topInset_ : 0;
  Rect box = LetterboxRect(textureWidth_, textureHeight_, outputWidth, outputHeight - inset);
  box.top += inset;
  box.bottom += inset;
  return box;
}

bool SdlSink::Place(Placement* placement) const {
  int outputWidth = 0, outputHeight = 0, windowWidth = 0, windowHeight = 0;
  if (!renderer_ || textureWidth_ < 1 || textureHeight_ < 1 ||
      SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight) != 0)
    return false;
  SDL_GetWindowSize(window_, &windowWidth, &windowHeight);
  placement->target = Target(outputWidth, outputHeight);
  if (windowWidth < 1 || windowHeight < 1 || placement->target.Width() < 1 ||
      placement->target.Height() < 1)
    return false;
  placement->pixelsPerPointX = double(outputWidth) / windowWidth;
  placement->pixelsPerPointY = double(outputHeight) / windowHeight;
  return true;
}

Point SdlSink::WindowToPicture(Point inWindow) const {
  Placement at;
  if (!Place(&at)) return {inWindow.x, inWindow.y - topInset_};
  // The picture's pixel under the window pixel's centre.
  const double x = ((inWindow.x + 0.5) * at.pixelsPerPointX - at.target.left) * textureWidth_ /
                   at.target.Width();
  const double y = ((inWindow.y + 0.5) * at.pixelsPerPointY - at.target.top) * textureHeight_ /
                   at.target.Height();
  return {static_cast<int32_t>(std::floor(x)), static_cast<int32_t>(std::floor(y))};
}

Point SdlSink::PictureToWindow(Point inPicture) const {
  Placement at;
  if (!Place(&at)) return {inPicture.x, inPicture.y + topInset_};
  const double x = ((inPicture.x + 0.5) * at.target.Width() / textureWidth_ + at.target.left) /
                   at.pixelsPerPointX;
  const double y = ((inPicture.y + 0.5) * at.target.Height() / textureHeight_ + at.target.top) /
                   at.pixelsPerPointY;
  return {static_cast<int32_t>(std::floor(x)), static_cast<int32_t>(std::floor(y))};
}

std::unique_ptr<SdlBackend> SdlBackend::Create(std::string* error) {
  // Signals are the program's to map; closing the last window is the engine's WM_CLOSE to judge.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // Whole compositions, not cut at 32 bytes.
  SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
  // The screen saver is the engine's settings' to suppress, not the video subsystem's.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (error) *error = SDL_GetError();
    return nullptr;
  }
  uint32_t wakeEvent = SDL_RegisterEvents(1);
  if (wakeEvent == static_cast<uint32_t>(-1)) {
    if (error) *error = "no user event left";
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
  return std::unique_ptr<SdlBackend>(new SdlBackend(wakeEvent));
}

SdlBackend::SdlBackend(uint32_t wakeEvent)
    : wakeEvent_(wakeEvent),
      cursors_(std::make_unique<SdlCursors>()),
      joysticks_(std::make_unique<SdlJoysticks>()) {}

SdlBackend::~SdlBackend() {
  while (!windows_.empty()) {
    auto it = windows_.begin();
    Dispose(HWND{it->first}, it->second);
    windows_.erase(it);
  }
  retiredSinks_.clear();
  cursors_.reset();
  joysticks_.reset();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SdlBackend::Dispose(HWND hwnd, NativeWindow& native) {
  if (windowClosing_) windowClosing_(hwnd);
  native.sink->Detach();
  retiredSinks_.push_back(std::move(native.sink));
  SDL_DestroyRenderer(native.renderer);
  SDL_DestroyWindow(native.window);
}

SdlBackend::NativeWindow* SdlBackend::Find(HWND hwnd) {
  auto it = windows_.find(hwnd.id);
  return it == windows_.end() ? nullptr : &it->second;
}

HWND SdlBackend::WindowOf(uint32_t sdlWindowId) const {
  for (const auto& [id, native] : windows_) {
    if (SDL_GetWindowID(native.window) == sdlWindowId) return HWND{id};
  }
  // Events without a window (pushed ones, signals) go to the first window.
  return windows_.empty() ? HWND{} : HWND{windows_.begin()->first};
}

SDL_Window* SdlBackend::SdlWindowOf(HWND hwnd) {
  NativeWindow* native = Find(hwnd);
  return native ? native->window : nullptr;
}

SDL_Renderer* SdlBackend::SdlRendererOf(HWND hwnd) {
  NativeWindow* native = Find(hwnd);
  return native ? native->renderer : nullptr;
}

SdlSink* SdlBackend::SdlSinkOf(HWND hwnd) {
  NativeWindow* native = Find(hwnd);
  return native ? native->sink.get() : nullptr;
}

uint32_t SdlBackend::SdlWindowId(HWND hwnd) const {
  auto it = windows_.find(hwnd.id);
  return it == windows_.end() ? 0 : SDL_GetWindowID(it->second.window);
}

bool SdlBackend::OpenWindow(HWND hwnd, const NativeWindowDesc& desc) {
  if (desc.width <= 0 || desc.height <= 0) return false;
  std::string title = Cp932ToUtf8Lenient(desc.title);
  uint32_t flags = SDL_WINDOW_ALLOW_HIGHDPI | (desc.visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
  SDL_Window* window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED,
                                        SDL_WINDOWPOS_CENTERED, desc.width, desc.height, flags);
  if (!window) {
    std::fprintf(stderr, "brimwold: cannot open a window: %s\n", SDL_GetError());
    return false;
  }
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
  if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  if (!renderer) {
    std::fprintf(stderr, "brimwold: cannot draw into the window: %s\n", SDL_GetError());
    SDL_DestroyWindow(window);
    return false;
  }
  NativeWindow& native = windows_[hwnd.id];
  native.window = window;
  native.renderer = renderer;
  native.sink = std::make_unique<SdlSink>(window, renderer, this);
  native.clientWidth = desc.width;
  native.clientHeight = desc.height;
  native.sink->Redraw();
  return true;
}

void SdlBackend::CloseWindow(HWND hwnd) {
  NativeWindow* native = Find(hwnd);
  if (!native) return;
  Dispose(hwnd, *native);
  windows_.erase(hwnd.id);
}

bool SdlBackend::ShowWindow(HWND hwnd, bool show) {
  NativeWindow* native = Find(hwnd);
  if (!native) return false;
  if (show) {
    SDL_ShowWindow(native->window);
  } else {
    SDL_HideWindow(native->window);
  }
  return true;
}

bool SdlBackend::SetClientSize(HWND hwnd, int32_t width, int32_t height) {
  NativeWindow* native = Find(hwnd);
  if (!native) return false;
  native->clientWidth = width;
  native->clientHeight = height;
  SDL_SetWindowSize(native->window, width, height + native->sink->TopInset());
  return true;
}

bool SdlBackend::MoveWindow(HWND hwnd, int32_t left, int32_t top) {
  NativeWindow* native = Find(hwnd);
  if (!native) return false;
  SDL_SetWindowPosition(native->window, left, top);
  return true;
}

bool SdlBackend::SetFullScreen(HWND hwnd, bool fullScreen) {
  NativeWindow* native = Find(hwnd);
  if (!native) return false;
  if (native->coversDisplay) {
    if (!fullScreen) UncoverDisplay(*native);
    return true;
  }
  int x = 0, y = 0, w = 0, h = 0;
  SDL_GetWindowPosition(native->window, &x, &y);
  SDL_GetWindowSize(native->window, &w, &h);
  const Rect windowed{x, y, x + w, y + h};
  // The desktop's own mode: the sink letterboxes the picture into it.
  if (SDL_SetWindowFullscreen(native->window, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) !=
      0) {
    std::fprintf(stderr, "brimwold: cannot switch the screen mode: %s\n", SDL_GetError());
    return false;
  }
  // Only a window manager grants that mode (SDL waits a moment for it, then records the
  // display's size whatever the window's is): without one the window keeps its size, and then
  // covers its display itself.
  const int display = SDL_GetWindowDisplayIndex(native->window);
  SDL_Rect bounds{};
  if (fullScreen && display >= 0 && SDL_GetDisplayBounds(display, &bounds) == 0 &&
      NativeWindowSize(native->window, &w, &h) && (w != bounds.w || h != bounds.h)) {
    SDL_SetWindowFullscreen(native->window, 0);
    CoverDisplay(*native, windowed,
                 Rect{bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h});
  }
  return true;
}

void SdlBackend::CoverDisplay(NativeWindow& native, const Rect& windowed, const Rect& display) {
  native.windowed = windowed;
  native.coversDisplay = true;
  SDL_SetWindowBordered(native.window, SDL_FALSE);
  SDL_SetWindowPosition(native.window, display.left, display.top);
  SDL_SetWindowSize(native.window, display.Width(), display.Height());
  SDL_RaiseWindow(native.window);
}

void SdlBackend::UncoverDisplay(NativeWindow& native) {
  native.coversDisplay = false;
  SDL_SetWindowBordered(native.window, SDL_TRUE);
  SDL_SetWindowSize(native.window, native.windowed.Width(), native.windowed.Height());
  SDL_SetWindowPosition(native.window, native.windowed.left, native.windowed.top);
}

bool SdlBackend::FillsDisplay(SDL_Window* window) const {
  if (!IsFullScreen(window)) return false;
  SDL_Rect bounds{};
  int w = 0, h = 0;
  return SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &bounds) != 0 ||
         !NativeWindowSize(window, &w, &h) || (w == bounds.w && h == bounds.h);
}

bool SdlBackend::IsFullScreen(SDL_Window* window) const {
  if ((SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) return true;
  for (const auto& [id, native] : windows_) {
    if (native.window == window) return native.coversDisplay;
  }
  return false;
}

bool SdlBackend::GetWindowPosition(HWND hwnd, int32_t* left, int32_t* top) {
  NativeWindow* native = Find(hwnd);
  if (!native) return false;
  int x = 0, y = 0;
  SDL_GetWindowPosition(native->window, &x, &y);
  *left = x;
  *top = y;
  return true;
}

bool SdlBackend::MinimizeWindow(HWND hwnd, bool minimize) {
  NativeWindow* native = Find(hwnd);
  if (!native) return false;
  if (minimize) {
    SDL_MinimizeWindow(native->window);
  } else {
    SDL_RestoreWindow(native->window);
  }
  return true;
}

bool SdlBackend::SetWindowTopmost(HWND hwnd, bool topmost) {
  NativeWindow* native = Find(hwnd);
  if (!native) return false;
  SDL_SetWindowAlwaysOnTop(native->window, topmost ? SDL_TRUE : SDL_FALSE);
  return true;
}

bool SdlBackend::SetWindowMaximizable(HWND hwnd, bool maximizable) {
  NativeWindow* native = Find(hwnd);
  if (!native) return false;
  native->maximizable = maximizable;
  SDL_SetWindowResizable(native->window, maximizable ? SDL_TRUE : SDL_FALSE);
  return true;
}

bool SdlBackend::SetTitle(HWND hwnd, std::string_view cp932) {
  NativeWindow* native = Find(hwnd);
  if (!native) return false;
  SDL_SetWindowTitle(native->window, Cp932ToUtf8Lenient(cp932).c_str());
  return true;
}

bool SdlBackend::GetClientSize(HWND hwnd, int32_t* width, int32_t* height) {
  NativeWindow* native = Find(hwnd);
  if (!native) return false;
  int w = 0;
  int h = 0;
  SDL_GetWindowSize(native->window, &w, &h);
  *width = w;
  *height = h - native->sink->TopInset();
  return true;
}

PresentationSink* SdlBackend::Sink(HWND hwnd) {
  NativeWindow* native = Find(hwnd);
  return native ? native->sink.get() : nullptr;
}

bool SdlBackend::KeyDownNow(int virtualKey) {
  // SDL learns of keys held before its windows had the focus from the platform as it starts and
  // as it pumps: the keyboard's state then holds them.
  SDL_PumpEvents();
  int count = 0;
  const Uint8* keys = SDL_GetKeyboardState(&count);
  for (int scancode = 0; scancode < count; ++scancode) {
    if (keys[scancode] && KeyCodesOf(scancode).virtualKey == virtualKey) return true;
  }
  return false;
}

uint32_t SdlBackend::KeyState() const {
  uint32_t state = buttonsHeld_;
  SDL_Keymod mods = SDL_GetModState();
  if (mods & KMOD_SHIFT) state |= MK_SHIFT;
  if (mods & KMOD_CTRL) state |= MK_CONTROL;
  return state;
}

Point SdlBackend::PointerInPicture(uint32_t sdlWindowId, int32_t x, int32_t y) {
  NativeWindow* native = Find(WindowOf(sdlWindowId));
  return native ? native->sink->WindowToPicture({x, y}) : Point{x, y};
}

void SdlBackend::DeliverDrop() {
  if (dropFiles_.empty()) return;
  InputEvent drop;
  drop.kind = InputEventKind::kDropFiles;
  drop.files.swap(dropFiles_);
  // A window that is gone or disabled takes no event, as on a platform.
  (void)DeliverInputEvent(dropWindow_, drop);
}

bool SdlBackend::TranslateWindowEvent(const SDL_Event& event, InputEvent& out) {
  NativeWindow* native = Find(WindowOf(event.window.windowID));
  switch (event.window.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
    case SDL_WINDOWEVENT_FOCUS_LOST:
      out.kind = InputEventKind::kActivate;
      out.active = event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED;
      return true;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      if (native) native->sink->Redraw();
      out.kind = InputEventKind::kPaint;
      return true;
    case SDL_WINDOWEVENT_MAXIMIZED:
      // The maximise box switches the screen mode, as the game's system command says.
      if (native) SDL_RestoreWindow(native->window);
      out.kind = InputEventKind::kMaximize;
      return true;
    case SDL_WINDOWEVENT_RESIZED:
      if (native && native->maximizable && !IsFullScreen(native->window)) {
        SDL_SetWindowSize(native->window, native->clientWidth,
                          native->clientHeight + native->sink->TopInset());
      }
      return false;
    case SDL_WINDOWEVENT_CLOSE:
      out.kind = InputEventKind::kClose;
      return true;
    default:
      return false;
  }
}

void SdlBackend::Translate(const SDL_Event& event) {
  InputEvent out;
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      KeyCodes codes = KeyCodesOf(static_cast<int>(event.key.keysym.scancode));
      if (codes.virtualKey == 0) return;
      out.kind = event.type == SDL_KEYDOWN ? InputEventKind::kKeyDown : InputEventKind::kKeyUp;
      out.virtualKey = codes.virtualKey;
      out.scanCode = codes.scanCode & 0x7F;
      out.extended = (codes.scanCode & 0x80) != 0;
      out.repeat = event.key.repeat != 0;
      out.altDown = (event.key.keysym.mod & KMOD_ALT) != 0;
      (void)DeliverInputEvent(WindowOf(event.key.windowID), out);
      return;
    }
    case SDL_TEXTINPUT:
      DeliverTypedText(WindowOf(event.text.windowID), event.text.text);
      return;
    case SDL_TEXTEDITING:
      SetCompositionUtf8(event.edit.text, event.edit.start);
      return;
    case SDL_TEXTEDITING_EXT:
      if (event.editExt.text) {
        SetCompositionUtf8(event.editExt.text, event.editExt.start);
        SDL_free(event.editExt.text);
      }
      return;
    case SDL_MOUSEMOTION: {
      const Point at = PointerInPicture(event.motion.windowID, event.motion.x, event.motion.y);
      mouseX_ = at.x;
      mouseY_ = at.y;
      out.kind = InputEventKind::kMouseMove;
      out.x = mouseX_;
      out.y = mouseY_;
      out.keyState = KeyState();
      (void)DeliverInputEvent(WindowOf(event.motion.windowID), out);
      return;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      uint32_t flag = 0;
      switch (event.button.button) {
        case SDL_BUTTON_LEFT:
          out.button = MouseButton::kLeft;
          flag = MK_LBUTTON;
          break;
        case SDL_BUTTON_RIGHT:
          out.button = MouseButton::kRight;
          flag = MK_RBUTTON;
          break;
        case SDL_BUTTON_MIDDLE:
          out.button = MouseButton::kMiddle;
          flag = MK_MBUTTON;
          break;
        default:
          return;
      }
      bool down = event.type == SDL_MOUSEBUTTONDOWN;
      buttonsHeld_ = down ? (buttonsHeld_ | flag) : (buttonsHeld_ & ~flag);
      const Point at = PointerInPicture(event.button.windowID, event.button.x, event.button.y);
      mouseX_ = at.x;
      mouseY_ = at.y;
      out.kind = down ? InputEventKind::kMouseButtonDown : InputEventKind::kMouseButtonUp;
      out.x = mouseX_;
      out.y = mouseY_;
      out.keyState = KeyState();
      (void)DeliverInputEvent(WindowOf(event.button.windowID), out);
      return;
    }
    case SDL_MOUSEWHEEL: {
      int32_t notches = event.wheel.y;
      if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      if (notches == 0) return;
      out.kind = InputEventKind::kMouseWheel;
      out.wheelNotches = notches;
      out.x = mouseX_;
      out.y = mouseY_;
      out.keyState = KeyState();
      (void)DeliverInputEvent(WindowOf(event.wheel.windowID), out);
      return;
    }
    case SDL_WINDOWEVENT:
      if (TranslateWindowEvent(event, out))
        (void)DeliverInputEvent(WindowOf(event.window.windowID), out);
      return;
    case SDL_DROPBEGIN:
      dropOpen_ = true;
      dropWindow_ = WindowOf(event.drop.windowID);
      return;
    case SDL_DROPFILE:
      if (event.drop.file) {
        if (!dropOpen_) dropWindow_ = WindowOf(event.drop.windowID);
        dropFiles_.emplace_back(event.drop.file);
        SDL_free(event.drop.file);
      }
      return;
    case SDL_DROPCOMPLETE:
      dropOpen_ = false;
      DeliverDrop();
      return;
    case SDL_QUIT:
      out.kind = InputEventKind::kQuit;
      (void)DeliverInputEvent(HWND{}, out);
      return;
    default:
      return;
  }
}

void SdlBackend::PumpEvents() {
  if (pumpHook_) pumpHook_();
  SDL_Event event;
  while (SDL_PollEvent(&event) == 1) {
    if (event.type == wakeEvent_) continue;
    if (eventFilter_ && eventFilter_(event)) continue;
    Translate(event);
  }
  // A file dropped without a drop bracket (some systems) is a drop of its own.
  if (!dropOpen_) DeliverDrop();
  TrackPointer();
  ApplyCursorState();
  for (auto& [id, native] : windows_) native.sink->PresentPending();
}

void SdlBackend::TrackPointer() {
  if (windows_.empty()) return;
  HWND hwnd{windows_.begin()->first};
  SDL_Window* window = windows_.begin()->second.window;
  const SdlSink& sink = *windows_.begin()->second.sink;
  Point origin = WindowOrigin(hwnd);
  Point to;
  if (TakeCursorWarp(&to)) {
    const Point inWindow = sink.PictureToWindow({to.x - origin.x, to.y - origin.y});
    SDL_WarpMouseInWindow(window, inWindow.x, inWindow.y);
  } else if (HasDisplay() && SDL_GetMouseFocus() == nullptr) {
    // Outside every window no motion comes: the pointer is read where it is.
    int globalX = 0;
    int globalY = 0;
    int windowX = 0;
    int windowY = 0;
    SDL_GetGlobalMouseState(&globalX, &globalY);
    SDL_GetWindowPosition(window, &windowX, &windowY);
    const Point inPicture = sink.WindowToPicture({globalX - windowX, globalY - windowY});
    RecordCursorPos(origin.x + inPicture.x, origin.y + inPicture.y);
  }
}

void SdlBackend::WaitEvents() {
  SDL_WaitEvent(nullptr);
}

void SdlBackend::Wake() {
  SDL_Event event;
  SDL_zero(event);
  event.type = wakeEvent_;
  SDL_PushEvent(&event);
}

DesktopInfo SdlBackend::Desktop() {
  DesktopInfo info;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    info.width = mode.w;
    info.height = mode.h;
    info.bitsPerPixel = static_cast<int32_t>(SDL_BITSPERPIXEL(mode.format));
  }
  int count = SDL_GetNumVideoDisplays();
  for (int i = 0; i < count; ++i) {
    SDL_Rect bounds;
    SDL_Rect usable;
    if (SDL_GetDisplayBounds(i, &bounds) != 0) continue;
    if (SDL_GetDisplayUsableBounds(i, &usable) != 0) usable = bounds;
    info.monitors.push_back(
        Monitor{Rect{bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h},
                Rect{usable.x, usable.y, usable.x + usable.w, usable.y + usable.h}});
  }
  return info;
}

std::string SdlBackend::FileSystemType(const std::string& folder) {
  return FileSystemTypeOf(folder);
}

int SdlBackend::ShowMessageBox(const MessageBoxRequest& request) {
  int fallback = MessageBoxDefaultAnswer(request.style);
  if (!HasDisplay()) return fallback;
  std::vector<int> answers = MessageBoxButtons(request.style);
  std::vector<SDL_MessageBoxButtonData> buttons;
  bool hasCancel = false;
  for (int answer : answers) hasCancel = hasCancel || answer == IDCANCEL;
  for (int answer : answers) {
    uint32_t flags = 0;
    if (answer == fallback) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (answer == IDCANCEL || (!hasCancel && answers.size() == 1))
      flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    buttons.push_back(SDL_MessageBoxButtonData{flags, answer, ButtonText(answer)});
  }
  SDL_Window* parent = nullptr;
  if (NativeWindow* native = Find(request.owner)) parent = native->window;
  SDL_MessageBoxData data{MessageBoxIconFlag(request.style) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT,
                          parent,
                          request.title.c_str(),
                          request.text.c_str(),
                          static_cast<int>(buttons.size()),
                          buttons.data(),
                          nullptr};
  int chosen = -1;
  if (SDL_ShowMessageBox(&data, &chosen) != 0 || chosen < 0) return fallback;
  return chosen;
}

bool SdlBackend::ScreenSaverActive() {
  return SDL_IsScreenSaverEnabled() == SDL_TRUE;
}

bool SdlBackend::SetScreenSaverActive(bool active) {
  if (active) {
    SDL_EnableScreenSaver();
  } else {
    SDL_DisableScreenSaver();
  }
  return true;
}

void SdlBackend::ApplyCursor(const CursorState& state) {
  cursors_->Apply(state);
}

void SdlBackend::SetTextInput(bool on) {
  if (on) {
    SDL_StartTextInput();
  } else {
    SDL_StopTextInput();
  }
}

JoystickSource& SdlBackend::Joysticks() {
  return *joysticks_;
}

std::unique_ptr<AudioOutput> SdlBackend::MakeAudioOutput(SoundDevice& device) {
  return std::make_unique<SdlAudioOutput>(device);
}

}  // namespace bw::host
