#include "host/font/host_faces.h"

#include <array>

#include "host/cp932.h"
#include "host/font/font_types.h"

namespace bw::host {
namespace {

constexpr std::array<HostFace, 4> kFaces{{
    {"ＭＳ ゴシック", "IPAGothic", FIXED_PITCH | FF_MODERN},
    {"ＭＳ Ｐゴシック", "IPAPGothic", VARIABLE_PITCH | FF_SWISS},
    {"ＭＳ 明朝", "IPAMincho", FIXED_PITCH | FF_MODERN},
    {"ＭＳ Ｐ明朝", "IPAPMincho", VARIABLE_PITCH | FF_ROMAN},
}};

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::span<const HostFace> HostFaces() {
  return kFaces;
}

bool IsVerticalFaceName(std::string_view cp932Name) {
  return !cp932Name.empty() && cp932Name.front() == '@';
}

const HostFace& MapFaceName(std::string_view cp932Name) {
  if (IsVerticalFaceName(cp932Name)) cp932Name.remove_prefix(1);
  Cp932Conversion utf8 = Cp932ToUtf8(cp932Name);
  if (utf8.ok) {
    for (const HostFace& face : kFaces) {
      if (utf8.text == face.gdiName || EqualsAsciiNoCase(utf8.text, face.family)) return face;
    }
  }
  return kFaces[0];
}

std::string GdiFaceName(const HostFace& face) {
  return Utf8ToCp932(face.gdiName).text;
}

}  // namespace bw::host
