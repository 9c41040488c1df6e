#include "lib/gmp/gmp_writer.h"

#include <sstream>

#include "lib/le_bytes.h"

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

bool ParseGmpText(std::string_view text, GmpFile* file, GmpFaults* faults, std::string* error) {
  *file = {};
  *faults = {};
  std::istringstream lines{std::string(text)};
  std::string line;
  int number = 0;
  auto fail = [&](const char* what) {
    *error = "line " + std::to_string(number) + ": " + what;
    return false;
  };
  while (std::getline(lines, line)) {
    ++number;
    if (auto hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::string word;
    if (!(words >> word)) continue;
    if (word == "background") {
      if (!(words >> file->background)) return fail("background needs a name");
    } else if (word == "part") {
      int kind, x, y, alpha, visible;
      if (!(words >> kind >> x >> y >> alpha >> visible))
        return fail("part needs kind x y alpha visible");
      GmpEntry e;
      e.kind = static_cast<uint8_t>(kind);
      e.x = static_cast<int16_t>(x);
      e.y = static_cast<int16_t>(y);
      e.alpha = static_cast<uint8_t>(alpha);
      e.visible = visible != 0;
      if (kind != kGmpLayerOnly) {
        int width, height, state;
        if (!(words >> width >> height >> state)) return fail("part needs width height state");
        e.width = static_cast<uint16_t>(width);
        e.height = static_cast<uint16_t>(height);
        e.stateCode = static_cast<uint8_t>(state);
      }
      if (!(words >> e.name)) return fail("part needs a picture name");
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
        if (!found) return fail("unknown cut");
      } else {
        return fail("unknown fault");
      }
    } else {
      return fail("unknown item");
    }
  }
  return true;
}

}  // namespace bw::tools
