// The world of the part tests: a game folder with pictures written by the BMP writer, the image
// loaders, a display list, and the recording pointer tip over the fake services, published as
// the one pointer tip so parts write script words before they are registered.
#pragma once

#include "graphics/device/display_manager.h"
#include "graphics/surface/composition_layer.h"
#include "gui/part_manager.h"
#include "gui_fixture.h"
#include "lib/bmp/bmp_builder.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "support/image_test_rig.h"

namespace bw::test {

// A 24-bit picture of solid cells side by side, one colour (0xRRGGBB) each.
inline std::vector<uint8_t> Cells(int32_t cellWidth, int32_t height,
                                  const std::vector<uint32_t>& colours) {
  tools::BmpFields bmp;
  bmp.width = cellWidth * static_cast<int32_t>(colours.size());
  bmp.height = height;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < bmp.width; ++x) {
      const uint32_t c = colours[static_cast<size_t>(x / cellWidth)];
      bmp.data.insert(bmp.data.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
    }
    bmp.data.resize((bmp.data.size() + 3) & ~size_t{3});
  }
  return tools::BuildBmp(bmp);
}

// The same in grey levels that count the cell from 1.
inline std::vector<uint8_t> GreyCells(int32_t cellWidth, int32_t cells, int32_t height) {
  std::vector<uint32_t> greys;
  for (uint32_t k = 1; k <= uint32_t(cells); ++k) greys.push_back(0x141414u * k);
  return Cells(cellWidth, height, greys);
}

// An 8-bit picture of palette indices, rows top first.
inline std::vector<uint8_t> IndexPicture(const std::vector<std::vector<uint8_t>>& topFirst) {
  tools::BmpFields bmp;
  bmp.width = static_cast<int32_t>(topFirst[0].size());
  bmp.height = static_cast<int32_t>(topFirst.size());
  bmp.bits = 8;
  bmp.palette.resize(256);
  for (uint32_t i = 0; i < 256; ++i) bmp.palette[i] = i * 0x010101;
  bmp.data = tools::PackIndexRows({topFirst.rbegin(), topFirst.rend()}, 8);
  return tools::BuildBmp(bmp);
}

class PartTest : public GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    BuildBlendTables();
    RegisterBuiltinLoaders(images_);
    tip_.SetServices(&services_);
  }
  uint32_t Word(uint32_t address) {
    uint32_t value = 0;
    services_.memory.Read32(address, value);
    return value;
  }
  uint32_t NewWord() { return services_.memory.Allocate(4); }
  int Step() { return tip_.Update(services_.now); }
  int MoveTo(int32_t x, int32_t y) {
    services_.x = x;
    services_.y = y;
    return Step();
  }
  // The left button pressed or let go, and a frame.
  int Button(bool down) {
    services_.Button(down);
    return Step();
  }
  // A press and a release of the left button, a frame each.
  void Click() {
    Button(true);
    Button(false);
  }
  void ClickAt(int32_t x, int32_t y) {
    MoveTo(x, y);
    Click();
  }
  void Press(GuiKey key) {
    services_.Key(key, true);
    Step();
    services_.Key(key, false);
  }

  ScopedPixelLibrary library_{&BuiltInPixelLibrary()};
  ImageLoaderManager images_;
  ScopedGlobal<ImageLoaderManager> publishImages_{&images_};
  DisplayObjectList list_;
  FakeGuiServices services_;
  RecordingPointerTip tip_;
  ScopedGlobal<PointerTip> publishTip_{&tip_};
};

// The same over a 200 x 100 screen layer that a part manager draws on, for screens loaded whole.
class ScreenPartTest : public PartTest {
 protected:
  void SetUp() override {
    PartTest::SetUp();
    ASSERT_EQ(screen_.Create(200, 100, 32, kImageDibSection), 0);
    (void)layer_.SetTarget(&screen_, true);
    parts_.SetTarget(&layer_);
  }

  DisplayManager display_;
  ImageSurface screen_;
  CompositionLayer layer_;
  PartManager parts_;
};

}  // namespace bw::test
