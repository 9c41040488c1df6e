// Processor identification through CPUID, once per process, and the processor clock measured
// with the time-stamp counter over half a second of the host clock. The identification sets
// the process-wide MMX flag that chooses the pixel kernel set.
#pragma once

#include <cstdint>
#include <string>

namespace bw {

struct CpuidRegisters {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

// Where the registers and the counter come from; tests give their own.
class CpuProbe {
 public:
  virtual ~CpuProbe() = default;
  // Whether the ID bit of the flags register can be toggled.
  virtual bool HasCpuid() = 0;
  virtual CpuidRegisters Cpuid(uint32_t leaf) = 0;
  virtual uint64_t ReadTimeStampCounter() = 0;
  // The processor type the platform reports (386, 486, 601, 21064, ...), for vendors that
  // CPUID does not name.
  virtual uint32_t PlatformProcessorType() = 0;
};

// CPUID and the time-stamp counter through the compiler's intrinsics.
CpuProbe& NativeCpuProbe();

struct CpuRecord {
  char vendor[13] = {};
  uint8_t type = 0, family = 0, model = 0, stepping = 0;
  uint8_t extendedFamily = 0;
  uint8_t brandIndex = 0;
  uint32_t extendedBrandId = 0;
  std::string modelName;  // at most 63 characters
  std::string brand;
  bool hasBrand = false;
  uint32_t traceCacheK = 0, l1Code = 0, l1Data = 0, l2 = 0, l3 = 0;  // KB
  bool fpu = false, tsc = false, cmov = false, mmx = false, sse = false, sse2 = false;
  bool sse3 = false, mmxPlus = false, amdMmx = false, now3d = false, now3dPlus = false;
  bool htt = false, ia64 = false, longMode = false, multiprocessor = false, mobile = false;
  float clockMhz = 0;
  bool clockMeasured = false;
};

constexpr uint8_t kCpuNoCpuid = 0;
constexpr uint8_t kCpuIdentified = 1;
constexpr uint8_t kCpuAlreadyIdentified = 2;

class CpuIdentifier {
 public:
  explicit CpuIdentifier(CpuProbe& probe) : probe_(probe) {}

  // kCpuAlreadyIdentified after the first call; otherwise fills the record.
  [[nodiscard]] uint8_t Identify();
  // 0 without a time-stamp counter; measured once, then cached.
  double MeasureClock();
  // Clears the feature flags whose switch is 0 (kCpuFeatureSwitches entries, in their order).
  void ApplyFeatureSwitches(const uint8_t switches[4]);
  const CpuRecord& Record() const { return record_; }

 private:
  void ReadCaches(const uint8_t descriptors[16], uint32_t highestExtended);
  void NameModel();

  CpuProbe& probe_;
  CpuRecord record_;
  bool identified_ = false;
};

// The four processor switches of the engine settings, in their order: the time-stamp counter
// (without it the clock is not measured), MMX (the kernel set), SSE and the extended MMX
// instructions (the row routines that prefetch).
constexpr int kCpuSwitchTsc = 0;
constexpr int kCpuSwitchMmx = 1;
constexpr int kCpuSwitchSse = 2;
constexpr int kCpuSwitchMmxPlus = 3;

// The process-wide identification on the native probe; sets the MMX flag.
[[nodiscard]] uint8_t IdentifyCpu();
// Measures on the first call (half a second), then answers the same value.
double MeasureCpuClock();
// Clears the process-wide flags whose switch is 0; a cleared MMX flag also clears the kernel set's.
void ApplyCpuFeatureSwitches(const uint8_t switches[4]);
const CpuRecord& TheCpuRecord();
// Puts a fresh process-wide identification on probe (null: the native one), to be identified
// again; tests give a fake counter.
void ResetCpuIdentification(CpuProbe* probe);

}  // namespace bw
