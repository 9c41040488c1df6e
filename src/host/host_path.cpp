#include "host/host_path.h"

#include <algorithm>
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
  bool named = false;
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
    if (named) out += '\\';
    out += encoded.text;
    named = true;
  }
  if (named && linuxPath.back() == '/') out += '\\';
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

  size_t matched = parts.size();  // leading parts that are known entries (the base is trusted)
  for (std::string_view component : SplitEnginePath(rest)) {
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
