// Every keyword of the two registries, started as a main script starts it: its objects made by
// natives from the game folder's files and named by handles, its words in guest memory, started
// through the effect or filter start, stepped for some frames, sent each command through the
// three command natives, removed, and its handle used again once it has gone.

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <iomanip>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "effects/builtin_effects.h"
#include "effects/effect_registries.h"
#include "effects/sp_fade_effect.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/sprite.h"
#include "gui/part_fixture.h"
#include "host/gdi/memory_dc.h"
#include "lib/wgx/wgx_writer.h"
#include "native_rig.h"
#include "natives/effect_movie_wrappers.h"
#include "natives/object_casts.h"
#include "natives/render_natives.h"
#include "platform/subtractive_random.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"
#include "published.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "sound/movie_game.h"
#include "support/cell_animation.h"

namespace bw {
namespace {

using Words = std::vector<uint32_t>;

constexpr uint32_t kUnwritten = 0xDEADBEEF;  // what an out word holds until the call writes it
constexpr uint32_t kWholeImage = 65535;
constexpr int32_t kWidth = 64, kHeight = 48;
constexpr uint32_t kFrameMs = 16;

std::vector<uint8_t> Wgx(uint32_t w, uint32_t h, uint32_t argb, int depth = 32) {
  tools::WgxPicture p{depth, w, h, {}, {}, 0, 0, {}};
  for (uint32_t i = 0; i < w * h; ++i) p.pixels.push_back(depth == 8 ? i % 4 : argb + i % 7);
  if (depth == 8) p.palette = {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF};
  return tools::WriteWgx(p);
}

// The files a game of these effects ships.
void WriteGameFiles(const test::TempDir& dir) {
  dir.WriteFile("BG/SKY.WGX", Wgx(2 * kWidth, 2 * kHeight, 0xFF203040));
  dir.WriteFile("BG/SEA.WGX", Wgx(2 * kWidth, 2 * kHeight, 0xFF405060));
  dir.WriteFile("FG/GIRL.WGX", Wgx(16, 24, 0xFFC08080));
  dir.WriteFile("FG/BOY.WGX", Wgx(20, 24, 0xFF8080C0));
  dir.WriteFile("BG/CLOUD.WGX", Wgx(96, 16, 0xFFE0E0E0));
  dir.WriteFile("SYS/RULE001.WGX", Wgx(kWidth, kHeight, 0, 8));
  dir.WriteFile("SYS/NOISE.WGX", Wgx(16, 16, 0xFF101010));
  for (int i = 0; i < 8; ++i)
    dir.WriteFile("SYS/PAPER_" + std::to_string(i) + ".WGX", Wgx(48, 4, 0xFFFFFFFF));
  for (int i = 0; i < 3; ++i)
    dir.WriteFile("SYS/GR_LT" + std::to_string(i) + ".WGX", Wgx(10, 4, 0xFFFFFF80));
  for (int i = 0; i < 5; ++i)
    dir.WriteFile("SYS/SNOW_" + std::to_string(i) + ".WGX", Wgx(3, 3, 0xFFFFFFFF));
  dir.WriteFile("SYS/ARM.WGX", Wgx(8, 6, 0xFF336699));
  dir.WriteFile("SYS/CA001.TXT", "*ARM.WGX\n0,0\nt 400\n20,10\n");
  for (int i = 0; i < 2; ++i)
    dir.WriteFile("CG/c" + std::to_string(i) + ".bmp", test::Cells(4, 4, {0x112233u * (i + 1)}));
  dir.WriteFile("CG/OPEN.HVD", test::TwoCellAnimation());
}

// The game's scene, made through the natives: a composed layer showing a picture, linked to a
// partner layer that shows another, and two standing sprites in the layer's list. Members go
// in the application's order: the script host, then the effects' timer service, then the
// display manager.
class Scene {
 public:
  Scene() {
    BuildBlendTables();
    RegisterBuiltinLoaders(loaders);
    WriteGameFiles(movies.game.dir());
    random.Seed(7);
    RegisterApplicationKeywords(filters, effects);
    RegisterScriptHostKeywords(filters, effects, &random);
    PublishWrapperMovies(true);
    dc.Select(section.get());
    layer = MakeCanvas("BG\\SKY.WGX");
    partner = MakeCanvas("BG\\SEA.WGX");
    EXPECT_EQ(Call(Native::kImageHolderLink, {layer, partner}), 0);
    girlImage = Call(Native::kCreateImageFromFile, {Text("FG\\GIRL.WGX"), 0});
    girl = Standing(girlImage, 10, 10);
    boy = Standing(Call(Native::kCreateImageFromFile, {Text("FG\\BOY.WGX"), 0}), 14, 12);
    rule = Call(Native::kCreateImageFromFile8, {Text("SYS\\RULE001.WGX"), 0});
    anime = Call(Native::kHvdAnimationCreate, {Text("CG\\OPEN.HVD")});
    EXPECT_TRUE(girlImage && girl && boy && rule && anime);
  }
  ~Scene() { PublishWrapperMovies(false); }

  // The answer of a native called with these words; the block behind them reads as zeros.
  uint32_t Call(uint32_t number, Words words) {
    words.resize(40);
    NativeAnswer answer = rig.CallAt(number, rig.Words(words));
    EXPECT_FALSE(answer.faulted) << "native " << number;
    return uint32_t(answer.result);
  }
  uint32_t Text(const std::string& text) { return rig.Text(text); }
  uint32_t Word(uint32_t at) { return rig.Word(at); }
  // The words a script writes, in a short notation: numbers, 'texts' (made in guest memory), @
  // for an out word the call is to write, dN for a double in two words (low first), and the
  // scene's objects by name.
  Words Parse(const std::string& notation);
  // Moves the clock on a frame at a time, stepping the effects and drawing the filtered layer.
  void Frames(int n) {
    for (int i = 0; i < n; ++i) {
      now += kFrameMs;
      movies.clock.SetMilliseconds(now);
      timers.RunDue(now);
      if (CanvasLayer* canvas = Canvas(layer); canvas && canvas->HasSource())
        (void)canvas->PresentFrame(host::HWND{}, &dc, nullptr, 0, true);
    }
  }
  CanvasLayer* Canvas(uint32_t handle) {
    return dynamic_cast<CanvasLayer*>(GetObjectImageHolder(rig.Handles(), handle));
  }
  Sprite* SpriteOf(uint32_t handle) {
    return dynamic_cast<Sprite*>(
        rig.Handles().Get<DisplayObject>(handle, ScriptObjectType::kDisplayObject));
  }

  test::MovieGame movies;
  uint32_t now = 1000;
  Published<TrigTables> trig;
  Published<ImageLoaderManager> loaders;
  SubtractiveRandom random;
  TcpPluginManager filters;
  DcpPluginManager effects;
  ScopedGlobal<TcpPluginManager> publishedFilters{&filters};
  ScopedGlobal<DcpPluginManager> publishedEffects{&effects};
  Published<DisplayManager> display;
  Published<TimerService> timers;
  NativeRig rig;
  std::unique_ptr<host::DibSection> section = host::DibSection::Create(kWidth, kHeight, 32);
  host::MemoryDc dc;
  uint32_t layer = 0, partner = 0, girlImage = 0, girl = 0, boy = 0, rule = 0, anime = 0;

 private:
  uint32_t Named(const std::string& name) const;
  uint32_t MakeCanvas(const char* picture) {
    const uint32_t canvas = Call(Native::kCreateCanvasLayer, {kWidth, kHeight, 32, kLayerComposed});
    const uint32_t image = Call(Native::kCreateImageFromFile, {Text(picture), 0});
    EXPECT_EQ(Call(Native::kCompositionSetBackgroundImage, {canvas, image, 0, 0, 1}), 1u)
        << picture;
    return canvas;
  }
  uint32_t Standing(uint32_t image, uint32_t x, uint32_t y) {
    const uint32_t sprite = Call(Native::kSpriteCreate, {image, kWholeImage, 0, 0, 0, x, y});
    EXPECT_EQ(Call(Native::kContainerAdd, {layer, sprite, 10, 0, 0}), 0u);
    return sprite;
  }
};

Words Scene::Parse(const std::string& notation) {
  Words words;
  std::istringstream in(notation);
  for (std::string token; !(in >> std::ws).eof();) {
    if (in.peek() == '\'') {
      in >> std::quoted(token, '\'', '\0');  // backslashes are the texts' own
      words.push_back(Text(token));
    } else if (in >> token; token == "@") {
      words.push_back(rig.Var(kUnwritten));
    } else if (token[0] == 'd') {
      const auto halves = std::bit_cast<std::array<uint32_t, 2>>(std::stod(token.substr(1)));
      words.insert(words.end(), halves.begin(), halves.end());
    } else if (token[0] == '$') {
      words.push_back(Named(token.substr(1)));
    } else {
      words.push_back(uint32_t(std::stoll(token, nullptr, 0)));
    }
  }
  return words;
}

uint32_t Scene::Named(const std::string& name) const {
  const std::pair<const char*, uint32_t> objects[] = {
      {"layer", layer}, {"girl", girl}, {"boy", boy}, {"rule", rule}, {"anime", anime}};
  for (const auto& [known, handle] : objects) {
    if (name == known) return handle;
  }
  ADD_FAILURE() << "no object " << name;
  return 0;
}

// A command a script sends a running effect: through A or B (the effect's handle first) or by
// name (the keyword's text first); the answer it must give, then what it must have done (the
// words as they were sent, out words among them).
struct Command {
  uint32_t native;
  const char* words;
  int32_t answer;
  std::function<void(Scene&, const Words&)> then = {};
};

struct KeywordRow {
  const char* name;  // the keyword, or the keyword and the form tried
  bool filter;       // started on the layer as a filter
  const char* setup;
  std::vector<Command> commands;
  std::function<void(Scene&)> gone = {};  // what holds once the effect has gone
};

constexpr bool kEffect = false, kFilter = true;
constexpr uint32_t kA = Native::kEffectCommandA, kB = Native::kEffectCommandB,
                   kByName = Native::kEffectCommand;

std::string KeywordOf(const KeywordRow& row) {
  const std::string name = row.name;
  return name.substr(0, name.find(' '));
}

// The out words from first on, each written.
std::function<void(Scene&, const Words&)> Written(size_t first, size_t count) {
  return [first, count](Scene& s, const Words& words) {
    for (size_t i = first; i < first + count; ++i)
      EXPECT_NE(s.Word(words[i]), kUnwritten) << "out word " << i;
  };
}

// A replacing effect takes the old sprite and its picture with it, through their owner.
void TheNewSpriteStands(Scene& s) {
  EXPECT_EQ(s.SpriteOf(s.girl), nullptr) << "the old sprite goes with the effect";
  EXPECT_EQ(GetObjectSurface(s.rig.Handles(), s.girlImage), nullptr) << "and its picture";
  ASSERT_NE(s.SpriteOf(s.boy), nullptr);
  EXPECT_TRUE(s.SpriteOf(s.boy)->IsVisible());
}

const std::vector<KeywordRow>& Rows() {
  static const std::vector<KeywordRow> rows = {
      // clang-format off
      // Layer effects on the layer.
      {"bg_zoom", kEffect, "32 24 '2.0' '0' 1000",
       {{kB, "@ @ @ @", 0, [](Scene& s, const Words& w) {
           EXPECT_EQ(s.Word(w[2]), uint32_t(kWidth)) << "the end view is half the picture"; }},
        {kByName, "$layer 16 12 '4.0' @ @ @ @", 0,
         [](Scene& s, const Words& w) { EXPECT_EQ(s.Word(w[6]), uint32_t(kWidth / 2)); }}}},
      {"bg_rot", kEffect, "32 24 128 '1.5' '-2' 1000",
       {{kA, "0", kEffectUnsupported}, {kB, "0", kEffectUnsupported}, {kByName, "$layer", kRenderNativeNull}}},
      {"bg_blur zoom", kEffect, "0 32 24 '1.0' '0' '2.0' '0.5' 1000 200 '1' 0 0 0 0 0 0",
       {{kByName, "$layer 32 24 d2.0 d0 @ @ @ @", 0, Written(7, 4)}}},
      {"bg_blur points", kEffect, "'(0,0,1.0)(32,24,2.0)(64,48,1.5)' 1 1000 255 '-1' 'BG\\SEA.WGX' 1 1 0 7 16 0", {}},
      {"bg_rast", kEffect, "4 16 500 0 20 100 1 1", {{kB, "", 1}, {kA, "0", 0}, {kB, "", 3}}},
      {"bg_haze", kEffect, "'(1,0,4)(2,128,2)' 32 500 0 100 100 1 1", {{kA, "0", 0}, {kB, "", 3}}},
      {"bg_loop", kEffect, "1 1000 0 1", {{kA, "0", 0}}},
      {"bg_cross", kEffect, "1000 0 0 0 1", {{kA, "0", 0}}},
      {"bg_panime", kEffect, "'c 500 l' 10 65535 0 0 0 1",
       {{kB, "@ @", 0, Written(0, 2)},
        {kByName, "$layer 'c 300 r' @ @", 0,
         [](Scene& s, const Words& w) { EXPECT_EQ(s.Word(w[2]), uint32_t(kWidth)) << "right"; }}}},
      {"bg_anime", kEffect, "$anime 'CG' 0 0 1 1",
       {{kB, "0", 1}, {kA, "2", 0}, {kA, "3", 0}, {kByName, "1", 0}, {kByName, "0", 0}}},
      {"bg_movie", kEffect, "'OP.MPG' 1 1", {{kB, "", 1}, {kA, "2", 0}, {kA, "6 128", 0}, {kA, "3", 0}}},
      // Screen overlays on the layer and its partner.
      {"quake", kEffect, "0 4 4 1000 '0.5' 0 1 1 1", {{kA, "0", 0}}},
      {"quake work", kEffect, "200 6 2 0 0 1 1 1 0", {{kA, "1", 0}}},
      {"noise", kEffect, "128 5 1 1", {{kA, "0 1", 0}}},
      {"paper", kEffect, "4 5 5 1 '1.0' 1 1", {{kA, "1 1 0", 0}, {kA, "0", 0}}},
      {"light", kEffect, "3 5 5 1 '0.5' 1 0", {{kA, "0", 0}}},
      {"snow", kEffect, "6 5 5 0 0 0 1", {{kA, "1 0 1", 0}}},
      {"rain", kEffect, "5 5 5 1 '2' 1 1", {{kA, "0", 0}}},
      // Sprite effects on the standing sprites in the layer's list.
      {"sp_fade", kEffect, "2 0 1", {{kA, "1 0 $girl 500 0 1 20 20 0", 0}, {kA, "2 1 $boy 500 0 0", 0}, {kB, "", 1}}},
      {"sp_gfade", kEffect, "$girl 1000 2 8 '0'", {{kA, "0", kEffectUnsupported}}},
      {"sp_panime", kEffect, "$girl 'p10,0 O128 500 p20,5' 10 1 1",
       {{kB, "@ @ @ @ @ @ @ @ @", 0, Written(0, 9)},
        {kByName, "0 30 2", 0},
        {kByName, "1 $boy 'P40,4 O200' @ @ @ @ @ @ @ @", 0, [](Scene& s, const Words& w) {
           EXPECT_EQ(s.Word(w[3]), 40u);
           EXPECT_EQ(s.Word(w[5]), 200u) << "the opacity";
           EXPECT_EQ(s.SpriteOf(s.boy)->GetX(), 40); }}}},
      {"sp_cfade", kEffect, "$boy $girl 20 1000 1", {{kA, "0", kEffectUnsupported}, {kB, "0", kEffectUnsupported}},
       TheNewSpriteStands},
      {"sp_change style 0", kEffect, "$boy $girl 'c' 0 20 0 1000 1",
       {{kB, "@ @ @ @ @ @ @ @ @", 0, Written(2, 2)}, {kA, "0", kEffectUnsupported}}, TheNewSpriteStands},
      {"sp_change style 1", kEffect, "$boy $girl 'Z1.5c' 1 20 0 1000 1", {}, TheNewSpriteStands},
      {"sp_change style 2", kEffect, "$boy $girl 'c' 2 20 1 1000 0", {}, TheNewSpriteStands},
      {"sp_parts", kEffect, "'SYS\\CA001.TXT' 5 6 40 0 0 0 1 1 0 1 0",
       {{kA, "1 1 0", 2}, {kA, "2 0 0", 0}, {kA, "0", 0}}, [](Scene& s) {
         EXPECT_EQ(s.Canvas(s.layer)->GetCompositionLayer()->GetList().Count(), 2u)
             << "the parts' own layer leaves the layer's list with the effect"; }},
      {"sp_loop", kEffect, "'BG\\CLOUD.WGX' 0 4 32 255 5 0 1000 0 1",
       {{kA, "1 0", 0}, {kA, "2 3 4", 0}, {kA, "3 128", 0}, {kA, "0", 0}}},
      {"sp_movie", kEffect, "'OP.MPG' 1 4 4 7 1 1", {{kA, "1", 1}, {kA, "0", 0}}},
      // Filters on the layer, drawn with its partner's picture.
      {"cross", kFilter, "500", {}},
      {"rule", kFilter, "500 $rule 16", {}},
      {"scroll", kFilter, "500 2 2 '2.0'", {}},
      {"wave", kFilter, "500 0 4 2 0xFF0000 0x0000FF", {}},
      {"mosaic", kFilter, "500 0 8 1", {}},
      {"rotaxis", kFilter, "500 1", {}},
      {"trans", kFilter, "500 10 1", {}},
      {"tone", kFilter, "500 0x808080 0", {}},
      {"quake filter", kFilter, "0 4 4 500 '0.25' 1", {}},
      {"zoomflip", kFilter, "500 4 0", {}},
      {"rotcenter", kFilter, "500 1 0", {}},
      {"addsub", kFilter, "500 3", {}},
      {"hblur", kFilter, "500 1 4", {}},
      {"ripple", kFilter, "500 -1 -1 32 '1.5' '6.0' 8", {}},
      // clang-format on
  };
  return rows;
}

// Layer effects, sprite effects and screen overlays answer their family's type and kind id.
void ExpectFamily(const std::string& keyword, const DisplayEffect& effect) {
  EXPECT_STREQ(effect.GetKeyword(), keyword.c_str());
  const std::string family = keyword.substr(0, 3);
  const uint8_t type = family == "bg_"   ? kEffectTypeLayer
                       : family == "sp_" ? kEffectTypeSprite
                                         : kEffectTypeScreen;
  EXPECT_EQ(effect.GetType(), type);
  const uint32_t kind = keyword == "bg_anime"       ? kTaskKindBackgroundAnimation
                        : type == kEffectTypeLayer  ? kTaskKindLayerEffect
                        : type == kEffectTypeSprite ? kTaskKindSpriteEffect
                                                    : kTaskKindScreenOverlay;
  EXPECT_EQ(effect.GetKindId(), kind);
}

class KeywordEffectNatives : public testing::TestWithParam<size_t> {
 protected:
  Scene scene;
};

TEST_P(KeywordEffectNatives, StartsRunsTakesItsCommandsAndGoes) {
  const KeywordRow& row = Rows()[GetParam()];
  const std::string keyword = KeywordOf(row);
  Words start{scene.layer, scene.Text(keyword)};
  if (row.filter) start.insert(start.end(), {kAttachPlain, 0});
  for (uint32_t w : scene.Parse(row.setup)) start.push_back(w);
  if (row.filter) {
    ASSERT_EQ(scene.Call(Native::kFilterStart, start), 0u) << "attached";
    EXPECT_EQ(scene.Call(Native::kFilterIsAttached, {scene.layer}), 1u);
    scene.Frames(4);
    EXPECT_EQ(scene.Call(Native::kFilterStop, {scene.layer}), 1u);
    EXPECT_EQ(scene.Call(Native::kFilterIsAttached, {scene.layer}), 0u);
    scene.Frames(1);
    return;
  }
  const uint32_t effect = scene.Call(Native::kEffectStart, start);
  ASSERT_NE(effect, 0u) << "started";
  ExpectFamily(keyword, *dynamic_cast<DisplayEffect*>(GetScriptTask(scene.rig.Handles(), effect)));
  EXPECT_EQ(scene.Call(Native::kTaskIsAlive, {effect}), 1u);
  scene.Frames(3);
  for (const Command& command : row.commands) {
    SCOPED_TRACE(std::to_string(command.native) + " " + command.words);
    const Words words = scene.Parse(command.words);
    Words call = words;
    call.insert(call.begin(), command.native == kByName ? scene.Text(keyword) : effect);
    EXPECT_EQ(int32_t(scene.Call(command.native, call)), command.answer);
    if (command.then) command.then(scene, words);
    scene.Frames(1);
  }
  const uint32_t variable = scene.rig.Var(effect);
  EXPECT_EQ(scene.Call(Native::kTaskRemove, {variable}), 1u) << "removed while it runs";
  EXPECT_EQ(scene.Word(variable), 0u);
  scene.Frames(2);
  EXPECT_EQ(scene.Call(Native::kTaskIsAlive, {effect}), 0u);
  EXPECT_EQ(int32_t(scene.Call(Native::kEffectCommandA, {effect, 0})), kRenderNativeNull)
      << "a gone effect's handle";
  EXPECT_EQ(scene.timers.Count(), 0u);
  if (row.gone) row.gone(scene);
}

std::string RowName(const testing::TestParamInfo<size_t>& info) {
  std::string name = Rows()[info.param].name;
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(EveryKeyword, KeywordEffectNatives,
                         testing::Range<size_t>(0, Rows().size()), RowName);

// The table names every keyword the registries hold.
TEST(KeywordEffectTable, CoversBothRegistries) {
  Scene scene;
  std::set<std::string> effects, filters;
  for (const KeywordRow& row : Rows()) (row.filter ? filters : effects).insert(KeywordOf(row));
  for (const auto& record : scene.effects.Records())
    EXPECT_TRUE(effects.count(record->keyword)) << record->keyword;
  for (const auto& record : scene.filters.Records())
    EXPECT_TRUE(filters.count(record->keyword)) << record->keyword;
}

// The sprites an effect put into the layer's list beside the scene's own two.
std::vector<const Sprite*> EffectSprites(Scene& s) {
  std::vector<const Sprite*> own;
  for (const auto& node : s.Canvas(s.layer)->GetCompositionLayer()->GetList().Nodes()) {
    const auto* sprite = dynamic_cast<const Sprite*>(node.object);
    if (sprite != nullptr && sprite != s.SpriteOf(s.girl) && sprite != s.SpriteOf(s.boy))
      own.push_back(sprite);
  }
  return own;
}

// The blend sprite of "sp_cfade", the combined one of "sp_change" and the parts of "sp_parts"
// carry mirror mode 1. A part turned a quarter about its centre (50, 30) shows its red left
// half below, not mirrored above, and its right half keeps its own half alpha over the sky.
TEST(KeywordEffectSprites, CarryMirrorMode1AndTurnAsTheyAre) {
  const std::pair<const char*, const char*> starts[] = {
      {"sp_cfade", "$boy $girl 20 1000 1"},
      {"sp_change", "$boy $girl 'c' 2 20 1 1000 0"},
      {"sp_parts", "'SYS\\CA002.TXT' 0 0 40 0 0 0 0 0 0 1 0"}};
  for (const auto& [keyword, setup] : starts) {
    SCOPED_TRACE(keyword);
    Scene scene;
    tools::WgxPicture half{32, 20, 10, {}, {}, 0, 0, {}};
    for (uint32_t i = 0; i < 200; ++i) half.pixels.push_back(i % 20 < 10 ? 0xFFFF0000 : 0x8000FF00);
    scene.movies.game.dir().WriteFile("SYS/HALF.WGX", tools::WriteWgx(half));
    scene.movies.game.dir().WriteFile("SYS/CA002.TXT",
                                      "*HALF.WGX\n40,25,255,1,0.25\nt 100\n40,25,255,1,0.25\n");
    const Words start = scene.Parse(std::string("$layer '") + keyword + "' " + setup);
    ASSERT_NE(scene.Call(Native::kEffectStart, start), 0u) << "started";
    scene.Frames(3);
    const std::vector<const Sprite*> own = EffectSprites(scene);
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0]->GetMirrorMode(), 1);
    if (std::string(keyword) != "sp_parts") continue;
    CanvasLayer& canvas = *scene.Canvas(scene.layer);
    (void)canvas.GetCompositionLayer()->RedrawDirty(nullptr, nullptr, 0, 0);
    auto shown = [&](int32_t x, int32_t y) {
      return reinterpret_cast<const uint32_t*>(canvas.GetRowPointer(y))[x] & 0xFFFFFF;
    };
    EXPECT_EQ(shown(50, 35), 0xFF0000u) << "the left half turned down";
    const uint32_t above = shown(50, 25);
    EXPECT_LT(above >> 16, 0x20u) << "no red above";
    EXPECT_NEAR(double(above >> 8 & 0xFF), 0x30 + (0xFF - 0x30) * 128 / 255.0, 3.0)
        << "half of the green over the sky";
  }
}

// An "l" line gives the key frame after it a swing: the part goes 40 pixels past its straight
// path halfway along and comes back to it at the end.
TEST(KeywordEffectPaths, APartsLineSwingsThePartOutAndBack) {
  Scene scene;
  scene.movies.game.dir().WriteFile("SYS/CA003.TXT", "*ARM.WGX\n0,0\nt 400\nl 40,0,0,0\n20,10\n");
  const Words start = scene.Parse("$layer 'sp_parts' 'SYS\\CA003.TXT' 0 0 40 0 0 0 0 0 0 1 0");
  ASSERT_NE(scene.Call(Native::kEffectStart, start), 0u) << "started";
  int32_t widest = 0;
  for (int frame = 0; frame < 30; ++frame) {
    scene.Frames(1);
    for (const Sprite* part : EffectSprites(scene)) {
      if (part->IsVisible()) widest = std::max(widest, part->GetX());
    }
  }
  EXPECT_GE(widest, 45) << "the straight path alone reaches 20";
  EXPECT_LE(widest, 50);
}

// The old sprite destroyed while the change runs ends it: the new sprite stands, shown, whether
// it was still hidden (style 0 before its first frame) or another picture moved (styles 1, 2).
TEST(KeywordEffectPaths, TheNewSpriteStandsWhenTheOldOneIsDestroyedFirst) {
  const struct {
    const char* setup;
    int frames;
  } cases[] = {
      {"$boy $girl 'c' 0 20 0 1000 1", 0},
      {"$boy $girl 'c' 1 20 0 1000 1", 0},
      {"$boy $girl 'c' 1 20 0 1000 1", 3},
      {"$boy $girl 'p10,0' 2 20 0 1000 1", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.setup) + " after " + std::to_string(c.frames));
    Scene scene;
    const uint32_t effect =
        scene.Call(Native::kEffectStart, scene.Parse(std::string("$layer 'sp_change' ") + c.setup));
    ASSERT_NE(effect, 0u) << "started";
    scene.Frames(c.frames);
    EXPECT_EQ(scene.Call(Native::kSpriteDestroy, {scene.rig.Var(scene.girl)}), 0u);
    scene.Frames(2);
    EXPECT_EQ(scene.Call(Native::kTaskIsAlive, {effect}), 0u);
    const Sprite* boy = scene.SpriteOf(scene.boy);
    ASSERT_NE(boy, nullptr);
    EXPECT_TRUE(boy->IsVisible());
    for (const Sprite* own : EffectSprites(scene)) EXPECT_FALSE(own->IsVisible()) << "combined";
  }
}

// A keyword's argument-array command that reports whether its first word reached it as a
// pointer.
int FirstWordIsAPointer(ArgWords args) {
  return args.Pointer<int32_t>(0) != nullptr;
}

// Words become pointers only as the keyword's kinds say: a script's number stays a number, a
// forged handle reads as no object, a text outside guest memory faults. A sprite destroyed under
// a running effect takes the effect with it first.
TEST(KeywordEffectWords, ReadAsTheirKindsSay) {
  Scene scene;
  EXPECT_EQ(0, scene.effects.Register(SpFadeEffect::Create, "fx_probe", kEffectTypeSprite, nullptr,
                                      FirstWordIsAPointer, 0));
  const uint32_t guestWord = scene.rig.Var(7);
  EXPECT_EQ(scene.Call(Native::kEffectCommand, {scene.Text("fx_probe"), guestWord}), 0u)
      << "no kinds: a number";
  (void)scene.effects.DeclareArgKinds("fx_probe", "|||w");
  EXPECT_EQ(scene.Call(Native::kEffectCommand, {scene.Text("fx_probe"), guestWord}), 1u)
      << "an out word";

  const uint32_t fade = scene.Call(Native::kEffectStart, {0, scene.Text("sp_fade"), 1, 0, 0});
  ASSERT_NE(fade, 0u);
  constexpr uint32_t kOtherGeneration = 1u << HandleTable::kIndexBits;
  EXPECT_EQ(
      scene.Call(Native::kEffectCommandA, {fade, 1, 0, scene.girl + kOtherGeneration, 100, 0, 0}),
      uint32_t(kSpFadeBadTarget))
      << "a forged handle";
  EXPECT_EQ(scene.Call(Native::kEffectCommandA, {fade, 1, 0, scene.girl, 100, 0, 0}),
            uint32_t(kSpFadeTargetSet));
  EXPECT_EQ(scene.Call(Native::kSpriteDestroy, {scene.rig.Var(scene.girl)}), 0u);
  EXPECT_EQ(scene.Call(Native::kTaskIsAlive, {fade}), 0u) << "the fade went before its sprite";
  scene.Frames(2);
  EXPECT_EQ(scene.timers.Count(), 0u);

  EXPECT_EQ(
      int32_t(scene.Call(Native::kFilterStart, {scene.layer, scene.Text("nofilter"), 0, 0, 100})),
      kRenderNativeWrongKind);
  const Words scroll{
      scene.layer, scene.Text("scroll"), 0, 0, 100, 0, 0, PastTheArena(scene.rig.Memory())};
  EXPECT_TRUE(scene.rig.CallAt(Native::kFilterStart, scene.rig.Words(scroll)).faulted)
      << "the exponent is a text";
}

}  // namespace
}  // namespace bw
