#include "host/headless/headless_backend.h"

#include <cstring>

#include "host/input/cursor.h"
#include "host/input/text_input.h"
#include "host/message_queue.h"

namespace bw::host {

namespace {
constexpr int32_t kDefaultDesktopWidth = 1024;
constexpr int32_t kDefaultDesktopHeight = 768;
constexpr int32_t kDefaultDesktopDepth = 32;
}  // namespace

void HeadlessSink::Show(const FrameView& frame) {
  if (detached_) return;
  if (frame.pixels) {
    last_ = frame;
  } else {
    // Pixels good only for this call: a copy of the rows, kept in a block the sink reuses.
    const size_t row = size_t(frame.width) * 4;
    SharedPixels block = TakeBlock(row * size_t(frame.height));
    if (!block) {
      // Nothing to keep the frame in: the last frame reads as empty rather than stale.
      last_ = FrameView{};
    } else {
      CopyFrameRows(frame, block.Data());
      last_ = FrameView{block.Data(), frame.width,  frame.height,
                        int32_t(row), frame.filter, std::move(block)};
    }
  }
  madeCurrent_ = false;
  ++framesShown_;
  ++framesDrawn_;
  if (onShow_) onShow_();
}

// Counted like a new frame: scripted input and hashes are placed by frame turns, and a screen
// that did not change still turned.
void HeadlessSink::ShowSame() {
  if (detached_) return;
  ++framesShown_;
  if (onShow_) onShow_();
}

const Frame& HeadlessSink::LastFrame() const {
  if (!madeCurrent_) {
    CopyFrame(last_, &made_);
    madeCurrent_ = true;
  }
  return made_;
}

uint64_t HeadlessSink::FrameHash() const {
  uint64_t hash = kFnv1a64Start;
  const size_t row = size_t(last_.width) * 4;
  for (int32_t y = 0; y < last_.height; ++y)
    hash = Fnv1a64(last_.bgra + size_t(last_.pitch) * size_t(y), row, hash);
  return hash;
}

void HeadlessSink::Detach() {
  detached_ = true;
  onShow_ = nullptr;
  onPending_ = nullptr;
}

HeadlessBackend::HeadlessBackend(uint32_t startMs) : clock_(startMs), useClock_(&clock_) {
  Rect screen{0, 0, kDefaultDesktopWidth, kDefaultDesktopHeight};
  desktop_ = DesktopInfo{
      kDefaultDesktopWidth, kDefaultDesktopHeight, kDefaultDesktopDepth, {Monitor{screen, screen}}};
}

HeadlessBackend::~HeadlessBackend() = default;

void HeadlessBackend::Queue(Scripted scripted) {
  std::lock_guard<std::mutex> guard(lock_);
  events_.push_back(std::move(scripted));
  wake_.notify_all();
}

void HeadlessBackend::QueueEvent(InputEvent event) {
  Queue(Scripted{Scripted::Kind::kEvent, std::move(event), {}});
}

void HeadlessBackend::QueueTypedText(std::string utf8) {
  Queue(Scripted{Scripted::Kind::kTypedText, {}, std::move(utf8)});
}

void HeadlessBackend::QueueComposition(std::string utf8, int32_t cursor) {
  Scripted scripted{Scripted::Kind::kComposition, {}, std::move(utf8)};
  scripted.cursor = cursor;
  Queue(std::move(scripted));
}

void HeadlessBackend::SetDesktop(DesktopInfo desktop) {
  desktop_ = std::move(desktop);
}

void HeadlessBackend::HoldKey(int virtualKey, bool down) {
  std::lock_guard<std::mutex> guard(lock_);
  if (down) {
    keysHeld_.insert(virtualKey);
  } else {
    keysHeld_.erase(virtualKey);
  }
}

bool HeadlessBackend::KeyDownNow(int virtualKey) {
  std::lock_guard<std::mutex> guard(lock_);
  return keysHeld_.count(virtualKey) != 0;
}

void HeadlessBackend::SetFileSystemType(const std::string& folder, std::string type) {
  fileSystems_[folder] = std::move(type);
}

void HeadlessBackend::QueueMessageBoxAnswer(int answer) {
  std::lock_guard<std::mutex> guard(lock_);
  answers_.push_back(answer);
}

std::vector<MessageBoxRequest> HeadlessBackend::MessageBoxes() {
  std::lock_guard<std::mutex> guard(lock_);
  return messageBoxes_;
}

const HeadlessBackend::WindowState* HeadlessBackend::Window(HWND hwnd) const {
  auto it = windows_.find(hwnd.id);
  return it == windows_.end() ? nullptr : &it->second;
}

HWND HeadlessBackend::MainWindow() const {
  return windows_.empty() ? HWND{} : HWND{windows_.begin()->first};
}

bool HeadlessBackend::OpenWindow(HWND hwnd, const NativeWindowDesc& desc) {
  if (desc.width <= 0 || desc.height <= 0) return false;
  WindowState& state = windows_[hwnd.id];
  state.desc = desc;
  state.sink = std::make_unique<HeadlessSink>();
  state.sink->SetOnShow([this, hwnd] {
    const WindowState* window = Window(hwnd);
    if (window && frameObserver_) frameObserver_(hwnd, *window->sink);
    if (closeAfterFrames_ != 0 && window && window->sink->FramesShown() == closeAfterFrames_) {
      // A window already gone has no queue: the message has nobody to reach.
      (void)PostMessage(hwnd, WM_CLOSE, 0, 0);
    }
  });
  state.sink->SetOnPending([this] { Wake(); });
  return true;
}

void HeadlessBackend::CloseWindow(HWND hwnd) {
  auto it = windows_.find(hwnd.id);
  if (it == windows_.end()) return;
  it->second.sink->Detach();
  retiredSinks_.push_back(std::move(it->second.sink));
  windows_.erase(it);
}

bool HeadlessBackend::ShowWindow(HWND hwnd, bool show) {
  auto it = windows_.find(hwnd.id);
  if (it == windows_.end()) return false;
  it->second.desc.visible = show;
  return true;
}

bool HeadlessBackend::SetClientSize(HWND hwnd, int32_t width, int32_t height) {
  auto it = windows_.find(hwnd.id);
  if (it == windows_.end()) return false;
  it->second.desc.width = width;
  it->second.desc.height = height;
  return true;
}

bool HeadlessBackend::MoveWindow(HWND hwnd, int32_t left, int32_t top) {
  auto it = windows_.find(hwnd.id);
  if (it == windows_.end()) return false;
  it->second.left = left;
  it->second.top = top;
  return true;
}

bool HeadlessBackend::SetFullScreen(HWND hwnd, bool fullScreen) {
  auto it = windows_.find(hwnd.id);
  if (it == windows_.end() || (fullScreen && refuseFullScreen_)) return false;
  it->second.fullScreen = fullScreen;
  return true;
}

bool HeadlessBackend::SetTitle(HWND hwnd, std::string_view cp932) {
  auto it = windows_.find(hwnd.id);
  if (it == windows_.end()) return false;
  it->second.desc.title = std::string(cp932);
  return true;
}

bool HeadlessBackend::GetClientSize(HWND hwnd, int32_t* width, int32_t* height) {
  auto it = windows_.find(hwnd.id);
  if (it == windows_.end()) return false;
  // Full screen fills the desktop, as the real backend's desktop-sized window does.
  *width = it->second.fullScreen ? desktop_.width : it->second.desc.width;
  *height = it->second.fullScreen ? desktop_.height : it->second.desc.height;
  return true;
}

bool HeadlessBackend::GetWindowPosition(HWND hwnd, int32_t* left, int32_t* top) {
  auto it = windows_.find(hwnd.id);
  if (it == windows_.end()) return false;
  *left = it->second.fullScreen ? 0 : it->second.left;
  *top = it->second.fullScreen ? 0 : it->second.top;
  return true;
}

bool HeadlessBackend::MinimizeWindow(HWND hwnd, bool minimize) {
  auto it = windows_.find(hwnd.id);
  if (it == windows_.end()) return false;
  it->second.minimized = minimize;
  return true;
}

bool HeadlessBackend::SetWindowTopmost(HWND hwnd, bool topmost) {
  auto it = windows_.find(hwnd.id);
  if (it == windows_.end()) return false;
  it->second.topmost = topmost;
  return true;
}

bool HeadlessBackend::SetWindowMaximizable(HWND hwnd, bool maximizable) {
  auto it = windows_.find(hwnd.id);
  if (it == windows_.end()) return false;
  it->second.maximizable = maximizable;
  return true;
}

PresentationSink* HeadlessBackend::Sink(HWND hwnd) {
  auto it = windows_.find(hwnd.id);
  return it == windows_.end() ? nullptr : it->second.sink.get();
}

void HeadlessBackend::PumpEvents() {
  std::deque<Scripted> events;
  {
    std::lock_guard<std::mutex> guard(lock_);
    events.swap(events_);
  }
  for (const Scripted& scripted : events) {
    switch (scripted.kind) {
      case Scripted::Kind::kEvent:
        // A window that is gone or disabled takes no event, as on a platform.
        (void)DeliverInputEvent(MainWindow(), scripted.event);
        break;
      case Scripted::Kind::kTypedText:
        DeliverTypedText(MainWindow(), scripted.utf8);
        break;
      case Scripted::Kind::kComposition:
        SetCompositionUtf8(scripted.utf8, scripted.cursor);
        break;
    }
  }
  ApplyCursorState();
  for (auto& [id, window] : windows_) window.sink->PresentPending();
}

void HeadlessBackend::WaitEvents() {
  std::unique_lock<std::mutex> guard(lock_);
  wake_.wait(guard, [this] { return woken_ || !events_.empty(); });
  woken_ = false;
}

void HeadlessBackend::Wake() {
  std::lock_guard<std::mutex> guard(lock_);
  woken_ = true;
  wake_.notify_all();
}

DesktopInfo HeadlessBackend::Desktop() {
  return desktop_;
}

std::string HeadlessBackend::FileSystemType(const std::string& folder) {
  auto it = fileSystems_.find(folder);
  return it == fileSystems_.end() ? std::string() : it->second;
}

int HeadlessBackend::ShowMessageBox(const MessageBoxRequest& request) {
  std::lock_guard<std::mutex> guard(lock_);
  messageBoxes_.push_back(request);
  if (answers_.empty()) return MessageBoxDefaultAnswer(request.style);
  int answer = answers_.front();
  answers_.pop_front();
  return answer;
}

CursorState HeadlessBackend::AppliedCursor() const {
  return appliedCursor_;
}

bool HeadlessBackend::TextInputOn() const {
  return textInputOn_;
}

void HeadlessBackend::ApplyCursor(const CursorState& state) {
  appliedCursor_ = state;
}

void HeadlessBackend::SetTextInput(bool on) {
  textInputOn_ = on;
}

std::unique_ptr<AudioOutput> HeadlessBackend::MakeAudioOutput(SoundDevice& device) {
  return std::make_unique<CapturedAudioOutput>(device, audio_);
}

void HeadlessBackend::FailAudioOutput(std::string reason) {
  std::lock_guard<std::mutex> hold(audio_->lock);
  audio_->failure = std::move(reason);
}

bool HeadlessBackend::PullSound(size_t frames) {
  std::lock_guard<std::mutex> hold(audio_->lock);
  if (!audio_->playing) return false;
  audio_->playing->MixLocked(frames);
  return true;
}

std::vector<int16_t> HeadlessBackend::CapturedSound() {
  std::lock_guard<std::mutex> hold(audio_->lock);
  return audio_->samples;
}

uint32_t HeadlessBackend::CapturedRate() {
  std::lock_guard<std::mutex> hold(audio_->lock);
  return audio_->playing ? audio_->playing->Rate() : 0;
}

}  // namespace bw::host
