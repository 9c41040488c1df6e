#include "platform/cpu_info.h"

#include <cpuid.h>
#include <x86intrin.h>

#include <cstring>
#include <memory>

#include "host/clock.h"
#include "platform/cpu_model_name.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

class Native final : public CpuProbe {
 public:
  bool HasCpuid() override { return __get_cpuid_max(0, nullptr) != 0; }
  CpuidRegisters Cpuid(uint32_t leaf) override {
    CpuidRegisters r;
    __cpuid_count(leaf, 0, r.eax, r.ebx, r.ecx, r.edx);
    return r;
  }
  uint64_t ReadTimeStampCounter() override { return __rdtsc(); }
  // The platform's code for an x86-64 processor; no name is kept for it.
  uint32_t PlatformProcessorType() override { return 8664; }
};

bool Bit(uint32_t value, int bit) {
  return (value >> bit) & 1;
}

struct CacheDescriptor {
  uint8_t code;
  uint8_t level;  // 0 trace, 1 code, 2 data, 3 L2, 4 L3
  uint32_t size;
};

constexpr CacheDescriptor kIntelCaches[] = {
    {0x06, 1, 8},    {0x08, 1, 16},   {0x15, 1, 16},   {0x77, 1, 16},   {0x0A, 2, 8},
    {0x66, 2, 8},    {0x0C, 2, 16},   {0x10, 2, 16},   {0x67, 2, 16},   {0x2C, 2, 32},
    {0x68, 2, 32},   {0x30, 1, 32},   {0x1A, 3, 96},   {0x39, 3, 128},  {0x3B, 3, 128},
    {0x41, 3, 128},  {0x79, 3, 128},  {0x81, 3, 128},  {0x3C, 3, 256},  {0x42, 3, 256},
    {0x7A, 3, 256},  {0x7E, 3, 256},  {0x82, 3, 256},  {0x43, 3, 512},  {0x7B, 3, 512},
    {0x83, 3, 512},  {0x86, 3, 512},  {0x44, 3, 1024}, {0x7C, 3, 1024}, {0x84, 3, 1024},
    {0x87, 3, 1024}, {0x45, 3, 2048}, {0x85, 3, 2048}, {0x22, 4, 512},  {0x23, 4, 1024},
    {0x25, 4, 2048}, {0x88, 4, 2048}, {0x29, 4, 4096}, {0x89, 4, 4096}, {0x8A, 4, 8192},
    {0x8D, 4, 3096}, {0x70, 0, 12},   {0x71, 0, 16},   {0x72, 0, 32},
};

}  // namespace

CpuProbe& NativeCpuProbe() {
  static Native probe;
  return probe;
}

uint8_t CpuIdentifier::Identify() {
  if (identified_) return kCpuAlreadyIdentified;
  identified_ = true;
  CpuRecord& r = record_;
  if (!probe_.HasCpuid()) {
    r.modelName = NameCpuModel(r, probe_);
    return kCpuNoCpuid;
  }
  const CpuidRegisters leaf0 = probe_.Cpuid(0);
  std::memcpy(r.vendor, &leaf0.ebx, 4);
  std::memcpy(r.vendor + 4, &leaf0.edx, 4);
  std::memcpy(r.vendor + 8, &leaf0.ecx, 4);
  r.vendor[12] = 0;
  uint8_t descriptors[16] = {};
  if (leaf0.eax >= 1) {
    const CpuidRegisters leaf1 = probe_.Cpuid(1);
    r.stepping = leaf1.eax & 0xF;
    r.model = (leaf1.eax >> 4) & 0xF;
    r.family = (leaf1.eax >> 8) & 0xF;
    r.type = (leaf1.eax >> 12) & 0x3;
    r.extendedFamily = uint8_t(leaf1.eax >> 20);
    r.brandIndex = uint8_t(leaf1.ebx);
    r.fpu = Bit(leaf1.edx, 0);
    r.tsc = Bit(leaf1.edx, 4);
    r.cmov = Bit(leaf1.edx, 15);
    r.mmx = Bit(leaf1.edx, 23);
    r.sse = Bit(leaf1.edx, 25);
    r.sse2 = Bit(leaf1.edx, 26);
    r.htt = Bit(leaf1.edx, 28) && ((leaf1.ebx >> 16) & 0xFF) > 1;
    r.ia64 = Bit(leaf1.edx, 30);
    r.sse3 = Bit(leaf1.ecx, 0);
  }
  if (leaf0.eax > 1) {
    const CpuidRegisters leaf2 = probe_.Cpuid(2);
    std::memcpy(descriptors, &leaf2.eax, 4);
    std::memcpy(descriptors + 4, &leaf2.ebx, 4);
    std::memcpy(descriptors + 8, &leaf2.ecx, 4);
    std::memcpy(descriptors + 12, &leaf2.edx, 4);
  }
  const uint32_t highestExtended = probe_.Cpuid(0x80000000u).eax;
  if (highestExtended > 0x80000000u) {
    const CpuidRegisters ext1 = probe_.Cpuid(0x80000001u);
    r.amdMmx = Bit(ext1.edx, 22);
    r.now3dPlus = Bit(ext1.edx, 30);
    r.now3d = Bit(ext1.edx, 31);
    r.longMode = Bit(ext1.edx, 29);
    r.multiprocessor = Bit(ext1.edx, 19);
    r.extendedBrandId = ext1.ebx;
  }
  r.mmxPlus = r.amdMmx || r.sse;
  if (highestExtended > 0x80000003u) {
    char text[49] = {};
    for (uint32_t i = 0; i < 3; ++i) {
      const CpuidRegisters b = probe_.Cpuid(0x80000002u + i);
      std::memcpy(text + 16 * i, &b.eax, 4);
      std::memcpy(text + 16 * i + 4, &b.ebx, 4);
      std::memcpy(text + 16 * i + 8, &b.ecx, 4);
      std::memcpy(text + 16 * i + 12, &b.edx, 4);
    }
    const char* start = text;
    while (*start == ' ') ++start;
    r.brand = start;
    r.hasBrand = true;
  }
  if (highestExtended > 0x80000006u) r.mobile = Bit(probe_.Cpuid(0x80000007u).edx, 2);
  ReadCaches(descriptors, highestExtended);
  r.modelName = NameCpuModel(r, probe_);
  if (r.modelName.size() > 63) r.modelName.resize(63);
  return kCpuIdentified;
}

void CpuIdentifier::ReadCaches(const uint8_t descriptors[16], uint32_t highestExtended) {
  CpuRecord& r = record_;
  const std::string vendor = r.vendor;
  if (vendor == "GenuineIntel") {
    for (int i = 1; i < 16; ++i) {
      const uint8_t code = descriptors[i];
      if (code == 0x40) {  // no third level on family 15, else no second
        (r.family == 15 ? r.l3 : r.l2) = 0;
        continue;
      }
      for (const CacheDescriptor& d : kIntelCaches) {
        if (d.code != code) continue;
        uint32_t* slots[] = {&r.traceCacheK, &r.l1Code, &r.l1Data, &r.l2, &r.l3};
        *slots[d.level] = d.size;
      }
    }
    return;
  }
  if (r.family == 5 && highestExtended <= 0x80000000u) {
    const bool big = r.model == 4 || r.model == 8;
    r.l1Code = r.l1Data = big ? 16 : 8;
    return;
  }
  if (highestExtended >= 0x80000005u) {
    const CpuidRegisters l1 = probe_.Cpuid(0x80000005u);
    r.l1Data = l1.ecx >> 24;
    r.l1Code = l1.edx >> 24;
  }
  if (highestExtended >= 0x80000006u) {
    const CpuidRegisters l2 = probe_.Cpuid(0x80000006u);
    r.l2 = l2.ecx >> 16;
    if (vendor == "CentaurHauls" && r.family == 6 && (r.model == 7 || r.model == 8)) {
      r.l2 = l2.ecx >> 24;
    } else if (vendor == "AuthenticAMD" && r.family == 6 && r.model == 3 && r.stepping == 0) {
      r.l2 = 64;
    } else if (vendor == "AuthenticAMD" && r.family == 6 && r.model == 4 && r.stepping <= 1) {
      r.l2 = 256;
    }
  }
}

double CpuIdentifier::MeasureClock() {
  if (record_.clockMeasured) return record_.clockMhz;
  record_.clockMeasured = true;
  if (!record_.tsc) return record_.clockMhz = 0;
  // The host always has a performance counter, so the measuring wait is a sleep.
  const int64_t frequency = host::QueryPerformanceFrequency();
  const uint32_t before = uint32_t(probe_.ReadTimeStampCounter());
  const int64_t start = host::QueryPerformanceCounter();
  host::Sleep(500);
  const int64_t elapsed = host::QueryPerformanceCounter() - start;
  const uint32_t cycles = uint32_t(probe_.ReadTimeStampCounter()) - before;
  // Microseconds slept: half a second and whatever the sleep overran (or fell short) by.
  const double mhz =
      cycles / (500000.0 + 1000000.0 * double(elapsed - frequency / 2) / double(frequency));
  record_.clockMhz = float(mhz);
  return record_.clockMhz;
}

void CpuIdentifier::ApplyFeatureSwitches(const uint8_t switches[4]) {
  if (switches[kCpuSwitchTsc] == 0) record_.tsc = false;
  if (switches[kCpuSwitchMmx] == 0) record_.mmx = false;
  if (switches[kCpuSwitchSse] == 0) record_.sse = false;
  if (switches[kCpuSwitchMmxPlus] == 0) record_.mmxPlus = false;
}

namespace {
std::unique_ptr<CpuIdentifier>& TheIdentifierSlot() {
  static std::unique_ptr<CpuIdentifier> identifier =
      std::make_unique<CpuIdentifier>(NativeCpuProbe());
  return identifier;
}
CpuIdentifier& TheIdentifier() {
  return *TheIdentifierSlot();
}
}  // namespace

uint8_t IdentifyCpu() {
  uint8_t result = TheIdentifier().Identify();
  if (result != kCpuAlreadyIdentified) SetMmxEnabled(TheIdentifier().Record().mmx);
  return result;
}

double MeasureCpuClock() {
  return TheIdentifier().MeasureClock();
}

void ApplyCpuFeatureSwitches(const uint8_t switches[4]) {
  TheIdentifier().ApplyFeatureSwitches(switches);
  if (switches[kCpuSwitchMmx] == 0) SetMmxEnabled(false);
}

void ResetCpuIdentification(CpuProbe* probe) {
  TheIdentifierSlot() = std::make_unique<CpuIdentifier>(probe ? *probe : NativeCpuProbe());
}

const CpuRecord& TheCpuRecord() {
  return TheIdentifier().Record();
}

}  // namespace bw
