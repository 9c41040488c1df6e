#include <gtest/gtest.h>

#include "lib/hva/hv_writer.h"
#include "resource/images/hvd_animation.h"
#include "support/game_folder.h"

namespace bw {
namespace {

using Bytes = std::vector<uint8_t>;

// 12 records in 3 ranges: records 4 and 9 end ranges; a plain record has a >= 0.
tools::HvdFile ThreeRanges() {
  tools::HvdFile file{
      {1, 2, 3, 4, 5, 6, 0, 0, 9, 10, 11, 12}, 3, {10, 11, 12, 13, 14, 15, 16, 17}, {}, {}};
  for (int i = 0; i < 12; ++i) {
    HvdFrame f{i, 5, static_cast<uint32_t>(100 + i), static_cast<uint32_t>(i % 10)};
    if (i == 4 || i == 9) f.a = -3, f.b = 0;
    file.frames.push_back(f);
  }
  file.entries = {{"walk", 1, 2}, {"", 3, 4}, {"\x83\x41", 0xFFFF, 0}};
  return file;
}

TEST(HvdAnimation, CutsRecordsIntoRangesAndKeepsTheRest) {
  auto file = ThreeRanges();
  HvdAnimation anim;
  ASSERT_EQ(anim.Load(tools::WriteHvd(file)), kHvdLoaded);
  // Range -1 and 3 do not exist; the last range ends at the sentinel.
  for (auto [range, start, end] :
       {std::tuple(-1, -1, -1), {0, 0, 4}, {1, 5, 9}, {2, 10, 12}, {3, -1, -1}}) {
    EXPECT_EQ(anim.GetRangeStart(range), start) << range;
    EXPECT_EQ(anim.GetRangeEnd(range), end) << range;
  }
  for (auto [frame, range, offset] : {std::tuple(7, 1, 2), {12, 2, 2}, {0, 0, 0}, {13, -1, -1}}) {
    int at = -1;
    EXPECT_EQ(anim.FindRange(frame, &at), range) << frame;
    EXPECT_EQ(at, offset) << frame;
  }
  EXPECT_EQ(anim.LongestRange(), 5u);
  // Records point into the blob while their offset lies inside it.
  ASSERT_NE(anim.FrameData(3), nullptr);
  EXPECT_EQ(*anim.FrameData(3), 13);
  EXPECT_EQ(anim.FrameData(8), nullptr) << "offset 8 is past a blob of 8 bytes";

  file.blob.clear();
  ASSERT_EQ(anim.Load(tools::WriteHvd(file)), kHvdLoaded) << "a file without a blob";
  EXPECT_TRUE(anim.Blob().empty());
  for (size_t i = 0; i < anim.Frames().size(); ++i) EXPECT_EQ(anim.FrameData(i), nullptr);
}

TEST(HvdAnimation, RefusesBadFiles) {
  auto good = ThreeRanges();
  struct Case {
    const char* what;
    Bytes bytes;
    int code;
  };
  auto fewerEnds = good;
  fewerEnds.frames[9].a = 1;  // only one end record: the sentinel ends range 1, range 2 is missing
  auto noRanges = good;
  noRanges.rangeCount = 0;
  tools::HvdFaults wrongMagic, manyFrames, manyEntries;
  wrongMagic.wrongMagic = true;
  manyFrames.frameCount = 0x10000000;
  manyEntries.entryCount = 0x40000000;
  const Case cases[] = {
      {"wrong magic", tools::WriteHvd(good, wrongMagic), kHvdWrongMagic},
      {"range count 0", tools::WriteHvd(noRanges), kHvdNoRanges},
      {"ranges past the sentinel", tools::WriteHvd(fewerEnds), kHvdBadFrames},
      {"frame count beyond the bytes", tools::WriteHvd(good, manyFrames), kHvdBadFrames},
      {"entry count beyond the bytes", tools::WriteHvd(good, manyEntries), kHvdBadEntryNameLength},
  };
  for (const auto& c : cases) {
    HvdAnimation anim;
    EXPECT_EQ(anim.Load(c.bytes), c.code) << c.what;
    EXPECT_EQ(anim.GetRangeStart(0), -1) << c.what << ": a failed load answers no ranges";
    EXPECT_EQ(anim.FindRange(0, nullptr), -1) << c.what;
  }
}

// By name, through the file layer: a loose file or a pack member; a name that cannot be read
// answers 1 and leaves nothing of the earlier load.
TEST(HvdAnimation, LoadsByName) {
  test::GameFolder game;
  const Bytes bytes = tools::WriteHvd(ThreeRanges());
  game.dir().WriteFile("ANIM/LOOSE.HVD", std::string(bytes.begin(), bytes.end()));
  ASSERT_TRUE(game.MountPack("DATA.VFA", {{"anim\\packed.hvd", bytes}}, 1));
  HvdAnimation anim;
  for (const char* name : {"anim\\loose.hvd", "ANIM\\PACKED.HVD"}) {
    ASSERT_EQ(anim.Load(name), kHvdLoaded) << name;
    EXPECT_EQ(anim.GetRangeStart(2), 10) << name;
  }
  EXPECT_EQ(anim.Load("ANIM\\MISSING.HVD"), kHvdCannotOpen);
  EXPECT_EQ(anim.GetRangeStart(0), -1);
  EXPECT_TRUE(anim.Entries().empty());
  EXPECT_EQ(anim.Load(static_cast<const char*>(nullptr)), kHvdCannotOpen);
}

}  // namespace
}  // namespace bw
