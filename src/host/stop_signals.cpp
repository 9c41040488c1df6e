#include "host/stop_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "host/clock.h"

namespace bw::host {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM};
constexpr int kLookMs = 100;            // how often the frame loop is looked at after a signal
constexpr unsigned char kWakeByte = 0;  // the watcher's own end; never a signal's number
constexpr uint64_t kNanosecondsPerMs = 1000000;

std::atomic<uint64_t> progressNotes{0};

// The handler's one way out; set before the handlers go in, cleared after they come out.
std::atomic<int> signalPipe{-1};

void OnStopSignal(int signal) {
  const int savedErrno = errno;
  const int fd = signalPipe.load(std::memory_order_relaxed);
  if (fd >= 0) {
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] ssize_t n = ::write(fd, &byte, 1);
  }
  errno = savedErrno;
}

bool SetHandler(int signal, void (*handler)(int)) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return ::sigaction(signal, &action, nullptr) == 0;
}

void RestoreDefaultHandlers() {
  for (int signal : kStopSignals) SetHandler(signal, SIG_DFL);
}

// Standard error without the stream's lock, which a stuck thread may hold.
void Say(const char* text) {
  [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, text, std::strlen(text));
}

[[noreturn]] void EndNow(int status, const char* why) {
  Say("brimwold: ");
  Say(why);
  Say("; ending at once\n");
  ::_exit(status);
}

}  // namespace

void NoteProgress() {
  progressNotes.fetch_add(1, std::memory_order_relaxed);
}

uint64_t Progress(uint64_t frameTurns) {
  return frameTurns + progressNotes.load(std::memory_order_relaxed);
}

StopWatchdog::Action StopWatchdog::OnSignal(int signal, uint64_t nowMs, uint64_t progress) {
  const bool first = signal_ == 0;
  signal_ = signal;
  if (!first) return Action::kExitNow;
  lastProgress_ = progress;
  lastProgressMs_ = nowMs;
  return Action::kRequestClose;
}

StopWatchdog::Action StopWatchdog::OnTick(uint64_t nowMs, uint64_t progress) {
  if (signal_ == 0) return Action::kNone;
  if (progress != lastProgress_) {
    lastProgress_ = progress;
    lastProgressMs_ = nowMs;
    return Action::kNone;
  }
  return nowMs - lastProgressMs_ >= kStallLimitMs ? Action::kExitNow : Action::kNone;
}

StopSignalWatcher::~StopSignalWatcher() {
  if (!watcher_.joinable()) return;
  RestoreDefaultHandlers();
  signalPipe.store(-1);
  stopping_.store(true);
  [[maybe_unused]] ssize_t n = ::write(pipe_[1], &kWakeByte, 1);
  watcher_.join();
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

bool StopSignalWatcher::Start(Hooks hooks) {
  if (watcher_.joinable() || signalPipe.load() >= 0) return false;
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  hooks_ = std::move(hooks);
  signalPipe.store(pipe_[1]);
  bool installed = true;
  for (int signal : kStopSignals) installed = SetHandler(signal, OnStopSignal) && installed;
  if (!installed) {
    RestoreDefaultHandlers();
    signalPipe.store(-1);
    ::close(pipe_[0]);
    ::close(pipe_[1]);
    return false;
  }
  watcher_ = std::thread([this] { Watch(); });
  return true;
}

void StopSignalWatcher::Watch() {
  MonotonicClock monotonic;
  ClockSource& clock = hooks_.clock ? *hooks_.clock : monotonic;
  auto nowMs = [&clock] { return clock.NowNanoseconds() / kNanosecondsPerMs; };
  auto progress = [this] { return Progress(hooks_.frameTurns()); };
  StopWatchdog watchdog;
  pollfd readable{pipe_[0], POLLIN, 0};
  while (!stopping_.load()) {
    const int ready = ::poll(&readable, 1, watchdog.Signalled() ? kLookMs : -1);
    if (ready < 0 && errno != EINTR) return;
    unsigned char bytes[16];
    const ssize_t n = ready > 0 ? ::read(pipe_[0], bytes, sizeof bytes) : 0;
    for (ssize_t i = 0; i < n && !stopping_.load(); ++i) {
      if (bytes[i] == kWakeByte) continue;
      switch (watchdog.OnSignal(bytes[i], nowMs(), progress())) {
        case StopWatchdog::Action::kRequestClose:
          Say(bytes[i] == SIGINT ? "brimwold: interrupted; closing the game\n"
                                 : "brimwold: asked to stop; closing the game\n");
          if (!hooks_.requestClose()) EndNow(watchdog.ExitStatus(), "the game has not started");
          break;
        case StopWatchdog::Action::kExitNow:
          EndNow(watchdog.ExitStatus(), "a second stop signal came");
        case StopWatchdog::Action::kNone:
          break;
      }
    }
    if (!stopping_.load() &&
        watchdog.OnTick(nowMs(), progress()) == StopWatchdog::Action::kExitNow) {
      EndNow(watchdog.ExitStatus(), "the game did not close within five seconds");
    }
  }
}

}  // namespace bw::host
