// The check every benchmark pair makes before either side is timed: both sides gave the same
// output, exactly or within a stated tolerance per channel where their arithmetic differs. A
// pair that disagrees fails both runs, so its ratio line says why instead of giving a number.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

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
        std::snprintf(text, sizeof text, "pixel (%d, %d): %08X against %08X, tolerance %d", x, y, a,
                      b, tolerance);
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

// For pictures drawn by mapping each target pixel to a source pixel, nearest neighbour, where two
// sides round the positions their own ways: each pixel of `out` whose centre `map` sends (in
// source pixels) more than `reach` pixels inside the source must be blend(before, s) within
// `tolerance` for s one of the source pixels within `reach` of that position; more than `reach`
// outside, it must be `before` as it was; near the edge, either. Pitches in pixels.
struct MappedPicture {
  const uint32_t* out;
  const uint32_t* before;  // the target before the pass
  ptrdiff_t pitch;
  int width, height;
  const uint32_t* source;
  ptrdiff_t sourcePitch;
  int sourceWidth, sourceHeight;
  int reach = 1;
};
template <typename Map, typename Blend>
std::string CheckMapped(const MappedPicture& p, Map map, Blend blend, int tolerance = 0,
                        uint32_t channels = 0xFFFFFFFFu) {
  auto near = [&](uint32_t a, uint32_t b) {
    a &= channels, b &= channels;
    for (int shift = 0; shift < 32; shift += 8) {
      if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > tolerance) return false;
    }
    return true;
  };
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      double u = 0, v = 0;
      map(x + 0.5, y + 0.5, &u, &v);
      const double inside =
          std::min(std::min(u, v), std::min(p.sourceWidth - u, p.sourceHeight - v));
      const uint32_t got = p.out[y * p.pitch + x], was = p.before[y * p.pitch + x];
      bool ok = inside < p.reach && near(got, was);
      for (int dy = -p.reach; !ok && inside > -p.reach && dy <= p.reach; ++dy) {
        for (int dx = -p.reach; !ok && dx <= p.reach; ++dx) {
          const int sx = int(std::floor(u)) + dx, sy = int(std::floor(v)) + dy;
          if (sx < 0 || sy < 0 || sx >= p.sourceWidth || sy >= p.sourceHeight) continue;
          ok = near(got, blend(was, p.source[sy * p.sourcePitch + sx]));
        }
      }
      if (ok) continue;
      char text[200];
      std::snprintf(text, sizeof text,
                    "pixel (%d, %d) is %08X: not a source pixel near (%.2f, %.2f), nor %08X", x, y,
                    got, u, v, was);
      return text;
    }
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

// One pass's picture from one side of a pair, handed in before that side is timed: the first
// side to hand one in sets the pair's reference, and each later side must agree with it, else its
// run fails with where they differ. Each side names the channels its picture means and the
// tolerance its arithmetic needs; two sides are compared in the channels both mean, within the
// larger tolerance, whichever runs first. The answer is kept per side, for the repetitions that
// call the side again. True when it agrees.
inline bool AgreesWithPair(benchmark::State& state, const std::string& pair,
                           const std::string& side, const std::vector<uint32_t>& pixels, int width,
                           int height, int tolerance = 0, uint32_t channels = 0xFFFFFFFFu) {
  struct Pair {
    std::vector<uint32_t> reference;
    int tolerance = 0;
    uint32_t channels = 0;
    std::map<std::string, std::string> answers;
  };
  static std::map<std::string, Pair> pairs;
  Pair& p = pairs[pair];
  auto it = p.answers.find(side);
  if (it == p.answers.end()) {
    std::string answer;
    if (p.reference.empty()) {
      p.reference = pixels;
      p.tolerance = tolerance;
      p.channels = channels;
    } else if (p.reference.size() != pixels.size()) {
      answer = "the pictures differ in size";
    } else {
      answer = ComparePixels(pixels.data(), width, p.reference.data(), width, width, height,
                             std::max(tolerance, p.tolerance), channels & p.channels);
    }
    it = p.answers.emplace(side, answer).first;
  }
  if (it->second.empty()) return true;
  state.SkipWithError(("outputs differ, " + it->second).c_str());
  return false;
}

}  // namespace bw::bench
