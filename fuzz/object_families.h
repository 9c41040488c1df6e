// Every family of objects the natives hand a main script, as the script meets it: the natives
// that make one, natives that work on it and what they answer once it is gone, the native that
// releases it through the script's variable and what a second release answers, and a task,
// effect or part that works on it while it is released. The object-family tests play each row;
// the object fuzz target plays them in random orders with the handles mixed up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "object_world.h"
#include "script/script_handles.h"

namespace bw::fuzz {

// A native that works on an object, with a word of the caller's choosing among its arguments.
struct ObjectUse {
  int32_t (*call)(ObjectWorld& w, uint32_t handle, uint32_t word);
  int32_t gone;  // the answer once the object is gone
};

struct ObjectFamily {
  const char* name;
  ScriptObjectType type;
  uint32_t (*create)(ObjectWorld& w);  // the new object's handle, 0 when refused
  std::vector<ObjectUse> uses;
  int32_t (*release)(ObjectWorld& w, uint32_t handle);
  int32_t released;       // the release's answer
  int32_t releasedAgain;  // its answer for the same handle a second time
  // Sets something working on the object that runs on while frames pass: the user's handle (1
  // for a user without one), 0 when it could not be started. Null: nothing works on the family.
  uint32_t (*busy)(ObjectWorld& w, uint32_t handle);
  // What that user does once the object is gone (null: it only runs on).
  void (*afterwards)(ObjectWorld& w, uint32_t user);
};

namespace families {

constexpr uint32_t kSwitchOff = 65535;
constexpr uint32_t kMinusOne = 0xFFFFFFFF;
constexpr uint32_t kNoHandle = 1;  // a user that the script holds no handle of

inline uint32_t Made(int32_t answer) {
  return static_cast<uint32_t>(answer);
}
inline uint32_t Started(bool started) {
  return started ? kNoHandle : 0;
}
// Through a variable holding the handle, as the release natives take it.
inline int32_t ReleaseBy(ObjectWorld& w, uint32_t native, uint32_t handle) {
  return w.Answer(native, {w.Var(handle)});
}

inline uint32_t Image(ObjectWorld& w) {
  return Made(w.Answer(231, {16, 12, 32, 0}));
}
inline uint32_t OutlineRenderer(ObjectWorld& w) {
  return Made(w.Answer(168, {0, 16}));
}
// A sprite of the image listed in the container.
inline uint32_t SpriteIn(ObjectWorld& w, uint32_t container, uint32_t image) {
  const uint32_t sprite = Made(w.Answer(402, {image, kSwitchOff, 0, 0, 0, 2, 2}));
  return sprite && w.Answer(409, {container, sprite, 5, 0, 0}) == 0 ? sprite : 0;
}
inline uint32_t ShownSprite(ObjectWorld& w) {
  return SpriteIn(w, w.ScreenHandle(), Image(w));
}
// A path over the screen, started on a sprite or render item.
inline uint32_t MovePath(ObjectWorld& w, uint32_t native, uint32_t target) {
  return Made(w.Answer(native, {target, 1000, w.Text("(0,0)(40,30)(0,0)"), 0, 1, kSwitchOff}));
}
inline int32_t Place(ObjectWorld& w, uint32_t handle, uint32_t word) {
  return w.Answer(439, {handle, word, word});
}
// A layer of the same size shaken with the layer as its linked partner, as screens are.
inline bool Quake(ObjectWorld& w, uint32_t layer) {
  const uint32_t other = Made(w.Answer(238, {32, 24, 32, kLayerComposed}));
  return w.Answer(253, {other, layer}) == 0 &&
         w.Answer(218, {other, w.Text("quake"), 0, 10, 10, 1000, w.Text("0"), 0, 1, 1}) != 0;
}
// The part is registered with the pointer, holds the focus and has a tooltip.
inline uint32_t Pointed(ObjectWorld& w, uint32_t part) {
  constexpr int32_t kAlreadyRegistered = 2;  // a screen's parts register as they are made
  const int32_t registered = w.Answer(716, {part, kMinusOne});
  return Started((registered == 0 || registered == kAlreadyRegistered) &&
                 w.Answer(724, {part, w.Text("tip")}) == 1 && w.Answer(708, {part}) == 0);
}
// The main script's message, drawn on the picture with the renderer; then drawn again.
inline bool ShowMessage(ObjectWorld& w, uint32_t picture, uint32_t renderer) {
  const std::string block = std::string("\0\5\0", 3) + "#Ann$Hello";
  return w.Answer(468, {w.Text(block)}) == 0 &&
         w.Answer(470, {picture, 0, 4, 4, renderer, 0, 0, 0}) == 0 && w.Answer(474, {}) == 1;
}
inline void DrawMessageAgain(ObjectWorld& w, uint32_t) {
  w.Answer(476, {});
  w.Answer(474, {});
}

inline uint32_t LayerScreenSprite(ObjectWorld& w) {
  if (w.Answer(522, {w.ScreenHandle(), w.Text("S.GMP"), 5, 0, 1}) != 0) return 0;
  const uint32_t sprite = w.Var(0);
  w.Answer(525, {0, 0, sprite, 0, 0, 0});
  return w.Word(sprite);
}
inline uint32_t PartScreenPart(ObjectWorld& w) {
  if (w.Answer(527, {w.Text("S.GMP"), 0, 0, 0}) != 0) return 0;
  const uint32_t part = w.Var(0);
  w.Answer(530, {0, part, 0, 0, 0});
  return w.Word(part);
}

inline int32_t ReleasePart(ObjectWorld& w, uint32_t h) {
  return ReleaseBy(w, 715, h);
}
inline int32_t PartWidth(ObjectWorld& w, uint32_t h, uint32_t) {
  return w.Answer(734, {h});
}
inline int32_t Length(ObjectWorld& w, uint32_t h, uint32_t) {
  return w.Answer(620, {h});
}
inline int32_t Play(ObjectWorld& w, uint32_t h, uint32_t) {
  return w.Answer(608, {h});
}

inline const std::vector<ObjectFamily>& All() {
  static const std::vector<ObjectFamily> all = {
      {"text renderer",
       ScriptObjectType::kTextRenderer,
       OutlineRenderer,
       {{[](ObjectWorld& w, uint32_t h, uint32_t word) {
           return w.Answer(172, {h, 8 + word % 32});
         },
         -1},
        {[](ObjectWorld& w, uint32_t h, uint32_t) {
           const uint32_t out = w.Block(16);
           return w.Answer(187, {h, w.Text("AB"), out, out + 4, 0, 0});
         },
         -1}},
       [](ObjectWorld& w, uint32_t h) { return ReleaseBy(w, 169, h); },
       0,
       2,
       // A list's items, the tooltip over a box under the pointer and the message drawn with it.
       [](ObjectWorld& w, uint32_t h) {
         const uint32_t list = Made(w.Answer(698, {0, 40, 40, 12, 0, h, 0}));
         const uint32_t box = Made(w.Answer(690, {0, 0, 20, 10, 1, 2, 3, 0}));
         w.PointAt(4, 4);
         const bool drawn = w.Answer(787, {list, w.Text("one"), w.Text("tip"), kMinusOne}) == 0 &&
                            w.Answer(703, {1, 0, 0, h}) == 0 && Pointed(w, box) &&
                            ShowMessage(w, Image(w), h);
         return drawn ? list : 0;
       },
       // The pointer leaves the box and comes back; the list takes an item.
       [](ObjectWorld& w, uint32_t list) {
         w.PointAt(100, 100);
         w.Pass(50);
         w.PointAt(4, 4);
         w.Pass(50);
         w.Answer(787, {list, w.Text("two"), 0, kMinusOne});
         DrawMessageAgain(w, list);
       }},
      {"image",
       ScriptObjectType::kSurface,
       Image,
       {{[](ObjectWorld& w, uint32_t h, uint32_t) { return w.Answer(244, {h}); }, 0},
        {[](ObjectWorld& w, uint32_t h, uint32_t word) {
           return w.Answer(323, {h, word, kSwitchOff, 0, 0, 0}) + 1;
         },
         0}},
       [](ObjectWorld& w, uint32_t h) { return ReleaseBy(w, 243, h); },
       0,
       2,
       // Shown by a moving sprite, and the message's picture.
       [](ObjectWorld& w, uint32_t h) {
         const uint32_t sprite = SpriteIn(w, w.ScreenHandle(), h);
         return Started(sprite && MovePath(w, 446, sprite) &&
                        ShowMessage(w, h, OutlineRenderer(w)));
       },
       DrawMessageAgain},
      {"canvas layer",
       ScriptObjectType::kSurface,
       [](ObjectWorld& w) {
         return Made(w.Answer(238, {32, 24, 32, kLayerComposed}));
       },
       {{[](ObjectWorld& w, uint32_t h, uint32_t) { return w.Answer(245, {h}); }, 0},
        {[](ObjectWorld& w, uint32_t h, uint32_t word) {
           return w.Answer(419, {h, word, 1});
         },
         -1}},
       [](ObjectWorld& w, uint32_t h) { return ReleaseBy(w, 243, h); },
       0,
       2,
       // Shaken by an effect, with a sprite of its own; the parts and the tooltips go on it.
       [](ObjectWorld& w, uint32_t h) {
         const uint32_t box = Made(w.Answer(690, {2, 2, 8, 8, 1, 2, 3, 0}));
         return Quake(w, h) && SpriteIn(w, h, Image(w)) && w.Answer(702, {h}) == 0 &&
                        Pointed(w, Made(w.Answer(690, {2, 2, 8, 8, 1, 2, 3, 0})))
                    ? box
                    : 0;
       },
       // New parts are made and an old one is moved on among them.
       [](ObjectWorld& w, uint32_t box) {
         const uint32_t other = Made(w.Answer(690, {4, 4, 8, 8, 1, 2, 3, 0}));
         w.Answer(732, {box, 3});
         w.Answer(732, {other, 3});
         w.Pass(100);
       }},
      {"offscreen layer",
       ScriptObjectType::kSurface,
       [](ObjectWorld& w) {
         return Made(w.Answer(239, {32, 24, 32, 1}));
       },
       {{[](ObjectWorld& w, uint32_t h, uint32_t) { return w.Answer(244, {h}); }, 0},
        {[](ObjectWorld& w, uint32_t h, uint32_t) { return w.Answer(420, {h}); }, -1}},
       [](ObjectWorld& w, uint32_t h) { return ReleaseBy(w, 243, h); },
       0,
       2,
       [](ObjectWorld& w, uint32_t h) { return Started(Quake(w, h) && SpriteIn(w, h, Image(w))); },
       nullptr},
      {"sprite",
       ScriptObjectType::kDisplayObject,
       ShownSprite,
       {{Place, 0},
        {[](ObjectWorld& w, uint32_t h, uint32_t word) {
           return w.Answer(441, {h, word, word});
         },
         0},
        {[](ObjectWorld& w, uint32_t h, uint32_t) {
           return w.Answer(443, {h, h});
         },
         0}},
       [](ObjectWorld& w, uint32_t h) { return ReleaseBy(w, 408, h); },
       0,
       2,
       // On a path and fading.
       [](ObjectWorld& w, uint32_t h) {
         const uint32_t fade = Made(w.Answer(218, {0, w.Text("sp_fade"), 1, 0, 0}));
         return Started(MovePath(w, 446, h) && fade &&
                        w.Answer(219, {fade, 1, 0, h, 100, 0, 0}) == 0);
       },
       nullptr},
      {"colour rectangle",
       ScriptObjectType::kDisplayObject,
       [](ObjectWorld& w) {
         const uint32_t rect = Made(w.Answer(404, {8, 8, 0x80FF0000, 2, 2}));
         return w.Answer(409, {w.ScreenHandle(), rect, 5, 0, 0}) == 0 ? rect : 0;
       },
       {{Place, 0},
        {[](ObjectWorld& w, uint32_t h, uint32_t word) {
           return w.Answer(441, {h, word, word});
         },
         0}},
       [](ObjectWorld& w, uint32_t h) { return ReleaseBy(w, 408, h); },
       0,
       2,
       nullptr,
       nullptr},
      {"render item",
       ScriptObjectType::kRenderItem,
       [](ObjectWorld& w) {
         const uint32_t item = Made(w.Answer(263, {8, 8, 0xFF00FF00, 2, 2}));
         return w.Answer(271, {item, 3, 0}) == 0 ? item : 0;
       },
       {{[](ObjectWorld& w, uint32_t h, uint32_t word) {
           return w.Answer(283, {h, word, word});
         },
         0},
        {[](ObjectWorld& w, uint32_t h, uint32_t) {
           const uint32_t out = w.Block(16);
           return w.Answer(314, {h, out, out + 4, out + 8, out + 12});
         },
         0}},
       [](ObjectWorld& w, uint32_t h) { return ReleaseBy(w, 270, h); },
       0,
       2,
       [](ObjectWorld& w, uint32_t h) { return MovePath(w, 315, h); },
       nullptr},
      {"task",
       ScriptObjectType::kTimedTask,
       [](ObjectWorld& w) { return MovePath(w, 446, ShownSprite(w)); },
       {{[](ObjectWorld& w, uint32_t h, uint32_t) { return w.Answer(211, {h}); }, 0},
        {[](ObjectWorld& w, uint32_t h, uint32_t) { return w.Answer(214, {h}); }, 0}},
       // True when found, then not found.
       [](ObjectWorld& w, uint32_t h) { return ReleaseBy(w, 212, h); },
       1,
       0,
       nullptr,
       nullptr},
      {"sound buffer",
       ScriptObjectType::kSoundBuffer,
       [](ObjectWorld& w) {
         return Made(w.Answer(603, {w.Text("SE.OGG"), 0}));
       },
       {{Length, 0}, {Play, -1}},
       [](ObjectWorld& w, uint32_t h) { return ReleaseBy(w, 607, h); },
       0,
       2,
       // Fading in, and driving the cells of a picture.
       [](ObjectWorld& w, uint32_t h) {
         const uint32_t cells = Made(w.Answer(
             532, {w.Text("CELLS.BMP"), 3, 100, 0, Image(w), 1, 1, 0, 0, kSwitchOff, 0, 0}));
         return Started(w.Answer(613, {h, 500, 1}) == 0 && w.Answer(539, {cells, h}) != 0);
       },
       nullptr},
      {"channel sound",
       ScriptObjectType::kSoundBuffer,
       [](ObjectWorld& w) {
         w.Answer(672, {3, w.Text("SE.OGG")});
         return Made(w.Answer(682, {3}));
       },
       {{Length, 0}, {Play, -1}},
       // A channel's sound is the channel's: no script release reaches it, fewer channels do.
       [](ObjectWorld& w, uint32_t h) {
         return ReleaseBy(w, 607, h) == 2 ? w.Answer(668, {1}) : -1;
       },
       0,
       0,
       [](ObjectWorld& w, uint32_t) {
         return Started(w.Answer(675, {3, 1}) == 0 && w.Answer(679, {500, 3}) == 0);
       },
       nullptr},
      {"colour box part",
       ScriptObjectType::kGuiPart,
       [](ObjectWorld& w) {
         return Made(w.Answer(690, {2, 2, 20, 10, 1, 2, 3, 0}));
       },
       {{PartWidth, 0},
        {[](ObjectWorld& w, uint32_t h, uint32_t) { return w.Answer(730, {h}); }, 0},
        {[](ObjectWorld& w, uint32_t h, uint32_t word) {
           return w.Answer(723, {h, word});
         },
         0}},
       ReleasePart,
       0,
       2,
       Pointed,
       nullptr},
      {"hit area part",
       ScriptObjectType::kGuiPart,
       [](ObjectWorld& w) {
         return Made(w.Answer(699, {10, 10, 30, 20, kMinusOne, 0, 0, 0}));
       },
       {{[](ObjectWorld& w, uint32_t h, uint32_t word) {
           return w.Answer(750, {h, word, word});
         },
         0},
        {PartWidth, 0}},
       ReleasePart,
       0,
       2,
       Pointed,
       nullptr},
      {"image list part",
       ScriptObjectType::kGuiPart,
       [](ObjectWorld& w) {
         return Made(w.Answer(698, {0, 0, 40, 12, 0, OutlineRenderer(w), 0}));
       },
       {{[](ObjectWorld& w, uint32_t h, uint32_t) {
           return w.Answer(787, {h, w.Text("item"), 0, kMinusOne}) + 1;
         },
         5},
        {[](ObjectWorld& w, uint32_t h, uint32_t word) {
           return w.Answer(788, {h, word % 2, 1});
         },
         -1}},
       ReleasePart,
       0,
       2,
       // The current list, focused, with its items.
       [](ObjectWorld& w, uint32_t h) {
         return Started(w.Answer(787, {h, w.Text("one"), w.Text("tip"), kMinusOne}) == 0 &&
                        w.Answer(787, {h, w.Text("two"), 0, kMinusOne}) == 0 &&
                        w.Answer(789, {h}) == 0 && Pointed(w, h));
       },
       nullptr},
      {"animation data",
       ScriptObjectType::kHvaData,
       [](ObjectWorld& w) {
         return Made(w.Answer(510, {w.Text("A.HVA"), 0}));
       },
       {{[](ObjectWorld& w, uint32_t h, uint32_t) {
           return w.Answer(513, {h, w.Text("A.HVA"), 0}) + 1;
         },
         -1}},
       [](ObjectWorld& w, uint32_t h) { return ReleaseBy(w, 511, h); },
       0,
       2,
       [](ObjectWorld& w, uint32_t h) {
         return Made(w.Answer(514, {w.ScreenHandle(), h, 0, kMinusOne, 5, 0, 0, 0, 0, 0}));
       },
       nullptr},
      {"background animation",
       ScriptObjectType::kHvdAnimation,
       [](ObjectWorld& w) { return Made(w.Answer(517, {w.Text("A.HVD")})); },
       {{[](ObjectWorld& w, uint32_t h, uint32_t) {
           return w.Answer(521, {h, 0});
         },
         0},
        {[](ObjectWorld& w, uint32_t h, uint32_t) {
           return w.Answer(520, {h, w.Text("A.HVD")}) + 1;
         },
         -1}},
       [](ObjectWorld& w, uint32_t h) { return ReleaseBy(w, 518, h); },
       0,
       2,
       nullptr,
       nullptr},
      {"cell image",
       ScriptObjectType::kCellImage,
       [](ObjectWorld& w) {
         return Made(w.Answer(
             532, {w.Text("CELLS.BMP"), 3, 100, 0, Image(w), 1, 1, 0, 0, kSwitchOff, 0, 0}));
       },
       {{[](ObjectWorld& w, uint32_t h, uint32_t) { return w.Answer(540, {h}); }, 0}},
       [](ObjectWorld& w, uint32_t h) { return ReleaseBy(w, 535, h); },
       0,
       2,
       [](ObjectWorld& w, uint32_t h) {
         return Made(w.Answer(538, {h, 0, 100, 0, 0}));
       },
       nullptr},
      {"screen sprite",
       ScriptObjectType::kDisplayObject,
       LayerScreenSprite,
       {{Place, 0},
        // Read back through the screen's records, then moved.
        {[](ObjectWorld& w, uint32_t, uint32_t word) {
           const uint32_t sprite = w.Var(0);
           w.Answer(525, {0, 0, sprite, 0, 0, 0});
           return Place(w, w.Word(sprite), word);
         },
         0},
        {[](ObjectWorld& w, uint32_t, uint32_t word) {
           const uint32_t sprites = w.Block(8);
           w.Answer(526, {0, 0, 0, sprites, 0, 0, 0});
           return Place(w, w.Word(sprites), word);
         },
         0}},
       [](ObjectWorld& w, uint32_t h) { return ReleaseBy(w, 408, h); },
       0,
       2,
       [](ObjectWorld& w, uint32_t h) { return MovePath(w, 446, h); },
       // The screen is cleared.
       [](ObjectWorld& w, uint32_t) { w.Answer(523, {}); }},
      {"screen part",
       ScriptObjectType::kGuiPart,
       PartScreenPart,
       {{PartWidth, 0},
        {[](ObjectWorld& w, uint32_t, uint32_t) {
           const uint32_t part = w.Var(0);
           w.Answer(530, {0, part, 0, 0, 0});
           return w.Answer(734, {w.Word(part)});
         },
         0}},
       ReleasePart,
       0,
       2,
       Pointed,
       [](ObjectWorld& w, uint32_t) { w.Answer(528, {}); }},
      {"movie",
       ScriptObjectType::kDisplayObject,
       [](ObjectWorld& w) {
         if (!ObjectGameFiles::Get().HasMovie() || w.Answer(632, {w.Text("OP.MPG"), 0, 5}) != 0)
           return 0u;
         return Made(w.Answer(651, {}));
       },
       {{[](ObjectWorld& w, uint32_t, uint32_t word) {
           return w.Answer(639, {word, word, word + 32, word + 24}) + 1;
         },
         0},
        {[](ObjectWorld& w, uint32_t, uint32_t) { return w.Answer(641, {}); }, 0},
        // Placed by the sprite natives like any display object.
        {Place, 0}},
       // One movie at a time: closing answers 0 whether one is open or not.
       [](ObjectWorld& w, uint32_t) { return w.Answer(633, {}); },
       0,
       0,
       [](ObjectWorld& w, uint32_t) { return Started(w.Answer(635, {}) == 0); },
       nullptr},
      {"file",
       ScriptObjectType::kFile,
       [](ObjectWorld& w) { return Made(w.Answer(124, {})); },
       {{[](ObjectWorld& w, uint32_t h, uint32_t) {
           return w.Answer(127, {h, w.Text("P.BMP")});
         },
         5}},
       [](ObjectWorld& w, uint32_t h) { return ReleaseBy(w, 125, h); },
       0,
       2,
       nullptr,
       nullptr},
      // Its text is its value; what it holds reaches the script as a copy of its own.
      {"text field part",
       ScriptObjectType::kGuiPart,
       [](ObjectWorld& w) {
         return Made(w.Answer(691, {OutlineRenderer(w), 60, 0, 0, kSwitchOff}));
       },
       {{[](ObjectWorld& w, uint32_t h, uint32_t word) {
           return w.Answer(738, {h, w.Text(std::to_string(word))}) + 1;
         },
         0},
        {[](ObjectWorld& w, uint32_t h, uint32_t) { return w.Answer(739, {h}); }, -1}},
       ReleasePart,
       0,
       2,
       Pointed,
       nullptr},
  };
  return all;
}

}  // namespace families

inline const std::vector<ObjectFamily>& ObjectFamilies() {
  return families::All();
}

// The object fuzz target reads its input as steps of four bytes: a verb, then three operands.
constexpr size_t kStepBytes = 4;
enum class Verb : uint8_t {
  kCreate,      // a family: its object joins the pool
  kUse,         // a pool entry, a use, a word pick (its top bit: the handle of another entry)
  kRelease,     // a pool entry
  kBusy,        // a pool entry: something starts working on it
  kAfterwards,  // a busy record: its user goes on
  kPass,        // frames pass: 16 ms times the operand plus one
  kSweep,       // a native that ends many objects at once
  kCount
};

// A family's play as the tests play it, as fuzz input: made, used, set working, released,
// used again, released again, and its user going on.
inline std::vector<uint8_t> FamilyPlay(size_t family) {
  const ObjectFamily& f = ObjectFamilies()[family];
  auto step = [](Verb verb, size_t a, size_t b = 0, size_t c = 0) {
    return std::vector<uint8_t>{uint8_t(verb), uint8_t(a), uint8_t(b), uint8_t(c)};
  };
  std::vector<std::vector<uint8_t>> steps = {step(Verb::kCreate, family)};
  for (size_t u = 0; u < f.uses.size(); ++u) steps.push_back(step(Verb::kUse, 0, u, 2));
  if (f.busy) steps.push_back(step(Verb::kBusy, 0));
  steps.push_back(step(Verb::kPass, 3));
  steps.push_back(step(Verb::kRelease, 0));
  for (size_t u = 0; u < f.uses.size(); ++u) steps.push_back(step(Verb::kUse, 0, u, 2));
  steps.push_back(step(Verb::kRelease, 0));
  if (f.busy && f.afterwards) steps.push_back(step(Verb::kAfterwards, 0));
  steps.push_back(step(Verb::kPass, 3));
  std::vector<uint8_t> bytes;
  for (const auto& s : steps) bytes.insert(bytes.end(), s.begin(), s.end());
  return bytes;
}

}  // namespace bw::fuzz
