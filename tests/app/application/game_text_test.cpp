// What the game application sets up for text at start-up: the font list, the renderer factory
// and the default text renderer.
#include "app/application/started_game.h"
#include "graphics/surface/rendered_text.h"
#include "host/font/font_types.h"

namespace bw {
namespace {

using GameText = test::StartedGame;

TEST_F(GameText, StartUpListsTheJapaneseFacesAndMakesTheDefaultRenderer) {
  Start();
  const FontList& fonts = app->GetFontList();
  EXPECT_EQ(fonts.Filter(), FontList::kJapaneseFilter);
  EXPECT_EQ(fonts.CharSet(), host::SHIFTJIS_CHARSET);
  ASSERT_GT(fonts.Count(), 0) << "the installed Japanese faces";

  TextRenderer* renderer = TheDefaultTextRenderer::Get();
  ASSERT_NE(renderer, nullptr);
  EXPECT_EQ(renderer, app->GetDefaultTextRenderer());
  EXPECT_TRUE(!renderer->IsOutline() && renderer->HasFont() && renderer->GetSmoothing() == 0);

  TextRenderer* made = nullptr;
  ASSERT_EQ(app->GetDisplayManager().CreateOutlineTextRenderer(&made, nullptr, 20), 0)
      << "the display manager makes renderers through the installed factory";
  EXPECT_TRUE(made->IsOutline());
  app->AppShutdown(0);
  app.reset();
  EXPECT_EQ(TheDefaultTextRenderer::Get(), nullptr) << "the default goes with the application";
  EXPECT_EQ(Global<TextRendererFactory>::Get(), nullptr);
}

}  // namespace
}  // namespace bw
