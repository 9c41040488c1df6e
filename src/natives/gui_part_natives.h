// The GUI part natives: the part factories, the part manager's settings and deletions, the
// pointer manager (registration, focus, hover, tooltips, the fired id the script takes), the
// per-kind setters of check parts, hit areas, text lists, picture maps, image lists, text windows
// and the script text. Parts reach scripts as GUI-part handles, which read null once the part is
// destroyed.
#pragma once

#include "script/native_args.h"

namespace bw {

const NativeFamily& GuiPartNativeFamily();

}  // namespace bw
