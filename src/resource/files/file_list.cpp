#include "resource/files/file_list.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "common/sjis.h"
#include "host/cp932.h"
#include "host/file/file_system.h"
#include "host/host_path.h"
#include "host/trust.h"
#include "platform/app_paths.h"

namespace bw {
namespace {

// A pattern character after FindFirstFile's rewriting, or a literal.
enum class Token : uint8_t { kLiteral, kStar, kDosStar, kDosQm, kDosDot };

struct PatternPart {
  Token token;
  uint16_t literal;  // upper-cased single byte, or lead << 8 | trail
};

uint16_t FoldedChar(std::string_view s, size_t pos) {
  uint16_t c = sjis::CharAt(s, pos);
  return c < 0x80 ? static_cast<uint16_t>(sjis::AsciiUpper(static_cast<char>(c))) : c;
}

std::vector<PatternPart> ParsePattern(std::string_view pattern) {
  std::vector<PatternPart> parts;
  for (size_t i = 0; i < pattern.size(); i = sjis::Next(pattern, i)) {
    char next = sjis::Next(pattern, i) < pattern.size() ? pattern[sjis::Next(pattern, i)] : '\0';
    bool atEnd = sjis::Next(pattern, i) >= pattern.size();
    switch (sjis::CharLength(pattern, i) == 1 ? pattern[i] : '\0') {
      case '?':
        parts.push_back({Token::kDosQm, 0});
        break;
      case '*':
        parts.push_back({next == '.' ? Token::kDosStar : Token::kStar, 0});
        break;
      case '.':
        parts.push_back(
            {atEnd || next == '*' || next == '?' ? Token::kDosDot : Token::kLiteral, '.'});
        break;
      default:
        parts.push_back({Token::kLiteral, FoldedChar(pattern, i)});
    }
  }
  return parts;
}

// The key of NTFS's name order: letters upper-cased. UTF-8 bytes sort as the code points do,
// which for names with a CP932 form is also the UTF-16 order.
std::string OrderKey(std::string_view utf8) {
  std::string key(utf8);
  for (char& c : key) c = sjis::AsciiUpper(c);
  return key;
}

// A name of a Linux folder that can be an engine name: it has an exact CP932 form and no '\'.
bool EngineName(const std::string& utf8, std::string& cp932) {
  if (utf8.find('\\') != std::string::npos) return false;
  host::Cp932Conversion encoded = host::Utf8ToCp932(utf8);
  if (!encoded.ok || host::Cp932ToUtf8(encoded.text).text != utf8) return false;
  cp932 = std::move(encoded.text);
  return true;
}

struct FoundEntry {
  std::string utf8;
  std::string cp932;
  std::string key;
  host::FileStatus status;
  bool folder;
};

FileListEntry MakeEntry(std::string name, const FoundEntry& found) {
  FileListEntry entry;
  entry.name = std::move(name);
  (void)ToLocalFields(found.status.lastWrite, entry.time);  // a time out of range reads as zeros
  if (found.folder) {
    entry.attributes = kEntryFolder;
  } else {
    entry.size = static_cast<uint32_t>(std::min<uint64_t>(found.status.size, UINT32_MAX));
    entry.attributes = kEntryArchive;
  }
  if (!found.status.ownerWritable) entry.attributes |= kEntryReadOnly;
  if (found.utf8[0] == '.') entry.attributes |= kEntryHidden;
  return entry;
}

std::vector<FoundEntry> ReadFolder(const std::string& linuxFolder) {
  std::vector<FoundEntry> found;
  std::optional<std::vector<std::string>> names = host::ListFolder(linuxFolder);
  if (!names) return found;
  for (std::string& utf8 : *names) {
    FoundEntry entry;
    if (!EngineName(utf8, entry.cp932)) continue;
    std::string path = linuxFolder + "/" + utf8;
    // A link that leads nowhere is listed as what it is.
    std::optional<host::FileStatus> status = host::QueryFile(path);
    if (!status) status = host::QueryFile(path, host::Links::kOwn);
    if (!status) continue;
    entry.status = *status;
    entry.folder = status->IsFolder();
    entry.key = OrderKey(utf8);
    entry.utf8 = std::move(utf8);
    found.push_back(std::move(entry));
  }
  std::sort(found.begin(), found.end(), [](const FoundEntry& a, const FoundEntry& b) {
    return a.key != b.key ? a.key < b.key : a.utf8 < b.utf8;
  });
  return found;
}

}  // namespace

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  std::vector<PatternPart> parts = ParsePattern(pattern);
  std::vector<uint16_t> chars;
  size_t lastDot = SIZE_MAX;
  for (size_t i = 0; i < name.size(); i = sjis::Next(name, i)) {
    if (name[i] == '.') lastDot = chars.size();
    chars.push_back(FoldedChar(name, i));
  }
  // rest[i]: whether parts from t on match chars from i on, filled from the last part back.
  const size_t n = chars.size();
  std::vector<char> rest(n + 1, 0);
  rest[n] = 1;
  std::vector<char> here(n + 1);
  for (size_t t = parts.size(); t-- > 0;) {
    const PatternPart& part = parts[t];
    for (size_t i = n + 1; i-- > 0;) {
      bool atDot = i < n && chars[i] == '.';
      bool match = false;
      switch (part.token) {
        case Token::kLiteral:
          match = i < n && chars[i] == part.literal && rest[i + 1];
          break;
        case Token::kStar:
          match = rest[i] || (i < n && here[i + 1]);
          break;
        case Token::kDosStar:  // never past the name's last dot
          match = rest[i] || (i < n && i != lastDot && here[i + 1]);
          break;
        case Token::kDosQm:
          match = i == n || atDot ? rest[i] : rest[i + 1];
          break;
        case Token::kDosDot:
          match = (atDot && rest[i + 1]) || (i == n && rest[i]);
          break;
      }
      here[i] = match;
    }
    rest.swap(here);
  }
  return rest[0];
}

struct FileList::Walk {
  std::string_view pattern;
  int32_t folderMode;
  bool recurse;
  std::vector<std::pair<uint64_t, uint64_t>>
      ancestors;  // the folders being walked, outermost first
};

uint32_t FileList::Scan(const char* folder, const char* pattern, int32_t folderMode, bool recurse) {
  Clear();
  std::string base;
  if (folder) {
    if (BuildAbsolutePath(base, folder) == kPathBuildFailed) return 0;
    if (!EndsWithSeparator(base)) base += '\\';
  } else {
    base = GetAppFolder();
  }
  std::string linuxBase;
  if (base.empty() || host::EnginePathToLinuxPath(base, linuxBase) != host::kPathOk ||
      !host::GamePathAllowed(linuxBase, host::PathUse::kRead)) {
    return 0;
  }
  while (linuxBase.size() > 1 && linuxBase.back() == '/') linuxBase.pop_back();

  Walk walk{pattern ? pattern : "*.*", folderMode, recurse, {}};
  std::optional<host::FileStatus> status = host::QueryFile(linuxBase);
  if (!status || !status->IsFolder()) return 0;
  walk.ancestors.emplace_back(status->device, status->inode);
  ScanFolder(walk, linuxBase == "/" ? std::string() : linuxBase, {});
  return GetCount();
}

void FileList::ScanFolder(Walk& walk, const std::string& linuxFolder, const std::string& relative) {
  std::vector<FoundEntry> found = ReadFolder(linuxFolder.empty() ? "/" : linuxFolder);
  if (walk.folderMode != kScanFilesOnly || walk.recurse) {
    for (const FoundEntry& entry : found) {
      if (!entry.folder) continue;
      std::string name = relative + entry.cp932 + '\\';
      if (walk.folderMode != kScanFilesOnly) entries_.push_back(MakeEntry(name, entry));
      if (!walk.recurse) continue;
      std::pair<uint64_t, uint64_t> id(entry.status.device, entry.status.inode);
      if (std::find(walk.ancestors.begin(), walk.ancestors.end(), id) != walk.ancestors.end()) {
        continue;  // a link back up the tree
      }
      walk.ancestors.push_back(id);
      ScanFolder(walk, linuxFolder + "/" + entry.utf8, name);
      walk.ancestors.pop_back();
    }
  }
  if (walk.folderMode == kScanFoldersOnly) return;
  for (const FoundEntry& entry : found) {
    if (!entry.folder && MatchesWildcard(walk.pattern, entry.cp932)) {
      entries_.push_back(MakeEntry(relative + entry.cp932, entry));
    }
  }
}

const FileListEntry* FileList::GetEntry(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= entries_.size()) return nullptr;
  return &entries_[static_cast<size_t>(index)];
}

const char* FileList::GetName(int32_t index) const {
  const FileListEntry* entry = GetEntry(index);
  return entry ? entry->name.c_str() : nullptr;
}

}  // namespace bw
