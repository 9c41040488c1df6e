// What a sound decoder is to the engine: a decode object that recognises a file and makes a
// decoder stream over it, and the decoder stream that delivers PCM. Plug-in libraries implement
// both with this layout, so nothing here may change order or gain members.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "host/audio/sound_types.h"
#include "platform/stream.h"

namespace bw {

// Error codes of the decoder layer.
constexpr int32_t kSllOk = 0;
constexpr int32_t kSllNotAccepted = 1;  // no decode object accepted the data
constexpr int32_t kSllCannotOpen = 3;   // the file cannot be opened or loaded
constexpr int32_t kSllNoFile = 5;       // a decode object was given no file
constexpr int32_t kSllOutOfMemory = 8;
// What an assist operation answers when the decoder has nothing to offer.
constexpr int32_t kSllAssistUnsupported = -2;

// Decoded PCM with its format. Released through the share count.
class SoundDecoderStream : public RefCounted {
 public:
  virtual uint32_t GetLengthMs() = 0;
  // The whole length in bytes of PCM.
  virtual uint32_t GetPcmBytes() = 0;
  // 0 on success.
  [[nodiscard]] virtual int32_t SeekMs(uint32_t ms) = 0;
  virtual uint32_t GetPositionMs() = 0;
  // True once a read has found the end of the data.
  virtual bool IsEnd() = 0;
  // Bytes delivered: fewer at the end, 0 at the end.
  [[nodiscard]] virtual uint32_t Read(void* buffer, uint32_t size) = 0;
  virtual const host::WaveFormat* GetFormat() = 0;
};

class SllDecodeObject {
 public:
  virtual ~SllDecodeObject() = default;
  // A decoder over file, or null with *error set. A decoder takes its own reference to the file;
  // one that declines leaves the file at offset 0 and the caller's reference alone.
  virtual SoundDecoderStream* CreateDecoder(Stream* file, int32_t* error) = 0;
  [[nodiscard]] virtual int32_t Assist(void* /*argument*/) { return kSllAssistUnsupported; }
  [[nodiscard]] virtual int32_t Assist2(void* /*argument*/) { return kSllAssistUnsupported; }
};

// Where sounds named by the engine come from: the loose files and pack members that the
// file-system manager resolves. Published as Global<SoundFileSource>.
class SoundFileSource {
 public:
  virtual ~SoundFileSource() = default;
  // The full path that names the file; false when the name resolves to nothing.
  [[nodiscard]] virtual bool ResolvePath(const std::string& name, std::string* fullPath) = 0;
  // A read stream over the file with one reference for the caller, or null.
  virtual Stream* OpenStream(const std::string& name) = 0;
};

// A decoder stream held by one owner: released when the holder goes.
using DecoderRef = Ref<SoundDecoderStream>;

// A new decoder stream of ours, held by its one owner.
template <typename T, typename... Args>
DecoderRef MakeDecoder(Args&&... args) {
  return DecoderRef(std::make_unique<T>(std::forward<Args>(args)...).release());
}

}  // namespace bw
