// The brimwold program: starts the game application on the game folder, runs the game's "MAIN"
// and ends with the run's status. SIGINT and SIGTERM close the game as its window's close button
// does; a second one, or a frame loop that stands still for five seconds after it, ends it at once.
//
// Test switches (environment); the headless ones are read only with BRIMWOLD_HEADLESS=1, and a
// bad value ends the program with status 2:
//   BRIMWOLD_HEADLESS=1                       run on the headless backend instead of SDL
//   BRIMWOLD_HEADLESS_FRAMES=N                close the main window after N frames
//   BRIMWOLD_HEADLESS_HASHES=F,F,...          print "frame F hash 0x<16 hex digits>" on standard
//                                             output when the main window shows frame F (from 1);
//                                             F:X:Y:W:H hashes that rectangle of it alone, printed
//                                             as "frame F X:Y:W:H hash 0x..."
//   BRIMWOLD_HEADLESS_COMMANDS=F:ID,F:ID,...  post WM_COMMAND ID to the main window when it shows
//                                             frame F
//   BRIMWOLD_HEADLESS_ANSWERS=A,A,...         the dialogs that come are answered with these, in
//                                             order; after them a dialog takes its default
//                                             button, as message boxes do without a display. An
//                                             answer is a button id, or steps played first and
//                                             the button last, joined by ';': tab:N, page:N,
//                                             row:N, activate, text:ID:TEXT (UTF-8, no ',' or
//                                             ';'), commit:ID, slider:ID:N, item:ID:N,
//                                             check:ID:0|1, radio:ID:N, key:ID:CODE (DirectInput
//                                             code), joy:N (0-3 directions, else a button),
//                                             ticks:N (16 ms each), press:ID, close
//   BRIMWOLD_HEADLESS_WAVE=FILE               mix the sound as the virtual clock moves and write
//                                             it to FILE, a 16-bit stereo WAVE file, at the end;
//                                             status 30 when it cannot be written
//   BRIMWOLD_HEADLESS_INPUT=F:EVENT,...       input queued when the main window shows frame F:
//                                             F:move:X:Y, F:down:B and F:up:B (B left, right or
//                                             middle, at the pointer), F:click:X:Y (left button
//                                             up again at F+1), F:wheel:N (notches, positive
//                                             away from the user), F:key:NAME (SDL's key names;
//                                             up again at F+1; with Alt while an Alt key is
//                                             down), F:keydown:NAME, F:keyup:NAME,
//                                             F:text:TEXT (typed, UTF-8, no commas),
//                                             F:compose:TEXT (an input method's composition),
//                                             F:convert:TEXT (the same, its clause converting);
//                                             an empty composition ends it
//   BRIMWOLD_SDL_INPUT=STEP,STEP,...          with the SDL backend: clicks and keys played
//                                             into the window (host/dialog/input_script.h)
//   BRIMWOLD_TGS_TRACE=1                      each built-in a scenario script runs, on standard
//                                             error: "tgs SCRIPT +OFFSET built-in N
//                                             (flags,value)..." (with either backend)
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/application/game_app.h"
#include "common/atomic_file.h"
#include "host/clock.h"
#include "host/cp932.h"
#include "host/dialog/imgui_dialog_host.h"
#include "host/dialog/scripted_dialog_host.h"
#include "host/file/file_system.h"
#include "host/headless/headless_backend.h"
#include "host/headless/headless_input_script.h"
#include "host/host_path.h"
#include "host/message_box.h"
#include "host/message_queue.h"
#include "host/sdl/sdl_backend.h"
#include "host/stop_signals.h"
#include "host/trust.h"
#include "platform/app_paths.h"
#include "sound/direct_sound_device.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitStartFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitWaveNotWritten = 30;

struct CommandLine {
  std::string gameFolder;
  bool help = false;
  bool trustGame = false;
};

constexpr char kUsage[] =
    "usage: brimwold [--trust-game] [/L game-folder]\n"
    "       brimwold --help\n"
    "\n"
    "Runs a game made for the Brimwold DX engine: its scripts, pictures, sounds and movies, in a\n"
    "window or full screen, with the game's menus, settings and saves.\n"
    "\n"
    "  /L folder   the game's folder, the one that holds SCRIPT (also /l, -L, or /Lfolder);\n"
    "              without it the game is looked for in the folder that holds the program\n"
    "  --trust-game\n"
    "              for a game you trust: load the native Linux modules its folder ships (a\n"
    "              pixel library, plug-ins) and let its scripts start programs and read and\n"
    "              write outside its folder, its save folder and the temporary folder;\n"
    "              without it these are refused, each named on standard error and in the log\n"
    "  -h, --help  this text\n"
    "\n"
    "Ctrl+C or SIGTERM closes the game as its window's close button does, saving the settings;\n"
    "a second one ends it at once.\n"
    "\n"
    "Exit status:\n"
    "  0      the game ended: its script's end, the window closed, quit from the menu, a stop\n"
    "  1      the start was refused: the game's application or settings files, its save folder,\n"
    "         or no display to open the window on\n"
    "  2      a wrong command line or test switch; the game folder missing or too long\n"
    "  3      the game runs already and allows one copy\n"
    "  5      the screen has too few colours or is smaller than the game\n"
    "  6      the start-up log could not be created\n"
    "  7      the display canvas could not be made\n"
    "  8      the window's handlers could not be set up\n"
    "  11     the window could not be opened\n"
    "  12     the screen mode could not be set\n"
    "  13     the input devices or their action table could not be set up\n"
    "  20     the script could not start or failed, or the display failed during the run\n"
    "  21     the game ended, but its settings could not be saved\n"
    "  30     (tests) the sound could not be written to BRIMWOLD_HEADLESS_WAVE's file\n"
    "  128+N  ended at once by signal N: a second stop, or a game stuck for five seconds\n";

void PrintUsage() {
  std::fputs(kUsage, stdout);
}

void PrintShortUsage() {
  std::fputs("usage: brimwold [--trust-game] [/L game-folder]   (brimwold --help says more)\n",
             stderr);
}

// "/L folder" or "/Lfolder" (either case, '-' for '/'), or a request for the usage.
bool ParseCommandLine(int argc, char** argv, CommandLine* out) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      out->help = true;
      continue;
    }
    if (std::strcmp(arg, "--trust-game") == 0) {
      out->trustGame = true;
      continue;
    }
    if ((arg[0] == '/' || arg[0] == '-') && (arg[1] == 'L' || arg[1] == 'l')) {
      if (arg[2] != '\0') {
        out->gameFolder = arg + 2;
      } else if (i + 1 < argc) {
        out->gameFolder = argv[++i];
      } else {
        std::fprintf(stderr, "brimwold: /L needs a game folder\n");
        return false;
      }
      continue;
    }
    std::fprintf(stderr, "brimwold: unknown argument: %s\n", arg);
    return false;
  }
  return true;
}

constexpr uint32_t kMaxCommandId = 0xFFFF;  // the low word of WM_COMMAND's wParam

// Decimal digits only, within [least, most].
bool ParseNumber(std::string_view text, uint32_t least, uint32_t most, uint32_t* out) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value < least || value > most) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}

bool ParseFrameCount(const char* text, uint32_t* frames) {
  return text != nullptr && ParseNumber(text, 1, UINT32_MAX, frames);
}

// Comma-separated items, none empty; each is handed to parseItem.
template <class ParseItem>
bool ParseList(std::string_view text, ParseItem parseItem) {
  if (text.empty()) return false;
  for (;;) {
    size_t comma = text.find(',');
    if (!parseItem(text.substr(0, comma))) return false;
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

// What the headless switches ask for.
// A rectangle of a frame to hash; the whole frame when w is 0.
struct HashArea {
  uint32_t x = 0, y = 0, w = 0, h = 0;
};

struct HeadlessScript {
  std::multimap<uint32_t, HashArea> hashFrames;
  std::multimap<uint32_t, uint32_t> commands;  // frame -> command id, in the order given
  std::vector<bw::host::DialogAnswer> answers;
  std::vector<bw::host::HeadlessInputStep> input;  // ordered by frame
};

// "F" or "F:X:Y:W:H".
bool ParseHashItem(std::string_view item, std::multimap<uint32_t, HashArea>* frames) {
  uint32_t numbers[5] = {};
  size_t count = 0;
  for (;;) {
    const size_t colon = item.find(':');
    if (count == 5 ||
        !ParseNumber(item.substr(0, colon), count == 0 ? 1 : 0, UINT32_MAX, &numbers[count])) {
      return false;
    }
    ++count;
    if (colon == std::string_view::npos) break;
    item.remove_prefix(colon + 1);
  }
  if (count != 1 && (count != 5 || numbers[3] == 0 || numbers[4] == 0)) return false;
  frames->emplace(numbers[0], HashArea{numbers[1], numbers[2], numbers[3], numbers[4]});
  return true;
}

// The hash of area of the frame shown last; empty when it is not inside the frame.
std::string AreaHash(const bw::host::HeadlessSink& sink, const HashArea& area) {
  const bw::host::Frame& frame = sink.LastFrame();
  if (uint64_t{area.x} + area.w > uint64_t(frame.width) ||
      uint64_t{area.y} + area.h > uint64_t(frame.height)) {
    return {};
  }
  uint64_t hash = bw::host::kFnv1a64Start;
  for (uint32_t y = area.y; y < area.y + area.h; ++y) {
    hash = bw::host::Fnv1a64(frame.bgra.data() + (size_t(y) * size_t(frame.width) + area.x) * 4,
                             size_t(area.w) * 4, hash);
  }
  char text[24];
  std::snprintf(text, sizeof text, "0x%016" PRIx64, hash);
  return text;
}

// Reads the list switch name when it is set, item by item; false after saying what it must be.
template <class ParseItem>
bool ReadListSwitch(const char* name, const char* form, ParseItem parseItem) {
  const char* text = std::getenv(name);
  if (text == nullptr || ParseList(text, parseItem)) return true;
  std::fprintf(stderr, "brimwold: %s must be %s, separated by commas\n", name, form);
  return false;
}

bool ReadInputSwitch(HeadlessScript* script) {
  const char* text = std::getenv("BRIMWOLD_HEADLESS_INPUT");
  std::string error;
  if (text == nullptr || bw::host::ParseHeadlessInput(text, &script->input, &error)) return true;
  std::fprintf(stderr, "brimwold: BRIMWOLD_HEADLESS_INPUT: %s\n", error.c_str());
  return false;
}

// Reads the switches into script; false when one is malformed.
bool ReadHeadlessSwitches(HeadlessScript* script) {
  return ReadListSwitch(
             "BRIMWOLD_HEADLESS_HASHES", "frame numbers from 1, each alone or F:X:Y:W:H",
             [&](std::string_view item) { return ParseHashItem(item, &script->hashFrames); }) &&
         ReadListSwitch("BRIMWOLD_HEADLESS_COMMANDS",
                        "frame:command pairs (frame from 1, command up to 65535)",
                        [&](std::string_view item) {
                          size_t colon = item.find(':');
                          uint32_t frame = 0, id = 0;
                          if (colon == std::string_view::npos ||
                              !ParseNumber(item.substr(0, colon), 1, UINT32_MAX, &frame) ||
                              !ParseNumber(item.substr(colon + 1), 0, kMaxCommandId, &id)) {
                            return false;
                          }
                          script->commands.emplace(frame, id);
                          return true;
                        }) &&
         ReadListSwitch("BRIMWOLD_HEADLESS_ANSWERS", "button ids or dialog steps ending in one",
                        [&](std::string_view item) {
                          bw::host::DialogAnswer answer;
                          std::string error;
                          if (!bw::host::ParseDialogAnswer(item, &answer, &error)) {
                            std::fprintf(stderr, "brimwold: BRIMWOLD_HEADLESS_ANSWERS: %s\n",
                                         error.c_str());
                            return false;
                          }
                          if (answer.button < 0 || answer.button > static_cast<int>(kMaxCommandId))
                            return false;
                          script->answers.push_back(std::move(answer));
                          return true;
                        }) &&
         ReadInputSwitch(script);
}

// Pulls the mix from the captured output as the virtual clock moves: at each frame, the samples
// due since the first frame that found the output open. Frames come on the thread that steps the
// scripts and the sound tasks, so every run pulls the same samples.
class SoundRecorder {
 public:
  void Pull(bw::host::HeadlessBackend& backend) {
    const uint32_t rate = backend.CapturedRate();
    if (rate == 0) return;
    const uint64_t now = backend.Clock().NowNanoseconds();
    if (rate_ == 0) startNs_ = now;
    rate_ = rate;
    constexpr uint64_t kNsPerSecond = 1000000000;
    const uint64_t elapsed = now - startNs_;
    const uint64_t due =
        elapsed / kNsPerSecond * rate + elapsed % kNsPerSecond * rate / kNsPerSecond;
    if (due > pulled_ && backend.PullSound(due - pulled_)) pulled_ = due;
  }

  // The sound pulled, as a WAVE file at the rate the output had last; false when the output
  // never opened or the file cannot be written.
  bool Write(bw::host::HeadlessBackend& backend, const std::string& path) const {
    const std::vector<int16_t> samples = backend.CapturedSound();
    const uint64_t bytes = uint64_t{samples.size()} * 2;
    if (rate_ == 0 || bytes > UINT32_MAX - bw::kWaveHeaderBytes) return false;
    std::vector<uint8_t> wave =
        bw::WaveHeader(bw::host::MakePcmFormat(2, rate_, 16), static_cast<uint32_t>(bytes));
    wave.reserve(wave.size() + bytes);
    for (int16_t sample : samples) {
      wave.push_back(static_cast<uint8_t>(sample));
      wave.push_back(static_cast<uint8_t>(static_cast<uint16_t>(sample) >> 8));
    }
    return bw::WriteFileAtomically(path, wave);
  }

 private:
  uint32_t rate_ = 0;  // 0 until the output is found open
  uint64_t startNs_ = 0;
  uint64_t pulled_ = 0;  // frames
};

// Prints the asked hashes, posts the asked commands and pulls the sound (with a recorder) as the
// main window shows its frames.
void WatchFrames(bw::host::HeadlessBackend& backend, HeadlessScript script,
                 SoundRecorder* recorder) {
  using namespace bw::host;
  if (script.hashFrames.empty() && script.commands.empty() && script.input.empty() &&
      recorder == nullptr) {
    return;
  }
  backend.SetFrameObserver([&backend, script = std::move(script), recorder](
                               HWND window, const HeadlessSink& sink) {
    if (window != backend.MainWindow()) return;
    if (recorder) recorder->Pull(backend);
    const uint32_t frame = sink.FramesShown();
    auto [firstHash, lastHash] = script.hashFrames.equal_range(frame);
    for (auto it = firstHash; it != lastHash; ++it) {
      const HashArea& area = it->second;
      if (area.w == 0) {
        std::printf("frame %" PRIu32 " hash 0x%016" PRIx64 "\n", frame, sink.FrameHash());
      } else {
        const std::string hash = AreaHash(sink, area);
        std::printf("frame %" PRIu32 " %" PRIu32 ":%" PRIu32 ":%" PRIu32 ":%" PRIu32 " hash %s\n",
                    frame, area.x, area.y, area.w, area.h,
                    hash.empty() ? "outside the frame" : hash.c_str());
      }
      std::fflush(stdout);
    }
    auto [first, last] = script.commands.equal_range(frame);
    // A window already gone has no queue: the message has nobody to reach.
    for (auto it = first; it != last; ++it) (void)PostMessage(window, WM_COMMAND, it->second, 0);
    for (const HeadlessInputStep& step : script.input) {
      if (step.frame == frame) QueueHeadlessInputStep(backend, step);
    }
  });
}

// The game folder in the engine's drive form.
bool EngineFolder(const std::string& gameFolder, std::string* enginePath) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(gameFolder, ec);
  return !ec && bw::host::LinuxPathToEnginePath(absolute.lexically_normal().string(),
                                                *enginePath) == bw::host::kPathOk;
}

// The engine builds its paths in 260-byte buffers: a game folder that leaves no room for the
// names start-up builds in it is refused here, saying so, instead of failing later without a word.
bool AppFolderFits(std::string appFolder, const std::string& shown) {
  if (!bw::EndsWithSeparator(appFolder)) appFolder += '\\';
  if (appFolder.size() <= bw::kMaxAppFolder) return true;
  const std::string text =
      "The game folder's path is too long for the engine: " + std::to_string(appFolder.size()) +
      " bytes in its form, at most " + std::to_string(bw::kMaxAppFolder) + " fit.\n" +
      bw::host::Utf8ToCp932Lenient(shown);
  bw::host::MessageBox(bw::host::HWND{}, text, "brimwold", bw::host::MB_ICONERROR);
  return false;
}

// The application the stop signals reach, while it exists.
class SignalTarget {
 public:
  void Set(bw::AppBase* app) {
    std::lock_guard<std::mutex> hold(lock_);
    app_ = app;
  }
  bool AskToClose() {
    std::lock_guard<std::mutex> hold(lock_);
    return app_ != nullptr && app_->AskToClose();
  }
  uint64_t FrameTurns() {
    std::lock_guard<std::mutex> hold(lock_);
    return app_ != nullptr ? app_->FrameTurns() : 0;
  }

 private:
  std::mutex lock_;
  bw::AppBase* app_ = nullptr;  // guarded by lock_
};

// Makes app the target for its lifetime.
class ScopedSignalTarget {
 public:
  ScopedSignalTarget(SignalTarget& target, bw::AppBase* app) : target_(target) { target_.Set(app); }
  ~ScopedSignalTarget() { target_.Set(nullptr); }
  ScopedSignalTarget(const ScopedSignalTarget&) = delete;
  ScopedSignalTarget& operator=(const ScopedSignalTarget&) = delete;

 private:
  SignalTarget& target_;
};

// The backend and dialog host the run uses.
struct Platform {
  std::unique_ptr<bw::host::Backend> backend;
  std::unique_ptr<bw::host::DialogHost> dialogs;
  bw::host::HeadlessBackend* headless = nullptr;
};

// The start-up steps below answer kExitOk, or the status the program ends with.
int StartHeadless(Platform* platform, const char* wavePath, SoundRecorder* recorder) {
  using namespace bw::host;
  auto headlessBackend = std::make_unique<HeadlessBackend>();
  if (const char* framesSwitch = std::getenv("BRIMWOLD_HEADLESS_FRAMES")) {
    uint32_t frames = 0;
    if (!ParseFrameCount(framesSwitch, &frames)) {
      std::fprintf(stderr, "brimwold: BRIMWOLD_HEADLESS_FRAMES must be a positive number\n");
      return kExitUsage;
    }
    headlessBackend->CloseAfterFrames(frames);
  }
  HeadlessScript script;
  if (!ReadHeadlessSwitches(&script)) return kExitUsage;
  auto scripted = std::make_unique<ScriptedDialogHost>();
  scripted->AnswerDefaultWhenEmpty(true);
  for (DialogAnswer& answer : script.answers) scripted->QueueAnswer(std::move(answer));
  platform->dialogs = std::move(scripted);
  if (wavePath != nullptr && *wavePath == '\0') {
    std::fprintf(stderr, "brimwold: BRIMWOLD_HEADLESS_WAVE must name a file\n");
    return kExitUsage;
  }
  WatchFrames(*headlessBackend, std::move(script), wavePath ? recorder : nullptr);
  platform->headless = headlessBackend.get();
  platform->backend = std::move(headlessBackend);
  return kExitOk;
}

int StartSdl(Platform* platform) {
  using namespace bw::host;
  std::string error;
  std::unique_ptr<SdlBackend> sdl = SdlBackend::Create(&error);
  if (!sdl) {
    std::fprintf(stderr, "brimwold: cannot start the display: %s\n", error.c_str());
    return kExitStartFailed;
  }
  // SDL falls back to an invisible driver when there is no display; only a driver asked for
  // by name may be one.
  if (!SdlBackend::HasDisplay() && std::getenv("SDL_VIDEODRIVER") == nullptr) {
    std::fprintf(stderr, "brimwold: no display to open the window on\n");
    return kExitStartFailed;
  }
  auto imgui = std::make_unique<ImGuiDialogHost>(sdl.get());
  if (const char* input = std::getenv("BRIMWOLD_SDL_INPUT")) {
    std::vector<InputStep> steps;
    std::string reason;
    if (!ParseInputScript(input, &steps, &reason)) {
      std::fprintf(stderr, "brimwold: BRIMWOLD_SDL_INPUT: %s\n", reason.c_str());
      return kExitUsage;
    }
    imgui->PlayInput(std::move(steps));
  }
  platform->dialogs = std::move(imgui);
  platform->backend = std::move(sdl);
  return kExitOk;
}

// Sets the engine's application folder from /L, or else from the program's own folder (named in
// programFolder for the messages).
int SetAppFolder(const CommandLine& parsed, std::string* commandLine, std::string* programFolder) {
  if (!parsed.gameFolder.empty()) {
    std::string enginePath;
    if (!EngineFolder(parsed.gameFolder, &enginePath)) {
      std::fprintf(stderr, "brimwold: the game folder %s has no engine path\n",
                   parsed.gameFolder.c_str());
      return kExitUsage;
    }
    if (!AppFolderFits(enginePath, parsed.gameFolder)) return kExitUsage;
    *commandLine = "/L" + enginePath;
    (void)bw::InitAppFolder();  // the /L word on the command line rebases it in any case
    return kExitOk;
  }
  const std::string program = bw::host::ProgramPath();
  *programFolder = program.empty() ? std::string("the program's folder")
                                   : std::filesystem::path(program).parent_path().string();
  if (bw::InitAppFolder() != bw::kAppFolderSet) {
    std::fprintf(stderr,
                 "brimwold: the program's folder %s has no engine path within %zu bytes;\n"
                 "  name the game's folder with /L folder\n",
                 programFolder->c_str(), bw::kMaxPath - 1);
    return kExitUsage;
  }
  return AppFolderFits(bw::GetAppFolder(), *programFolder) ? kExitOk : kExitUsage;
}

int CheckCommandLine(int argc, char** argv, CommandLine* parsed) {
  if (!ParseCommandLine(argc, argv, parsed)) {
    PrintShortUsage();
    return kExitUsage;
  }
  std::error_code ec;
  if (!parsed->help && !parsed->gameFolder.empty() &&
      !std::filesystem::is_directory(parsed->gameFolder, ec)) {
    std::fprintf(stderr, "brimwold: the game folder %s does not exist\n",
                 parsed->gameFolder.c_str());
    return kExitUsage;
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine parsed;
  if (int status = CheckCommandLine(argc, argv, &parsed); status != kExitOk) return status;
  if (parsed.help) {
    PrintUsage();
    return kExitOk;
  }

  // Before the display starts, so that its library leaves these signals to us.
  SignalTarget signalTarget;
  bw::host::StopSignalWatcher stopSignals;
  if (!stopSignals.Start(
          {[&] { return signalTarget.AskToClose(); }, [&] { return signalTarget.FrameTurns(); }})) {
    std::fprintf(
        stderr,
        "brimwold: cannot watch for SIGINT and SIGTERM; they end the game without saving\n");
  }

  const char* headlessSwitch = std::getenv("BRIMWOLD_HEADLESS");
  bool headless = headlessSwitch != nullptr && std::strcmp(headlessSwitch, "1") == 0;
  const char* wavePath = headless ? std::getenv("BRIMWOLD_HEADLESS_WAVE") : nullptr;
  SoundRecorder recorder;
  Platform platform;
  const int started =
      headless ? StartHeadless(&platform, wavePath, &recorder) : StartSdl(&platform);
  if (started != kExitOk) return started;
  bw::ScopedGlobal<bw::host::Backend> useBackend(platform.backend.get());
  bw::ScopedGlobal<bw::host::DialogHost> useDialogs(platform.dialogs.get());

  std::string commandLine;
  std::string programFolder;  // Linux form, without /L: where the game is looked for
  if (int status = SetAppFolder(parsed, &commandLine, &programFolder); status != kExitOk) {
    return status;
  }
  bw::host::SetGameTrusted(parsed.trustGame);
  bw::GameApp app;
  ScopedSignalTarget signalled(signalTarget, &app);
  // A recorded headless run plays into the backend's captured output.
  app.SetPlayAloud(!headless || wavePath != nullptr);
  int run = app.Run(commandLine);
  if (run == bw::kStartupInitInstance && parsed.gameFolder.empty()) {
    std::fprintf(stderr,
                 "brimwold: started without /L, so the game was looked for in %s, the program's "
                 "own folder;\n"
                 "  name the game's folder with /L folder (see brimwold --help)\n",
                 programFolder.c_str());
  }
  const int status = run != 0 ? run : app.ExitStatus();
  if (wavePath != nullptr && !recorder.Write(*platform.headless, wavePath)) {
    std::fprintf(stderr, "brimwold: cannot write the sound to %s\n", wavePath);
    if (status == 0) return kExitWaveNotWritten;
  }
  return status;
}
