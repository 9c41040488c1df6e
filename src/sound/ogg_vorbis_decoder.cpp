#include "sound/ogg_vorbis_decoder.h"

#include <vorbis/vorbisfile.h>

#include <climits>
#include <cmath>
#include <memory>
#include <new>

namespace bw {
namespace {

class OggVorbisStream final : public SoundDecoderStream {
 public:
  ~OggVorbisStream() override {
    if (open_) ov_clear(&state_);  // closes through the callback, releasing the file
    ReleaseFile();
  }

  // One of kSllOk, kOggOpenFailed, kOggNotSeekable. On failure the file is not held.
  int32_t Open(Stream* file) {
    file_ = file;
    file_->AddRef();
    const ov_callbacks callbacks = {&ReadCallback, &SeekCallback, &CloseCallback, &TellCallback};
    if (ov_open_callbacks(this, &state_, nullptr, 0, callbacks) != 0) {
      ReleaseFile();
      return kOggOpenFailed;
    }
    open_ = true;
    if (ov_seekable(&state_) == 0) return Fail(kOggNotSeekable);
    const vorbis_info* info = ov_info(&state_, -1);
    if (info == nullptr || info->channels <= 0 || info->channels > 255 || info->rate <= 0) {
      return Fail(kOggOpenFailed);
    }
    const uint16_t block = static_cast<uint16_t>(info->channels * 2);
    format_ = host::WaveFormat{host::kWaveFormatPcm,
                               static_cast<uint16_t>(info->channels),
                               static_cast<uint32_t>(info->rate),
                               static_cast<uint32_t>(uint64_t{block} * info->rate),
                               block,
                               16,
                               0};
    const double seconds = ov_time_total(&state_, -1);
    const ogg_int64_t samples = ov_pcm_total(&state_, -1);
    const uint64_t bytes = static_cast<uint64_t>(samples) * block;
    // Lengths the engine keeps in 32 bits: refuse what does not fit rather than wrap.
    if (samples < 0 || seconds < 0 || bytes > UINT32_MAX || seconds * 1000 > UINT32_MAX ||
        uint64_t{block} * info->rate > UINT32_MAX) {
      return Fail(kOggNotSeekable);
    }
    lengthMs_ = static_cast<uint32_t>(seconds * 1000);
    pcmBytes_ = static_cast<uint32_t>(bytes);
    return kSllOk;
  }

  uint32_t GetLengthMs() override { return lengthMs_; }
  uint32_t GetPcmBytes() override { return pcmBytes_; }

  int32_t SeekMs(uint32_t ms) override {
    if (ms >= lengthMs_) return kOggSeekPastEnd;
    // The raw offset noted after opening lies past the first audio page, which the library has
    // already read; sample 0 is the start.
    int r = ms == 0 ? ov_pcm_seek(&state_, 0) : ov_time_seek(&state_, ms * 0.001);
    if (r != 0) return kOggSeekFailed;
    end_ = false;
    return kSllOk;
  }

  // From the sample position: the library's time query reads outside its link table when a
  // failed seek left the position before the first link.
  uint32_t GetPositionMs() override {
    const ogg_int64_t pcm = ov_pcm_tell(&state_);
    if (pcm <= 0) return 0;
    return static_cast<uint32_t>(
        std::min<int64_t>(std::llround(pcm * 1000.0 / format_.samplesPerSec), UINT32_MAX));
  }

  bool IsEnd() override { return end_; }

  uint32_t Read(void* buffer, uint32_t size) override {
    // Whole frames only: the library answers 0, as at the end, to less than one frame.
    size -= size % format_.blockAlign;
    if (end_ || buffer == nullptr || size == 0) return 0;
    char* out = static_cast<char*>(buffer);
    uint32_t done = 0;
    while (done < size) {
      const int ask = static_cast<int>(std::min<uint32_t>(size - done, INT_MAX));
      int bitstream = 0;
      const long r = ov_read(&state_, out + done, ask, 0, 2, 1, &bitstream);
      if (r > 0 && r <= ask) {
        done += static_cast<uint32_t>(r);
      } else if (r == OV_HOLE || r == OV_EBADLINK) {
        return done;  // a gap in the data: the next read goes on after it
      } else {
        end_ = true;  // the end, or damage the library cannot read past
        return done;
      }
    }
    return done;
  }

  const host::WaveFormat* GetFormat() override { return &format_; }

 private:
  int32_t Fail(int32_t code) {
    ov_clear(&state_);
    open_ = false;
    ReleaseFile();
    return code;
  }

  void ReleaseFile() {
    if (file_) file_->Release();
    file_ = nullptr;
  }

  static size_t ReadCallback(void* ptr, size_t size, size_t count, void* source) {
    auto* self = static_cast<OggVorbisStream*>(source);
    if (self == nullptr || self->file_ == nullptr || size == 0) return 0;
    const uint64_t bytes = std::min<uint64_t>(uint64_t{size} * count, UINT32_MAX);
    return self->file_->Read(ptr, static_cast<uint32_t>(bytes)) / size;
  }

  static int SeekCallback(void* source, ogg_int64_t offset, int whence) {
    auto* self = static_cast<OggVorbisStream*>(source);
    if (self == nullptr || self->file_ == nullptr) return -1;
    Stream* f = self->file_;
    const int64_t size = f->GetSize();
    int64_t target;
    switch (whence) {
      case SEEK_SET:
        target = offset;
        break;
      case SEEK_CUR:
        target = int64_t{f->Tell()} + offset;
        break;
      case SEEK_END:
        target = size + offset;
        break;
      default:
        return -1;
    }
    if (target < 0 || target > size) return -1;
    f->Seek(static_cast<uint32_t>(target));
    return 0;
  }

  static int CloseCallback(void* source) {
    auto* self = static_cast<OggVorbisStream*>(source);
    if (self == nullptr || self->file_ == nullptr) return -1;
    self->ReleaseFile();
    return 0;
  }

  static long TellCallback(void* source) {
    auto* self = static_cast<OggVorbisStream*>(source);
    if (self == nullptr || self->file_ == nullptr) return -1;
    return static_cast<long>(self->file_->Tell());
  }

  Stream* file_ = nullptr;
  bool open_ = false;
  OggVorbis_File state_{};
  host::WaveFormat format_;
  uint32_t lengthMs_ = 0;
  uint32_t pcmBytes_ = 0;
  bool end_ = false;
};

}  // namespace

SoundDecoderStream* OggVorbisDecoderFactory::CreateDecoder(Stream* file, int32_t* error) {
  int32_t code = kSllOk;
  std::unique_ptr<OggVorbisStream> stream;
  if (file == nullptr) {
    code = kSllNoFile;
  } else if (!(stream = std::unique_ptr<OggVorbisStream>(new (std::nothrow) OggVorbisStream))) {
    code = kSllOutOfMemory;
  } else if ((code = stream->Open(file)) != kSllOk) {
    stream.reset();
    file->Seek(0);
  }
  if (error) *error = code;
  return stream.release();  // the decoder interface hands the stream over bare
}

int32_t RegisterOggVorbisDecoder(SllPluginManager& manager) {
  return manager.AddDecoder(std::make_unique<OggVorbisDecoderFactory>(), kOggVorbisExtensions,
                            kOggVorbisTypeName, kOggVorbisTypeId);
}

}  // namespace bw
