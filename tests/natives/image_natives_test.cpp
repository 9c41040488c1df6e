#include "natives/image_natives.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "host/clock.h"
#include "native_rig.h"
#include "natives/native_names.h"
#include "platform/timer_service.h"
#include "resource/files/file.h"

namespace bw {
namespace {

constexpr uint32_t kNotGiven = 65535;

class WipeNatives : public testing::Test {
 protected:
  void SetUp() override {
    BuildBlendTables();
    ASSERT_EQ(target_.Create(16, 12, 32, 0), 0);
    target_.Fill(0xFFFFFFFFu, nullptr);
    targetHandle_ =
        rig_.host->Handles().HandleOf(ScriptObjectType::kSurface, static_cast<Surface*>(&target_));
  }
  // Every call gets the twelve words a start reads.
  int32_t Call(uint32_t number, std::initializer_list<uint32_t> words) {
    std::vector<uint32_t> all(words);
    all.resize(12);
    NativeAnswer answer = rig_.CallAt(number, rig_.Words(all));
    EXPECT_FALSE(answer.faulted) << number;
    return answer.result;
  }

  host::VirtualClock clock_{1000};
  ScopedGlobal<host::ClockSource> clockScope_{&clock_};
  TimerService timers_;
  WipeTransitions wipes_{&timers_};
  ScopedGlobal<WipeTransitions> published_{&wipes_};
  NativeRig rig_;
  ImageSurface target_;
  uint32_t targetHandle_ = 0;
};

// The script holds a task handle: running until the wipe ends, gone once the service deletes
// it; the finish and cancel of a gone wipe touch nothing. Images without a surface, a source
// kind without a source and a missing manager start nothing.
TEST_F(WipeNatives, AWipeIsATaskHandleThatGoesWithTheWipe) {
  const uint32_t wipe =
      Call(Native::kWipeStart, {10, 100, targetHandle_, 0, kNotGiven, 0, 4, 0, 300, 200});
  ASSERT_NE(wipe, 0u);
  EXPECT_EQ(Call(Native::kWipeIsRunning, {wipe}), 1);
  EXPECT_EQ(Call(Native::kWipeFinish, {wipe}), kWipeDone);
  EXPECT_EQ(Call(Native::kWipeIsRunning, {wipe}), 0) << "finished";
  const uint32_t corner = target_.GetPixel(15, 11);
  EXPECT_TRUE((corner & 0xFF) == ((corner >> 16) & 0xFF) && (corner & 0xFF) < 0xFF)
      << std::hex << corner << ": the whole target, without the colour words";
  timers_.RunDue(host::TimeGetTime() + 200);
  EXPECT_EQ(rig_.host->Handles().Get(wipe, ScriptObjectType::kTimedTask), nullptr);
  EXPECT_EQ(Call(Native::kWipeFinish, {wipe}), kWipeDone);

  File file;
  const uint32_t notAnImage = rig_.host->Handles().HandleOf(ScriptObjectType::kFile, &file);
  EXPECT_EQ(Call(Native::kWipeStart, {0, 100, 0, 0, kNotGiven}), 0);
  EXPECT_EQ(Call(Native::kWipeStart, {2, 100, targetHandle_, notAnImage, kNotGiven}), 0);
  EXPECT_EQ(timers_.Count(), 0u);
  ScopedGlobal<WipeTransitions> none{nullptr};
  EXPECT_EQ(Call(Native::kWipeStart, {0, 100, targetHandle_, 0, kNotGiven}), 0);
  EXPECT_EQ(Call(Native::kWipeFinish, {1}), kWipeNoService);
}

// A host with a 32-bit picture and a grey-palette 8-bit one behind handles.
class SingleImageNatives : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(wide.Create(20, 16, 32, kImagePlain), 0);
    ASSERT_EQ(narrow.Create(20, 16, 8, kImagePlain), 0);
    wide.Fill(0xFF808080u, nullptr);
    narrow.SetPalette(nullptr, 256, 0);
    wideHandle = Give(wide);
    narrowHandle = Give(narrow);
  }
  uint32_t Give(Surface& s) { return rig.host->Handles().HandleOf(ScriptObjectType::kSurface, &s); }
  int32_t Call(uint32_t n, std::initializer_list<uint32_t> w) { return rig.Answer(n, w); }

  NativeRig rig;
  ImageSurface wide, narrow;
  uint32_t wideHandle = 0, narrowHandle = 0;
};

// Depth conversion, pixels, palettes (a palette fill stops at its 256 entries whatever the
// count) and a library word group switched off by 65535, which reads as zeros.
TEST_F(SingleImageNatives, DepthPixelsAndPalettes) {
  ImageSurface converted, empty;
  ASSERT_EQ(converted.CopyFrom(&wide, kCopyLikeSource), 0);
  const uint32_t convertedHandle = Give(converted);
  EXPECT_EQ(Call(Native::kImageConvertDepth, {convertedHandle, 8}), 0);
  EXPECT_EQ(converted.GetBitsPerPixel(), 8);
  EXPECT_EQ(converted.GetPalette()[100], 0x646464u) << "a grey palette";
  EXPECT_EQ(Call(Native::kImageConvertDepth, {convertedHandle, 32}), 0);
  EXPECT_EQ(Call(Native::kImageConvertDepth, {Give(empty), 32}), 1) << "no pixels";

  EXPECT_EQ(Call(Native::kImageSetPixel, {wideHandle, 20, 0, 5}), 1) << "outside";
  EXPECT_EQ(Call(Native::kImageSetPixel, {wideHandle, 19, 15, 0x12345678}), 0);
  EXPECT_EQ(Call(Native::kImageGetPixel, {wideHandle, 19, 15}), 0x12345678);
  EXPECT_EQ(Call(Native::kImageSetPixel, {narrowHandle, 1, 1, 0x1FE}), 0);
  EXPECT_EQ(narrow.GetPixel(1, 1), 0xFEu) << "a palette index";

  EXPECT_EQ(Call(Native::kImageFillPalette, {narrowHandle, 1, 2, 3, 1000}), 0);
  EXPECT_EQ(narrow.GetPalette()[255], 0x010203u);
  EXPECT_EQ(Call(Native::kImageFillRgb, {wideHandle, 0, 0, 2, 2, 9, 8, 7}), 1)
      << "the rectangle comes first";
  EXPECT_EQ(wide.GetPixel(1, 1) & 0xFFFFFFu, 0x090807u);

  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  ImageSurface byCall;
  ASSERT_EQ(byCall.CopyFrom(&wide, kCopyLikeSource), 0);
  const uint32_t zeros[4] = {};
  EXPECT_EQ(Call(Native::kImageLibOpFour, {wideHandle, 65535, 2, 3, 4}), byCall.LibOpFour(zeros));
  EXPECT_EQ(std::memcmp(wide.GetPixels(), byCall.GetPixels(), 20 * 16 * 4), 0);
}

}  // namespace
}  // namespace bw
