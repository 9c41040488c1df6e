// Reads every #include "..." of the engine's sources and fails on one that goes up a floor, or
// sideways where the floor table does not allow it, printing each offending line.
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

using FloorTable = std::map<std::string, Unit>;

bool ReadTable(const fs::path& path, FloorTable* table) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    Unit unit;
    std::string name;
    if (!(words >> unit.floor)) {
      if (line.find_first_not_of(" \t\r") != std::string::npos) {
        std::fprintf(stderr, "%s:%d: expected a floor number\n", path.c_str(), lineNumber);
        return false;
      }
      continue;
    }
    if (!(words >> name)) {
      std::fprintf(stderr, "%s:%d: expected a unit after the floor\n", path.c_str(), lineNumber);
      return false;
    }
    for (std::string other; words >> other;) unit.alsoUses.insert(other);
    (*table)[name] = std::move(unit);
  }
  return !table->empty();
}

// The longest unit of the table that is the path or a folder prefix of it.
std::optional<std::string> UnitOf(const FloorTable& table, const std::string& path) {
  std::optional<std::string> best;
  for (const auto& [name, unit] : table) {
    bool matches =
        path == name || (path.size() > name.size() && path.compare(0, name.size(), name) == 0 &&
                         path[name.size()] == '/');
    if (matches && (!best || name.size() > best->size())) best = name;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(
        stderr,
        "usage: floor_check <src folder> <floor table>\n"
        "Fails on an #include that goes up a floor or sideways where the table says no.\n");
    return 2;
  }
  const fs::path root = argv[1];
  FloorTable table;
  if (!ReadTable(argv[2], &table)) {
    std::fprintf(stderr, "floor_check: cannot read the floor table %s\n", argv[2]);
    return 2;
  }
  const std::regex include(R"(^\s*#\s*include\s*"([^"]+)\")");
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
    const Unit& fromUnit = table.at(*from);
    std::ifstream in(file);
    std::string line;
    for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
      std::smatch match;
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
      const Unit& toUnit = table.at(*to);
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
