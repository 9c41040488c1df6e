// The one FreeType library of the process and the faces it has opened, found through
// fontconfig. FreeType objects are not safe to share between threads, so every use of the
// library, a face or a size happens under Mutex().
#pragma once

#include <map>
#include <mutex>
#include <string>

// FreeType's and fontconfig's types stay opaque here: FT_Face, FT_Library and FcConfig point to
// these. Only the host's sources that use them include those libraries' headers.
struct FT_FaceRec_;
struct FT_LibraryRec_;
struct _FcConfig;
struct hb_font_t;

namespace bw::host {

class FontLibrary {
 public:
  // An opened face and the family fontconfig matched for the request: the family asked for when
  // it is installed, else the best face fontconfig offers for Japanese text.
  struct Face {
    FT_FaceRec_* face = nullptr;  // an FT_Face
    std::string family;
    std::string path;
    int index = 0;                                // the face's number inside its file
    hb_font_t* shaper = nullptr;                  // HarfBuzz's view of the face, made on first use
    std::map<char32_t, uint32_t> verticalGlyphs;  // what the shaper answered
  };

  static FontLibrary& Instance();

  ~FontLibrary();
  FontLibrary(const FontLibrary&) = delete;
  FontLibrary& operator=(const FontLibrary&) = delete;

  std::mutex& Mutex() { return mutex_; }

  // Under Mutex(). Null face when nothing could be found or opened; the answer is kept, so
  // each family is looked up once.
  Face& Open(const std::string& family);

  // Under Mutex(). True when a face of exactly this family is installed and opens.
  bool IsInstalled(const std::string& family);

  // Under Mutex(). The glyph of character c in vertical writing: the face's 'vert' form where it
  // has one, else its ordinary glyph (0 when it has none).
  static uint32_t VerticalGlyph(Face& face, char32_t c);

 private:
  FontLibrary();
  Face Match(const std::string& family);

  std::mutex mutex_;  // guards everything below and every FT_Face and FT_Size made from it
  FT_LibraryRec_* library_ = nullptr;
  _FcConfig* config_ = nullptr;
  std::map<std::string, Face> faces_;
};

}  // namespace bw::host
