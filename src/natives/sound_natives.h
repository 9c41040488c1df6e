// The sound natives: the sound device, the decoder settings and single sound buffers the script
// makes (596-631), and the background music and numbered channels of the host's channel
// manager (652-684).
#pragma once

#include "script/native_args.h"

namespace bw {

const NativeFamily& SoundBufferNativeFamily();
const NativeFamily& SoundChannelNativeFamily();

// The most channels a script may ask for; a larger count is refused and the channels stay.
constexpr int32_t kMaxScriptChannels = 1024;

}  // namespace bw
