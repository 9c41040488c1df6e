#include "host/host_path.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

#include "common/sjis.h"
#include "host/cp932.h"
#include "host/file/file_system.h"

namespace bw::host {
namespace {

// UTF-8 names are folded byte by byte: every byte of a multi-byte character is >= 0x80, so only
// ASCII letters can change, the same rule the engine applies to its CP932 names.
bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (sjis::AsciiLower(a[i]) != sjis::AsciiLower(b[i])) return false;
  }
  return true;
}

std::string JoinLinux(const std::vector<std::string>& parts) {
  std::string path;
  for (const auto& p : parts) path += '/' + p;
  return path.empty() ? "/" : path;
}

// Components of a CP932 path between separators, trail bytes honoured; empty ones included.
std::vector<std::string_view> SplitEnginePath(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i < path.size(); i = sjis::Next(path, i)) {
    if (sjis::IsSeparator(path[i])) {
      parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(path.substr(start));
  return parts;
}

bool EndsWithSeparator(std::string_view path) {
  return !path.empty() && sjis::FindLastSeparator(path) == path.size() - 1;
}

bool IsDotStep(std::string_view name) {
  return name == "." || name == "..";
}

// The names of an absolute path with empty names and "." left out and each ".." taking the name
// before it (none above the root).
std::vector<std::string_view> WithoutDotSteps(const std::vector<std::string_view>& names) {
  std::vector<std::string_view> kept;
  for (std::string_view name : names) {
    if (name == "..") {
      if (!kept.empty()) kept.pop_back();
    } else if (!name.empty() && name != ".") {
      kept.push_back(name);
    }
  }
  return kept;
}

// A Linux path that entered the engine and would not come back by matching names alone: several
// code points share one CP932 code (U+301C and U+FF5E are both 0x8160), so "a〜b" enters as the
// code that decodes to "a～b", which may be another folder or none. Each keeps its components in
// both forms; an engine path below the CP932 ones maps to the Linux ones byte for byte.
struct EnteredPath {
  std::vector<std::string> engine;
  std::vector<std::string> linux;
};

class EnteredPaths {
 public:
  // The Linux components of the longest entered path that the engine components begin with
  // (compared as the engine compares names); how many components it covers, 0 for none.
  size_t Match(const std::vector<std::string_view>& engine, std::vector<std::string>& linux) {
    std::lock_guard hold(lock_);
    const EnteredPath* best = Longest(engine);
    if (!best) return 0;
    linux = best->linux;
    return best->engine.size();
  }

  // Keeps what it takes for the path to come back as given: the part up to its last name that
  // changes through CP932, or, when an earlier entry would send it elsewhere, the whole path.
  void Remember(std::vector<std::string> engine, std::vector<std::string> linux, size_t lastLossy) {
    std::lock_guard hold(lock_);
    if (paths_.empty() && lastLossy == 0) return;  // nothing to keep, nothing to contradict
    std::vector<std::string_view> key(engine.begin(), engine.end());
    const EnteredPath* covering = Longest(key);
    size_t keep = 0;
    if (covering && !std::equal(covering->linux.begin(), covering->linux.end(), linux.begin())) {
      keep = engine.size();
    } else if (lastLossy != 0 && (!covering || lastLossy > covering->engine.size())) {
      keep = lastLossy;
    }
    if (keep == 0) return;
    engine.resize(keep);
    linux.resize(keep);
    auto same = std::find_if(paths_.begin(), paths_.end(), [&](const EnteredPath& p) {
      return p.engine.size() == keep && Covers(p, key);
    });
    if (same != paths_.end()) {
      same->linux = std::move(linux);
    } else {
      paths_.push_back({std::move(engine), std::move(linux)});
    }
  }

 private:
  static bool Covers(const EnteredPath& p, const std::vector<std::string_view>& engine) {
    if (p.engine.size() > engine.size()) return false;
    for (size_t i = 0; i < p.engine.size(); ++i) {
      if (!sjis::EqualsNoCase(p.engine[i], engine[i])) return false;
    }
    return true;
  }
  const EnteredPath* Longest(const std::vector<std::string_view>& engine) const {
    const EnteredPath* best = nullptr;
    for (const EnteredPath& p : paths_) {
      if (Covers(p, engine) && (!best || p.engine.size() > best->engine.size())) best = &p;
    }
    return best;
  }

  std::mutex lock_;  // guards paths_: paths are mapped on the frame and loader threads too
  std::vector<EnteredPath> paths_;
};

EnteredPaths& Entered() {
  static EnteredPaths paths;
  return paths;
}

}  // namespace

std::string FindEntryNoCase(const std::string& folder, std::string_view name) {
  std::string prefix = folder.empty() || folder.back() != '/' ? folder + '/' : folder;
  if (QueryFile(prefix + std::string(name), Links::kOwn)) return std::string(name);
  const std::optional<std::vector<std::string>> names = ListFolder(folder);
  if (!names) return {};
  // Several code points share one CP932 code (U+301C and U+FF5E are both 0x8160), and a name
  // that came from the engine holds only one of them: compare what the engine would see.
  const Cp932Conversion nameCp932 = Utf8ToCp932(name);
  auto sameInCp932 = [&](std::string_view candidate) {
    if (!nameCp932.ok) return false;
    const Cp932Conversion c = Utf8ToCp932(candidate);
    return c.ok && sjis::EqualsNoCase(c.text, nameCp932.text);
  };
  // The listing is in the file system's order; take the least name so every run agrees.
  std::string best, bestInCp932;
  auto keepLeast = [](std::string& kept, std::string_view candidate) {
    if (kept.empty() || candidate < kept) kept = candidate;
  };
  for (const std::string& candidate : *names) {
    if (EqualsAsciiNoCase(candidate, name)) {
      keepLeast(best, candidate);
    } else if (best.empty() && sameInCp932(candidate)) {
      keepLeast(bestInCp932, candidate);
    }
  }
  return best.empty() ? bestInCp932 : best;
}

int LinuxPathToEnginePath(std::string_view linuxPath, std::string& enginePath) {
  if (linuxPath.empty() || linuxPath[0] != '/') return kPathNotAbsolute;
  if (linuxPath.find('\0') != std::string_view::npos) return kPathBadName;
  // Track the separators by count: a CP932 name may end in a 0x5C trail byte.
  std::string out{kRootDrive, ':', '\\'};
  std::vector<std::string> engineNames, linuxNames;
  size_t lastLossy = 0;  // 1 + the index of the last name that CP932 does not give back
  bool dotSteps = false;
  size_t start = 1;
  while (start < linuxPath.size()) {
    size_t end = std::min(linuxPath.find('/', start), linuxPath.size());
    std::string_view name = linuxPath.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    if (name.find('\\') != std::string_view::npos) return kPathBadName;
    // A name that encodes to a separator (U+00A5 to 0x5C) would split in two on the way back.
    Cp932Conversion encoded = Utf8ToCp932(name);
    if (!encoded.ok || sjis::FindFirstOf(encoded.text, "\\/") != sjis::npos) return kPathBadName;
    if (!engineNames.empty()) out += '\\';
    out += encoded.text;
    dotSteps = dotSteps || IsDotStep(name);
    if (Cp932ToUtf8(encoded.text).text != name) lastLossy = engineNames.size() + 1;
    engineNames.push_back(std::move(encoded.text));
    linuxNames.emplace_back(name);
  }
  if (!engineNames.empty() && linuxPath.back() == '/') out += '\\';
  // "." and ".." steps resolve differently on the two sides; such a path is taken by name.
  if (!dotSteps) Entered().Remember(std::move(engineNames), std::move(linuxNames), lastLossy);
  enginePath = std::move(out);
  return kPathOk;
}

int EnginePathToLinuxPath(std::string_view enginePath, std::string_view base,
                          std::string& linuxPath) {
  if (enginePath.find('\0') != std::string_view::npos) return kPathBadName;
  std::vector<std::string> parts;  // UTF-8 names below the root
  std::string_view rest = enginePath;
  bool relative = false;
  if (rest.size() >= 2 && rest[1] == ':' && sjis::AsciiUpper(rest[0]) >= 'A' &&
      sjis::AsciiUpper(rest[0]) <= 'Z') {
    if (sjis::AsciiUpper(rest[0]) != kRootDrive) return kPathUnknownDrive;
    rest.remove_prefix(2);
    relative = rest.empty() || !sjis::IsSeparator(rest[0]);  // "Z:name": the current folder
  } else if (rest.size() >= 2 && sjis::IsSeparator(rest[0]) && sjis::IsSeparator(rest[1])) {
    return kPathUnknownDrive;
  } else {
    relative = rest.empty() || !sjis::IsSeparator(rest[0]);
  }
  if (relative) {
    if (base.empty() || base[0] != '/') return kPathNotAbsolute;
    for (size_t start = 1; start < base.size();) {
      size_t end = std::min(base.find('/', start), base.size());
      std::string_view name = base.substr(start, end - start);
      start = end + 1;
      if (name == "..") {
        if (!parts.empty()) parts.pop_back();
      } else if (!name.empty() && name != ".") {
        parts.emplace_back(name);
      }
    }
  }

  std::vector<std::string_view> names = SplitEnginePath(rest);
  size_t from = 0;
  if (!relative) {
    names = WithoutDotSteps(names);
    from = Entered().Match(names, parts);
  }
  size_t matched = parts.size();  // leading parts that are known entries (the base is trusted)
  for (size_t i = from; i < names.size(); ++i) {
    std::string_view component = names[i];
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      if (!parts.empty()) parts.pop_back();
      matched = std::min(matched, parts.size());
      continue;
    }
    Cp932Conversion name = Cp932ToUtf8(component);
    if (!name.ok) return kPathBadName;
    if (matched == parts.size()) {
      std::string entry = FindEntryNoCase(JoinLinux(parts), name.text);
      if (!entry.empty()) {
        parts.push_back(std::move(entry));
        ++matched;
        continue;
      }
    }
    parts.push_back(std::move(name.text));
  }
  std::string out = JoinLinux(parts);
  if (EndsWithSeparator(enginePath) && out.back() != '/') out += '/';
  linuxPath = std::move(out);
  return kPathOk;
}

}  // namespace bw::host
