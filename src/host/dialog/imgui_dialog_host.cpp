#include "host/dialog/imgui_dialog_host.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <mutex>
#include <optional>
#include <utility>

#include "host/cp932.h"
#include "host/dialog/imgui_dialog_parts.h"
#include "host/font/font_library.h"
#include "host/font/host_faces.h"
#include "host/message_queue.h"
#include "host/stop_signals.h"
#include "imgui_impl_sdl.h"
#include "imgui_impl_sdlrenderer.h"

namespace bw::host {

namespace {

constexpr float kFontPixels = 16.0f;
// The pointer this close to the top edge shows the menu in full screen.
constexpr int kTopEdgeRows = 2;
// A message number nothing posts: peeking with it serves sends and pumps without taking any.
constexpr uint32_t kNoMessage = WM_USER - 1;
// A box's own window starts this large, hidden, and then takes the box's size.
constexpr int32_t kBoxWindowWidth = 800;
constexpr int32_t kBoxWindowHeight = 600;
// Played input: an item is clicked once it stood still for this many frames; a step that cannot
// be carried out in this long is given up (pumps come at no fixed pace: a count of them would
// give a step outside a dialog far less time than one inside).
constexpr int kStillFrames = 2;
constexpr uint32_t kGiveUpMs = 60000;
// A played chord's modifiers are held this long before and after its key, as a player's fingers
// hold them: the game reads its keys once a frame, and a modifier let go before that frame holds
// nothing.
constexpr uint32_t kKeyHoldMs = 100;
// Frames drawn for one pointer event outside a dialog at most; what is left waits for the next.
constexpr int kMaxPointerFrames = 8;

// The label a player reads: ImGui's id part ("##...") cut off.
std::string VisibleLabel(const std::string& label) {
  size_t id = label.find("##");
  return id == std::string::npos ? label : label.substr(0, id);
}

const char* BoxButtonLabel(int answer) {
  switch (answer) {
    case IDCANCEL:
      return "キャンセル";
    case IDYES:
      return "はい";
    case IDNO:
      return "いいえ";
    default:
      return "OK";
  }
}

DialogIcon BoxIcon(uint32_t style) {
  switch (style & MB_ICONMASK) {
    case MB_ICONHAND:
      return DialogIcon::kError;
    case MB_ICONEXCLAMATION:
      return DialogIcon::kWarning;
    case MB_ICONQUESTION:
      return DialogIcon::kQuestion;
    case MB_ICONASTERISK:
      return DialogIcon::kInformation;
    default:
      return DialogIcon::kNone;
  }
}

// A message box as a dialog: its buttons in the platform's order, Enter on the default one, and
// closing as Escape does on the platform (Cancel, or OK when alone).
Dialog MessageBoxDialog(const MessageBoxRequest& request) {
  Dialog dialog;
  dialog.title = Utf8ToCp932Lenient(request.title);
  dialog.texts = {{0, Utf8ToCp932Lenient(request.text), false}};
  const std::vector<int> answers = MessageBoxButtons(request.style);
  const int defaultAnswer = MessageBoxDefaultAnswer(request.style);
  bool hasCancel = false;
  for (size_t i = 0; i < answers.size(); ++i) {
    dialog.buttons.push_back({answers[i], Utf8ToCp932Lenient(BoxButtonLabel(answers[i]))});
    if (answers[i] == defaultAnswer) dialog.defaultButton = i;
    hasCancel = hasCancel || answers[i] == IDCANCEL;
  }
  dialog.closeAnswer = hasCancel ? IDCANCEL : answers.size() == 1 ? answers[0] : defaultAnswer;
  dialog.icon = BoxIcon(request.style);
  return dialog;
}

// Every character CP932 can write (the user-defined area aside, which no face draws), so no
// text of the engine's falls back to "?": ImGui's own Japanese ranges leave out symbols such as
// "↓" and "※" and the less common kanji.
const ImWchar* DialogGlyphRanges() {
  static const ImVector<ImWchar> ranges = [] {
    ImFontGlyphRangesBuilder builder;
    builder.AddRanges(ImGui::GetIO().Fonts->GetGlyphRangesJapanese());
    char bytes[3] = {};
    auto add = [&](std::string_view cp932) {
      const Cp932Conversion decoded = Cp932ToUtf8(cp932);
      if (decoded.ok) builder.AddText(decoded.text.c_str());
    };
    for (int single = 0x20; single <= 0xDF; ++single) {
      bytes[0] = static_cast<char>(single);
      if (single < 0x7F || single >= 0xA1) add(std::string_view(bytes, 1));
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if ((lead > 0x9F && lead < 0xE0) || (lead >= 0xF0 && lead <= 0xF9)) continue;
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        if (trail == 0x7F) continue;
        bytes[0] = static_cast<char>(lead), bytes[1] = static_cast<char>(trail);
        add(std::string_view(bytes, 2));
      }
    }
    ImVector<ImWchar> built;
    builder.BuildRanges(&built);
    return built;
  }();
  return ranges.Data;
}

// The menu font: the proportional Gothic the system's dialogs use.
std::string DialogFontPath() {
  FontLibrary& library = FontLibrary::Instance();
  std::lock_guard<std::mutex> guard(library.Mutex());
  const HostFace& face = MapFaceName(Utf8ToCp932Lenient("ＭＳ Ｐゴシック"));
  return library.Open(std::string(face.family)).path;
}

bool IsInputEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    case SDL_TEXTINPUT:
    case SDL_TEXTEDITING:
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL:
      return true;
    default:
      return false;
  }
}

// Whether a pointer event belongs to the window with the id (events pushed without one do).
bool OwnEvent(const SDL_Event& event, uint32_t windowId) {
  switch (event.type) {
    case SDL_MOUSEMOTION:
      return event.motion.windowID == windowId || event.motion.windowID == 0;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      return event.button.windowID == windowId || event.button.windowID == 0;
    case SDL_WINDOWEVENT:
      return event.window.windowID == windowId;
    default:
      return false;
  }
}

}  // namespace

ImGuiDialogHost::ImGuiDialogHost(SdlBackend* backend) : backend_(backend) {
  backend_->SetEventFilter([this](const SDL_Event& event) { return Filter(event); });
  backend_->SetWindowClosing([this](HWND hwnd) { WindowClosing(hwnd); });
  backend_->SetPumpHook([this] { Pump(); });
}

void ImGuiDialogHost::Pump() {
  // The game greys and checks items from its own thread; the bar shows them at the next pump.
  if (menu_ && menu_->Changes() != drawnMenuChanges_) RefreshMenu();
  PlayTurn();
}

ImGuiDialogHost::~ImGuiDialogHost() {
  backend_->SetEventFilter({});
  backend_->SetWindowClosing({});
  backend_->SetPumpHook({});
  Unbind();
}

void ImGuiDialogHost::WindowClosing(HWND hwnd) {
  // Let go of the window's renderer, sink and SDL window while they still live; a menu or a
  // dialog of that window ends with it.
  if (context_ && hwnd == window_) Unbind();
}

bool ImGuiDialogHost::Bind(HWND owner) {
  // A dialog of the desktop shows in the window the host draws in already.
  if (!owner && context_) owner = window_;
  // An owned popup is drawn in its owner's window.
  if (owner && !backend_->SdlWindowOf(owner)) {
    if (HWND drawnIn = GetWindowOwner(owner)) owner = drawnIn;
  }
  if (context_ && owner == window_ && backend_->SdlWindowOf(owner) == sdlWindow_) return true;
  Unbind();
  SDL_Window* window = backend_->SdlWindowOf(owner);
  SDL_Renderer* renderer = backend_->SdlRendererOf(owner);
  SdlSink* sink = backend_->SdlSinkOf(owner);
  if (!window || !renderer || !sink) return false;
  context_ = ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
  std::string fontPath = DialogFontPath();
  ImFont* font = nullptr;
  if (!fontPath.empty()) {
    font =
        io.Fonts->AddFontFromFileTTF(fontPath.c_str(), kFontPixels, nullptr, DialogGlyphRanges());
  }
  if (!font) {
    std::fprintf(stderr, "brimwold: no Japanese face for the dialogs; using the built-in face\n");
    io.Fonts->AddFontDefault();
  }
  ImGui::StyleColorsLight();
  // A box's own window is exactly the box: nothing may keep it off the window's edges.
  if (owner == boxWindow_) ImGui::GetStyle().DisplaySafeAreaPadding = ImVec2(0, 0);
  ImGui_ImplSDL2_InitForSDLRenderer(window);
  ImGui_ImplSDLRenderer_Init(renderer);
  window_ = owner;
  sdlWindow_ = window;
  renderer_ = renderer;
  sink_ = sink;
  pointer_.Reset(PointerNow());
  keys_.Reset();
  sink_->SetOverlay([this] {
    if (haveDrawData_ && context_) ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
  });
  return true;
}

void ImGuiDialogHost::Unbind() {
  if (!context_) return;
  // The backend tells of a window's end before its sink goes, so the sink still lives here.
  if (sink_) {
    sink_->SetOverlay({});
    sink_->SetTopInset(0);
  }
  ImGui_ImplSDLRenderer_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext(context_);
  context_ = nullptr;
  menu_ = nullptr;
  menuWindow_ = HWND{};
  menuLoop_ = false;
  haveDrawData_ = false;
  sink_ = nullptr;
  sdlWindow_ = nullptr;
  renderer_ = nullptr;
  window_ = HWND{};
  frameItems_.clear();
  shownItems_.clear();
  clickTarget_ = DrawnItem{};
  clickStillFrames_ = 0;
  pointer_.Reset({});
  keys_.Reset();
}

PointerState ImGuiDialogHost::PointerNow() const {
  PointerState state;
  int x = 0;
  int y = 0;
  const uint32_t buttons = SDL_GetMouseState(&x, &y);
  state.inside = SDL_GetMouseFocus() == sdlWindow_;
  state.x = static_cast<float>(x);
  state.y = static_cast<float>(y);
  state.down = {(buttons & SDL_BUTTON_LMASK) != 0, (buttons & SDL_BUTTON_RMASK) != 0,
                (buttons & SDL_BUTTON_MMASK) != 0};
  return state;
}

void ImGuiDialogHost::FeedPointer() {
  // The backend read where the pointer stands as the frame starts: a move and a press between
  // two frames would come in one, and a tab or a menu, which takes a press only over an item
  // it saw the pointer come over in the frame before, would let it pass.
  const PointerState& state = pointer_.NextFrame();
  ImGuiIO& io = ImGui::GetIO();
  io.MousePos = state.inside ? ImVec2(state.x, state.y) : ImVec2(-FLT_MAX, -FLT_MAX);
  for (size_t i = 0; i < state.down.size(); ++i) io.MouseDown[i] = state.down[i];
}

void ImGuiDialogHost::FeedKeys() {
  keys_.NextFrame([](const SDL_Event& event) { ImGui_ImplSDL2_ProcessEvent(&event); });
}

void ImGuiDialogHost::SettleKeys() {
  keys_.Settle([](const SDL_Event& event) { ImGui_ImplSDL2_ProcessEvent(&event); });
}

bool ImGuiDialogHost::Filter(const SDL_Event& event) {
  if (!context_ || !sdlWindow_) return false;
  // The pointer's events of the window drawn in reach the dialogs a frame at a time.
  const bool pointerEvent = OwnEvent(event, SDL_GetWindowID(sdlWindow_)) && pointer_.Take(event);
  if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_LEAVE) return false;
  if (inDialog_) {
    if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) {
      closeRequested_ = true;
      return true;
    }
    if (!IsInputEvent(event)) return false;
    if (keyTaker_ && event.type == SDL_KEYDOWN && event.key.repeat == 0)
      keyTaker_(event.key.keysym.scancode);
    if (!pointerEvent && !keys_.Take(event)) ImGui_ImplSDL2_ProcessEvent(&event);
    return true;  // modal: the game sees none of it
  }
  if (!menu_ || !IsInputEvent(event)) {
    // A key let go while no bar takes the keys (full screen takes the bar away) would stay held
    // for ImGui, and the next dialog would take it for a press of its own.
    if (event.type == SDL_KEYUP && keys_.Take(event)) SettleKeys();
    return false;
  }
  bool fullScreen = backend_->IsFullScreen(sdlWindow_);
  float barHeight = ImGui::GetFrameHeight();
  bool popupOpen = ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId);
  bool take = popupOpen;
  const bool keyEvent = event.type == SDL_KEYDOWN || event.type == SDL_KEYUP;
  const SDL_Scancode scancode = keyEvent ? event.key.keysym.scancode : SDL_SCANCODE_UNKNOWN;
  const bool altKey = scancode == SDL_SCANCODE_LALT || scancode == SDL_SCANCODE_RALT;
  // Alt opens the menu only when no other key went down while it was held (Alt+Enter does not).
  if (event.type == SDL_KEYDOWN && event.key.repeat == 0) altAlone_ = altKey;
  if (event.type == SDL_KEYUP && ((altKey && altAlone_) || scancode == SDL_SCANCODE_F10)) {
    // The key opens the first popup, or closes the one that is open.
    menuShown_ = !popupOpen;
    openFirstMenu_ = !popupOpen;
    closeMenu_ = popupOpen;
  }
  if (event.type == SDL_MOUSEMOTION || event.type == SDL_MOUSEBUTTONDOWN ||
      event.type == SDL_MOUSEBUTTONUP) {
    int y = event.type == SDL_MOUSEMOTION ? event.motion.y : event.button.y;
    bool onBar = y < static_cast<int>(barHeight);
    if (fullScreen && y < kTopEdgeRows) menuShown_ = true;
    if (fullScreen && !onBar && !popupOpen) menuShown_ = false;
    take = take || ((!fullScreen || menuShown_) && onBar);
  }
  if (!pointerEvent && !keys_.Take(event)) ImGui_ImplSDL2_ProcessEvent(&event);
  bool hot = take || menuShown_ || openFirstMenu_;
  if (hot || menuHot_) {
    // One more frame after leaving takes the highlight off; a press that waits for its own
    // frame gets it now.
    RefreshMenu();
    for (int frame = 0;
         frame < kMaxPointerFrames && context_ && (pointer_.Pending() || keys_.Pending()); ++frame)
      RefreshMenu();
  } else {
    pointer_.Settle();
    SettleKeys();
  }
  menuHot_ = hot;
  return take && event.type != SDL_MOUSEMOTION;
}

void ImGuiDialogHost::UpdateInset() {
  int32_t wanted = menu_ && !backend_->IsFullScreen(sdlWindow_)
                       ? static_cast<int32_t>(ImGui::GetFrameHeight())
                       : 0;
  int32_t inset = sink_->TopInset();
  if (wanted == inset) return;
  int w = 0;
  int h = 0;
  SDL_GetWindowSize(sdlWindow_, &w, &h);
  sink_->SetTopInset(wanted);
  // The picture keeps its size: the window grows or shrinks by the bar.
  if (!backend_->IsFullScreen(sdlWindow_)) SDL_SetWindowSize(sdlWindow_, w, h - inset + wanted);
}

void ImGuiDialogHost::DrawMenuBar() {
  // A popup's end takes its menu along.
  if (menu_ && !IsWindow(menuWindow_)) {
    menu_ = nullptr;
    menuWindow_ = HWND{};
    menuLoop_ = false;
  }
  if (!menu_) return;
  drawnMenuChanges_ = menu_->Changes();
  const bool popupShown = menuWindow_ != window_ && IsWindowVisible(menuWindow_);
  if (backend_->IsFullScreen(sdlWindow_) && !menuShown_ && !popupShown && !inDialog_) return;
  if (backend_->IsFullScreen(sdlWindow_) && inDialog_) return;
  if (!ImGui::BeginMainMenuBar()) return;
  bool first = true;
  for (const MenuItem& top : menu_->Items()) {
    MenuLabel label = SplitMenuLabel(top.label);
    std::string text = Utf8(label.text);
    if (top.items.empty()) {
      if (ImGui::MenuItem(text.c_str(), nullptr, top.checked, top.enabled && !inDialog_))
        (void)menu_->Choose(top.id);
      NoteItem(text);
      continue;
    }
    if (first && openFirstMenu_) ImGui::OpenPopup(text.c_str());
    first = false;
    const bool opened = ImGui::BeginMenu(text.c_str(), top.enabled && !inDialog_);
    // An open menu's last item is its popup, not its title.
    if (!opened) NoteItem(text);
    if (opened) {
      if (closeMenu_) ImGui::CloseCurrentPopup();
      for (const MenuItem& item : top.items) {
        if (item.separator) {
          ImGui::Separator();
          continue;
        }
        MenuLabel itemLabel = SplitMenuLabel(item.label);
        std::string shortcut = Utf8(itemLabel.shortcut);
        const std::string itemText = Utf8(itemLabel.text);
        if (ImGui::MenuItem(itemText.c_str(), shortcut.empty() ? nullptr : shortcut.c_str(),
                            item.checked, item.enabled)) {
          // A greyed item is not offered to be clicked; a gone owner takes no command.
          (void)menu_->Choose(item.id);
        }
        NoteItem(itemText);
      }
      ImGui::EndMenu();
    }
  }
  openFirstMenu_ = false;
  closeMenu_ = false;
  ImGui::EndMainMenuBar();
}

void ImGuiDialogHost::Frame(const std::function<bool()>& draw, bool* done) {
  frameItems_.clear();
  ImGui_ImplSDLRenderer_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  FeedPointer();
  FeedKeys();
  ImGui::NewFrame();
  UpdateInset();
  DrawMenuBar();
  PostMenuLoop();
  if (draw && draw()) *done = true;
  ImGui::Render();
  haveDrawData_ = true;
  shownItems_.swap(frameItems_);
  ++frameCount_;
  sink_->Redraw();
}

void ImGuiDialogHost::PostMenuLoop() {
  // A dialog's own popups are no menu.
  if (!menu_ || inDialog_) return;
  const bool open = ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId);
  if (open == menuLoop_) return;
  menuLoop_ = open;
  // A window already gone has no queue: the message has nobody to reach.
  (void)PostMessage(menuWindow_, open ? WM_ENTERMENULOOP : WM_EXITMENULOOP, 0, 0);
}

void ImGuiDialogHost::RefreshMenu() {
  if (!context_ || inDialog_ || loopDepth_ > 0) return;
  bool done = false;
  Frame({}, &done);
}

bool ImGuiDialogHost::IsMenuOpen() const {
  return context_ && menu_ && ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId);
}

void ImGuiDialogHost::OpenMenu() {
  menuShown_ = true;
  openFirstMenu_ = true;
  RefreshMenu();
}

void ImGuiDialogHost::CloseForStop() {
  stopping_.store(true);
  backend_->Wake();  // a dialog loop waiting for events sees it now
}

void ImGuiDialogHost::EndDialog(int id) {
  endRequested_ = true;
  endId_ = id;
}

void ImGuiDialogHost::RunLoop(const std::function<bool()>& draw) {
  bool wasInDialog = inDialog_;
  inDialog_ = true;
  ++loopDepth_;
  endRequested_ = false;
  closeRequested_ = false;
  bool done = false;
  for (int frame = 0; !done && !endRequested_ && !closeRequested_; ++frame) {
    MSG msg;
    // It serves the sends and pumps the platform; what waits is read below.
    (void)PeekMessage(&msg, HWND{}, kNoMessage, kNoMessage, PM_NOREMOVE);
    if (stopping_.load() || !IsWindow(window_) || backend_->SdlWindowOf(window_) != sdlWindow_) {
      closeRequested_ = true;
      break;
    }
    Frame(draw, &done);
    // The game's frames wait for the dialog: its own show the program alive.
    NoteProgress();
    if (frameHook_) frameHook_(frame);
    // Pointer and key events waiting for their frame are input already come.
    if (!done && !endRequested_ && !pointer_.Pending() && !keys_.Pending())
      SDL_WaitEventTimeout(nullptr, waitMs_);
  }
  --loopDepth_;
  inDialog_ = wasInDialog;
}

// The window shows the last frame's draw data over every frame the game presents: once the
// outermost dialog ends, a frame without it replaces that data, or the dialog would stay drawn
// until some input happened to bring a new frame.
void ImGuiDialogHost::TakeDialogOffTheWindow() {
  if (loopDepth_ > 0 || !context_) return;
  RefreshMenu();
  ShowThePointerToTheGame();
}

// While a dialog was drawn over the game, the game saw none of the pointer's moves: an item it
// lit before would stay lit wherever the pointer went. The game learns where the pointer stands
// now, as the platform tells a window that comes back under the pointer.
void ImGuiDialogHost::ShowThePointerToTheGame() {
  if (!sdlWindow_ || window_ == boxWindow_) return;
  const PointerState& pointer = pointer_.Settle();
  if (!pointer.inside) return;
  SDL_Event event{};
  event.motion.type = SDL_MOUSEMOTION;
  event.motion.windowID = SDL_GetWindowID(sdlWindow_);
  event.motion.state = SDL_GetMouseState(nullptr, nullptr);
  event.motion.x = static_cast<int>(pointer.x);
  event.motion.y = static_cast<int>(pointer.y);
  // A full queue drops it: the pointer's next move tells the game all the same.
  (void)SDL_PushEvent(&event);
}

bool ImGuiDialogHost::SetClipboardText(std::string_view cp932) {
  return SDL_SetClipboardText(Utf8(cp932).c_str()) == 0;
}

void ImGuiDialogHost::AttachMenu(HWND owner, Menu* menu) {
  if (!IsEventThread()) return;
  if (!menu) {
    if (menu_ && (owner == window_ || owner == menuWindow_)) {
      menu_ = nullptr;
      menuWindow_ = HWND{};
      menuLoop_ = false;
      if (context_) RefreshMenu();
    }
    return;
  }
  if (!Bind(owner)) return;
  menu_ = menu;
  menuWindow_ = owner;
  menuLoop_ = false;
  RefreshMenu();
}

void ImGuiDialogHost::OpenMenu(HWND owner) {
  if (!IsEventThread() || !menu_ || !owner || owner != menuWindow_) return;
  OpenMenu();
}

bool ImGuiDialogHost::ShowMessageBox(const MessageBoxRequest& request, int* answer) {
  if (!IsEventThread() || !(boxesWithoutDisplay_ || SdlBackend::HasDisplay())) return false;
  Dialog dialog = MessageBoxDialog(request);
  HWND owner = request.owner;
  if (!owner && context_) owner = window_;
  if (owner && !backend_->SdlWindowOf(owner)) owner = GetWindowOwner(owner);
  SDL_Window* shownIn = owner ? backend_->SdlWindowOf(owner) : nullptr;
  if (shownIn && (SDL_GetWindowFlags(shownIn) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) == 0 &&
      Bind(owner)) {
    *answer = RunDialog(owner, dialog);
    return true;
  }
  // No window to draw in (before the game's opens, after it closed, or while it is hidden):
  // the box gets one of its own. A menu bound elsewhere comes back afterwards.
  Menu* menu = menu_;
  const HWND menuWindow = menuWindow_;
  const HWND box = OpenBoxWindow(dialog.title);
  if (!box) return false;
  boxWindow_ = box;
  boxWindowShown_ = false;
  boxWidth_ = boxHeight_ = boxStillFrames_ = 0;
  const bool bound = Bind(box);
  if (bound) *answer = RunDialog(box, dialog);
  boxWindow_ = HWND{};
  (void)DestroyWindow(box);  // this thread's box: it goes
  if (menu && IsWindow(menuWindow)) AttachMenu(menuWindow, menu);
  return bound;
}

HWND ImGuiDialogHost::OpenBoxWindow(const std::string& titleCp932) {
  WindowDesc desc;
  desc.proc = DefWindowProc;
  desc.native = true;
  desc.nativeDesc = NativeWindowDesc{titleCp932, kBoxWindowWidth, kBoxWindowHeight, false};
  return CreateWindow(desc);
}

void ImGuiDialogHost::FitBoxWindow(float width, float height) {
  // The box grows to its text over its first frames; the window takes its size once it stands
  // still, then shows, and keeps that size.
  if (boxWindowShown_) return;
  const int wantedWidth = static_cast<int>(width + 0.5f);
  const int wantedHeight = static_cast<int>(height + 0.5f);
  if (wantedWidth != boxWidth_ || wantedHeight != boxHeight_) {
    boxWidth_ = wantedWidth;
    boxHeight_ = wantedHeight;
    boxStillFrames_ = 0;
    return;
  }
  if (++boxStillFrames_ < kStillFrames) return;
  SDL_SetWindowSize(sdlWindow_, wantedWidth, wantedHeight);
  SDL_SetWindowPosition(sdlWindow_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  (void)ShowWindow(boxWindow_, true);  // this thread's own box: it shows
  SDL_RaiseWindow(sdlWindow_);
  boxWindowShown_ = true;
}

std::string ImGuiDialogHost::MissingGlyphs(std::string_view cp932) const {
  const std::string utf8 = Utf8(cp932);
  if (!context_) return utf8;
  ImGuiContext* outer = ImGui::GetCurrentContext();
  ImGui::SetCurrentContext(context_);
  const ImFont* font =
      ImGui::GetIO().Fonts->Fonts.empty() ? nullptr : ImGui::GetIO().Fonts->Fonts[0];
  std::string missing;
  for (const char* at = utf8.c_str(); *at != '\0';) {
    unsigned int c = 0;
    const int length = ImTextCharFromUtf8(&c, at, nullptr);
    if (c >= 0x20 && (!font || !font->FindGlyphNoFallback(static_cast<ImWchar>(c))))
      missing.append(at, static_cast<size_t>(length));
    at += length;
  }
  ImGui::SetCurrentContext(outer);
  return missing;
}

std::optional<std::array<float, 4>> ImGuiDialogHost::ShownItem(std::string_view utf8Label) const {
  for (const DrawnItem& item : shownItems_) {
    if (item.label.starts_with(utf8Label))
      return std::array<float, 4>{item.left, item.top, item.right, item.bottom};
  }
  return std::nullopt;
}

void ImGuiDialogHost::NoteItem(const std::string& utf8Label) {
  const ImVec2 min = ImGui::GetItemRectMin();
  const ImVec2 max = ImGui::GetItemRectMax();
  const bool usable = (GImGui->LastItemData.InFlags & ImGuiItemFlags_Disabled) == 0;
  frameItems_.push_back({VisibleLabel(utf8Label), min.x, min.y, max.x, max.y, usable});
}

void ImGuiDialogHost::PlayInput(std::vector<InputStep> steps) {
  input_ = std::move(steps);
  inputNext_ = 0;
  stepStartItems_ = shownItems_;
  stepStartMs_ = SDL_GetTicks();
  stepTurns_ = 0;
  keyEvents_ = 0;
  clickTarget_ = DrawnItem{};
  clickStillFrames_ = 0;
}

void ImGuiDialogHost::NextInputStep(const char* what) {
  std::fprintf(stderr, "brimwold: input: %s %s\n", what,
               DescribeInputStep(input_[inputNext_]).c_str());
  std::fflush(stderr);
  ++inputNext_;
  stepTurns_ = 0;
  keyEvents_ = 0;
  stepStartMs_ = SDL_GetTicks();
  stepStartItems_ = shownItems_;
  clickTarget_ = DrawnItem{};
  clickStillFrames_ = 0;
}

void ImGuiDialogHost::GiveUpInput() {
  std::fprintf(stderr, "brimwold: input: gave up at %s\n",
               DescribeInputStep(input_[inputNext_]).c_str());
  std::fflush(stderr);
  inputNext_ = input_.size();
}

void ImGuiDialogHost::PlayTurn() {
  if (InputDone()) return;
  const InputStep& step = input_[inputNext_];
  ++stepTurns_;
  switch (step.kind) {
    case InputStep::Kind::kWait:
      if (stepTurns_ >= step.frames) NextInputStep("played");
      return;
    case InputStep::Kind::kClose: {
      SDL_Event event;
      SDL_zero(event);
      event.type = SDL_WINDOWEVENT;
      event.window.event = SDL_WINDOWEVENT_CLOSE;
      event.window.windowID = sdlWindow_ ? SDL_GetWindowID(sdlWindow_) : 0;
      SDL_PushEvent(&event);
      NextInputStep("played");
      return;
    }
    case InputStep::Kind::kKey:
      if (PlayKey(step)) NextInputStep("played");
      return;
    case InputStep::Kind::kScreen:
      // Full screen is seen once the window fills its display, not when it was only asked for.
      if (sdlWindow_ && (step.fullScreen ? backend_->FillsDisplay(sdlWindow_)
                                         : !backend_->IsFullScreen(sdlWindow_))) {
        NextInputStep("saw");
      } else if (SDL_GetTicks() - stepStartMs_ > kGiveUpMs) {
        GiveUpInput();
      }
      return;
    case InputStep::Kind::kClick:
    case InputStep::Kind::kSee:
    case InputStep::Kind::kAppear: {
      const bool see = step.kind != InputStep::Kind::kClick;
      if (see ? PlaySee(step) : PlayClick(step)) {
        NextInputStep(see ? "saw" : "played");
      } else if (SDL_GetTicks() - stepStartMs_ > kGiveUpMs) {
        GiveUpInput();
      }
      return;
    }
  }
}

bool ImGuiDialogHost::PlayKey(const InputStep& step) {
  // Downs in order, then ups in reverse, at most one a turn: ImGui reads a key once a frame. The
  // modifiers are held around the last key: it goes down, and they go up, only after the hold.
  const int count = static_cast<int>(step.keys.size());
  const int turn = keyEvents_;
  if (turn > 0 && turn != count && SDL_GetTicks() - lastKeyMs_ < kKeyHoldMs) return false;
  ++keyEvents_;
  lastKeyMs_ = SDL_GetTicks();
  const bool down = turn < count;
  const int index = down ? turn : 2 * count - 1 - turn;
  uint16_t mods = 0;
  for (int i = 0; i < (down ? index + 1 : index); ++i) {
    switch (step.keys[static_cast<size_t>(i)]) {
      case SDL_SCANCODE_LSHIFT:
        mods |= KMOD_LSHIFT;
        break;
      case SDL_SCANCODE_LCTRL:
        mods |= KMOD_LCTRL;
        break;
      case SDL_SCANCODE_LALT:
        mods |= KMOD_LALT;
        break;
      default:
        break;
    }
  }
  const auto scancode = static_cast<SDL_Scancode>(step.keys[static_cast<size_t>(index)]);
  SDL_Event event;
  SDL_zero(event);
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.windowID = sdlWindow_ ? SDL_GetWindowID(sdlWindow_) : 0;
  event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.scancode = scancode;
  event.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
  event.key.keysym.mod = mods;
  SDL_PushEvent(&event);
  return turn + 1 >= 2 * count;
}

void ImGuiDialogHost::PushClick(int x, int y) {
  // As a quick click comes from the pointer: the move onto the item, the press and the release
  // all before the next frame. The pointer itself goes there too, for what reads where it is.
  SDL_WarpMouseInWindow(sdlWindow_, x, y);
  const uint32_t windowId = SDL_GetWindowID(sdlWindow_);
  SDL_Event event;
  SDL_zero(event);
  event.type = SDL_MOUSEMOTION;
  event.motion.windowID = windowId;
  event.motion.x = x;
  event.motion.y = y;
  SDL_PushEvent(&event);
  for (const uint32_t type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
    SDL_zero(event);
    event.type = type;
    event.button.windowID = windowId;
    event.button.button = SDL_BUTTON_LEFT;
    event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = x;
    event.button.y = y;
    SDL_PushEvent(&event);
  }
}

bool ImGuiDialogHost::FindStill(const InputStep& step) {
  if (!context_) return false;
  // Outside a dialog frames come only with input: one per turn keeps the items current.
  if (loopDepth_ == 0) RefreshMenu();
  if (!context_) return false;
  // A greyed item is seen, and clicked once it can be used.
  const bool click = step.kind == InputStep::Kind::kClick;
  const bool fresh = step.kind == InputStep::Kind::kAppear;
  const auto found =
      std::find_if(shownItems_.begin(), shownItems_.end(), [&](const DrawnItem& item) {
        if (click) return item.usable && item.label.starts_with(step.label);
        return item.label == step.label &&
               !(fresh && std::find(stepStartItems_.begin(), stepStartItems_.end(), item) !=
                              stepStartItems_.end());
      });
  if (found == shownItems_.end()) {
    clickStillFrames_ = 0;
    // A hidden full-screen menu bar comes out with the pointer on the top edge.
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(sdlWindow_, &width, &height);
    if (backend_->IsFullScreen(sdlWindow_) && !menuShown_)
      SDL_WarpMouseInWindow(sdlWindow_, width / 2, 0);
    return false;
  }
  if (!(*found == clickTarget_)) {
    clickTarget_ = *found;
    clickStillFrames_ = 0;
    clickSeenFrame_ = frameCount_;
    return false;
  }
  if (frameCount_ != clickSeenFrame_) {
    ++clickStillFrames_;
    clickSeenFrame_ = frameCount_;
  }
  return clickStillFrames_ >= kStillFrames;
}

bool ImGuiDialogHost::PlayClick(const InputStep& step) {
  if (!FindStill(step)) return false;
  PushClick(static_cast<int>((clickTarget_.left + clickTarget_.right) / 2),
            static_cast<int>((clickTarget_.top + clickTarget_.bottom) / 2));
  return true;
}

bool ImGuiDialogHost::PlaySee(const InputStep& step) {
  if (!FindStill(step)) return false;
  // Where it stands, in the window and on the screen, for a test that points at it from outside.
  int windowX = 0;
  int windowY = 0;
  SDL_GetWindowPosition(sdlWindow_, &windowX, &windowY);
  const DrawnItem& item = clickTarget_;
  std::fprintf(stderr, "brimwold: input: %s stands at %.0f,%.0f-%.0f,%.0f, on the screen %d,%d\n",
               step.label.c_str(), item.left, item.top, item.right, item.bottom,
               windowX + static_cast<int>((item.left + item.right) / 2),
               windowY + static_cast<int>((item.top + item.bottom) / 2));
  return true;
}

}  // namespace bw::host
