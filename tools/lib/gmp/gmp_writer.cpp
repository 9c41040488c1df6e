#include "lib/gmp/gmp_writer.h"

#include <cstdint>
#include <sstream>

#include "host/cp932.h"
#include "lib/le_bytes.h"
#include "lib/tool_args.h"

namespace bw::tools {

namespace {

void PutName(std::vector<uint8_t>& out, const std::string& name) {
  PutBytes(out, {reinterpret_cast<const uint8_t*>(name.data()), name.size()});
}

}  // namespace

std::vector<uint8_t> WriteGmp(const GmpFile& file, const GmpFaults& faults) {
  std::vector<uint8_t> out;
  const uint8_t magic[4] = {'H', faults.wrongMagic ? uint8_t('X') : uint8_t('V'), 'M', 0};
  PutBytes(out, magic);
  if (faults.cut == GmpCut::kMagic) {
    out.resize(2);
    return out;
  }
  out.push_back(static_cast<uint8_t>(file.background.size()));
  PutName(out, file.background);
  if (faults.cut == GmpCut::kBackground) {
    out.resize(out.size() - (file.background.empty() ? 0 : 1));
    return out;
  }
  Put16(out, faults.count.value_or(static_cast<uint16_t>(file.entries.size())));
  if (faults.cut == GmpCut::kCount) {
    out.pop_back();
    return out;
  }
  for (size_t i = 0; i < file.entries.size(); ++i) {
    const GmpEntry& e = file.entries[i];
    const bool last = i + 1 == file.entries.size();
    if (last && faults.cut == GmpCut::kNameLength) return out;
    out.push_back(last && faults.lastNameLength ? *faults.lastNameLength
                                                : static_cast<uint8_t>(e.name.size()));
    PutName(out, e.name);
    if (last && faults.cut == GmpCut::kName) {
      out.pop_back();
      return out;
    }
    const bool layerOnly = e.kind == kGmpLayerOnly || (last && faults.lastAsLayerOnly);
    out.push_back(last && faults.lastKind ? *faults.lastKind
                                          : (layerOnly ? kGmpLayerOnly : e.kind));
    Put16(out, static_cast<uint16_t>(e.x));
    Put16(out, static_cast<uint16_t>(e.y));
    out.push_back(e.alpha);
    out.push_back(e.visible ? 1 : 0);
    if (!layerOnly) {
      Put16(out, e.width);
      Put16(out, e.height);
      out.push_back(e.stateCode);
    }
    if (last && faults.cut == GmpCut::kRecord) out.pop_back();
  }
  return out;
}

namespace {

// The rest of the line after the words read so far: a picture name, which may hold spaces,
// given in UTF-8 and stored in CP932.
bool ReadName(std::istringstream& words, std::string* name, std::string* error) {
  std::string rest;
  std::getline(words >> std::ws, rest);
  while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t' || rest.back() == '\r')) {
    rest.pop_back();
  }
  if (rest.empty()) {
    *error = "needs a picture name";
    return false;
  }
  host::Cp932Conversion cp932 = host::Utf8ToCp932(rest);
  if (!cp932.ok) {
    *error = "the name " + rest + " holds a character that CP932 lacks";
    return false;
  }
  if (cp932.text.size() > 255) {
    *error = "the name " + rest + " is longer than the 255 bytes a GMP name holds";
    return false;
  }
  *name = std::move(cp932.text);
  return true;
}

// The next word as a number from low to high.
bool ReadField(std::istringstream& words, const char* what, long low, long high, long* value,
               std::string* error) {
  std::string word;
  if (!(words >> word)) {
    *error = std::string("needs ") + what;
    return false;
  }
  if (!ParseNumber(word, value) || *value < low || *value > high) {
    *error = std::string(what) + " must be a number from " + std::to_string(low) + " to " +
             std::to_string(high) + ", not " + word;
    return false;
  }
  return true;
}

bool ReadPart(std::istringstream& words, GmpEntry* e, std::string* error) {
  long kind, x, y, alpha, visible;
  if (!ReadField(words, "kind", 0, 255, &kind, error) ||
      !ReadField(words, "x", INT16_MIN, INT16_MAX, &x, error) ||
      !ReadField(words, "y", INT16_MIN, INT16_MAX, &y, error) ||
      !ReadField(words, "alpha", 0, 255, &alpha, error) ||
      !ReadField(words, "visible", 0, 1, &visible, error)) {
    return false;
  }
  e->kind = static_cast<uint8_t>(kind);
  e->x = static_cast<int16_t>(x);
  e->y = static_cast<int16_t>(y);
  e->alpha = static_cast<uint8_t>(alpha);
  e->visible = visible != 0;
  if (kind != kGmpLayerOnly) {
    long width, height, state;
    if (!ReadField(words, "width", 0, UINT16_MAX, &width, error) ||
        !ReadField(words, "height", 0, UINT16_MAX, &height, error) ||
        !ReadField(words, "state", 0, 255, &state, error)) {
      return false;
    }
    e->width = static_cast<uint16_t>(width);
    e->height = static_cast<uint16_t>(height);
    e->stateCode = static_cast<uint8_t>(state);
  }
  return ReadName(words, &e->name, error);
}

}  // namespace

bool ParseGmpText(std::string_view text, GmpFile* file, GmpFaults* faults, std::string* error) {
  *file = {};
  *faults = {};
  std::istringstream lines{std::string(text)};
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& what) {
    *error = "line " + std::to_string(number) + ": " + what;
    return false;
  };
  std::string why;
  while (std::getline(lines, line)) {
    ++number;
    if (auto hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::string word;
    if (!(words >> word)) continue;
    if (word == "background") {
      if (!ReadName(words, &file->background, &why)) return fail("background " + why);
    } else if (word == "part") {
      GmpEntry e;
      if (!ReadPart(words, &e, &why)) return fail("part " + why);
      file->entries.push_back(std::move(e));
    } else if (word == "fault") {
      std::string what;
      words >> what;
      int n = 0;
      if (what == "magic") {
        faults->wrongMagic = true;
      } else if (what == "layeronly") {
        faults->lastAsLayerOnly = true;
      } else if (what == "count" && words >> n) {
        faults->count = static_cast<uint16_t>(n);
      } else if (what == "namelength" && words >> n) {
        faults->lastNameLength = static_cast<uint8_t>(n);
      } else if (what == "kind" && words >> n) {
        faults->lastKind = static_cast<uint8_t>(n);
      } else if (what == "cut" && words >> word) {
        static const std::pair<const char*, GmpCut> kCuts[] = {
            {"magic", GmpCut::kMagic}, {"background", GmpCut::kBackground},
            {"count", GmpCut::kCount}, {"namelength", GmpCut::kNameLength},
            {"name", GmpCut::kName},   {"record", GmpCut::kRecord}};
        bool found = false;
        for (const auto& [name, cut] : kCuts) {
          if (word == name) faults->cut = cut, found = true;
        }
        if (!found) return fail("unknown cut " + word);
      } else {
        return fail("unknown fault " + what);
      }
    } else {
      return fail("unknown item " + word);
    }
  }
  return true;
}

}  // namespace bw::tools
