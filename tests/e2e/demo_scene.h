// One of the demo's scenes run on a copy of the demo game: the scene as a loose script (loose
// scripts come before the packs), named in the script table beside MAIN and SUB, and a MAIN.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <numbers>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/config/config_block.h"
#include "app/config/engine_config.h"
#include "app/config/user_config.h"
#include "lib/file_bytes.h"
#include "lib/sob/sob_assembler.h"
#include "lib/tob/tob_assembler.h"
#include "program/program_process.h"
#include "support/demo_copy.h"
#include "support/temp_dir.h"

extern char** environ;

namespace bw::test {

// A MAIN that calls the scene (which runs at the first wait until it returns) and ends.
inline std::string SceneCallingMain(const std::string& scene, const std::string& before = "") {
  return ".sob0\n" + before +
         " native native:0, callScene, status\n wait\n ret\ncallScene: .word scene\n"
         "scene: .string \"" +
         scene + "\"\nstatus: .word 0\n";
}

inline void PutAssembled(const TempDir& dir, const std::string& name, const std::string& source) {
  sob::AssembleResult made = sob::Assemble(source);
  ASSERT_TRUE(made.ok) << made.error;
  dir.WriteFile(name, std::string(made.bytes.begin(), made.bytes.end()));
}

// The same for a scenario script or table.
inline void PutTob(const TempDir& dir, const std::string& name, const std::string& source) {
  tob::AssembleResult made = tob::Assemble(source);
  ASSERT_TRUE(made.ok) << made.error;
  dir.WriteFile(name, std::string(made.bytes.begin(), made.bytes.end()));
}

inline void PutDemoScene(const TempDir& dir, const std::string& scene, const std::string& main) {
  const std::filesystem::path game = BRIMWOLD_DEMO_GAME;
  CopyDemoGame(game, dir.path());
  const std::filesystem::path source = game.parent_path() / "scenes" / (scene + ".SOB");
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(tools::ReadFileBytes(source, bytes)) << source;
  dir.WriteFile("SCRIPT/" + scene + ".SOB", std::string(bytes.begin(), bytes.end()));
  PutAssembled(dir, "SCRIPT/SOB_INIT.DAT",
               ".table\n.script MAIN 0 0\n.script SUB 0 0\n.script " + scene + " 0 0\n");
  PutAssembled(dir, "SCRIPT/MAIN.SOB", main);
}

// The player's settings in the game folder (the defaults where it has none yet), changed and
// written back.
inline void ChangePlayerSettings(const std::filesystem::path& game,
                                 const std::function<void(UserConfig&)>& change) {
  const std::filesystem::path file = game / "SAVEDATA" / "APP_CFG.DAT";
  std::vector<uint8_t> bytes;
  UserConfig user;
  if (tools::ReadFileBytes(file, bytes)) {
    ASSERT_EQ(ReadUserConfig(bytes, user), kConfigOk);
  }
  change(user);
  std::filesystem::create_directories(file.parent_path());
  ASSERT_TRUE(SaveUserConfig(file, user));
}

// The engine's settings in the game's USER.CFG.
inline EngineConfig EngineSettings(const std::filesystem::path& game) {
  std::vector<uint8_t> bytes;
  EngineConfig config;
  EXPECT_TRUE(tools::ReadFileBytes(game / "USER.CFG", bytes)) << game;
  EXPECT_EQ(ReadEngineConfig(bytes, config), kConfigOk);
  return config;
}

// The same changed and written back.
inline void ChangeEngineSettings(const std::filesystem::path& game,
                                 const std::function<void(EngineConfig&)>& change) {
  EngineConfig config = EngineSettings(game);
  change(config);
  ASSERT_TRUE(SaveEngineConfig(game / "USER.CFG", config));
}

// The title's quit button (the fourth, centred at 400, 532) clicked once the title stands.
inline const std::string kQuitFromTitle =
    "BRIMWOLD_HEADLESS_INPUT=60:move:400:532,62:click:400:532";

// How many times part stands in text.
inline size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Whether the two sets of pictures share one.
inline bool Meet(const std::set<uint64_t>& a, const std::set<uint64_t>& b) {
  return std::any_of(a.begin(), a.end(), [&](uint64_t h) { return b.contains(h); });
}

// A headless run of the built program: its exit status (-1 when it hung and was killed), the hash
// of each frame it printed, and its standard error.
struct PlayedRun {
  int status = -1;
  std::map<uint32_t, uint64_t> hashes;
  std::string output, errors;
  // The hashes in the order of their frames.
  std::vector<uint64_t> Shown() const {
    std::vector<uint64_t> shown;
    for (const auto& [frame, hash] : hashes) shown.push_back(hash);
    return shown;
  }
  // The pictures of the frames from from to to that it printed.
  std::set<uint64_t> ShownIn(uint32_t from, uint32_t to = UINT32_MAX) const {
    std::set<uint64_t> shown;
    for (auto it = hashes.lower_bound(from); it != hashes.end() && it->first <= to; ++it)
      shown.insert(it->second);
    return shown;
  }
};

// The run has a home of its own, so runs never meet; switches are further "NAME=value" entries
// of its environment, which keeps no BRIMWOLD_ or XDG_ entry of the test's.
inline std::vector<std::string> HeadlessEnvironment(const std::filesystem::path& home,
                                                    const std::vector<std::string>& switches) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (entry.starts_with("BRIMWOLD_") || entry.starts_with("XDG_"))
      env.push_back(entry.substr(0, entry.find('=')));
  }
  env.insert(env.end(), {"XDG_RUNTIME_DIR=" + home.string(), "XDG_DATA_HOME=" + home.string(),
                         "BRIMWOLD_HEADLESS=1"});
  env.insert(env.end(), switches.begin(), switches.end());
  return env;
}

inline PlayedRun PlayHeadless(const std::filesystem::path& game, const std::filesystem::path& home,
                              const std::vector<std::string>& switches,
                              std::chrono::seconds limit = std::chrono::seconds{120}) {
  ProgramProcess program(BRIMWOLD_PROGRAM, {"/L", game.string()},
                         HeadlessEnvironment(home, switches));
  PlayedRun run;
  run.status = ExitCode(program.WaitForEnd(limit));
  run.output = program.Output();
  // The "frame F hash 0x..." lines it printed.
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) {
    unsigned frame = 0;
    unsigned long long hash = 0;
    if (std::sscanf(line.c_str(), "frame %u hash 0x%llx", &frame, &hash) == 2)
      run.hashes[frame] = hash;
  }
  run.errors = program.Errors();
  return run;
}

// The same sent signal once it printed the hash of frame, which switches must ask for.
inline PlayedRun SignalledAt(const std::filesystem::path& game, const std::filesystem::path& home,
                             const std::vector<std::string>& switches, uint32_t frame, int signal) {
  ProgramProcess program(BRIMWOLD_PROGRAM, {"/L", game.string()},
                         HeadlessEnvironment(home, switches));
  PlayedRun run;
  if (program.WaitForOutput("frame " + std::to_string(frame) + " hash",
                            std::chrono::seconds{120})) {
    program.Signal(signal);
    run.status = ExitCode(program.WaitForEnd(std::chrono::seconds{60}));
  } else {
    ADD_FAILURE() << "no frame " << frame << ": " << program.Errors();
  }
  run.errors = program.Errors();
  return run;
}

// The frames from to to, separated by commas, for BRIMWOLD_HEADLESS_HASHES.
inline std::string FrameRange(uint32_t from, uint32_t to) {
  std::string frames = std::to_string(from);
  for (uint32_t f = from + 1; f <= to; ++f) frames += "," + std::to_string(f);
  return frames;
}

// BRIMWOLD_HEADLESS_HASHES for the frames listed.
inline std::string HashesOf(const std::vector<uint32_t>& frames) {
  std::string list = "BRIMWOLD_HEADLESS_HASHES=";
  for (uint32_t f : frames) list += std::to_string(f) + ",";
  list.pop_back();
  return list;
}

// BRIMWOLD_HEADLESS_HASHES for the frames of the ranges (first, last).
inline std::string HashRanges(const std::vector<std::pair<uint32_t, uint32_t>>& ranges) {
  std::string list = "BRIMWOLD_HEADLESS_HASHES=";
  for (auto [first, last] : ranges) list += FrameRange(first, last) + ",";
  list.pop_back();
  return list;
}

// A click at frame on the line at y of a list, the pointer moved onto it first (a list takes a
// pointer that moves). Elsewhere on the screen it just advances the text.
inline std::string ClickOnLine(uint32_t frame, uint32_t y) {
  return "," + std::to_string(frame - 3) + ":move:390:" + std::to_string(y - 6) + "," +
         std::to_string(frame - 2) + ":move:400:" + std::to_string(y) + "," +
         std::to_string(frame) + ":click:400:" + std::to_string(y);
}

// The demo's title started at frame 60, then a click every 120 frames from 200 until until on the
// first line of a choice list, each finding its line typed out and waiting.
inline std::string StoryClicks(uint32_t until) {
  std::string input = "BRIMWOLD_HEADLESS_INPUT=55:move:400:352,60:click:400:352";
  for (uint32_t frame = 200; frame < until; frame += 120) input += ClickOnLine(frame, 268);
  return input;
}

// The scene's line of the game's read-text log: ".record NAME bits secondBits <read> <taken>".
inline std::string LogRecord(const std::filesystem::path& game, const std::string& scene) {
  std::vector<uint8_t> bytes;
  if (!tools::ReadFileBytes(game / "SAVEDATA" / "TEXT_LOG.DAT", bytes)) return "no log";
  std::istringstream lines(tob::Disassemble(bytes));
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(".record " + scene + " ")) return line;
  }
  return "no record";
}

// A copy of the demo game and a home for the program's runs on it.
class DemoGameTest : public testing::Test {
 protected:
  PlayedRun Play(const std::vector<std::string>& switches,
                 std::chrono::seconds limit = std::chrono::seconds{120}) const {
    return PlayHeadless(game.path(), home.path(), switches, limit);
  }
  PlayedRun SignalledAt(const std::vector<std::string>& switches, uint32_t frame,
                        int signal) const {
    return test::SignalledAt(game.path(), home.path(), switches, frame, signal);
  }

  TempDir game;
  TempDir home;
};

// The same with the player's settings as the game ships them (the build's pristine copy: a run by
// hand writes over the game folder's own).
class ShippedDemoTest : public DemoGameTest {
 protected:
  void SetUp() override {
    const std::filesystem::path demo = BRIMWOLD_DEMO_GAME;
    CopyDemoGame(demo, game.path());
    std::filesystem::create_directories(game.path() / "SAVEDATA");
    std::filesystem::copy_file(demo.parent_path() / "stage" / "APP_CFG.DAT",
                               game.path() / "SAVEDATA" / "APP_CFG.DAT",
                               std::filesystem::copy_options::overwrite_existing);
  }
};

// The captured mix (BRIMWOLD_HEADLESS_WAVE): a 46-byte header, then 16-bit stereo at 22050 Hz.
constexpr size_t kWaveHeader = 46;
constexpr uint32_t kWaveRate = 22050;

// The amplitude of the hz component of the mix's left channel between from and to seconds.
inline double Tone(const std::string& wave, double hz, double from, double to) {
  const size_t frames = wave.size() < kWaveHeader ? 0 : (wave.size() - kWaveHeader) / 4;
  const size_t a = std::min(frames, size_t(from * kWaveRate));
  const size_t b = std::min(frames, size_t(to * kWaveRate));
  double re = 0, im = 0;
  for (size_t i = a; i < b; ++i) {
    const size_t at = kWaveHeader + 4 * i;
    const double v = static_cast<int16_t>(uint8_t(wave[at]) | uint8_t(wave[at + 1]) << 8);
    const double phase = 2 * std::numbers::pi * hz * static_cast<double>(i) / kWaveRate;
    re += v * std::cos(phase);
    im += v * std::sin(phase);
  }
  return b > a ? 2 * std::hypot(re, im) / static_cast<double>(b - a) : 0;
}

// The loudest of the notes in the mix between from and to seconds.
inline double Loudest(const std::string& wave, const std::vector<double>& notes, double from,
                      double to) {
  double loudest = 0;
  for (double hz : notes) loudest = std::max(loudest, Tone(wave, hz, from, to));
  return loudest;
}

// The demo story's voices run on pentatonic scales, Mina's from 440 Hz and Sora's from 220 Hz;
// these are their notes that none of the tunes plays.
inline const std::vector<double> kMinasNotes = {554.4, 659.3, 740.0, 880.0, 987.8};
inline const std::vector<double> kSorasNotes = {277.2, 370.0};

}  // namespace bw::test
