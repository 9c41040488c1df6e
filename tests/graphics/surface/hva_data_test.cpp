#include <gtest/gtest.h>

#include "graphics/surface/hva_data.h"
#include "lib/hva/hv_writer.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "support/image_test_rig.h"

namespace bw {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Picture(int depth) {
  tools::WgxPicture p;
  p.depth = depth;
  p.width = 3;
  p.height = 2;
  p.pixels = depth == 8 ? std::vector<uint32_t>{0, 1, 2, 3, 4, 5}
                        : std::vector<uint32_t>{0x102030, 0x405060, 0x708090,
                                                0xA0B0C0, 0xD0E0F0, 0x010203};
  if (depth == 8) p.palette = {0x111111, 0x222222, 0x333333, 0x444444, 0x555555, 0x666666};
  return tools::WriteWgx(p);
}

tools::HvaFile File(std::vector<tools::HvaPictureEntry> pictures) {
  tools::HvaFile file;
  file.frames = {{0, 0, 0, 0}, {-1, 0, 0, 0}};
  file.pictures = std::move(pictures);
  return file;
}

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

class HvaDataTest : public test::GameFolderTest {
 protected:
  HvaDataTest() { RegisterBuiltinLoaders(manager_); }
  ImageLoaderManager manager_;
  ScopedGlobal<ImageLoaderManager> publish_{&manager_};
};

TEST_F(HvaDataTest, DecodesPicturesWithTheirKeysAndFlags) {
  const Bytes hva = tools::WriteHva(File({{Picture(24), 1, 1},   // key from pixel (1, 1)
                                          {Picture(24), -2, 0},  // flagged, no key
                                          {Picture(24), 3, 0},   // key pixel outside: none
                                          {Picture(8), 2, 0}}));
  HvaData data;
  ASSERT_EQ(data.Load(hva), kHvaLoaded);
  const auto& pictures = data.Pictures();
  ASSERT_EQ(pictures.size(), 4u);
  EXPECT_EQ(pictures[3].surface->GetBitsPerPixel(), 32);
  EXPECT_EQ(pictures[0].surface->GetColorKey() & 0xFFFFFF, 0xD0E0F0u);
  EXPECT_TRUE(!pictures[0].flagged && pictures[1].flagged);
  EXPECT_EQ(pictures[1].surface->GetColorKey(), kNoColorKey);
  EXPECT_EQ(pictures[2].surface->GetColorKey(), kNoColorKey);
  EXPECT_EQ(pictures[3].surface->GetColorKey() & 0xFFFFFF, 0x333333u) << "the colour at (2, 0)";

  // With the 8-bit flag a paletted picture stays 8-bit and its key is an index.
  ASSERT_EQ(data.Load(hva, true), kHvaLoaded);
  ASSERT_EQ(data.Pictures().size(), 4u);
  EXPECT_EQ(data.Pictures()[3].surface->GetBitsPerPixel(), 8);
  EXPECT_EQ(data.Pictures()[3].surface->GetColorKey(), 2u);
}

TEST_F(HvaDataTest, RefusesBadFiles) {
  auto good = TwoRanges();
  Bytes goodBytes = tools::WriteHva(good);
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
}

}  // namespace
}  // namespace bw
