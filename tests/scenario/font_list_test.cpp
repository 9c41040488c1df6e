#include "scenario/font_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/cp932.h"

namespace bw {
namespace {

using host::LOGFONTA;

struct Reported {
  const char* face;
  uint8_t charSet;
  uint8_t pitch;
  uint32_t type;
};

// What a system with a mix of faces reports, in its order.
const Reported kSystem[] = {
    {"ＭＳ ゴシック", host::SHIFTJIS_CHARSET, host::FIXED_PITCH, host::TRUETYPE_FONTTYPE},
    {"ＭＳ ゴシック", host::ANSI_CHARSET, host::FIXED_PITCH, host::TRUETYPE_FONTTYPE},
    {"@ＭＳ ゴシック", host::SHIFTJIS_CHARSET, host::FIXED_PITCH, host::TRUETYPE_FONTTYPE},
    {"ＭＳ Ｐ明朝", host::SHIFTJIS_CHARSET, host::VARIABLE_PITCH, host::TRUETYPE_FONTTYPE},
    {"Terminal", host::SHIFTJIS_CHARSET, host::FIXED_PITCH, host::RASTER_FONTTYPE},
    {"$Hidden", host::SHIFTJIS_CHARSET, host::FIXED_PITCH, host::TRUETYPE_FONTTYPE},
    {"Courier", host::ANSI_CHARSET, host::FIXED_PITCH, host::RASTER_FONTTYPE},
};

int ReportSystem(const LOGFONTA& filter, host::FONTENUMPROCA proc, host::LPARAM param, uint32_t) {
  EXPECT_EQ(filter.lfCharSet, host::DEFAULT_CHARSET) << "the list asks for every character set";
  EXPECT_EQ(filter.lfFaceName[0], '\0') << "and every face";
  int answer = 1;
  for (const Reported& r : kSystem) {
    host::ENUMLOGFONTEXA font;
    std::string name = host::Utf8ToCp932(r.face).text;
    std::memcpy(font.elfLogFont.lfFaceName, name.data(), name.size());
    font.elfLogFont.lfCharSet = r.charSet;
    font.elfLogFont.lfPitchAndFamily = r.pitch;
    answer = proc(&font, r.type, param);
    EXPECT_NE(answer, 0) << "the list always asks to go on";
  }
  return answer;
}

std::vector<std::string> Names(const FontList& list) {
  std::vector<std::string> names;
  for (int i = 0; i < list.Count(); ++i) {
    const LOGFONTA* lf = list.Get(i);
    names.push_back(host::Cp932ToUtf8(lf->lfFaceName).text + "/" + std::to_string(lf->lfCharSet));
  }
  return names;
}

TEST(FontListTest, FiltersSelectFaces) {
  using V = std::vector<std::string>;
  struct Case {
    uint8_t filter;
    uint8_t charSet;
    V expected;
  };
  // No filter and the Japanese one are the start-up's and the font natives'.
  const Case cases[] = {
      {FontList::kTrueTypeOnly, 0,
       V{"ＭＳ ゴシック/128", "ＭＳ ゴシック/0", "@ＭＳ ゴシック/128", "ＭＳ Ｐ明朝/128"}},
      {FontList::kFixedPitchOnly | FontList::kNoVerticalFaces, 0,
       V{"ＭＳ ゴシック/128", "ＭＳ ゴシック/0", "Terminal/128", "Courier/0"}},
      {FontList::kCharSetOnly, host::ANSI_CHARSET, V{"ＭＳ ゴシック/0", "Courier/0"}},
  };
  for (const Case& c : cases) {
    FontList list(ReportSystem);
    EXPECT_EQ(list.Enumerate(c.filter, c.charSet), static_cast<int>(c.expected.size()));
    EXPECT_EQ(Names(list), c.expected) << "filter " << int(c.filter) << ", set " << int(c.charSet);
  }
}

}  // namespace
}  // namespace bw
