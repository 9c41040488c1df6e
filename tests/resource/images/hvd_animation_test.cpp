// The HVD and HVA animation files: first against bytes laid out by hand from the formats' field
// tables, read by the loaders and written by the animation writer.
#include <gtest/gtest.h>

#include <vector>

#include "common/global.h"
#include "graphics/surface/hva_data.h"
#include "lib/hva/hv_writer.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/hvd_animation.h"
#include "resource/images/image_loader_manager.h"
#include "support/game_folder.h"

namespace bw {
namespace {

using Bytes = std::vector<uint8_t>;

// Two ranges: record 1 ends the first (a < 0, b < 1); record 2 (a < 0, b = 1) does not end one.
// clang-format off
const Bytes kHvd = {
    'H', 'V', 'D', 0,                                            // magic
    1, 2, 3, 4, 5, 6, 2, 0, 9, 10, 11, 12,                       // header, 2 ranges at 6
    4, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD,                          // blob of 4 bytes
    4, 0, 0, 0,                                                  // 4 records
    5, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 0,              // 5, 1, 0x100, blob + 2
    0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // -1, 0: ends range 0
    0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0,  // -2, 1
    7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,              // 7, 0
    2, 0, 0, 0,                                                  // 2 entries
    3, 0, 'r', 'u', 'n', 0x02, 0x01, 0xFF, 0xFF,                 // "run", 0x0102, 0xFFFF
    0, 0, 1, 0, 2, 0,                                            // "", 1, 2
};
// clang-format on

TEST(HvKnownAnswer, HvdFieldsStandWhereTheTableSays) {
  HvdAnimation anim;
  ASSERT_EQ(anim.Load(kHvd), kHvdLoaded);
  EXPECT_EQ(std::tuple(anim.GetHeader()[0], anim.GetHeader()[11]), std::tuple(1, 12));
  ASSERT_EQ(anim.Frames().size(), 5u) << "four records and the sentinel";
  EXPECT_EQ(std::tuple(anim.Frames()[0].c, anim.Frames()[2].a), std::tuple(0x100u, -2));
  ASSERT_NE(anim.FrameData(0), nullptr);
  EXPECT_EQ(*anim.FrameData(0), 0xCC);
  EXPECT_EQ(anim.GetRangeEnd(0), 1) << "record 1 ends the first range";
  ASSERT_EQ(anim.Entries().size(), 2u);
  EXPECT_EQ(anim.Entries()[0].name, "run");
  EXPECT_EQ(std::tuple(anim.Entries()[0].p, anim.Entries()[0].q, anim.Entries()[1].q),
            std::tuple(0x0102, 0xFFFF, 2));

  const tools::HvdFile file{{1, 2, 3, 4, 5, 6, 0, 0, 9, 10, 11, 12},
                            2,
                            {0xAA, 0xBB, 0xCC, 0xDD},
                            {{5, 1, 0x100, 2}, {-1, 0, 0, 0}, {-2, 1, 0, 3}, {7, 0, 0, 0}},
                            {{"run", 0x0102, 0xFFFF}, {"", 1, 2}}};
  EXPECT_EQ(tools::WriteHvd(file), kHvd);
}

// A 1 x 1 24-bit bitmap of the colour 0x102030.
// clang-format off
const Bytes kBmp = {
    'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header: 58 bytes, pixels at 54
    40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 4, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // the info header's last four fields
    0x30, 0x20, 0x10, 0,                             // blue, green, red, row padding
};
// clang-format on

TEST(HvKnownAnswer, HvaFieldsStandWhereTheTableSays) {
  // clang-format off
  Bytes hva = {
      'H', 'V', 'A', 0,                                        // magic
      0x80, 0x02, 0xE0, 0x01, 0, 0, 1, 0, 0, 0, 0, 0,          // 640, 480, one range at 6
      2, 0, 0, 0, 0x77, 0x77,                                  // a skipped block of 2
      2, 0, 0, 0,                                              // 2 records
      0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0,          // 0, 1, 2, 3
      0xFD, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // -3: ends the range
      1, 0, 0, 0,                                              // one picture
      58, 0, 0, 0, 74, 0, 0, 0, 0, 0, 0, 0,                    // 58 bytes at 74, key (0, 0)
  };
  // clang-format on
  ASSERT_EQ(hva.size(), 74u);
  hva.insert(hva.end(), kBmp.begin(), kBmp.end());

  ImageLoaderManager images;
  RegisterBuiltinLoaders(images);
  ScopedGlobal<ImageLoaderManager> published(&images);
  HvaData data;
  ASSERT_EQ(data.Load(hva), kHvaLoaded);
  EXPECT_EQ(std::tuple(data.GetHeader()[0], data.GetHeader()[1], data.GetHeader()[2]),
            std::tuple(640, 480, 1));
  ASSERT_EQ(data.Frames().size(), 3u);
  EXPECT_EQ(std::tuple(data.Frames()[0].d, data.Frames()[1].a), std::tuple(3u, -3));
  EXPECT_EQ(data.Pictures().size(), 1u) << "its keys are the HVA data test's";

  EXPECT_EQ(
      tools::WriteHva({640, 480, 1, {0x77, 0x77}, {{0, 1, 2, 3}, {-3, 0, 0, 0}}, {{kBmp, 0, 0}}}),
      hva);
}

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

TEST(HvdAnimation, RefusesBadFilesAndUnreadableNames) {
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

  // A load by name is the object natives' test; a name that cannot be read answers 1 and leaves
  // nothing of the earlier load.
  test::GameFolder game;
  HvdAnimation anim;
  ASSERT_EQ(anim.Load(tools::WriteHvd(ThreeRanges())), kHvdLoaded);
  EXPECT_EQ(anim.Load("ANIM\\MISSING.HVD"), kHvdCannotOpen);
  EXPECT_EQ(std::tuple(anim.GetRangeStart(0), anim.Entries().empty()), std::tuple(-1, true));
  EXPECT_EQ(anim.Load(static_cast<const char*>(nullptr)), kHvdCannotOpen);
}

}  // namespace
}  // namespace bw
