// The sound mixer beside SDL_MixAudioFormat: 4 and 32 playing 16-bit stereo voices at full
// volume mixed into periods of 1,024 frames at 44.1 kHz, from voices at 44.1 kHz and from voices
// at 22.05 kHz, which ours resamples as it mixes; SDL's mixer does not resample, so the peer
// first doubles each 22.05 kHz voice by linear interpolation, as a loop written here. And the
// share of one core a second of 32 voices costs.
// Ours adds in floating point and clamps the sum once; SDL clips at each add. The voices' noise
// stays within 1,000, so 32 of them never reach a clip and the two rules agree; its samples are
// even, so the midpoints of the doubled voices are whole: before timing, each case's first
// period is checked to be the same samples on both sides.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_check.h"
#include "bench_ratio.h"
#include "host/audio/sound_device.h"

namespace bw::host {
namespace {

constexpr size_t kPeriodFrames = 1024;
constexpr uint32_t kRate = 44100;
constexpr int kVoiceCounts[] = {4, 32};
constexpr uint32_t kSourceRates[] = {44100, 22050};

// A second of stereo noise, even samples within 1,000.
std::vector<int16_t> Noise(uint32_t seed, uint32_t frames) {
  std::vector<int16_t> samples(size_t{frames} * 2);
  for (int16_t& s : samples) {
    seed = seed * 1664525u + 1013904223u;
    s = static_cast<int16_t>((static_cast<int32_t>(seed >> 21) % 1000 - 500) * 2);
  }
  return samples;
}

std::string CaseName(int voices, uint32_t sourceRate) {
  return std::to_string(voices) + " voices " + std::to_string(sourceRate);
}

bool Agrees(benchmark::State& state, int voices, uint32_t sourceRate, const char* side,
            const std::vector<int16_t>& period) {
  std::vector<uint32_t> words(period.size());
  for (size_t i = 0; i < period.size(); ++i) words[i] = static_cast<uint16_t>(period[i]);
  return bench::AgreesWithPair(state, CaseName(voices, sourceRate), side, words, int(words.size()),
                               1);
}

void Ours(benchmark::State& state, int voices, uint32_t sourceRate) {
  SoundDevice device;
  (void)device.SetCooperativeLevel(kCooperativePriority);
  std::unique_ptr<SoundBuffer> primary;
  (void)device.CreateBuffer({kBufferPrimary, 0, nullptr}, &primary);
  (void)primary->SetFormat(MakePcmFormat(2, kRate, 16));
  const WaveFormat format = MakePcmFormat(2, sourceRate, 16);
  std::vector<std::unique_ptr<SoundBuffer>> buffers(static_cast<size_t>(voices));
  for (int v = 0; v < voices; ++v) {
    (void)device.CreateBuffer({kBufferCtrlVolume, sourceRate * 4, &format}, &buffers[size_t(v)]);
    const std::vector<int16_t> samples = Noise(uint32_t(v) + 1, sourceRate);
    LockedRegions r;
    (void)buffers[size_t(v)]->Lock(0, 0, &r, kLockEntireBuffer);
    std::memcpy(r.first, samples.data(), r.firstBytes);
    (void)buffers[size_t(v)]->Unlock(r);
    (void)buffers[size_t(v)]->SetVolume(0);
    (void)buffers[size_t(v)]->Play(kPlayLooping);
  }
  std::vector<int16_t> out(kPeriodFrames * 2);
  device.Mix(out.data(), kPeriodFrames, kRate);
  if (!Agrees(state, voices, sourceRate, "ours", out)) return;
  for (auto _ : state) {
    device.Mix(out.data(), kPeriodFrames, kRate);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kPeriodFrames) * voices);
}

// A voice at half the rate doubled: each frame, then the midpoint to the next.
void Doubled(const int16_t* from, size_t frames, int16_t* out) {
  for (size_t i = 0; i < frames; ++i) {
    for (int c = 0; c < 2; ++c) {
      out[4 * i + c] = from[2 * i + c];
      out[4 * i + 2 + c] = static_cast<int16_t>((from[2 * i + c] + from[2 * i + 2 + c]) / 2);
    }
  }
}

void PeerSdl(benchmark::State& state, int voices, uint32_t sourceRate) {
  std::vector<std::vector<int16_t>> sources;
  for (int v = 0; v < voices; ++v) sources.push_back(Noise(uint32_t(v) + 1, sourceRate));
  const bool doubling = sourceRate != kRate;
  // Source frames a period takes; the last one doubled reads one further.
  const size_t taken = doubling ? kPeriodFrames / 2 : kPeriodFrames;
  std::vector<int16_t> out(kPeriodFrames * 2), doubled(kPeriodFrames * 2);
  size_t at = 0;
  auto period = [&] {
    std::fill(out.begin(), out.end(), 0);
    for (const auto& voice : sources) {
      const int16_t* from = voice.data() + at * 2;
      if (doubling) {
        Doubled(from, taken, doubled.data());
        from = doubled.data();
      }
      SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()), reinterpret_cast<const Uint8*>(from),
                         AUDIO_S16SYS, static_cast<Uint32>(out.size() * 2), SDL_MIX_MAXVOLUME);
    }
    at = (at + taken) % (sourceRate - taken - 1);
  };
  period();
  if (!Agrees(state, voices, sourceRate, "sdl", out)) return;
  for (auto _ : state) {
    period();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kPeriodFrames) * voices);
}

}  // namespace
}  // namespace bw::host

int main(int argc, char** argv) {
  using bw::host::CaseName;
  for (uint32_t rate : bw::host::kSourceRates) {
    for (int voices : bw::host::kVoiceCounts) {
      const std::string name = CaseName(voices, rate);
      benchmark::RegisterBenchmark(("ours/" + name).c_str(),
                                   [=](benchmark::State& s) { bw::host::Ours(s, voices, rate); });
      benchmark::RegisterBenchmark(("sdl/" + name).c_str(), [=](benchmark::State& s) {
        bw::host::PeerSdl(s, voices, rate);
      });
    }
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (uint32_t rate : bw::host::kSourceRates) {
    for (int voices : bw::host::kVoiceCounts) {
      const std::string name = CaseName(voices, rate);
      reporter.PrintRatio("mix " + name + " to 44100", "ours/" + name, "sdl/" + name);
    }
  }
  // Frames of all voices per second of work, against the frames a second of sound holds.
  if (const bw::bench::RunResult* ours = reporter.Find("ours/" + CaseName(32, 44100));
      ours && ours->rate > 0) {
    std::printf("core share per second of 32 voices: %.2f%%\n",
                100.0 * bw::host::kRate * 32 / ours->rate);
  }
  benchmark::Shutdown();
  return 0;
}
