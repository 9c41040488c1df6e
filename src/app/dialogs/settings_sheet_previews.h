// The settings sheet's previews: the bars that show the text speeds and the sample of the
// message font over the text frame's colour.
#pragma once

#include <cstdint>

#include "app/config/user_config.h"
#include "host/dialog/dialog.h"

namespace bw {

// A text speed: the bar fills one of sixteen cells per character time after elapsedMs, stays
// full a while and starts again; without a wait it is full at once.
void DrawSpeedBar(host::DialogImage& image, int32_t charMs, bool noWait, uint32_t elapsedMs);

// The message font over the text frame's colour, with a checkerboard under the frame so that
// its transparency shows. Without a renderer or the font the sample has no text.
void DrawFontSample(host::DialogImage& image, const UserConfig& look);

}  // namespace bw
