// The pixels an X server shows, read back as a person would see them: the root window dumped by
// xwd, for the tests that drive the program in a real window.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bw::test {

struct Rgb {
  int r = 0, g = 0, b = 0;
  // The largest difference of one channel.
  int DistanceTo(const Rgb& other) const;
};

struct Point {
  int x = 0;
  int y = 0;
};

struct Screen {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // rows top down, three bytes a pixel
  // Outside the screen: black.
  Rgb At(int x, int y) const;
  // The commonest colour of the rectangle [left, right) x [top, bottom): the ground things are
  // drawn on.
  Rgb Ground(int left, int top, int right, int bottom) const;
  // How many pixels of the rectangle [left, right) x [top, bottom) stand out by more than
  // threshold from its ground: text or marks drawn on a flat ground.
  int Ink(int left, int top, int right, int bottom, int threshold = 64) const;
};

// The dump xwd wrote to file, from a true-colour server; empty when it cannot be read.
Screen ReadXwd(const std::filesystem::path& file);

// Dumps the root window of display into file now and reads it; empty when that fails.
Screen ShootDisplay(const std::string& display, const std::filesystem::path& file);

}  // namespace bw::test
