#include "host/audio/sound_mixer.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <type_traits>

namespace bw::host {

WaveFormat MakePcmFormat(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample) {
  WaveFormat format;
  format.formatTag = kWaveFormatPcm;
  format.channels = channels;
  format.samplesPerSec = samplesPerSec;
  format.bitsPerSample = bitsPerSample;
  format.blockAlign = static_cast<uint16_t>((bitsPerSample >> 3) * channels);
  format.avgBytesPerSec = format.blockAlign * samplesPerSec;
  return format;
}

bool IsPlayableFormat(const WaveFormat& format) {
  return format.formatTag == kWaveFormatPcm && (format.channels == 1 || format.channels == 2) &&
         (format.bitsPerSample == 8 || format.bitsPerSample == 16) &&
         format.samplesPerSec >= kFrequencyMin && format.samplesPerSec <= kFrequencyMax &&
         format.blockAlign == (format.bitsPerSample >> 3) * format.channels &&
         format.avgBytesPerSec == format.blockAlign * format.samplesPerSec;
}

float GainOfLevel(int32_t hundredthsDb) {
  if (hundredthsDb <= kVolumeMin) return 0.0f;
  return static_cast<float>(std::pow(10.0, hundredthsDb / 2000.0));
}

uint32_t Voice::WriteCursor() const {
  uint32_t play = PlayCursor();
  if (!playing || frames == 0) return play;
  uint64_t lead = uint64_t{PlayRate()} * kWriteLeadMs / 1000 * format.blockAlign;
  return static_cast<uint32_t>((play + lead) % Bytes());
}

void Voice::UpdateGains() {
  // The pan attenuates the side away from it; the volume applies to both.
  gainLeft = GainOfLevel(volume + std::min(0, -pan));
  gainRight = GainOfLevel(volume + std::min(0, pan));
}

void Voice::StopAndCollect(std::vector<NotifyTarget*>& fired) {
  if (!playing) return;
  playing = false;
  for (const NotifyPosition& n : notifications) {
    if (n.offset == kNotifyOnStop) fired.push_back(n.target);
  }
}

namespace {

// PCM is little-endian, as is every host we build for.
template <int Bits, int Channels>
inline void Fetch(const uint8_t* data, uint32_t frame, float& left, float& right) {
  if constexpr (Bits == 8) {
    const uint8_t* p = data + size_t{frame} * Channels;
    left = static_cast<float>((p[0] - 128) * 256);
    right = Channels == 2 ? static_cast<float>((p[1] - 128) * 256) : left;
  } else {
    const uint8_t* p = data + size_t{frame} * Channels * 2;
    int16_t s[Channels];
    std::memcpy(s, p, sizeof s);
    left = s[0];
    right = s[Channels - 1];
  }
}

// Frame `index` and the one after it as four 16-bit samples, left and right of each: an 8-bit
// sample s widens to (s - 128) * 256, its offset byte placed high.
template <int Bits, int Channels>
inline __m128i FramePair(const uint8_t* data, uint32_t index) {
  const uint8_t* p = data + size_t{index} * Channels * (Bits / 8);
  if constexpr (Bits == 16 && Channels == 2) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  } else if constexpr (Bits == 16) {
    uint32_t both;
    std::memcpy(&both, p, sizeof both);
    const __m128i s = _mm_cvtsi32_si128(static_cast<int>(both));
    return _mm_unpacklo_epi16(s, s);
  } else {
    uint32_t bytes = 0;
    std::memcpy(&bytes, p, 2 * Channels);
    __m128i s = _mm_xor_si128(_mm_cvtsi32_si128(static_cast<int>(bytes)), _mm_set1_epi8(-128));
    if constexpr (Channels == 1) s = _mm_unpacklo_epi8(s, s);
    return _mm_unpacklo_epi8(_mm_setzero_si128(), s);
  }
}

// The interpolation weights of two frames, each twice, from their fractions plus 2^31 in the low
// 32-bit lanes: an unsigned fraction rounds to float once, through an exact double, as the scalar
// cast does.
inline __m128 Weights(__m128i biasedFractions) {
  const __m128d wide = _mm_add_pd(_mm_cvtepi32_pd(biasedFractions), _mm_set1_pd(2147483648.0));
  const __m128 t = _mm_mul_ps(_mm_cvtpd_ps(wide), _mm_set1_ps(1.0f / 4294967296.0f));
  return _mm_unpacklo_ps(t, t);
}

// Two output frames from their frame pairs and weights: the same float steps as the general frame,
// so the sums agree to the bit. A weight of 0 interpolates too: the difference times 0 adds a zero.
inline __m128 TwoFrames(__m128i pairA, __m128i pairB, __m128 t, __m128 gains) {
  // [current A, current B, next A, next B], a stereo frame to each 32-bit lane.
  const __m128i frames = _mm_shuffle_epi32(_mm_unpacklo_epi64(pairA, pairB), 0xD8);
  const __m128 current = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(frames, frames), 16));
  const __m128 next = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(frames, frames), 16));
  const __m128 value = _mm_add_ps(current, _mm_mul_ps(_mm_sub_ps(next, current), t));
  return _mm_mul_ps(value, gains);
}

// Adds `count` output frames that all read a frame and the one after it within the buffer, with
// no wrap or end on the way.
template <int Bits, int Channels>
void RunInside(const uint8_t* data, uint64_t position, uint64_t step, float gainLeft,
               float gainRight, float* accum, size_t count) {
  const __m128 gains = _mm_setr_ps(gainLeft, gainRight, gainLeft, gainRight);
  auto addTwo = [&](size_t i, __m128 add) {
    _mm_storeu_ps(accum + 2 * i, _mm_add_ps(_mm_loadu_ps(accum + 2 * i), add));
  };
  auto addOne = [&](size_t i, uint64_t at) {
    const __m128i pair = FramePair<Bits, Channels>(data, uint32_t(at >> 32));
    const __m128i biased = _mm_set1_epi32(static_cast<int>(uint32_t(at) + 0x80000000u));
    const __m128 add = TwoFrames(pair, pair, Weights(biased), gains);
    __m128i* to = reinterpret_cast<__m128i*>(accum + 2 * i);
    _mm_storel_epi64(to, _mm_castps_si128(_mm_add_ps(_mm_castsi128_ps(_mm_loadl_epi64(to)), add)));
  };
  // The common steps, a whole frame and a half, read one frame pair per two output frames and
  // interpolate by 0 or exactly a half.
  constexpr uint64_t kWhole = uint64_t{1} << 32, kHalf = kWhole / 2;
  size_t i = 0;
  if (step == kHalf && static_cast<uint32_t>(position) == kHalf && count != 0) {
    addOne(i++, position);
    position += step;
  }
  auto pairs = [&](auto doubled) {
    const uint8_t* from = data + (position >> 32) * Channels * (Bits / 8);
    const size_t first = i;
    for (uint32_t frame = 0; i + 2 <= count; i += 2, frame += doubled ? 1 : 2) {
      const __m128i pair = FramePair<Bits, Channels>(from, frame);
      const __m128 both = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(pair, pair), 16));
      if constexpr (doubled) {
        const __m128 current = _mm_movelh_ps(both, both), next = _mm_movehl_ps(both, both);
        const __m128 t = _mm_setr_ps(0.0f, 0.0f, 0.5f, 0.5f);
        addTwo(i, _mm_mul_ps(_mm_add_ps(current, _mm_mul_ps(_mm_sub_ps(next, current), t)), gains));
      } else {
        addTwo(i, _mm_mul_ps(both, gains));
      }
    }
    position += (i - first) * step;
  };
  if (static_cast<uint32_t>(position) == 0) {
    if (step == kWhole) pairs(std::false_type{});
    if (step == kHalf) pairs(std::true_type{});
  }
  // Fractions wrap as the positions carry; adding to them keeps their bias.
  __m128i biased = _mm_add_epi32(
      _mm_setr_epi32(0, static_cast<int>(step), 0, 0),
      _mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(position) + 0x80000000u)));
  const __m128i twoSteps = _mm_set1_epi32(static_cast<int>(2 * step));
  for (; i + 2 <= count; i += 2) {
    const uint64_t second = position + step;
    addTwo(i, TwoFrames(FramePair<Bits, Channels>(data, uint32_t(position >> 32)),
                        FramePair<Bits, Channels>(data, uint32_t(second >> 32)), Weights(biased),
                        gains));
    biased = _mm_add_epi32(biased, twoSteps);
    position = second + step;
  }
  if (i < count) addOne(i, position);
}

// Adds up to `frames` output frames of one voice to accum, stepping `position` (32.32 frames) by
// `step`. Answers how many whole source frames were passed, counting laps; sets `ended` when a
// voice that does not loop ran off its end.
template <int Bits, int Channels>
uint64_t RunVoice(const uint8_t* data, uint32_t n, bool looping, uint64_t& position, uint64_t step,
                  float gainLeft, float gainRight, float* accum, size_t frames, bool& ended) {
  const uint64_t end = uint64_t{n} << 32;
  // Below it a frame has its next one without the wrap or end rule.
  const uint64_t inside = uint64_t{n - 1} << 32;
  const uint64_t start = position >> 32;
  uint64_t laps = 0;
  size_t i = 0;
  while (i < frames) {
    if (position < inside) {
      // Frames whose positions stay inside; the one after the last is at most the edge.
      const uint64_t room = step ? (inside - position) / step : frames;
      const size_t run = static_cast<size_t>(std::min<uint64_t>(room, frames - i));
      RunInside<Bits, Channels>(data, position, step, gainLeft, gainRight, accum + 2 * i, run);
      position += run * step;
      i += run;
      if (i == frames) break;
    }
    // A frame at the edge: it may read the wrap, or end, or lap.
    uint32_t index = static_cast<uint32_t>(position >> 32);
    uint32_t fraction = static_cast<uint32_t>(position);
    float left, right;
    Fetch<Bits, Channels>(data, index, left, right);
    if (fraction != 0) {
      uint32_t next = index + 1 < n ? index + 1 : (looping ? 0 : index);
      float nextLeft, nextRight;
      Fetch<Bits, Channels>(data, next, nextLeft, nextRight);
      float t = static_cast<float>(fraction) * (1.0f / 4294967296.0f);
      left += (nextLeft - left) * t;
      right += (nextRight - right) * t;
    }
    accum[2 * i] += left * gainLeft;
    accum[2 * i + 1] += right * gainRight;
    ++i;
    position += step;
    if (position >= end) {
      if (!looping) {
        ended = true;
        return n - start;
      }
      uint64_t whole = (position >> 32) / n;
      position -= (whole * n) << 32;
      laps += whole;
    }
  }
  return laps * n + (position >> 32) - start;
}

// The sums as 16-bit samples: clamped, then rounded to nearest (even on a tie, as lrint rounds),
// eight at a time. Clamping before the conversion keeps a huge sum from wrapping to the most
// negative 32-bit value.
void ToPcm(const float* sums, int16_t* out, size_t count) {
  const __m128 low = _mm_set1_ps(INT16_MIN);
  const __m128 high = _mm_set1_ps(INT16_MAX);
  auto convert = [&](const float* four) {
    return _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(_mm_loadu_ps(four), low), high));
  };
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i a = convert(sums + i);
    const __m128i b = convert(sums + i + 4);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(a, b));
  }
  for (; i < count; ++i) {
    out[i] = static_cast<int16_t>(std::clamp<long>(std::lrint(sums[i]), INT16_MIN, INT16_MAX));
  }
}

using RunFunction = uint64_t (*)(const uint8_t*, uint32_t, bool, uint64_t&, uint64_t, float, float,
                                 float*, size_t, bool&);

RunFunction RunFor(const WaveFormat& format) {
  if (format.bitsPerSample == 8) {
    return format.channels == 1 ? RunVoice<8, 1> : RunVoice<8, 2>;
  }
  return format.channels == 1 ? RunVoice<16, 1> : RunVoice<16, 2>;
}

}  // namespace

void SoundMixer::MixVoice(Voice& voice, float* accum, size_t frames, uint32_t outputRate,
                          std::vector<NotifyTarget*>& fired) {
  if (voice.frames == 0) return;
  const uint64_t step = (uint64_t{voice.PlayRate()} << 32) / outputRate;
  const uint32_t startByte = voice.PlayCursor();
  bool ended = false;
  uint64_t passed =
      RunFor(voice.format)(voice.samples->data(), voice.frames, voice.looping, voice.position, step,
                           voice.gainLeft, voice.gainRight, accum, frames, ended);

  // An offset fires when the byte at it was played during this pull; a lap fires every one.
  const uint64_t size = voice.Bytes();
  const uint64_t playedBytes = std::min<uint64_t>(passed, voice.frames) * voice.format.blockAlign;
  for (const NotifyPosition& n : voice.notifications) {
    if (n.offset == kNotifyOnStop) continue;
    uint64_t distance = (n.offset + size - startByte) % size;
    if (passed >= voice.frames || distance < playedBytes) fired.push_back(n.target);
  }
  if (ended) {
    voice.position = 0;
    voice.StopAndCollect(fired);
  }
}

void SoundMixer::Mix(int16_t* out, size_t frames, uint32_t outputRate) {
  std::vector<NotifyTarget*> fired;
  std::unique_lock lock(mutex);
  accum_.assign(frames * 2, 0.0f);
  if (outputRate != 0) {
    for (Voice* voice : voices) {
      if (voice->playing) MixVoice(*voice, accum_.data(), frames, outputRate, fired);
    }
  }
  ToPcm(accum_.data(), out, frames * 2);
  if (!fired.empty()) Deliver(lock, fired, mixesInStep);
}

void SoundMixer::Deliver(std::unique_lock<std::mutex>& lock, std::vector<NotifyTarget*>& targets,
                         bool awaitServed) {
  deliverers_.push_back(std::this_thread::get_id());
  lock.unlock();
  for (NotifyTarget* target : targets) target->Notify();
  // Still counted as delivering: a buffer cannot go away while its target is waited on.
  if (awaitServed) {
    for (NotifyTarget* target : targets) target->AwaitServed();
  }
  lock.lock();
  deliverers_.erase(std::find(deliverers_.begin(), deliverers_.end(), std::this_thread::get_id()));
  targets.clear();
  deliveryDone_.notify_all();
}

void SoundMixer::WaitForDeliveries(std::unique_lock<std::mutex>& lock) {
  // A target may drop its own notifications from inside Notify; only other threads are waited for.
  const auto self = std::this_thread::get_id();
  deliveryDone_.wait(lock, [&] {
    return std::all_of(deliverers_.begin(), deliverers_.end(),
                       [&](std::thread::id id) { return id == self; });
  });
}

}  // namespace bw::host
