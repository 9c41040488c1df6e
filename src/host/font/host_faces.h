// The faces a game may ask for by name, and the installed faces that stand in for them. A game
// names the Japanese faces of its system; each maps to an installed face of the same design
// (fixed or proportional, Gothic or Mincho). Any other name gets the default Gothic, as the
// system substitutes a face it does not have.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace bw::host {

struct HostFace {
  std::string_view gdiName;  // UTF-8 form of the name a game uses
  std::string_view family;   // the installed face's family, as fontconfig knows it
  uint8_t pitchAndFamily;    // lfPitchAndFamily as the face reports it
};

// The four faces, the default Gothic first.
std::span<const HostFace> HostFaces();

// The face for a LOGFONTA face name (CP932 bytes, up to the first NUL). The game's name or the
// installed family's own name (ASCII letters compared without case) selects a face, with or
// without a leading "@"; an empty or unknown name selects the default Gothic.
const HostFace& MapFaceName(std::string_view cp932Name);

// True for a name with a leading "@": the same face for vertical writing.
bool IsVerticalFaceName(std::string_view cp932Name);

// The game's name as CP932 bytes.
std::string GdiFaceName(const HostFace& face);

}  // namespace bw::host
