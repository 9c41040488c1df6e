#include "app/sysinfo/report_text.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "host/cp932.h"

namespace bw {

void AppendFormat(std::string* out, const char* utf8Format, ...) {
  // No CP932 trail byte is '%', so the converted format reads as the original.
  const std::string format = host::Cp932Literal(utf8Format);
  va_list args;
  va_start(args, utf8Format);
  va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(nullptr, 0, format.c_str(), args);
  va_end(args);
  if (length > 0) {
    size_t start = out->size();
    out->resize(start + static_cast<size_t>(length) + 1);
    std::vsnprintf(out->data() + start, static_cast<size_t>(length) + 1, format.c_str(), again);
    out->resize(start + static_cast<size_t>(length));
  }
  va_end(again);
}

std::string VersionText(uint8_t major, uint8_t minor, uint8_t revision) {
  std::string text;
  AppendFormat(&text, "%d.%02d", major, minor);
  if (revision != 0) AppendFormat(&text, "%x", revision);
  return text;
}

std::string DirectXText(const uint32_t (&version)[2]) {
  const uint32_t high = version[0];
  const uint32_t low = version[1];
  if (high == 0 && low == 0) return "Unknown";
  std::string text;
  AppendFormat(&text, "DirectX %u (%u.%02u.%02u.%04u)", high & 0xFFFF, high >> 16, high & 0xFFFF,
               low >> 16, low & 0xFFFF);
  return text;
}

std::string ClockText(double mhz) {
  const long rounded = mhz > 0 ? std::lround(mhz) : 0;
  std::string text;
  if (rounded <= 0) {
    text = host::Cp932Literal("？？MHz");
  } else if (rounded < 1000) {
    AppendFormat(&text, "%ldMHz", rounded);
  } else {
    AppendFormat(&text, "%ld.%02ldGHz", rounded / 1000, rounded % 1000 / 10);
  }
  return text;
}

std::string CacheText(const CpuRecord& cpu) {
  std::string text;
  auto add = [&](const char* format, uint32_t size) {
    if (size == 0) return;
    if (!text.empty()) text += " / ";
    AppendFormat(&text, format, size);
  };
  if (cpu.traceCacheK != 0) {
    add("L1 T-Cache %uKμOPs", cpu.traceCacheK);
  } else {
    add("L1 C-Cache %uKB", cpu.l1Code);
  }
  add("L1 D-Cache %uKB", cpu.l1Data);
  add("L2 Cache %uKB", cpu.l2);
  add("L3 Cache %uKB", cpu.l3);
  return text;
}

std::string FeatureMark(bool present) {
  return host::Cp932Literal(present ? "○" : "×");
}

namespace {

void AppendMegabytes(std::string* out, uint64_t bytes, const char* end) {
  const uint64_t mb = bytes >> 20;
  const unsigned a = static_cast<unsigned>(mb / 1000000);
  const unsigned b = static_cast<unsigned>(mb / 1000 % 1000);
  const unsigned c = static_cast<unsigned>(mb % 1000);
  if (a != 0) {
    AppendFormat(out, "%3u,%03u,%03u%s", a, b, c, end);
  } else if (b != 0) {
    AppendFormat(out, "    %3u,%03u%s", b, c, end);
  } else {
    AppendFormat(out, "        %3u%s", c, end);
  }
}

}  // namespace

std::string DriveSpaceText(uint64_t freeBytes, uint64_t totalBytes) {
  std::string text;
  AppendMegabytes(&text, freeBytes, " / ");
  AppendMegabytes(&text, totalBytes, " MB");
  return text;
}

}  // namespace bw
