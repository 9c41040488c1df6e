#include "host/font/font_library.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb-ft.h>
#include <hb.h>

#include <cstdio>

namespace bw::host {
namespace {

// The families fontconfig gives a matched face (a face may carry several names).
bool HasFamily(FcPattern* pattern, const std::string& family) {
  FcChar8* value = nullptr;
  for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &value) == FcResultMatch; ++i) {
    if (family == reinterpret_cast<const char*>(value)) return true;
  }
  return false;
}

}  // namespace

FontLibrary& FontLibrary::Instance() {
  static FontLibrary instance;
  return instance;
}

FontLibrary::FontLibrary() {
  if (FT_Init_FreeType(&library_) != 0) {
    std::fprintf(stderr, "fonts: FreeType did not start\n");
    library_ = nullptr;
  }
  config_ = FcInitLoadConfigAndFonts();
  if (config_ == nullptr) std::fprintf(stderr, "fonts: fontconfig did not start\n");
}

FontLibrary::~FontLibrary() {
  for (auto& [family, face] : faces_) {
    if (face.shaper != nullptr) hb_font_destroy(face.shaper);
    if (face.face != nullptr) FT_Done_Face(face.face);
  }
  if (library_ != nullptr) FT_Done_FreeType(library_);
  if (config_ != nullptr) FcConfigDestroy(config_);
}

bool FontLibrary::IsInstalled(const std::string& family) {
  const Face& face = Open(family);
  return face.face != nullptr && face.family == family;
}

FontLibrary::Face FontLibrary::Match(const std::string& family) {
  Face found;
  if (config_ == nullptr) return found;
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return found;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config_, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config_, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return found;
  FcChar8* file = nullptr;
  FcChar8* firstFamily = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    found.path = reinterpret_cast<const char*>(file);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &found.index) != FcResultMatch) found.index = 0;
    if (HasFamily(match, family)) {
      found.family = family;
    } else if (FcPatternGetString(match, FC_FAMILY, 0, &firstFamily) == FcResultMatch) {
      found.family = reinterpret_cast<const char*>(firstFamily);
    }
  }
  FcPatternDestroy(match);
  return found;
}

uint32_t FontLibrary::VerticalGlyph(Face& face, char32_t c) {
  if (face.face == nullptr) return 0;
  if (auto known = face.verticalGlyphs.find(c); known != face.verticalGlyphs.end()) {
    return known->second;
  }
  uint32_t plain = FT_Get_Char_Index(face.face, c);
  if (face.shaper == nullptr) face.shaper = hb_ft_font_create_referenced(face.face);
  hb_buffer_t* buffer = hb_buffer_create();
  hb_buffer_add_utf32(buffer, reinterpret_cast<const uint32_t*>(&c), 1, 0, 1);
  hb_buffer_set_direction(buffer, HB_DIRECTION_TTB);
  hb_buffer_set_script(buffer, HB_SCRIPT_HAN);
  hb_buffer_set_language(buffer, hb_language_from_string("ja", -1));
  // Vertical text turns on 'vert' by itself; asked for too, in case the face files it oddly.
  hb_feature_t vert{HB_TAG('v', 'e', 'r', 't'), 1, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END};
  hb_shape(face.shaper, buffer, &vert, 1);
  unsigned int count = 0;
  const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
  uint32_t glyph = count == 1 ? info[0].codepoint : plain;
  hb_buffer_destroy(buffer);
  face.verticalGlyphs.emplace(c, glyph);
  return glyph;
}

FontLibrary::Face& FontLibrary::Open(const std::string& family) {
  auto it = faces_.find(family);
  if (it != faces_.end()) return it->second;
  Face face = Match(family);
  if (library_ != nullptr && !face.path.empty()) {
    if (FT_New_Face(library_, face.path.c_str(), face.index, &face.face) != 0 ||
        !FT_IS_SCALABLE(face.face)) {
      if (face.face != nullptr) FT_Done_Face(face.face);
      face.face = nullptr;
    }
  }
  if (face.face == nullptr) std::fprintf(stderr, "fonts: no face for \"%s\"\n", family.c_str());
  return faces_.emplace(family, std::move(face)).first->second;
}

}  // namespace bw::host
