#include <gtest/gtest.h>

#include "image_test_rig.h"
#include "lib/hva/hv_writer.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/hva_data.h"
#include "resource/images/image_loader_manager.h"

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

class HvaPicturesTest : public test::GameFolderTest {
 protected:
  HvaPicturesTest() { RegisterBuiltinLoaders(manager_); }
  ImageLoaderManager manager_;
  ScopedGlobal<ImageLoaderManager> publish_{&manager_};
};

TEST_F(HvaPicturesTest, DecodesPicturesWithTheirKeysAndFlags) {
  const Bytes hva = tools::WriteHva(File({{Picture(24), 1, 1},  // key from pixel (1, 1)
                                          {Picture(24), -2, 0},  // flagged, no key
                                          {Picture(24), -1, 0},  // neither
                                          {Picture(24), 3, 0},   // key pixel outside: none
                                          {Picture(8), 2, 0}}));
  HvaData data;
  ASSERT_EQ(data.Load(hva), kHvaLoaded);
  const auto& pictures = data.pictures();
  ASSERT_EQ(pictures.size(), 5u);
  for (const auto& p : pictures) {
    ASSERT_NE(p.surface->GetPixels(), nullptr);
    EXPECT_EQ(p.surface->GetBitsPerPixel(), 32);
  }
  EXPECT_EQ(pictures[0].surface->GetColorKey() & 0xFFFFFF, 0xD0E0F0u);
  EXPECT_FALSE(pictures[0].flagged);
  EXPECT_TRUE(pictures[1].flagged);
  EXPECT_EQ(pictures[1].surface->GetColorKey(), kNoColorKey);
  EXPECT_FALSE(pictures[2].flagged);
  EXPECT_EQ(pictures[2].surface->GetColorKey(), kNoColorKey);
  EXPECT_EQ(pictures[3].surface->GetColorKey(), kNoColorKey);
  EXPECT_EQ(pictures[4].surface->GetColorKey() & 0xFFFFFF, 0x333333u) << "the colour at (2, 0)";

  // With the 8-bit flag a paletted picture stays 8-bit and its key is an index.
  ASSERT_EQ(data.Load(hva, true), kHvaLoaded);
  ASSERT_EQ(data.pictures().size(), 5u);
  EXPECT_EQ(data.pictures()[4].surface->GetBitsPerPixel(), 8);
  EXPECT_EQ(data.pictures()[4].surface->GetColorKey(), 2u);
  EXPECT_EQ(data.pictures()[4].surface->GetPalette()[3], 0x444444u);
}

TEST_F(HvaPicturesTest, LoadsByNameAndRefusesWhatCannotBeDecoded) {
  Write("ANIM/WALK.HVA", tools::WriteHva(File({{Picture(24), 0, 0}})));
  HvaData data;
  EXPECT_EQ(data.Load("anim\\walk.hva", false), kHvaLoaded);
  EXPECT_EQ(data.pictures().size(), 1u);
  EXPECT_EQ(data.Load("anim\\run.hva", false), kHvaCannotOpen);
  EXPECT_TRUE(data.pictures().empty()) << "what came before is freed";

  // The second picture is no picture: the first stays loaded.
  ASSERT_EQ(data.Load(tools::WriteHva(File({{Picture(24), 0, 0}, {{'n', 'o', 'p', 'e'}, 0, 0}}))),
            kHvaUndecodable);
  EXPECT_EQ(data.pictures().size(), 1u);

  ScopedGlobal<ImageLoaderManager> noManager(nullptr);
  EXPECT_EQ(data.Load(tools::WriteHva(File({{Picture(24), 0, 0}}))), kHvaUndecodable);
}

}  // namespace
}  // namespace bw
