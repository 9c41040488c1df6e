// Font enumeration: the faces a game sees installed. These are the Japanese faces a game of
// its time expects, under their own names, each reported when the face that stands in for it
// (host_faces.h) is installed: outline faces in the Shift-JIS character set, in the order of
// HostFaces(). The stand-in faces' own names are not listed, so a game offering a font choice
// shows each design once. Each face is followed by its vertical-writing twin, its name with a
// leading "@" (host_faces.h), as the system lists them. Character sets other than Shift-JIS are not
// reported: the faces map CP932 codes whatever is asked for.
#pragma once

#include <cstdint>

#include "host/font/font_types.h"
#include "host/messages.h"

namespace bw::host {

struct ENUMLOGFONTEXA {
  LOGFONTA elfLogFont;
  char elfFullName[64] = {};
  char elfStyle[32] = {};
  char elfScript[32] = {};
};

// Answers nonzero to go on, 0 to stop.
using FONTENUMPROCA = int (*)(const ENUMLOGFONTEXA* font, uint32_t fontType, LPARAM param);

// Calls proc once per face and character set that filter selects: lfCharSet DEFAULT_CHARSET
// or the set, lfFaceName empty or the face's name. Answers the last value proc answered, or 1
// when nothing was reported.
int EnumFontFamiliesExA(const LOGFONTA& filter, FONTENUMPROCA proc, LPARAM param, uint32_t flags);

}  // namespace bw::host
