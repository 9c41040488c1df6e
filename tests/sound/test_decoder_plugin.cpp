// A decoder plug-in as a game ships one: it takes *.PCM files of raw 8-bit mono 8000 Hz samples.

#include "sound/sound_decoder.h"

namespace {

class RawStream final : public bw::SoundDecoderStream {
 public:
  explicit RawStream(bw::Stream* file) : file_(file) {
    file_->AddRef();
    format_ = bw::host::WaveFormat{bw::host::kWaveFormatPcm, 1, 8000, 8000, 1, 8, 0};
  }
  ~RawStream() override { file_->Release(); }
  uint32_t GetLengthMs() override { return file_->GetSize() / 8; }
  uint32_t GetPcmBytes() override { return file_->GetSize(); }
  int32_t SeekMs(uint32_t ms) override {
    if (ms * 8 >= file_->GetSize()) return 1;
    file_->Seek(ms * 8);
    end_ = false;
    return 0;
  }
  uint32_t GetPositionMs() override { return file_->Tell() / 8; }
  bool IsEnd() override { return end_; }
  uint32_t Read(void* buffer, uint32_t size) override {
    uint32_t n = file_->Read(buffer, size);
    if (n < size) end_ = true;
    return n;
  }
  const bw::host::WaveFormat* GetFormat() override { return &format_; }

 private:
  bw::Stream* file_;
  bw::host::WaveFormat format_;
  bool end_ = false;
};

class RawDecodeObject final : public bw::SllDecodeObject {
 public:
  bw::SoundDecoderStream* CreateDecoder(bw::Stream* file, int32_t* error) override {
    if (error) *error = file ? bw::kSllOk : bw::kSllNoFile;
    return file ? new RawStream(file) : nullptr;
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
  return new RawDecodeObject;
#endif
}
}
