#include "host/font/font_enum.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "host/cp932.h"
#include "host/font/font_library.h"
#include "host/font/host_faces.h"

namespace bw::host {
namespace {

// The size the system reports enumerated outline faces at.
constexpr int32_t kEnumHeight = 16;
constexpr int32_t kEnumWidth = 8;

void CopyName(std::string_view text, char* out, size_t capacity) {
  size_t n = std::min(text.size(), capacity - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

ENUMLOGFONTEXA Record(const HostFace& face, bool vertical) {
  ENUMLOGFONTEXA record;
  LOGFONTA& lf = record.elfLogFont;
  lf.lfHeight = kEnumHeight;
  lf.lfWidth = kEnumWidth;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  lf.lfOutPrecision = OUT_STROKE_PRECIS;
  lf.lfClipPrecision = CLIP_STROKE_PRECIS;
  lf.lfQuality = DRAFT_QUALITY;
  lf.lfPitchAndFamily = face.pitchAndFamily;
  std::string name = (vertical ? "@" : "") + GdiFaceName(face);
  CopyName(name, lf.lfFaceName, sizeof lf.lfFaceName);
  CopyName(name, record.elfFullName, sizeof record.elfFullName);
  CopyName("Regular", record.elfStyle, sizeof record.elfStyle);
  CopyName(Utf8ToCp932("日本語").text, record.elfScript, sizeof record.elfScript);
  return record;
}

}  // namespace

int EnumFontFamiliesExA(const LOGFONTA& filter, FONTENUMPROCA proc, LPARAM param,
                        uint32_t /*flags*/) {
  if (proc == nullptr) return 0;
  std::string_view wanted(filter.lfFaceName, strnlen(filter.lfFaceName, kLfFaceSize));
  bool anySet = filter.lfCharSet == DEFAULT_CHARSET;
  if (!anySet && filter.lfCharSet != SHIFTJIS_CHARSET) return 1;

  int answer = 1;
  for (const HostFace& face : HostFaces()) {
    std::string name = GdiFaceName(face);
    bool wantsPlain = wanted.empty() || wanted == name;
    bool wantsTwin = wanted.empty() || (IsVerticalFaceName(wanted) && wanted.substr(1) == name);
    if (!wantsPlain && !wantsTwin) continue;
    bool installed = false;
    {
      FontLibrary& library = FontLibrary::Instance();
      std::lock_guard lock(library.Mutex());
      installed = library.IsInstalled(std::string(face.family));
    }
    if (!installed) continue;
    for (bool vertical : {false, true}) {
      if (!(vertical ? wantsTwin : wantsPlain)) continue;
      ENUMLOGFONTEXA record = Record(face, vertical);
      answer = proc(&record, TRUETYPE_FONTTYPE, param);
      if (answer == 0) return answer;
    }
  }
  return answer;
}

}  // namespace bw::host
