// The save-data natives (39-54, 57, 58): the save context, slot files and their captions, the
// in-memory snapshot, a sprite's size pulse, the text panel's renderers and the multi-purpose
// native 58.
#pragma once

#include <cstdint>

#include "script/native_args.h"

namespace bw {

// The buffers natives 45 and 46 fill, with their terminators.
constexpr uint32_t kCaptionBufferBytes = 128;
constexpr uint32_t kTitleBufferBytes = 44;
constexpr uint32_t kCommentBufferBytes = 253;
constexpr uint32_t kDateBufferBytes = 32;
// Native 54's sizes fit a sprite's 16-bit extent.
constexpr double kMaxPulseSize = 32767;
// Native 57 and 58's answers without a text panel.
constexpr int32_t kNoPanelCaption = 1;
constexpr int32_t kNoPanelPointer = -2;
constexpr int32_t kUnknownSubCommand = 1;

const NativeFamily& SaveNativeFamily();

}  // namespace bw
