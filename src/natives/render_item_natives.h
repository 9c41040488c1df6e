// The natives of the render list and its items (260-316): the items' factories, their places in
// the list, and the settings of each item type.
#pragma once

#include "script/native_args.h"

namespace bw {

const NativeFamily& RenderItemNativeFamily();

}  // namespace bw
