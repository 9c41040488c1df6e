// The demo's story replayed headless as a player plays it: the title's start button, a click on
// each line as it waits (every 120 frames, on the choice list's first line, which takes the sea
// road), a quick save in the second scene, the closing movie and back to the title, 2545 frames of
// the virtual clock. The program runs whole, as a child on a fresh copy of the game; its
// processor time per frame is that of the whole replay less that of a run of its first 60 frames
// (start-up, the title's first frames and shut-down), over the frames between, averaged over three
// replays.
// Peer: memcpy of one 800 x 600 frame of 32-bit pixels (the demo's screen) into another buffer,
// the least a frame that changes whole costs. Before timing, the replay must end back on the
// title it started from and the copy must equal its source.
// Prints "limit demo story frame: <memcpy time / our processor time per frame>".
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "program_run.h"

namespace {

constexpr uint32_t kStoryFrames = 2545;
constexpr uint32_t kStartFrames = 60;
constexpr uint32_t kTitleFrame = 40;
constexpr uint32_t kEndFrame = 2540;  // the story is back at the title
constexpr int kScreenWidth = 800, kScreenHeight = 600;

std::string StoryInput() {
  std::string input = "BRIMWOLD_HEADLESS_INPUT=55:move:400:352,60:click:400:352";
  for (uint32_t f = 200; f < kEndFrame - 40; f += 120) {
    input += "," + std::to_string(f - 3) + ":move:390:262," + std::to_string(f - 2) +
             ":move:400:268," + std::to_string(f) + ":click:400:268";
  }
  return input + ",905:keydown:Left Ctrl,905:key:F1,906:keyup:Left Ctrl";
}

struct Replay {
  bool ok = false;
  double cpuSeconds = 0;
  std::string output;
  std::string problem;
};

// Plays frames frames of the story on a fresh copy of the game, printing the hashes asked for.
Replay Play(uint32_t frames, const std::string& hashes) {
  Replay replay;
  bw::bench::TempFolder work;
  const bw::bench::fs::path game = work.Path() / "game", home = work.Path() / "home";
  std::error_code error;
  bw::bench::fs::create_directories(home, error);
  if (work.Path().empty() || !bw::bench::CopyDemoGame(game)) {
    replay.problem = "the demo game cannot be copied";
    return replay;
  }
  std::vector<std::string> environment = {
      "XDG_RUNTIME_DIR=" + home.string(), "XDG_DATA_HOME=" + home.string(), "BRIMWOLD_HEADLESS=1",
      "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(frames), StoryInput()};
  if (!hashes.empty()) environment.push_back("BRIMWOLD_HEADLESS_HASHES=" + hashes);
  const bw::bench::fs::path output = work.Path() / "output.txt";
  const pid_t pid =
      bw::bench::StartProgram(BRIMWOLD_PROGRAM, {"/L", game.string()}, environment, output);
  if (pid < 0) {
    replay.problem = "the program cannot be started";
    return replay;
  }
  const bw::bench::Ended ended = bw::bench::WaitForProgram(pid);
  std::ifstream in(output);
  replay.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (ended.exitCode != 0) {
    replay.problem = "the program ended with status " + std::to_string(ended.exitCode);
    return replay;
  }
  replay.ok = true;
  replay.cpuSeconds = ended.cpuSeconds;
  return replay;
}

// The hash printed for frame, or "" when none was.
std::string HashOf(const std::string& output, uint32_t frame) {
  const std::string key = "frame " + std::to_string(frame) + " hash ";
  const size_t at = output.find(key);
  return at == std::string::npos ? "" : output.substr(at + key.size(), 18);
}

void OursStory(benchmark::State& state) {
  const Replay checked =
      Play(kStoryFrames, std::to_string(kTitleFrame) + "," + std::to_string(kEndFrame));
  if (!checked.ok) return state.SkipWithError(checked.problem.c_str());
  const std::string title = HashOf(checked.output, kTitleFrame);
  if (title.empty() || HashOf(checked.output, kEndFrame) != title)
    return state.SkipWithError("the replay did not end back on the title");
  for (auto _ : state) {
    const Replay start = Play(kStartFrames, "");
    const Replay story = Play(kStoryFrames, "");
    if (!start.ok || !story.ok) {
      state.SkipWithError((start.ok ? story : start).problem.c_str());
      break;
    }
    state.SetIterationTime((story.cpuSeconds - start.cpuSeconds) /
                           double(kStoryFrames - kStartFrames));
  }
  state.SetItemsProcessed(state.iterations());
}

void PeerMemcpy(benchmark::State& state) {
  const size_t bytes = size_t(kScreenWidth) * kScreenHeight * 4;
  std::vector<uint8_t> from(bytes), to(bytes);
  for (size_t i = 0; i < bytes; ++i) from[i] = uint8_t(i * 131 + 7);
  std::memcpy(to.data(), from.data(), bytes);
  if (to != from) return state.SkipWithError("the copy differs from its source");
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

int main(int argc, char** argv) {
  // One replay an iteration, each a second or so of the machine; three of them, since a single
  // replay on a shared machine moves by a third from run to run.
  benchmark::RegisterBenchmark("ours/story-frame", OursStory)
      ->UseManualTime()
      ->Iterations(3)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("memcpy/800x600-frame", PeerMemcpy)->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintLimit("demo story frame", "ours/story-frame/iterations:3/manual_time",
                      "memcpy/800x600-frame");
  benchmark::Shutdown();
  return 0;
}
