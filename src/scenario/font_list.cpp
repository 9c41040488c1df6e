#include "scenario/font_list.h"

#include <cstddef>

namespace bw {

int FontList::Enumerate(uint8_t filter, uint8_t charSet) {
  fonts_.clear();
  filter_ = filter;
  charSet_ = charSet;
  host::LOGFONTA all;
  all.lfCharSet = host::DEFAULT_CHARSET;
  if (enumerate_ != nullptr) enumerate_(all, Accept, reinterpret_cast<host::LPARAM>(this), 0);
  return Count();
}

const host::LOGFONTA* FontList::Get(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return &fonts_[static_cast<size_t>(index)];
}

int FontList::Accept(const host::ENUMLOGFONTEXA* font, uint32_t fontType, host::LPARAM param) {
  constexpr int kGoOn = 1;
  auto* list = reinterpret_cast<FontList*>(param);
  if (font == nullptr) return kGoOn;
  const host::LOGFONTA& lf = font->elfLogFont;
  if ((list->filter_ & kTrueTypeOnly) && !(fontType & host::TRUETYPE_FONTTYPE)) return kGoOn;
  if ((list->filter_ & kFixedPitchOnly) && !(lf.lfPitchAndFamily & host::FIXED_PITCH)) {
    return kGoOn;
  }
  if ((list->filter_ & kNoVerticalFaces) && lf.lfFaceName[0] == '@') return kGoOn;
  if (lf.lfFaceName[0] == '$') return kGoOn;
  if ((list->filter_ & kCharSetOnly) && lf.lfCharSet != list->charSet_) return kGoOn;
  list->fonts_.push_back(lf);
  return kGoOn;
}

}  // namespace bw
