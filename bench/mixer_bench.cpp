// The sound mixer beside SDL_MixAudioFormat: 32 playing 16-bit stereo streams at 44.1 kHz, each
// with a volume, mixed into one saturated period; and the share of one core a second of it costs.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "bench_ratio.h"
#include "host/audio/sound_device.h"

namespace bw::host {
namespace {

constexpr int kVoices = 32;
constexpr size_t kPeriodFrames = 1024;
constexpr uint32_t kVoiceFrames = 44100;
constexpr uint32_t kRate = 44100;

std::vector<int16_t> Noise(uint32_t seed) {
  std::vector<int16_t> samples(size_t{kVoiceFrames} * 2);
  for (int16_t& s : samples) {
    seed = seed * 1664525u + 1013904223u;
    s = static_cast<int16_t>(seed >> 18);
  }
  return samples;
}

void BM_SoundMixer(benchmark::State& state) {
  SoundDevice device;
  device.SetCooperativeLevel(kCooperativePriority);
  std::unique_ptr<SoundBuffer> primary;
  device.CreateBuffer({kBufferPrimary, 0, nullptr}, &primary);
  primary->SetFormat(MakePcmFormat(2, kRate, 16));
  const WaveFormat format = MakePcmFormat(2, kRate, 16);
  std::vector<std::unique_ptr<SoundBuffer>> buffers(kVoices);
  for (int v = 0; v < kVoices; ++v) {
    device.CreateBuffer({kBufferCtrlVolume, kVoiceFrames * 4, &format}, &buffers[v]);
    auto samples = Noise(v + 1);
    LockedRegions r;
    buffers[v]->Lock(0, 0, &r, kLockEntireBuffer);
    std::memcpy(r.first, samples.data(), r.firstBytes);
    buffers[v]->Unlock(r);
    buffers[v]->SetVolume(-600);
    buffers[v]->Play(kPlayLooping);
  }
  std::vector<int16_t> out(kPeriodFrames * 2);
  for (auto _ : state) {
    device.Mix(out.data(), kPeriodFrames, kRate);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kPeriodFrames * kVoices);
}
BENCHMARK(BM_SoundMixer);

void BM_SdlMixAudioFormat(benchmark::State& state) {
  std::vector<std::vector<int16_t>> voices;
  for (int v = 0; v < kVoices; ++v) voices.push_back(Noise(v + 1));
  // -6 dB in SDL's 0..128 volume scale.
  const int volume = static_cast<int>(std::lround(SDL_MIX_MAXVOLUME * std::pow(10.0, -0.3)));
  std::vector<int16_t> out(kPeriodFrames * 2);
  size_t at = 0;
  for (auto _ : state) {
    std::fill(out.begin(), out.end(), 0);
    for (const auto& voice : voices) {
      SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()),
                         reinterpret_cast<const Uint8*>(voice.data() + at * 2), AUDIO_S16SYS,
                         static_cast<Uint32>(out.size() * 2), volume);
    }
    at = (at + kPeriodFrames) % (kVoiceFrames - kPeriodFrames);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kPeriodFrames * kVoices);
}
BENCHMARK(BM_SdlMixAudioFormat);

}  // namespace
}  // namespace bw::host

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("mix_32_streams", "BM_SoundMixer", "BM_SdlMixAudioFormat");
  // Frames of all streams per second of work, against the frames a second of sound holds.
  if (const bw::bench::RunResult* ours = reporter.Find("BM_SoundMixer"); ours && ours->rate > 0) {
    std::printf("core share per second of sound: %.2f%%\n",
                100.0 * bw::host::kRate * bw::host::kVoices / ours->rate);
  }
  benchmark::Shutdown();
  return 0;
}
