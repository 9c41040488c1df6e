// The check every benchmark pair makes before either side is timed: both sides gave the same
// output, exactly or within a stated tolerance per channel where their arithmetic differs. A
// pair that disagrees fails both runs, so its ratio line says why instead of giving a number.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <span>
#include <string>

namespace bw::bench {

// "" when every channel in `channels` (a mask of the bytes compared) of the two pictures is
// within `tolerance`; else the first pixel that is not. Pitches in pixels.
inline std::string ComparePixels(const uint32_t* ours, ptrdiff_t oursPitch, const uint32_t* peer,
                                 ptrdiff_t peerPitch, int width, int height, int tolerance = 0,
                                 uint32_t channels = 0xFFFFFFFFu) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t a = ours[y * oursPitch + x] & channels, b = peer[y * peerPitch + x] & channels;
      for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) <= tolerance) continue;
        char text[160];
        std::snprintf(text, sizeof text, "pixel (%d, %d): ours %08X, peer %08X, tolerance %d", x, y,
                      a, b, tolerance);
        return text;
      }
    }
  }
  return "";
}

inline std::string CompareBytes(std::span<const uint8_t> ours, std::span<const uint8_t> peer) {
  if (ours.size() != peer.size()) {
    return "sizes differ: ours " + std::to_string(ours.size()) + ", peer " +
           std::to_string(peer.size());
  }
  for (size_t i = 0; i < ours.size(); ++i) {
    if (ours[i] != peer[i]) return "byte " + std::to_string(i) + " differs";
  }
  return "";
}

// Runs `check` once per pair name, whichever side asks first, and fails the run (before its
// timing loop) with the check's answer when the sides disagree. True when they agree.
inline bool SidesAgree(benchmark::State& state, const std::string& pair,
                       const std::function<std::string()>& check) {
  static std::map<std::string, std::string> answers;
  auto it = answers.find(pair);
  if (it == answers.end()) it = answers.emplace(pair, check()).first;
  if (it->second.empty()) return true;
  state.SkipWithError(("outputs differ, " + it->second).c_str());
  return false;
}

}  // namespace bw::bench
