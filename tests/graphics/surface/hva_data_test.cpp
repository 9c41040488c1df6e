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

// One bad header, frame table and picture place each; the fuzz target replays the rest.
TEST_F(HvaDataTest, RefusesBadFiles) {
  const auto good = File({{Picture(24), 0, 0}});
  const size_t size = tools::WriteHva(good).size();
  tools::HvaFaults wrongMagic, manyFrames, farOffset;
  wrongMagic.wrongMagic = true;
  manyFrames.frameCount = 0x7FFFFFFF;
  farOffset.firstPictureOffset = static_cast<uint32_t>(size + 1);
  HvaData data;
  EXPECT_EQ(data.Load(tools::WriteHva(good, wrongMagic)), kHvaBadHeader);
  EXPECT_EQ(data.Load(tools::WriteHva(good, manyFrames)), kHvaBadFrames);
  EXPECT_EQ(data.Load(tools::WriteHva(good, farOffset)), kHvaBadSeek);
}

}  // namespace
}  // namespace bw
