#include "natives/native_families.h"

#include <array>

#include "natives/gui_part_kind_natives.h"
#include "natives/gui_part_natives.h"
#include "natives/message_text_natives.h"
#include "natives/object_list_natives.h"
#include "natives/render_item_natives.h"
#include "natives/render_natives.h"
#include "natives/save_natives.h"
#include "natives/sound_natives.h"
#include "natives/tgs_frame_natives.h"

namespace bw {

std::span<const NativeFamily> AllNativeFamilies() {
  static const std::array families = {
      SystemNativeFamily(),        RenderNativeFamily(),      RenderItemNativeFamily(),
      DisplayObjectNativeFamily(), SoundBufferNativeFamily(), SoundChannelNativeFamily(),
      MovieNativeFamily(),         ImageNativeFamily(),       ObjectListNativeFamily(),
      SaveNativeFamily(),          TgsFrameNativeFamily(),    GuiPartNativeFamily(),
      GuiPartKindNativeFamily(),   MessageTextNativeFamily()};
  return families;
}

}  // namespace bw
