// The software rasteriser behind our Direct3D device: transformed vertices are assembled into
// points, lines and triangles, each drawn with the top-left fill rule at pixel centres, its texture
// coordinates interpolated with perspective, sampled by nearest texel or bilinearly, combined by
// texture stage 0 and blended into a memory surface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/surface/memory_surface.h"

namespace bw::host {

// Vertex-format bits.
constexpr uint32_t kFvfXyzRhw = 0x004;
constexpr uint32_t kFvfDiffuse = 0x040;
constexpr uint32_t kFvfTex1 = 0x100;

// Primitive types.
constexpr uint32_t kPrimitivePointList = 1;
constexpr uint32_t kPrimitiveLineList = 2;
constexpr uint32_t kPrimitiveLineStrip = 3;
constexpr uint32_t kPrimitiveTriangleList = 4;
constexpr uint32_t kPrimitiveTriangleStrip = 5;
constexpr uint32_t kPrimitiveTriangleFan = 6;

// Texture-stage values.
constexpr uint32_t kTopDisable = 1;
constexpr uint32_t kTopSelectArg1 = 2;
constexpr uint32_t kTopSelectArg2 = 3;
constexpr uint32_t kTopModulate = 4;
constexpr uint32_t kTopAdd = 7;
constexpr uint32_t kTopSubtract = 10;
constexpr uint32_t kTaDiffuse = 0;
constexpr uint32_t kTaCurrent = 1;
constexpr uint32_t kTaTexture = 2;
constexpr uint32_t kTaTFactor = 3;
constexpr uint32_t kTaddressWrap = 1;
constexpr uint32_t kTaddressClamp = 3;
constexpr uint32_t kTfgPoint = 1;
constexpr uint32_t kTfgLinear = 2;

// Blend factors and compare functions.
constexpr uint32_t kBlendZero = 1;
constexpr uint32_t kBlendOne = 2;
constexpr uint32_t kBlendSrcAlpha = 5;
constexpr uint32_t kBlendInvSrcAlpha = 6;
constexpr uint32_t kCmpNever = 1;
constexpr uint32_t kCmpLess = 2;
constexpr uint32_t kCmpEqual = 3;
constexpr uint32_t kCmpLessEqual = 4;
constexpr uint32_t kCmpGreater = 5;
constexpr uint32_t kCmpNotEqual = 6;
constexpr uint32_t kCmpGreaterEqual = 7;
constexpr uint32_t kCmpAlways = 8;

// Shade modes.
constexpr uint32_t kShadeFlat = 1;
constexpr uint32_t kShadeGouraud = 2;

struct RasterVertex {
  float x = 0, y = 0, z = 0, rhw = 1;
  uint32_t diffuse = 0xFFFFFFFFu;
  float u = 0, v = 0;
};

// Everything a draw reads of the device's state.
struct RasterState {
  const MemorySurface* texture = nullptr;
  bool linear = false;
  uint32_t addressU = kTaddressClamp;
  uint32_t addressV = kTaddressClamp;
  uint32_t colorOp = kTopModulate, colorArg1 = kTaTexture, colorArg2 = kTaCurrent;
  uint32_t alphaOp = kTopSelectArg1, alphaArg1 = kTaTexture, alphaArg2 = kTaCurrent;
  uint32_t textureFactor = 0xFFFFFFFFu;
  uint32_t shadeMode = kShadeGouraud;
  bool colorKeyEnable = false;
  bool alphaBlendEnable = false;
  uint32_t srcBlend = kBlendOne, destBlend = kBlendZero;
  bool alphaTestEnable = false;
  uint32_t alphaFunc = kCmpAlways;
  uint32_t alphaRef = 0;
  DdRect viewport;  // pixels drawn, already cut to the target
};

// Reads count vertices of format fvf (position with rhw, optional diffuse colour, optional one
// texture coordinate pair); false for any other format.
[[nodiscard]] bool ReadVertices(uint32_t fvf, const void* data, size_t count,
                                std::vector<RasterVertex>* out);

// Draws the primitives of type 1 to 6 into target (not locked); false for another type. Left-over
// vertices that make no whole primitive are ignored.
[[nodiscard]] bool DrawPrimitives(MemorySurface* target, const RasterState& state, uint32_t type,
                                  const std::vector<RasterVertex>& vertices);

}  // namespace bw::host
