// Sounds for the sound tests: files kept in memory and served by name, and a decoder of a small
// test format ("PCMT" header, then the samples) that can claim more bytes than it holds. A file
// marked "PCMS" decodes slowly: small pieces, with nothing ready on every other read; one marked
// "PCMH" has nothing ready only on its second read.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/memory_stream.h"
#include "sound/sound_decoder.h"

namespace bw::soundtest {

class MemoryFiles final : public SoundFileSource {
 public:
  void Put(const std::string& name, std::vector<uint8_t> bytes) { files_[name] = std::move(bytes); }
  bool ResolvePath(const std::string& name, std::string* fullPath) override {
    if (!files_.count(name)) return false;
    *fullPath = name;
    return true;
  }
  Stream* OpenStream(const std::string& name) override {
    auto it = files_.find(name);
    if (it == files_.end()) return nullptr;
    return MakeStream(it->second);
  }
  static Stream* MakeStream(const std::vector<uint8_t>& bytes) {
    auto* s = new MemoryStream;
    if (!bytes.empty()) {
      void* block = AllocGlobalMemory(bytes.size());
      std::memcpy(block, bytes.data(), bytes.size());
      EXPECT_EQ(0, s->Attach(block, static_cast<uint32_t>(bytes.size())));
    }
    return s;
  }

 private:
  std::map<std::string, std::vector<uint8_t>> files_;
};

constexpr size_t kPcmtHeader = 16;

// A PCMT file: the format, the byte count the decoder reports (0: the real one), the samples.
inline std::vector<uint8_t> MakePcmt(uint16_t channels, uint32_t rate, uint16_t bits,
                                     const std::vector<uint8_t>& samples, uint32_t claimed = 0) {
  std::vector<uint8_t> out = {'P', 'C', 'M', 'T'};
  auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  put(channels, 2);
  put(rate, 4);
  put(bits, 2);
  put(claimed ? claimed : static_cast<uint32_t>(samples.size()), 4);
  out.insert(out.end(), samples.begin(), samples.end());
  return out;
}

constexpr uint32_t kSlowPieceBytes = 1000;

constexpr char kSlow = 'S';
constexpr char kHiccup = 'H';

inline std::vector<uint8_t> MakeSlowPcmt(uint16_t channels, uint32_t rate, uint16_t bits,
                                         const std::vector<uint8_t>& samples, char how = kSlow) {
  std::vector<uint8_t> out = MakePcmt(channels, rate, bits, samples);
  out[3] = static_cast<uint8_t>(how);
  return out;
}

inline std::vector<uint8_t> Bytes16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out(samples.size() * 2);
  std::memcpy(out.data(), samples.data(), out.size());
  return out;
}

class PcmtStream final : public SoundDecoderStream {
 public:
  PcmtStream(Stream* file, const host::WaveFormat& format, uint32_t claimed, char how = 'T')
      : file_(file), format_(format), claimed_(claimed), how_(how) {
    file_->AddRef();
  }
  ~PcmtStream() override { file_->Release(); }
  uint32_t GetLengthMs() override {
    return format_.avgBytesPerSec
               ? static_cast<uint32_t>(uint64_t{claimed_} * 1000 / format_.avgBytesPerSec)
               : 0;
  }
  uint32_t GetPcmBytes() override { return claimed_; }
  int32_t SeekMs(uint32_t ms) override {
    uint64_t at = uint64_t{format_.avgBytesPerSec} * ms / 1000;
    if (at > file_->GetSize() - kPcmtHeader) return 1;
    at -= at % (format_.blockAlign ? format_.blockAlign : 1);
    file_->Seek(static_cast<uint32_t>(kPcmtHeader + at));
    end_ = false;
    return 0;
  }
  uint32_t GetPositionMs() override {
    return format_.avgBytesPerSec ? static_cast<uint32_t>(uint64_t{file_->Tell() - kPcmtHeader} *
                                                          1000 / format_.avgBytesPerSec)
                                  : 0;
  }
  bool IsEnd() override { return end_; }
  uint32_t Read(void* buffer, uint32_t size) override {
    ++reads;
    if (how_ == kSlow) {
      if (reads % 2 == 0) return 0;
      size = std::min(size, kSlowPieceBytes);
    }
    if (how_ == kHiccup && reads == 2) return 0;
    uint32_t n = file_->Read(buffer, size);
    if (n < size) end_ = true;
    return n;
  }
  const host::WaveFormat* GetFormat() override { return &format_; }
  int reads = 0;

 private:
  Stream* file_;
  host::WaveFormat format_;
  uint32_t claimed_;
  char how_;
  bool end_ = false;
};

class PcmtDecodeObject final : public SllDecodeObject {
 public:
  SoundDecoderStream* CreateDecoder(Stream* file, int32_t* error) override {
    ++offers;
    uint8_t h[kPcmtHeader];
    if (file == nullptr || file->Read(h, sizeof h) != sizeof h || std::memcmp(h, "PCM", 3) != 0 ||
        (h[3] != 'T' && h[3] != kSlow && h[3] != kHiccup)) {
      if (file) file->Seek(0);
      if (error) *error = kSllNotAccepted;
      return nullptr;
    }
    auto u = [&](int at, int n) {
      uint32_t v = 0;
      for (int i = n - 1; i >= 0; --i) v = v << 8 | h[at + i];
      return v;
    };
    host::WaveFormat f;
    f.channels = static_cast<uint16_t>(u(4, 2));
    f.samplesPerSec = u(6, 4);
    f.bitsPerSample = static_cast<uint16_t>(u(10, 2));
    f.blockAlign = static_cast<uint16_t>(f.channels * f.bitsPerSample / 8);
    f.avgBytesPerSec = f.blockAlign * f.samplesPerSec;
    if (error) *error = kSllOk;
    return new PcmtStream(file, f, u(12, 4), static_cast<char>(h[3]));
  }
  int offers = 0;
};

}  // namespace bw::soundtest
