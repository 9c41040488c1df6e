// A decoder plug-in as a game ships one, for *.PCM and *.RAW files: the tests load it and find it
// by its extensions; its decoder declines every file it is offered.

#include "sound/sound_decoder.h"

namespace {

class DecliningObject final : public bw::SllDecodeObject {
 public:
  bw::SoundDecoderStream* CreateDecoder(bw::Stream* file, int32_t* error) override {
    if (error) *error = file ? bw::kSllNotAccepted : bw::kSllNoFile;
    return nullptr;
  }
};

}  // namespace

extern "C" {
__attribute__((visibility("default"))) uint32_t GetSllType() {
  return 77;
}
__attribute__((visibility("default"))) const char* GetSllTypeString() {
  return "Raw PCM";
}
__attribute__((visibility("default"))) const char* GetSllSupportExt() {
  return "pcm\0RAW\0";
}
__attribute__((visibility("default"))) int SllAssistFunc() {
  return 0;
}
#ifndef SLL_WITHOUT_ASSIST2
__attribute__((visibility("default"))) int SllAssistFunc2() {
  return 0;
}
#endif
__attribute__((visibility("default"))) bw::SllDecodeObject* GetSllDecodeObject() {
#ifdef SLL_NULL_DECODE_OBJECT
  return nullptr;
#else
  return new DecliningObject;
#endif
}
}
