// Pieces of text that the system report and the start-up log share. Formats are written in UTF-8
// in the source and become CP932 before they are filled, so every argument is CP932 too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/sysinfo/machine_facts.h"
#include "platform/cpu_info.h"

namespace bw {

// The texture formats a device can offer, in the order they are listed.
struct TextureFormatLine {
  uint32_t bit;
  const char* text;
};
inline constexpr TextureFormatLine kTextureFormatLines[] = {
    {kTexture555, "16bpp   RGB    5,5,5\r\n"},  {kTexture565, "16bpp   RGB    5,6,5\r\n"},
    {kTexture1555, "16bpp  ARGB  1,5,5,5\r\n"}, {kTexture4444, "16bpp  ARGB  4,4,4,4\r\n"},
    {kTexture888, "24bpp   RGB    8,8,8\r\n"},  {kTextureX888, "32bpp   RGB    8,8,8\r\n"},
    {kTexture8888, "32bpp  ARGB  8,8,8,8\r\n"},
};

// Appends the printf-style format (UTF-8, turned into CP932) filled with CP932 arguments.
void AppendFormat(std::string* out, const char* utf8Format, ...)
    __attribute__((format(printf, 2, 3)));

// "%d.%02d" of major and minor, with "%x" of the revision when it is not 0.
std::string VersionText(uint8_t major, uint8_t minor, uint8_t revision);

// Whole megabytes, for the "%dMB" fields.
[[nodiscard]] inline int Megabytes(uint64_t bytes) {
  return static_cast<int>(bytes >> 20);
}

// "DirectX %d (%d.%02d.%02d.%04d)" of the packed registry version, "Unknown" when there is none.
std::string DirectXText(const uint32_t (&version)[2]);

// "？？MHz" for 0, "%dMHz" below 1000 MHz, else "%d.%02dGHz".
std::string ClockText(double mhz);

// The known caches joined by " / ".
std::string CacheText(const CpuRecord& cpu);

// "○" for a present feature, "×" for a missing one.
std::string FeatureMark(bool present);

// Free and total space in MB with thousands grouped in fixed-width fields:
// "  1,234,567 /      5,000 MB".
std::string DriveSpaceText(uint64_t freeBytes, uint64_t totalBytes);

}  // namespace bw
