// Argument texts as game scripts hand them to effects: the cursor's readers, point lists, and
// motion paths parsed and read for their end state on a sprite and on a layer. Nothing may
// crash, and every reader stays inside the text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "effects/arg_cursor.h"
#include "effects/bg_rast_effect.h"
#include "effects/motion_path.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "platform/trig_tables.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void RunCursor(const std::string& text) {
  const char* end = text.c_str() + text.size();
  bw::ArgCursor cursor(text.c_str());
  char word[8];
  for (int step = 0; *cursor.Position() != '\0'; ++step) {
    const char* before = cursor.Position();
    int32_t value = 0;
    double decimal = 0;
    switch (step % 4) {
      case 0:
        // Any input may be refused; the run goes on.
        (void)cursor.ReadInt(&value);
        break;
      case 1:
        // A word that does not read keeps the default.
        (void)cursor.ReadDecimal(&decimal);
        break;
      case 2:
        // Any input may be refused; the run goes on.
        (void)cursor.ReadWord(word, sizeof word);
        break;
      default:
        cursor.SkipSeparators();
        cursor.SkipBlanks();
    }
    Check(cursor.Position() <= end);
    // A reader that did not move is stepped past one byte.
    if (cursor.Position() == before) cursor.SetText(before + 1);
  }
}

void RunPath(const std::string& text, const bw::Sprite* sprite, const bw::CompositionLayer& layer) {
  bw::MotionPath path;
  if (path.Parse(text.c_str(), sprite, &layer) == bw::kPathParsed) {
    Check(path.PositionCount() >= 1);
    for (int32_t i = 0; i < path.LastPosition(); ++i) {
      int32_t x = 0, y = 0;
      path.EvaluateLinear(i, 0.5, &x, &y);
      path.EvaluateCubic(i, 0.25, &x, &y);
    }
  } else {
    Check(path.Records().empty());
  }
  int32_t x = 0, y = 0, opacity = 0, order = 0, ox = 0, oy = 0;
  double zoom = 0, rotation = 0;
  if (bw::ReadPathEndState(text.c_str(), &x, &y, sprite, &layer, &opacity, &order, &zoom, &rotation,
                           &ox, &oy) == bw::kPathParsed) {
    Check(opacity >= 0 && opacity <= 255);
    Check(order >= 0 && order <= 2);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  RunCursor(text);
  std::vector<double> points;
  const int count = bw::ParsePointTriples(text.c_str(), points);
  Check(count < 0 || points.size() == static_cast<size_t>(count) * 3 + 3);

  // The "bg_haze" wave text and the table its triples make.
  std::vector<bw::WaveTriple> waves;
  if (bw::ParseWaveText(text.c_str(), waves) > 0) {
    static const bw::TrigTables trig;
    const auto n = static_cast<int32_t>(1 + size % 97);
    Check(bw::BgHazeEffect::BuildTable(trig, waves, n).size() == static_cast<size_t>(n));
  }

  static bw::ImageSurface area, picture;
  static bw::CompositionLayer layer;
  static bw::Sprite sprite;
  static const bool ready = [] {
    // Any input may be refused; the run goes on.
    (void)area.Create(64, 48, 32, 0);
    (void)picture.Create(96, 80, 32, 0);
    // A null one only unlinks, which cannot fail.
    (void)layer.SetTarget(&area, false);
    // A picture without pixels leaves the background as it was.
    (void)layer.SetBackgroundImage(&picture, 0, 0, false);
    sprite.SetPos(10, 12);
    return true;
  }();
  Check(ready);
  RunPath(text, &sprite, layer);
  RunPath(text, nullptr, layer);
  return 0;
}
