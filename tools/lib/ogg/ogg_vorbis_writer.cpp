#include "lib/ogg/ogg_vorbis_writer.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace bw::tools {

namespace {

constexpr size_t kChunkFrames = 4096;

// libvorbis's encoder state, cleared in reverse order of set-up.
class Encoder {
 public:
  Encoder() {
    vorbis_info_init(&info_);
    vorbis_comment_init(&comment_);
  }
  ~Encoder() {
    if (streamReady_) ogg_stream_clear(&stream_);
    if (analysisReady_) {
      vorbis_block_clear(&block_);
      vorbis_dsp_clear(&dsp_);
    }
    vorbis_comment_clear(&comment_);
    vorbis_info_clear(&info_);
  }
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  int Start(int channels, uint32_t rate, const OggVorbisOptions& options) {
    if (vorbis_encode_init_vbr(&info_, channels, static_cast<long>(rate), options.quality) != 0) {
      return kOggBadRate;
    }
    if (vorbis_analysis_init(&dsp_, &info_) != 0) return kOggEncoderFailed;
    vorbis_block_init(&dsp_, &block_);
    analysisReady_ = true;
    if (ogg_stream_init(&stream_, options.serial) != 0) return kOggEncoderFailed;
    streamReady_ = true;
    ogg_packet id, comments, codebooks;
    if (vorbis_analysis_headerout(&dsp_, &comment_, &id, &comments, &codebooks) != 0) {
      return kOggEncoderFailed;
    }
    ogg_stream_packetin(&stream_, &id);
    ogg_stream_packetin(&stream_, &comments);
    ogg_stream_packetin(&stream_, &codebooks);
    // The headers end on a page of their own, as decoders expect.
    ogg_page page;
    while (ogg_stream_flush(&stream_, &page) != 0) Append(page);
    return kOggOk;
  }

  // Frames of interleaved samples; an empty span ends the stream.
  int Write(std::span<const int16_t> samples, int channels) {
    const size_t frames = samples.size() / channels;
    if (frames == 0) {
      vorbis_analysis_wrote(&dsp_, 0);
    } else {
      float** planes = vorbis_analysis_buffer(&dsp_, static_cast<int>(frames));
      for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) planes[c][i] = samples[i * channels + c] / 32768.0f;
      }
      vorbis_analysis_wrote(&dsp_, static_cast<int>(frames));
    }
    while (vorbis_analysis_blockout(&dsp_, &block_) == 1) {
      if (vorbis_analysis(&block_, nullptr) != 0 || vorbis_bitrate_addblock(&block_) != 0) {
        return kOggEncoderFailed;
      }
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp_, &packet) == 1) {
        ogg_stream_packetin(&stream_, &packet);
        ogg_page page;
        while (ogg_stream_pageout(&stream_, &page) != 0) Append(page);
      }
    }
    return kOggOk;
  }

  std::vector<uint8_t> Finish() {
    ogg_page page;
    while (ogg_stream_flush(&stream_, &page) != 0) Append(page);
    return std::move(bytes_);
  }

 private:
  void Append(const ogg_page& page) {
    bytes_.insert(bytes_.end(), page.header, page.header + page.header_len);
    bytes_.insert(bytes_.end(), page.body, page.body + page.body_len);
  }

  vorbis_info info_;
  vorbis_comment comment_;
  vorbis_dsp_state dsp_;
  vorbis_block block_;
  ogg_stream_state stream_;
  bool analysisReady_ = false;
  bool streamReady_ = false;
  std::vector<uint8_t> bytes_;
};

}  // namespace

int EncodeOggVorbis(std::span<const int16_t> samples, int channels, uint32_t rate,
                    std::vector<uint8_t>* out, const OggVorbisOptions& options) {
  out->clear();
  if (channels != 1 && channels != 2) return kOggBadChannels;
  if (samples.size() % channels != 0) return kOggBadLength;
  if (rate == 0) return kOggBadRate;
  Encoder encoder;
  if (int r = encoder.Start(channels, rate, options); r != kOggOk) return r;
  const size_t chunk = kChunkFrames * channels;
  for (size_t at = 0; at < samples.size(); at += chunk) {
    if (int r = encoder.Write(samples.subspan(at, std::min(chunk, samples.size() - at)), channels);
        r != kOggOk) {
      return r;
    }
  }
  if (int r = encoder.Write({}, channels); r != kOggOk) return r;
  *out = encoder.Finish();
  return kOggOk;
}

std::vector<int16_t> MakeSineTone(double frequency, uint32_t ms, uint32_t rate, int channels,
                                  int16_t amplitude) {
  const size_t frames = uint64_t{rate} * ms / 1000;
  std::vector<int16_t> samples;
  samples.reserve(frames * channels);
  for (size_t i = 0; i < frames; ++i) {
    double phase = 2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate;
    auto s = static_cast<int16_t>(std::lround(amplitude * std::sin(phase)));
    for (int c = 0; c < channels; ++c) samples.push_back(s);
  }
  return samples;
}

}  // namespace bw::tools
