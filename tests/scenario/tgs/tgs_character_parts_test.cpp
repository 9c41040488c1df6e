// Label: optimised
// The parts animation of a standing picture (built-in 89) on the real "sp_parts" class: the file
// chosen by the picture's size letter and character, the parts laid from the picture's corner just
// above it, the hidden blocks read on request, and the record that a save keeps to start it again.
#include <gtest/gtest.h>

#include "effects/sp_parts_effect.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_scene_state.h"
#include "scenario/tgs/tgs_scene_world.h"
#include "scenario/tgs/tgs_test_world.h"
#include "support/game_folder.h"

namespace bw::test {
namespace {

// A frame host whose scene draws on the world's pages.
class ScenePagesHost : public FakeFrameHost {
 public:
  explicit ScenePagesHost(TgsSceneHost* pages) : pages_(pages) {}
  TgsSceneHost* SceneHost() override { return pages_; }

 private:
  TgsSceneHost* pages_;
};

class CharacterParts : public RealEffectsWorld {
 protected:
  CharacterParts() : engine_(&files_, 32u << 20), host_(this) {
    RegisterBuiltinLoaders(loaders_);
    LoadPlainEngine(files_, engine_);
    files_.Put("SCRIPT\\RUN.TOB", Tob(".tob1\nMessageBegin 0\n\"A\"\nMessageWait\n.end\n"));
    // "CH_X" ends in "X" and matches no character name: character 1, file 80 + 1.
    game_.dir().WriteFile("SYS/CA081.TXT",
                          "// eyes, then the mouth of a hidden block\n*EYE.WGX\n,,0\nt 300\n,,255\n"
                          "#s\n*MOUTH.WGX\n,,255\n#e\n");
    WritePart("SYS/EYE.WGX", 30, 8, 40, 60);
    WritePart("SYS/MOUTH.WGX", 12, 6, 50, 90);
  }
  void WritePart(const std::string& name, uint32_t w, uint32_t h, int16_t x, int16_t y) {
    tools::WgxPicture p;
    p.depth = 32, p.width = w, p.height = h, p.offsetX = x, p.offsetY = y;
    p.pixels.assign(size_t{w} * h, 0xFF203040);
    tools::WgxWriteOptions withOffsets;
    withOffsets.form = 1;
    game_.dir().WriteFile(name, tools::WriteWgx(p, withOffsets));
  }
  std::unique_ptr<TgsFrame> NewFrame() {
    auto frame = std::make_unique<TgsFrame>(&engine_, &files_, &host_);
    frame->SetScriptFolder("SCRIPT");
    EXPECT_EQ(frame->Setup("1\n"), 0);
    return frame;
  }
  const SpPartsEffect* Parts(TgsFrame& frame) {
    return dynamic_cast<const SpPartsEffect*>(frame.Scene().SpriteRecord(0, 0, 0)->effect);
  }

  GameFolder game_;
  ImageLoaderManager loaders_;
  ScopedGlobal<ImageLoaderManager> publishedLoaders_{&loaders_};
  MemoryScriptFileSource files_;
  ScriptEngine engine_;
  ScenePagesHost host_;
};

TEST_F(CharacterParts, APictureWearsItsPartsAndASaveStartsThemAgain) {
  std::vector<uint8_t> saved;
  {
    auto frame = NewFrame();
    ASSERT_EQ(frame->Start("RUN"), 0);
    TgsScene& scene = frame->Scene();
    ASSERT_EQ(scene.LoadSprite(0, "CH_X", 0, 0, false), 0);
    ASSERT_EQ(scene.PlaceSprite(0, 0, false, 0, 0), 0);
    EXPECT_EQ(scene.AnimateCharacterParts(0, 3, 1, 0, true), kPartsBadCharacter)
        << "an empty slot has no character";
    EXPECT_EQ(scene.AnimateCharacterParts(7, 1, 0, 0, true), kSceneBadSlot);
    ASSERT_EQ(scene.AnimateCharacterParts(0, 1, 0, 0, true), 0);
    const TgsSpriteRecord& r = *scene.SpriteRecord(0, 0, 0);
    const SpPartsEffect* parts = Parts(*frame);
    ASSERT_NE(parts, nullptr);
    ASSERT_EQ(parts->PartCount(), 2u) << "the hidden block was asked for";
    const Sprite* eyes = parts->PartSprite(0);
    EXPECT_EQ(std::tuple(eyes->GetX(), eyes->GetY()),
              std::tuple(r.sprite->GetX() + 40, r.sprite->GetY() + 60));
    const auto& nodes = shown_.GetCompositionLayer()->GetList().Nodes();
    auto priorityOf = [&](const Sprite* s) {
      for (const auto& n : nodes) {
        if (n.object == s) return n.priority;
      }
      return 0u;
    };
    EXPECT_EQ(priorityOf(eyes), r.priority - 1) << "drawn over the picture, the next part over it";
    EXPECT_EQ(priorityOf(parts->PartSprite(1)), r.priority - 2);
    EXPECT_EQ(std::tuple(r.persistKind, r.persistArg), std::tuple(2u, 1u));
    // The mouth stands on the picture; the eyes come in over 300 ms, and go with their path's end.
    Turn();
    const Sprite* mouth = parts->PartSprite(1);
    ImageSurface seen;
    ASSERT_EQ(seen.Create(kTgsScreenWidth, kTgsScreenHeight, 32, kImagePlain), 0);
    ASSERT_EQ(shown_.GetCompositionLayer()->RenderTo(&seen, kRenderAll, 0, true), 0);
    EXPECT_EQ(Pixel(seen, mouth->GetX() + 2, mouth->GetY() + 2) & 0xFFFFFF, 0x203040u);
    ASSERT_EQ(frame->SaveScene(saved, false), 0);
    // Without the hidden blocks only the eyes come.
    ASSERT_EQ(scene.AnimateCharacterParts(0, 0, 0, 0, false), 0);
    EXPECT_EQ(Parts(*frame)->PartCount(), 1u);
  }
  auto frame = NewFrame();
  ByteReader in(saved);
  ASSERT_EQ(frame->LoadScene(in), 0);
  ASSERT_EQ(frame->BeginRun(true), 0);
  const SpPartsEffect* parts = Parts(*frame);
  ASSERT_NE(parts, nullptr) << "the rebuild started the parts again";
  EXPECT_EQ(parts->PartCount(), 2u);
}

}  // namespace
}  // namespace bw::test
