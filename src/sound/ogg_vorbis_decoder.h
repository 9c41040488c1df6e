// The built-in Ogg Vorbis decoder: libvorbisfile reading through the engine's Stream, so loose
// files and pack members decode alike. Registered as type 2 for the extension "OGG".
#pragma once

#include <cstdint>

#include "sound/sll_plugin_manager.h"
#include "sound/sound_decoder.h"

namespace bw {

constexpr uint32_t kOggVorbisTypeId = 2;
inline constexpr char kOggVorbisExtensions[] = "OGG\0";  // with the implicit NUL: "OGG\0\0"
inline constexpr char kOggVorbisTypeName[] = "Ogg Vorbis format";

// Results of opening a stream (the decoder's error codes).
constexpr int32_t kOggOpenFailed = 1;   // not Vorbis, or unreadable headers
constexpr int32_t kOggNotSeekable = 2;  // or lengths the engine cannot hold
// Results of SeekMs.
constexpr int32_t kOggSeekPastEnd = 5;
constexpr int32_t kOggSeekFailed = 6;

class OggVorbisDecoderFactory final : public SllDecodeObject {
 public:
  SoundDecoderStream* CreateDecoder(Stream* file, int32_t* error) override;
};

// Adds the decoder to the manager; the manager's AddDecoder result.
[[nodiscard]] int32_t RegisterOggVorbisDecoder(SllPluginManager& manager);

}  // namespace bw
