// The pixel-operation library: a table of routines at fixed positions that the surfaces, sprites,
// layers and effects call for stretched blits, blends, affine blits, fills and transitions, plus
// the 256 x 256 multiply table. A game ships the library in its folder; the engine carries its
// own table (the built-in one), which stands in for a library it cannot load, and loads a
// same-shaped shared object. A null published library means "absent": every caller then takes
// its own path without it, as a game folder without the library runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "graphics/surface/image_surface.h"

namespace bw {

struct CpuRecord;

constexpr int kLibraryPositions = 234;

// Positions the engine calls.
constexpr int kLibTouchedRect = 1;  // Rect*: what the last successful routine changed
constexpr int kLibFill32 = 2;       // Fill32Routine
constexpr int kLibFill8 = 3;        // Fill8Routine
constexpr int kLibBlendColor = 4;   // BlendColorRoutine
constexpr int kLibOpLevel = 5;      // OpLevelRoutine
constexpr int kLibOpByte = 7;       // OpByteRoutine
constexpr int kLibBlend = 9;        // BlendRoutine
constexpr int kLibStretch = 10;     // StretchRoutine
constexpr int kLibAffine = 11;      // AffineRoutine
constexpr int kLibBlitOpC = 12;     // WordsBlitRoutine
constexpr int kLibOpFour = 13;      // OpFourRoutine
constexpr int kLibFilterA32 = 14;   // FilterRoutine
constexpr int kLibFilterA8 = 15;
constexpr int kLibFilterB32 = 16;
constexpr int kLibFilterB8 = 17;
constexpr int kLibFilterChoice = 21;  // FilterValueRoutine (value unused)
constexpr int kLibFilterChoiceFlag = 22;
constexpr int kLibFilterC = 23;  // FilterValueRoutine
constexpr int kLibFilterD = 24;
constexpr int kLibCrossfade = 25;      // CrossfadeRoutine ("cross")
constexpr int kLibRuleBlend = 26;      // RuleBlendRoutine ("rule")
constexpr int kLibRowCrossBlend = 93;  // RowCrossBlendRoutine ("wave")

// The operation word of the blend, stretch and affine routines: the blend in bits 0-7, the
// mirror byte in bits 8-15, nothing above. Blends: the blit API passes 0, 2, 3 and 4, a sprite
// its draw mode (0, 2, 4, 5; 3 for a target with its own alpha), and into its work surface 1
// for a plain copy or its mirror mode 2 or 3. Mirror byte (stretch and affine only, for the
// callers that pass whole words): low nibble 0 none, 1 left-right, 2 upside down, 3 both; the
// high nibble may be 0x10, carried but not used. Any other value is refused.
constexpr uint32_t kLibOpacity = 0;    // crossfade by the opacity, target alpha kept
constexpr uint32_t kLibCopy = 1;       // all four bytes copied; the opacity is not used
constexpr uint32_t kLibAlpha = 2;      // alpha x opacity over, target alpha kept
constexpr uint32_t kLibOntoAlpha = 3;  // alpha onto a target with its own alpha
constexpr uint32_t kLibAdd = 4;        // source x opacity added
constexpr uint32_t kLibSubtract = 5;   // source x opacity subtracted
constexpr uint32_t kLibMirrorLeftRight = 1;
constexpr uint32_t kLibMirrorUpsideDown = 2;
constexpr uint32_t kLibMirrorSpriteFlag = 0x10;
constexpr uint32_t LibraryOperation(uint32_t blend, uint32_t mirror = 0) {
  return blend | mirror << 8;
}

struct LibPoint {
  double x, y;
};

// Routine shapes. Code-returning routines answer 0 on success; truth-valued ones true.
using Fill32Routine = bool (*)(ImageSurface* target, uint32_t argb, const Rect* rect);
using Fill8Routine = bool (*)(ImageSurface* target, uint32_t index, const Rect* rect);
using BlendColorRoutine = bool (*)(ImageSurface* target, uint32_t rgb, int opacity,
                                   const Rect* rect);
using OpLevelRoutine = bool (*)(ImageSurface* target, uint32_t value, int level, const Rect* rect,
                                int flag);
using OpByteRoutine = bool (*)(ImageSurface* target, int value, const Rect* rect);
using BlendRoutine = int (*)(ImageSurface* target, const Surface* source, int32_t x, int32_t y,
                             const Rect* rect, uint32_t operation, int opacity, uint32_t extra);
using StretchRoutine = int (*)(ImageSurface* target, const Surface* source, const Size* size,
                               int32_t x, int32_t y, const Rect* rect, uint32_t operation,
                               uint32_t extra1, int opacity, uint32_t extra2);
// Points: where the source rectangle's top-left, top-right and bottom-left corners land, as
// edges of the rectangle; target pixel centres lie on whole coordinates.
using AffineRoutine = int (*)(ImageSurface* target, const Surface* source, const LibPoint points[3],
                              const Rect* rect, uint32_t operation, uint32_t extra, int opacity,
                              const uint32_t extras[4]);
using WordsBlitRoutine = int (*)(ImageSurface* target, const Surface* source,
                                 const uint32_t* words);
using OpFourRoutine = int (*)(ImageSurface* target, const uint32_t* words);
using FilterRoutine = bool (*)(ImageSurface* target, const Rect* rect);
using FilterValueRoutine = bool (*)(ImageSurface* target, uint32_t value);
// The area (x, y, width, height) of the target from the two pictures' points, level 0..255.
struct LibArea {
  int32_t targetX, targetY, width, height;
  int32_t oldX, oldY, newX, newY;
};
using CrossfadeRoutine = int (*)(ImageSurface* target, const ImageSurface* oldImage,
                                 const ImageSurface* newImage, int level, uint32_t extra,
                                 const LibArea& area);
// The rule picture is read at (ruleX, ruleY) for the area's top-left pixel.
using RuleBlendRoutine = int (*)(ImageSurface* target, const ImageSurface* oldImage,
                                 const ImageSurface* newImage, const ImageSurface* rule, int level,
                                 int rampWidth, uint32_t extra, const LibArea& area, int32_t ruleX,
                                 int32_t ruleY);
using RowCrossBlendRoutine = void (*)(uint32_t* dst, const uint32_t* oldRow, const uint32_t* newRow,
                                      int count, int level);

// The table object a library hands out: a deleting destructor first, then positions 1 to 234.
class PixelRoutineTable {
 public:
  virtual ~PixelRoutineTable() = default;
  void* routine[kLibraryPositions] = {};
};

// The shared object's entry points: configured with the engine's row-copy, colour-copy and
// alpha-copy kernels, then asked for its table (owned by the caller).
using RowsKernel = void (*)(uint32_t*, const uint32_t*, ptrdiff_t, ptrdiff_t, int, int);
using LibraryConfigEntry = void (*)(uint32_t reserved, RowsKernel copy, RowsKernel copyColor,
                                    RowsKernel copyAlpha);
using LibraryTableEntry = PixelRoutineTable* (*)(const CpuRecord* cpu);
constexpr const char* kLibraryFileName = "tvpgl.dll";
constexpr const char* kLibraryConfigName = "tvpglConfig";
constexpr const char* kLibraryTableName = "GetLibrary";

// entry [a][b] = a x b / 255, truncated.
using MultiplyTable = uint8_t[256][256];

class PixelLibrary {
 public:
  // The built-in table.
  PixelLibrary();
  // The shared object in folder (a Linux path; the name matched without regard to case); without
  // one (or when it fails) the handle stays null and the object holds no table.
  PixelLibrary(const std::string& folder, const CpuRecord* cpu);
  ~PixelLibrary();
  PixelLibrary(const PixelLibrary&) = delete;
  PixelLibrary& operator=(const PixelLibrary&) = delete;

  bool IsBuiltIn() const { return builtIn_; }
  void* GetModule() const { return module_; }
  bool HasTable() const { return table_ != nullptr; }
  // Null for a position outside 1..234 or without a table.
  void* At(int position) const;
  template <typename Routine>
  Routine Get(int position) const {
    return reinterpret_cast<Routine>(At(position));
  }
  const Rect* Touched() const { return static_cast<const Rect*>(At(kLibTouchedRect)); }
  const MultiplyTable& Multiply() const;

 private:
  bool builtIn_ = false;
  void* module_ = nullptr;
  PixelRoutineTable* table_ = nullptr;
};

// The process-wide library; null = absent. Accepts a library with a module or the built-in one;
// refuses (false) any other.
[[nodiscard]] bool SetPixelLibrary(PixelLibrary* library);
PixelLibrary* GetPixelLibrary();
// The engine's own library, built once.
PixelLibrary& BuiltInPixelLibrary();
// The library a game folder (a Linux path) ships: a same-shaped shared object there is loaded
// into owned when the player trusts the game; any other file of the library's name (the game's
// own Windows module), or an untrusted shared object, has the built-in table stand in for it. Null,
// to run without a library, when the folder has no such file or its shared object does not bind.
PixelLibrary* BindFolderPixelLibrary(const std::string& folder, const CpuRecord* cpu,
                                     std::unique_ptr<PixelLibrary>& owned);

// Switches the process-wide library for a scope (null: the engine's own kernels).
class ScopedPixelLibrary {
 public:
  explicit ScopedPixelLibrary(PixelLibrary* library) : previous_(GetPixelLibrary()) {
    // A plug-in library without its module is refused; the one in force stays.
    (void)SetPixelLibrary(library);
  }
  // The library put back was taken once already.
  ~ScopedPixelLibrary() { (void)SetPixelLibrary(previous_); }

  ScopedPixelLibrary(const ScopedPixelLibrary&) = delete;
  ScopedPixelLibrary& operator=(const ScopedPixelLibrary&) = delete;

 private:
  PixelLibrary* previous_;
};

}  // namespace bw
