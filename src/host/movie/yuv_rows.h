// Rows of 4:2:0 pictures as 32-bit pixels (blue in the lowest byte, the top byte 0xff), in the
// studio-range BT.601 colours FFmpeg's converter also assumes for untagged movies. Each chroma
// sample covers two pixels of two rows. All kernels give the same pixels: the plain one is their
// reference and converts the ends of rows the vectors leave.
#pragma once

#include <cstdint>

namespace bw::host {

void YuvRowToXrgbPlain(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint32_t* out,
                       int width);
// bypassCache writes a row aligned to 16 bytes past the caches: for frames too large to stay in
// them, so the decoder keeps its reference pictures there. The caller fences those stores
// (_mm_sfence) once, after its last row, before another thread reads them: a fence a row would
// wait for each row to reach memory.
void YuvRowToXrgbSse2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint32_t* out,
                      int width, bool bypassCache = false);
// Only where HasAvx2().
void YuvRowToXrgbAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint32_t* out,
                      int width, bool bypassCache = false);
// Two rows over one chroma row, which then costs once; y1 and out1 may be null for one row.
void YuvRowPairToXrgbAvx2(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v,
                          uint32_t* out0, uint32_t* out1, int width, bool bypassCache = false);
// Only where HasAvx512() (AVX-512 F and BW): 64 pixels a step, half the AVX2 kernel's work.
void YuvRowPairToXrgbAvx512(const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
                            const uint8_t* v, uint32_t* out0, uint32_t* out1, int width,
                            bool bypassCache = false);
// Only where HasAvx512Vbmi(): the same with byte permutes, fewer shuffles a pixel.
void YuvRowPairToXrgbAvx512Vbmi(const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
                                const uint8_t* v, uint32_t* out0, uint32_t* out1, int width,
                                bool bypassCache = false);
bool HasAvx512();
bool HasAvx512Vbmi();
bool HasAvx2();
// The widest kernel the processor runs.
void YuvRowToXrgb(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint32_t* out, int width,
                  bool bypassCache = false);
// Two rows over one chroma row.
void YuvRowPairToXrgb(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v,
                      uint32_t* out0, uint32_t* out1, int width, bool bypassCache = false);

}  // namespace bw::host
