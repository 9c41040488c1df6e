// Reads every #include of the engine's sources and fails on one that goes up a floor, or sideways
// where the floor table does not allow it, or that takes a system header outside the places the
// table names for it, printing each offending line.
//   floor_check <src folder> <floor table>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Unit {
  int floor = 0;
  std::set<std::string> alsoUses;
};

// Headers of the system ("name/" stands for a folder of them) and where they may be included.
struct SystemHeaders {
  std::vector<std::string> headers;
  std::vector<std::string> places;
};

struct FloorTable {
  std::map<std::string, Unit> units;
  std::vector<SystemHeaders> system;
};

// "system <header>... : <place>...", the words after the keyword.
bool ReadSystemLine(std::istringstream& words, SystemHeaders* entry) {
  bool afterColon = false;
  for (std::string word; words >> word;) {
    if (word == ":" && !afterColon) {
      afterColon = true;
    } else {
      (afterColon ? entry->places : entry->headers).push_back(word);
    }
  }
  return afterColon && !entry->headers.empty() && !entry->places.empty();
}

bool ReadTable(const fs::path& path, FloorTable* table) {
  std::ifstream in(path);
  std::string line;
  for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
    const auto fail = [&](const char* expected) {
      std::fprintf(stderr, "%s:%d: expected %s\n", path.c_str(), lineNumber, expected);
      return false;
    };
    line.erase(std::min(line.find('#'), line.size()));
    std::istringstream words(line);
    std::string keyword;
    if (!(std::istringstream(line) >> keyword)) continue;  // a blank line
    if (keyword == "system") {
      words >> keyword;
      SystemHeaders entry;
      if (!ReadSystemLine(words, &entry)) return fail("system <headers> : <places>");
      table->system.push_back(std::move(entry));
      continue;
    }
    Unit unit;
    std::string name;
    if (!(words >> unit.floor)) return fail("a floor number");
    if (!(words >> name)) return fail("a unit after the floor");
    for (std::string other; words >> other;) unit.alsoUses.insert(other);
    table->units[name] = std::move(unit);
  }
  return !table->units.empty();
}

// True when path is the file or folder place, or lies under it.
bool IsUnder(const std::string& path, const std::string& place) {
  return path == place || (path.size() > place.size() &&
                           path.compare(0, place.size(), place) == 0 && path[place.size()] == '/');
}

// The longest unit of the table that is the path or a folder prefix of it.
std::optional<std::string> UnitOf(const FloorTable& table, const std::string& path) {
  std::optional<std::string> best;
  for (const auto& [name, unit] : table.units) {
    if (IsUnder(path, name) && (!best || name.size() > best->size())) best = name;
  }
  return best;
}

// The entry of the system headers that covers header, if any.
const SystemHeaders* SystemEntryOf(const FloorTable& table, const std::string& header) {
  for (const SystemHeaders& entry : table.system) {
    for (const std::string& name : entry.headers) {
      bool folder = name.back() == '/';
      if (folder ? header.compare(0, name.size(), name) == 0 : header == name) return &entry;
    }
  }
  return nullptr;
}

std::string JoinWords(const std::vector<std::string>& words) {
  std::string joined;
  for (const std::string& word : words) joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(
        stderr,
        "usage: floor_check <src folder> <floor table>\n"
        "Fails on an #include that goes up a floor or sideways where the table says no, or\n"
        "on a system header included outside the places the table names for it.\n");
    return 2;
  }
  const fs::path root = argv[1];
  FloorTable table;
  if (!ReadTable(argv[2], &table)) {
    std::fprintf(stderr, "floor_check: cannot read the floor table %s\n", argv[2]);
    return 2;
  }
  const std::regex include(R"(^\s*#\s*include\s*"([^"]+)\")");
  const std::regex systemInclude(R"(^\s*#\s*include\s*<([^>]+)>)");
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const auto ext = entry.path().extension();
    if (entry.is_regular_file() && (ext == ".h" || ext == ".cpp" || ext == ".inc"))
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  int faults = 0;
  size_t checked = 0;
  for (const fs::path& file : files) {
    const std::string relative = fs::relative(file, root).generic_string();
    const auto from = UnitOf(table, relative);
    if (!from) {
      std::printf("%s: not in any unit of the floor table\n", relative.c_str());
      ++faults;
      continue;
    }
    const Unit& fromUnit = table.units.at(*from);
    std::ifstream in(file);
    std::string line;
    for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
      std::smatch match;
      if (std::regex_search(line, match, systemInclude)) {
        ++checked;
        const SystemHeaders* entry = SystemEntryOf(table, match[1]);
        if (entry && std::none_of(entry->places.begin(), entry->places.end(),
                                  [&](const std::string& p) { return IsUnder(relative, p); })) {
          std::printf("%s:%d: %s: a system header outside the places allowed it (%s)\n",
                      relative.c_str(), lineNumber, line.c_str(), JoinWords(entry->places).c_str());
          ++faults;
        }
        continue;
      }
      if (!std::regex_search(line, match, include)) continue;
      const std::string target = match[1];
      if (target.find('/') == std::string::npos) continue;  // a header beside the file
      ++checked;
      const auto to = UnitOf(table, target);
      if (!to) {
        std::printf("%s:%d: %s: the header is in no unit of the floor table\n", relative.c_str(),
                    lineNumber, line.c_str());
        ++faults;
        continue;
      }
      const Unit& toUnit = table.units.at(*to);
      if (*to == *from || toUnit.floor < fromUnit.floor || fromUnit.alsoUses.contains(*to))
        continue;
      std::printf("%s:%d: %s: %s (floor %d) may not include %s (floor %d)\n", relative.c_str(),
                  lineNumber, line.c_str(), from->c_str(), fromUnit.floor, to->c_str(),
                  toUnit.floor);
      ++faults;
    }
  }
  std::printf("%zu includes in %zu files checked, %d against the floors\n", checked, files.size(),
              faults);
  return faults == 0 ? 0 : 1;
}
