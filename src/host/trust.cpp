#include "host/trust.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>

namespace bw::host {

namespace fs = std::filesystem;

namespace {

// Past this many refused paths the rest go untold: a script in a loop must not fill the log.
constexpr size_t kMaxToldPaths = 1024;

std::atomic<bool> trusted{false};

struct TrustState {
  std::mutex lock;
  TrustNoticeSink sink;
  std::vector<std::string> folders;
  std::set<std::string> told;
  std::vector<std::string> untold;  // told while no sink was set, for the next sink
};

TrustState& State() {
  static TrustState state;
  return state;
}

// Called with the state locked, so that notices from two threads do not interleave.
void Tell(TrustState& state, const std::string& text) {
  std::fprintf(stderr, "brimwold: %s\n", text.c_str());
  if (state.sink) {
    state.sink(text);
  } else if (state.untold.size() < kMaxToldPaths) {
    state.untold.push_back(text);
  }
}

// The path with links resolved as far as it exists, the rest taken as written; nothing when an
// entry on the way cannot be resolved (a dangling link, a loop, a folder we may not search).
std::optional<fs::path> Resolved(const fs::path& path) {
  fs::path existing = path.lexically_normal();
  std::vector<fs::path> rest;
  std::error_code error;
  while (!fs::exists(fs::symlink_status(existing, error)) && existing.has_relative_path()) {
    if (!existing.filename().empty()) rest.push_back(existing.filename());
    existing = existing.parent_path();
  }
  fs::path real = fs::canonical(existing, error);
  if (error) return std::nullopt;
  for (auto part = rest.rbegin(); part != rest.rend(); ++part) real /= *part;
  return real.lexically_normal();
}

std::string FolderForm(const std::string& folder) {
  std::optional<fs::path> real = Resolved(folder);
  std::string text = real ? real->string() : fs::path(folder).lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

bool Within(const std::string& path, const std::string& folder) {
  if (folder.empty()) return false;
  if (folder == "/") return true;
  return path.compare(0, folder.size(), folder) == 0 &&
         (path.size() == folder.size() || path[folder.size()] == '/');
}

bool InAny(const std::string& path, const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    if (Within(path, folder)) return true;
  }
  return false;
}

}  // namespace

void SetGameTrusted(bool trust) {
  trusted.store(trust, std::memory_order_relaxed);
}

bool GameTrusted() {
  return trusted.load(std::memory_order_relaxed);
}

void SetTrustNoticeSink(TrustNoticeSink sink) {
  TrustState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  state.sink = std::move(sink);
  if (!state.sink) return;
  for (const std::string& text : state.untold) state.sink(text);
  state.untold.clear();
}

void ForgetTrustNotices() {
  TrustState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  state.told.clear();
  state.untold.clear();
}

void TellModuleSkipped(std::string_view path, std::string_view instead) {
  std::string text = "did not load the native module " + std::string(path) +
                     ": native code in a game folder runs only when the player starts the game "
                     "with --trust-game";
  if (!instead.empty()) text += "; " + std::string(instead);
  TrustState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  Tell(state, text);
}

void TellProgramRefused(std::string_view commandLine) {
  TrustState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  if (state.told.size() >= kMaxToldPaths || !state.told.insert(std::string(commandLine)).second)
    return;
  Tell(state, "did not run the program " + std::string(commandLine) +
                  ": a game starts programs only when the player starts it with --trust-game");
}

void SetGameFolders(const std::vector<std::string>& folders) {
  std::vector<std::string> forms;
  for (const std::string& folder : folders) forms.push_back(FolderForm(folder));
  TrustState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  state.folders = std::move(forms);
}

bool GamePathAllowed(std::string_view linuxPath, PathUse use) {
  if (GameTrusted()) return true;
  std::error_code error;
  const std::string temporary = FolderForm(fs::temp_directory_path(error).string());
  std::optional<fs::path> resolved = Resolved(fs::path(linuxPath));
  const std::string path = resolved ? resolved->string() : std::string();
  TrustState& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  if (!path.empty() && fs::path(path).is_absolute() &&
      ((!error && Within(path, temporary)) || InAny(path, state.folders))) {
    return true;
  }
  if (state.told.size() < kMaxToldPaths && state.told.insert(std::string(linuxPath)).second) {
    Tell(state, std::string("refused ") + (use == PathUse::kWrite ? "writing " : "reading ") +
                    std::string(linuxPath) +
                    ": a game reaches only its own folder, its save folder and the temporary "
                    "folder unless the player starts it with --trust-game");
  }
  return false;
}

}  // namespace bw::host
