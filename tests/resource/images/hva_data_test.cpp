#include <gtest/gtest.h>

#include "lib/hva/hv_writer.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/hva_data.h"
#include "resource/images/image_loader_manager.h"

namespace bw {
namespace {

using Bytes = std::vector<uint8_t>;

tools::HvaFile TwoRanges() {
  tools::HvaFile file;
  file.word0 = 640;
  file.word2 = 480;
  file.rangeCount = 2;
  file.skipped = {9, 9, 9};
  file.frames = {{0, 1, 2, 3}, {-5, 0, 0, 0}, {1, 0, 0, 0}, {2, 0, 0, 0}};
  tools::WgxPicture picture;
  picture.width = 2;
  picture.height = 1;
  picture.pixels = {0x123456, 0x654321};
  file.pictures = {{tools::WriteWgx(picture), 1, 0}, {tools::WriteWgx(picture), -2, 0}};
  return file;
}

// The pictures decode through the built-in loaders.
class HvaDataTest : public ::testing::Test {
 protected:
  HvaDataTest() { RegisterBuiltinLoaders(manager_); }
  ImageLoaderManager manager_;
  ScopedGlobal<ImageLoaderManager> publish_{&manager_};
};

TEST_F(HvaDataTest, KeepsHeaderRangesAndPictures) {
  auto file = TwoRanges();
  HvaData data;
  ASSERT_EQ(data.Load(tools::WriteHva(file)), kHvaLoaded);
  EXPECT_EQ(data.header(), (std::array<uint16_t, 3>{640, 480, 2}));
  ASSERT_EQ(data.frames().size(), 5u);
  EXPECT_EQ(data.frames()[0].d, 3u);
  EXPECT_EQ(data.frames()[4].a, -1) << "sentinel";
  EXPECT_EQ(data.rangeStarts(), (std::vector<uint32_t>{0, 2}));
  ASSERT_EQ(data.pictures().size(), 2u);
}

TEST_F(HvaDataTest, RefusesBadFiles) {
  auto good = TwoRanges();
  Bytes goodBytes = tools::WriteHva(good);
  auto noRanges = good;
  noRanges.rangeCount = 0;
  auto tooManyRanges = good;
  tooManyRanges.rangeCount = 3;
  tools::HvaFaults wrongMagic, manyFrames, manyPictures, farOffset, bigSize;
  wrongMagic.wrongMagic = true;
  manyFrames.frameCount = 0x7FFFFFFF;
  manyPictures.pictureCount = 0x10000000;
  farOffset.firstPictureOffset = static_cast<uint32_t>(goodBytes.size() + 1);
  bigSize.firstPictureSize = static_cast<uint32_t>(goodBytes.size());
  struct Case {
    const char* what;
    Bytes bytes;
    int code;
  };
  const Case cases[] = {
      {"wrong magic", tools::WriteHva(good, wrongMagic), kHvaBadHeader},
      {"range count 0", tools::WriteHva(noRanges), kHvaBadHeader},
      {"frames end before the ranges", tools::WriteHva(tooManyRanges), kHvaBadFrames},
      {"frame count beyond the bytes", tools::WriteHva(good, manyFrames), kHvaBadFrames},
      {"picture count beyond the bytes", tools::WriteHva(good, manyPictures), kHvaBadPicture},
      {"picture offset beyond the file", tools::WriteHva(good, farOffset), kHvaBadSeek},
      {"picture size beyond the file", tools::WriteHva(good, bigSize), kHvaBadPicture},
  };
  for (const auto& c : cases) {
    HvaData data;
    EXPECT_EQ(data.Load(c.bytes), c.code) << c.what;
  }
  HvaData data;
  for (size_t n = 0; n < goodBytes.size(); ++n) {
    int rc = data.Load(Bytes(goodBytes.begin(), goodBytes.begin() + n));
    EXPECT_TRUE(rc == kHvaBadHeader || rc == kHvaBadFrames || rc == kHvaBadPicture ||
                rc == kHvaBadSeek || rc == kHvaUndecodable)
        << "cut at " << n << ": " << rc;
  }
}

}  // namespace
}  // namespace bw
