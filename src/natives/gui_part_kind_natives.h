// The natives of one kind of GUI part each (743, 744, 750-790): check boxes, hit areas, text
// windows and the script text, list boxes, cell images and image lists.
#pragma once

#include "script/native_args.h"

namespace bw {

const NativeFamily& GuiPartKindNativeFamily();

}  // namespace bw
