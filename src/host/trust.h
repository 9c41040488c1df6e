// A game folder may come from anywhere, so it is data: the native modules it ships are not
// loaded, its scripts start no programs, and the paths the game's scripts name reach only the
// game's own folders (the game folder with its plug-in folder, its save folder, the temporary
// folder). A player who trusts a game lifts both limits for the run with one switch. Refusals are
// told on standard error and to the notice sink (the application's start-up log), each path once.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace bw::host {

// The player's switch for the run; off until set.
void SetGameTrusted(bool trusted);
[[nodiscard]] bool GameTrusted();

// Where notices go besides standard error (UTF-8 text); none by default. A new sink first hears
// the notices told while there was none. The sink may be called from any thread, one call at a
// time.
using TrustNoticeSink = std::function<void(const std::string& textUtf8)>;
void SetTrustNoticeSink(TrustNoticeSink sink);
// A new run: the notices kept for a sink are dropped, and every path may be told again.
void ForgetTrustNotices();

// Tells that the native module at path was not loaded; instead says what stands in ("" for
// nothing).
void TellModuleSkipped(std::string_view path, std::string_view instead);

// Tells that a script's command line (UTF-8) was not run: a program is native code too.
void TellProgramRefused(std::string_view commandLine);

// The game's folders as Linux paths (the game folder and its save folder); the temporary folder
// is always among them.
void SetGameFolders(const std::vector<std::string>& folders);

enum class PathUse { kRead, kWrite };

// True when the game may use linuxPath (absolute) so: always when the game is trusted; else when
// the path, with ".." and links resolved as far as it exists, lies in one of the folders. A
// dangling link on the way is refused. A refused path is told the first time.
[[nodiscard]] bool GamePathAllowed(std::string_view linuxPath, PathUse use);

// Sets the switch for a scope and restores the old value.
class ScopedGameTrust {
 public:
  explicit ScopedGameTrust(bool trusted) : previous_(GameTrusted()) { SetGameTrusted(trusted); }
  ~ScopedGameTrust() { SetGameTrusted(previous_); }
  ScopedGameTrust(const ScopedGameTrust&) = delete;
  ScopedGameTrust& operator=(const ScopedGameTrust&) = delete;

 private:
  bool previous_;
};

}  // namespace bw::host
