// The native families the script host places in its table. A family is one source with its
// list of {number, routine}; a new family adds its entry function here and to the list.
#pragma once

#include <span>

#include "script/native_args.h"

namespace bw {

const NativeFamily& SystemNativeFamily();
const NativeFamily& DisplayObjectNativeFamily();
const NativeFamily& MovieNativeFamily();
const NativeFamily& ImageNativeFamily();

// Every family, in no particular order (each number belongs to one family).
std::span<const NativeFamily> AllNativeFamilies();

}  // namespace bw
