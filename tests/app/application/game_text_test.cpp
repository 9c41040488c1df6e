// What the game application sets up for text at start-up: the font list, the renderer factory
// and the default text renderer.
#include "app/application/started_game.h"
#include "graphics/surface/rendered_text.h"
#include "host/font/font_types.h"
#include "host/font/host_faces.h"

namespace bw {
namespace {

using GameText = test::StartedGame;

TEST_F(GameText, StartUpListsTheJapaneseFacesAndMakesTheDefaultRenderer) {
  Start();
  EXPECT_EQ(app->GetFontList().Filter(), FontList::kJapaneseFilter);
  std::vector<std::string> listed;
  for (int i = 0; i < app->GetFontList().Count(); ++i)
    listed.push_back(app->GetFontList().Get(i)->lfFaceName);
  std::vector<std::string> faces;
  for (const host::HostFace& face : host::HostFaces()) faces.push_back(host::GdiFaceName(face));
  EXPECT_EQ(listed, faces) << "the game's four faces in order, none of them vertical";
  TextRenderer* renderer = TheDefaultTextRenderer::Get();
  ASSERT_NE(renderer, nullptr);
  EXPECT_TRUE(renderer == app->GetDefaultTextRenderer() && renderer->HasFont());
  ASSERT_NE(Global<TextRendererFactory>::Get(), nullptr) << "the display manager's renderers";
  app->AppShutdown(0);
  app.reset();
  EXPECT_EQ(TheDefaultTextRenderer::Get(), nullptr) << "the default goes with the application";
  EXPECT_EQ(Global<TextRendererFactory>::Get(), nullptr);
}

}  // namespace
}  // namespace bw
