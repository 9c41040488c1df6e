// Label: optimised
// docs/making-a-game.md as a game maker follows it: its example game is written from the page's
// own blocks, built by the page's own commands with the tools of this build, and played headless
// with the page's own clicks; its table of natives is the code's.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "natives/native_families.h"
#include "program/program_process.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::seconds kRunLimit{120};
constexpr const char* kScriptHost = "(script host)";

std::string Page() {
  return test::ReadFile(BRIMWOLD_MAKING_A_GAME);
}

// The fenced block after each "<!-- example KIND -->" line, by the rest of that line.
std::map<std::string, std::string> ExampleBlocks(const std::string& page) {
  std::map<std::string, std::string> blocks;
  const std::regex marked(R"(<!-- example ([^>]*?) -->\n```[a-z]*\n([\s\S]*?)```)");
  for (std::sregex_iterator it(page.begin(), page.end(), marked), end; it != end; ++it)
    blocks[(*it)[1]] = (*it)[2];
  return blocks;
}

// The NAME=value words of the example's headless run.
std::vector<std::string> RunSwitches(const std::string& page) {
  std::smatch found;
  EXPECT_TRUE(std::regex_search(
      page, found, std::regex(R"(\n    (BRIMWOLD_HEADLESS=1 [^\n]*) brimwold /L game\n)")));
  std::vector<std::string> words;
  std::istringstream line(found[1]);
  for (std::string word; line >> word;) words.push_back(word);
  return words;
}

// The start of the message window's first text line on the 800 x 600 screen, clear of the wait
// mark, with the first message standing and then the second. The line comes in as the
// background's fade ends, so no frame holds the settled background alone: what shows the text is
// that the area changes with the message.
constexpr const char* kTextArea = "40:490:180:30";
constexpr int kFirstLine = 90;
constexpr int kSecondLine = 130;

// The hash of the text area at frame, from the run's output.
std::string AreaHash(const std::string& output, int frame) {
  std::smatch found;
  const std::regex line("frame " + std::to_string(frame) + " " + kTextArea +
                        " hash (0x[0-9a-f]+)\n");
  return std::regex_search(output, found, line) ? std::string(found[1]) : std::string();
}

TEST(MakingAGame, TheExampleGameBuildsAndPlaysAsThePageSays) {
  const std::string page = Page();
  ASSERT_FALSE(page.empty()) << BRIMWOLD_MAKING_A_GAME;
  const std::map<std::string, std::string> blocks = ExampleBlocks(page);
  test::TempDir dir;
  int files = 0;
  for (const auto& [kind, text] : blocks) {
    if (!kind.starts_with("file: ")) continue;
    dir.WriteFile(kind.substr(6), text);
    ++files;
  }
  EXPECT_EQ(files, 6);
  ASSERT_EQ(blocks.count("build"), 1u);
  dir.WriteFile("build.sh", blocks.at("build"));
  const std::string build = "cd '" + dir.path().string() + "' && PATH='" BRIMWOLD_TOOLS "':'" +
                            BRIMWOLD_DEMO_TOOLS "':\"$PATH\" sh build.sh > build.log 2>&1";
  ASSERT_EQ(std::system(build.c_str()), 0) << test::ReadFile(dir.path() / "build.log");

  const fs::path game = dir.path() / "game";
  const std::string hashes = std::to_string(kFirstLine) + ":" + kTextArea + "," +
                             std::to_string(kSecondLine) + ":" + kTextArea;
  std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir.path().string(),
                                  "XDG_DATA_HOME=" + dir.path().string(),
                                  "BRIMWOLD_HEADLESS_HASHES=" + hashes};
  for (const std::string& word : RunSwitches(page)) env.push_back(word);
  // As the page builds it, then without the pixel library, whose absence hides every sprite:
  // the window and its text, while the picture and the box at the end still come.
  for (const bool library : {true, false}) {
    SCOPED_TRACE(library ? "as the page builds it" : "without tvpgl.dll");
    if (!library) {
      ASSERT_TRUE(fs::remove(game / "tvpgl.dll")) << "the page's game ships it";
    }
    test::ProgramProcess program(BRIMWOLD_PROGRAM, {"/L", game.string()}, env);
    EXPECT_EQ(test::ExitCode(program.WaitForEnd(kRunLimit)), 0) << program.Errors();
    EXPECT_NE(program.Errors().find("[HELLO] 選んだ答え: 1"), std::string::npos)
        << program.Errors();
    EXPECT_TRUE(fs::exists(game / "SAVEDATA" / "TEXT_LOG.DAT")) << "the read-text log";
    const std::string first = AreaHash(program.Output(), kFirstLine);
    const std::string second = AreaHash(program.Output(), kSecondLine);
    ASSERT_FALSE(first.empty() || second.empty()) << program.Output();
    EXPECT_EQ(first != second, library) << "the message window's lines of text";
    EXPECT_EQ(
        program.Errors().find("warning: the game folder has no tvpgl.dll") == std::string::npos,
        library)
        << program.Errors();
  }
}

struct ListedGroup {
  std::set<uint32_t> numbers;
  std::set<uint32_t> hostServed;
};

// "### name (ranges)" headings and their rows' numbers: "12", "15-18", "37, 55, 56".
std::map<std::string, ListedGroup> ListedNatives(const std::string& page) {
  std::map<std::string, ListedGroup> groups;
  const size_t start = page.find("## Native functions");
  std::istringstream lines(page.substr(start == std::string::npos ? page.size() : start));
  ListedGroup* group = nullptr;
  const std::regex heading(R"(^### (.+) \([0-9, -]+\)$)");
  const std::regex row(R"(^\| ([0-9][0-9, -]*) \|)");
  const std::regex piece(R"((\d+)(?:-(\d+))?)");
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_match(line, m, heading)) {
      group = &groups[m[1]];
    } else if (group && std::regex_search(line, m, row)) {
      const std::string cell = m[1];
      for (std::sregex_iterator it(cell.begin(), cell.end(), piece), end; it != end; ++it) {
        const uint32_t first = std::stoul((*it)[1]);
        const uint32_t last = (*it)[2].matched ? std::stoul((*it)[2]) : first;
        for (uint32_t n = first; n <= last; ++n) {
          group->numbers.insert(n);
          if (line.find(kScriptHost) != std::string::npos) group->hostServed.insert(n);
        }
      }
    }
  }
  return groups;
}

TEST(MakingAGame, TheNativesTableIsTheCodesOwn) {
  std::map<std::string, ListedGroup> listed = ListedNatives(Page());
  EXPECT_EQ(listed["call, jump and exit"].numbers, (std::set<uint32_t>{0, 1, 2}));
  listed.erase("call, jump and exit");
  std::set<std::string> families;
  for (const NativeFamily& family : AllNativeFamilies()) {
    families.insert(family.name);
    std::set<uint32_t> owned, built;
    for (const NativeRange& range : family.numbers) {
      for (uint32_t n = range.first; n <= range.last; ++n) owned.insert(n);
    }
    for (const NativeEntry& entry : family.entries) built.insert(entry.number);
    std::set<uint32_t> leftToHost;
    for (uint32_t n : owned) {
      if (!built.count(n)) leftToHost.insert(n);
    }
    const ListedGroup& group = listed[family.name];
    EXPECT_EQ(group.numbers, owned) << family.name;
    EXPECT_EQ(group.hostServed, leftToHost)
        << family.name << ": the rows marked \"" << kScriptHost << "\"";
  }
  for (const auto& [name, group] : listed)
    EXPECT_TRUE(families.count(name)) << "the page lists a group the code has not: " << name;
}

}  // namespace
}  // namespace bw
